// World objects and their motion.
#include "host/world.h"

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
        if (speed == 0.0) continue;
        double lat2 = 0, lon2 = 0;
        sphere_destination(get(object, lat), get(object, lon), get(object, heading), speed * dt, &lat2, &lon2);
        if (object.kind == ObjectKind::User)
            set(object, heading, sphere_final_course(get(object, lat), get(object, heading), speed * dt));
        set(object, lat, lat2);
        set(object, lon, lon2);
    }
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
