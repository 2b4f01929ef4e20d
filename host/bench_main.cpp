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
#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <vector>

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

// What the printed account of a run needs, kept while the run goes (the
// timeline itself goes to its file).
struct RunSummary {
    static constexpr size_t MAX_LISTED = 1000;  // screen texts and stderr lines listed at most

    struct Text {
        double t;
        std::string color;
        double seconds;
        std::string text;
    };
    struct Sample {
        double t;
        std::vector<double> values;
    };

    std::vector<Text> texts;
    size_t texts_seen = 0;
    std::vector<std::pair<double, std::string>> errors;
    size_t errors_seen = 0;
    size_t keys = 0;
    size_t module_keys = 0;
    std::vector<Sample> samples;  // the approach picture
    double sample_step = 1.0;
    double next_sample = 1.0;

    // The approach picture's columns.
    static constexpr const char* COLUMNS[] = {"TCN Valid",    "TCN Slant Range", "TCN CDI",
                                              "TCN_TOFROM",   "ILS Slant Range", "GS Error",
                                              "LOC Error",    "ILS_GS_VALID",    "ILS_LOC_VALID"};

    RunSummary(host::Host& host, double end_time)
    {
        sample_step = end_time > 100 ? 20.0 : std::max(1.0, std::ceil(end_time / 10.0));
        next_sample = sample_step;
        host::Timeline& timeline = host.timeline();
        timeline.watch("text", [this](const host::TimelineEvent& e) {
            if (++texts_seen <= MAX_LISTED)
                texts.push_back(Text{e.t, e.data.value("color", ""), e.data.value("seconds", 0.0), e.data.value("text", "")});
        });
        timeline.watch("stderr", [this](const host::TimelineEvent& e) {
            if (++errors_seen <= MAX_LISTED) errors.emplace_back(e.t, e.data.value("line", ""));
        });
        timeline.watch("key", [this](const host::TimelineEvent& e) {
            ++keys;
            module_keys += e.data.value("source", "") != "scenario";
        });
    }

    // After every frame: the named variables at each sampling time.
    void after_frame(const host::Host& host, double t)
    {
        for (; t + 1e-9 >= next_sample; next_sample += sample_step) take_sample(host, next_sample);
    }
    void finish(const host::Host& host, double end_time)
    {
        for (; next_sample <= end_time + 1e-9; next_sample += sample_step) take_sample(host, next_sample);
    }
    void take_sample(const host::Host& host, double t)
    {
        Sample sample{t, {}};
        for (const char* name : COLUMNS) sample.values.push_back(host.named_variable(name));
        samples.push_back(std::move(sample));
    }
};

// A short readable account of the run.
void print_summary(const host::Scenario& scenario, host::Host& host, const RunSummary& summary,
                   const std::string& timeline_path)
{
    const host::Timeline& timeline = host.timeline();
    auto counts = timeline.counts();
    std::sort(counts.begin(), counts.end());

    std::printf("\nScenario \"%s\": %.1f s at %.0f frames/s, %lld frames\n", scenario.name.c_str(), scenario.end_time,
                scenario.frame_rate, static_cast<long long>(host.frame()));
    std::printf("Timeline: %llu events -> %s\n", static_cast<unsigned long long>(timeline.event_count()),
                timeline_path.c_str());
    for (const auto& [kind, n] : counts)
        if (n > 0) std::printf("  %-16s %llu\n", kind.c_str(), static_cast<unsigned long long>(n));

    if (!summary.texts.empty()) {
        std::printf("Screen texts:\n");
        for (const auto& e : summary.texts)
            std::printf("  t=%7.2f  %-6s %4.1fs  \"%s\"\n", e.t, e.color.c_str(), e.seconds, e.text.c_str());
        if (summary.texts_seen > summary.texts.size())
            std::printf("  ... and %zu more\n", summary.texts_seen - summary.texts.size());
    }
    if (!summary.errors.empty()) {
        std::printf("Module's standard error:\n");
        for (const auto& [t, line] : summary.errors) std::printf("  t=%7.2f  %s\n", t, line.c_str());
        if (summary.errors_seen > summary.errors.size())
            std::printf("  ... and %zu more\n", summary.errors_seen - summary.errors.size());
    }
    std::printf("Key events: %zu (%zu raised by the module or its expressions)\n", summary.keys, summary.module_keys);

    // The approach picture as the panel saw it, sampled through the run.
    const std::vector<std::string> published = host.published_named_variables();
    if (!published.empty()) {
        std::printf("Approach picture (named variables):\n   t (s)  TCN  range nm  CDI deg  T/F   ILS nm  GS err  LOC err  GS LOC\n");
        for (const auto& s : summary.samples) {
            const auto& v = s.values;
            std::printf("  %6.1f  %3.0f  %8.2f  %7.2f  %3.0f  %7.2f  %6.2f  %7.2f  %2.0f  %2.0f\n", s.t, v[0], v[1], v[2],
                        v[3], v[4], v[5], v[6], v[7], v[8]);
        }
        // Last value of every named variable the module published.
        std::vector<std::string> names = published;
        std::sort(names.begin(), names.end());
        std::printf("Named variables at the end:\n");
        for (const auto& name : names) std::printf("  %-20s %.6g\n", name.c_str(), host.named_variable(name));
    }
    if (host.calculator_failures() > 0)
        std::printf("Calculator failures: %zu (see \"calc_error\" events)\n", host.calculator_failures());
}

struct RecordingOptions {
    bool frames = false;          // every per-frame SimConnect message
    double named_interval = 0.0;  // seconds between records of one named variable; 0: every change
    double named_deadband = 0.0;  // least move of a named variable that is recorded; 0: any
};

int run(const std::string& scenario_path, const std::string& out_dir, const std::string& module_path, bool quiet,
        const RecordingOptions& recording)
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
    options.record_frame_messages = recording.frames;
    options.named_record_interval = recording.named_interval;
    options.named_deadband = recording.named_deadband;
    host::Host host(options);
    if (!host.timeline().open_file(timeline_path, &error)) {
        std::fprintf(stderr, "carrier-bench: %s\n", error.c_str());
        return 2;
    }
    RunSummary summary(host, scenario->end_time);
    if (!quiet) std::printf("Running %s (%.1f s simulated)\n", scenario_path.c_str(), scenario->end_time);
    const auto result = host::run_scenario(*scenario, host, [&](double t) {
        summary.after_frame(host, t);
        if (!quiet && std::fmod(t, 10.0) < 1.0 / scenario->frame_rate) {
            std::printf("  t = %5.0f s\n", t);
            std::fflush(stdout);
        }
    });
    summary.finish(host, scenario->end_time);
    if (!host.timeline().close(&error)) {
        std::fprintf(stderr, "carrier-bench: %s\n", error.c_str());
        return 2;
    }
    if (!result.ok) {
        std::fprintf(stderr, "carrier-bench: %s\n", result.error.c_str());
        return 1;
    }
    print_summary(*scenario, host, summary, timeline_path);
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
    RecordingOptions recording;
    CLI::App* run_cmd = app.add_subcommand("run", "run a scenario and write DIR/timeline.jsonl");
    run_cmd->add_option("scenario", scenario_path, "scenario file (XML run script)")->required()->check(CLI::ExistingFile);
    run_cmd->add_option("--out", out_dir, "run directory for the timeline")->capture_default_str();
    run_cmd->add_flag("--quiet", quiet, "print only the summary; do not echo the module's standard error");
    run_cmd->add_flag("--record-frames", recording.frames, "record every per-frame SimConnect message on the timeline");
    run_cmd->add_option("--named-interval", recording.named_interval,
                        "record each named variable at most once per SECONDS (0: on every change)")
        ->check(CLI::Range(0.0, 86400.0));
    run_cmd->add_option("--named-deadband", recording.named_deadband,
                        "record a named variable only when it moved by more than VALUE (0: on every change)")
        ->check(CLI::NonNegativeNumber);

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
    if (*run_cmd) return run(scenario_path, out_dir, module_path, quiet, recording);
    return run(default_scenario_path(), out_dir, module_path, quiet, recording);
}
