// The emulated simulator's world: the user aircraft, the boats and the AI
// objects, each a set of simulator variables in base units, and their motion.
//
// Conventions: latitudes and longitudes in radians, longitudes east-positive
// (as the simulator gives them); headings true, radians; altitudes metres;
// speeds metres per second. Motion is on a sphere of radius 6371000 m.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/world/sim_vars.h"

namespace host {

enum class ObjectKind { User, Boat, Aircraft, Helicopter, Ground };

struct SimObject {
    uint32_t id = 0;                 // SimConnect object id (the user aircraft is 1)
    ObjectKind kind = ObjectKind::Boat;
    std::string title;               // "TITLE"
    std::vector<double> values;      // by SimVarInfo::index, base units
    bool ai_controlled = true;       // false once the client released control
    bool follows_path = false;       // the user aircraft: straight path at its speeds
    // World::advance: the heading its sine and cosine were taken of (NaN: none yet).
    double motion_course = __builtin_nan("");
    double motion_sin = 0.0;
    double motion_cos = 1.0;
};

// The deck of a ship in the ship's frame (X starboard, Z forward, metres from
// the ship's reference point): an aircraft beyond these edges is off the deck.
// The default is a deck of about a Nimitz-class carrier's size.
struct DeckArea {
    double bow_m = 165.0;        // forward edge
    double stern_m = -165.0;     // aft edge
    double half_width_m = 38.0;  // each side of the centre line
};

// The user aircraft on a ship's deck, and after it left one (world_deck.cpp).
struct DeckState {
    uint32_t ship = 0;            // world id of the carrying ship; 0: on no deck
    DeckArea area;                // that ship's deck
    double x_m = 0.0, z_m = 0.0;  // position on the deck, ship's frame
    double heading_offset = 0.0;  // aircraft heading minus the ship's, rad
    double rel_x_mps = 0.0, rel_z_mps = 0.0;  // velocity over the deck, ship's frame
    bool velocity_written = false;  // a client wrote VELOCITY BODY X or Z since the last step
    bool free_flight = false;       // left a deck: flies on at its ground velocity
    double north_mps = 0.0, east_mps = 0.0;  // ground velocity in free flight
};

// Something the deck motion reports (the host records it on the timeline).
struct DeckEvent {
    const char* what;          // "left_deck"
    uint32_t ship;
    double ground_speed_mps;   // "GROUND VELOCITY" at that moment
    double deck_speed_mps;     // speed over the deck
    double x_m, z_m;           // where on the deck, ship's frame
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
    // The id the next object gets; ids are never given out twice.
    uint32_t next_id() const { return next_id_; }

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

    // [deck] (world_deck.cpp) The user aircraft standing on a boat's deck at
    // (x_m starboard, z_m forward) in the boat's frame, heading
    // `heading_offset` rad from the boat's. It rides with the boat until body
    // velocities are written: "VELOCITY BODY Z" (forward) and "VELOCITY BODY X"
    // (starboard) are speeds over the ground along and across its heading;
    // it keeps its velocity over the deck between writes, and stops on the
    // deck while "BRAKE PARKING INDICATOR" is set and nothing is written. A
    // write that moves it over the deck (above 0.5 m/s) parts the hold-back
    // bar ("HOLDBACK BAR INSTALLED" 0).
    // Beyond the deck's edges it is airborne ("SIM ON GROUND" 0) and flies on
    // at its ground velocity. False when `ship` is not a boat.
    bool place_on_deck(uint32_t ship, double x_m, double z_m, double heading_offset, const DeckArea& area);
    // The aircraft follows no deck and no deck launch any more.
    void leave_deck() { deck_ = DeckState{}; }
    const DeckState& deck() const { return deck_; }
    // Called by the SimConnect server when a client wrote a body velocity of the user.
    void note_body_velocity_written() { deck_.velocity_written = true; }
    void set_deck_observer(std::function<void(const DeckEvent&)> observer) { deck_observer_ = std::move(observer); }

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
    void advance_deck(double dt);
    DeckState deck_;
    std::function<void(const DeckEvent&)> deck_observer_;

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

// The step of one frame, `course` given with its sine and cosine: the local
// flat step (errors of order (distance/radius)^2) for short steps away from
// the poles, sphere_destination otherwise.
void course_step(double lat, double lon, double sin_course, double cos_course, double course, double distance_m,
                 double* lat_out, double* lon_out);
// The true course at the end of that step: a great circle's course changes
// along it (except along a meridian or the equator).
double sphere_final_course(double lat, double course, double distance_m);

constexpr double WORLD_RADIUS_M = 6371000.0;

}  // namespace host
