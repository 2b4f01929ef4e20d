// Shortest round-trip text of doubles (see number_format.h).
#include "host/record/number_format.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace host {
namespace {

constexpr char PAIRS[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

int digit_count(uint64_t v)
{
    int n = 1;
    while (v >= 10000) {
        v /= 10000;
        n += 4;
    }
    return n + (v >= 10) + (v >= 100) + (v >= 1000);
}

// Decimal digits of `v` into `out` (no terminator); returns their count.
int write_digits(char* out, uint64_t v)
{
    const int n = digit_count(v);
    char* p = out + n;
    while (v >= 100) {
        const unsigned pair = static_cast<unsigned>(v % 100) * 2;
        v /= 100;
        *--p = PAIRS[pair + 1];
        *--p = PAIRS[pair];
    }
    if (v >= 10) {
        *--p = PAIRS[v * 2 + 1];
        *--p = PAIRS[v * 2];
    } else {
        *--p = static_cast<char>('0' + v);
    }
    return n;
}

// "e+05", "e-310": at least two exponent digits.
char* write_exponent(char* out, int e)
{
    *out++ = 'e';
    *out++ = e < 0 ? '-' : '+';
    const unsigned a = static_cast<unsigned>(e < 0 ? -e : e);
    if (a >= 100) {
        *out++ = static_cast<char>('0' + a / 100);
        out = std::copy_n(PAIRS + (a % 100) * 2, 2, out);
    } else {
        out = std::copy_n(PAIRS + a * 2, 2, out);
    }
    return out;
}

// The shortest digits of a finite, nonzero |value|: `digits` (k of them, no
// trailing zeros), value = 0.digits x 10^n.
struct Decimal {
    char digits[20];
    int k = 0;
    int n = 0;
};

Decimal decimal_of(double magnitude)
{
    const auto d = fmt::detail::dragonbox::to_decimal(magnitude);
    Decimal out;
    out.k = write_digits(out.digits, d.significand);
    out.n = out.k + d.exponent;
    return out;
}

// d.ddd (or d) then the exponent of the first digit.
char* write_scientific(char* out, const Decimal& d)
{
    *out++ = d.digits[0];
    if (d.k > 1) {
        *out++ = '.';
        out = std::copy_n(d.digits + 1, d.k - 1, out);
    }
    return write_exponent(out, d.n - 1);
}

// Fixed: digits and zeros up to the point, or "0.000digits"; `integral_tail`
// is appended to a value with nothing after the point (".0" for JSON).
char* write_fixed(char* out, const Decimal& d, const char* integral_tail)
{
    if (d.n >= d.k) {
        out = std::copy_n(d.digits, d.k, out);
        out = std::fill_n(out, d.n - d.k, '0');
        while (*integral_tail) *out++ = *integral_tail++;
    } else if (d.n > 0) {
        out = std::copy_n(d.digits, d.n, out);
        *out++ = '.';
        out = std::copy_n(d.digits + d.n, d.k - d.n, out);
    } else {
        *out++ = '0';
        *out++ = '.';
        out = std::fill_n(out, -d.n, '0');
        out = std::copy_n(d.digits, d.k, out);
    }
    return out;
}

int exponent_chars(int e) { return 2 + ((e < 0 ? -e : e) >= 100 ? 3 : 2); }

}  // namespace

char* format_shortest(char* out, double value)
{
    if (std::signbit(value)) *out++ = '-';
    const double magnitude = std::fabs(value);
    if (magnitude == 0.0) {
        *out++ = '0';
        return out;
    }
    // Where fixed wins for an integral value beyond 2^53, std::to_chars
    // writes the exact integer, not the shortest digits and zeros: leave
    // those rare values to it.
    if (magnitude >= 9007199254740992.0) return std::to_chars(out, out + NUMBER_TEXT_MAX, magnitude).ptr;
    const Decimal d = decimal_of(magnitude);
    const int scientific = d.k + (d.k > 1 ? 1 : 0) + exponent_chars(d.n - 1);
    const int fixed = d.n >= d.k ? d.n : (d.n > 0 ? d.k + 1 : 2 - d.n + d.k);
    return fixed <= scientific ? write_fixed(out, d, "") : write_scientific(out, d);
}

char* format_json(char* out, double value)
{
    if (std::signbit(value)) *out++ = '-';
    const double magnitude = std::fabs(value);
    if (magnitude == 0.0) {
        std::memcpy(out, "0.0", 3);
        return out + 3;
    }
    const Decimal d = decimal_of(magnitude);
    constexpr int MIN_EXP = -4, MAX_EXP = 15;  // nlohmann's limits for double
    if (d.n <= MAX_EXP && d.n > MIN_EXP) return write_fixed(out, d, ".0");
    return write_scientific(out, d);
}

}  // namespace host
