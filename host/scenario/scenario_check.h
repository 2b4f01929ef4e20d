// The checks `carrier-bench check` makes beyond reading the scenario file:
// what can be known before a run to make it fail or do nothing.
//   - every placed gauge is one of the module's gauges;
//   - every event can fire (a time or frame before the end of the run);
//   - every action that finds a boat (move, remove, set object=, relative_to)
//     names one that some action adds, or a fixed site of the carrier list.
#pragma once

#include <string>
#include <vector>

#include "host/scenario/scenario.h"

namespace host {

struct ScenarioProblem {
    int line = 0;
    std::string message;
};

// `gauge_names`: the module's gauge table. `fixed_sites`: the names of the
// carrier list's fixed sites (relative_to may name them).
std::vector<ScenarioProblem> check_scenario(const Scenario& scenario, const std::vector<std::string>& gauge_names,
                                            const std::vector<std::string>& fixed_sites);

// The gauge names in the module's Linkage, read by loading the module; empty
// with `error` when it cannot be loaded.
std::vector<std::string> module_gauge_names(const std::string& module_path, std::string* error);

}  // namespace host
