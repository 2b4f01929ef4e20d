// carrier-bench: runs a scenario against the carrier operations module in the
// emulated host and writes the timeline.
//
//   carrier-bench                         the bundled default scenario, into the checkout's runs/latest
//   carrier-bench run SCENARIO --out DIR  a scenario, timeline into DIR/timeline.jsonl
//   carrier-bench check SCENARIO          validates a scenario (and lints its root) without running it
//   carrier-bench lint [SIMROOT]          lints a simulator root's configuration files
//   carrier-bench vars                    lists the variables, units and key events the bench knows
//
// Exit status: 0 success; 1 a run whose actions failed (timeline and summary
// are still written), or lint findings that fail; 2 nothing could be done (a
// bad scenario, a refused check, a module that does not load).
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>

#include "host/config_lint.h"
#include "host/run_summary.h"
#include "host/scenario.h"
#include "host/scenario_check.h"
#include "host/vars_listing.h"

namespace fs = std::filesystem;

namespace {

std::string executable_dir()
{
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : self.parent_path().string();
}

std::string default_module_path()
{
    const fs::path beside = fs::path(executable_dir()) / "carrier_ops.so";
    return fs::exists(beside) ? beside.string() : std::string(CARRIER_MODULE_PATH);
}

std::string default_scenario_path() { return std::string(CARRIER_SOURCE_DIR) + "/scenarios/default.xml"; }
std::string default_run_dir() { return std::string(CARRIER_SOURCE_DIR) + "/runs/latest"; }
std::string default_sim_root() { return std::string(CARRIER_SOURCE_DIR) + "/scenarios/simroot"; }

// Prints the linter's findings; true when they pass.
bool print_lint(const host::LintReport& report, bool strict, const std::string& root)
{
    for (const host::LintFinding& f : report.findings) std::printf("%s\n", host::format_finding(f, strict).c_str());
    std::printf("%s: %zu error(s), %zu warning(s)%s\n", root.c_str(), report.errors(), report.warnings(),
                strict && report.warnings() ? " (warnings count as errors with --strict)" : "");
    return report.passes(strict);
}

int lint(const std::string& root, bool strict)
{
    std::error_code ec;
    if (!fs::is_directory(root, ec)) {
        std::fprintf(stderr, "carrier-bench: %s is not a directory\n", root.c_str());
        return 2;
    }
    return print_lint(host::lint_configuration(root), strict, root) ? 0 : 1;
}

int check(const std::string& path, const std::string& module_path, bool strict)
{
    std::string error;
    auto scenario = host::load_scenario(path, &error);
    if (!scenario) {
        std::fprintf(stderr, "carrier-bench: %s\n", error.c_str());
        return 2;
    }
    const bool config_ok = print_lint(host::lint_configuration(scenario->sim_root), strict, scenario->sim_root);
    const std::vector<std::string> gauges = host::module_gauge_names(module_path, &error);
    if (gauges.empty()) {
        std::fprintf(stderr, "carrier-bench: %s\n", error.c_str());
        return 2;
    }
    std::vector<std::string> sites;
    for (const host::FixedSite& site : host::read_fixed_sites(scenario->sim_root)) sites.push_back(site.name);
    const auto problems = host::check_scenario(*scenario, gauges, sites);
    for (const host::ScenarioProblem& p : problems)
        std::fprintf(stderr, "carrier-bench: %s:%d: %s\n", path.c_str(), p.line, p.message.c_str());
    if (!problems.empty() || !config_ok) {
        std::printf("%s: refused\n", path.c_str());
        return 2;
    }
    std::printf("%s: ok\n", path.c_str());
    return 0;
}

int run(const std::string& scenario_path, const std::string& out_dir, const std::string& module_path, bool quiet,
        bool record_frames)
{
    std::string error;
    auto scenario = host::load_scenario(scenario_path, &error);
    if (!scenario) {
        std::fprintf(stderr, "carrier-bench: %s\n", error.c_str());
        return 2;
    }
    std::error_code ec;
    fs::create_directories(out_dir, ec);
    if (ec) {
        std::fprintf(stderr, "carrier-bench: cannot create %s: %s\n", out_dir.c_str(), ec.message().c_str());
        return 2;
    }
    // Both paths are made absolute now: the run enters the simulator root.
    const std::string timeline_path = (fs::absolute(out_dir) / "timeline.jsonl").string();
    const std::string summary_path = (fs::absolute(out_dir) / "summary.txt").string();

    host::HostOptions options = host::host_options_for(*scenario, module_path);
    options.echo_stderr = !quiet;
    options.record_frame_messages = record_frames;
    host::Host host(options);
    if (!quiet) std::printf("Running %s (%.1f s simulated)\n", scenario_path.c_str(), scenario->end_time);
    const auto result = host::run_scenario(*scenario, host, [&](double t) {
        if (!quiet && std::fmod(t, 10.0) < 1.0 / scenario->frame_rate) {
            std::printf("  t = %5.0f s\n", t);
            std::fflush(stdout);
        }
    });
    if (!host.timeline().write_jsonl(timeline_path, &error)) {
        std::fprintf(stderr, "carrier-bench: %s\n", error.c_str());
        return 2;
    }
    if (!result.completed) {
        std::fprintf(stderr, "carrier-bench: %s\n", result.error.c_str());
        return 2;
    }
    host::SummaryInput input;
    input.scenario_name = scenario->name;
    input.end_time = scenario->end_time;
    input.frame_rate = scenario->frame_rate;
    input.frames = host.frame();
    input.timeline_path = timeline_path;
    input.timeline = &host.timeline();
    for (const host::ScenarioEvent& e : scenario->events)
        if (!e.fired) input.never_fired.push_back(&e);
    input.failures = result.failures;
    input.calculator_failures = host.calculator_failures();
    const std::string summary = host::format_summary(input);
    std::fputs(summary.c_str(), stdout);
    FILE* file = std::fopen(summary_path.c_str(), "w");
    if (!file || std::fputs(summary.c_str() + 1, file) < 0 || std::fclose(file) != 0) {
        std::fprintf(stderr, "carrier-bench: cannot write %s\n", summary_path.c_str());
        return 2;
    }
    std::printf("Summary -> %s\n", summary_path.c_str());
    for (const std::string& f : result.failures) std::fprintf(stderr, "carrier-bench: %s\n", f.c_str());
    return result.failures.empty() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    CLI::App app{"carrier-bench: runs the carrier operations module in an emulated host"};
    app.require_subcommand(0, 1);
    std::string module_path = default_module_path();
    app.add_option("--module", module_path, "the gauge module to load")->capture_default_str();

    std::string scenario_path;
    std::string out_dir = "runs/latest";
    bool quiet = false;
    bool record_frames = false;
    CLI::App* run_cmd = app.add_subcommand("run", "run a scenario and write DIR/timeline.jsonl");
    run_cmd->add_option("scenario", scenario_path, "scenario file (XML run script)")->required()->check(CLI::ExistingFile);
    run_cmd->add_option("--out", out_dir, "run directory for the timeline")->capture_default_str();
    run_cmd->add_flag("--quiet", quiet, "print only the summary; do not echo the module's standard error");
    run_cmd->add_flag("--record-frames", record_frames, "record every per-frame SimConnect message on the timeline");

    std::string check_path;
    bool strict = false;
    CLI::App* check_cmd = app.add_subcommand(
        "check", "validate a scenario without running it: the file, its gauges, events and boats, and a lint of its root");
    check_cmd->add_option("scenario", check_path, "scenario file")->required();
    check_cmd->add_flag("--strict", strict, "refuse the scenario when the lint of its root gives warnings");

    std::string lint_root = default_sim_root();
    CLI::App* lint_cmd = app.add_subcommand("lint", "check a simulator root's ZEB_Parameters.xml and ZEB_Carrier.xml");
    lint_cmd->add_option("simroot", lint_root, "the simulator root (holds Gauges/)")->capture_default_str();
    lint_cmd->add_flag("--strict", strict, "count warnings as errors (exit status 1)");

    bool markdown = false;
    CLI::App* vars_cmd = app.add_subcommand("vars", "list the simulator variables, units and key events the bench knows");
    vars_cmd->add_flag("--markdown", markdown, "as Markdown (the text of docs/variables.md)");

    CLI11_PARSE(app, argc, argv);

    if (*check_cmd) return check(check_path, module_path, strict);
    if (*lint_cmd) return lint(lint_root, strict);
    if (*vars_cmd) {
        std::fputs(host::vars_listing(markdown ? host::ListingFormat::Markdown : host::ListingFormat::Text).c_str(), stdout);
        return 0;
    }
    if (*run_cmd) return run(scenario_path, out_dir, module_path, quiet, record_frames);
    std::printf("No scenario given: running the bundled %s into %s\n", default_scenario_path().c_str(),
                default_run_dir().c_str());
    return run(default_scenario_path(), default_run_dir(), module_path, quiet, record_frames);
}
