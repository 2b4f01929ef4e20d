// Scenarios: hand-written XML run scripts that set up the simulated world,
// place gauges and play timed or conditional events against the module.
// The format is documented in docs/scenarios.md.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/host.h"

namespace host {

// One action of an event, already validated. `apply` performs it on a host.
struct ScenarioAction {
    std::string description;  // for the timeline
    int line = 0;
    std::function<bool(Host&, std::string* error)> apply;
};

struct ScenarioEvent {
    std::string name;
    int line = 0;
    std::optional<double> time;      // seconds
    std::optional<std::string> condition;  // calculator expression; fires when non-zero
    bool repeat = false;             // fire again each time the condition becomes true
    std::vector<ScenarioAction> actions;
    bool fired = false;
    bool last_condition = false;
};

struct PanelPlacement {
    std::string gauge;
    std::string parameters;
    int line = 0;
};

struct Scenario {
    std::string path;         // the file
    std::string name;
    std::string description;
    std::string sim_root;     // absolute
    double frame_rate = 30.0;
    double end_time = 10.0;   // seconds
    double local_time = 43200.0;
    bool auto_sim_start = true;
    bool sound_library = true;  // <simulator sound_library="0">: the host offers no sound library
    std::vector<PanelPlacement> panel;
    std::vector<ScenarioAction> setup;  // world set-up, before module start
    std::vector<ScenarioEvent> events;
};

// Reads and validates a scenario. On a bad file returns nullopt with an error
// "FILE:LINE: message".
std::optional<Scenario> load_scenario(const std::string& path, std::string* error);

struct RunResult {
    bool ok = false;
    std::string error;
};

// Loads the module into `host`, sets the world up, starts the module, places
// the gauges and runs the events to the scenario's end time. `progress` is
// called about once per simulated second with the current time.
RunResult run_scenario(Scenario& scenario, Host& host, const std::function<void(double)>& progress = {});

// Host options for a scenario (frame rate, sim root, local time).
HostOptions host_options_for(const Scenario& scenario, const std::string& module_path);

}  // namespace host
