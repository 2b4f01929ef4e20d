// The PANELS table, named variables, lookup_var and the calculator's host.
#include "host/panel/panel_services.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "host/panel/key_event_bus.h"
#include "host/world/sim_vars.h"
#include "host/record/timeline.h"
#include "host/world/world.h"

namespace host {
namespace {
PanelServices* activeServices = nullptr;

const SimVarInfo& sim_var(const char* name) { return *find_sim_var(name); }

// Two values of a variable differ: NaN equals NaN here.
bool differs(double a, double b) { return !(a == b || (std::isnan(a) && std::isnan(b))); }

// C entry points of the table; they act on the active instance.
SINT32 table_element_query(ELEMENT_HEADER*) { return 0; }
SINT32 table_element_word(ELEMENT_HEADER*, UINT32) { return 0; }
SINT32 table_element_initialize(ELEMENT_HEADER*) { return 0; }
SINT32 table_element_update(ELEMENT_HEADER*) { return 0; }
SINT32 table_element_plot(ELEMENT_HEADER*) { return 0; }
SINT32 table_element_kill(ELEMENT_HEADER*) { return 0; }
void table_panel_window_toggle(UINT32 id) { activeServices->window_toggle(id); }
void table_lookup_var(MODULE_VAR* var) { activeServices->lookup_var(*var); }
ID table_register_named_variable(const char* name) { return activeServices->register_named_variable(name); }
void table_set_named_variable_value(ID id, FLOAT64 value) { activeServices->set_named_variable_value(id, value); }
bool table_execute_calculator_code(const char* code, FLOAT64* f, SINT32* i, const char** s)
{
    return activeServices->execute_calculator(code, f, i, s);
}
void table_trigger_key_event(UINT32 id, UINT32 value) { activeServices->key_events().trigger(id, value, "module"); }
bool table_register_key_event_handler(GAUGE_KEY_EVENT_HANDLER handler, void* user_data)
{
    return activeServices->key_events().register_handler(handler, user_data);
}
bool table_unregister_key_event_handler(GAUGE_KEY_EVENT_HANDLER handler, void* user_data)
{
    return activeServices->key_events().unregister_handler(handler, user_data);
}
}  // namespace

PANELS PanelServices::table = {
    table_element_query,
    table_element_word,
    table_element_initialize,
    table_element_update,
    table_element_word,
    table_element_plot,
    table_element_kill,
    table_panel_window_toggle,
    table_trigger_key_event,
    table_lookup_var,
    table_register_named_variable,
    table_set_named_variable_value,
    table_execute_calculator_code,
    table_register_key_event_handler,
    table_unregister_key_event_handler,
};

PanelServices::PanelServices(const FrameClock& clock, double local_time_start, NamedRecordingRule rule,
                             Timeline& timeline, World& world, KeyEventBus& keys)
    : clock_(clock), local_time_start_(local_time_start), rule_(rule), timeline_(timeline), world_(world),
      keys_(keys), calculator_(*this, panel_variables_)
{
}

PanelServices::~PanelServices()
{
    if (activeServices == this) activeServices = nullptr;
}

void PanelServices::activate() { activeServices = this; }

PanelServices* PanelServices::active() { return activeServices; }

void PanelServices::window_toggle(uint32_t id) { timeline_.add("window_toggle", {{"id", id}}); }

void PanelServices::lookup_var(MODULE_VAR& var)
{
    switch (var.id) {
    case MODULE_VAR_PANEL_LIGHTS:
        var.value = panel_lights_ ? 1.0 : 0.0;
        break;
    case MODULE_VAR_PLANE_HEADING_DEGREES: {
        // Looked up once: the gauges read the heading on every update.
        static const SimVarInfo& heading = sim_var("PLANE HEADING DEGREES TRUE");
        static const SimVarInfo& magvar = sim_var("MAGVAR");
        const SimObject& user = world_.user();
        double deg = (World::get(user, heading) - World::get(user, magvar)) * 180.0 / M_PI;
        deg = std::fmod(deg, 360.0);
        if (deg < 0) deg += 360.0;
        var.value = deg;
        break;
    }
    case MODULE_VAR_855:
        var.value = clock_.seconds();
        break;
    default:
        timeline_.add("host_error", {{"what", "lookup_var of an unknown module variable"}, {"id", var.id}});
        var.value = 0.0;
    }
}

double PanelServices::module_variable(int32_t id)
{
    MODULE_VAR var{id, 0.0};
    lookup_var(var);
    return var.value;
}

ID PanelServices::register_named_variable(const char* name)
{
    if (!name) {
        timeline_.add("host_error", {{"what", "register_named_variable without a name"}});
        return -1;
    }
    auto cached = named_by_pointer_.find(name);
    if (cached != named_by_pointer_.end() && std::strcmp(named_names_[cached->second].c_str(), name) == 0)
        return cached->second;
    const std::string_view key(name);
    int id;
    if (auto it = named_index_.find(key); it != named_index_.end()) {
        id = it->second;
    } else {
        id = add_named(key);
    }
    if (cached != named_by_pointer_.end())
        cached->second = id;
    else if (named_by_pointer_.size() < MAX_NAME_POINTERS)
        named_by_pointer_.emplace(name, id);
    return id;
}

void PanelServices::set_named_variable_value(ID id, double value)
{
    if (id < 0 || id >= static_cast<int>(named_values_.size())) {
        timeline_.add("host_error", {{"what", "set_named_variable_value with an unknown id"}, {"id", id}});
        return;
    }
    named_values_[id] = value;
    named_set_[id] = true;
    if (rule_.every_set) {
        record_named(id, value);
        return;
    }
    if (named_recorded_at_[id] != -HUGE_VAL) {
        const double recorded = named_recorded_[id];
        if (!differs(value, recorded)) return;
        const double interval = rule_.interval;
        if (interval > 0 && timeline_.time() - named_recorded_at_[id] < interval - 1e-9) return;
        const double band = rule_.deadband;
        if (band > 0 && std::fabs(value - recorded) <= band) return;  // false when either is NaN
    }
    record_named(id, value);
}

bool PanelServices::execute_calculator(const char* code, double* f, int32_t* i, const char** s)
{
    if (!code) {
        timeline_.add("calc_error", {{"code", nullptr}, {"reason", "null expression"}});
        ++calculator_failures_;
        return false;
    }
    return calculator_.execute(code, f, i, s);
}

bool PanelServices::has_named_variable(const std::string& name) const
{
    auto it = named_index_.find(name);
    return it != named_index_.end() && named_set_[it->second];
}

double PanelServices::named_variable(const std::string& name) const
{
    auto it = named_index_.find(name);
    return it == named_index_.end() ? 0.0 : named_values_[it->second];
}

int PanelServices::named_index(const std::string& name) const
{
    auto it = named_index_.find(name);
    return it == named_index_.end() ? -1 : it->second;
}

std::vector<std::string> PanelServices::published_named_variables() const
{
    std::vector<std::string> out;
    for (size_t id = 0; id < named_names_.size(); ++id)
        if (named_set_[id]) out.push_back(named_names_[id]);
    return out;
}

void PanelServices::record_held_named_values()
{
    for (size_t id = 0; id < named_names_.size(); ++id)
        if (named_set_[id] && differs(named_values_[id], named_recorded_[id]))
            record_named(static_cast<int>(id), named_values_[id]);
}

int PanelServices::add_named(std::string_view name)
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

void PanelServices::record_named(int id, double value)
{
    timeline_.event("named").raw("name", named_json_[id]).num("value", value);
    named_recorded_[id] = value;
    named_recorded_at_[id] = timeline_.time();
}

void PanelServices::set_panel_variable(const std::string& name, const std::string& unit, double value,
                                       const char* source)
{
    char number[40];
    std::snprintf(number, sizeof number, "%.17g", value);
    std::string code = std::string(number) + " (>L:" + name + (unit.empty() ? "" : ", " + unit) + ")";
    timeline_.add("scenario", {{"action", "set_lvar"}, {"name", name}, {"value", value}, {"source", source}});
    calculator_.execute(code.c_str(), nullptr, nullptr, nullptr);
}

double PanelServices::panel_variable(const std::string& name) const
{
    const int slot = panel_variables_.find(name);
    return slot < 0 ? 0.0 : panel_variables_.get(slot);
}

// [calculator host]
double PanelServices::read_sim_var(int sim_var_index) { return world_.user().values[sim_var_index]; }

double PanelServices::local_time_seconds() { return local_time_start_ + clock_.seconds(); }

void PanelServices::panel_variable_stored(int slot, double value)
{
    timeline_.event("lvar").str("name", panel_variables_.name(slot)).num("value", value);
}

void PanelServices::raise_key_event(uint32_t event_id, uint32_t value) { keys_.trigger(event_id, value, "calculator"); }

void PanelServices::calculator_error(std::string_view code, std::string_view reason)
{
    ++calculator_failures_;
    // Each failing expression is recorded the first few times it fails.
    size_t& count = calculator_error_counts_[std::string(code)];
    if (++count <= 3) timeline_.add("calc_error", {{"code", std::string(code)}, {"reason", std::string(reason)}});
}

}  // namespace host
