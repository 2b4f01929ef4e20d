// The emulated host: loads the gauge module, hands it the panel services,
// places its gauges, runs simulation frames and records everything the module
// does on the timeline. The host is the composition root of its units:
//   - host/panel_services: the PANELS table (postfix calculator, L:
//     variables, named variables, lookup_var for module variables 10, 84 and
//     855, panel_window_toggle; element-list services answer 0);
//   - host/key_event_bus: key handlers, key events delivered synchronously to
//     every registered handler, the host's NAV frequency keys
//     NAV1_RADIO_SET and NAV2_RADIO_SET;
//   - host/gauge_panel: gauge placement from a panel description (name and
//     parameter string, one header copy per placed gauge), the gauge callback
//     services, element chains walked after every update, mouse clicks and
//     tooltips by rectangle; host/panel_drawing draws the walked elements
//     into PNG snapshots;
//   - SimConnect through host/simconnect_server (world objects, requests,
//     events, inputs, AI objects, screen texts, fault injection);
//   - the process clock (simulated time, milliseconds) and the standard error
//     stream (recorded, and echoed unless quiet);
//   - the external sound library by its six ordinals (host/sound_library),
//     present unless the options leave it out, and the run's audio track.
// What is not: live sound output.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "host/panel/calculator.h"
#include "host/panel/element_walker.h"
#include "host/frame_clock.h"
#include "host/panel/gauge_panel.h"
#include "host/panel/key_event_bus.h"
#include "host/panel/panel_services.h"
#include "host/process_services.h"
#include "host/simconnect/simconnect_server.h"
#include "host/panel/sound_library.h"
#include "host/record/timeline.h"
#include "host/world/world.h"
#include "platform/gauge_interface.h"

namespace host {

struct HostOptions {
    std::string module_path;        // the gauge module (.so)
    std::string sim_root;           // the directory holding Gauges/; the module's working directory
    double frame_rate = 30.0;       // frames per second
    double local_time_start = 43200.0;  // "(P:local time, seconds)" at time 0
    bool private_copy = false;      // load a private copy of the module (fresh statics per Host)
    // The module as this process loaded it already (dlopen of module_path,
    // e.g. by a sweep's parent before it forks its runs): used as it is, not
    // opened again. Null: the host opens module_path itself.
    void* module_handle = nullptr;
    bool echo_stderr = true;        // echo the module's stderr lines to the process's stderr
    bool record_frame_messages = false;  // record every per-frame SimConnect message
    bool record_every_named_set = false;  // record every set of a named variable, not only changes
    // Named variables recorded at most once per this many seconds each (0: on
    // every change); the value recorded is the one set at that moment.
    double named_record_interval = 0.0;
    // Named variables recorded only when they moved by more than this from
    // the value recorded last (0: on every change).
    double named_deadband = 0.0;
    bool auto_sim_start = true;     // send "SimStart" on the frame after the open message was delivered
    bool sound_library = true;      // offer the module the emulated sound library
    std::string snapshot_dir;       // where PNG snapshots of the panel go; empty: snapshots are skipped
    double snapshot_every = 0.0;    // seconds between periodic snapshots; 0: none
    std::string resource_dir;       // the gauge bitmaps (<id>.png); empty: the build's resources folder
};

class Host;

// Something that follows every frame (a replayed track, the debrief). The host
// calls `world_moved` after the world moved and before SimConnect delivers the
// frame's data, and `frame_done` once every gauge has been updated. Both run on
// the host's thread, once per frame, in the order the observers were added.
class FrameObserver {
public:
    virtual ~FrameObserver() = default;
    virtual void world_moved(Host&) {}
    virtual void frame_done(Host&) {}
};

class Host {
public:
    explicit Host(HostOptions options);
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // Loads the module and checks its exported records. False with `error`.
    bool load(std::string* error);
    // Enters the simulator root and calls the module's start routine.
    bool start(std::string* error);
    // Calls the module's stop routine (once).
    void stop();

    // For a module linked into the same program (tests, benchmarks) instead of
    // loaded: makes this host's panel, process and SimConnect services the
    // active ones and stores the panel table in `import_table`.
    void install_services(IMPORT_TABLE* import_table);

    // Places a gauge by name with its parameter string and runs its install
    // services; returns the placement index, or -1 with `error`.
    int place_gauge(const std::string& name, const std::string& parameters, std::string* error);
    // Connects every placed gauge not yet connected to its window (service 14).
    void connect_gauges();

    // Runs one frame: world motion, SimConnect delivery, panel update.
    void step_frame();
    void run_frames(int64_t count);
    // Adds an observer of every later frame; the host keeps it alive.
    void add_frame_observer(std::shared_ptr<FrameObserver> observer) { frame_observers_.push_back(std::move(observer)); }

    // Panel services, also used by scenarios (source "scenario" on the timeline).
    bool execute_calculator(const char* code, double* f, int32_t* i, const char** s)
    {
        return services_.execute_calculator(code, f, i, s);
    }
    void trigger_key_event(uint32_t id, uint32_t value, const char* source) { keys_.trigger(id, value, source); }
    void set_panel_variable(const std::string& name, const std::string& unit, double value, const char* source)
    {
        services_.set_panel_variable(name, unit, value, source);
    }
    double panel_variable(const std::string& name) const { return services_.panel_variable(name); }
    bool has_named_variable(const std::string& name) const { return services_.has_named_variable(name); }
    double named_variable(const std::string& name) const { return services_.named_variable(name); }
    // Records every named variable whose value differs from the one on the
    // timeline (changes held back by the recording interval or deadband);
    // stop() does this before the module stops.
    void record_held_named_values() { services_.record_held_named_values(); }
    // Names of the named variables the module has set, in registration order.
    std::vector<std::string> published_named_variables() const { return services_.published_named_variables(); }
    void set_panel_lights(bool on) { services_.set_panel_lights(on); }
    bool panel_lights() const { return services_.panel_lights(); }

    World& world() { return world_; }
    Timeline& timeline() { return timeline_; }
    SimConnectServer& simconnect() { return *simconnect_; }
    SoundLibraryEmulation& sound() { return sound_; }
    PanelVariables& panel_variables() { return services_.panel_variables(); }
    const std::deque<PlacedGauge>& gauges() const { return panel_.gauges(); }
    std::deque<PlacedGauge>& placed_gauges() { return panel_.gauges(); }
    // The value lookup_var gives the module for a module variable id.
    double module_variable(int32_t id) { return services_.module_variable(id); }
    double sim_time() const { return clock_.seconds(); }
    int64_t frame() const { return clock_.frame; }
    double frame_rate() const { return clock_.frame_rate; }
    const HostOptions& options() const { return options_; }
    GAUGESLINKAGE* linkage() { return linkage_; }
    size_t calculator_failures() const { return services_.calculator_failures(); }
    Calculator& calculator() { return services_.calculator(); }
    PanelServices& panel_services() { return services_; }
    KeyEventBus& key_events() { return keys_; }
    GaugePanel& gauge_panel() { return panel_; }

    // The host whose panel services are installed (the one started last).
    static Host* active();

    // Panel-services entry points (the C table the module receives).
    static PANELS& panel_table;

private:
    void sync_clock();

    HostOptions options_;
    World world_;
    Timeline timeline_;
    FrameClock clock_;
    KeyEventBus keys_;
    PanelServices services_;
    GaugePanel panel_;
    std::unique_ptr<SimConnectServer> simconnect_;
    ProcessHooks process_hooks_;
    SoundLibraryEmulation sound_;

    void* module_handle_ = nullptr;
    std::string loaded_path_;  // the module file actually loaded (a private copy or the original)
    IMPORT_TABLE* import_table_ = nullptr;
    GAUGESLINKAGE* linkage_ = nullptr;
    bool started_ = false;
    bool stopped_ = false;
    std::string previous_cwd_;

    std::vector<std::shared_ptr<FrameObserver>> frame_observers_;
    bool sim_started_ = false;
};

}  // namespace host
