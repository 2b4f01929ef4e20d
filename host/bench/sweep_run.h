// One run of a sweep, kept lean: the variation of the base scenario is
// flown with no timeline file, no snapshots, no audio track, no debrief and
// no summary; only what the run's result needs is read off the events as
// they happen. The result is one small JSON file per run (written whole or
// not at all), so that an interrupted sweep keeps the runs it finished and
// runs spread over machines are collected from their files.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/bench/sweep_file.h"
#include "host/record/grading.h"

class TiXmlDocument;

namespace host {

// One pass of a run as the bench's judge graded it (docs/grading.md).
struct SweepPass {
    std::string grade;    // one of GRADES
    double points = 0.0;  // grade_points(grade)
};

struct SweepRunResult {
    uint64_t index = 0;
    std::string sweep;                     // the sweep's name
    std::vector<std::string> names;        // the parameters ...
    std::vector<double> values;            // ... and their values in this run
    std::string outcome;                   // trap, bolter, wave-off, ditching, no landing, failed
    int wire = 0;                          // the wire caught; 0 when none
    bool wave_off_lights = false;          // the wave-off lights came on during the approach
    double groove_s = NAN;                 // the officer's "call the ball" to touchdown (or the go-around)
    double lockon_s = NAN;                 // the first moment "TCN Valid" was 1
    double touchdown_sink_mps = NAN;       // sink rate at touchdown
    double engage_kt = NAN;                // speed over the deck when the wire was caught
    double end_speed_mps = NAN;            // the launch's end speed (last velocity command of the stroke)
    std::string calls;                     // the officer's calls in order, "; " between them
    std::vector<SweepPass> passes;         // every pass the judge graded, in order (not only the first approach's)
    std::string reason;                    // why a run failed
    double cpu_s = 0.0;                    // the run's own CPU time

    // The first and the last pass (null when none) and the mean points of all.
    const SweepPass* first_pass() const { return passes.empty() ? nullptr : &passes.front(); }
    const SweepPass* last_pass() const { return passes.empty() ? nullptr : &passes.back(); }
    double mean_points() const;
};

// The base scenario read once; each run copies it.
struct SweepBase {
    SweepFile sweep;
    TiXmlDocument* document = nullptr;  // owned by whoever loaded it
    std::string sim_root;               // the base scenario's simulator root, absolute
    GradingConfig grading;              // the judge of passes' thresholds (the bundled grading file)
    void* module = nullptr;             // the module as the sweep's parent loaded it; null: each run loads it
};

// Flies variation `index` of the sweep in this process: applies the
// variation, makes a scratch simulator root under `scratch_dir` when
// configuration files change (removed afterwards), loads the module at
// `module_path`, runs, and reads the result. Never throws; a run that cannot
// be made or fails is a result with outcome "failed" and its reason.
SweepRunResult run_variation(const SweepBase& base, uint64_t index, const std::string& module_path,
                             const std::string& scratch_dir);

// A result with outcome "failed" (a run that crashed or timed out).
SweepRunResult failed_result(const SweepFile& sweep, uint64_t index, const std::string& reason);

// DIR/results/run_NNNNNN.json for run `index`.
std::string result_path(const std::string& out_dir, uint64_t index);

// Writes the result atomically (a temporary file renamed into place).
bool write_result(const SweepRunResult& result, const std::string& path, std::string* error);
// Reads a result file; nullopt with `error` ("FILE:LINE: what is wrong")
// when it is not one: not JSON (the line of the fault), a field missing or
// of the wrong kind, an index out of range. Never throws.
std::optional<SweepRunResult> read_result(const std::string& path, std::string* error);

// The run index a result file's name gives (run_000012.json: 12), or -1.
int64_t result_index_of(const std::string& path);

}  // namespace host
