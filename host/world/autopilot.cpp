// The scenario autopilot.
#include "host/world/autopilot.h"

#include <algorithm>
#include <cmath>

namespace host {
namespace {

constexpr double DEG = M_PI / 180.0;
constexpr double HEIGHT_GAIN = 0.5;     // 1/s: vertical speed asked per metre off the path
constexpr double GAMMA_GAIN = 1.5;      // 1/s
constexpr double CROSS_GAIN = 0.35;     // 1/s: closing speed asked per metre off the line
// Lateral speed towards the line, as a fraction of the closing speed: about
// 20 degrees off the line's course; steeper, up to 45 degrees, when the line
// is so far away (after the deck turned) that 20 would not join it a mile out.
constexpr double MAX_INTERCEPT = 0.36;
constexpr double STEEP_INTERCEPT = 1.0;
constexpr double JOIN_M = 1852.0;
// The roll-out onto the line plans on this fraction of the lateral
// acceleration of a turn at the bank limit (the rest is the bank's lag).
constexpr double ROLL_OUT_FRACTION = 0.5;
constexpr double HEADING_GAIN = 1.5;    // 1/s
constexpr double SPEED_GAIN = 0.5;      // 1/s
constexpr double CLIMB_SPEED_GAIN = 2.0;  // 1/s: full power until within a few knots of the climb speed
constexpr double CLIMB_GAMMA = 8.0 * DEG;
constexpr double MAX_CLIMB_GAMMA = 20.0 * DEG;
constexpr double CLIMB_PITCH_GAIN = 2.0;          // extra climb angle per fraction of speed above the target
constexpr double GEAR_DOWN_MARGIN_MPS = 20.0 * 1852.0 / 3600.0;  // over the approach speed, gear down

double wrap_signed(double a) { return std::remainder(a, 2.0 * M_PI); }

// Controls that hold a relative track `track` and a vertical speed `vs_cmd`.
void steer(double track, double rel_wind_east, double rel_wind_north, double vs_cmd, const AircraftState& s,
           const AircraftParams& p, AircraftControls* c)
{
    const double v = std::max(s.airspeed_mps, 1.0);
    // Wind triangle: the heading through the air whose velocity, with the air
    // mass's velocity relative to the surface, runs along `track`.
    const double cross_wind = rel_wind_east * std::cos(track) - rel_wind_north * std::sin(track);
    const double horizontal = std::max(v * std::cos(s.gamma), 1.0);
    const double heading_cmd = track - std::asin(std::clamp(cross_wind / horizontal, -0.9, 0.9));
    const double max_rate = max_turn_rate(p, v);
    const double rate = std::clamp(HEADING_GAIN * wrap_signed(heading_cmd - s.heading), -max_rate, max_rate);
    c->bank = std::atan(rate * v / GRAVITY);

    const double gamma_cmd = std::asin(std::clamp(vs_cmd / v, -0.5, 0.5));
    c->load_factor = std::clamp((std::cos(s.gamma) + v / GRAVITY * GAMMA_GAIN * (gamma_cmd - s.gamma)) /
                                    std::max(std::cos(s.bank), 0.5),
                                0.0, 2.5);
}

}  // namespace

void planned_deviation(const ApproachPlan& plan, double distance_nm, double* glide_deg, double* line_deg)
{
    *glide_deg = 0.0;
    *line_deg = 0.0;
    for (int i = 0; i < plan.deviation_count; ++i) {
        const ApproachDeviation& d = plan.deviations[static_cast<size_t>(i)];
        if (distance_nm <= d.from_nm && distance_nm >= d.to_nm) {
            *glide_deg += d.glide_deg;
            *line_deg += d.line_deg;
        }
    }
}

double planned_speed_offset(const ApproachPlan& plan, double distance_nm)
{
    double knots = 0.0;
    for (int i = 0; i < plan.deviation_count; ++i) {
        const ApproachDeviation& d = plan.deviations[static_cast<size_t>(i)];
        if (distance_nm <= d.from_nm && distance_nm >= d.to_nm) knots += d.speed_kt;
    }
    return knots;
}

double climb_speed(const ApproachPlan& plan, const AircraftState& state)
{
    if (state.gear < 0.5) return plan.climb_speed_mps;
    return std::min(plan.climb_speed_mps, plan.speed_mps + GEAR_DOWN_MARGIN_MPS);
}

double max_turn_rate(const AircraftParams& params, double airspeed_mps)
{
    return GRAVITY * std::tan(params.max_bank) / std::max(airspeed_mps, 1.0);
}

double reference_distance(const ApproachPlan& plan, const AircraftParams& params, const LandingLineView& view)
{
    return view.short_m + plan.aim_offset_m + params.cg_height_m / std::tan(plan.gs_angle_deg * DEG);
}

AircraftControls fly(const ApproachPlan& plan, AutopilotMode mode, const LandingLineView& view,
                     const AircraftState& s, const AircraftParams& p, const WindVector& wind)
{
    AircraftControls c;
    c.gear_down = mode == AutopilotMode::Approach || view.height_m < 30.0;
    c.hook_down = s.hook > 0.5;
    const double v = std::max(s.airspeed_mps, 1.0);
    const double rel_east = s.ground_east_mps - view.surface_east_mps;
    const double rel_north = s.ground_north_mps - view.surface_north_mps;
    const double closing = rel_east * std::sin(view.course) + rel_north * std::cos(view.course);

    if (mode == AutopilotMode::Approach) {
        const double distance = reference_distance(plan, p, view);
        double glide = 0.0, line = 0.0;
        planned_deviation(plan, distance / 1852.0, &glide, &line);
        const double speed_cmd = plan.speed_mps + planned_speed_offset(plan, distance / 1852.0) * (1852.0 / 3600.0);
        const double slope = std::tan((plan.gs_angle_deg + glide) * DEG);
        const double height_cmd = distance * slope;
        const double height_gain = plan.correct_s > 0.0 ? 1.0 / plan.correct_s : HEIGHT_GAIN;
        const double cross_gain = plan.correct_s > 0.0 ? 1.0 / plan.correct_s : CROSS_GAIN;
        const double vs_cmd = std::clamp(-closing * slope + height_gain * (height_cmd - view.height_m), -12.0, 12.0);
        // Left of the line is a positive line-up error: a negative offset to the right.
        const double right_cmd = -std::max(distance, 0.0) * std::tan(line * DEG);
        const double along = std::max(closing, 20.0);
        const double off = std::fabs(view.right_m - right_cmd);
        const double room = distance - JOIN_M;
        double intercept = MAX_INTERCEPT;
        if (off > MAX_INTERCEPT * room) intercept = room > 0.0 ? std::min(off / room, STEEP_INTERCEPT) : STEEP_INTERCEPT;
        // Close on the line, no faster than a roll-out at half the bank
        // limit's lateral acceleration can stop at it; move with the line as
        // the deck swings it; never more than the intercept angle off the
        // line's course.
        double close_rate = -cross_gain * (view.right_m - right_cmd);
        const double stop_rate = std::sqrt(2.0 * ROLL_OUT_FRACTION * GRAVITY * std::tan(p.max_bank) * off);
        if (std::fabs(close_rate) > stop_rate) close_rate = std::copysign(stop_rate, close_rate);
        const double cross_rate = std::clamp(view.swing_mps + close_rate, -intercept * along, intercept * along);
        const double track = view.course + std::atan2(cross_rate, along);
        steer(track, wind.east_mps - view.surface_east_mps, wind.north_mps - view.surface_north_mps, vs_cmd, s, p, &c);
        const double thrust = drag_n(p, s, c.load_factor) + p.mass_kg * GRAVITY * std::sin(s.gamma) +
                              p.mass_kg * SPEED_GAIN * (speed_cmd - v);
        c.throttle = throttle_for_thrust(p, thrust);
    } else {
        // Full power for the climb, the nose up (at most 20 degrees) to keep
        // the speed from running past the climb speed (with the gear down, as
        // after a wave-off or a bolter, a little above the approach speed),
        // and less power only within a few knots of it or when even that
        // climb would run past it; then level at the altitude at that speed.
        const double target = climb_speed(plan, s);
        const double height_error = plan.climb_altitude_m - view.height_m;
        const double climb_gamma =
            std::clamp(CLIMB_GAMMA + CLIMB_PITCH_GAIN * (v - target) / v, CLIMB_GAMMA, MAX_CLIMB_GAMMA);
        const double vs_cmd = std::clamp(0.3 * height_error, -5.0, v * std::sin(climb_gamma));
        steer(view.course, wind.east_mps, wind.north_mps, vs_cmd, s, p, &c);
        const double thrust = drag_n(p, s, c.load_factor) + p.mass_kg * GRAVITY * std::sin(s.gamma) +
                              p.mass_kg * CLIMB_SPEED_GAIN * (target - v);
        c.throttle = throttle_for_thrust(p, thrust);
    }
    return c;
}

}  // namespace host
