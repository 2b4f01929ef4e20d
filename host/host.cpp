// The emulated host: module loading, panel services, gauges and frames.
//
// Index: [panel services] [loading] [gauges] [frames] [calculator host] [keys]
#include "host/host.h"

#include "host/gauge_panel.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace host {
namespace {
Host* activeHost = nullptr;

const SimVarInfo& sim_var(const char* name) { return *find_sim_var(name); }

std::string hex(uint32_t v)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%X", v);
    return buffer;
}

// Two values of a variable differ: NaN equals NaN here.
bool differs(double a, double b) { return !(a == b || (std::isnan(a) && std::isnan(b))); }
}  // namespace

Host* Host::active() { return activeHost; }

// [panel services] ------------------------------------------------------------
// C entry points of the panel table; they act on the active host.
struct PanelTrampolines {
    static SINT32 element_query(ELEMENT_HEADER*) { return 0; }
    static SINT32 element_word(ELEMENT_HEADER*, UINT32) { return 0; }
    static SINT32 element_initialize(ELEMENT_HEADER*) { return 0; }
    static SINT32 element_update(ELEMENT_HEADER*) { return 0; }
    static SINT32 element_plot(ELEMENT_HEADER*) { return 0; }
    static SINT32 element_kill(ELEMENT_HEADER*) { return 0; }

    static void panel_window_toggle(UINT32 id)
    {
        activeHost->timeline_.add("window_toggle", {{"id", id}});
    }

    static void trigger_key_event(UINT32 id, UINT32 value) { activeHost->trigger_key_event(id, value, "module"); }

    static void lookup_var(MODULE_VAR* var)
    {
        Host& h = *activeHost;
        switch (var->id) {
        case MODULE_VAR_PANEL_LIGHTS:
            var->value = h.panel_lights_ ? 1.0 : 0.0;
            break;
        case MODULE_VAR_PLANE_HEADING_DEGREES: {
            // Looked up once: the gauges read the heading on every update.
            static const SimVarInfo& heading = sim_var("PLANE HEADING DEGREES TRUE");
            static const SimVarInfo& magvar = sim_var("MAGVAR");
            const SimObject& user = h.world_.user();
            double deg = (World::get(user, heading) - World::get(user, magvar)) * 180.0 / M_PI;
            deg = std::fmod(deg, 360.0);
            if (deg < 0) deg += 360.0;
            var->value = deg;
            break;
        }
        case MODULE_VAR_855:
            var->value = h.sim_time();
            break;
        default:
            h.timeline_.add("host_error", {{"what", "lookup_var of an unknown module variable"}, {"id", var->id}});
            var->value = 0.0;
        }
    }

    static ID register_named_variable(const char* name)
    {
        Host& h = *activeHost;
        if (!name) {
            h.timeline_.add("host_error", {{"what", "register_named_variable without a name"}});
            return -1;
        }
        auto cached = h.named_by_pointer_.find(name);
        if (cached != h.named_by_pointer_.end() && std::strcmp(h.named_names_[cached->second].c_str(), name) == 0)
            return cached->second;
        const std::string_view key(name);
        int id;
        if (auto it = h.named_index_.find(key); it != h.named_index_.end()) {
            id = it->second;
        } else {
            id = h.add_named(key);
        }
        if (cached != h.named_by_pointer_.end())
            cached->second = id;
        else if (h.named_by_pointer_.size() < Host::MAX_NAME_POINTERS)
            h.named_by_pointer_.emplace(name, id);
        return id;
    }

    static void set_named_variable_value(ID id, FLOAT64 value)
    {
        Host& h = *activeHost;
        if (id < 0 || id >= static_cast<int>(h.named_values_.size())) {
            h.timeline_.add("host_error", {{"what", "set_named_variable_value with an unknown id"}, {"id", id}});
            return;
        }
        h.named_values_[id] = value;
        h.named_set_[id] = true;
        if (h.options_.record_every_named_set) {
            h.record_named(id, value);
            return;
        }
        if (h.named_recorded_at_[id] != -HUGE_VAL) {
            const double recorded = h.named_recorded_[id];
            if (!differs(value, recorded)) return;
            const double interval = h.options_.named_record_interval;
            if (interval > 0 && h.timeline_.time() - h.named_recorded_at_[id] < interval - 1e-9) return;
            const double band = h.options_.named_deadband;
            if (band > 0 && std::fabs(value - recorded) <= band) return;  // false when either is NaN
        }
        h.record_named(id, value);
    }

    static bool execute_calculator_code(const char* code, FLOAT64* f, SINT32* i, const char** s)
    {
        return activeHost->execute_calculator(code, f, i, s);
    }

    static bool register_key_event_handler(GAUGE_KEY_EVENT_HANDLER handler, void* user_data)
    {
        activeHost->key_handlers_.push_back({handler, user_data});
        activeHost->timeline_.add("key_handler", {{"action", "register"}});
        return true;
    }

    static bool unregister_key_event_handler(GAUGE_KEY_EVENT_HANDLER handler, void* user_data)
    {
        auto& handlers = activeHost->key_handlers_;
        for (auto it = handlers.begin(); it != handlers.end(); ++it) {
            if (it->handler == handler && it->user_data == user_data) {
                handlers.erase(it);
                activeHost->timeline_.add("key_handler", {{"action", "unregister"}});
                return true;
            }
        }
        return false;
    }
};

PANELS Host::panel_table = {
    PanelTrampolines::element_query,      PanelTrampolines::element_word,
    PanelTrampolines::element_initialize, PanelTrampolines::element_update,
    PanelTrampolines::element_word,       PanelTrampolines::element_plot,
    PanelTrampolines::element_kill,       PanelTrampolines::panel_window_toggle,
    PanelTrampolines::trigger_key_event,  PanelTrampolines::lookup_var,
    PanelTrampolines::register_named_variable, PanelTrampolines::set_named_variable_value,
    PanelTrampolines::execute_calculator_code, PanelTrampolines::register_key_event_handler,
    PanelTrampolines::unregister_key_event_handler,
};

// [loading] -----------------------------------------------------------------
Host::Host(HostOptions options)
    : options_(std::move(options)), calculator_(*this, panel_variables_),
      simconnect_(std::make_unique<SimConnectServer>(world_, timeline_)), sound_(timeline_, options_.sim_root)
{
    if (options_.frame_rate <= 0) options_.frame_rate = 30.0;
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
    module_handle_ = dlopen(loaded_path_.c_str(), RTLD_NOW | RTLD_LOCAL);
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
    set_process_hooks(&process_hooks_);
    simconnect_->attach();
    import_table->PANELSentry.fnptr = &panel_table;
    sync_clock();
}

void Host::stop()
{
    if (!started_ || stopped_) return;
    sync_clock();
    for (PlacedGauge& gauge : gauges_) {
        run_gauge_service(gauge, PANEL_SERVICE_PRE_KILL);
        if (gauge.header.kill_routine) gauge.header.kill_routine();
        run_gauge_service(gauge, PANEL_SERVICE_POST_KILL);
    }
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
    for (GAUGEHDR* const* entry = linkage_->gauge_header_ptrs; *entry; ++entry) {
        if (name != (*entry)->gauge_name) continue;
        PlacedGauge& gauge = gauges_.emplace_back();
        gauge.name = name;
        gauge.parameters = parameters;
        gauge.header = **entry;
        gauge.header.parameters = gauge.parameters.empty() ? nullptr : gauge.parameters.c_str();
        sync_clock();
        timeline_.add("gauge", {{"action", "place"}, {"gauge", name}, {"parameters", parameters}});
        run_gauge_service(gauge, PANEL_SERVICE_PRE_QUERY);
        if (gauge.header.query_routine) gauge.header.query_routine();
        run_gauge_service(gauge, PANEL_SERVICE_POST_QUERY);
        run_gauge_service(gauge, PANEL_SERVICE_PRE_INSTALL);
        if (gauge.header.install_routine) gauge.header.install_routine(0);
        run_gauge_service(gauge, PANEL_SERVICE_POST_INSTALL);
        run_gauge_service(gauge, PANEL_SERVICE_PRE_INITIALIZE);
        if (gauge.header.initialize_routine) gauge.header.initialize_routine();
        run_gauge_service(gauge, PANEL_SERVICE_POST_INITIALIZE);
        return static_cast<int>(gauges_.size()) - 1;
    }
    *error = "the module has no gauge named \"" + name + "\"";
    return -1;
}

void Host::connect_gauges()
{
    sync_clock();
    for (PlacedGauge& gauge : gauges_) {
        if (gauge.connected) continue;
        gauge.connected = true;
        run_gauge_service(gauge, PANEL_SERVICE_CONNECT_TO_WINDOW);
    }
}

void Host::run_gauge_service(PlacedGauge& gauge, SINT32 service)
{
    // Per-frame services would flood the timeline; the others are recorded.
    if (service != PANEL_SERVICE_PRE_UPDATE && service != PANEL_SERVICE_POST_UPDATE)
        timeline_.add("gauge_service", {{"gauge", gauge.name}, {"service", service}});
    if (gauge.header.gauge_callback) gauge.header.gauge_callback(&gauge.header, service, 0);
}

// [frames] ------------------------------------------------------------------
void Host::sync_clock()
{
    timeline_.set_clock(sim_time(), frame_);
    simconnect_->set_time(sim_time());
}

void Host::step_frame()
{
    const double dt = 1.0 / options_.frame_rate;
    ++frame_;
    sync_clock();
    world_.advance(dt);
    for (const auto& observer : frame_observers_) observer->world_moved(*this);
    if (options_.auto_sim_start && !sim_started_ && simconnect_->delivered_count(SIMCONNECT_RECV_ID_OPEN) > 0) {
        sim_started_ = true;
        simconnect_->fire_system_event("SimStart");
    }
    simconnect_->frame();
    for (PlacedGauge& gauge : gauges_) {
        run_gauge_service(gauge, PANEL_SERVICE_PRE_UPDATE);
        if (gauge.header.update_routine) gauge.header.update_routine();
        walk_gauge_elements(*this, gauge);
        run_gauge_service(gauge, PANEL_SERVICE_POST_UPDATE);
    }
    for (const auto& observer : frame_observers_) observer->frame_done(*this);
}

void Host::run_frames(int64_t count)
{
    for (int64_t i = 0; i < count; ++i) step_frame();
}

double Host::module_variable(int32_t id)
{
    MODULE_VAR var{id, 0.0};
    Host* previous = activeHost;
    activeHost = this;
    PanelTrampolines::lookup_var(&var);
    activeHost = previous;
    return var.value;
}

// [calculator host] ---------------------------------------------------------------
bool Host::execute_calculator(const char* code, double* f, int32_t* i, const char** s)
{
    if (!code) {
        timeline_.add("calc_error", {{"code", nullptr}, {"reason", "null expression"}});
        ++calculator_failures_;
        return false;
    }
    return calculator_.execute(code, f, i, s);
}

double Host::read_sim_var(int sim_var_index) { return world_.user().values[sim_var_index]; }

double Host::local_time_seconds() { return options_.local_time_start + sim_time(); }

void Host::panel_variable_stored(int slot, double value)
{
    timeline_.event("lvar").str("name", panel_variables_.name(slot)).num("value", value);
}

void Host::record_held_named_values()
{
    for (size_t id = 0; id < named_names_.size(); ++id)
        if (named_set_[id] && differs(named_values_[id], named_recorded_[id]))
            record_named(static_cast<int>(id), named_values_[id]);
}

int Host::add_named(std::string_view name)
{
    const int id = static_cast<int>(named_names_.size());
    named_names_.emplace_back(name);
    std::string quoted;
    append_json_string(quoted, name);
    named_json_.push_back(std::move(quoted));
    named_values_.push_back(0.0);
    named_set_.push_back(false);
    named_recorded_.push_back(0.0);
    named_recorded_at_.push_back(-HUGE_VAL);
    named_index_.emplace(std::string(name), id);
    return id;
}

void Host::record_named(int id, double value)
{
    timeline_.event("named").raw("name", named_json_[id]).num("value", value);
    named_recorded_[id] = value;
    named_recorded_at_[id] = timeline_.time();
}

void Host::raise_key_event(uint32_t event_id, uint32_t value) { trigger_key_event(event_id, value, "calculator"); }

void Host::calculator_error(std::string_view code, std::string_view reason)
{
    ++calculator_failures_;
    // Each failing expression is recorded the first few times it fails.
    size_t& count = calculator_error_counts_[std::string(code)];
    if (++count <= 3) timeline_.add("calc_error", {{"code", std::string(code)}, {"reason", std::string(reason)}});
}

void Host::set_panel_variable(const std::string& name, const std::string& unit, double value, const char* source)
{
    char number[40];
    std::snprintf(number, sizeof number, "%.17g", value);
    std::string code = std::string(number) + " (>L:" + name + (unit.empty() ? "" : ", " + unit) + ")";
    // Stored through the calculator so that units convert as for the module.
    timeline_.add("scenario", {{"action", "set_lvar"}, {"name", name}, {"value", value}, {"source", source}});
    calculator_.execute(code.c_str(), nullptr, nullptr, nullptr);
}

double Host::panel_variable(const std::string& name) const
{
    const int slot = panel_variables_.find(name);
    return slot < 0 ? 0.0 : panel_variables_.get(slot);
}

bool Host::has_named_variable(const std::string& name) const
{
    auto it = named_index_.find(name);
    return it != named_index_.end() && named_set_[it->second];
}

double Host::named_variable(const std::string& name) const
{
    auto it = named_index_.find(name);
    return it == named_index_.end() ? 0.0 : named_values_[it->second];
}

std::vector<std::string> Host::published_named_variables() const
{
    std::vector<std::string> out;
    for (size_t id = 0; id < named_names_.size(); ++id)
        if (named_set_[id]) out.push_back(named_names_[id]);
    return out;
}

// [keys] ----------------------------------------------------------------------
void Host::trigger_key_event(uint32_t id, uint32_t value, const char* source)
{
    char id_text[16];
    std::snprintf(id_text, sizeof id_text, "0x%X", id);
    {
        Timeline::Line line = timeline_.event("key");
        line.str("id", id_text);
        if (const char* name = key_event_name(id)) line.str("name", name);
        line.str("source", source ? source : "").uinteger("value", value);
    }
    if (key_depth_ > 64) {
        timeline_.add("host_error", {{"what", "key events nested too deeply; dropped"}, {"id", hex(id)}});
        return;
    }
    ++key_depth_;
    host_key_reaction(id, value);
    // Handlers may unregister themselves while running: iterate over a copy
    // (on the stack for the usual few).
    constexpr size_t FEW = 8;
    KeyHandler few[FEW];
    std::vector<KeyHandler> many;
    const KeyHandler* handlers = few;
    const size_t count = key_handlers_.size();
    if (count <= FEW) {
        std::copy(key_handlers_.begin(), key_handlers_.end(), few);
    } else {
        many = key_handlers_;
        handlers = many.data();
    }
    for (size_t k = 0; k < count; ++k) handlers[k].handler(id, value, handlers[k].user_data);
    --key_depth_;
}

// The host's own reaction to the key events it implements.
void Host::host_key_reaction(uint32_t id, uint32_t value)
{
    if (id != 0x100AC && id != 0x100AD) return;
    // NAV radio set: the value is the frequency in packed BCD of hundredths of MHz.
    uint32_t bcd = value;
    double hundredths = 0.0;
    double scale = 1.0;
    while (bcd) {
        const uint32_t digit = bcd & 0xF;
        if (digit > 9) {
            timeline_.add("host_error", {{"what", "NAV frequency key with a value that is not BCD"}, {"value", hex(value)}});
            return;
        }
        hundredths += digit * scale;
        scale *= 10.0;
        bcd >>= 4;
    }
    const char* name = id == 0x100AC ? "NAV ACTIVE FREQUENCY:1" : "NAV ACTIVE FREQUENCY:2";
    World::set(world_.user(), *find_sim_var(name), hundredths / 100.0);
}

}  // namespace host
