// carrier-bench: runs a scenario against the carrier operations module in the
// emulated host and writes the timeline.
//
//   carrier-bench                         the bundled default scenario, into the checkout's runs/latest
//   carrier-bench run SCENARIO --out DIR  a scenario, timeline into DIR/timeline.jsonl, the
//                                         summary into DIR/summary.txt, the story of the run
//                                         into DIR/story.txt (and on standard output), the
//                                         sounds played into DIR/audio.wav
//   carrier-bench check SCENARIO          validates a scenario (and lints its root) without running it,
//                                         or a sweep file and its base scenario
//   carrier-bench lint [SIMROOT]          lints a simulator root's configuration files
//   carrier-bench vars                    lists the variables, units and key events the bench knows
//   carrier-bench test [PATH...]          runs every scenario of the folders and files, tells which
//                                         met their expectations (-j N at once, --junit FILE)
//   carrier-bench sweep SWEEP             runs every variation of a sweep file (docs/sweeps.md)
//
// Exit status: 0 success; 1 a run whose actions failed (timeline and summary
// are still written), or lint findings that fail; 2 nothing could be done (a
// bad scenario, a refused check, a module that does not load); 3 a run whose
// expectations were not all met (test: some scenario failed).
#include "host/build_paths.h"
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>

#include "host/record/debrief.h"
#include "host/record/debrief_page.h"
#include "host/record/deck_picture.h"
#include "host/record/trapsheet.h"
#include "host/bench/greenie.h"
#include "host/bench/run_progress.h"
#include "host/bench/config_lint.h"
#include "host/record/run_summary.h"
#include "host/scenario/scenario.h"
#include "host/scenario/scenario_check.h"
#include "host/record/story.h"
#include "host/bench/vars_listing.h"
#include "host/bench/test_command.h"
#include "host/bench/run_reasons.h"
#include <algorithm>
#include <thread>
#include "host/bench/sweep.h"
#include "host/bench/sweep_file.h"

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

// `--deck TITLE=MODEL`: MODEL a bundled class (scenarios/decks/MODEL.xml) or a deck file.
bool parse_known_deck(const std::string& text, host::KnownDeck* out, std::string* error)
{
    const size_t eq = text.rfind('=');
    if (eq == std::string::npos || eq == 0 || eq + 1 == text.size()) {
        *error = "--deck \"" + text + "\": expected TITLE=MODEL (a ship's Sim_Name, a bundled deck class or a deck file)";
        return false;
    }
    const std::string model = text.substr(eq + 1);
    const fs::path file = model.find('/') == std::string::npos && fs::path(model).extension() != ".xml"
                              ? fs::path(CARRIER_SOURCE_DIR) / "scenarios/decks" / (model + ".xml")
                              : fs::path(model);
    auto deck = host::load_deck(file.string(), error);
    if (!deck) {
        *error = "--deck \"" + text + "\": " + *error;
        return false;
    }
    *out = {text.substr(0, eq), std::move(*deck)};
    return true;
}

int lint(const std::string& root, bool strict, const std::vector<std::string>& deck_options)
{
    std::error_code ec;
    if (!fs::is_directory(root, ec)) {
        std::fprintf(stderr, "carrier-bench: %s is not a directory\n", root.c_str());
        return 2;
    }
    std::vector<host::KnownDeck> decks;
    for (const std::string& d : deck_options) {
        std::string error;
        host::KnownDeck known;
        if (!parse_known_deck(d, &known, &error)) {
            std::fprintf(stderr, "carrier-bench: %s\n", error.c_str());
            return 2;
        }
        decks.push_back(std::move(known));
    }
    return print_lint(host::lint_configuration(root, decks), strict, root) ? 0 : 1;
}

int check_sweep_file(const std::string& path)
{
    std::string error;
    auto sweep = host::load_sweep(path, &error);
    if (!sweep) {
        std::fprintf(stderr, "carrier-bench: %s\n", error.c_str());
        return 2;
    }
    const std::vector<std::string> problems = host::check_sweep(*sweep);
    for (const std::string& p : problems) std::fprintf(stderr, "carrier-bench: %s\n", p.c_str());
    if (!problems.empty()) {
        std::printf("%s: refused\n", path.c_str());
        return 2;
    }
    std::printf("%s: ok (%llu runs of %s)\n", path.c_str(), static_cast<unsigned long long>(host::run_count(*sweep)),
                sweep->scenario_path.c_str());
    return 0;
}

int check(const std::string& path, const std::string& module_path, bool strict)
{
    if (host::is_sweep_file(path)) return check_sweep_file(path);
    std::string error;
    auto scenario = host::load_scenario(path, &error);
    if (!scenario) {
        std::fprintf(stderr, "carrier-bench: %s\n", error.c_str());
        return 2;
    }
    // The scenario's deck models (already read when it loaded) check the carrier list's offsets.
    std::vector<host::KnownDeck> decks;
    for (const host::ScenarioAction& a : scenario->setup) {
        if (a.world.deck_file.empty() || a.world.needs_titles.empty()) continue;
        if (auto deck = host::load_deck(a.world.deck_file, &error))
            decks.push_back({a.world.needs_titles.front(), std::move(*deck)});
    }
    const bool config_ok =
        print_lint(host::lint_configuration(scenario->sim_root, decks), strict, scenario->sim_root);
    const std::vector<std::string> gauges = host::module_gauge_names(module_path, &error);
    if (gauges.empty()) {
        std::fprintf(stderr, "carrier-bench: %s\n", error.c_str());
        return 2;
    }
    std::vector<std::string> sites;
    for (const host::FixedSite& site : host::read_fixed_sites(scenario->sim_root)) sites.push_back(site.name);
    const auto problems = host::check_scenario(*scenario, gauges, sites);
    bool refused = false;
    for (const host::ScenarioProblem& p : problems) {
        if (p.warning) {
            std::printf("%s:%d: warning: %s\n", path.c_str(), p.line, p.message.c_str());
            continue;
        }
        std::fprintf(stderr, "carrier-bench: %s:%d: %s\n", path.c_str(), p.line, p.message.c_str());
        refused = true;
    }
    if (refused || !config_ok) {
        std::printf("%s: refused\n", path.c_str());
        return 2;
    }
    std::printf("%s: ok\n", path.c_str());
    return 0;
}

struct RecordingOptions {
    bool frames = false;          // every per-frame SimConnect message
    double named_interval = 0.0;  // seconds between records of one named variable; 0: every change
    double named_deadband = 0.0;  // least move of a named variable that is recorded; 0: any
};

// The name of a line ending ,"name":"NAME","value":NUMBER} (named variable
// and panel variable lines; the number has no quote), found from the end
// instead of by searching the line. Empty when the line is not of that form.
std::string_view name_before_value(std::string_view line)
{
    const size_t quote = line.find_last_of('"');  // the end of "value"
    if (quote == std::string_view::npos || quote < 8 || line.substr(quote - 7, 8) != ",\"value\"") return {};
    const std::string_view before = line.substr(0, quote - 8);  // up to the name's closing quote
    const size_t key = before.rfind("\"name\":\"");
    if (key == std::string_view::npos) return {};
    return before.substr(key + 8);
}

// The lines of the streamed timeline the summary reads: all but the
// per-frame bulk (named variables other than the two whose changes it
// reports, the catapults' steam animation, SimConnect calls that succeeded,
// per-frame data messages).
bool summary_keeps(std::string_view kind, std::string_view line)
{
    if (kind == "named") {
        const std::string_view name = name_before_value(line);
        return name == "TCN Valid" || name == "Carrier_Is_Found";
    }
    if (kind == "lvar") {
        const std::string_view name = name_before_value(line);
        return !(name.starts_with("Cat_") && name.ends_with("_Steam"));
    }
    if (kind == "simconnect") return line.find(",\"result\":0,") == std::string_view::npos;
    if (kind == "dispatch") return false;
    return true;
}

// A catapult velocity command the module sent (a line a frame during a
// stroke). The summary reads only the last one (the launch's end speed).
bool is_velocity_command(std::string_view kind, std::string_view line)
{
    return kind == "simconnect" && line.find("\"define\":3,") != std::string_view::npos &&
           line.find("SimConnect_SetDataOnSimObject") != std::string_view::npos;
}

// The named variables at `t` as summary lines (the approach picture's rows).
void add_named_sample(host::Timeline& summary, const host::Host& host, double t, int64_t frame)
{
    summary.set_clock(t, frame);
    for (const std::string& name : host.published_named_variables())
        summary.event("named").str("name", name).num("value", host.named_variable(name));
}

// The catapult's launches: the states published, the stroke time (state 2 to
// the end), the last velocity command and how the aircraft left the deck.
// Empty when the catapult never left state 0.
std::string catapult_summary(const host::Timeline& timeline)
{
    std::string states;
    double stroke_start = -1.0, stroke_time = -1.0;
    for (const auto* e : timeline.of_kind("lvar")) {
        if (e->data.value("name", "") != "Catapult_State") continue;
        const double state = e->data.value("value", 0.0);
        char item[48];
        std::snprintf(item, sizeof item, "%s%.0f (t=%.2f)", states.empty() ? "" : ", ", state, e->t);
        states += item;
        if (state == 2.0) stroke_start = e->t;
        else if (state == 0.0 && stroke_start >= 0.0 && stroke_time < 0.0) stroke_time = e->t - stroke_start;
    }
    if (states.empty()) return "";
    std::string out = "Catapult:\n  Catapult_State   " + states + "\n";
    char line[160];
    if (stroke_time >= 0.0) {
        std::snprintf(line, sizeof line, "  stroke time      %.3f s\n", stroke_time);
        out += line;
    }
    // The end speed is the last velocity command the simulator accepted; a
    // refused one is recorded without its values.
    double last_command = -1.0;
    int refused = 0;
    for (const auto* e : timeline.of_kind("simconnect")) {
        if (e->data.value("call", "") != "SimConnect_SetDataOnSimObject") continue;
        const auto args = e->data.find("args");
        if (args == e->data.end() || !args->is_object() || args->value("define", -1) != 3) continue;
        if (e->data.value("result", 0) != 0) {
            ++refused;
            continue;
        }
        const auto values = args->find("values");
        if (values != args->end() && values->is_array() && !values->empty() && (*values)[0].is_number())
            last_command = (*values)[0].get<double>();
    }
    if (last_command >= 0.0) {
        std::snprintf(line, sizeof line, "  end speed        %.2f m/s (last velocity command accepted)\n", last_command);
        out += line;
    } else if (refused > 0) {
        out += "  end speed        none (no velocity command accepted)\n";
    }
    if (refused > 0) {
        std::snprintf(line, sizeof line, "  refused          %d velocity command(s)\n", refused);
        out += line;
    }
    for (const auto* e : timeline.of_kind("deck")) {
        std::snprintf(line, sizeof line, "  left the deck    t=%.2f at %.2f m/s over the ground, %.2f m/s over the deck\n",
                      e->t, e->data.value("ground_speed", 0.0), e->data.value("deck_speed", 0.0));
        out += line;
    }
    return out;
}

// A command-line number from `low` to `high`. CLI11's own range checks
// compare with < and >, which let NaN through; this one tests for a finite
// number first ("nan is not a number of seconds from 0 to 86400").
CLI::Validator finite_range(double low, double high, const std::string& what)
{
    char range[96];
    std::snprintf(range, sizeof range, "%s from %g to %g", what.c_str(), low, high);
    const std::string expected = range;
    return CLI::Validator(
        [=](std::string& text) -> std::string {
            const char* begin = text.c_str();
            char* end = nullptr;
            errno = 0;
            const double value = std::strtod(begin, &end);
            if (end == begin || *end != '\0') return text + " is not a number";
            if (!std::isfinite(value) || value < low || value > high) return text + " is not " + expected;
            return "";
        },
        expected);
}

// Writes `text` into `path`; false (and a message) when it cannot.
bool write_text(const std::string& path, const std::string& text)
{
    FILE* file = std::fopen(path.c_str(), "w");
    if (file && std::fputs(text.c_str(), file) >= 0 && std::fclose(file) == 0) return true;
    if (file) std::fclose(file);
    std::fprintf(stderr, "carrier-bench: cannot write %s\n", path.c_str());
    return false;
}

// Removes from the run directory the files an earlier run wrote there (its
// summary, story, audio track, debrief and panel snapshots), so that a run
// that fails or is interrupted never sits beside another run's results.
// Snapshots are NAME-GAUGE.png for a gauge of the module.
bool clear_run_files(const fs::path& dir, const std::vector<std::string>& gauges)
{
    static const char* const RUN_FILES[] = {"timeline.jsonl", "summary.txt", "story.txt", "audio.wav",
                                            "approach.csv",   "approach.png", "approach.svg", "deck.png", "deck.svg", "debrief.html",
                                            "debrief-screenshot.png", "trapsheet.csv", "passes.json",
                                            "expectations.json"};
    std::error_code ec;
    bool ok = true;
    auto remove = [&](const fs::path& path) {
        if (fs::remove(path, ec); ec) {
            std::fprintf(stderr, "carrier-bench: cannot remove %s: %s\n", path.c_str(), ec.message().c_str());
            ok = false;
        }
    };
    for (const char* name : RUN_FILES) remove(dir / name);
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        // A pass's trend plot, trend-N.png.
        if (name.starts_with("trend-") && name.ends_with(".png") &&
            name.find_first_not_of("0123456789", 6) == name.size() - 4 && name.size() > 10 && it->is_regular_file(ec)) {
            remove(it->path());
            continue;
        }
        for (const std::string& gauge : gauges) {
            const std::string suffix = "-" + gauge + ".png";
            if (name.size() > suffix.size() && name.ends_with(suffix) && it->is_regular_file(ec)) {
                remove(it->path());
                break;
            }
        }
    }
    return ok;
}

// SIGINT and SIGTERM during a run: the handler only notes the signal; the
// run loop stops at the next frame boundary. A second signal of the same
// kind ends the process at once (SA_RESETHAND), for a run stuck in a frame.
extern "C" void note_stop_signal(int signal) { host::run_stop_signal = signal; }

void catch_stop_signals()
{
    struct sigaction action = {};
    action.sa_handler = note_stop_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int run(const std::string& scenario_path, const std::string& out_dir, const std::string& module_path, bool quiet,
        bool verbose, const RecordingOptions& recording, double snapshot_every, bool debrief_files = true,
        const std::string& grading_path = "", bool strict = false)
{
    std::string error;
    auto scenario = host::load_scenario(scenario_path, &error);
    if (!scenario) {
        std::fprintf(stderr, "carrier-bench: %s\n", error.c_str());
        return 2;
    }
    // The root's lint findings come first: a misspelt attribute shows only
    // as symptoms in the run.
    const host::LintReport lint_report = host::lint_configuration(scenario->sim_root);
    const bool lint_ok = lint_report.findings.empty() || print_lint(lint_report, strict, scenario->sim_root);
    std::error_code ec;
    fs::create_directories(out_dir, ec);
    if (ec) {
        std::fprintf(stderr, "carrier-bench: cannot create %s: %s\n", out_dir.c_str(), ec.message().c_str());
        return 2;
    }
    std::string gauge_error;
    if (!clear_run_files(out_dir, host::module_gauge_names(module_path, &gauge_error))) return 2;
    catch_stop_signals();
    // Both paths are made absolute now: the run enters the simulator root.
    const std::string timeline_path = (fs::absolute(out_dir) / "timeline.jsonl").string();
    const std::string audio_path = (fs::absolute(out_dir) / "audio.wav").string();  // before the run enters the sim root
    const std::string summary_path = (fs::absolute(out_dir) / "summary.txt").string();
    const std::string story_path = (fs::absolute(out_dir) / "story.txt").string();
    const std::string expectations_path = (fs::absolute(out_dir) / "expectations.json").string();
    const std::string run_dir = fs::absolute(out_dir).string();  // the run enters the sim root: absolute now

    host::HostOptions options = host::host_options_for(*scenario, module_path);
    options.echo_stderr = !quiet;
    options.record_frame_messages = recording.frames;
    options.named_record_interval = recording.named_interval;
    options.named_deadband = recording.named_deadband;
    options.snapshot_dir = fs::absolute(out_dir).string();  // <snapshot/> events and --snapshot-every write here
    options.snapshot_every = snapshot_every;
    host::Host host(options);
    auto debrief = std::make_shared<host::Debrief>();
    auto deck_track = std::make_shared<host::DeckTrack>();
    if (debrief_files) {
        const auto frames = static_cast<int64_t>(std::llround(scenario->end_time * scenario->frame_rate));
        if (!debrief->open(fs::absolute(out_dir).string(), frames, scenario->name, &error)) {
            std::fprintf(stderr, "carrier-bench: %s\n", error.c_str());
            return 2;
        }
        host.add_frame_observer(debrief);
        deck_track->reserve(frames);
        host.add_frame_observer(deck_track);
    }
    // The bench's own officer judges every pass (trapsheet.csv, passes.json, trend-N.png).
    auto grading = host::load_grading(grading_path.empty() ? host::default_grading_path() : grading_path, &error);
    if (!grading) {
        std::fprintf(stderr, "carrier-bench: %s\n", error.c_str());
        return 2;
    }
    auto judge = std::make_shared<host::PassJudge>(std::move(*grading));
    host.add_frame_observer(judge);
    // The timeline streams to its file; the summary reads a small copy of
    // the events it needs, with the named variables sampled at its rows.
    if (!host.timeline().open_file(timeline_path, &error)) {
        std::fprintf(stderr, "carrier-bench: %s\n", error.c_str());
        return 2;
    }
    host::Timeline summary_timeline;
    // The story tells the range to the deck at each of the officer's checks:
    // it is noted in the copy at the moment the module raises the check.
    // Of the catapult's velocity commands (one a frame on the stroke) the copy
    // keeps the last the simulator accepted before each change of
    // "Catapult_State" (the end speed of that launch) and the last of the
    // run, and every refused one; of its command events, the first.
    static const std::string range_name = "ILS Slant Range";
    std::string last_velocity_command;  // held back until the next state change or the end
    bool stroke_key_kept = false;        // the copy has this stroke's first catapult command event
    host.timeline().copy_to(&summary_timeline, [&](std::string_view kind, std::string_view line) {
        if (host::story_wants_range(kind, line))
            host::record_range(summary_timeline, host.timeline().time(), host.timeline().frame(),
                               host.named_variable(range_name));
        bool keep = summary_keeps(kind, line);  // a refused command is kept as it comes
        if (is_velocity_command(kind, line)) {
            if (!keep) last_velocity_command.assign(line);
        } else if (kind == "key" && line.find("\"id\":\"0x11103\"") != std::string_view::npos) {
            // The stroke's command event comes every frame: the first of each stroke tells it.
            keep = !stroke_key_kept;
            stroke_key_kept = true;
        } else if (kind == "lvar" && name_before_value(line) == "Catapult_State") {
            stroke_key_kept = false;
            if (!last_velocity_command.empty()) {
                summary_timeline.add_line("simconnect", last_velocity_command);
                last_velocity_command.clear();
            }
        }
        return keep;
    });
    const std::vector<double> samples = host::sample_times(scenario->end_time);
    size_t next_sample = 0;
    for (const std::string& skipped : scenario->panel_skipped) std::printf("%s\n", skipped.c_str());
    if (!quiet) {
        std::printf("Running %s (%.1f s simulated)\n", scenario_path.c_str(), scenario->end_time);
        std::fflush(stdout);
    }
    host::RunProgress progress(scenario->end_time, stderr, isatty(fileno(stderr)) != 0);
    const auto result = host::run_scenario(*scenario, host, [&](double t) {
        for (; next_sample < samples.size() && samples[next_sample] <= t + 1e-9; ++next_sample)
            add_named_sample(summary_timeline, host, samples[next_sample], host.frame());
        progress.update(t);
    });
    progress.done();
    if (!result.interrupted)
        for (; next_sample < samples.size(); ++next_sample)
            add_named_sample(summary_timeline, host, samples[next_sample], host.frame());
    host.timeline().copy_to(nullptr, nullptr);
    if (!last_velocity_command.empty()) summary_timeline.add_line("simconnect", last_velocity_command);
    if (!host.timeline().close(&error)) {
        std::fprintf(stderr, "carrier-bench: %s\n", error.c_str());
        return 2;
    }
    if (result.interrupted) {
        // The timeline and the CSV end with the last whole frame; no summary,
        // story, audio or plot claims a run that did not finish.
        if (debrief_files && !debrief->close_csv(&error)) std::fprintf(stderr, "carrier-bench: debrief: %s\n", error.c_str());
        std::fprintf(stderr, "carrier-bench: %s; the timeline %s ends there\n", result.error.c_str(), timeline_path.c_str());
        return 128 + result.interrupted;
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
    input.timeline = &summary_timeline;
    input.timeline_events = host.timeline().event_count();
    input.timeline_counts = host.timeline().counts();
    for (const host::ScenarioEvent& e : scenario->events)
        if (!e.fired) input.never_fired.push_back(&e);
    input.failures = result.failures;
    input.calculator_failures = host.calculator_failures();
    const std::string summary = host::format_summary(input) + catapult_summary(summary_timeline);
    judge->finish(host);
    const std::vector<host::ExpectationResult> judged =
        host::judge_expectations(scenario->expectations, summary_timeline, scenario->sim_root, scenario->end_time,
                                 &judge->passes());
    std::vector<host::StoryLine> story_lines = host::story_lines(summary_timeline);
    host::add_pass_story(judge->passes(), &story_lines);
    // The first reason no carrier was selected is also the plot's, when it has no approach.
    std::string no_carrier_cause;
    for (host::StoryLine& reason : host::run_reasons(summary_timeline, scenario->sim_root, host::boats_seen(host),
                                                     scenario->end_time)) {
        if (reason.no_carrier && no_carrier_cause.empty()) no_carrier_cause = reason.text;
        story_lines.push_back(std::move(reason));
    }
    std::stable_sort(story_lines.begin(), story_lines.end(),
                     [](const host::StoryLine& a, const host::StoryLine& b) { return a.t < b.t; });
    const std::string story = host::format_story(story_lines) + host::format_expectations(judged);
    // The run's files first, then standard output: a reader of standard
    // output that goes away (`| head`) costs nothing of the run directory.
    if (!write_text(summary_path, summary.substr(1)) || !write_text(story_path, story) ||
        !write_text(expectations_path, host::expectations_json(scenario->name, judged)))
        return 2;
    if (options.sound_library) {
        // Silent, of the run's length, when nothing played.
        if (!host.sound().write_track(audio_path, host.sim_time(), &error)) {
            std::fprintf(stderr, "carrier-bench: %s\n", error.c_str());
            return 2;
        }
    }
    std::vector<std::string> pass_files;
    if (!host::write_pass_files(judge->passes(), judge->config(), scenario->name, run_dir,
                                &pass_files, &error)) {
        std::fprintf(stderr, "carrier-bench: trap sheet: %s\n", error.c_str());
        return 1;
    }
    std::string debrief_error;
    bool debrief_ok = !debrief_files || debrief->finish(host, &debrief_error, no_carrier_cause);
    // The deck from above and the page are written with the other files,
    // before anything is printed; the page is made from the files just
    // written and nothing above depends on it.
    const std::string& dir = run_dir;
    bool deck_written = false;
    if (debrief_files && debrief_ok) {
        deck_written = host::write_deck_picture(host, *deck_track, scenario->sim_root, dir, scenario->name, &debrief_error);
        if (!deck_written && deck_track->have_deck()) {
            debrief_error = "deck picture: " + debrief_error;
            debrief_ok = false;
        } else if (!host::write_debrief_page(dir, &debrief_error)) {
            debrief_error = "debrief page: " + debrief_error;
            debrief_ok = false;
        }
    }
    // The whole summary on standard output only with --verbose; the story always.
    if (verbose) std::fputs(summary.c_str(), stdout);
    else std::fputs(summary.substr(0, summary.find('\n', 1) + 1).c_str(), stdout);  // the "Scenario ..." line
    std::printf("\n%s", story.c_str());
    std::printf("Summary -> %s\nStory -> %s\n", summary_path.c_str(), story_path.c_str());
    if (options.sound_library) std::printf("Audio track -> %s\n", audio_path.c_str());
    if (!debrief_ok) {
        std::fprintf(stderr, "carrier-bench: debrief: %s\n", debrief_error.c_str());
        return 1;
    }
    if (debrief_files) {
        std::printf("Debrief -> %s (%lld rows), %s, %s\n", debrief->csv_path().c_str(),
                    static_cast<long long>(debrief->rows()), debrief->png_path().c_str(), debrief->svg_path().c_str());
        if (deck_written) std::printf("Deck picture -> %s/deck.png, deck.svg\n", dir.c_str());
        std::printf("Debrief page -> %s/debrief.html\n", dir.c_str());
    }
    std::printf("Trap sheet -> %s (%zu passes)\n", pass_files.front().c_str(), judge->passes().size());
    for (const std::string& f : result.failures) std::fprintf(stderr, "carrier-bench: %s\n", f.c_str());
    if (!host::all_met(judged)) {
        std::fprintf(stderr, "carrier-bench: %s: expectations not met\n", scenario_path.c_str());
        return 3;
    }
    if (!lint_ok) std::fprintf(stderr, "carrier-bench: %s: the lint of the simulator root fails%s\n", scenario_path.c_str(),
                               strict ? " (--strict)" : "");
    return result.failures.empty() && lint_ok ? 0 : 1;
}

}  // namespace

int greenie(const std::vector<std::string>& dirs, const std::string& png)
{
    std::string error;
    const auto board = host::gather_greenie(dirs, &error);
    if (!board) {
        std::fprintf(stderr, "carrier-bench: %s\n", error.c_str());
        return 2;
    }
    std::fputs(host::greenie_text(*board).c_str(), stdout);
    if (!host::draw_greenie(*board, png, &error)) {
        std::fprintf(stderr, "carrier-bench: %s\n", error.c_str());
        return 2;
    }
    std::printf("Greenie board -> %s\n", png.c_str());
    return 0;
}

int bench_main(int argc, char** argv);

// Whatever escapes the bench's own code is reported, never an abort.
int main(int argc, char** argv)
{
    try {
        return bench_main(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "carrier-bench: internal error: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "carrier-bench: internal error\n");
    }
    return 1;
}

int bench_main(int argc, char** argv)
{
    // A reader of standard output that goes away is no reason to die: the
    // write fails (EPIPE) and the run's files are written all the same.
    std::signal(SIGPIPE, SIG_IGN);
    CLI::App app{"carrier-bench: runs the carrier operations module in an emulated host"};
    app.require_subcommand(0, 1);
    std::string module_path = default_module_path();
    app.add_option("--module", module_path, "the gauge module to load")->capture_default_str();

    std::string scenario_path;
    std::string out_dir = "runs/latest";
    bool quiet = false;
    RecordingOptions recording;
    CLI::App* run_cmd = app.add_subcommand("run", "run a scenario and write DIR/timeline.jsonl, DIR/summary.txt and DIR/audio.wav");
    run_cmd->add_option("scenario", scenario_path, "scenario file (XML run script)")->required();
    run_cmd->add_option("--out", out_dir, "run directory for the timeline")->capture_default_str();
    run_cmd->add_flag("--quiet", quiet, "do not echo the module's standard error");
    bool verbose = false;
    run_cmd->add_flag("--verbose", verbose,
                      "print the whole summary (every event, the approach picture, the named variables) before the story");
    run_cmd->add_flag("--record-frames", recording.frames, "record every per-frame SimConnect message on the timeline");
    run_cmd->add_option("--named-interval", recording.named_interval,
                        "record each named variable at most once per SECONDS (0: on every change)")
        ->check(finite_range(0.0, 86400.0, "a number of seconds"));
    run_cmd->add_option("--named-deadband", recording.named_deadband,
                        "record a named variable only when it moved by more than VALUE (0: on every change)")
        ->check(finite_range(0.0, 1e15, "a number"));
    double snapshot_every = 0.0;
    run_cmd->add_option("--snapshot-every", snapshot_every, "also write PNG snapshots of the panel every N simulated seconds")
        ->check(finite_range(0.0, 1e6, "a number of seconds"));
    bool no_debrief = false;
    run_cmd->add_flag("--no-debrief", no_debrief, "write no approach.csv, approach.png, approach.svg, deck.png, deck.svg and debrief.html");
    std::string grading_path;
    run_cmd->add_option("--grading", grading_path, "the grading file of the judge of passes (default: scenarios/decks/grading.xml)");

    std::vector<std::string> greenie_dirs;
    std::string greenie_png = "greenie.png";
    CLI::App* greenie_cmd = app.add_subcommand("greenie", "the greenie board of the passes of several runs (text and PNG)");
    greenie_cmd->add_option("rundir", greenie_dirs, "run directories, or directories of runs")->required();
    greenie_cmd->add_option("--png", greenie_png, "where the board's picture goes")->capture_default_str();
    bool run_strict = false;
    run_cmd->add_flag("--strict", run_strict, "fail the run (exit status 1) when the lint of its root gives warnings");

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
    std::vector<std::string> lint_decks;
    lint_cmd->add_option("--deck", lint_decks,
                         "TITLE=MODEL: check the offsets of the carrier whose Sim_Name is TITLE on deck MODEL (a "
                         "bundled class such as nimitz, or a deck file); repeatable");

    bool markdown = false;
    CLI::App* vars_cmd = app.add_subcommand("vars", "list the simulator variables, units and key events the bench knows");
    vars_cmd->add_flag("--markdown", markdown, "as Markdown (the text of docs/variables.md)");

    host::TestOptions test_options;
    test_options.jobs = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    test_options.out_dir = "runs/test";
    CLI::App* test_cmd = app.add_subcommand("test", "run every scenario of the folders and files given and judge their expectations");
    test_cmd->add_option("paths", test_options.paths, "scenario files and folders (searched recursively)")->required();
    test_cmd->add_option("-j,--jobs", test_options.jobs, "scenarios run at once (default: the machine's cores)")
        ->check(CLI::Range(1, 256));
    test_cmd->add_option("--junit", test_options.junit_path, "also write the verdicts as JUnit XML into FILE");
    test_cmd->add_option("--out", test_options.out_dir, "the scenarios' run directories go under DIR")->capture_default_str();

    host::SweepOptions sweep;
    CLI::App* sweep_cmd = app.add_subcommand(
        "sweep", "run every variation of a sweep file and write results.csv, summary.txt and plots (docs/sweeps.md)");
    sweep_cmd->add_option("sweep", sweep.sweep_path, "sweep file (XML)");
    sweep_cmd->add_option("--out", sweep.out_dir, "the sweep's directory (default: runs/sweeps/<the file's name>)");
    sweep_cmd->add_option("-j,--jobs", sweep.jobs, "runs at a time (default: the cores)")->check(CLI::Range(1, 1024));
    sweep_cmd->add_flag("--plan", sweep.plan, "write DIR/jobs.txt, one self-contained command per run, and run nothing");
    sweep_cmd->add_option("--collect", sweep.collect_dir, "write results.csv, summary.txt and the plots of DIR's results");
    sweep_cmd->add_option("--run-one", sweep.run_one, "fly run N of the sweep only (a line of the plan)")
        ->check(CLI::Range(int64_t{0}, static_cast<int64_t>(host::SWEEP_MAX_RUNS)));
    sweep_cmd->add_flag("--quiet", sweep.quiet, "no progress line and no summary on standard output");

    CLI11_PARSE(app, argc, argv);

    if (*test_cmd) {
        test_options.module_path = module_path;
        std::error_code ec;
        test_options.bench_path = fs::read_symlink("/proc/self/exe", ec).string();
        if (ec) test_options.bench_path = argv[0];
        return host::run_tests(test_options);
    }
    if (*sweep_cmd) {
        sweep.module_path = module_path;
        sweep.bench_path = executable_dir() + "/carrier-bench";
        return host::sweep_command(sweep);
    }

    if (*check_cmd) return check(check_path, module_path, strict);
    if (*lint_cmd) return lint(lint_root, strict, lint_decks);
    if (*vars_cmd) {
        std::fputs(host::vars_listing(markdown ? host::ListingFormat::Markdown : host::ListingFormat::Text).c_str(), stdout);
        return 0;
    }
    if (*greenie_cmd) return greenie(greenie_dirs, greenie_png);
    if (*run_cmd)
        return run(scenario_path, out_dir, module_path, quiet, verbose, recording, snapshot_every, !no_debrief,
                   grading_path, run_strict);
    std::printf("No scenario given: running the bundled %s into %s\n", default_scenario_path().c_str(),
                default_run_dir().c_str());
    return run(default_scenario_path(), default_run_dir(), module_path, quiet, verbose, recording, snapshot_every);
}
