// Expectations: what a scenario states must happen, and whether it did.
//
//   <expect name="Locked by 2 s" fact="locked" by="2"/>
//   <expect name="High at the first check" fact="call" call="TooHigh" from_nm="0.65" to_nm="0.55"/>
//   <expect name="Wire 3" fact="wire" value="3"/>
//   <expect name="Never waved off" fact="wave_off" count="0"/>
//   <expect name="Deck state" condition="(L:FlightDeck_State, enum) 1 ==" at="90"/>
//   <expect name="Slow in close" var="(A:AIRSPEED INDICATED, knots)" max="150" from="80" to="95"/>
//
// Three kinds: a calculator condition, a variable within limits (a named
// variable of the module, or a calculator value), and a fact from the fact
// table (FACTS). Conditions and variables are watched on every frame of the
// run (ExpectationWatch); facts are read from the timeline after it. The
// format is documented in docs/scenarios.md ("Expectations").
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/record/timeline.h"

class TiXmlElement;

namespace host {

struct Pass;  // host/record/grading.h

class Host;

enum class ExpectKind { Condition, Variable, Fact };

struct Expectation {
    std::string name;
    int line = 0;
    ExpectKind kind = ExpectKind::Fact;
    std::string code;       // Condition: the expression; Variable: the value's expression when not a named variable
    std::string variable;   // Variable: as written (a named variable, or "(A:..., unit)")
    bool named = false;     // Variable: a named variable the module publishes
    std::string fact;       // Fact: its name in FACTS
    std::string call;       // fact "call": the sound-list name (CallBall, TooHigh, LineUp, Wire3, ...)
    std::string text;       // facts with a text value: the value expected
    std::optional<double> at, from, to;      // seconds; "by" is from 0 to it
    bool any = false;                        // a window is met by one moment in it, not by all of them
    std::optional<double> near_nm, far_nm;   // facts with a range: the band of approach distances
    std::optional<double> min, max;          // limits; "value" sets both
    std::optional<int> count;                // facts: the exact number of times (0: never)

    // What the watch saw, for conditions and variables.
    bool watched = false;     // at least one frame was judged
    bool failed = false;      // a judged frame was outside (for windows of every moment)
    bool succeeded = false;   // a judged frame was inside (for windows of one moment)
    double value = 0.0;       // the value at the deciding frame (the first bad one, the first good one, the last)
    double value_t = 0.0;
};

// A fact of the table: its name, what it is, and whether it has a value.
enum class FactValue { None, Number, Text };

struct FactOccurrence {
    double t = 0.0;
    double range_nm = -1.0;  // the approach distance at the moment, -1 when unknown
    double number = 0.0;
    std::string text;
};

// One call of a sound list: its name (Wire1, CallBall, ...), the list's
// language, the sound file and the text shown with it.
struct CallFile {
    std::string name, language, path, message;
};

// The calls of every sound list of SIM_ROOT/Gauges/ZEB_Parameters.xml; empty
// when the file cannot be read.
std::vector<CallFile> read_call_files(const std::string& sim_root);

// What a fact's reader gets: the run's timeline (whole, or the bench's copy)
// and the officer's sound files.
struct FactInput {
    const Timeline* timeline = nullptr;
    std::vector<CallFile> calls;
    const std::vector<Pass>* passes = nullptr;  // the bench's judged passes, when the run has them
};

struct FactDefinition {
    const char* name;
    FactValue value;
    const char* unit;          // for messages: "" or " kt"
    const char* description;   // one line for docs and suggestions
    std::vector<FactOccurrence> (*observe)(const FactInput&, const Expectation&);
};

// Every fact an expectation can name, in documentation order. A new fact
// (a pass grade, say) is one more entry with its reader.
const std::vector<FactDefinition>& fact_table();
const FactDefinition* find_fact(const std::string& name);

// The officer's call names of the sound lists (Wire1..Wire4, CallBall, ...).
const std::vector<std::string>& call_names();

// Reads an <expect> element; throws the reader's ParseError (through
// `fail`) on a bad one. Defined in expectations.cpp with the scenario reader.
namespace scenario_detail {
class Reader;
Expectation parse_expectation(const Reader& r, const TiXmlElement* e, double end_time);
}  // namespace scenario_detail

// Watches the conditions and variables of `expectations` on every frame of
// `host` (added by run_scenario when there are any) until `stop` is called
// on what it returns (the host keeps its observers beyond the scenario).
class ExpectationWatch;
std::shared_ptr<ExpectationWatch> watch_expectations(Host& host, std::vector<Expectation>& expectations);
void stop_watching(const std::shared_ptr<ExpectationWatch>& watch);

struct ExpectationResult {
    std::string name;
    int line = 0;
    std::string expected;  // what was expected, in words
    std::string observed;  // what was seen
    bool met = false;
};

// Judges every expectation after the run. `sim_root` gives the sound lists
// (call names by file). A ditching no expectation mentions is added as a
// failed "no ditching" row: a run that ends in the sea is never a clean run.
std::vector<ExpectationResult> judge_expectations(const std::vector<Expectation>& expectations, const Timeline& timeline,
                                                  const std::string& sim_root, double end_time,
                                                  const std::vector<Pass>* passes = nullptr);

// The story's closing table; "" when there is nothing to judge.
std::string format_expectations(const std::vector<ExpectationResult>& results);

// The results as JSON (expectations.json in the run directory).
std::string expectations_json(const std::string& scenario, const std::vector<ExpectationResult>& results);

bool all_met(const std::vector<ExpectationResult>& results);

}  // namespace host
