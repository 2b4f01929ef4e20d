// The world's motion step against the great-circle step it stands for.
#include <gtest/gtest.h>

#include <cmath>

#include "host/world/world.h"

namespace {
double metres_between(double lat1, double lon1, double lat2, double lon2)
{
    // Short distances: the local flat approximation is exact enough here.
    const double dlat = lat2 - lat1;
    const double dlon = std::remainder(lon2 - lon1, 2 * M_PI) * std::cos(0.5 * (lat1 + lat2));
    return host::WORLD_RADIUS_M * std::hypot(dlat, dlon);
}
}  // namespace

TEST(BoatMotion, TheFrameStepAgreesWithTheGreatCircleStep)
{
    const double lats[] = {0.0, 0.64, -0.9, 1.45, -1.5};
    const double courses[] = {0.0, 0.3, M_PI / 2, 2.5, M_PI, 4.0, 5.9};
    const double distances[] = {0.0, 0.17, 1.2, 10.0, 60.0, 5000.0};  // metres in one frame
    for (double lat : lats)
        for (double course : courses)
            for (double d : distances) {
                double lat_a, lon_a, lat_b, lon_b;
                host::sphere_destination(lat, 3.1415, course, d, &lat_a, &lon_a);
                host::course_step(lat, 3.1415, std::sin(course), std::cos(course), course, d, &lat_b, &lon_b);
                // The two part by how far a rhumb line leaves a great circle over
                // the step: d^2 tan(lat) / 2R, a few micrometres at most over a frame.
                const double parting = d * d * (1.0 + std::fabs(std::tan(lat))) / host::WORLD_RADIUS_M;
                EXPECT_LT(metres_between(lat_a, lon_a, lat_b, lon_b), parting + 1e-8)  // + rounding
                    << "lat " << lat << " course " << course << " distance " << d;
                EXPECT_LE(std::fabs(lon_b), M_PI);
            }
}

TEST(BoatMotion, BoatsFollowTheirHeadingAsItChangesAndBoatsAtRestStay)
{
    host::World world;
    const uint32_t moving = world.add(host::ObjectKind::Boat, "A");
    const uint32_t resting = world.add(host::ObjectKind::Boat, "B");
    const auto& lat = *host::find_sim_var("PLANE LATITUDE");
    const auto& lon = *host::find_sim_var("PLANE LONGITUDE");
    const auto& heading = *host::find_sim_var("PLANE HEADING DEGREES TRUE");
    const auto& speed = *host::find_sim_var("AIRSPEED TRUE");
    host::SimObject& a = *world.find(moving);
    host::World::set(a, lat, 0.64);
    host::World::set(a, heading, 0.0);  // north
    host::World::set(a, speed, 10.0);
    host::SimObject& b = *world.find(resting);
    host::World::set(b, lat, 0.5);
    host::World::set(b, lon, 0.2);

    for (int k = 0; k < 600; ++k) world.advance(1.0 / 60.0);  // 100 m north
    EXPECT_NEAR((host::World::get(a, lat) - 0.64) * host::WORLD_RADIUS_M, 100.0, 1e-6);
    EXPECT_NEAR(host::World::get(a, lon), 0.0, 1e-15);

    host::World::set(a, heading, M_PI / 2);  // now east: the step must use the new heading
    const double lat_turn = host::World::get(a, lat);
    for (int k = 0; k < 600; ++k) world.advance(1.0 / 60.0);
    EXPECT_NEAR(host::World::get(a, lat), lat_turn, 1e-12);
    EXPECT_NEAR(host::World::get(a, lon) * std::cos(lat_turn) * host::WORLD_RADIUS_M, 100.0, 1e-6);

    EXPECT_EQ(host::World::get(b, lat), 0.5);
    EXPECT_EQ(host::World::get(b, lon), 0.2);
}
