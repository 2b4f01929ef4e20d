// Units of simulator and panel variables: every value is kept in its
// dimension's base unit and converted on the way in and out.
//
// Base units: angle radians, length metres, speed metres per second,
// frequency MHz, mass kilograms, time seconds, percent percent (0-100),
// angular rate radians per second, number 1 (bool, enum, number).
#pragma once

#include <optional>
#include <string_view>
#include <vector>

namespace host {

enum class Dimension { Number, Angle, Length, Speed, Frequency, Mass, Time, Percent, AngularRate, Text };

struct UnitInfo {
    Dimension dimension;
    double to_base;  // value_in_base = value * to_base
};

// Looks a unit name up, ignoring case and surrounding blanks
// ("Degrees", " meters per second", "nmiles", "Bool"...). Empty when unknown.
std::optional<UnitInfo> find_unit(std::string_view name);

const char* dimension_name(Dimension dimension);

// Every unit name the table knows (lower case), with its dimension and factor,
// in table order.
struct UnitName {
    const char* name;
    UnitInfo info;
};
std::vector<UnitName> all_units();

}  // namespace host
