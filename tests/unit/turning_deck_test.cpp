// The autopilot and a deck that turns under the approach: how the landing
// line swings, the intercept, the roll-out onto the line, following the line
// while it swings, and how fast a deviation is taken out (correct_s).
#include "host/build_paths.h"
#include <gtest/gtest.h>

#include <cmath>

#include "host/world/flown_aircraft.h"
#include "host/world/sim_vars.h"

namespace {

constexpr double DEG = M_PI / 180.0;
constexpr double KT = 1852.0 / 3600.0;
constexpr double DT = 1.0 / 30;

const host::SimVarInfo& var(const char* name) { return *host::find_sim_var(name); }

host::DeckModel nimitz()
{
    std::string error;
    auto deck = host::load_deck(std::string(CARRIER_SOURCE_DIR) + "/scenarios/decks/nimitz.xml", &error);
    EXPECT_TRUE(deck) << error;
    return deck ? *deck : host::DeckModel{};
}

TEST(LineSwing, IsHowFastTheLineMovesPastAFixedPointAsTheShipYaws)
{
    const host::DeckModel deck = nimitz();
    const host::ShipPose before{36.8 * DEG, -75.4 * DEG, 0.0, 34.0 * DEG, 0.0, 0.0};
    // Points of the ship's frame: far behind on the landing line, abeam to
    // starboard, ahead of the bow.
    struct Point {
        double s, c;
    } points[] = {{-5000.0, 0.0}, {-1500.0, 300.0}, {100.0, -40.0}, {400.0, 0.0}};
    for (double yaw : {1.0 * DEG, -0.5 * DEG}) {
        for (const Point& p : points) {
            double x = 0, z = 0, lat = 0, lon = 0;
            deck.line_to_ship(p.s, p.c, &x, &z);
            host::ship_to_world(before, x, z, &lat, &lon);
            // The same world point a moment later, the ship turned about its reference point.
            host::ShipPose after = before;
            const double dt = 0.01;
            after.heading += yaw * dt;
            double x1 = 0, z1 = 0, s1 = 0, c1 = 0;
            host::world_to_ship(after, lat, lon, &x1, &z1);
            deck.ship_to_line(x1, z1, &s1, &c1);
            const double moved_right = -(c1 - p.c) / dt;  // the point falls behind to the left as the line moves right
            EXPECT_NEAR(deck.line_swing(yaw, x, z), moved_right, 0.01 * std::fabs(moved_right) + 0.02)
                << "yaw " << yaw / DEG << " at s " << p.s << " c " << p.c;
        }
    }
    // Behind the ship a turn to starboard swings the line to port.
    double x = 0, z = 0;
    deck.line_to_ship(-5000.0, 0.0, &x, &z);
    EXPECT_LT(deck.line_swing(1.0 * DEG, x, z), -80.0);
    EXPECT_EQ(deck.line_swing(0.0, x, z), 0.0);
}

// A carrier making 18 kt into a 12 kt wind, the flown aircraft on final to it.
struct TurnFixture {
    host::World world;
    host::FlownAircraft* flown = nullptr;
    uint32_t boat = 0;

    explicit TurnFixture(double heading_deg = 54.0)
    {
        boat = world.add(host::ObjectKind::Boat, "Carrier Nimitz CVN-68");
        host::SimObject& b = *world.find(boat);
        host::World::set(b, var("PLANE LATITUDE"), 36.8 * DEG);
        host::World::set(b, var("PLANE LONGITUDE"), -75.4 * DEG);
        host::World::set(b, var("PLANE HEADING DEGREES TRUE"), heading_deg * DEG);
        host::World::set(b, var("AIRSPEED TRUE"), 18.0 * KT);
        world.wind() = host::WorldWind{45.0 * DEG, 12.0 * KT};
        flown = &host::FlownAircraft::of(world);
        flown->attach_deck(boat, std::make_shared<host::DeckModel>(nimitz()));
    }

    void begin(const host::ApproachStart& start)
    {
        std::string error;
        ASSERT_TRUE(flown->begin_approach(world, boat, start, &error)) << error;
    }

    void yaw(double deg_per_s) { host::World::set(*world.find(boat), var("ROTATION VELOCITY BODY Y"), deg_per_s * DEG); }

    host::ApproachTruth truth()
    {
        host::ApproachTruth t;
        EXPECT_TRUE(flown->approach_truth(world, &t));
        return t;
    }

    // The aircraft's track over the deck, degrees right of the landing line's course.
    double track_off_line_deg()
    {
        const host::ApproachTruth t = truth();
        const double course = t.ship.heading - t.deck->landing_angle_deg * DEG;
        const double east = flown->state().ground_east_mps - t.ship.speed_mps * std::sin(t.ship.heading);
        const double north = flown->state().ground_north_mps - t.ship.speed_mps * std::cos(t.ship.heading);
        return std::remainder(std::atan2(east, north) - course, 2.0 * M_PI) / DEG;
    }
};

TEST(TurningDeck, TheInterceptIsTwentyDegreesAndSteeperOnlyWhenTheLineIsTooFarToJoinAMileOut)
{
    struct Case {
        double distance_nm, right_m;
        double low_deg, high_deg;  // the steepest track towards the line
    } cases[] = {
        {3.0, 400.0, 18.0, 22.0},   // 20 degrees joins it well before a mile
        {2.0, 1500.0, 35.0, 45.5},  // 20 would join it inside a mile: steeper
        {1.2, 1500.0, 42.0, 45.5},  // at most 45
        {0.9, 300.0, 30.0, 45.5},   // inside the mile: as steep as it may
    };
    for (const Case& k : cases) {
        TurnFixture f;
        host::ApproachStart start;
        start.distance_nm = k.distance_nm;
        start.right_m = k.right_m;
        f.begin(start);
        double steepest = 0.0;
        for (int i = 0; i < 40 * 30 && f.flown->phase() == host::FlightPhase::Approach; ++i) {
            f.world.advance(DT);
            steepest = std::max(steepest, -f.track_off_line_deg());  // towards the line: to the left
        }
        EXPECT_GT(steepest, k.low_deg) << k.distance_nm << " nm, " << k.right_m << " m";
        EXPECT_LT(steepest, k.high_deg) << k.distance_nm << " nm, " << k.right_m << " m";
    }
}

TEST(TurningDeck, TheAircraftRollsOutOntoTheLineWithoutOvershootingIt)
{
    TurnFixture f;
    host::ApproachStart start;
    start.distance_nm = 2.0;
    start.right_m = 1500.0;  // joined at a steep intercept
    f.begin(start);
    double left_most = 0.0;
    while (f.flown->phase() == host::FlightPhase::Approach) {
        f.world.advance(DT);
        left_most = std::min(left_most, f.truth().c_m);
    }
    EXPECT_GT(left_most, -5.0);
}

TEST(TurningDeck, WhileTheDeckSwingsTheLineTheAircraftMovesWithIt)
{
    // A slow turn the aircraft can keep up with: 0.2 deg/s for 40 s from
    // 2.5 nm, the line abeam it moving sideways at about 15 m/s.
    TurnFixture f(46.0);
    host::ApproachStart start;
    start.distance_nm = 2.5;
    f.begin(start);
    double widest = 0.0;
    for (double t = DT; t < 40.0; t += DT) {
        f.yaw(0.2);
        f.world.advance(DT);
        if (t > 5.0) widest = std::max(widest, std::fabs(f.truth().c_m));
    }
    EXPECT_LT(widest, 10.0);
}

// The time constant with which the aircraft's offset from the planned path
// decays, from an offset of 12 m above the slope or right of the line: the
// time it takes to fall from 60 % to 36 % of that, over ln(1/0.6) (the first
// second or so, the aircraft's own lag, left out).
double time_constant_s(double correct_s, bool line)
{
    TurnFixture f;
    host::ApproachStart start;
    start.distance_nm = 2.5;
    start.plan.correct_s = correct_s;
    const double distance = 2.5 * 1852.0, offset = 12.0;
    if (line) start.right_m = offset;
    else start.altitude_m = 19.0 + distance * std::tan(3.5 * DEG) + offset;
    f.begin(start);
    double t60 = NAN;
    for (double t = DT; t < 60.0; t += DT) {
        f.world.advance(DT);
        const host::ApproachTruth truth = f.truth();
        const double range = truth.deck->touchdown_m + 2.0 / std::tan(3.5 * DEG) - truth.s_m;
        const double off = line ? truth.c_m : f.flown->state().altitude_m - 19.0 - range * std::tan(3.5 * DEG);
        if (std::isnan(t60) && std::fabs(off) < 0.6 * offset) t60 = t;
        if (std::fabs(off) < 0.36 * offset) return (t - t60) / std::log(1.0 / 0.6);
    }
    return NAN;
}

TEST(ApproachCorrection, CorrectSIsTheTimeConstantOfTakingOutAnOffsetOnTheSlopeAndTheLine)
{
    for (bool line : {false, true}) {
        const char* what = line ? "line" : "slope";
        // The aircraft follows its commands a second or so late, which
        // takes an offset out a little faster than the time constant asked.
        for (double tau : {1.0, 4.0, 12.0}) {
            EXPECT_GT(time_constant_s(tau, line), 0.75 * tau) << what << " " << tau;
            EXPECT_LT(time_constant_s(tau, line), 1.02 * tau) << what << " " << tau;
        }
    }
    // Unset, the built-in gains: 2 s on the slope, 1/0.35 s on the line.
    EXPECT_DOUBLE_EQ(time_constant_s(0.0, false), time_constant_s(2.0, false));
    EXPECT_NEAR(time_constant_s(0.0, true), time_constant_s(1.0 / 0.35, true), 1e-6);
    EXPECT_GT(std::fabs(time_constant_s(0.0, true) - time_constant_s(2.0, true)), 0.2);
}

}  // namespace
