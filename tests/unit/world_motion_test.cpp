// How world objects move: the user aircraft's straight path is a great
// circle, a boat keeps its true heading.
#include <gtest/gtest.h>

#include <cmath>

#include "host/world/world.h"

namespace {

const double DEG = M_PI / 180.0;

double distance_m(double lat1, double lon1, double lat2, double lon2)
{
    const double a = std::pow(std::sin((lat2 - lat1) / 2), 2) +
                     std::cos(lat1) * std::cos(lat2) * std::pow(std::sin((lon2 - lon1) / 2), 2);
    return 2 * host::WORLD_RADIUS_M * std::asin(std::sqrt(a));
}

double course(double lat1, double lon1, double lat2, double lon2)
{
    return std::atan2(std::sin(lon2 - lon1) * std::cos(lat2),
                      std::cos(lat1) * std::sin(lat2) - std::sin(lat1) * std::cos(lat2) * std::cos(lon2 - lon1));
}

// Signed distance of P from the great circle through A with course `c`.
double cross_track_m(double lat_a, double lon_a, double c, double lat_p, double lon_p)
{
    const double d = distance_m(lat_a, lon_a, lat_p, lon_p) / host::WORLD_RADIUS_M;
    return std::asin(std::sin(d) * std::sin(course(lat_a, lon_a, lat_p, lon_p) - c)) * host::WORLD_RADIUS_M;
}

const host::SimVarInfo& var(const char* name) { return *host::find_sim_var(name); }

TEST(WorldMotion, AStraightPathFollowsTheGreatCircle)
{
    // 12 nm out from an aim point, flying at it at 140 kt, at several courses and latitudes.
    const struct {
        double lat, lon, heading;
    } cases[] = {{36.8, -75.4, 81}, {60.0, 10.0, 45}, {-45.0, 170.0, 300}, {10.0, 0.0, 0}};
    for (const auto& c : cases) {
        const double lat0 = c.lat * DEG, lon0 = c.lon * DEG, h0 = c.heading * DEG;
        double lat_t = 0, lon_t = 0;
        host::sphere_destination(lat0, lon0, h0, 12 * 1852.0, &lat_t, &lon_t);

        host::World world;
        host::SimObject& user = world.user();
        host::World::set(user, var("PLANE LATITUDE"), lat0);
        host::World::set(user, var("PLANE LONGITUDE"), lon0);
        host::World::set(user, var("PLANE HEADING DEGREES TRUE"), h0);
        host::World::set(user, var("GROUND VELOCITY"), 140 * 1852.0 / 3600.0);
        user.follows_path = true;
        const int frames = static_cast<int>(std::round(11.3 / 140.0 * 3600.0 * 30.0));
        for (int i = 0; i < frames; ++i) world.advance(1.0 / 30.0);

        const double lat = host::World::get(user, var("PLANE LATITUDE"));
        const double lon = host::World::get(user, var("PLANE LONGITUDE"));
        EXPECT_LT(std::fabs(cross_track_m(lat0, lon0, h0, lat, lon)), 0.5) << c.lat << " " << c.heading;
        EXPECT_NEAR(distance_m(lat, lon, lat_t, lon_t) / 1852.0, 0.7, 0.01);
        // Still heading at the aim point.
        const double to_target = course(lat, lon, lat_t, lon_t);
        EXPECT_NEAR(std::remainder(host::World::get(user, var("PLANE HEADING DEGREES TRUE")) - to_target, 2 * M_PI), 0.0,
                    1e-4);
    }
}

TEST(WorldMotion, ABoatKeepsItsTrueHeading)
{
    host::World world;
    const uint32_t id = world.add(host::ObjectKind::Boat, "Ship");
    host::SimObject& boat = *world.find(id);
    host::World::set(boat, var("PLANE LATITUDE"), 36.8 * DEG);
    host::World::set(boat, var("PLANE HEADING DEGREES TRUE"), 81 * DEG);
    host::World::set(boat, var("AIRSPEED TRUE"), 20 * 1852.0 / 3600.0);
    for (int i = 0; i < 30 * 600; ++i) world.advance(1.0 / 30.0);
    EXPECT_DOUBLE_EQ(host::World::get(boat, var("PLANE HEADING DEGREES TRUE")), 81 * DEG);
    EXPECT_NEAR(distance_m(36.8 * DEG, 0, host::World::get(boat, var("PLANE LATITUDE")),
                           host::World::get(boat, var("PLANE LONGITUDE"))) / 1852.0,
                20.0 / 6.0, 0.01);
}

}  // namespace
