// One lean run of a sweep and its result file (see sweep_run.h).
#include "host/bench/sweep_run.h"

#include <tinyxml.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>

#include <nlohmann/json.hpp>

#include "host/record/json_fields.h"
#include "host/scenario/scenario.h"

namespace fs = std::filesystem;

namespace host {
namespace {

double cpu_seconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// What a run's result needs, read off the timeline's lines as they are made
// (nothing is kept), off the catapult's velocity commands as the SimConnect
// server takes them, and off the named variables once a frame. The lines
// looked at are few (the module's per-frame SimConnect calls are not written
// in a lean run); only the rare ones (flight events, screen texts) are parsed.
class ResultWatch : public FrameObserver {
public:
    explicit ResultWatch(SweepRunResult& result) : r_(result) {}

    void frame_done(Host& host) override
    {
        static const std::string tcn_valid = "TCN Valid";
        if (std::isnan(r_.lockon_s) && host.named_variable(tcn_valid) != 0.0) r_.lockon_s = host.sim_time();
    }

    // The timeline's copy filter: reads the line, keeps nothing.
    bool line(std::string_view kind, std::string_view line, double t)
    {
        if (kind == "flight") {
            flight(nlohmann::json::parse(line, nullptr, false), t);
        } else if (kind == "text") {
            if (!landing_open()) return false;
            const auto j = nlohmann::json::parse(line, nullptr, false);
            const std::string text = j.is_object() ? text_of(j, "text") : "";
            if (text.rfind("LSO", 0) == 0) {
                std::string call = text.substr(text.find(':') == std::string::npos ? 3 : text.find(':') + 1);
                while (!call.empty() && call.front() == ' ') call.erase(0, 1);
                r_.calls += (r_.calls.empty() ? "" : "; ") + call;
            }
        } else if (kind == "key") {
            if (std::isnan(call_the_ball_) && line.find("\"id\":\"0x11104\"") != std::string_view::npos &&
                line.find("\"source\":\"module\"") != std::string_view::npos)
                call_the_ball_ = t;
        } else if (kind == "lvar") {
            if (landing_open() && line.find("\"name\":\"WaveOffLight\",\"value\":1") != std::string_view::npos)
                r_.wave_off_lights = true;
            if (!std::isnan(last_command_) && line.find("\"name\":\"Catapult_State\"") != std::string_view::npos) {
                r_.end_speed_mps = last_command_;
                last_command_ = NAN;
            }
        }
        return false;
    }

    // Every record the SimConnect server takes: definition 3 is the
    // catapult's velocity command.
    void data_set(DWORD define_id, const std::vector<double>& values)
    {
        if (define_id == CATAPULT_DEFINITION && !values.empty()) last_command_ = values.front();
    }

    void finish()
    {
        if (std::isnan(r_.end_speed_mps)) r_.end_speed_mps = last_command_;
        if (r_.outcome.empty()) r_.outcome = "no landing";
    }

private:
    static constexpr DWORD CATAPULT_DEFINITION = 3;

    // Until the first approach ends, what happens belongs to it.
    bool landing_open() const { return r_.outcome.empty(); }

    void flight(const nlohmann::json& j, double t)
    {
        if (!j.is_object()) return;
        const std::string what = text_of(j, "what");
        if (what == "in the sea") {
            r_.outcome = "ditching";  // whatever came before
            return;
        }
        if (!landing_open()) return;
        if (what == "touchdown") {
            r_.touchdown_sink_mps = number_of(j, "sink_mps");
            groove_end(t);
        } else if (what == "wire") {
            r_.outcome = "trap";
            const double wire = number_of(j, "wire");
            r_.wire = wire >= 1 && wire <= 9 ? static_cast<int>(wire) : 0;
            r_.engage_kt = number_of(j, "engage_speed_mps") * 1.943844492;
        } else if (what == "bolter") {
            r_.outcome = "bolter";
        } else if (what == "go around") {
            r_.outcome = "wave-off";
            groove_end(t);
        }
    }

    void groove_end(double t)
    {
        if (std::isnan(r_.groove_s) && !std::isnan(call_the_ball_)) r_.groove_s = t - call_the_ball_;
    }

    SweepRunResult& r_;
    double call_the_ball_ = NAN;
    double last_command_ = NAN;  // the latest catapult velocity command
};

SweepRunResult start_result(const SweepFile& sweep, uint64_t index)
{
    SweepRunResult r;
    r.index = index;
    r.sweep = sweep.name;
    const Variation v = variation_of(sweep, index);
    for (size_t i = 0; i < sweep.parameters.size(); ++i) {
        r.names.push_back(sweep.parameters[i].name);
        r.values.push_back(v.values[i]);
    }
    return r;
}

SweepRunResult fly(const SweepBase& base, uint64_t index, const std::string& module_path, const std::string& scratch_dir)
{
    const double cpu_start = cpu_seconds();
    SweepRunResult r = start_result(base.sweep, index);
    const Variation v = variation_of(base.sweep, index);
    auto failed = [&](const std::string& reason) {
        r.outcome = "failed";
        r.reason = reason;
        r.cpu_s = cpu_seconds() - cpu_start;
        return r;
    };
    TiXmlDocument doc(*base.document);
    std::string error;
    if (!apply_to_scenario(base.sweep, v, doc, &error)) return failed(error);
    std::string scratch_root;
    if (changes_configuration(base.sweep)) {
        scratch_root = (fs::path(scratch_dir) / ("root_" + std::to_string(index))).string();
        if (!make_config_root(base.sweep, v, base.sim_root, scratch_root, &error)) return failed(error);
        if (TiXmlElement* sim = doc.RootElement()->FirstChildElement("simulator"))
            sim->SetAttribute("root", scratch_root.c_str());
    }
    auto scenario = load_scenario_document(doc, base.sweep.scenario_path, &error);
    if (!scenario) return failed(error);

    HostOptions options = host_options_for(*scenario, module_path);
    options.echo_stderr = false;
    options.module_handle = base.module;
    // Each named variable is recorded once: the result reads them from the panel.
    options.named_record_interval = 1e9;
    {
        Host host(options);
        if (!host.timeline().open_file("/dev/null", &error)) return failed(error);
        host.sound().set_lengths_only(true);  // no audio track: the sounds' lengths are enough
        auto watch = std::make_shared<ResultWatch>(r);
        host.add_frame_observer(watch);
        // The bench's own officer grades every pass, as in a full run.
        auto judge = std::make_shared<PassJudge>(base.grading);
        host.add_frame_observer(judge);
        // The module's per-frame SetDataOnSimObject calls are the bulk of a
        // timeline: not written; the catapult's commands are read as taken.
        host.simconnect().set_quiet_data_sets(true);
        host.simconnect().set_data_set_watch(
            [&](DWORD define_id, DWORD, const std::vector<double>& values) { watch->data_set(define_id, values); });
        Timeline nowhere;
        host.timeline().copy_to(&nowhere, [&](std::string_view kind, std::string_view line) {
            return watch->line(kind, line, host.timeline().time());
        });
        const RunResult run = run_scenario(*scenario, host);
        host.timeline().copy_to(nullptr, nullptr);
        host.simconnect().set_data_set_watch(nullptr);
        watch->finish();
        judge->finish(host);
        for (const Pass& p : judge->passes()) r.passes.push_back({p.grade, p.points});
        if (!run.completed) {
            const std::string why = run.error;
            std::error_code ec;
            if (!scratch_root.empty()) fs::remove_all(scratch_root, ec);
            return failed(why.empty() ? "the run did not reach its end" : why);
        }
        if (!run.failures.empty()) {
            r.reason = run.failures.front();
            r.outcome = "failed";
        }
    }
    std::error_code ec;
    if (!scratch_root.empty()) fs::remove_all(scratch_root, ec);
    r.cpu_s = cpu_seconds() - cpu_start;
    return r;
}

nlohmann::json number_or_null(double v) { return std::isfinite(v) ? nlohmann::json(v) : nlohmann::json(nullptr); }

// The fields of a result file, read strictly: a field of the wrong kind is
// an error (`what` names it), a missing optional field its default.
class FieldReader {
public:
    explicit FieldReader(const nlohmann::json& j) : j_(j) {}
    const std::string& what() const { return what_; }

    // A number, or NaN when null or (optional) missing.
    double number(const char* key, bool required = false)
    {
        auto it = j_.find(key);
        if (it == j_.end() || it->is_null()) {
            if (required) fail(std::string("no \"") + key + "\"");
            return NAN;
        }
        if (!it->is_number()) fail(std::string("\"") + key + "\" is not a number");
        return it->is_number() ? it->get<double>() : NAN;
    }
    std::string text(const char* key, bool required = false)
    {
        auto it = j_.find(key);
        if (it == j_.end()) {
            if (required) fail(std::string("no \"") + key + "\"");
            return {};
        }
        if (!it->is_string()) {
            fail(std::string("\"") + key + "\" is not a text");
            return {};
        }
        return it->get<std::string>();
    }
    bool flag(const char* key)
    {
        auto it = j_.find(key);
        if (it == j_.end()) return false;
        if (!it->is_boolean()) fail(std::string("\"") + key + "\" is not true or false");
        return it->is_boolean() && it->get<bool>();
    }
    void fail(const std::string& what)
    {
        if (what_.empty()) what_ = what;
    }

private:
    const nlohmann::json& j_;
    std::string what_;
};

// The line of byte `offset` in `text` (from 1).
size_t line_of(const std::string& text, size_t offset)
{
    offset = std::min(offset, text.size());
    return 1 + static_cast<size_t>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(offset), '\n'));
}

std::optional<SweepRunResult> parse_result(const std::string& path, const std::string& text, std::string* error)
{
    auto bad = [&](size_t line, const std::string& what) {
        *error = path + ":" + std::to_string(line) + ": " + what;
        return std::nullopt;
    };
    nlohmann::json j;
    try {
        j = nlohmann::json::parse(text);
    } catch (const nlohmann::json::parse_error& e) {
        // The parser's byte counts from 1 at the first byte read.
        const size_t at = e.byte > 0 ? e.byte - 1 : 0;
        return bad(line_of(text, at), text.find_first_not_of(" \t\r\n") == std::string::npos
                                          ? "empty: not a result file"
                                          : at >= text.size() ? "cut short: not a whole result file"
                                                              : "not a result file (not JSON)");
    }
    if (!j.is_object()) return bad(1, "not a result file (no JSON object)");
    FieldReader field(j);
    SweepRunResult r;
    const double index = field.number("index", true);
    if (!field.what().empty()) return bad(1, field.what());
    if (!(index >= 0 && index < static_cast<double>(SWEEP_MAX_RUNS) && index == std::floor(index)))
        return bad(1, "the run index " + value_text(index) + " is not a run's");
    r.index = static_cast<uint64_t>(index);
    r.sweep = field.text("sweep");
    auto params = j.find("parameters");
    if (params == j.end() || !params->is_array()) return bad(1, "no parameters");
    for (const auto& p : *params) {
        if (!p.is_object() || !p.contains("name") || !p["name"].is_string()) return bad(1, "a parameter without a name");
        r.names.push_back(p["name"].get<std::string>());
        FieldReader value(p);
        r.values.push_back(value.number("value"));
        if (!value.what().empty()) return bad(1, "parameter " + r.names.back() + ": " + value.what());
    }
    r.outcome = field.text("outcome", true);
    if (field.what().empty() && r.outcome.empty()) field.fail("no outcome");
    const double wire = field.number("wire");
    r.wire = wire >= 0 && wire <= 9 ? static_cast<int>(wire) : 0;
    r.wave_off_lights = field.flag("wave_off_lights");
    r.groove_s = field.number("groove_s");
    r.lockon_s = field.number("lockon_s");
    r.touchdown_sink_mps = field.number("touchdown_sink_mps");
    r.engage_kt = field.number("engage_kt");
    r.end_speed_mps = field.number("end_speed_mps");
    r.calls = field.text("calls");
    r.reason = field.text("reason");
    const double cpu = field.number("cpu_s");
    r.cpu_s = std::isfinite(cpu) ? cpu : 0.0;
    if (auto passes = j.find("passes"); passes != j.end()) {
        if (!passes->is_array()) field.fail("\"passes\" is not a list");
        else
            for (const auto& p : *passes) {
                const std::string grade = p.is_object() ? FieldReader(p).text("grade") : std::string();
                if (grade_rank(grade) < 0) {
                    field.fail("a pass without a grade");
                    break;
                }
                r.passes.push_back({grade, grade_points(grade)});
            }
    }
    if (!field.what().empty()) return bad(1, field.what());
    return r;
}

}  // namespace

SweepRunResult failed_result(const SweepFile& sweep, uint64_t index, const std::string& reason)
{
    SweepRunResult r = start_result(sweep, index);
    r.outcome = "failed";
    r.reason = reason;
    return r;
}

SweepRunResult run_variation(const SweepBase& base, uint64_t index, const std::string& module_path,
                             const std::string& scratch_dir)
{
    try {
        return fly(base, index, module_path, scratch_dir);
    } catch (const std::exception& e) {
        return failed_result(base.sweep, index, std::string("internal error: ") + e.what());
    } catch (...) {
        return failed_result(base.sweep, index, "internal error");
    }
}

std::string result_path(const std::string& out_dir, uint64_t index)
{
    char name[48];
    std::snprintf(name, sizeof name, "run_%06llu.json", static_cast<unsigned long long>(index));
    return (fs::path(out_dir) / "results" / name).string();
}

bool write_result(const SweepRunResult& r, const std::string& path, std::string* error)
{
    nlohmann::json j;
    j["index"] = r.index;
    j["sweep"] = r.sweep;
    nlohmann::json params = nlohmann::json::array();
    for (size_t i = 0; i < r.names.size(); ++i) params.push_back({{"name", r.names[i]}, {"value", r.values[i]}});
    j["parameters"] = params;
    j["outcome"] = r.outcome;
    j["wire"] = r.wire;
    j["wave_off_lights"] = r.wave_off_lights;
    j["groove_s"] = number_or_null(r.groove_s);
    j["lockon_s"] = number_or_null(r.lockon_s);
    j["touchdown_sink_mps"] = number_or_null(r.touchdown_sink_mps);
    j["engage_kt"] = number_or_null(r.engage_kt);
    j["end_speed_mps"] = number_or_null(r.end_speed_mps);
    j["calls"] = r.calls;
    nlohmann::json passes = nlohmann::json::array();
    for (const SweepPass& p : r.passes) passes.push_back({{"grade", p.grade}, {"points", p.points}});
    j["passes"] = passes;
    j["reason"] = r.reason;
    j["cpu_s"] = r.cpu_s;
    std::error_code ec;
    fs::create_directories(fs::path(path).parent_path(), ec);
    const std::string temporary = path + ".tmp" + std::to_string(getpid());
    FILE* file = std::fopen(temporary.c_str(), "w");
    const std::string text = j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    if (!file || std::fputs(text.c_str(), file) < 0 || std::fclose(file) != 0) {
        *error = "cannot write " + temporary;
        return false;
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        *error = "cannot rename " + temporary + " to " + path;
        return false;
    }
    return true;
}

std::optional<SweepRunResult> read_result(const std::string& path, std::string* error)
{
    try {
        FILE* file = std::fopen(path.c_str(), "r");
        if (!file) {
            *error = path + ":1: cannot open the result file";
            return std::nullopt;
        }
        std::string text;
        char buffer[4096];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0 && text.size() < (1u << 20);)
            text.append(buffer, n);
        const bool failed = std::ferror(file) != 0;
        std::fclose(file);
        if (failed) {
            *error = path + ":1: cannot read the result file";
            return std::nullopt;
        }
        if (text.size() >= (1u << 20)) {
            *error = path + ":1: not a result file (larger than 1 MiB)";
            return std::nullopt;
        }
        return parse_result(path, text, error);
    } catch (const std::exception& e) {
        *error = path + ":1: " + e.what();
        return std::nullopt;
    }
}

int64_t result_index_of(const std::string& path)
{
    const std::string name = fs::path(path).filename().string();
    if (name.size() < 10 || name.rfind("run_", 0) != 0 || name.substr(name.size() - 5) != ".json") return -1;
    const std::string digits = name.substr(4, name.size() - 9);
    if (digits.empty() || digits.size() > 7 || digits.find_first_not_of("0123456789") != std::string::npos) return -1;
    return std::stoll(digits);
}

double SweepRunResult::mean_points() const
{
    if (passes.empty()) return NAN;
    double sum = 0.0;
    for (const SweepPass& p : passes) sum += p.points;
    return sum / static_cast<double>(passes.size());
}

}  // namespace host
