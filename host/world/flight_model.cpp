// The point-mass flight model.
#include "host/world/flight_model.h"

#include <algorithm>
#include <cmath>

#include "host/world/world.h"

namespace host {
namespace {

constexpr double IDLE_THRUST_FRACTION = 0.03;
constexpr double THRUST_EXPONENT = 1.6;
constexpr double MIN_SPEED_MPS = 1.0;

double dynamic_pressure(double airspeed) { return 0.5 * AIR_DENSITY * airspeed * airspeed; }

double mix(double clean, double landing, double gear) { return clean + (landing - clean) * gear; }

// Moves `value` towards `target` at `rate` per second.
double travel(double value, double target, double rate, double dt)
{
    const double step = rate * dt;
    if (value < target) return std::min(target, value + step);
    return std::max(target, value - step);
}

}  // namespace

double n1_for_throttle(const AircraftParams& p, double throttle_percent)
{
    return p.n1_idle + (100.0 - p.n1_idle) * std::clamp(throttle_percent, 0.0, 100.0) / 100.0;
}

double thrust_for_n1(const AircraftParams& p, double n1)
{
    const double f = std::clamp((n1 - p.n1_idle) / (100.0 - p.n1_idle), 0.0, 1.0);
    return p.max_thrust_n * (IDLE_THRUST_FRACTION + (1.0 - IDLE_THRUST_FRACTION) * std::pow(f, THRUST_EXPONENT));
}

double throttle_for_thrust(const AircraftParams& p, double thrust_n)
{
    const double fraction = (thrust_n / p.max_thrust_n - IDLE_THRUST_FRACTION) / (1.0 - IDLE_THRUST_FRACTION);
    return 100.0 * std::pow(std::clamp(fraction, 0.0, 1.0), 1.0 / THRUST_EXPONENT);
}

double lift_coefficient(const AircraftParams& p, const AircraftState& s, double load_factor)
{
    const double v = std::max(s.airspeed_mps, MIN_SPEED_MPS);
    return load_factor * p.mass_kg * GRAVITY / (dynamic_pressure(v) * p.wing_area_m2);
}

double drag_n(const AircraftParams& p, const AircraftState& s, double load_factor)
{
    const double v = std::max(s.airspeed_mps, MIN_SPEED_MPS);
    const double cl = lift_coefficient(p, s, load_factor);
    return dynamic_pressure(v) * p.wing_area_m2 * (mix(p.cd0_clean, p.cd0_landing, s.gear) + p.k_induced * cl * cl);
}

void step_actuators(const AircraftParams& p, const AircraftControls& c, double dt, AircraftState& s)
{
    s.gear = travel(s.gear, c.gear_down ? 1.0 : 0.0, 1.0 / p.gear_time_s, dt);
    s.hook = travel(s.hook, c.hook_down ? 1.0 : 0.0, 1.0 / p.hook_time_s, dt);
    s.n1 += (n1_for_throttle(p, c.throttle) - s.n1) * std::min(1.0, dt / p.engine_lag_s);
    const double bank_cmd = c.on_ground ? 0.0 : std::clamp(c.bank, -p.max_bank, p.max_bank);
    s.bank += (bank_cmd - s.bank) * std::min(1.0, dt / p.bank_lag_s);
}

void step_aircraft(const AircraftParams& p, const AircraftControls& c, const WindVector& wind, double dt,
                   AircraftState& s)
{
    step_actuators(p, c, dt, s);

    const double v = std::max(s.airspeed_mps, MIN_SPEED_MPS);
    const double q = dynamic_pressure(v);
    const double cl0 = mix(p.cl0_clean, p.cl0_landing, s.gear);
    // The load factor the wing can give before it reaches its largest angle of attack.
    const double n_max = (cl0 + p.cl_alpha * p.max_alpha) * q * p.wing_area_m2 / (p.mass_kg * GRAVITY);
    double n = std::clamp(c.load_factor, -1.0, std::min(3.0, n_max));
    if (c.on_ground) n = std::min(n, 1.0);  // the wheels carry the rest
    s.load_factor = n;
    const double cl = lift_coefficient(p, s, n);
    s.alpha = (cl - cl0) / p.cl_alpha;

    const double thrust = thrust_for_n1(p, s.n1);
    const double drag = q * p.wing_area_m2 * (mix(p.cd0_clean, p.cd0_landing, s.gear) + p.k_induced * cl * cl);
    const double sin_gamma = std::sin(s.gamma), cos_gamma = std::cos(s.gamma);
    const double accel = (thrust * std::cos(s.alpha) - drag) / p.mass_kg - GRAVITY * sin_gamma;
    double gamma_rate = 0.0, heading_rate = 0.0;
    if (!c.on_ground) {
        gamma_rate = GRAVITY / v * (n * std::cos(s.bank) - cos_gamma);
        heading_rate = GRAVITY * n * std::sin(s.bank) / (v * std::max(cos_gamma, 0.1));
    }
    s.airspeed_mps = std::max(MIN_SPEED_MPS, s.airspeed_mps + accel * dt);
    s.gamma = c.on_ground ? 0.0 : std::clamp(s.gamma + gamma_rate * dt, -M_PI / 3, M_PI / 3);
    s.heading = std::remainder(s.heading + heading_rate * dt, 2.0 * M_PI);
    if (s.heading < 0.0) s.heading += 2.0 * M_PI;

    const double horizontal = s.airspeed_mps * std::cos(s.gamma);
    s.ground_east_mps = horizontal * std::sin(s.heading) + wind.east_mps;
    s.ground_north_mps = horizontal * std::cos(s.heading) + wind.north_mps;
    s.vertical_mps = s.airspeed_mps * std::sin(s.gamma);
    s.lat += s.ground_north_mps * dt / WORLD_RADIUS_M;
    s.lon = std::remainder(s.lon + s.ground_east_mps * dt / (WORLD_RADIUS_M * std::cos(s.lat)), 2.0 * M_PI);
    s.altitude_m += s.vertical_mps * dt;
}

}  // namespace host
