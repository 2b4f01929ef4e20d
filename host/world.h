// The emulated simulator's world: the user aircraft, the boats and the AI
// objects, each a set of simulator variables in base units, and their motion.
//
// Conventions: latitudes and longitudes in radians, longitudes east-positive
// (as the simulator gives them); headings true, radians; altitudes metres;
// speeds metres per second. Motion is on a sphere of radius 6371000 m.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/sim_vars.h"

namespace host {

enum class ObjectKind { User, Boat, Aircraft, Helicopter, Ground };

struct SimObject {
    uint32_t id = 0;                 // SimConnect object id (the user aircraft is 1)
    ObjectKind kind = ObjectKind::Boat;
    std::string title;               // "TITLE"
    std::vector<double> values;      // by SimVarInfo::index, base units
    bool ai_controlled = true;       // false once the client released control
    bool follows_path = false;       // the user aircraft: straight path at its speeds
};

class World;

// A per-frame process of the world (the flown aircraft, the ships' steering,
// the wind and the radio stations), run by advance() after the objects moved,
// in the order of `order()` and then of adding.
class WorldProcess {
public:
    virtual ~WorldProcess() = default;
    virtual int order() const = 0;
    virtual void step(World& world, double dt) = 0;
};

// The wind of the whole world: the direction it blows from and its speed.
struct WorldWind {
    double from = 0.0;       // true, radians
    double speed_mps = 0.0;
    double east_mps() const;   // velocity of the air mass
    double north_mps() const;
};

class World {
public:
    World();

    SimObject& user() { return objects_.at(USER_OBJECT_ID); }
    const SimObject& user() const { return objects_.at(USER_OBJECT_ID); }
    SimObject* find(uint32_t id);
    // The object id the SimConnect client means: 0 (SIMCONNECT_OBJECT_ID_USER) is the user.
    SimObject* find_for_client(uint32_t id) { return find(id == 0 ? USER_OBJECT_ID : id); }

    // Adds an object with every variable at its default; returns its id.
    uint32_t add(ObjectKind kind, const std::string& title);
    bool remove(uint32_t id);
    const std::map<uint32_t, SimObject>& objects() const { return objects_; }

    // Variable access in base units; `name` as in find_sim_var.
    static double get(const SimObject& object, const SimVarInfo& var) { return object.values[var.index]; }
    static void set(SimObject& object, const SimVarInfo& var, double value) { object.values[var.index] = value; }

    // Titles that AI creation accepts (the simulator's installed containers).
    void add_known_title(const std::string& title) { known_titles_.push_back(title); }
    bool knows_title(const std::string& title) const;

    // Moves every object by `dt` seconds: boats and AI objects along their
    // heading at "AIRSPEED TRUE", turning at "ROTATION VELOCITY BODY Y" (rad/s)
    // and otherwise keeping their true heading; the user aircraft, when it
    // follows a path, along a great circle at "GROUND VELOCITY" (its true heading
    // follows the great circle's course), climbing at "VERTICAL SPEED".
    // Objects on the ground do not climb.
    void advance(double dt);

    static constexpr uint32_t USER_OBJECT_ID = 1;

    WorldWind& wind() { return wind_; }
    const WorldWind& wind() const { return wind_; }
    void add_process(std::unique_ptr<WorldProcess> process);
    // The first process of type T, or null.
    template <class T>
    T* process()
    {
        for (auto& p : processes_)
            if (auto* t = dynamic_cast<T*>(p.get())) return t;
        return nullptr;
    }

private:
    WorldWind wind_;
    std::vector<std::unique_ptr<WorldProcess>> processes_;
    std::map<uint32_t, SimObject> objects_;
    std::vector<std::string> known_titles_;
    uint32_t next_id_ = 2;
};

// Great-circle step: the point reached from (lat, lon) over `distance_m` on
// true course `course`, east-positive longitudes, radians.
void sphere_destination(double lat, double lon, double course, double distance_m, double* lat_out,
                        double* lon_out);

// The true course at the end of that step: a great circle's course changes
// along it (except along a meridian or the equator).
double sphere_final_course(double lat, double course, double distance_m);

constexpr double WORLD_RADIUS_M = 6371000.0;

}  // namespace host
