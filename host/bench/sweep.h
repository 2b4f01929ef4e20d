// `carrier-bench sweep`: runs every variation of a sweep file and writes its
// results (docs/sweeps.md).
//
//   sweep SWEEP.xml [-j N] [--out DIR]   runs the sweep here, N runs at a time
//                                        (each forked from a parent that has
//                                        the module loaded); finished runs
//                                        are kept and not run again
//   sweep SWEEP.xml --plan [--out DIR]   writes DIR/jobs.txt: one command per
//                                        run, each writing its own result
//   sweep SWEEP.xml --run-one N --out DIR  one run (a line of the plan)
//   sweep --collect DIR                  results.csv, summary.txt and the
//                                        plots from DIR's result files
#pragma once

#include <cstdint>
#include <string>

namespace host {

struct SweepOptions {
    std::string sweep_path;
    std::string out_dir;       // empty: runs/sweeps/<the sweep file's name>
    std::string module_path;
    std::string bench_path;    // this program, for the plan's commands
    int jobs = 0;              // 0: the cores
    bool plan = false;
    std::string collect_dir;
    int64_t run_one = -1;
    bool quiet = false;        // no progress line, no summary on standard output
};

// Exit status: 0 every run done and the outputs written; 1 some run failed
// (its row says why) or some result file could not be read; 2 nothing could
// be done (a bad sweep file or scenario, a module that does not load);
// 130 interrupted (the finished runs are kept).
int sweep_command(const SweepOptions& options);

// Whether the XML file's top element is <sweep> (for `carrier-bench check`).
bool is_sweep_file(const std::string& path);

}  // namespace host
