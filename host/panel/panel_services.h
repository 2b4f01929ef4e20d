// The panel services the host hands the module: the PANELS table and what
// stands behind it. The table's C entry points act on the active instance
// (the one of the host started last).
//
//   element services           answer 0: the host walks the elements itself
//   panel_window_toggle        recorded ("window_toggle")
//   trigger_key_event          to the key-event bus, source "module"
//   lookup_var                 panel lights, the magnetic heading in degrees
//                              (0 to 360), the simulated time in seconds
//   named variables            registered by name (the same name, the same
//                              id), set and recorded as the rule says
//   execute_calculator_code    the postfix calculator (host/calculator)
//   key handlers               registered on the key-event bus
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "host/panel/calculator.h"
#include "host/frame_clock.h"
#include "platform/gauge_interface.h"

namespace host {

class KeyEventBus;
class Timeline;
class World;

// When a set of a named variable is recorded on the timeline.
struct NamedRecordingRule {
    bool every_set = false;  // every set, not only changes
    double interval = 0.0;   // at most once per this many seconds each (0: every change)
    double deadband = 0.0;   // only moves of more than this from the value recorded last
};

class PanelServices : private CalculatorHost {
public:
    PanelServices(const FrameClock& clock, double local_time_start, NamedRecordingRule rule, Timeline& timeline,
                  World& world, KeyEventBus& keys);
    ~PanelServices() override;
    PanelServices(const PanelServices&) = delete;
    PanelServices& operator=(const PanelServices&) = delete;

    // The table the module receives; it acts on the active instance.
    static PANELS table;
    void activate();
    static PanelServices* active();

    // The services of the table, on this instance.
    void window_toggle(uint32_t id);
    void lookup_var(MODULE_VAR& var);
    double module_variable(int32_t id);  // lookup_var's value for a module variable id
    ID register_named_variable(const char* name);
    void set_named_variable_value(ID id, double value);
    bool execute_calculator(const char* code, double* f, int32_t* i, const char** s);

    // Named variables as the module set them.
    bool has_named_variable(const std::string& name) const;
    double named_variable(const std::string& name) const;  // 0 when unknown
    // The same by registration index, for readers that look at the same
    // names every frame: the index of a name (-1 until it is registered; it
    // never changes afterwards), whether it has been set, and its value.
    int named_index(const std::string& name) const;
    bool named_is_set(int index) const { return named_set_[static_cast<size_t>(index)]; }
    double named_value(int index) const { return named_values_[static_cast<size_t>(index)]; }
    std::vector<std::string> published_named_variables() const;  // in registration order
    // Records every named variable whose value differs from the one on the
    // timeline (changes held back by the recording interval or deadband).
    void record_held_named_values();

    // Panel (L:) variables, stored through the calculator so that units
    // convert as for the module.
    void set_panel_variable(const std::string& name, const std::string& unit, double value, const char* source);
    double panel_variable(const std::string& name) const;  // base units; 0 when unknown

    void set_panel_lights(bool on) { panel_lights_ = on; }
    bool panel_lights() const { return panel_lights_; }
    KeyEventBus& key_events() { return keys_; }
    Calculator& calculator() { return calculator_; }
    PanelVariables& panel_variables() { return panel_variables_; }
    size_t calculator_failures() const { return calculator_failures_; }

private:
    // CalculatorHost
    double read_sim_var(int sim_var_index) override;
    double local_time_seconds() override;
    void panel_variable_stored(int slot, double value) override;
    void raise_key_event(uint32_t event_id, uint32_t value) override;
    void calculator_error(std::string_view code, std::string_view reason) override;

    int add_named(std::string_view name);
    void record_named(int id, double value);

    const FrameClock& clock_;
    const double local_time_start_;
    const NamedRecordingRule rule_;
    Timeline& timeline_;
    World& world_;
    KeyEventBus& keys_;
    PanelVariables panel_variables_;
    Calculator calculator_;

    std::vector<std::string> named_names_;
    std::vector<std::string> named_json_;     // each name as a JSON string, for the timeline
    std::vector<double> named_values_;
    std::vector<bool> named_set_;
    std::vector<double> named_recorded_;     // the value on the timeline (interval, deadband)
    std::vector<double> named_recorded_at_;  // when it was recorded, seconds; -inf: never
    std::map<std::string, int, std::less<>> named_index_;
    // The module registers its names every frame, with the same pointers:
    // pointer -> id, checked against the name before use.
    static constexpr size_t MAX_NAME_POINTERS = 1024;
    std::unordered_map<const char*, int> named_by_pointer_;

    std::map<std::string, size_t> calculator_error_counts_;
    size_t calculator_failures_ = 0;
    bool panel_lights_ = false;
};

}  // namespace host
