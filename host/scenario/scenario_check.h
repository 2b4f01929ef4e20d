// The checks `carrier-bench check` makes beyond reading the scenario file:
// what can be known before a run to make it fail or do nothing.
//   - every placed gauge is one of the module's gauges;
//   - every event can fire (a time or frame before the end of the run);
//   - every action that finds a boat (move, remove, set object=, relative_to)
//     names one that some action adds, or a fixed site of the carrier list.
// And it warns (the scenario still runs) when a ship turns during a flown
// approach by more than the autopilot can follow: it rehearses the flown
// approaches against the ships' turns in a bare world (<world> and the timed
// events; no module) and looks at the ship's yaw rate and the aircraft's
// line-up in the groove.
#pragma once

#include <string>
#include <vector>

#include "host/scenario/scenario.h"

namespace host {

struct ScenarioProblem {
    int line = 0;
    std::string message;
    bool warning = false;  // printed, but the scenario is not refused
};

// What the autopilot follows of a turning deck: the deck's yaw rate at most
// the aircraft's turn rate at its bank limit, and the aircraft, flown on the
// line and the slope, at most this far off the landing line (as seen from the
// far end of the landing area) from the start of the groove to touchdown.
constexpr double FOLLOWED_LINE_UP_DEG = 1.0;
constexpr double GROOVE_START_M = 0.75 * 1852.0;  // before the ramp

// The warnings of flown approaches to ships that turn more than the
// autopilot can follow.
std::vector<ScenarioProblem> check_turns_followed(const Scenario& scenario);

// `gauge_names`: the module's gauge table. `fixed_sites`: the names of the
// carrier list's fixed sites (relative_to may name them).
std::vector<ScenarioProblem> check_scenario(const Scenario& scenario, const std::vector<std::string>& gauge_names,
                                            const std::vector<std::string>& fixed_sites);

// The gauge names in the module's Linkage, read by loading the module; empty
// with `error` when it cannot be loaded.
std::vector<std::string> module_gauge_names(const std::string& module_path, std::string* error);

}  // namespace host
