// What a sweep's results become: results.csv (one row per run, failed and
// unreadable runs included with their reason), summary.txt (a table of
// outcomes per value of each parameter that varies) and the plots
// (outcomes.png: the wire and outcome distribution; grades.png: the grades
// of every pass; heatmap.png: the trap rate against the first two
// parameters that vary, heatmap_points.png: the mean points of the passes
// the same way, endspeed.png: the launch's end speed the same way, when
// there were launches; with one parameter varying, outcome.png: the outcome
// rates against it). Columns and plots: docs/sweeps.md.
#pragma once

#include <cmath>
#include <string>
#include <vector>

#include "host/bench/sweep_run.h"

namespace host {

// The results of a sweep's directory (DIR/results/run_*.json), in run order.
// A file that cannot be read (malformed, cut short, of another run) is
// listed in `errors` ("FILE:LINE: what is wrong") and is still a row: a
// failed run with the reason "unreadable result: FILE:LINE: what is wrong",
// its parameters' values from `sweep` when given (else left empty). Only a
// file whose name gives no run number is left out.
std::vector<SweepRunResult> read_results(const std::string& out_dir, std::vector<std::string>* errors,
                                         const SweepFile* sweep = nullptr);

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
    // Every pass of the runs counts here, not only the first approach's.
    size_t passes = 0;
    double points_sum = 0.0;
    size_t grades[8] = {};         // passes by grade, in GRADES order
    void add(const SweepRunResult& r);
    double trap_rate() const { return runs ? static_cast<double>(trap) / static_cast<double>(runs) : 0.0; }
    double mean_points() const { return passes ? points_sum / static_cast<double>(passes) : NAN; }
};

// Writes results.csv, summary.txt and the plots into `out_dir`; false with
// `error` when a file cannot be written (a missing plot driver is an error).
bool write_sweep_outputs(const std::vector<SweepRunResult>& results, const std::string& out_dir, std::string* error);

}  // namespace host
