// Great-circle helpers on a sphere of radius EARTH_RADIUS_NM, with longitudes
// positive towards the WEST, and the TACAN radio's numeric helpers.
//
// These run several times per simulator frame: no allocation, no state, only
// the standard trigonometric functions.
#include "geo/geodesy.h"

#include <cmath>
#include <cstdint>

#include "module/host_services.h"

namespace {

// asin and acos arguments computed from rounded sines and cosines can land a
// few ulps outside [-1, 1]; the clamp turns what would be NaN into the limit.
double clamp_unit(double x)
{
    if (x > 1.0) return 1.0;
    if (x < -1.0) return -1.0;
    return x;  // NaN passes through
}

}  // namespace

double wrap_angle(double x)
{
    if (x >= 0.0 && x < TWO_PI) return x;
    // One fold only: exact for x in (-2pi, 4pi), which covers every caller.
    const double folded = std::fabs(TWO_PI - std::fabs(x));
    // A tiny negative x (say -1e-17) folds to 2pi after rounding; that is the
    // same direction as 0 and keeps the result inside [0, 2pi).
    if (folded >= TWO_PI) return 0.0;
    return folded;  // NaN stays NaN
}

double wrap_signed(double x) { return std::atan2(std::sin(x), std::cos(x)); }

double destination_latitude(double lat, double distance, double course)
{
    const double delta = distance / EARTH_RADIUS_NM;
    return std::asin(clamp_unit(std::sin(lat) * std::cos(delta) +
                                std::cos(lat) * std::sin(delta) * std::cos(course)));
}

double destination_longitude(double lat, double lon, double distance, double course)
{
    const double delta = distance / EARTH_RADIUS_NM;
    const double lat2 = std::asin(clamp_unit(std::cos(course) * std::cos(lat) * std::sin(delta) +
                                             std::sin(lat) * std::cos(delta)));
    const double y = std::sin(course) * std::sin(delta) * std::cos(lat);
    const double x = std::cos(delta) - std::sin(lat) * std::sin(lat2);
    // atan2 gives the eastward change; subtracting it keeps the result
    // west-positive. Not folded: callers convert it back to the simulator's
    // degrees themselves.
    return lon - std::atan2(y, x);
}

double initial_course(double lat1, double lon1, double lat2, double lon2)
{
    // With west-positive longitudes, lon1 - lon2 is the eastward separation.
    const double dlon = lon1 - lon2;
    const double r = std::atan2(std::sin(dlon) * std::cos(lat2),
                                std::cos(lat1) * std::sin(lat2) -
                                    std::sin(lat1) * std::cos(lat2) * std::cos(dlon));
    return wrap_angle(r);
}

double great_circle_distance(double lat1, double lon1, double lat2, double lon2)
{
    // Spherical law of cosines, with its argument
    //   sin(lat1) sin(lat2) + cos(lat1) cos(lat2) cos(dlon)
    // written in the equal form cos(lat1 - lat2) - cos(lat1) cos(lat2) (1 - cos(dlon)):
    // for coinciding points it is exactly 1, so the distance is exactly 0
    // (the first form rounds to 1 - 1 ulp at some latitudes, about 0.1 m).
    // Near-zero distances remain limited by acos to about 1e-16 / (d / R) rad.
    const double c = std::cos(lat1 - lat2) -
                     std::cos(lat1) * std::cos(lat2) * (1.0 - std::cos(lon2 - lon1));
    return std::acos(clamp_unit(c)) * EARTH_RADIUS_NM;
}

double slant_range(double a, double b, double horizontal)
{
    const double dz = a - b;
    return std::sqrt(dz * dz + horizontal * horizontal);
}

double round_decimals(double value, int32_t places)
{
    const double sign = value < 0.0 ? -1.0 : 1.0;  // NaN counts as non-negative
    double m = std::fabs(value);
    const double base = places < 0 ? 0.1 : 10.0;
    // Widened so that INT32_MIN has a magnitude.
    const int64_t n = places < 0 ? -static_cast<int64_t>(places) : places;
    // Repeated multiplication rather than pow(): the radio's display relies on
    // the exact doubles this sequence reaches (no tolerance is added, so
    // 117.965 rounds by whatever double it becomes).
    for (int64_t i = 0; i < n; ++i) m *= base;
    m = std::fmod(m, 1.0) >= 0.5 ? std::ceil(m) : std::floor(m);  // halves away from zero
    for (int64_t i = 0; i < n; ++i) m /= base;
    return m * sign;
}

uint32_t rebase_digits(uint32_t value, uint32_t from_base, uint32_t to_base)
{
    // Base 0 would divide by zero and base 1 never terminates; neither has
    // digits to rewrite, so the value is returned as it is.
    if (from_base < 2) return value;
    // Digit i of `value` in from_base becomes digit i in to_base; unsigned
    // arithmetic wraps modulo 2^32 like a digit-by-digit recursion would.
    uint32_t result = 0;
    uint32_t weight = 1;
    while (value != 0) {
        result += (value % from_base) * weight;
        weight *= to_base;
        value /= from_base;
    }
    return result;
}

void set_nav_frequency(double mhz, int32_t receiver)
{
    // Truncated, not rounded: every paired TACAN frequency N / 100 (108.00 to
    // 117.95 MHz) comes back as N after the multiplication by 100.
    const double hundredths = mhz * 100.0;
    // Converting NaN or a value beyond the 64-bit range is undefined; such a
    // frequency cannot be tuned, so no event is raised.
    if (!(hundredths > -9223372036854775808.0 && hundredths < 9223372036854775808.0)) return;
    const uint32_t v = static_cast<uint32_t>(static_cast<int64_t>(hundredths));  // low 32 bits
    const uint32_t bcd = rebase_digits(v, 10, 16);
    trigger_key_event(receiver == 2 ? KEY_NAV2_RADIO_SET : KEY_NAV1_RADIO_SET, bcd);
}
