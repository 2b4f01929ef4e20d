// The flown aircraft ashore: the approach to a fixed site's runway flies the
// glide slope through the site's ILS reference point (the aim point moved
// forward by the height of the centre of gravity over the tangent of the
// slope, at the site's elevation), touches down at the aim point and brakes
// to a stop on the centre line, with no wire whatever the hook does.
#include <gtest/gtest.h>

#include <cmath>

#include "host/world/flown_aircraft.h"
#include "host/world/sim_vars.h"

namespace {

constexpr double DEG = M_PI / 180.0;
constexpr double KT = 1852.0 / 3600.0;
constexpr double DT = 1.0 / 30;

const host::SimVarInfo& var(const char* name) { return *host::find_sim_var(name); }

// Horizontal distance and bearing between two points a few km apart (flat).
void local(double lat0, double lon0, double lat1, double lon1, double* east, double* north)
{
    *north = (lat1 - lat0) * host::WORLD_RADIUS_M;
    *east = std::remainder(lon1 - lon0, 2 * M_PI) * host::WORLD_RADIUS_M * std::cos(lat0);
}

TEST(FlownAircraftAshore, FliesTheSitesGlideSlopeTouchesDownAtTheAimPointAndStopsOnTheRunway)
{
    struct Case {
        double heading_deg, elevation_m;
        double wind_from_deg, wind_kt;
        double right_m, aim_point_m;
        bool hook;
    } cases[] = {
        {40.0, 5.0, 40.0, 10.0, 0.0, 300.0, false},     // wind down the runway
        {350.0, 300.0, 80.0, 15.0, 200.0, 300.0, false},  // across the north, crosswind, off the line at the start
        {180.0, 50.0, 0.0, 0.0, -150.0, 66.0, true},     // hook down where a deck's wires would lie
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.heading_deg);
        host::World world;
        world.wind() = host::WorldWind{k.wind_from_deg * DEG, k.wind_kt * KT};
        host::FlownAircraft& flown = host::FlownAircraft::of(world);
        host::RunwaySite site;
        site.name = "Test Field";
        site.lat = 36.7 * DEG;
        site.lon = -76.1 * DEG;
        site.altitude_m = k.elevation_m;
        site.heading = k.heading_deg * DEG;
        site.aim_point_m = k.aim_point_m;
        host::ApproachStart start;
        start.distance_nm = 2.5;
        start.right_m = k.right_m;
        start.hook_down = k.hook;
        std::string error;
        ASSERT_TRUE(flown.begin_site_approach(world, site, start, &error)) << error;
        EXPECT_TRUE(flown.ashore());

        // The module's reference point: b metres along the runway from the aim point.
        const double cg = flown.params().cg_height_m;
        const double b = cg / std::tan(start.plan.gs_angle_deg * DEG);
        const double ref_lat = site.lat + b * std::cos(site.heading) / host::WORLD_RADIUS_M;
        const double ref_lon = site.lon + b * std::sin(site.heading) / (host::WORLD_RADIUS_M * std::cos(site.lat));
        double worst_gs = 0.0, worst_loc = 0.0;
        for (int i = 0; i < 180 * 30 && flown.phase() == host::FlightPhase::Approach; ++i) {
            world.advance(DT);
            const host::AircraftState& s = flown.state();
            double east = 0, north = 0;
            local(s.lat, s.lon, ref_lat, ref_lon, &east, &north);
            const double d = std::hypot(east, north);
            const double gs = std::atan2(s.altitude_m - k.elevation_m, d) / DEG - start.plan.gs_angle_deg;
            const double loc = std::remainder(std::atan2(east, north) - site.heading, 2 * M_PI) / DEG;
            if (i > 40 * 30 && s.altitude_m - k.elevation_m > 15.0) {
                worst_gs = std::max(worst_gs, std::fabs(gs));
                worst_loc = std::max(worst_loc, std::fabs(loc));
            }
        }
        EXPECT_LT(worst_gs, 0.1);
        EXPECT_LT(worst_loc, 0.2);
        ASSERT_EQ(flown.phase(), host::FlightPhase::Rolling);
        EXPECT_NEAR(flown.recovery().touchdown_s_m, k.aim_point_m, 8.0);

        for (int i = 0; i < 60 * 30 && flown.phase() == host::FlightPhase::Rolling; ++i) world.advance(DT);
        ASSERT_EQ(flown.phase(), host::FlightPhase::Parked);
        const host::RecoveryRecord& r = flown.recovery();
        EXPECT_TRUE(r.stopped);
        EXPECT_EQ(r.wire, 0);
        EXPECT_FALSE(r.bolter);
        // About 60 m/s over the runway: a second of free roll and braking at 3 m/s2.
        EXPECT_GT(r.runout_m, 500.0);
        EXPECT_LT(r.runout_m, 1000.0);
        world.advance(DT);
        const host::SimObject& u = world.user();
        EXPECT_EQ(host::World::get(u, var("SIM ON GROUND")), 1.0);
        EXPECT_EQ(host::World::get(u, var("CABLE CAUGHT BY TAILHOOK")), 0.0);
        EXPECT_EQ(host::World::get(u, var("GROUND VELOCITY")), 0.0);
        EXPECT_NEAR(host::World::get(u, var("PLANE ALTITUDE")), k.elevation_m + cg, 1e-6);
        EXPECT_NEAR(std::remainder(host::World::get(u, var("PLANE HEADING DEGREES TRUE")) - site.heading, 2 * M_PI), 0.0,
                    1e-6);
        EXPECT_LT(host::World::get(u, var("ENG1 N1 RPM")), flown.params().n1_idle + 1.0);
        // On the centre line, past the aim point by the roll-out.
        double east = 0, north = 0;
        local(site.lat, site.lon, flown.state().lat, flown.state().lon, &east, &north);
        const double along = east * std::sin(site.heading) + north * std::cos(site.heading);
        const double right = east * std::cos(site.heading) - north * std::sin(site.heading);
        EXPECT_NEAR(along, r.touchdown_s_m - k.aim_point_m + r.runout_m, 2.0);
        EXPECT_LT(std::fabs(right), 3.0);
    }
}

TEST(FlownAircraftAshore, ARunwayIsADeckThatHoldsTheAimPointAndEndsAtItsEnds)
{
    host::RunwaySite site;
    site.length_m = 2400.0;
    site.width_m = 45.0;
    site.aim_point_m = 300.0;
    const host::DeckModel d = host::runway_deck(site);
    double x = 1, z = 1;
    d.line_to_ship(d.touchdown_m, 0.0, &x, &z);
    EXPECT_NEAR(x, 0.0, 1e-9);  // the aim point is the site's position
    EXPECT_NEAR(z, 0.0, 1e-9);
    EXPECT_EQ(d.height_m, 0.0);
    struct Case {
        double x, z;
        bool on;
    } points[] = {{0, -299, true}, {0, -301, false}, {0, 2099, true}, {0, 2101, false}, {22, 0, true}, {-23, 0, false}};
    for (const Case& p : points) EXPECT_EQ(d.on_deck(p.x, p.z), p.on) << p.x << " " << p.z;

    // A runway that does not hold its aim point is refused.
    host::World world;
    host::FlownAircraft& flown = host::FlownAircraft::of(world);
    site.aim_point_m = 2500.0;
    std::string error;
    EXPECT_FALSE(flown.begin_site_approach(world, site, host::ApproachStart{}, &error));
    EXPECT_NE(error.find("does not hold its aim point"), std::string::npos);
}

}  // namespace

namespace {

// A wave-off with the gear down: full power, the nose up to hold about 20 kt
// over the approach speed, level at 600 ft; the gear and hook stay where they were.
TEST(FlownAircraftAshore, AWaveOffClimbsAtItsClimbSpeedToSixHundredFeet)
{
    host::World world;
    host::FlownAircraft& flown = host::FlownAircraft::of(world);
    host::RunwaySite site;
    site.lat = 36.7 * DEG;
    site.lon = -76.1 * DEG;
    site.heading = 40.0 * DEG;
    host::ApproachStart start;
    start.distance_nm = 1.0;
    std::string error;
    ASSERT_TRUE(flown.begin_site_approach(world, site, start, &error)) << error;
    for (int i = 0; i < 5 * 30; ++i) world.advance(DT);
    flown.go_around("test");
    ASSERT_EQ(flown.phase(), host::FlightPhase::Climb);
    const double target = host::climb_speed(start.plan, flown.state());
    EXPECT_NEAR(target, (140.0 + 20.0) * KT, 1e-9);
    double fastest = 0.0, highest = 0.0;
    for (int i = 0; i < 60 * 30; ++i) {
        world.advance(DT);
        fastest = std::max(fastest, flown.state().airspeed_mps);
        highest = std::max(highest, flown.state().altitude_m);
    }
    EXPECT_LT(fastest, target + 5.0 * KT);
    EXPECT_NEAR(highest, 600.0 * 0.3048, 15.0);
    EXPECT_NEAR(flown.state().altitude_m, 600.0 * 0.3048, 5.0);
    EXPECT_NEAR(flown.state().airspeed_mps, target, 2.0 * KT);
    EXPECT_EQ(flown.state().gear, 1.0);
    EXPECT_EQ(host::World::get(world.user(), var("SIM ON GROUND")), 0.0);
}

}  // namespace
