// A small flight model of the user aircraft: a point mass flying through an
// air mass that moves with the wind. State: position, true airspeed,
// flight-path angle, heading, bank, engine N1, gear and hook positions. The
// angle of attack follows from the lift the load factor asks for at that
// speed and weight; thrust from N1, which follows the throttle with a lag.
//
// Units: radians, metres, seconds, kilograms, newtons; positions
// east-positive radians on the world's sphere. step() allocates nothing.
#pragma once

namespace host {

struct AircraftParams {
    double mass_kg = 15000.0;
    double wing_area_m2 = 38.0;
    double cl0_clean = 0.10, cl0_landing = 0.45;  // lift coefficient at zero angle of attack
    double cl_alpha = 4.8;                         // per radian
    double cd0_clean = 0.025, cd0_landing = 0.090; // the landing values with the gear down
    double k_induced = 0.10;                       // drag: cd0 + k cl^2
    double max_thrust_n = 120000.0;                // both engines, full military power
    double n1_idle = 65.0;                         // percent
    double engine_lag_s = 1.2;                     // time constant of N1 following the throttle
    double gear_time_s = 4.0;                      // full travel of the gear
    double hook_time_s = 2.0;                      // full travel of the hook
    double max_alpha = 20.0 * 3.14159265358979323846 / 180.0;
    double max_bank = 35.0 * 3.14159265358979323846 / 180.0;
    double bank_lag_s = 0.4;                       // time constant of the bank following its command
    double cg_height_m = 2.0;                      // centre of gravity above the wheels
    double hook_arm_m = 6.0;                       // hook tip behind the main wheels
    double hook_drop_m = 0.3;                      // hook tip below the wheels when down
};

struct AircraftState {
    double lat = 0.0, lon = 0.0;   // radians, east-positive
    double altitude_m = 0.0;       // of the centre of gravity
    double airspeed_mps = 70.0;    // true airspeed
    double gamma = 0.0;            // flight-path angle through the air mass, up positive
    double heading = 0.0;          // true, radians: the direction of flight through the air mass
    double bank = 0.0;             // right wing down positive
    double alpha = 0.0;            // angle of attack
    double n1 = 65.0;              // percent
    double gear = 1.0;             // 0 up .. 1 down
    double hook = 0.0;             // 0 up .. 1 down
    double load_factor = 1.0;
    // Derived each step: velocity over the ground.
    double ground_east_mps = 0.0, ground_north_mps = 0.0, vertical_mps = 0.0;
};

struct AircraftControls {
    double load_factor = 1.0;  // lift over weight asked for
    double bank = 0.0;         // bank asked for, radians
    double throttle = 0.0;     // lever, percent 0..100
    bool gear_down = true;
    bool hook_down = false;
    bool on_ground = false;    // rolling on a surface: flight-path angle held at 0
};

struct WindVector {
    double east_mps = 0.0, north_mps = 0.0;  // velocity of the air mass
};

constexpr double GRAVITY = 9.80665;

// Air density at sea level; the model flies low.
constexpr double AIR_DENSITY = 1.225;

// N1 a throttle lever position asks for, and the thrust of an N1.
double n1_for_throttle(const AircraftParams& p, double throttle_percent);
double thrust_for_n1(const AircraftParams& p, double n1);
// The throttle lever that, once the engine has settled, gives `thrust_n`.
double throttle_for_thrust(const AircraftParams& p, double thrust_n);

// Lift coefficient and drag of the state's speed and configuration.
double lift_coefficient(const AircraftParams& p, const AircraftState& s, double load_factor);
double drag_n(const AircraftParams& p, const AircraftState& s, double load_factor);

// Moves the gear, the hook, the engine and the bank towards the controls.
void step_actuators(const AircraftParams& p, const AircraftControls& c, double dt, AircraftState& s);

// Advances `s` by `dt` seconds (the actuators included).
void step_aircraft(const AircraftParams& p, const AircraftControls& c, const WindVector& wind, double dt,
                   AircraftState& s);

}  // namespace host
