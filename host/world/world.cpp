// World objects and their motion.
#include "host/world/world.h"

#include <algorithm>
#include <cmath>

namespace host {
namespace {

const SimVarInfo& var(const char* name)
{
    const SimVarInfo* info = find_sim_var(name);
    return *info;  // every name used here is in the variable table
}

}  // namespace

World::World()
{
    SimObject user;
    user.id = USER_OBJECT_ID;
    user.kind = ObjectKind::User;
    user.title = "User Aircraft";
    for (const SimVarInfo& info : all_sim_vars()) user.values.push_back(info.default_value);
    user.ai_controlled = false;
    objects_.emplace(USER_OBJECT_ID, std::move(user));
}

SimObject* World::find(uint32_t id)
{
    auto it = objects_.find(id);
    return it == objects_.end() ? nullptr : &it->second;
}

uint32_t World::add(ObjectKind kind, const std::string& title)
{
    SimObject object;
    object.id = next_id_++;
    object.kind = kind;
    object.title = title;
    for (const SimVarInfo& info : all_sim_vars()) object.values.push_back(info.default_value);
    const uint32_t id = object.id;
    objects_.emplace(id, std::move(object));
    return id;
}

bool World::remove(uint32_t id)
{
    if (id == USER_OBJECT_ID) return false;
    return objects_.erase(id) > 0;
}

bool World::knows_title(const std::string& title) const
{
    return std::find(known_titles_.begin(), known_titles_.end(), title) != known_titles_.end();
}

void sphere_destination(double lat, double lon, double course, double distance_m, double* lat_out,
                        double* lon_out)
{
    const double delta = distance_m / WORLD_RADIUS_M;
    const double lat2 = std::asin(std::clamp(
        std::sin(lat) * std::cos(delta) + std::cos(lat) * std::sin(delta) * std::cos(course), -1.0, 1.0));
    const double dlon = std::atan2(std::sin(course) * std::sin(delta) * std::cos(lat),
                                   std::cos(delta) - std::sin(lat) * std::sin(lat2));
    *lat_out = lat2;
    *lon_out = std::remainder(lon + dlon, 2.0 * M_PI);
}

// One frame's step along a true course: over the fraction of a metre to a
// few metres an object covers in a frame, the local flat step differs from
// the great-circle step by (distance / radius)^2, far below a millimetre (a
// ship holding its heading follows the same line either way). Near the poles
// and for long steps, the great-circle step.
void course_step(double lat, double lon, double sin_course, double cos_course, double course, double distance_m,
                 double* lat_out, double* lon_out)
{
    const double delta = distance_m / WORLD_RADIUS_M;
    const double cos_lat = std::cos(lat);
    if (std::fabs(delta) > 1e-5 || cos_lat < 1e-3) {
        sphere_destination(lat, lon, course, distance_m, lat_out, lon_out);
        return;
    }
    const double dlat = delta * cos_course;
    // The longitude step at the middle latitude of the step.
    const double cos_mid = cos_lat - std::sin(lat) * 0.5 * dlat;
    *lat_out = lat + dlat;
    double lon2 = lon + delta * sin_course / cos_mid;
    if (lon2 > M_PI || lon2 < -M_PI) lon2 = std::remainder(lon2, 2.0 * M_PI);
    *lon_out = lon2;
}

double sphere_final_course(double lat, double course, double distance_m)
{
    const double delta = distance_m / WORLD_RADIUS_M;
    const double final_course = std::atan2(std::sin(course) * std::cos(lat),
                                           std::cos(delta) * std::cos(lat) * std::cos(course) - std::sin(lat) * std::sin(delta));
    return final_course < 0 ? final_course + 2.0 * M_PI : final_course;
}

void World::advance(double dt)
{
    static const SimVarInfo& lat = var("PLANE LATITUDE");
    static const SimVarInfo& lon = var("PLANE LONGITUDE");
    static const SimVarInfo& alt = var("PLANE ALTITUDE");
    static const SimVarInfo& heading = var("PLANE HEADING DEGREES TRUE");
    static const SimVarInfo& airspeed = var("AIRSPEED TRUE");
    static const SimVarInfo& ground_velocity = var("GROUND VELOCITY");
    static const SimVarInfo& vertical_speed = var("VERTICAL SPEED");
    static const SimVarInfo& on_ground = var("SIM ON GROUND");
    static const SimVarInfo& yaw = var("ROTATION VELOCITY BODY Y");

    for (auto& [id, object] : objects_) {
        double speed = 0.0;
        if (object.kind == ObjectKind::User) {
            if (!object.follows_path) continue;
            speed = get(object, ground_velocity);
            if (get(object, on_ground) == 0.0) set(object, alt, get(object, alt) + get(object, vertical_speed) * dt);
        } else {
            speed = get(object, airspeed);
            const double yaw_rate = get(object, yaw);
            if (yaw_rate != 0.0) {
                double h = get(object, heading) + yaw_rate * dt;
                h = std::fmod(h, 2.0 * M_PI);
                if (h < 0) h += 2.0 * M_PI;
                set(object, heading, h);
            }
        }
        if (speed == 0.0) continue;  // at rest
        const double course = get(object, heading);
        double lat2 = 0, lon2 = 0;
        if (object.kind == ObjectKind::User) {
            // The aircraft flies a great circle: its heading follows the path.
            sphere_destination(get(object, lat), get(object, lon), course, speed * dt, &lat2, &lon2);
            set(object, heading, sphere_final_course(get(object, lat), course, speed * dt));
        } else {
            // A boat holds its heading.
            if (course != object.motion_course) {  // sine and cosine kept while the heading holds
                object.motion_course = course;
                object.motion_sin = std::sin(course);
                object.motion_cos = std::cos(course);
            }
            course_step(get(object, lat), get(object, lon), object.motion_sin, object.motion_cos, course, speed * dt,
                        &lat2, &lon2);
        }
        set(object, lat, lat2);
        set(object, lon, lon2);
    }
    advance_deck(dt);  // after the boats: the aircraft on a deck rides with its ship
    for (auto& process : processes_) process->step(*this, dt);
}

void World::add_process(std::unique_ptr<WorldProcess> process)
{
    auto at = std::upper_bound(processes_.begin(), processes_.end(), process->order(),
                               [](int order, const std::unique_ptr<WorldProcess>& p) { return order < p->order(); });
    processes_.insert(at, std::move(process));
}

double WorldWind::east_mps() const { return -speed_mps * std::sin(from); }
double WorldWind::north_mps() const { return -speed_mps * std::cos(from); }

}  // namespace host
