// The readable account of a run that `carrier-bench run` prints and writes to
// DIR/summary.txt: what ran, what happened in order (with a word on why),
// the approach picture sampled through the run to its end time, and the named
// variables at the end with their units.
//
// The summary reads the run only through the functions below (the timeline's
// events, the scenario's events and the run's result), so a different
// recording can feed it the same way.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "host/scenario/scenario.h"
#include "host/record/timeline.h"

namespace host {

// One line of "What happened".
struct Happening {
    double t = 0.0;
    std::string what;
    size_t repeats = 1;  // the same thing again within a second of the last time (counted, not listed)
    double last_t = 0.0;
};

// The things a reader wants to know, in order: scenario events and keys,
// tuning, lock-on and loss, the module's texts and key events, objects coming
// and going, failed requests and actions, the module's standard-error lines.
std::vector<Happening> happenings(const Timeline& timeline);

// The last value of every named variable up to time `t` (inclusive), by name.
std::map<std::string, double> named_values_at(const Timeline& timeline, double t);

// Sample times of the approach table: a regular step through the run and a
// final row at the end time.
std::vector<double> sample_times(double end_time);

// A named variable's value with its unit, and the value in the unit a reader
// thinks in ("0.698132 rad true (40.0 deg)"; "ILS Lon" is west-positive).
std::string named_value_text(const std::string& name, double value);

struct SummaryInput {
    std::string scenario_name;
    double end_time = 0.0;
    double frame_rate = 30.0;
    int64_t frames = 0;
    std::string timeline_path;
    const Timeline* timeline = nullptr;
    // The whole timeline's event count and counts by kind, when `timeline`
    // holds only part of it (streamed runs); else both come from `timeline`.
    uint64_t timeline_events = 0;
    std::vector<std::pair<std::string, uint64_t>> timeline_counts;
    std::vector<const ScenarioEvent*> never_fired;
    std::vector<std::string> failures;
    size_t calculator_failures = 0;
};

std::string format_summary(const SummaryInput& input);

}  // namespace host
