// The fast number texts against the formatters they stand in for:
// std::to_chars (the debrief's CSV) and nlohmann's dump() (the timeline).
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/record/number_format.h"

namespace {

std::string shortest(double v)
{
    char b[host::NUMBER_TEXT_MAX];
    return std::string(b, host::format_shortest(b, v));
}

std::string json(double v)
{
    char b[host::NUMBER_TEXT_MAX];
    return std::string(b, host::format_json(b, v));
}

std::string std_chars(double v)
{
    char b[64];
    return std::string(b, std::to_chars(b, b + sizeof b, v).ptr);
}

std::string nlohmann_text(double v)
{
    char b[64];
    return std::string(b, nlohmann::detail::to_chars(b, b + sizeof b, v));
}

// Values where the layouts change: around the exponent limits, integral
// values, ties between fixed and scientific, the ends of the range, and many
// random ones (random bits, and decimals of every size, as a run has them).
std::vector<double> samples()
{
    std::vector<double> v = {0.0, -0.0, 1.0, -1.0, 0.1, 0.5, 2.0, 10.0, 100.0, 1e4, 1e5, 12345.0, 123456.0, 1e15,
                             1e16, 1.5e16, 1e17, 1e21, 1e22, 1e23, 123456789012345680000.0, 9007199254740993.0,
                             1e-3, 1e-4, 1.5e-4, 1e-5, 1.25e-5, 1e-7, 0.000123, 5e-324, 2.2250738585072014e-308,
                             std::numeric_limits<double>::max(), std::numeric_limits<double>::lowest(),
                             3600.0, 216000.0, 0.016666666666666666, 36.8 * M_PI / 180, -75.4 * M_PI / 180};
    for (int e = -30; e <= 30; ++e) {
        v.push_back(std::pow(10.0, e));
        v.push_back(-3.0 * std::pow(10.0, e));
        v.push_back(1.2345678 * std::pow(10.0, e));
        for (const char* m : {"1.2345e", "1.5e", "-7.25e", "1.23456e"}) v.push_back(std::stod(m + std::to_string(e)));
    }
    std::mt19937_64 random(8);
    for (int i = 0; i < 20000; ++i) {
        uint64_t bits = random();
        double d;
        std::memcpy(&d, &bits, sizeof d);
        if (std::isfinite(d)) v.push_back(d);
        std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
        std::uniform_int_distribution<int> exponent(-8, 8);
        v.push_back(mantissa(random) * std::pow(10.0, exponent(random)));
        v.push_back(std::round(mantissa(random) * 1e5) / 1e3);  // a few decimals, as measured values
    }
    return v;
}

TEST(NumberFormat, ShortestIsWhatToCharsWrites)
{
    for (double v : samples()) EXPECT_EQ(shortest(v), std_chars(v));
}

TEST(NumberFormat, JsonHasNlohmannsLayoutAndReadsBackExactly)
{
    int differ = 0;
    for (double v : samples()) {
        const std::string ours = json(v), theirs = nlohmann_text(v);
        ASSERT_EQ(std::strtod(ours.c_str(), nullptr), v) << ours;
        if (ours == theirs) continue;
        // Grisu2 does not always find the shortest or the closest digits: then
        // ours has fewer digits or the closer last digit, in the same layout.
        EXPECT_LE(ours.size(), theirs.size()) << "value " << theirs << ": ours " << ours;
        EXPECT_EQ(ours.find('e') == std::string::npos, theirs.find('e') == std::string::npos) << theirs << " " << ours;
        ++differ;
    }
    EXPECT_LT(differ, 600);  // a few in a thousand
}

}  // namespace
