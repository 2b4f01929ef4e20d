// What a sweep's results become: results.csv (one row per run, failed runs
// included with their reason), summary.txt (a table of outcomes per value
// of each parameter that varies) and the plots (outcomes.png: the wire and
// outcome distribution; heatmap.png: the trap rate against the first two
// parameters that vary, endspeed.png: the launch's end speed the same way,
// when there were launches; with one parameter varying, outcome.png: the
// outcome rates against it). Columns and plots: docs/sweeps.md.
#pragma once

#include <string>
#include <vector>

#include "host/bench/sweep_run.h"

namespace host {

// The results of a sweep's directory (DIR/results/run_*.json), in run order.
// Unreadable files are listed in `errors` and left out.
std::vector<SweepRunResult> read_results(const std::string& out_dir, std::vector<std::string>* errors);

// results.csv of `results` (all of one sweep: the same parameters).
std::string results_csv(const std::vector<SweepRunResult>& results);

// The summary: the outcome counts of the whole sweep, then a table per
// parameter that takes more than one value (values binned when there are
// many, as a distribution's draws are).
std::string results_summary(const std::vector<SweepRunResult>& results);

// One cell of the table of a value (or bin) of a parameter.
struct OutcomeTally {
    size_t runs = 0, trap = 0, bolter = 0, wave_off = 0, ditching = 0, no_landing = 0, failed = 0;
    size_t wires[5] = {};          // traps on wire 1..4 (index 0: any other)
    size_t wave_off_lights = 0;
    double wire_sum = 0.0;
    double groove_sum = 0.0;
    size_t grooves = 0;
    double end_speed_sum = 0.0;    // m/s
    size_t end_speeds = 0;
    void add(const SweepRunResult& r);
    double trap_rate() const { return runs ? static_cast<double>(trap) / static_cast<double>(runs) : 0.0; }
};

// Writes results.csv, summary.txt and the plots into `out_dir`; false with
// `error` when a file cannot be written (a missing plot driver is an error).
bool write_sweep_outputs(const std::vector<SweepRunResult>& results, const std::string& out_dir, std::string* error);

}  // namespace host
