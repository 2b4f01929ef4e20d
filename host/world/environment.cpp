// Wind, VOR-DME stations and ships that steer into the wind.
#include "host/world/environment.h"

#include <algorithm>
#include <cmath>

#include "host/record/timeline.h"

namespace host {
namespace {

const SimVarInfo& var(const char* name) { return *find_sim_var(name); }

double wrap_signed(double a) { return std::remainder(a, 2.0 * M_PI); }

double wrap_positive(double a)
{
    a = std::fmod(a, 2.0 * M_PI);
    return a < 0.0 ? a + 2.0 * M_PI : a;
}

double ground_distance(double lat1, double lon1, double lat2, double lon2)
{
    const double h = std::pow(std::sin((lat2 - lat1) / 2), 2) +
                     std::cos(lat1) * std::cos(lat2) * std::pow(std::sin((lon2 - lon1) / 2), 2);
    return 2.0 * WORLD_RADIUS_M * std::asin(std::min(1.0, std::sqrt(h)));
}

double course_to(double lat1, double lon1, double lat2, double lon2)
{
    const double dlon = lon2 - lon1;
    return wrap_positive(std::atan2(std::sin(dlon) * std::cos(lat2),
                                    std::cos(lat1) * std::sin(lat2) - std::sin(lat1) * std::cos(lat2) * std::cos(dlon)));
}

constexpr double MAX_SHIP_SPEED_MPS = 33.0 * 1852.0 / 3600.0;
constexpr double STEERING_GAIN = 0.3;  // 1/s: yaw rate per radian off the heading

}  // namespace

Environment& Environment::of(World& world)
{
    if (Environment* existing = world.process<Environment>()) return *existing;
    auto created = std::make_unique<Environment>();
    Environment& ref = *created;
    world.add_process(std::move(created));
    return ref;
}

void Environment::steer(SteeredShip ship)
{
    for (SteeredShip& s : steered_)
        if (s.boat_id == ship.boat_id) {
            s = ship;
            return;
        }
    steered_.push_back(ship);
}

const NavStation* station_received(const std::vector<NavStation>& stations, double frequency_mhz, double lat,
                                   double lon, double* distance_m)
{
    const NavStation* best = nullptr;
    double best_distance = 0.0;
    for (const NavStation& s : stations) {
        if (std::fabs(s.frequency_mhz - frequency_mhz) > 0.005) continue;
        const double d = ground_distance(lat, lon, s.lat, s.lon);
        if (d > s.range_m) continue;
        if (!best || d < best_distance) {
            best = &s;
            best_distance = d;
        }
    }
    if (best) *distance_m = best_distance;
    return best;
}

void wind_components(const WorldWind& wind, double heading, double* from_ahead, double* from_right)
{
    const double relative = wind.from - heading;
    *from_ahead = wind.speed_mps * std::cos(relative);
    *from_right = wind.speed_mps * std::sin(relative);
}

void Environment::step(World& world, double dt)
{
    static const SimVarInfo& lat = var("PLANE LATITUDE");
    static const SimVarInfo& lon = var("PLANE LONGITUDE");
    static const SimVarInfo& alt = var("PLANE ALTITUDE");
    static const SimVarInfo& heading = var("PLANE HEADING DEGREES TRUE");
    static const SimVarInfo& yaw = var("ROTATION VELOCITY BODY Y");
    static const SimVarInfo& boat_speed = var("AIRSPEED TRUE");
    static const SimVarInfo& wind_z = var("AMBIENT WIND Z");
    static const SimVarInfo& wind_x = var("AMBIENT WIND X");
    static const SimVarInfo& wind_direction = var("AMBIENT WIND DIRECTION");
    static const SimVarInfo& wind_velocity = var("AMBIENT WIND VELOCITY");
    static const SimVarInfo* const frequency[] = {find_sim_var("NAV ACTIVE FREQUENCY:1"), find_sim_var("NAV ACTIVE FREQUENCY:2")};
    static const SimVarInfo* const has_nav[] = {find_sim_var("NAV HAS NAV:1"), find_sim_var("NAV HAS NAV:2")};
    static const SimVarInfo* const has_dme[] = {find_sim_var("NAV HAS DME:1"), find_sim_var("NAV HAS DME:2")};
    static const SimVarInfo* const dme[] = {find_sim_var("NAV DME:1"), find_sim_var("NAV DME:2")};
    static const SimVarInfo* const bearing[] = {find_sim_var("NAV RELATIVE BEARING TO STATION:1"),
                                                find_sim_var("NAV RELATIVE BEARING TO STATION:2")};

    const WorldWind& wind = world.wind();
    for (SteeredShip& ship : steered_) {
        SimObject* boat = world.find(ship.boat_id);
        if (!boat) continue;
        const double error = wrap_signed(wind.from + ship.offset - World::get(*boat, heading));
        const bool steady = std::fabs(error) < 0.01 * M_PI / 180.0;
        World::set(*boat, yaw, steady ? 0.0 : std::clamp(STEERING_GAIN * error, -ship.rate, ship.rate));
        if (ship.wind_over_deck_mps)
            World::set(*boat, boat_speed, std::clamp(*ship.wind_over_deck_mps - wind.speed_mps, 0.0, MAX_SHIP_SPEED_MPS));
        if (steady && !ship.steady && timeline_)
            timeline_->add("world", {{"what", "ship steady into the wind"},
                                     {"boat", boat->title},
                                     {"heading_deg", World::get(*boat, heading) * 180.0 / M_PI}});
        ship.steady = steady;
    }

    SimObject& user = world.user();
    double ahead = 0.0, right = 0.0;
    wind_components(wind, World::get(user, heading), &ahead, &right);
    World::set(user, wind_z, ahead);
    World::set(user, wind_x, right);
    World::set(user, wind_direction, wind.from);
    World::set(user, wind_velocity, wind.speed_mps);

    if (stations_.empty()) return;
    const double la = World::get(user, lat), lo = World::get(user, lon);
    for (int i = 0; i < 2; ++i) {
        double distance = 0.0;
        const NavStation* s = station_received(stations_, World::get(user, *frequency[i]), la, lo, &distance);
        World::set(user, *has_nav[i], s ? 1.0 : 0.0);
        World::set(user, *has_dme[i], s && s->dme ? 1.0 : 0.0);
        const double height = s ? World::get(user, alt) - s->altitude_m : 0.0;
        World::set(user, *dme[i], s && s->dme ? std::sqrt(distance * distance + height * height) : 0.0);
        World::set(user, *bearing[i],
                   s ? wrap_positive(course_to(la, lo, s->lat, s->lon) - World::get(user, heading)) : 0.0);
    }
    (void)dt;
}

}  // namespace host
