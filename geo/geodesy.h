// Spherical-earth helpers of air navigation and the TACAN radio's numeric
// helpers.
//
// Conventions: angles in radians, distances in nautical miles, on a sphere of
// radius 6371000 m. Longitudes are positive towards the WEST (the simulator's
// east-positive longitude times -1). The arguments of asin and acos are
// clamped into [-1, 1], so coinciding points give a distance of 0, not NaN.
// The formulas are exact on the sphere; against the ellipsoid they err by up
// to about 0.5 %.
#pragma once

#include <cstdint>

constexpr double EARTH_RADIUS_NM = 3440.0647948164146;  // 6371000 m / 1852 m
constexpr double TWO_PI = 6.283185307179586;
constexpr double METERS_PER_NM = 1852.0;
constexpr double DEG_PER_RAD = 57.29577951308232;
constexpr double RAD_PER_DEG = 0.017453292519943295;

// Host key events that set the active frequency of NAV1 and NAV2 from BCD.
constexpr uint32_t KEY_NAV1_RADIO_SET = 0x100AC;
constexpr uint32_t KEY_NAV2_RADIO_SET = 0x100AD;

// Folds an angle once into [0, 2pi): exact for inputs in (-2pi, 4pi); NaN stays
// NaN; a negative angle too small to survive the fold gives 0.
double wrap_angle(double x);
// An angle in (-pi, pi].
double wrap_signed(double x);
// Latitude reached from `lat` over `distance` nm on true course `course`.
double destination_latitude(double lat, double distance, double course);
// West-positive longitude reached from (lat, lon); not folded.
double destination_longitude(double lat, double lon, double distance, double course);
// True initial course from point 1 to point 2, in [0, 2pi).
double initial_course(double lat1, double lon1, double lat2, double lon2);
// Great-circle distance in nm; exactly 0 for coinciding points.
double great_circle_distance(double lat1, double lon1, double lat2, double lon2);
// Straight-line distance from altitudes a and b (nm) and a horizontal distance (nm).
double slant_range(double a, double b, double horizontal);
// Rounds half away from zero to `places` decimals (negative: tens, hundreds...).
double round_decimals(double value, int32_t places);
// Rewrites the digits of `value` from base `from_base` into base `to_base`
// (10 to 16 gives packed BCD: 11800 -> 0x11800). A from_base below 2 returns
// the value unchanged.
uint32_t rebase_digits(uint32_t value, uint32_t from_base, uint32_t to_base);
// Tunes NAV1 (receiver other than 2) or NAV2 to `mhz` by the host's BCD key
// event; mhz * 100 is truncated to whole hundredths. A NaN or out-of-range
// frequency raises no event.
void set_nav_frequency(double mhz, int32_t receiver);
