// The emulated host: module loading, the units' composition and frames.
//
// Index: [loading] [gauges] [frames]
#include "host/host.h"
#include "host/record/printf_text.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <filesystem>

namespace host {
namespace {
Host* activeHost = nullptr;

// An id as the timeline writes it: "0x" and upper-case hex digits.
std::string hex(uint32_t v) { return printf_text("0x%X", v); }
}  // namespace

Host* Host::active() { return activeHost; }

PANELS& Host::panel_table = PanelServices::table;

// [loading] -----------------------------------------------------------------
Host::Host(HostOptions options)
    : options_(std::move(options)),
      keys_(timeline_, world_),
      services_(clock_, options_.local_time_start,
                NamedRecordingRule{options_.record_every_named_set, options_.named_record_interval,
                                   options_.named_deadband},
                timeline_, world_, keys_),
      panel_(timeline_, services_),
      simconnect_(std::make_unique<SimConnectServer>(world_, timeline_)),
      sound_(timeline_, options_.sim_root)
{
    if (options_.frame_rate <= 0) options_.frame_rate = 30.0;
    clock_.frame_rate = options_.frame_rate;
    simconnect_->set_record_frame_messages(options_.record_frame_messages);
    process_hooks_.clock_ms = [this] { return static_cast<uint32_t>(std::llround(sim_time() * 1000.0)); };
    process_hooks_.error_line = [this](std::string_view line) {
        timeline_.event("stderr").str("line", line);
        if (options_.echo_stderr) {
            std::fwrite(line.data(), 1, line.size(), stderr);
            std::fputc('\n', stderr);
            std::fflush(stderr);
        }
    };
    process_hooks_.sound_library = [this]() -> const SoundLibrary* {
        return options_.sound_library ? sound_.activate() : nullptr;
    };
    world_.set_deck_observer([this](const DeckEvent& e) {
        timeline_.add("deck", {{"event", e.what},
                               {"ship", e.ship},
                               {"ground_speed", e.ground_speed_mps},
                               {"deck_speed", e.deck_speed_mps},
                               {"x", e.x_m},
                               {"z", e.z_m}});
    });
}

Host::~Host()
{
    if (started_ && !stopped_) stop();
    if (activeHost == this) {
        set_process_hooks(nullptr);
        activeHost = nullptr;
    }
    simconnect_->detach();
    // The module stays loaded until the process ends, as in a simulator: its
    // central record is never freed by design and stays reachable from the
    // module's own pointer, so leak checking reports only real leaks (an
    // unloaded copy would turn that record into a leak per load). The file of
    // a private copy can go at once.
    module_handle_ = nullptr;
    if (options_.private_copy && !loaded_path_.empty()) {
        std::error_code ec;
        std::filesystem::remove(loaded_path_, ec);
    }
    if (!previous_cwd_.empty()) {
        if (chdir(previous_cwd_.c_str()) != 0) { /* nothing more to do */ }
    }
}

bool Host::load(std::string* error)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path original = fs::absolute(options_.module_path, ec);
    if (!fs::exists(original, ec)) {
        *error = "module not found: " + options_.module_path;
        return false;
    }
    loaded_path_ = original.string();
    if (options_.private_copy) {
        // A private copy gives this host fresh module statics even when an
        // earlier host of the same process loaded the module.
        static int copies = 0;
        const fs::path copy = fs::temp_directory_path() /
                              ("carrier_ops." + std::to_string(getpid()) + "." + std::to_string(++copies) + ".so");
        fs::copy_file(original, copy, fs::copy_options::overwrite_existing, ec);
        if (ec) {
            *error = "cannot copy the module to " + copy.string() + ": " + ec.message();
            return false;
        }
        loaded_path_ = copy.string();
    }
    // Opening a loaded module again compares the name with every loaded
    // library's (and reads their names from their files); a handle this
    // process holds already is used instead.
    module_handle_ = options_.module_handle && !options_.private_copy ? options_.module_handle
                                                                       : dlopen(loaded_path_.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module_handle_) {
        *error = std::string("cannot load the module: ") + dlerror();
        return false;
    }
    import_table_ = static_cast<IMPORT_TABLE*>(dlsym(module_handle_, "ImportTable"));
    linkage_ = static_cast<GAUGESLINKAGE*>(dlsym(module_handle_, "Linkage"));
    if (!import_table_ || !linkage_) {
        *error = "the module exports no ImportTable or no Linkage";
        return false;
    }
    if (import_table_->PANELSentry.fnID != PANELS_TABLE_ID) {
        *error = "the module's import table does not ask for the panel services";
        return false;
    }
    timeline_.add("module", {{"action", "load"},
                             {"module_id", hex(linkage_->ModuleID)},
                             {"version", hex(linkage_->ModuleVersion)}});
    return true;
}

bool Host::start(std::string* error)
{
    if (!linkage_) {
        *error = "the module is not loaded";
        return false;
    }
    char cwd[PATH_MAX];
    if (getcwd(cwd, sizeof cwd)) previous_cwd_ = cwd;
    if (!options_.sim_root.empty() && chdir(options_.sim_root.c_str()) != 0) {
        *error = "cannot enter the simulator root " + options_.sim_root;
        return false;
    }
    activeHost = this;
    services_.activate();
    set_process_hooks(&process_hooks_);
    simconnect_->attach();
    import_table_->PANELSentry.fnptr = &panel_table;
    sync_clock();
    timeline_.add("module", {{"action", "start"}});
    linkage_->ModuleInit();
    started_ = true;
    return true;
}

void Host::install_services(IMPORT_TABLE* import_table)
{
    activeHost = this;
    services_.activate();
    set_process_hooks(&process_hooks_);
    simconnect_->attach();
    import_table->PANELSentry.fnptr = &panel_table;
    sync_clock();
}

void Host::stop()
{
    if (!started_ || stopped_) return;
    sync_clock();
    panel_.remove();
    record_held_named_values();
    timeline_.add("module", {{"action", "stop"}});
    linkage_->ModuleDeinit();
    stopped_ = true;
}

// [gauges] ------------------------------------------------------------------
int Host::place_gauge(const std::string& name, const std::string& parameters, std::string* error)
{
    if (!linkage_) {
        *error = "the module is not loaded";
        return -1;
    }
    sync_clock();
    return panel_.place(*linkage_, name, parameters, error);
}

void Host::connect_gauges()
{
    sync_clock();
    panel_.connect();
}

// [frames] ------------------------------------------------------------------
void Host::sync_clock()
{
    timeline_.set_clock(sim_time(), clock_.frame);
    simconnect_->set_time(sim_time());
}

void Host::step_frame()
{
    const double dt = 1.0 / options_.frame_rate;
    ++clock_.frame;
    sync_clock();
    world_.advance(dt);
    for (const auto& observer : frame_observers_) observer->world_moved(*this);
    if (options_.auto_sim_start && !sim_started_ && simconnect_->delivered_count(SIMCONNECT_RECV_ID_OPEN) > 0) {
        sim_started_ = true;
        simconnect_->fire_system_event("SimStart");
    }
    simconnect_->frame();
    panel_.update();
    for (const auto& observer : frame_observers_) observer->frame_done(*this);
}

void Host::run_frames(int64_t count)
{
    for (int64_t i = 0; i < count; ++i) step_frame();
}

}  // namespace host
