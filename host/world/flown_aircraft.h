// The user aircraft, flown: the flight model and the scenario autopilot in
// the world, and the decks it lands on. Each frame (a world process, after
// the boats moved) it flies the approach to the moving deck, touches down at
// the deck's height moving with the ship, catches the wire its hook crosses
// and runs out, or bolters and flies off the angled deck (or, ashore, lands on
// a fixed site's runway and brakes to a stop); on deck it holds
// its spot or a catapult, and goes down the stroke at the body velocities the
// module writes. It writes every variable the module reads of the aircraft.
//
// Events go on the timeline as kind "flight" (docs/timeline.md).
#pragma once

#include <cmath>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "host/world/autopilot.h"
#include "host/world/deck.h"
#include "host/world/flight_model.h"
#include "host/world/world.h"

namespace host {

class Timeline;
class PanelVariables;

enum class FlightPhase { Approach, Climb, Rolling, Arrested, Parked, OnCatapult, Stroke, Ditched };
const char* flight_phase_name(FlightPhase phase);

struct ApproachStart {
    double distance_nm = 4.0;                // from the glide-slope reference point, along the extended line
    double right_m = 0.0;                    // to the right of the line
    std::optional<double> altitude_m;        // default: on the slope
    bool gear_down = true;
    bool hook_down = true;
    bool wave_off_on_lights = false;         // go around when the module lights the wave-off lights
    ApproachPlan plan;
};

// A runway ashore (a fixed site of the carrier list): the aim point is the
// site's position at its elevation, the runway runs along its true heading.
struct RunwaySite {
    std::string name;
    double lat = 0.0, lon = 0.0;   // aim point, radians, east-positive
    double altitude_m = 0.0;       // runway elevation
    double heading = 0.0;          // true, radians
    double length_m = 2400.0;      // threshold to far end
    double width_m = 45.0;
    double aim_point_m = 300.0;    // threshold to the aim point
};

// The runway as a deck that does not move: the site's frame has its origin at
// the aim point, Z along the runway; no wires, no catapults.
DeckModel runway_deck(const RunwaySite& site);

// What the last recovery measured (for tests and the debrief).
struct RecoveryRecord {
    bool touched_down = false;
    double touchdown_s_m = 0.0;   // wheels, along the landing line from the ramp
    double hook_touch_s_m = 0.0;  // where the hook tip first met the deck, or the wire it caught
    int wire = 0;
    double engage_speed_mps = 0.0;
    double runout_m = 0.0;
    double runout_s = 0.0;        // ashore: the roll-out from touchdown to the stop
    bool stopped = false;
    bool bolter = false;
};

// The flown approach as an observer of the world sees it (the bench's own
// judge of passes reads this, never the module's outputs).
struct ApproachTruth {
    FlightPhase phase = FlightPhase::Parked;
    bool ashore = false;
    uint32_t boat_id = 0;
    const DeckModel* deck = nullptr;
    ShipPose ship;
    double s_m = 0.0, c_m = 0.0;   // centre of gravity along the landing line from the ramp, right of it
    double wheels_m = 0.0;         // main wheels above the deck
    double hook_s_m = 0.0;         // hook tip along the line (where it is, down or not)
    double hook_h_m = 0.0;         // hook tip above the deck
    double hook_arm_m = 6.0, hook_drop_m = 0.3;  // the aircraft's hook geometry
    double alpha = 0.0;            // angle of attack, radians
    double closing_mps = 0.0;      // over the deck, along the landing line
    double vertical_mps = 0.0;
    int approaches = 0;            // approaches begun since the world was made
    const RecoveryRecord* recovery = nullptr;
};

class FlownAircraft : public WorldProcess {
public:
    static constexpr int ORDER = 20;
    // What the flight model flies: a light aircraft to the heaviest
    // airliner, its centre of gravity at most this high over the wheels.
    static constexpr double MIN_MASS_KG = 500.0;
    static constexpr double MAX_MASS_KG = 700000.0;
    static constexpr double MAX_CG_HEIGHT_M = 10.0;
    // The world's flown aircraft, added when missing.
    static FlownAircraft& of(World& world);

    int order() const override { return ORDER; }
    void step(World& world, double dt) override;

    void set_timeline(Timeline* timeline) { timeline_ = timeline; }
    // Where the module's wave-off lights are read (the panel variable slot).
    void set_wave_off_light(const PanelVariables* variables, int slot)
    {
        panel_ = variables;
        wave_off_slot_ = slot;
    }

    void attach_deck(uint32_t boat_id, std::shared_ptr<const DeckModel> deck) { decks_[boat_id] = std::move(deck); }
    const DeckModel* deck_of(uint32_t boat_id) const;

    // Places the aircraft on final to the deck of `boat_id` and flies the plan.
    bool begin_approach(World& world, uint32_t boat_id, const ApproachStart& start, std::string* error);
    // Places the aircraft on final to the runway of a fixed site and flies
    // the plan; it touches down on the runway, brakes and stops.
    bool begin_site_approach(World& world, const RunwaySite& site, const ApproachStart& start, std::string* error);
    // Places it at the start of catapult `number`, launch bar and hold-back
    // bar left to the scenario, engine as the throttle lever says.
    bool place_on_catapult(World& world, uint32_t boat_id, int number, std::string* error);
    void go_around(const char* why);
    void set_hook(bool down);
    void set_gear(bool down) { gear_cmd_ = down; }
    void set_throttle(double percent) { throttle_cmd_ = percent; }

    FlightPhase phase() const { return phase_; }
    bool ashore() const { return ashore_; }
    const AircraftState& state() const { return state_; }
    AircraftParams& params() { return params_; }
    const RecoveryRecord& recovery() const { return recovery_; }
    const ApproachPlan& plan() const { return start_.plan; }  // of the last approach begun
    bool on_ground() const { return on_ground_; }
    int wire() const { return wire_; }
    uint32_t boat_id() const { return boat_id_; }  // the boat flown to (0 none, or ashore)
    // The deck (or runway) flown to, where its ship is and the aircraft in
    // its frame; false before an approach or when the ship has gone.
    bool where_on_deck(World& world, const DeckModel** deck, ShipPose* ship, double* x, double* z) const;
    // False when no approach or landing has been flown yet, or its ship is gone.
    bool approach_truth(World& world, ApproachTruth* truth) const;

private:
    struct DeckView {
        ShipPose ship;
        const DeckModel* deck = nullptr;
        double x = 0.0, z = 0.0;  // aircraft in the ship's frame
        double s = 0.0, c = 0.0;  // along and right of the landing line
        double deck_altitude_m = 0.0;
        double course = 0.0;
    };
    bool view_deck(World& world, DeckView* view) const;
    void note(const char* what, double a_value = NAN, const char* a_name = nullptr, double b_value = NAN,
              const char* b_name = nullptr);
    void fly_airborne(World& world, const DeckView& view, double dt);
    void roll(World& world, const DeckView& view, double dt);
    void arrest(World& world, const DeckView& view, double dt);
    void hold_on_deck(World& world, const DeckView& view, double dt);
    void stroke(World& world, const DeckView& view, double dt);
    void start_approach(World& world, const DeckView& view, const ApproachStart& start);
    // Reads TOTAL WEIGHT and STATIC CG TO GROUND into the model's parameters;
    // false (and why) for values the model cannot fly.
    bool read_airframe(const SimObject& user, std::string* error);
    void roll_out(World& world, const DeckView& view, double dt);
    void touch_down(const DeckView& view);
    bool check_hook(const DeckView& view);
    void set_on_deck_position(const DeckView& view, double x, double z, double heading);
    void write_world(World& world, const DeckView* view);

    AircraftParams params_;
    AircraftState state_;
    AircraftControls controls_;
    ApproachStart start_;
    FlightPhase phase_ = FlightPhase::Parked;
    uint32_t boat_id_ = 0;
    // Ashore: the fixed site flown to instead of a boat.
    bool ashore_ = false;
    ShipPose site_pose_;
    DeckModel runway_;
    std::map<uint32_t, std::shared_ptr<const DeckModel>> decks_;
    bool active_ = false;
    int approaches_ = 0;
    bool on_ground_ = false;
    bool gear_cmd_ = true;
    bool hook_cmd_ = false;
    bool raise_gear_in_climb_ = false;
    double throttle_cmd_ = 0.0;
    int wire_ = 0;
    // Hook tip along the line and above the deck at the last frame.
    bool have_hook_ = false;
    double hook_s_ = 0.0, hook_h_ = 0.0;
    // On deck: the spot in the ship's frame and the heading relative to the ship.
    double spot_x_ = 0.0, spot_z_ = 0.0, spot_heading_ = 0.0;
    // The arrestment under way.
    Arrestment arrestment_;
    double arrest_t_ = 0.0, arrest_s0_ = 0.0, arrest_c_ = 0.0;
    double catch_x_ = 0.0, catch_z_ = 0.0;
    double climb_course_ = 0.0;  // the course a climb holds
    // The stroke: the forward body speed written last, to see the module's writes.
    double body_z_written_ = 0.0;
    double speed_over_deck_ = 0.0;
    RecoveryRecord recovery_;
    Timeline* timeline_ = nullptr;
    const PanelVariables* panel_ = nullptr;
    int wave_off_slot_ = -1;
};

}  // namespace host
