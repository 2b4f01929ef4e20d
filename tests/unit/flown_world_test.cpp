// The flown world: deck files and geometry, the run-out, the flight model
// with the autopilot down the glide slope to a moving deck, the wire the hook
// catches, the bolter, the wind, the VOR-DME stations, a ship turning into the wind.
#include "host/build_paths.h"
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "allocation_counter.h"
#include "host/world/environment.h"
#include "host/world/flown_aircraft.h"
#include "host/world/sim_vars.h"

namespace {

constexpr double DEG = M_PI / 180.0;
constexpr double KT = 1852.0 / 3600.0;
const std::string NIMITZ = std::string(CARRIER_SOURCE_DIR) + "/scenarios/decks/nimitz.xml";

const host::SimVarInfo& var(const char* name) { return *host::find_sim_var(name); }

host::DeckModel nimitz()
{
    std::string error;
    auto deck = host::load_deck(NIMITZ, &error);
    EXPECT_TRUE(deck) << error;
    return deck ? *deck : host::DeckModel{};
}

TEST(Deck, BundledFilesLoadAndTheTouchdownPointIsTheCarrierListsAimPoint)
{
    for (const char* name : {"nimitz", "kitty_hawk"}) {
        std::string error;
        auto deck = host::load_deck(std::string(CARRIER_SOURCE_DIR) + "/scenarios/decks/" + name + ".xml", &error);
        ASSERT_TRUE(deck) << error;
        EXPECT_EQ(deck->catapult_count, 4);
    }
    // CVN-68's ILS point in the carrier list is (-6, -90).
    const host::DeckModel d = nimitz();
    double x = 0, z = 0;
    d.line_to_ship(d.touchdown_m, 0.0, &x, &z);
    EXPECT_NEAR(x, -6.0, 0.5);
    EXPECT_NEAR(z, -90.0, 0.5);
    double s = 0, c = 0;
    d.ship_to_line(x, z, &s, &c);
    EXPECT_NEAR(s, d.touchdown_m, 1e-9);
    EXPECT_NEAR(c, 0.0, 1e-9);
    EXPECT_TRUE(d.on_deck(x, z));
    EXPECT_FALSE(d.on_deck(60.0, 0.0));
    EXPECT_FALSE(d.on_deck(0.0, 170.0));
}

TEST(Deck, TheHookCatchesTheWireItCrossesLowEnough)
{
    const host::DeckModel d = nimitz();  // wires at 45, 57, 69, 81 m; pendant 0.1 m
    struct Case {
        double s0, h0, s1, h1;
        int wire;
    } cases[] = {
        {40, 0.0, 46, 0.0, 1},    // rolling over wire 1
        {56, 0.0, 58, 0.0, 2},
        {68, 0.05, 70, 0.05, 3},  // just under the pendant
        {80, 0.0, 82, 0.0, 4},
        {56, 0.3, 58, 0.2, 0},    // in the air over wire 2
        {56, 0.3, 58, 0.0, 2},    // coming down across it: 0.15 -> no... at 57 the tip is at 0.15
        {58, 0.0, 68, 0.0, 0},    // between wires
        {82, 0.0, 100, 0.0, 0},   // past every wire: a bolter
        {46, 0.0, 40, 0.0, 0},    // moving backwards
    };
    cases[5].wire = 0;  // 0.15 m at the wire is above the 0.1 m pendant
    for (const Case& k : cases)
        EXPECT_EQ(d.wire_crossed(k.s0, k.h0, k.s1, k.h1), k.wire) << k.s0 << " -> " << k.s1 << " at " << k.h0;
    EXPECT_EQ(d.wire_crossed(56, 0.16, 58, 0.0), 2);  // 0.08 m at the wire
}

TEST(Deck, BadFilesNameTheFileAndLine)
{
    const std::string path = ::testing::TempDir() + "/deck_test.xml";
    struct Case {
        const char* body;
        const char* message;
        int line;
    } cases[] = {
        {"<deck>\n<landing_area angle=\"25\" ramp_x=\"0\" ramp_z=\"-150\" length=\"200\" touchdown=\"70\"/>\n</deck>",
         "\"angle\" = 25 is outside", 2},
        {"<deck>\n<landing_area angle=\"9\" ramp_x=\"0\" ramp_z=\"-150\" length=\"200\" touchdown=\"70\"/>\n"
         "<wire number=\"1\" distance=\"45\"/>\n</deck>",
         "no wire 2", 1},
        {"<deck>\n<landing_area angle=\"9\" ramp_x=\"0\" ramp_z=\"-150\" length=\"200\" touchdown=\"70\" colour=\"red\"/>\n</deck>",
         "unknown attribute \"colour\"", 2},
        {"<deck>\n<landing_area angle=\"9\" ramp_x=\"0\" ramp_z=\"-150\" length=\"200\" touchdown=\"x\"/>\n</deck>",
         "not a number", 2},
        {"<deck>\n<landing_area angle=\"9\" ramp_x=\"0\" ramp_z=\"-150\" length=\"200\" touchdown=\"70\"/>\n"
         "<wire number=\"1\" distance=\"45\"/><wire number=\"2\" distance=\"40\"/>\n<wire number=\"3\" distance=\"69\"/>"
         "<wire number=\"4\" distance=\"81\"/>\n</deck>",
         "one after the other", 1},
        {"<deck>\n<landing_area angle=\"9\" ramp_x=\"0\" ramp_z=\"-150\" length=\"200\" touchdown=\"70\"/>\n"
         "<wire number=\"1\" distance=\"45\"/>\n<wire number=\"1\" distance=\"50\"/>\n</deck>",
         "wire 1 is given twice", 4},
        {"<deck>\n<landing_area angle=\"9\" ramp_x=\"0\" ramp_z=\"-150\" length=\"200\" touchdown=\"70\"/>\n"
         "<wire number=\"1\" distance=\"45\"/><wire number=\"2\" distance=\"57\"/><wire number=\"3\" distance=\"69\"/>"
         "<wire number=\"4\" distance=\"81\"/>\n<catapult number=\"1\" x=\"90\" z=\"0\"/>\n</deck>",
         "catapult 1 does not start on the deck", 1},
        {"<deck><oops", "", 1},
    };
    for (const Case& k : cases) {
        std::ofstream(path) << k.body;
        std::string error;
        EXPECT_FALSE(host::load_deck(path, &error)) << k.body;
        EXPECT_NE(error.find(path + ":" + std::to_string(k.line) + ":"), std::string::npos) << error;
        EXPECT_NE(error.find(k.message), std::string::npos) << error;
    }
    std::string error;
    EXPECT_FALSE(host::load_deck(path + ".missing", &error));
    EXPECT_NE(error.find("cannot open"), std::string::npos);
}

TEST(Arrestment, PaysOutTheRunOutAndStopsWithinAboutTwoAndAHalfSeconds)
{
    for (double v0 : {50.0, 57.0, 65.0}) {
        const host::Arrestment a{v0, 100.0};
        EXPECT_NEAR(a.stop_time(), M_PI / 2 * 100.0 / v0, 1e-12);
        EXPECT_GT(a.stop_time(), 2.0);
        EXPECT_LT(a.stop_time(), 3.2);
        EXPECT_DOUBLE_EQ(a.payout(a.stop_time() + 1.0), 100.0);
        EXPECT_DOUBLE_EQ(a.speed(a.stop_time()), 0.0);
        EXPECT_DOUBLE_EQ(a.speed(0.0), v0);
        double last = v0;
        for (double t = 0.1; t < a.stop_time(); t += 0.1) {
            EXPECT_LT(a.speed(t), last);
            last = a.speed(t);
        }
        // Peak deceleration at the end of the run-out: v0^2 / runout, under 4.5 g here.
        EXPECT_LT(v0 * v0 / 100.0, 4.5 * 9.81);
    }
}

TEST(FlightModel, EngineLagsTheThrottleAndGearAndHookTravelOverSeconds)
{
    host::AircraftParams p;
    host::AircraftState s;
    s.n1 = p.n1_idle;
    s.gear = 0.0;
    s.hook = 0.0;
    host::AircraftControls c;
    c.throttle = 100.0;
    c.gear_down = true;
    c.hook_down = true;
    for (int i = 0; i < 30; ++i) host::step_actuators(p, c, 1.0 / 30, s);  // one second
    EXPECT_GT(s.n1, 80.0);
    EXPECT_LT(s.n1, 95.0);
    EXPECT_NEAR(s.gear, 0.25, 1e-9);
    EXPECT_NEAR(s.hook, 0.5, 1e-9);
    for (int i = 0; i < 150; ++i) host::step_actuators(p, c, 1.0 / 30, s);
    EXPECT_NEAR(s.n1, 100.0, 0.5);
    EXPECT_EQ(s.gear, 1.0);
    EXPECT_EQ(s.hook, 1.0);
    // Throttle and thrust invert each other.
    for (double t : {0.0, 20.0, 55.0, 100.0})
        EXPECT_NEAR(host::throttle_for_thrust(p, host::thrust_for_n1(p, host::n1_for_throttle(p, t))), t, 1e-9);
}

TEST(FlightModel, AngleOfAttackFollowsSpeedAndWeight)
{
    host::AircraftParams p;
    host::AircraftState s;
    host::AircraftControls c;
    auto alpha_at = [&](double kt, double mass) {
        p.mass_kg = mass;
        s = host::AircraftState{};
        s.airspeed_mps = kt * KT;
        s.gear = 1.0;
        host::step_aircraft(p, c, {}, 1.0 / 30, s);
        return s.alpha / DEG;
    };
    const double on_speed = alpha_at(140, 15000);
    EXPECT_GT(on_speed, 6.0);  // about the carrier jets' 8 degrees on speed
    EXPECT_LT(on_speed, 10.0);
    EXPECT_GT(alpha_at(125, 15000), on_speed);
    EXPECT_LT(alpha_at(160, 15000), on_speed);
    EXPECT_GT(alpha_at(140, 18000), on_speed);
}

// A world with one carrier under way and the flown aircraft on final.
struct FlownFixture {
    host::World world;
    host::FlownAircraft* flown = nullptr;
    uint32_t boat = 0;
    static constexpr double DT = 1.0 / 30;

    explicit FlownFixture(double wind_kt = 0.0)
    {
        boat = world.add(host::ObjectKind::Boat, "Carrier Nimitz CVN-68");
        host::SimObject& b = *world.find(boat);
        host::World::set(b, var("PLANE LATITUDE"), 36.8 * DEG);
        host::World::set(b, var("PLANE LONGITUDE"), -75.4 * DEG);
        host::World::set(b, var("PLANE HEADING DEGREES TRUE"), 30.0 * DEG);
        host::World::set(b, var("AIRSPEED TRUE"), 20.0 * KT);
        world.wind() = host::WorldWind{21.0 * DEG, wind_kt * KT};
        flown = &host::FlownAircraft::of(world);
        flown->attach_deck(boat, std::make_shared<host::DeckModel>(nimitz()));
    }

    host::ApproachStart start(double aim_offset = 0.0, bool hook = true) const
    {
        host::ApproachStart s;
        s.distance_nm = 2.5;
        s.right_m = 150.0;  // starts off the line: the autopilot intercepts it
        s.hook_down = hook;
        s.plan.aim_offset_m = aim_offset;
        return s;
    }

    // Runs until the phase is one of `until` or `seconds` pass.
    void run_until(std::initializer_list<host::FlightPhase> until, double seconds)
    {
        for (int i = 0; i < static_cast<int>(seconds / DT); ++i) {
            world.advance(DT);
            for (host::FlightPhase p : until)
                if (flown->phase() == p) return;
        }
    }

    // Glide-slope error as the deck shows it: elevation from the reference point minus the slope.
    double gs_error_deg(const host::ApproachPlan& plan) const
    {
        const host::SimObject& b = *const_cast<host::World&>(world).find(boat);
        const host::ShipPose ship{host::World::get(b, var("PLANE LATITUDE")), host::World::get(b, var("PLANE LONGITUDE")),
                                  0.0, host::World::get(b, var("PLANE HEADING DEGREES TRUE")), 0, 0};
        const host::DeckModel* d = flown->deck_of(boat);
        double x = 0, z = 0, s = 0, c = 0;
        host::world_to_ship(ship, flown->state().lat, flown->state().lon, &x, &z);
        d->ship_to_line(x, z, &s, &c);
        const double ref = d->touchdown_m + plan.aim_offset_m + 2.0 / std::tan(plan.gs_angle_deg * DEG) - s;
        return std::atan2(flown->state().altitude_m - d->height_m, std::hypot(ref, c)) / DEG - plan.gs_angle_deg;
    }
};

TEST(FlownAircraft, FliesTheGlideSlopeWithinATenthOfADegreeAndTrapsOnTheThreeWire)
{
    FlownFixture f(12.0);
    std::string error;
    const host::ApproachStart start = f.start();
    ASSERT_TRUE(f.flown->begin_approach(f.world, f.boat, start, &error)) << error;
    double worst = 0.0;
    for (int i = 0; i < 20 * 30; ++i) f.world.advance(FlownFixture::DT);  // settle on the line
    while (f.flown->phase() == host::FlightPhase::Approach) {
        f.world.advance(FlownFixture::DT);
        const double gs = f.gs_error_deg(start.plan);
        if (f.flown->state().altitude_m - 19.0 > 15.0) worst = std::max(worst, std::fabs(gs));
    }
    EXPECT_LT(worst, 0.1);
    f.run_until({host::FlightPhase::Arrested, host::FlightPhase::Climb}, 5.0);  // the hook meets the wire after the wheels
    const host::RecoveryRecord& r = f.flown->recovery();
    EXPECT_TRUE(r.touched_down);
    EXPECT_NEAR(r.touchdown_s_m, 71.0, 5.0);
    EXPECT_EQ(r.wire, 3);
    f.run_until({host::FlightPhase::Parked}, 10.0);
    EXPECT_TRUE(f.flown->recovery().stopped);
    EXPECT_NEAR(f.flown->recovery().runout_m, 100.0, 1.0);
    const host::Arrestment expected{r.engage_speed_mps, 100.0};
    EXPECT_NEAR(f.flown->recovery().runout_s, expected.stop_time(), 0.05);
    // Over the deck the engagement is the approach speed less the wind over the deck.
    EXPECT_NEAR(r.engage_speed_mps, (140.0 - 20.0 - 12.0) * KT, 3.0);
    // Stopped: on the deck, moving with the ship, the wire held until the hook comes up.
    const host::SimObject& u = f.world.user();
    EXPECT_EQ(host::World::get(u, var("SIM ON GROUND")), 1.0);
    EXPECT_EQ(host::World::get(u, var("CABLE CAUGHT BY TAILHOOK")), 3.0);
    EXPECT_NEAR(host::World::get(u, var("GROUND VELOCITY")), 20.0 * KT, 0.01);
    EXPECT_NEAR(host::World::get(u, var("SURFACE RELATIVE GROUND SPEED")), 0.0, 0.01);
    f.flown->set_hook(false);
    f.world.advance(FlownFixture::DT);
    EXPECT_EQ(host::World::get(u, var("CABLE CAUGHT BY TAILHOOK")), 0.0);
    EXPECT_EQ(f.flown->phase(), host::FlightPhase::Parked);
}

TEST(FlownAircraft, TheWireCaughtIsTheOneTheHookCrossesAndNoHookBolters)
{
    struct Case {
        double aim_offset;
        bool hook;
        int wire;
    } cases[] = {{-26.0, true, 1}, {-12.0, true, 2}, {0.0, true, 3}, {12.0, true, 4}, {40.0, true, 0}, {0.0, false, 0}};
    for (const Case& k : cases) {
        FlownFixture f;
        std::string error;
        ASSERT_TRUE(f.flown->begin_approach(f.world, f.boat, f.start(k.aim_offset, k.hook), &error));
        f.run_until({host::FlightPhase::Arrested, host::FlightPhase::Climb, host::FlightPhase::Ditched}, 150.0);
        if (k.wire) {
            EXPECT_EQ(f.flown->phase(), host::FlightPhase::Arrested) << k.aim_offset;
            EXPECT_EQ(f.flown->recovery().wire, k.wire) << k.aim_offset;
            // The hook met the deck before the wire it caught and after the one before.
            const double tip = f.flown->recovery().hook_touch_s_m;
            const host::DeckModel* d = f.flown->deck_of(f.boat);
            EXPECT_LT(tip, d->wires[k.wire - 1]);
            if (k.wire > 1) {
                EXPECT_GT(tip, d->wires[k.wire - 2] - 3.0);
            }
        } else {
            // Touched down, caught nothing, went round off the angled deck and climbs.
            EXPECT_EQ(f.flown->phase(), host::FlightPhase::Climb) << k.aim_offset;
            EXPECT_TRUE(f.flown->recovery().touched_down);
            EXPECT_TRUE(f.flown->recovery().bolter);
            EXPECT_EQ(f.flown->recovery().wire, 0);
            for (int i = 0; i < 20 * 30; ++i) f.world.advance(FlownFixture::DT);
            EXPECT_GT(f.flown->state().altitude_m, 19.0 + 30.0);
            EXPECT_EQ(host::World::get(f.world.user(), var("SIM ON GROUND")), 0.0);
        }
    }
}

TEST(FlownAircraft, DeviationsAreFlownOverTheirRange)
{
    FlownFixture f;
    host::ApproachStart start = f.start();
    start.plan.deviations[0] = {1.5, 1.0, 0.8, 0.0};
    start.plan.deviation_count = 1;
    std::string error;
    ASSERT_TRUE(f.flown->begin_approach(f.world, f.boat, start, &error));
    double high = 0.0, at_half = 1.0;
    while (f.flown->phase() == host::FlightPhase::Approach) {
        f.world.advance(FlownFixture::DT);
        host::ApproachPlan plain = start.plan;
        plain.deviation_count = 0;
        const double gs = f.gs_error_deg(plain);
        high = std::max(high, gs);
        if (std::fabs(gs) < 2 && f.flown->state().altitude_m - 19.0 < 0.5 * 1852 * std::tan(3.5 * DEG) &&
            f.flown->state().altitude_m - 19.0 > 0.4 * 1852 * std::tan(3.5 * DEG))
            at_half = std::min(at_half, std::fabs(gs));
    }
    f.run_until({host::FlightPhase::Arrested, host::FlightPhase::Climb}, 5.0);
    EXPECT_NEAR(high, 0.8, 0.1);
    EXPECT_LT(at_half, 0.15);  // back on the slope by half a mile
    EXPECT_EQ(f.flown->recovery().wire, 3);
}

TEST(FlownAircraft, PlacedOnACatapultItHoldsThenGoesDownTheStrokeAtTheModulesSpeed)
{
    FlownFixture f(10.0);
    std::string error;
    EXPECT_FALSE(f.flown->place_on_catapult(f.world, f.boat, 5, &error));
    ASSERT_TRUE(f.flown->place_on_catapult(f.world, f.boat, 1, &error)) << error;
    for (int i = 0; i < 30; ++i) f.world.advance(FlownFixture::DT);
    EXPECT_EQ(f.flown->phase(), host::FlightPhase::OnCatapult);
    host::SimObject& u = f.world.user();
    EXPECT_NEAR(host::World::get(u, var("GROUND VELOCITY")), 20.0 * KT, 0.01);
    EXPECT_NEAR(host::World::get(u, var("PLANE HEADING DEGREES TRUE")), 30.0 * DEG, 1e-9);
    // The module's stroke: 24.5 m/s^2 from the deck's speed.
    double speed = 20.0 * KT;
    int frames = 0;
    while (f.flown->phase() != host::FlightPhase::Climb && frames < 300) {
        speed += 24.5 * FlownFixture::DT;
        host::World::set(u, var("VELOCITY BODY Z"), speed);
        f.world.advance(FlownFixture::DT);
        ++frames;
    }
    EXPECT_EQ(f.flown->phase(), host::FlightPhase::Climb);
    // 94 m of stroke and 106 m of bow from z = 60: over the deck from 10 kt to about 200 m.
    EXPECT_NEAR(frames / 30.0, std::sqrt(2 * 106.0 / 24.5), 0.15);
    EXPECT_EQ(host::World::get(u, var("SIM ON GROUND")), 0.0);
    for (int i = 0; i < 15 * 30; ++i) f.world.advance(FlownFixture::DT);
    EXPECT_GT(f.flown->state().altitude_m, 19.0 + 30.0);
    EXPECT_LT(f.flown->state().gear, 1.0);
}

TEST(FlownAircraft, APerFrameStepAllocatesNothing)
{
    FlownFixture f(12.0);
    std::string error;
    ASSERT_TRUE(f.flown->begin_approach(f.world, f.boat, f.start(), &error));
    host::Environment::of(f.world).add_station({"ORF", 116.9, 36.9 * DEG, -76.2 * DEG, 0.0, 130 * 1852.0, true});
    f.world.advance(FlownFixture::DT);
    const long before = allocations_so_far();
    for (int i = 0; i < 1000; ++i) f.world.advance(FlownFixture::DT);
    EXPECT_EQ(allocations_so_far() - before, 0);
    EXPECT_EQ(f.flown->phase(), host::FlightPhase::Approach);
}

TEST(Environment, WindComponentsAreFromAheadAndFromTheRight)
{
    struct Case {
        double from_deg, heading_deg, ahead_kt, right_kt;
    } cases[] = {{0, 0, 20, 0}, {180, 0, -20, 0}, {90, 0, 0, 20}, {270, 0, 0, -20}, {45, 15, 17.32, 10}};
    for (const Case& k : cases) {
        double ahead = 0, right = 0;
        host::wind_components({k.from_deg * DEG, 20 * KT}, k.heading_deg * DEG, &ahead, &right);
        EXPECT_NEAR(ahead / KT, k.ahead_kt, 0.01) << k.from_deg;
        EXPECT_NEAR(right / KT, k.right_kt, 0.01) << k.from_deg;
    }
    // The air mass moves away from where the wind comes from.
    const host::WorldWind north{0.0, 10.0};
    EXPECT_NEAR(north.north_mps(), -10.0, 1e-12);
    EXPECT_NEAR(north.east_mps(), 0.0, 1e-12);
}

TEST(Environment, NavReceiversTuneVorDmeStations)
{
    host::World world;
    host::Environment& env = host::Environment::of(world);
    env.add_station({"ORF", 116.90, 36.9 * DEG, -76.2 * DEG, 0.0, 130 * 1852.0, true});
    env.add_station({"VOR", 113.90, 36.8 * DEG, -75.0 * DEG, 0.0, 40 * 1852.0, false});
    host::SimObject& u = world.user();
    host::World::set(u, var("PLANE LATITUDE"), 36.9 * DEG);
    host::World::set(u, var("PLANE LONGITUDE"), -75.4 * DEG);  // about 38.5 nm east of ORF
    host::World::set(u, var("PLANE ALTITUDE"), 3000.0);
    host::World::set(u, var("PLANE HEADING DEGREES TRUE"), 180.0 * DEG);
    host::World::set(u, var("NAV ACTIVE FREQUENCY:1"), 116.90);
    host::World::set(u, var("NAV ACTIVE FREQUENCY:2"), 113.90);
    world.advance(0.1);
    EXPECT_EQ(host::World::get(u, var("NAV HAS NAV:1")), 1.0);
    EXPECT_EQ(host::World::get(u, var("NAV HAS DME:1")), 1.0);
    EXPECT_NEAR(host::World::get(u, var("NAV DME:1")) / 1852.0, 38.5, 0.3);
    // ORF lies west, the aircraft heads south: the station is 90 degrees to the right.
    EXPECT_NEAR(host::World::get(u, var("NAV RELATIVE BEARING TO STATION:1")) / DEG, 90.0, 0.5);
    EXPECT_EQ(host::World::get(u, var("NAV HAS NAV:2")), 1.0);   // a VOR without DME
    EXPECT_EQ(host::World::get(u, var("NAV HAS DME:2")), 0.0);
    EXPECT_EQ(host::World::get(u, var("NAV DME:2")), 0.0);
    host::World::set(u, var("NAV ACTIVE FREQUENCY:1"), 116.80);  // nothing there
    host::World::set(u, var("PLANE LONGITUDE"), -74.0 * DEG);    // and out of the VOR's 40 nm
    world.advance(0.1);
    EXPECT_EQ(host::World::get(u, var("NAV HAS NAV:1")), 0.0);
    EXPECT_EQ(host::World::get(u, var("NAV HAS DME:1")), 0.0);
    EXPECT_EQ(host::World::get(u, var("NAV HAS NAV:2")), 0.0);
}

TEST(Environment, AShipTurnsIntoTheWindDownItsAngledDeck)
{
    FlownFixture f(15.0);  // wind from 021
    host::Environment::of(f.world).steer({f.boat, 1.0 * DEG, 9.0 * DEG, 30.0 * KT});
    for (int i = 0; i < 90 * 30; ++i) f.world.advance(FlownFixture::DT);
    const host::SimObject& b = *f.world.find(f.boat);
    EXPECT_NEAR(host::World::get(b, var("PLANE HEADING DEGREES TRUE")) / DEG, 30.0, 0.05);  // 21 + 9: already there
    f.world.wind().from = 60.0 * DEG;
    double max_rate = 0.0;
    for (int i = 0; i < 120 * 30; ++i) {
        f.world.advance(FlownFixture::DT);
        max_rate = std::max(max_rate, std::fabs(host::World::get(b, var("ROTATION VELOCITY BODY Y"))));
    }
    EXPECT_NEAR(host::World::get(b, var("PLANE HEADING DEGREES TRUE")) / DEG, 69.0, 0.05);
    EXPECT_LE(max_rate, 1.0 * DEG + 1e-12);
    EXPECT_NEAR(host::World::get(b, var("AIRSPEED TRUE")) / KT, 15.0, 1e-9);  // 30 kt over the deck
}

}  // namespace
