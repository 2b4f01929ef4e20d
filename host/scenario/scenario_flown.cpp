// The scenario's flown world: the wind, VOR-DME stations, deck models, ships
// steering into the wind and the flown aircraft (docs/scenarios.md, "The
// flown world").
#include "host/scenario/scenario_reader.h"
#include "host/build_paths.h"

namespace host::scenario_detail {
namespace {

// An action that finds the boat titled `title`, and needs its deck model
// (`deck`) or attaches one (`attaches`).
ActionWorld on_boat(const std::string& title, bool deck = false, bool attaches = false)
{
    ActionWorld world;
    world.needs_titles = {title};
    if (deck) world.needs_deck_model = title;
    if (attaches) world.adds_deck_model = title;
    return world;
}

// An action placed relative to a boat or fixed site named `place`.
ActionWorld to_place(const std::string& place)
{
    ActionWorld world;
    world.needs_place = place;
    return world;
}

}  // namespace

ScenarioAction parse_wind(const Reader& r, const TiXmlElement* e)
{
    r.only(e, {"from", "speed"});
    const double from = ranged(r, e, "from", 0.0, 360.0, NAN) * RAD;
    const double speed = ranged(r, e, "speed", 0.0, 100.0, NAN) * KT;
    ActionWorld world;
    world.rehearse = [=](Rehearsal& rehearsal) { rehearsal.world.wind() = WorldWind{from, speed}; };
    return {"wind from " + r.text(e, "from") + " at " + r.text(e, "speed") + " kt", e->Row(),
            [=](Host& host, std::string*) {
                host.world().wind() = WorldWind{from, speed};
                environment(host);
                return true;
            }, world};
}

ScenarioAction parse_station(const Reader& r, const TiXmlElement* e)
{
    r.only(e, {"ident", "frequency", "latitude", "longitude", "altitude", "range", "dme"});
    NavStation st;
    st.ident = r.text(e, "ident");
    st.frequency_mhz = ranged(r, e, "frequency", 108.0, 117.95, NAN);
    st.lat = ranged(r, e, "latitude", -90.0, 90.0, NAN) * RAD;
    st.lon = ranged(r, e, "longitude", -180.0, 180.0, NAN) * RAD;
    st.altitude_m = ranged(r, e, "altitude", -1000.0, 30000.0, 0.0) * 0.3048;
    st.range_m = ranged(r, e, "range", 1.0, 300.0, 130.0) * 1852.0;
    st.dme = flag(r, e, "dme", true);
    return {"station " + st.ident, e->Row(), [=](Host& host, std::string*) {
                environment(host).add_station(st);
                return true;
            }};
}

// A deck model: a bundled name (scenarios/decks/NAME.xml) or a file relative to the scenario.
ScenarioAction parse_deck_model(const Reader& r, const TiXmlElement* e)
{
    r.only(e, {"boat", "model"});
    const std::string boat = r.text(e, "boat");
    const std::string model = r.text(e, "model");
    namespace fs = std::filesystem;
    const fs::path file = model.find('/') == std::string::npos && fs::path(model).extension() != ".xml"
                              ? fs::path(CARRIER_SOURCE_DIR) / "scenarios/decks" / (model + ".xml")
                              : fs::absolute(r.path()).parent_path() / model;
    std::string error;
    auto deck = load_deck(file.string(), &error);
    if (!deck) r.fail(e, "deck model \"" + model + "\": " + error);
    auto shared = std::make_shared<const DeckModel>(std::move(*deck));
    return {"deck " + model + " on " + boat, e->Row(), [=](Host& host, std::string* err) {
                SimObject* b = boat_by_title(host, boat);
                if (!b) {
                    *err = "no boat titled \"" + boat + "\"";
                    return false;
                }
                flown(host).attach_deck(b->id, shared);
                return true;
            }, [&] {
                ActionWorld w = on_boat(boat, false, true);
                w.deck_file = file.string();
                w.rehearse = [=](Rehearsal& rehearsal) {
                    if (SimObject* b = rehearsal.boat(boat)) FlownAircraft::of(rehearsal.world).attach_deck(b->id, shared);
                };
                return w;
            }()};
}

ScenarioAction parse_turn_into_wind(const Reader& r, const TiXmlElement* e)
{
    r.only(e, {"boat", "rate", "wind_over_deck", "along"});
    const std::string boat = r.text(e, "boat");
    const double rate = ranged(r, e, "rate", 0.1, 5.0, 1.0) * RAD;
    std::optional<double> wod;
    if (e->Attribute("wind_over_deck")) wod = ranged(r, e, "wind_over_deck", 0.0, 60.0, NAN) * KT;
    const std::string along = r.text(e, "along", false, "angled");
    if (along != "angled" && along != "axial") r.fail(e, "along is \"angled\" (the landing area) or \"axial\"");
    // The steering of the boat `b` of `world`, or why there is none.
    auto steering = [=](World& world, const SimObject* b, SteeredShip* ship, std::string* err) {
        if (!b) {
            *err = "no boat titled \"" + boat + "\"";
            return false;
        }
        const DeckModel* deck = FlownAircraft::of(world).deck_of(b->id);
        if (along == "angled" && !deck) {
            *err = "the boat has no deck model for along=\"angled\" (attach one with <deck_model>)";
            return false;
        }
        ship->boat_id = b->id;
        ship->rate = rate;
        ship->offset = along == "angled" ? deck->landing_angle_deg * RAD : 0.0;
        ship->wind_over_deck_mps = wod;
        return true;
    };
    ActionWorld world = on_boat(boat, along == "angled");
    world.rehearse = [=](Rehearsal& rehearsal) {
        SteeredShip ship;
        std::string unused;
        if (steering(rehearsal.world, rehearsal.boat(boat), &ship, &unused)) Environment::of(rehearsal.world).steer(ship);
    };
    return {"turn " + boat + " into the wind", e->Row(), [=](Host& host, std::string* err) {
                SteeredShip ship;
                if (!steering(host.world(), boat_by_title(host, boat), &ship, err)) return false;
                environment(host).steer(ship);
                return true;
            }, world};
}

ScenarioAction parse_flight(const Reader& r, const TiXmlElement* e)
{
    const std::string action = r.text(e, "action", false, "approach");
    if (action == "go_around") {
        r.only(e, {"action"});
        ActionWorld world;
        world.rehearse = [](Rehearsal& rehearsal) { FlownAircraft::of(rehearsal.world).go_around("scenario"); };
        return {"flight go around", e->Row(), [](Host& host, std::string*) {
                    flown(host).go_around("scenario");
                    return true;
                }, world};
    }
    if (action == "controls") {
        r.only(e, {"action", "hook", "gear", "throttle"});
        std::optional<bool> hook, gear;
        if (e->Attribute("hook")) hook = flag(r, e, "hook", false);
        if (e->Attribute("gear")) gear = flag(r, e, "gear", true);
        std::optional<double> throttle;
        if (e->Attribute("throttle")) throttle = ranged(r, e, "throttle", 0.0, 100.0, NAN);
        return {"flight controls", e->Row(), [=](Host& host, std::string*) {
                    FlownAircraft& f = flown(host);
                    if (hook) f.set_hook(*hook);
                    if (gear) f.set_gear(*gear);
                    if (throttle) f.set_throttle(*throttle);
                    return true;
                }};
    }
    if (action == "catapult") {
        r.only(e, {"action", "deck", "number", "throttle"});
        const std::string boat = r.text(e, "deck");
        const double number = ranged(r, e, "number", 1.0, 4.0, NAN);
        if (number != std::floor(number)) r.fail(e, "a catapult number is 1, 2, 3 or 4");
        const double throttle = ranged(r, e, "throttle", 0.0, 100.0, 0.0);
        return {"flight on catapult " + r.text(e, "number"), e->Row(), [=](Host& host, std::string* err) {
                    SimObject* b = boat_by_title(host, boat);
                    if (!b) {
                        *err = "no boat titled \"" + boat + "\"";
                        return false;
                    }
                    FlownAircraft& f = flown(host);
                    f.set_throttle(throttle);
                    return f.place_on_catapult(host.world(), b->id, static_cast<int>(number), err);
                }, on_boat(boat, true)};
    }
    if (action != "approach") r.fail(e, "flight action must be approach, go_around, catapult or controls, not \"" + action + "\"");
    r.only(e, {"action", "deck", "site", "distance", "right", "altitude", "speed", "gs_angle", "aim_offset", "hook",
               "gear", "wave_off_on_lights", "runway_length", "runway_width", "aim_point", "correct_s"});
    const bool to_site = e->Attribute("site") != nullptr;
    if (to_site && e->Attribute("deck")) r.fail(e, "a flight approach goes to a deck or to a site, not both");
    if (!to_site && !e->Attribute("deck"))
        r.fail(e, "a flight approach needs a deck (a boat title) or a site (a fixed site of the carrier list)");
    if (!to_site)
        for (const char* runway_attr : {"runway_length", "runway_width", "aim_point"})
            if (e->Attribute(runway_attr))
                r.fail(e, std::string("\"") + runway_attr + "\" belongs to an approach to a site, not to a deck");
    const std::string boat = to_site ? r.text(e, "site") : r.text(e, "deck");
    RunwaySite runway;
    if (to_site) {
        runway.name = boat;
        runway.length_m = ranged(r, e, "runway_length", 800.0, 5000.0, 2400.0);
        runway.width_m = ranged(r, e, "runway_width", 20.0, 100.0, 45.0);
        runway.aim_point_m = ranged(r, e, "aim_point", 0.0, 1000.0, 300.0);
        if (runway.aim_point_m > runway.length_m - 600.0)
            r.fail(e, "the aim point lies at most runway_length - 600 m from the threshold (room to stop)");
        r.name_fixed_site(boat, e->Row());
    }
    ApproachStart start;
    start.distance_nm = ranged(r, e, "distance", 0.3, 20.0, 4.0);
    start.right_m = ranged(r, e, "right", -5000.0, 5000.0, 0.0);
    if (e->Attribute("altitude")) start.altitude_m = ranged(r, e, "altitude", 50.0, 20000.0, NAN) * 0.3048;
    start.plan.speed_mps = ranged(r, e, "speed", 100.0, 250.0, 140.0) * KT;
    start.plan.gs_angle_deg = ranged(r, e, "gs_angle", 2.0, 6.0, 3.5);
    start.plan.aim_offset_m = ranged(r, e, "aim_offset", -60.0, 150.0, 0.0);
    if (e->Attribute("correct_s")) start.plan.correct_s = ranged(r, e, "correct_s", 0.5, 30.0, NAN);
    start.hook_down = flag(r, e, "hook", true);
    start.gear_down = flag(r, e, "gear", true);
    start.wave_off_on_lights = flag(r, e, "wave_off_on_lights", false);
    for (const TiXmlElement* d = e->FirstChildElement(); d; d = d->NextSiblingElement()) {
        if (std::string(d->Value()) != "deviation") r.fail(d, "a <flight> holds only <deviation> elements");
        r.only(d, {"from", "to", "glide", "line", "speed"});
        if (start.plan.deviation_count == ApproachPlan::MAX_DEVIATIONS)
            r.fail(d, "a flight has at most " + std::to_string(ApproachPlan::MAX_DEVIATIONS) + " deviations");
        ApproachDeviation dev;
        dev.from_nm = ranged(r, d, "from", 0.0, 20.0, NAN);
        dev.to_nm = ranged(r, d, "to", 0.0, 20.0, NAN);
        if (dev.to_nm >= dev.from_nm) r.fail(d, "a deviation runs from a distance down to a smaller one");
        dev.glide_deg = ranged(r, d, "glide", -3.0, 3.0, 0.0);
        dev.line_deg = ranged(r, d, "line", -10.0, 10.0, 0.0);
        dev.speed_kt = ranged(r, d, "speed", -30.0, 30.0, 0.0);
        start.plan.deviations[static_cast<size_t>(start.plan.deviation_count++)] = dev;
    }
    if (to_site) {
        return {"flight approach to the site " + boat, e->Row(), [=](Host& host, std::string* err) {
                    std::string unread;
                    for (const FixedSite& site : read_fixed_sites(host.options().sim_root, &unread)) {
                        if (site.name != boat) continue;
                        if (!(site.altitude_ft >= -1500.0 && site.altitude_ft <= 30000.0)) {
                            *err = "the fixed site \"" + boat + "\" has an elevation outside -1500 to 30000 ft";
                            return false;
                        }
                        RunwaySite placed = runway;
                        placed.lat = site.latitude_deg * RAD;
                        placed.lon = std::remainder(site.longitude_deg * RAD, 2.0 * M_PI);
                        placed.altitude_m = site.altitude_ft * 0.3048;
                        placed.heading = std::fmod(std::fmod(site.runway_heading_deg, 360.0) + 360.0, 360.0) * RAD;
                        return flown(host).begin_site_approach(host.world(), placed, start, err);
                    }
                    *err = unread.empty() ? "no fixed site \"" + boat + "\" in the carrier list" : unread;
                    return false;
                }, to_place(boat)};
    }
    // Rehearsed on the line and the slope: what is rehearsed is how the
    // autopilot follows the deck, not the deviations asked of it.
    ApproachStart on_line = start;
    on_line.plan.deviation_count = 0;
    on_line.wave_off_on_lights = false;
    ActionWorld world = on_boat(boat, true);
    world.rehearse = [=](Rehearsal& rehearsal) {
        std::string unused;
        if (SimObject* b = rehearsal.boat(boat))
            FlownAircraft::of(rehearsal.world).begin_approach(rehearsal.world, b->id, on_line, &unused);
    };
    return {"flight approach to " + boat, e->Row(), [=](Host& host, std::string* err) {
                SimObject* b = boat_by_title(host, boat);
                if (!b) {
                    *err = "no boat titled \"" + boat + "\"";
                    return false;
                }
                return flown(host).begin_approach(host.world(), b->id, start, err);
            }, world};
}

std::optional<ScenarioAction> parse_flown_world_action(const Reader& r, const TiXmlElement* e, const std::string& kind)
{
    if (kind == "wind") return parse_wind(r, e);
    if (kind == "station") return parse_station(r, e);
    if (kind == "deck_model") return parse_deck_model(r, e);
    if (kind == "turn_into_wind") return parse_turn_into_wind(r, e);
    if (kind == "flight") return parse_flight(r, e);
    return std::nullopt;
}

}  // namespace host::scenario_detail
