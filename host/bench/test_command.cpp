// carrier-bench test: scenarios as child processes, their verdicts, JUnit.
// Index: [finding] [running] [reporting]
#include "host/bench/test_command.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include <nlohmann/json.hpp>
#include <tinyxml.h>

namespace host {
namespace fs = std::filesystem;

// [finding] --------------------------------------------------------------------------
namespace {

// Whether the file's top element is <runscript> (deck files, carrier lists
// and parameters files in the same folders are not scenarios).
bool is_scenario_file(const fs::path& path)
{
    std::ifstream in(path);
    std::string head(4096, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<size_t>(in.gcount()));
    return head.find("<runscript") != std::string::npos;
}

}  // namespace

std::vector<std::string> find_scenarios(const std::vector<std::string>& paths, std::string* error)
{
    std::vector<std::string> out;
    for (const std::string& path : paths) {
        std::error_code ec;
        if (fs::is_directory(path, ec)) {
            std::vector<std::string> found;
            for (auto it = fs::recursive_directory_iterator(path, fs::directory_options::skip_permission_denied, ec);
                 !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
                if (it->is_regular_file(ec) && it->path().extension() == ".xml" && is_scenario_file(it->path()))
                    found.push_back(it->path().lexically_normal().string());
            }
            if (ec) {
                *error = path + ": " + ec.message();
                return {};
            }
            std::sort(found.begin(), found.end());
            out.insert(out.end(), found.begin(), found.end());
        } else if (fs::exists(path, ec)) {
            out.push_back(path);
        } else {
            *error = path + ": no such file or folder";
            return {};
        }
    }
    return out;
}

// [running] --------------------------------------------------------------------------
namespace {

struct Verdict {
    std::string name;
    bool met = false;
    std::string message;  // for a failure: expected and observed
};

struct ScenarioRun {
    std::string path;
    std::string out_dir;
    pid_t pid = -1;
    int status = -1;  // the run's exit status; 128+N for a signal
    double seconds = 0.0;
    std::chrono::steady_clock::time_point started;
    std::vector<Verdict> verdicts;
    std::string problem;  // why the run itself failed, from its log
};

// A run directory per scenario: its path under `out`, "/" and ".." made safe.
std::string run_dir_for(const std::string& out, const std::string& scenario, std::set<std::string>& taken)
{
    std::string name = fs::path(scenario).lexically_normal().replace_extension().string();
    for (char& c : name)
        if (c == '/' || c == '.') c = '_';
    std::string unique = name;
    for (int n = 2; !taken.insert(unique).second; ++n) unique = name + "-" + std::to_string(n);
    return (fs::path(out) / unique).string();
}

pid_t start_run(const TestOptions& options, const ScenarioRun& run)
{
    std::error_code ec;
    fs::remove_all(run.out_dir, ec);  // nothing left over from an earlier test
    fs::create_directories(run.out_dir, ec);
    const std::string log = run.out_dir + "/run.log";
    const pid_t pid = fork();
    if (pid != 0) return pid;
    const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) {
        dup2(fd, 1);
        dup2(fd, 2);
        close(fd);
    }
    const char* argv[] = {options.bench_path.c_str(), "--module", options.module_path.c_str(), "run",
                          run.path.c_str(),          "--out",    run.out_dir.c_str(),          "--quiet",
                          "--no-debrief",            nullptr};
    execv(options.bench_path.c_str(), const_cast<char* const*>(argv));
    std::fprintf(stderr, "carrier-bench: cannot start %s\n", options.bench_path.c_str());
    _exit(127);
}

// Reads the run's expectations.json and, when the run failed, the bench's
// own messages from its log.
void read_results(ScenarioRun& run)
{
    std::ifstream in(run.out_dir + "/expectations.json");
    if (in) {
        const nlohmann::json doc = nlohmann::json::parse(in, nullptr, false);
        if (doc.is_object() && doc.contains("expectations") && doc["expectations"].is_array())
            for (const auto& x : doc["expectations"]) {
                Verdict v;
                v.name = x.value("name", "");
                v.met = x.value("met", false);
                v.message = "expected " + x.value("expected", "") + "; observed " + x.value("observed", "");
                run.verdicts.push_back(std::move(v));
            }
    }
    if (run.status == 0) return;
    std::ifstream log(run.out_dir + "/run.log");
    std::string line;
    while (std::getline(log, line))
        if (line.rfind("carrier-bench: ", 0) == 0 && line.find("expectations not met") == std::string::npos)
            run.problem += (run.problem.empty() ? "" : "\n") + line.substr(15);
    if (run.problem.empty()) {
        if (run.status >= 128) run.problem = "the run was killed by signal " + std::to_string(run.status - 128);
        else if (run.status != 3) run.problem = "the run exited with status " + std::to_string(run.status);
    }
}

// [reporting] --------------------------------------------------------------------------
void print_run(const ScenarioRun& run)
{
    size_t met = 0, failed = 0;
    for (const Verdict& v : run.verdicts) (v.met ? met : failed)++;
    const bool passed = run.status == 0;
    std::printf("%s  %s  (%zu expectation%s met", passed ? "PASS" : "FAIL", run.path.c_str(), met, met == 1 ? "" : "s");
    if (failed) std::printf(", %zu failed", failed);
    std::printf(", %.1f s)\n", run.seconds);
    for (const Verdict& v : run.verdicts)
        if (!v.met) std::printf("      %s: %s\n", v.name.c_str(), v.message.c_str());
    if (!run.problem.empty()) {
        std::istringstream lines(run.problem);
        for (std::string line; std::getline(lines, line);) std::printf("      %s\n", line.c_str());
    }
    std::fflush(stdout);
}

bool write_junit(const std::string& path, const std::vector<ScenarioRun>& runs)
{
    TiXmlDocument doc;
    doc.LinkEndChild(new TiXmlDeclaration("1.0", "UTF-8", ""));
    auto* suites = new TiXmlElement("testsuites");
    suites->SetAttribute("name", "carrier-bench test");
    size_t tests = 0, failures = 0;
    double total = 0.0;
    for (const ScenarioRun& run : runs) {
        auto* suite = new TiXmlElement("testsuite");
        suite->SetAttribute("name", run.path);
        const std::string classname = fs::path(run.path).stem().string();
        size_t suite_failures = 0;
        auto add_case = [&](const std::string& name, bool ok, const std::string& message, const std::string& text) {
            auto* test = new TiXmlElement("testcase");
            test->SetAttribute("classname", classname);
            test->SetAttribute("name", name);
            if (!ok) {
                auto* failure = new TiXmlElement("failure");
                failure->SetAttribute("message", message);
                failure->LinkEndChild(new TiXmlText(text));
                test->LinkEndChild(failure);
                ++suite_failures;
            }
            suite->LinkEndChild(test);
        };
        // The run itself: it completed, its actions succeeded, its root linted.
        const bool run_ok = run.problem.empty();
        add_case("run", run_ok, run_ok ? "" : run.problem.substr(0, run.problem.find('\n')), run.problem);
        for (const Verdict& v : run.verdicts) add_case(v.name, v.met, v.message, v.message);
        suite->SetAttribute("tests", static_cast<int>(run.verdicts.size() + 1));
        suite->SetAttribute("failures", static_cast<int>(suite_failures));
        suite->SetAttribute("errors", 0);
        char time[32];
        std::snprintf(time, sizeof time, "%.3f", run.seconds);
        suite->SetAttribute("time", time);
        tests += run.verdicts.size() + 1;
        failures += suite_failures;
        total += run.seconds;
        suites->LinkEndChild(suite);
    }
    suites->SetAttribute("tests", static_cast<int>(tests));
    suites->SetAttribute("failures", static_cast<int>(failures));
    char time[32];
    std::snprintf(time, sizeof time, "%.3f", total);
    suites->SetAttribute("time", time);
    doc.LinkEndChild(suites);
    return doc.SaveFile(path.c_str());
}

}  // namespace

int run_tests(const TestOptions& options)
{
    std::string error;
    const std::vector<std::string> files = find_scenarios(options.paths, &error);
    if (!error.empty()) {
        std::fprintf(stderr, "carrier-bench: %s\n", error.c_str());
        return 2;
    }
    if (files.empty()) {
        std::fprintf(stderr, "carrier-bench: no scenario files found\n");
        return 2;
    }
    std::vector<ScenarioRun> runs(files.size());
    std::set<std::string> taken;
    for (size_t i = 0; i < files.size(); ++i) {
        runs[i].path = files[i];
        runs[i].out_dir = run_dir_for(options.out_dir, files[i], taken);
    }
    // A bounded pool: at most `jobs` runs at once; lines are printed in the
    // order given, each as soon as the runs before it are done.
    std::map<pid_t, size_t> running;
    size_t next_start = 0, next_print = 0, passed = 0;
    std::vector<bool> done(runs.size(), false);
    const size_t jobs = static_cast<size_t>(std::max(1, options.jobs));
    while (next_print < runs.size()) {
        while (next_start < runs.size() && running.size() < jobs) {
            ScenarioRun& run = runs[next_start];
            run.started = std::chrono::steady_clock::now();
            run.pid = start_run(options, run);
            if (run.pid < 0) {
                run.status = 127;
                run.problem = "cannot start a process for the run";
                done[next_start] = true;
            } else {
                running[run.pid] = next_start;
            }
            ++next_start;
        }
        if (!running.empty()) {
            int status = 0;
            const pid_t pid = waitpid(-1, &status, 0);
            if (pid < 0) break;
            auto it = running.find(pid);
            if (it == running.end()) continue;
            ScenarioRun& run = runs[it->second];
            run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
            run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - run.started).count();
            read_results(run);
            done[it->second] = true;
            running.erase(it);
        }
        for (; next_print < runs.size() && done[next_print]; ++next_print) {
            print_run(runs[next_print]);
            if (runs[next_print].status == 0) ++passed;
        }
    }
    std::printf("%zu passed, %zu failed\n", passed, runs.size() - passed);
    if (!options.junit_path.empty()) {
        if (!write_junit(options.junit_path, runs)) {
            std::fprintf(stderr, "carrier-bench: cannot write %s\n", options.junit_path.c_str());
            return 2;
        }
        std::printf("JUnit -> %s\n", options.junit_path.c_str());
    }
    return passed == runs.size() ? 0 : 3;
}

}  // namespace host
