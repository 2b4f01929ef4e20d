// The scenario's autopilot: flies the flight model down the glide slope to a
// moving deck (or a runway), with the deviations a scenario asks for, and
// climbs away after a wave-off, a bolter or a launch. Pure: it turns what the
// aircraft sees of the landing line into controls, and allocates nothing.
//
// On the line-up it flies as a pilot following the landing line: it closes on
// the line at about 20 degrees, steeper (up to 45) when the line has swung so
// far away as the deck turned that 20 would not join it a mile out; it rolls
// out onto the line early enough not to overshoot at its bank limit, and moves
// with the line while the deck swings it.
#pragma once

#include <array>

#include "host/world/flight_model.h"

namespace host {

// Flies off the glide slope or the line from `from_nm` down to `to_nm` of
// distance to the glide-slope reference point: `glide_deg` above the slope
// (negative below), `line_deg` left of the line (negative right), both as
// the angles the deck's glide-slope and localiser errors show; `speed_kt`
// faster than the approach speed (negative slower: a higher angle of attack).
struct ApproachDeviation {
    double from_nm = 0.0, to_nm = 0.0;
    double glide_deg = 0.0;
    double line_deg = 0.0;
    double speed_kt = 0.0;
};

struct ApproachPlan {
    double speed_mps = 140.0 * 1852.0 / 3600.0;  // true airspeed on final
    double gs_angle_deg = 3.5;
    double aim_offset_m = 0.0;   // touch down this far beyond the touchdown point
    double climb_speed_mps = 200.0 * 1852.0 / 3600.0;
    double climb_altitude_m = 600.0 * 0.3048;  // above the deck or runway
    // Time constant (s) with which a deviation from the planned path (glide
    // slope and line-up) is taken out; 0: the built-in gains (2 s on the
    // slope, about 2.9 s on the line).
    double correct_s = 0.0;
    static constexpr int MAX_DEVIATIONS = 8;
    std::array<ApproachDeviation, MAX_DEVIATIONS> deviations{};
    int deviation_count = 0;
};

// The landing line as seen from the aircraft at this instant.
struct LandingLineView {
    double course = 0.0;        // true course of the landing direction, radians
    double short_m = 0.0;       // horizontal distance short of the touchdown point along the line
    double right_m = 0.0;       // horizontal offset right of the line
    double height_m = 0.0;      // centre of gravity above the deck or runway surface
    double surface_east_mps = 0.0, surface_north_mps = 0.0;  // velocity of the deck (0 ashore)
    // How fast the line abeam the aircraft moves to the right (negative: to
    // the left) as the deck turns: the ship's yaw rate times the arm from its
    // pivot. 0 for a ship on a steady heading, and ashore.
    double swing_mps = 0.0;
};

enum class AutopilotMode { Approach, Climb };

// Glide-slope and line offsets the plan asks for at `distance_nm` (degrees).
void planned_deviation(const ApproachPlan& plan, double distance_nm, double* glide_deg, double* line_deg);
// Knots the plan asks for over its approach speed at `distance_nm`.
double planned_speed_offset(const ApproachPlan& plan, double distance_nm);

// The speed a climb levels at: the plan's climb speed, or with the gear down
// (a wave-off, a bolter, the first seconds after a launch) at most 20 kt over
// the approach speed.
double climb_speed(const ApproachPlan& plan, const AircraftState& state);

// The fastest the autopilot turns the aircraft at `airspeed_mps`: a
// coordinated turn at the bank limit (rad/s). A deck that turns faster swings
// its landing line away faster than the aircraft can turn after it.
double max_turn_rate(const AircraftParams& params, double airspeed_mps);

// Distance from the aircraft to the glide-slope reference point along the
// line, metres: the touchdown point moved by the aim offset and by the
// forward shift that puts the wheels, not the centre of gravity, on the slope.
double reference_distance(const ApproachPlan& plan, const AircraftParams& params, const LandingLineView& view);

AircraftControls fly(const ApproachPlan& plan, AutopilotMode mode, const LandingLineView& view,
                     const AircraftState& state, const AircraftParams& params, const WindVector& wind);

}  // namespace host
