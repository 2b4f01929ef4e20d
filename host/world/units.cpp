// The units table of the emulated host: every unit name the panel language and
// the SimConnect data definitions may use, with its dimension and its factor
// to the dimension's base unit (see units.h for the base units).
#include "host/world/units.h"

#include <array>
#include <cctype>
#include <cstddef>
#include <numbers>

namespace host {
namespace {

constexpr double DEG = std::numbers::pi / 180.0;   // radians per degree
constexpr double FOOT_M = 0.3048;                   // international foot
constexpr double NMILE_M = 1852.0;                  // nautical mile
constexpr double KNOT_MPS = 1852.0 / 3600.0;        // 0.514444... m/s
constexpr double POUND_KG = 0.45359237;             // avoirdupois pound

struct UnitRow {
    const char* name;  // lower case, single blanks between words
    Dimension dimension;
    double to_base;
};

// clang-format off
constexpr UnitRow UNITS[] = {
    // Plain numbers: flags, enumerations, counts, positions.
    {"bool", Dimension::Number, 1.0},
    {"boolean", Dimension::Number, 1.0},
    {"enum", Dimension::Number, 1.0},
    {"number", Dimension::Number, 1.0},
    {"numbers", Dimension::Number, 1.0},
    {"position", Dimension::Number, 1.0},
    {"mask", Dimension::Number, 1.0},
    {"flags", Dimension::Number, 1.0},
    // Percent (base 0-100); "percent over 100" is 0-1.
    {"percent", Dimension::Percent, 1.0},
    {"percentage", Dimension::Percent, 1.0},
    {"percent over 100", Dimension::Percent, 100.0},
    // Angle (base radians).
    {"radians", Dimension::Angle, 1.0},
    {"radian", Dimension::Angle, 1.0},
    {"degrees", Dimension::Angle, DEG},
    {"degree", Dimension::Angle, DEG},
    // Length (base metres).
    {"meters", Dimension::Length, 1.0},
    {"meter", Dimension::Length, 1.0},
    {"metres", Dimension::Length, 1.0},
    {"metre", Dimension::Length, 1.0},
    {"m", Dimension::Length, 1.0},
    {"kilometers", Dimension::Length, 1000.0},
    {"kilometer", Dimension::Length, 1000.0},
    {"km", Dimension::Length, 1000.0},
    {"feet", Dimension::Length, FOOT_M},
    {"foot", Dimension::Length, FOOT_M},
    {"ft", Dimension::Length, FOOT_M},
    {"nmiles", Dimension::Length, NMILE_M},
    {"nmile", Dimension::Length, NMILE_M},
    {"nautical miles", Dimension::Length, NMILE_M},
    {"nautical mile", Dimension::Length, NMILE_M},
    // Speed (base metres per second).
    {"meters per second", Dimension::Speed, 1.0},
    {"meter per second", Dimension::Speed, 1.0},
    {"m/s", Dimension::Speed, 1.0},
    {"feet per second", Dimension::Speed, FOOT_M},
    {"feet/second", Dimension::Speed, FOOT_M},
    {"feet per minute", Dimension::Speed, FOOT_M / 60.0},
    {"feet/minute", Dimension::Speed, FOOT_M / 60.0},
    {"knots", Dimension::Speed, KNOT_MPS},
    {"knot", Dimension::Speed, KNOT_MPS},
    {"kilometers per hour", Dimension::Speed, 1000.0 / 3600.0},
    // Frequency (base MHz).
    {"mhz", Dimension::Frequency, 1.0},
    {"megahertz", Dimension::Frequency, 1.0},
    {"khz", Dimension::Frequency, 1e-3},
    {"kilohertz", Dimension::Frequency, 1e-3},
    {"hz", Dimension::Frequency, 1e-6},
    {"hertz", Dimension::Frequency, 1e-6},
    // Mass (base kilograms).
    {"kilograms", Dimension::Mass, 1.0},
    {"kilogram", Dimension::Mass, 1.0},
    {"kg", Dimension::Mass, 1.0},
    {"pounds", Dimension::Mass, POUND_KG},
    {"pound", Dimension::Mass, POUND_KG},
    {"lbs", Dimension::Mass, POUND_KG},
    {"lb", Dimension::Mass, POUND_KG},
    // Time (base seconds).
    {"seconds", Dimension::Time, 1.0},
    {"second", Dimension::Time, 1.0},
    {"minutes", Dimension::Time, 60.0},
    {"minute", Dimension::Time, 60.0},
    {"hours", Dimension::Time, 3600.0},
    {"hour", Dimension::Time, 3600.0},
    // Angular rate (base radians per second).
    {"radians per second", Dimension::AngularRate, 1.0},
    {"degrees per second", Dimension::AngularRate, DEG},
};
// clang-format on

constexpr size_t MAX_UNIT_NAME = 48;  // longer texts are never unit names

// Writes `name` lower-cased, without surrounding blanks and with each run of
// inner blanks reduced to one, into `out`. Returns the length, or 0 when the
// text is empty or too long to be a unit. Allocates nothing.
size_t normalise(std::string_view name, std::array<char, MAX_UNIT_NAME>& out)
{
    size_t length = 0;
    bool pendingBlank = false;
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (std::isspace(u)) {
            pendingBlank = length > 0;
            continue;
        }
        if (pendingBlank) {
            if (length >= out.size()) return 0;
            out[length++] = ' ';
            pendingBlank = false;
        }
        if (length >= out.size()) return 0;
        out[length++] = static_cast<char>(std::tolower(u));
    }
    return length;
}

}  // namespace

std::optional<UnitInfo> find_unit(std::string_view name)
{
    std::array<char, MAX_UNIT_NAME> buffer{};
    const size_t length = normalise(name, buffer);
    if (length == 0) return std::nullopt;
    const std::string_view key(buffer.data(), length);
    for (const UnitRow& row : UNITS) {
        if (key == row.name) return UnitInfo{row.dimension, row.to_base};
    }
    return std::nullopt;
}

std::vector<UnitName> all_units()
{
    std::vector<UnitName> out;
    for (const UnitRow& row : UNITS) out.push_back({row.name, UnitInfo{row.dimension, row.to_base}});
    return out;
}

const char* dimension_name(Dimension dimension)
{
    switch (dimension) {
    case Dimension::Number: return "number";
    case Dimension::Angle: return "angle";
    case Dimension::Length: return "length";
    case Dimension::Speed: return "speed";
    case Dimension::Frequency: return "frequency";
    case Dimension::Mass: return "mass";
    case Dimension::Time: return "time";
    case Dimension::Percent: return "percent";
    case Dimension::AngularRate: return "angular rate";
    case Dimension::Text: return "text";
    }
    return "unknown";
}

}  // namespace host
