// The flown user aircraft: phases, touchdown, wires, run-out, bolter, deck
// spots, and the runway of a fixed site ashore.
#include "host/world/flown_aircraft.h"

#include <cmath>
#include <cstdio>

#include "host/panel/calculator.h"
#include "host/record/timeline.h"

namespace host {
namespace {

constexpr double DEG = M_PI / 180.0;
// Ashore: the nose wheel comes down for a second, then the wheel brakes.
constexpr double DEROTATION_S = 1.0;
constexpr double BRAKE_DECEL_MPS2 = 3.0;

const SimVarInfo& var(const char* name) { return *find_sim_var(name); }

double wrap_positive(double a)
{
    a = std::fmod(a, 2.0 * M_PI);
    return a < 0.0 ? a + 2.0 * M_PI : a;
}

// The variables written every frame, looked up once.
struct Vars {
    const SimVarInfo &lat = var("PLANE LATITUDE"), &lon = var("PLANE LONGITUDE"), &alt = var("PLANE ALTITUDE");
    const SimVarInfo &heading = var("PLANE HEADING DEGREES TRUE"), &heading_mag = var("PLANE HEADING DEGREES MAGNETIC");
    const SimVarInfo &magvar = var("MAGVAR"), &pitch = var("PLANE PITCH DEGREES"), &bank = var("PLANE BANK DEGREES");
    const SimVarInfo &tas = var("AIRSPEED TRUE"), &ias = var("AIRSPEED INDICATED"), &gs = var("GROUND VELOCITY");
    const SimVarInfo &surface = var("SURFACE RELATIVE GROUND SPEED"), &vs = var("VERTICAL SPEED");
    const SimVarInfo &vx = var("VELOCITY BODY X"), &vy = var("VELOCITY BODY Y"), &vz = var("VELOCITY BODY Z");
    const SimVarInfo &alpha = var("INCIDENCE ALPHA"), &n1 = var("ENG1 N1 RPM");
    const SimVarInfo &throttle = var("GENERAL ENG1 THROTTLE LEVER POSITION"), &gear = var("GEAR RIGHT POSITION");
    const SimVarInfo &hook = var("TAILHOOK POSITION"), &on_ground = var("SIM ON GROUND");
    const SimVarInfo &cable = var("CABLE CAUGHT BY TAILHOOK"), &mass = var("TOTAL WEIGHT");
    const SimVarInfo &cg = var("STATIC CG TO GROUND"), &boat_speed = var("AIRSPEED TRUE");
    const SimVarInfo &boat_yaw = var("ROTATION VELOCITY BODY Y");
};
const Vars& vars()
{
    static const Vars v;
    return v;
}

}  // namespace

const char* flight_phase_name(FlightPhase phase)
{
    switch (phase) {
    case FlightPhase::Approach: return "approach";
    case FlightPhase::Climb: return "climb";
    case FlightPhase::Rolling: return "rolling";
    case FlightPhase::Arrested: return "arrested";
    case FlightPhase::Parked: return "parked";
    case FlightPhase::OnCatapult: return "on catapult";
    case FlightPhase::Stroke: return "stroke";
    case FlightPhase::Ditched: return "ditched";
    }
    return "?";
}

DeckModel runway_deck(const RunwaySite& site)
{
    DeckModel d;
    d.name = site.name;
    d.height_m = 0.0;
    d.width_m = site.width_m;
    d.stern_z_m = -site.aim_point_m;
    d.bow_z_m = site.length_m - site.aim_point_m;
    d.landing_angle_deg = 0.0;
    d.ramp_x_m = 0.0;
    d.ramp_z_m = -site.aim_point_m;
    d.landing_length_m = site.length_m;
    d.landing_width_m = site.width_m;
    d.touchdown_m = site.aim_point_m;
    d.catapult_count = 0;
    return d;
}

FlownAircraft& FlownAircraft::of(World& world)
{
    if (FlownAircraft* existing = world.process<FlownAircraft>()) return *existing;
    auto created = std::make_unique<FlownAircraft>();
    FlownAircraft& ref = *created;
    world.add_process(std::move(created));
    return ref;
}

const DeckModel* FlownAircraft::deck_of(uint32_t boat_id) const
{
    auto it = decks_.find(boat_id);
    return it == decks_.end() ? nullptr : it->second.get();
}

void FlownAircraft::note(const char* what, double a_value, const char* a_name, double b_value, const char* b_name)
{
    if (!timeline_) return;
    nlohmann::json data = {{"what", what}, {"phase", flight_phase_name(phase_)}};
    if (ashore_) data["ashore"] = true;  // a fixed site's runway, not a deck
    if (a_name) data[a_name] = a_value;
    if (b_name) data[b_name] = b_value;
    timeline_->add("flight", std::move(data));
}

bool FlownAircraft::view_deck(World& world, DeckView* view) const
{
    const DeckModel* deck = nullptr;
    if (ashore_) {
        deck = &runway_;
        view->ship = site_pose_;
    } else {
        const SimObject* boat = world.find(boat_id_);
        deck = deck_of(boat_id_);
        if (!boat || !deck) return false;
        const Vars& v = vars();
        view->ship = ShipPose{World::get(*boat, v.lat),     World::get(*boat, v.lon),
                              World::get(*boat, v.alt),     World::get(*boat, v.heading),
                              World::get(*boat, v.boat_speed), World::get(*boat, v.boat_yaw)};
    }
    view->deck = deck;
    view->deck_altitude_m = view->ship.altitude_m + deck->height_m;
    view->course = wrap_positive(view->ship.heading - deck->landing_angle_deg * DEG);
    world_to_ship(view->ship, state_.lat, state_.lon, &view->x, &view->z);
    deck->ship_to_line(view->x, view->z, &view->s, &view->c);
    return true;
}

bool FlownAircraft::read_airframe(const SimObject& user, std::string* error)
{
    // The model divides by the weight and stands the wheels the CG height
    // below the centre: outside these ranges its numbers are not finite.
    const double mass = World::get(user, vars().mass);
    const double cg = World::get(user, vars().cg);
    char text[160];
    if (!(mass >= MIN_MASS_KG && mass <= MAX_MASS_KG)) {
        std::snprintf(text, sizeof text, "the flown aircraft needs a TOTAL WEIGHT from %.0f to %.0f kg, not %g", MIN_MASS_KG,
                      MAX_MASS_KG, mass);
        *error = text;
        return false;
    }
    if (!(cg >= 0.0 && cg <= MAX_CG_HEIGHT_M)) {
        std::snprintf(text, sizeof text, "the flown aircraft needs a STATIC CG TO GROUND from 0 to %.0f m, not %g",
                      MAX_CG_HEIGHT_M, cg);
        *error = text;
        return false;
    }
    params_.mass_kg = mass;
    params_.cg_height_m = cg;
    return true;
}

bool FlownAircraft::where_on_deck(World& world, const DeckModel** deck, ShipPose* ship, double* x, double* z) const
{
    if (!ashore_ && boat_id_ == 0) return false;
    DeckView view;
    if (!view_deck(world, &view)) return false;
    *deck = view.deck;
    *ship = view.ship;
    *x = view.x;
    *z = view.z;
    return true;
}

bool FlownAircraft::approach_truth(World& world, ApproachTruth* truth) const
{
    DeckView view;
    if (!active_ || !view_deck(world, &view)) return false;
    truth->phase = phase_;
    truth->ashore = ashore_;
    truth->boat_id = boat_id_;
    truth->deck = view.deck;
    truth->ship = view.ship;
    truth->s_m = view.s;
    truth->c_m = view.c;
    truth->wheels_m = state_.altitude_m - params_.cg_height_m - view.deck_altitude_m;
    truth->hook_s_m = view.s - params_.hook_arm_m * std::cos(state_.heading - view.course);
    truth->hook_h_m = truth->wheels_m - params_.hook_drop_m * state_.hook;
    truth->hook_arm_m = params_.hook_arm_m;
    truth->hook_drop_m = params_.hook_drop_m;
    truth->alpha = state_.alpha;
    const double rel_east = state_.ground_east_mps - view.ship.speed_mps * std::sin(view.ship.heading);
    const double rel_north = state_.ground_north_mps - view.ship.speed_mps * std::cos(view.ship.heading);
    truth->closing_mps = rel_east * std::sin(view.course) + rel_north * std::cos(view.course);
    truth->vertical_mps = state_.vertical_mps;
    truth->approaches = approaches_;
    truth->recovery = &recovery_;
    return true;
}

bool FlownAircraft::begin_approach(World& world, uint32_t boat_id, const ApproachStart& start, std::string* error)
{
    const DeckModel* deck = deck_of(boat_id);
    if (!deck) {
        *error = "the boat has no deck model (attach one with <deck_model>)";
        return false;
    }
    if (!read_airframe(world.user(), error)) return false;
    boat_id_ = boat_id;
    ashore_ = false;
    DeckView view;
    view_deck(world, &view);
    start_approach(world, view, start);
    return true;
}

bool FlownAircraft::begin_site_approach(World& world, const RunwaySite& site, const ApproachStart& start,
                                        std::string* error)
{
    if (!(site.length_m > site.aim_point_m && site.aim_point_m >= 0.0 && site.width_m > 0.0)) {
        *error = "the runway of \"" + site.name + "\" does not hold its aim point";
        return false;
    }
    if (!read_airframe(world.user(), error)) return false;
    ashore_ = true;
    runway_ = runway_deck(site);
    site_pose_ = ShipPose{site.lat, site.lon, site.altitude_m, site.heading, 0.0, 0.0};
    DeckView view;
    view_deck(world, &view);
    start_approach(world, view, start);
    return true;
}

void FlownAircraft::start_approach(World& world, const DeckView& view, const ApproachStart& start)
{
    SimObject& user = world.user();
    const DeckModel* deck = view.deck;
    start_ = start;
    const ApproachPlan& plan = start.plan;
    const double distance = start.distance_nm * 1852.0;
    const double s = deck->touchdown_m + plan.aim_offset_m + params_.cg_height_m / std::tan(plan.gs_angle_deg * DEG) - distance;
    double x = 0, z = 0;
    deck->line_to_ship(s, start.right_m, &x, &z);
    ship_to_world(view.ship, x, z, &state_.lat, &state_.lon);
    double glide = 0, line = 0;
    planned_deviation(plan, start.distance_nm, &glide, &line);
    state_.altitude_m = start.altitude_m ? *start.altitude_m
                                         : view.deck_altitude_m + distance * std::tan((plan.gs_angle_deg + glide) * DEG);
    state_.airspeed_mps = plan.speed_mps;
    state_.gamma = -plan.gs_angle_deg * DEG;
    state_.heading = view.course;
    state_.bank = 0.0;
    state_.gear = start.gear_down ? 1.0 : 0.0;
    state_.hook = start.hook_down ? 1.0 : 0.0;
    const double thrust = drag_n(params_, state_, 1.0) + params_.mass_kg * GRAVITY * std::sin(state_.gamma);
    throttle_cmd_ = throttle_for_thrust(params_, thrust);
    state_.n1 = n1_for_throttle(params_, throttle_cmd_);
    gear_cmd_ = start.gear_down;
    hook_cmd_ = start.hook_down;
    raise_gear_in_climb_ = false;
    phase_ = FlightPhase::Approach;
    on_ground_ = false;
    wire_ = 0;
    have_hook_ = false;
    recovery_ = RecoveryRecord{};
    active_ = true;
    ++approaches_;
    user.follows_path = false;
    note(ashore_ ? "approach ashore" : "approach", start.distance_nm, "distance_nm", plan.speed_mps / (1852.0 / 3600.0),
         "speed_kt");
    write_world(world, &view);
}

bool FlownAircraft::place_on_catapult(World& world, uint32_t boat_id, int number, std::string* error)
{
    const DeckModel* deck = deck_of(boat_id);
    if (!deck) {
        *error = "the boat has no deck model (attach one with <deck_model>)";
        return false;
    }
    const DeckCatapult* cat = deck->catapult(number);
    if (!cat) {
        *error = "the deck \"" + deck->name + "\" has no catapult " + std::to_string(number);
        return false;
    }
    SimObject& user = world.user();
    if (!read_airframe(user, error)) return false;
    boat_id_ = boat_id;
    ashore_ = false;
    spot_x_ = cat->x_m;
    spot_z_ = cat->z_m;
    spot_heading_ = cat->heading_deg * DEG;
    phase_ = FlightPhase::OnCatapult;
    on_ground_ = true;
    wire_ = 0;
    gear_cmd_ = true;
    hook_cmd_ = false;
    state_.gear = 1.0;
    state_.hook = 0.0;
    state_.gamma = 0.0;
    state_.bank = 0.0;
    have_hook_ = false;
    active_ = true;
    user.follows_path = false;
    DeckView view;
    view_deck(world, &view);
    hold_on_deck(world, view, 0.0);
    note("on catapult", number, "catapult");
    write_world(world, &view);
    return true;
}

void FlownAircraft::go_around(const char* why)
{
    if (phase_ != FlightPhase::Approach) return;
    phase_ = FlightPhase::Climb;
    climb_course_ = state_.heading;
    if (timeline_) timeline_->add("flight", {{"what", "go around"}, {"why", why}, {"phase", "climb"}});
}

void FlownAircraft::set_hook(bool down)
{
    hook_cmd_ = down;
    if (!down && phase_ == FlightPhase::Arrested && recovery_.stopped) {
        wire_ = 0;
        phase_ = FlightPhase::Parked;
        note("wire released");
    }
}

void FlownAircraft::step(World& world, double dt)
{
    if (!active_) return;
    DeckView view;
    if (!view_deck(world, &view)) {
        if (phase_ != FlightPhase::Approach && phase_ != FlightPhase::Climb && phase_ != FlightPhase::Ditched) {
            phase_ = FlightPhase::Ditched;
            note("the ship is gone");
        }
        return;
    }
    switch (phase_) {
    case FlightPhase::Approach:
    case FlightPhase::Climb: fly_airborne(world, view, dt); break;
    case FlightPhase::Rolling: roll(world, view, dt); break;
    case FlightPhase::Arrested: arrest(world, view, dt); break;
    case FlightPhase::Parked:
    case FlightPhase::OnCatapult: hold_on_deck(world, view, dt); break;
    case FlightPhase::Stroke: stroke(world, view, dt); break;
    case FlightPhase::Ditched: break;
    }
    view_deck(world, &view);
    write_world(world, &view);
}

void FlownAircraft::fly_airborne(World& world, const DeckView& view, double dt)
{
    const WindVector wind{world.wind().east_mps(), world.wind().north_mps()};
    LandingLineView line;
    line.course = phase_ == FlightPhase::Approach ? view.course : climb_course_;
    line.short_m = view.deck->touchdown_m - view.s;
    line.right_m = view.c;
    line.height_m = state_.altitude_m - view.deck_altitude_m;
    line.surface_east_mps = view.ship.speed_mps * std::sin(view.ship.heading);
    line.surface_north_mps = view.ship.speed_mps * std::cos(view.ship.heading);
    if (phase_ == FlightPhase::Approach) line.swing_mps = view.deck->line_swing(view.ship.yaw_rate, view.x, view.z);
    if (phase_ == FlightPhase::Approach && start_.wave_off_on_lights && panel_ && wave_off_slot_ >= 0 &&
        panel_->get(wave_off_slot_) > 0.5)
        go_around("wave-off lights");
    const AutopilotMode mode = phase_ == FlightPhase::Approach ? AutopilotMode::Approach : AutopilotMode::Climb;
    AircraftControls c = fly(start_.plan, mode, line, state_, params_, wind);
    if (mode == AutopilotMode::Climb && raise_gear_in_climb_ && line.height_m > 30.0) gear_cmd_ = false;
    c.gear_down = gear_cmd_;
    c.hook_down = hook_cmd_;
    throttle_cmd_ = c.throttle;
    const double wheels_before = state_.altitude_m - params_.cg_height_m - view.deck_altitude_m;
    step_aircraft(params_, c, wind, dt, state_);

    DeckView after = view;
    view_deck(world, &after);
    if (check_hook(after)) return;
    const double wheels = state_.altitude_m - params_.cg_height_m - after.deck_altitude_m;
    if (wheels <= 0.0 && wheels_before > -1.0 && after.deck->on_deck(after.x, after.z)) {
        touch_down(after);
    } else if (state_.altitude_m - params_.cg_height_m <= after.ship.altitude_m && !after.deck->on_deck(after.x, after.z)) {
        phase_ = FlightPhase::Ditched;
        state_.altitude_m = after.ship.altitude_m + params_.cg_height_m;
        note(ashore_ ? "off the runway" : "in the sea", after.s, "along_m", after.c, "right_m");
    }
}

void FlownAircraft::touch_down(const DeckView& view)
{
    const double sink = -state_.vertical_mps;
    state_.altitude_m = view.deck_altitude_m + params_.cg_height_m;
    state_.gamma = 0.0;
    on_ground_ = true;
    phase_ = FlightPhase::Rolling;
    recovery_.touched_down = true;
    recovery_.touchdown_s_m = view.s;
    // Afloat: full power at touchdown, in case the hook misses. Ashore: idle,
    // and the roll-out starts at the speed over the runway.
    throttle_cmd_ = ashore_ ? 0.0 : 100.0;
    if (ashore_) {
        speed_over_deck_ = std::max(0.0, state_.ground_east_mps * std::sin(view.course) +
                                             state_.ground_north_mps * std::cos(view.course));
        arrest_t_ = 0.0;
        arrest_s0_ = view.s;
        arrest_c_ = view.c;
    }
    note("touchdown", view.s, "along_m", sink, "sink_mps");
}

bool FlownAircraft::check_hook(const DeckView& view)
{
    if (ashore_ || state_.hook < 0.95 || phase_ == FlightPhase::Arrested) {
        have_hook_ = false;
        return false;
    }
    const double tip_s = view.s - params_.hook_arm_m * std::cos(state_.heading - view.course);
    const double wheels = state_.altitude_m - params_.cg_height_m - view.deck_altitude_m;
    const double tip_h = std::max(0.0, wheels - params_.hook_drop_m);
    const bool over_area = std::fabs(view.c) <= view.deck->landing_width_m / 2;
    int wire = 0;
    if (have_hook_ && over_area) wire = view.deck->wire_crossed(hook_s_, hook_h_, tip_s, tip_h);
    if (over_area && tip_h <= 0.0 && recovery_.hook_touch_s_m == 0.0) recovery_.hook_touch_s_m = tip_s;
    hook_s_ = tip_s;
    hook_h_ = tip_h;
    have_hook_ = true;
    if (!wire) return false;

    const double rel_east = state_.ground_east_mps - view.ship.speed_mps * std::sin(view.ship.heading);
    const double rel_north = state_.ground_north_mps - view.ship.speed_mps * std::cos(view.ship.heading);
    const double engage = rel_east * std::sin(view.course) + rel_north * std::cos(view.course);
    wire_ = wire;
    phase_ = FlightPhase::Arrested;
    on_ground_ = true;
    if (!recovery_.touched_down) {
        recovery_.touched_down = true;
        recovery_.touchdown_s_m = view.s;
        note("touchdown", view.s, "along_m", -state_.vertical_mps, "sink_mps");
    }
    state_.altitude_m = view.deck_altitude_m + params_.cg_height_m;
    state_.gamma = 0.0;
    arrestment_ = Arrestment{std::max(engage, 1.0), view.deck->runout_m};
    arrest_t_ = 0.0;
    arrest_s0_ = view.s;
    arrest_c_ = view.c;
    catch_x_ = view.x;
    catch_z_ = view.z;
    recovery_.wire = wire;
    recovery_.engage_speed_mps = arrestment_.engage_speed_mps;
    throttle_cmd_ = 100.0;
    note("wire", wire, "wire", arrestment_.engage_speed_mps, "engage_speed_mps");
    return true;
}

void FlownAircraft::set_on_deck_position(const DeckView& view, double x, double z, double heading)
{
    ship_to_world(view.ship, x, z, &state_.lat, &state_.lon);
    state_.altitude_m = view.deck_altitude_m + params_.cg_height_m;
    state_.heading = wrap_positive(heading);
    state_.gamma = 0.0;
}

void FlownAircraft::roll(World& world, const DeckView& view, double dt)
{
    if (ashore_) {
        roll_out(world, view, dt);
        return;
    }
    const WindVector wind{world.wind().east_mps(), world.wind().north_mps()};
    AircraftControls c;
    c.on_ground = true;
    c.throttle = throttle_cmd_;
    c.gear_down = gear_cmd_;
    c.hook_down = hook_cmd_;
    step_aircraft(params_, c, wind, dt, state_);
    state_.altitude_m = view.deck_altitude_m + params_.cg_height_m;
    DeckView after = view;
    view_deck(world, &after);
    if (check_hook(after)) return;
    if (!after.deck->on_deck(after.x, after.z)) {
        on_ground_ = false;
        phase_ = FlightPhase::Climb;
        climb_course_ = after.course;  // out along the angled deck
        recovery_.bolter = true;
        note("bolter", recovery_.touchdown_s_m, "touchdown_along_m", state_.airspeed_mps, "airspeed_mps");
    }
}

// Ashore, after touchdown: along the runway's centre line at the touchdown
// offset, a second of free roll, then braking to a stop at idle.
void FlownAircraft::roll_out(World& world, const DeckView& view, double dt)
{
    const WindVector wind{world.wind().east_mps(), world.wind().north_mps()};
    arrest_t_ += dt;
    const double decel = arrest_t_ > DEROTATION_S ? BRAKE_DECEL_MPS2 : 0.5;
    const double before = speed_over_deck_;
    speed_over_deck_ = std::max(0.0, speed_over_deck_ - decel * dt);
    arrest_s0_ += 0.5 * (before + speed_over_deck_) * dt;
    double x = 0, z = 0;
    view.deck->line_to_ship(arrest_s0_, arrest_c_, &x, &z);
    set_on_deck_position(view, x, z, view.course);
    state_.ground_east_mps = speed_over_deck_ * std::sin(view.course);
    state_.ground_north_mps = speed_over_deck_ * std::cos(view.course);
    state_.vertical_mps = 0.0;
    state_.airspeed_mps = std::hypot(state_.ground_east_mps - wind.east_mps, state_.ground_north_mps - wind.north_mps);
    state_.alpha = 0.0;
    AircraftControls c;
    c.on_ground = true;
    c.throttle = throttle_cmd_;
    c.gear_down = gear_cmd_;
    c.hook_down = hook_cmd_;
    step_actuators(params_, c, dt, state_);
    if (!view.deck->on_deck(x, z)) {
        phase_ = FlightPhase::Ditched;
        speed_over_deck_ = 0.0;
        note("off the runway", arrest_s0_, "along_m", arrest_c_, "right_m");
        return;
    }
    if (speed_over_deck_ <= 0.0) {
        recovery_.stopped = true;
        recovery_.runout_m = arrest_s0_ - recovery_.touchdown_s_m;
        recovery_.runout_s = arrest_t_;
        spot_x_ = x;
        spot_z_ = z;
        spot_heading_ = 0.0;
        phase_ = FlightPhase::Parked;
        note("stopped", recovery_.runout_m, "rollout_m", arrest_s0_ - view.deck->touchdown_m, "beyond_aim_point_m");
    }
}

void FlownAircraft::arrest(World& world, const DeckView& view, double dt)
{
    const WindVector wind{world.wind().east_mps(), world.wind().north_mps()};
    if (recovery_.stopped) {
        hold_on_deck(world, view, dt);
        return;
    }
    arrest_t_ += dt;
    double x = 0, z = 0;
    view.deck->line_to_ship(arrest_s0_ + arrestment_.payout(arrest_t_), arrest_c_, &x, &z);
    set_on_deck_position(view, x, z, view.course);
    speed_over_deck_ = arrestment_.speed(arrest_t_);
    state_.ground_east_mps = view.ship.speed_mps * std::sin(view.ship.heading) + speed_over_deck_ * std::sin(view.course);
    state_.ground_north_mps = view.ship.speed_mps * std::cos(view.ship.heading) + speed_over_deck_ * std::cos(view.course);
    state_.vertical_mps = 0.0;
    state_.airspeed_mps = std::hypot(state_.ground_east_mps - wind.east_mps, state_.ground_north_mps - wind.north_mps);
    AircraftControls c;
    c.on_ground = true;
    c.throttle = throttle_cmd_;
    c.gear_down = gear_cmd_;
    c.hook_down = hook_cmd_;
    step_actuators(params_, c, dt, state_);
    if (arrest_t_ >= arrestment_.stop_time()) {
        recovery_.stopped = true;
        recovery_.runout_m = std::hypot(x - catch_x_, z - catch_z_);
        recovery_.runout_s = arrest_t_;
        spot_x_ = x;
        spot_z_ = z;
        spot_heading_ = view.course - view.ship.heading;
        throttle_cmd_ = 0.0;
        note("arrested", recovery_.runout_m, "runout_m", recovery_.runout_s, "runout_s");
    }
}

void FlownAircraft::hold_on_deck(World& world, const DeckView& view, double dt)
{
    const WindVector wind{world.wind().east_mps(), world.wind().north_mps()};
    if (phase_ == FlightPhase::OnCatapult) {
        const double written = World::get(world.user(), vars().vz);
        if (written != body_z_written_ && dt > 0.0) {
            phase_ = FlightPhase::Stroke;
            note("stroke", written, "body_speed_mps");
            stroke(world, view, dt);
            return;
        }
    }
    set_on_deck_position(view, spot_x_, spot_z_, view.ship.heading + spot_heading_);
    speed_over_deck_ = 0.0;
    state_.ground_east_mps = view.ship.speed_mps * std::sin(view.ship.heading);
    state_.ground_north_mps = view.ship.speed_mps * std::cos(view.ship.heading);
    state_.vertical_mps = 0.0;
    state_.airspeed_mps = std::hypot(state_.ground_east_mps - wind.east_mps, state_.ground_north_mps - wind.north_mps);
    state_.alpha = 0.0;
    AircraftControls c;
    c.on_ground = true;
    c.throttle = throttle_cmd_;
    c.gear_down = gear_cmd_;
    c.hook_down = hook_cmd_;
    step_actuators(params_, c, dt, state_);
}

void FlownAircraft::stroke(World& world, const DeckView& view, double dt)
{
    const WindVector wind{world.wind().east_mps(), world.wind().north_mps()};
    const SimObject& user = world.user();
    const double forward = World::get(user, vars().vz), across = World::get(user, vars().vx);
    const double h = state_.heading;
    state_.ground_east_mps = forward * std::sin(h) + across * std::cos(h);
    state_.ground_north_mps = forward * std::cos(h) - across * std::sin(h);
    state_.lat += state_.ground_north_mps * dt / WORLD_RADIUS_M;
    state_.lon = std::remainder(state_.lon + state_.ground_east_mps * dt / (WORLD_RADIUS_M * std::cos(state_.lat)),
                                2.0 * M_PI);
    state_.altitude_m = view.deck_altitude_m + params_.cg_height_m;
    // Pulled along the deck, the aircraft parts its hold-back bar (as on a <deck>).
    static const SimVarInfo& holdback = var("HOLDBACK BAR INSTALLED");
    if (std::hypot(state_.ground_east_mps - view.ship.speed_mps * std::sin(view.ship.heading),
                   state_.ground_north_mps - view.ship.speed_mps * std::cos(view.ship.heading)) > 0.5)
        World::set(world.user(), holdback, 0.0);
    const double air_east = state_.ground_east_mps - wind.east_mps, air_north = state_.ground_north_mps - wind.north_mps;
    state_.airspeed_mps = std::hypot(air_east, air_north);
    AircraftControls c;
    c.on_ground = true;
    c.throttle = throttle_cmd_;
    step_actuators(params_, c, dt, state_);
    DeckView after = view;
    view_deck(world, &after);
    if (!after.deck->on_deck(after.x, after.z)) {
        on_ground_ = false;
        phase_ = FlightPhase::Climb;
        raise_gear_in_climb_ = true;
        climb_course_ = h;
        state_.heading = wrap_positive(std::atan2(air_east, air_north));
        state_.gamma = 0.0;
        throttle_cmd_ = 100.0;
        note("airborne", state_.airspeed_mps, "airspeed_mps", std::hypot(state_.ground_east_mps, state_.ground_north_mps),
             "ground_speed_mps");
    }
}

void FlownAircraft::write_world(World& world, const DeckView* view)
{
    const Vars& v = vars();
    SimObject& u = world.user();
    const AircraftState& s = state_;
    World::set(u, v.lat, s.lat);
    World::set(u, v.lon, s.lon);
    World::set(u, v.alt, s.altitude_m);
    World::set(u, v.heading, s.heading);
    World::set(u, v.heading_mag, wrap_positive(s.heading - World::get(u, v.magvar)));
    World::set(u, v.pitch, on_ground_ ? 0.0 : s.gamma + s.alpha);
    World::set(u, v.bank, on_ground_ ? 0.0 : s.bank);
    World::set(u, v.tas, s.airspeed_mps);
    World::set(u, v.ias, s.airspeed_mps);
    const double ground = std::hypot(s.ground_east_mps, s.ground_north_mps);
    World::set(u, v.gs, ground);
    double over_surface = ground;
    if (view && on_ground_)
        over_surface = std::hypot(s.ground_east_mps - view->ship.speed_mps * std::sin(view->ship.heading),
                                  s.ground_north_mps - view->ship.speed_mps * std::cos(view->ship.heading));
    World::set(u, v.surface, over_surface);
    World::set(u, v.vs, on_ground_ ? 0.0 : s.vertical_mps);
    if (phase_ != FlightPhase::Stroke) {
        const double forward = s.ground_east_mps * std::sin(s.heading) + s.ground_north_mps * std::cos(s.heading);
        const double right = s.ground_east_mps * std::cos(s.heading) - s.ground_north_mps * std::sin(s.heading);
        World::set(u, v.vz, forward);
        World::set(u, v.vx, right);
        body_z_written_ = forward;
    }
    World::set(u, v.vy, on_ground_ ? 0.0 : s.vertical_mps);
    World::set(u, v.alpha, s.alpha);
    World::set(u, v.n1, s.n1);
    World::set(u, v.throttle, throttle_cmd_);
    World::set(u, v.gear, s.gear * 100.0);
    World::set(u, v.hook, s.hook * 100.0);
    World::set(u, v.on_ground, on_ground_ ? 1.0 : 0.0);
    World::set(u, v.cable, wire_);
}

}  // namespace host
