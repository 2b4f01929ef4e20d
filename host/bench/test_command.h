// carrier-bench test [PATH...]: runs every scenario of the folders and files
// named, each in its own process (a pool of at most `jobs`), and tells which
// met their expectations. One line per scenario in the order given, the
// failed expectations under it, and "N passed, M failed". With a JUnit file:
// one test suite per scenario, one test case per expectation (and one for
// the run itself), as CI services read them.
#pragma once

#include <string>
#include <vector>

namespace host {

struct TestOptions {
    std::vector<std::string> paths;  // scenario files and folders (searched recursively for <runscript> files)
    int jobs = 1;
    std::string junit_path;          // empty: none
    std::string out_dir;             // each scenario's run directory goes under it
    std::string module_path;
    std::string bench_path;          // the carrier-bench program the runs use
};

// The scenario files of `paths`: files as given, folders searched for .xml
// files whose top element is <runscript> (sorted). Errors name a path that
// does not exist.
std::vector<std::string> find_scenarios(const std::vector<std::string>& paths, std::string* error);

// Exit status: 0 every scenario passed, 3 some failed, 2 nothing could be run.
int run_tests(const TestOptions& options);

}  // namespace host
