// The host's postfix calculator: the panel language in which gauges read
// simulator variables, read and write panel (L:) variables and raise key
// events. Each distinct expression text is compiled once (tokenizer, then a
// small stack-machine program) and kept in a cache; evaluating a cached
// expression allocates nothing.
//
// Language: numbers; (A:NAME, unit) and (A:NAME:INDEX, unit) reads;
// (L:NAME, unit) reads; (P:local time, seconds); v (>L:NAME, unit) stores;
// v (>K:EVENT_NAME) key events; + - * / ! && || == != < > <= >= dnor sqrt;
// cond if{ ... } els{ ... } (the els block is optional).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace host {

// What the calculator needs from its host.
class CalculatorHost {
public:
    virtual ~CalculatorHost() = default;
    // Value of the user aircraft's simulator variable `sim_var_index`, base units.
    virtual double read_sim_var(int sim_var_index) = 0;
    // The local time of day, seconds.
    virtual double local_time_seconds() = 0;
    // A panel variable was stored by an expression (value in base units).
    virtual void panel_variable_stored(int slot, double value) = 0;
    // A key event was raised by an expression.
    virtual void raise_key_event(uint32_t event_id, uint32_t value) = 0;
    // An expression could not be compiled or run; `reason` says why.
    virtual void calculator_error(std::string_view code, std::string_view reason) = 0;
};

// Panel (L:) variables: name (case-insensitive) to slot; values in base units.
class PanelVariables {
public:
    int slot(std::string_view name);         // creates the variable (value 0) when new
    int find(std::string_view name) const;   // -1 when unknown
    double get(int slot) const { return values_[slot]; }
    void set(int slot, double value) { values_[slot] = value; }
    const std::string& name(int slot) const { return names_[slot]; }
    int size() const { return static_cast<int>(names_.size()); }

private:
    std::vector<std::string> names_;
    std::vector<double> values_;
    std::unordered_map<std::string, int> index_;  // upper-case name -> slot
};

class Calculator {
public:
    Calculator(CalculatorHost& host, PanelVariables& panel_variables);
    ~Calculator();
    Calculator(const Calculator&) = delete;
    Calculator& operator=(const Calculator&) = delete;

    // Evaluates `code` and stores the value left on top of the stack into the
    // non-null results (the text result points at a formatted copy owned by the
    // calculator). Returns false, reports through calculator_error and leaves
    // the results untouched when the code is malformed, names an unknown
    // variable, unit or key event, or runs out of stack.
    bool execute(const char* code, double* fvalue, int32_t* ivalue, const char** svalue);

    // Compiles `code` without running it; false with a reason when it is bad.
    bool check(std::string_view code, std::string* reason);

    // Number of distinct expressions compiled so far.
    size_t cached_expressions() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Host key event ids by name, for (>K:NAME); case-insensitive.
std::optional<uint32_t> find_key_event(std::string_view name);
// The name of a host key event id, or null when it has none.
const char* key_event_name(uint32_t event_id);
// Every host key event known by name, as (name, id) pairs in table order.
std::vector<std::pair<std::string, uint32_t>> all_key_events();

}  // namespace host
