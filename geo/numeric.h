// Defined conversions of outside numbers (file, message, host values) from
// floating point to integer. A plain cast of NaN or of a value outside the
// target's range is undefined behaviour; these give a stated result instead.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

// `value` truncated towards zero to a 32-bit signed integer. NaN gives 0;
// values at or beyond the range's ends (infinities included) give
// INT32_MIN or INT32_MAX.
inline int32_t truncate_to_int32(double value)
{
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (value <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

// `value` truncated towards zero to a 32-bit unsigned integer. NaN and
// negative values give 0; values at or beyond 2^32 - 1 give UINT32_MAX.
inline uint32_t truncate_to_uint32(double value)
{
    if (std::isnan(value) || value <= 0.0) return 0;
    if (value >= 4294967295.0) return std::numeric_limits<uint32_t>::max();
    return static_cast<uint32_t>(value);
}

// `value` in single precision, rounded to nearest. NaN stays NaN; values
// beyond the float range (where the plain conversion is undefined) give the
// infinity of their sign.
inline float to_single_precision(double value)
{
    constexpr double FLOAT_MAX = static_cast<double>(std::numeric_limits<float>::max());
    if (value > FLOAT_MAX) return std::numeric_limits<float>::infinity();
    if (value < -FLOAT_MAX) return -std::numeric_limits<float>::infinity();
    return static_cast<float>(value);
}
