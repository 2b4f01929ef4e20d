// Scenarios: hand-written XML run scripts that set up the simulated world,
// place gauges and play timed or conditional events against the module.
// The format is documented in docs/scenarios.md.
#pragma once

#include <csignal>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/host.h"
#include "host/scenario/expectations.h"

class TiXmlDocument;

namespace host {

// A bare world, without the module or a host, in which `carrier-bench check`
// rehearses the scenario's flown approaches against its ships' turns: the
// boats, the wind, the ships' steering and the flown aircraft, moved by the
// actions of <world> and the timed events.
struct Rehearsal {
    World world;
    std::map<std::string, uint32_t> refs;  // boat refs of this world
    // The first boat titled `title`, or null.
    SimObject* boat(const std::string& title)
    {
        for (auto& [id, object] : world.objects())
            if (object.kind == ObjectKind::Boat && object.title == title) return world.find(id);
        return nullptr;
    }
};

// What an action needs from the scenario's world and what it adds to it, for
// `carrier-bench check` (an action that needs a boat no action adds can never
// succeed).
struct ActionWorld {
    std::string adds_title;                 // a boat this action adds
    std::string adds_ref;                   // ... under this ref
    std::vector<std::string> needs_titles;  // boats it finds by title
    std::vector<std::string> needs_refs;    // boats it finds by ref
    std::string needs_place;                // relative_to: a boat title or a fixed site of the carrier list
    std::string adds_deck_model;            // the boat (title) this action attaches a deck model to
    std::string needs_deck_model;           // the boat (title) whose deck model it flies from or to
    std::string deck_file;                  // a deck model this action attaches to needs_titles[0]
    // What it does to a rehearsal's bare world (boats, their headings, speeds
    // and yaw rates, the wind, steering, deck models, a flown approach);
    // empty for actions that move neither a boat nor the flown aircraft.
    std::function<void(Rehearsal&)> rehearse;
};

// One action of an event, already validated. `apply` performs it on a host.
struct ScenarioAction {
    ScenarioAction() = default;
    ScenarioAction(std::string description_, int line_, std::function<bool(Host&, std::string*)> apply_,
                   ActionWorld world_ = {})
        : description(std::move(description_)), line(line_), apply(std::move(apply_)), world(std::move(world_))
    {
    }

    std::string description;  // for the timeline
    int line = 0;
    std::function<bool(Host&, std::string* error)> apply;
    ActionWorld world;
};

struct ScenarioEvent {
    std::string name;
    int line = 0;
    std::optional<double> time;      // seconds
    std::optional<double> frame;     // the frame it was given by, when not by time
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
    std::vector<std::string> panel_skipped;  // <panel file=...>: "FILE:LINE: gaugeNN=module!Gauge: ..." not placed
    std::vector<ScenarioAction> setup;  // world set-up, before module start
    std::vector<ScenarioEvent> events;
    std::vector<Expectation> expectations;  // <expect> elements, judged after the run
};

// Reads and validates a scenario. On a bad file returns nullopt with an error
// "FILE:LINE: message".
std::optional<Scenario> load_scenario(const std::string& path, std::string* error);
// The same for a document already parsed (a sweep's variation of a scenario):
// `path` names the file for errors and is where relative paths start from.
std::optional<Scenario> load_scenario_document(TiXmlDocument& doc, const std::string& path, std::string* error);

// Set by a signal handler (to the signal's number) to stop a run: the run
// loop looks at it before each frame and stops there, so the timeline ends
// with whole lines. Nothing else is done in the handler.
extern volatile std::sig_atomic_t run_stop_signal;

struct RunResult {
    bool ok = false;
    int interrupted = 0;                // the signal that stopped the run at a frame boundary (run_stop_signal)
    std::string error;                  // the first failure, "FILE:LINE: message"
    std::vector<std::string> failures;  // every action that failed, in order
    bool completed = false;             // the run reached its end time
};

// Loads the module into `host`, sets the world up, starts the module, places
// the gauges and runs the events to the scenario's end time (or to the frame
// at which run_stop_signal is seen: module stop, then an "interrupted"
// record, `interrupted` set and `completed` false). An action that
// fails is recorded ("action_failed" on the timeline, `failures`) and the run
// goes on to the end; `ok` is then false. Loading and start failures end the
// run at once. `progress` is called about once per simulated second with the
// current time.
RunResult run_scenario(Scenario& scenario, Host& host, const std::function<void(double)>& progress = {});

// The last frame a scenario runs (frame k runs at k / rate).
int64_t last_frame_of(const Scenario& scenario);

// Host options for a scenario (frame rate, sim root, local time).
HostOptions host_options_for(const Scenario& scenario, const std::string& module_path);

}  // namespace host
