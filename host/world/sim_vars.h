// The simulator variables (A: variables) the emulated world knows: their
// names, dimensions and indices into a world object's value array.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/world/units.h"

namespace host {

struct SimVarInfo {
    std::string name;     // canonical upper-case name, with ":N" for an indexed one
    Dimension dimension;  // base unit of the stored value; Text for TITLE
    int index;            // position in SimObject::values
    double default_value; // in base units, for a new object
};

// Looks up a variable by name, ignoring case and surrounding blanks; also
// accepts the aliases the panel language uses ("Nav1 Active Frequency" for
// "NAV ACTIVE FREQUENCY:1"). Null when unknown.
const SimVarInfo* find_sim_var(std::string_view name);

// Every known variable, ordered by index.
const std::vector<SimVarInfo>& all_sim_vars();

// The other names find_sim_var accepts, as (alias, canonical name) pairs.
std::vector<std::pair<std::string, std::string>> sim_var_aliases();

}  // namespace host
