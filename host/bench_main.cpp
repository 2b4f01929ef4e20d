// carrier-bench: runs a scenario against the carrier operations module in the
// emulated host and writes the timeline.
//
//   carrier-bench                         the bundled default scenario, into runs/latest
//   carrier-bench run SCENARIO --out DIR  a scenario, timeline into DIR/timeline.jsonl
//   carrier-bench check SCENARIO          validates a scenario without running it
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>

#include "host/debrief.h"
#include "host/run_progress.h"
#include "host/scenario.h"

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

// A short readable account of the run.
void print_summary(const host::Scenario& scenario, host::Host& host, const std::string& timeline_path)
{
    const host::Timeline& timeline = host.timeline();
    std::map<std::string, size_t> counts;
    for (const auto& e : timeline.events()) ++counts[e.kind];

    std::printf("\nScenario \"%s\": %.1f s at %.0f frames/s, %lld frames\n", scenario.name.c_str(), scenario.end_time,
                scenario.frame_rate, static_cast<long long>(host.frame()));
    std::printf("Timeline: %zu events -> %s\n", timeline.events().size(), timeline_path.c_str());
    for (const auto& [kind, n] : counts) std::printf("  %-16s %zu\n", kind.c_str(), n);

    const auto texts = timeline.of_kind("text");
    if (!texts.empty()) {
        std::printf("Screen texts:\n");
        for (const auto* e : texts)
            std::printf("  t=%7.2f  %-6s %4.1fs  \"%s\"\n", e->t, e->data.value("color", "").c_str(),
                        e->data.value("seconds", 0.0), e->data.value("text", "").c_str());
    }
    const auto errors = timeline.of_kind("stderr");
    if (!errors.empty()) {
        std::printf("Module's standard error:\n");
        for (const auto* e : errors) std::printf("  t=%7.2f  %s\n", e->t, e->data.value("line", "").c_str());
    }
    const auto keys = timeline.of_kind("key");
    size_t module_keys = 0;
    for (const auto* e : keys) module_keys += e->data.value("source", "") != "scenario";
    std::printf("Key events: %zu (%zu raised by the module or its expressions)\n", keys.size(), module_keys);

    // The approach picture as the panel saw it, sampled through the run.
    const char* const columns[] = {"TCN Valid", "TCN Slant Range", "TCN CDI", "TCN_TOFROM", "ILS Slant Range",
                                   "GS Error", "LOC Error", "ILS_GS_VALID", "ILS_LOC_VALID"};
    const auto published = timeline.of_kind("named");
    if (!published.empty()) {
        std::printf("Approach picture (named variables):\n   t (s)  TCN  range nm  CDI deg  T/F   ILS nm  GS err  LOC err  GS LOC\n");
        const double step = scenario.end_time > 100 ? 20.0 : std::max(1.0, std::ceil(scenario.end_time / 10.0));
        std::map<std::string, double> now;
        size_t i = 0;
        for (double sample = step; sample <= scenario.end_time + 1e-9; sample += step) {
            for (; i < published.size() && published[i]->t <= sample + 1e-9; ++i)
                now[published[i]->data.value("name", "")] = published[i]->data.value("value", 0.0);
            auto v = [&](const char* name) { return now.count(name) ? now[name] : 0.0; };
            std::printf("  %6.1f  %3.0f  %8.2f  %7.2f  %3.0f  %7.2f  %6.2f  %7.2f  %2.0f  %2.0f\n", sample,
                        v(columns[0]), v(columns[1]), v(columns[2]), v(columns[3]), v(columns[4]), v(columns[5]),
                        v(columns[6]), v(columns[7]), v(columns[8]));
        }
    }

    // Last value of every named variable the module published.
    std::map<std::string, double> named;
    for (const auto* e : timeline.of_kind("named")) named[e->data.value("name", "")] = e->data.value("value", 0.0);
    if (!named.empty()) {
        std::printf("Named variables at the end:\n");
        for (const auto& [name, value] : named) std::printf("  %-20s %.6g\n", name.c_str(), value);
    }
    if (host.calculator_failures() > 0)
        std::printf("Calculator failures: %zu (see \"calc_error\" events)\n", host.calculator_failures());
}

int run(const std::string& scenario_path, const std::string& out_dir, const std::string& module_path, bool quiet,
        bool record_frames, bool debrief_files = true)
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
    const std::string timeline_path = (fs::absolute(out_dir) / "timeline.jsonl").string();

    host::HostOptions options = host::host_options_for(*scenario, module_path);
    options.echo_stderr = !quiet;
    options.record_frame_messages = record_frames;
    host::Host host(options);
    auto debrief = std::make_shared<host::Debrief>();
    if (debrief_files) {
        const auto frames = static_cast<int64_t>(std::llround(scenario->end_time * scenario->frame_rate));
        if (!debrief->open(out_dir, frames, scenario->name, &error)) {
            std::fprintf(stderr, "carrier-bench: %s\n", error.c_str());
            return 2;
        }
        host.add_frame_observer(debrief);
    }
    if (!quiet) std::printf("Running %s (%.1f s simulated)\n", scenario_path.c_str(), scenario->end_time);
    host::RunProgress progress(scenario->end_time, stderr, isatty(fileno(stderr)) != 0);
    const auto result = host::run_scenario(*scenario, host, [&](double t) { progress.update(t); });
    progress.done();
    if (!host.timeline().write_jsonl(timeline_path, &error)) {
        std::fprintf(stderr, "carrier-bench: %s\n", error.c_str());
        return 2;
    }
    if (!result.ok) {
        std::fprintf(stderr, "carrier-bench: %s\n", result.error.c_str());
        return 1;
    }
    print_summary(*scenario, host, timeline_path);
    if (debrief_files) {
        if (!debrief->finish(host, &error)) {
            std::fprintf(stderr, "carrier-bench: debrief: %s\n", error.c_str());
            return 1;
        }
        std::printf("Debrief: %s (%lld rows), %s, %s\n", debrief->csv_path().c_str(),
                    static_cast<long long>(debrief->rows()), debrief->png_path().c_str(), debrief->svg_path().c_str());
    }
    return 0;
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
    bool no_debrief = false;
    run_cmd->add_flag("--no-debrief", no_debrief, "write no approach.csv, approach.png and approach.svg");

    std::string check_path;
    CLI::App* check_cmd = app.add_subcommand("check", "validate a scenario file without running it");
    check_cmd->add_option("scenario", check_path, "scenario file")->required();

    CLI11_PARSE(app, argc, argv);

    if (*check_cmd) {
        std::string error;
        if (!host::load_scenario(check_path, &error)) {
            std::fprintf(stderr, "carrier-bench: %s\n", error.c_str());
            return 2;
        }
        std::printf("%s: ok\n", check_path.c_str());
        return 0;
    }
    if (*run_cmd) return run(scenario_path, out_dir, module_path, quiet, record_frames, !no_debrief);
    return run(default_scenario_path(), out_dir, module_path, quiet, record_frames);
}
