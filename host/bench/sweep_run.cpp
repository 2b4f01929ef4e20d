// One lean run of a sweep and its result file (see sweep_run.h).
#include "host/bench/sweep_run.h"

#include <tinyxml.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>

#include <nlohmann/json.hpp>

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

double number_of(const nlohmann::json& j, const char* key)
{
    auto it = j.find(key);
    return it != j.end() && it->is_number() ? it->get<double>() : NAN;
}

// What a run's result needs, read off the timeline's lines as they are made
// (nothing is kept) and off the named variables once a frame.
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
            const auto j = nlohmann::json::parse(line, nullptr, false);
            const std::string text = j.is_object() ? j.value("text", "") : "";
            if (text.rfind("LSO", 0) == 0 && landing_open()) {
                std::string call = text.substr(text.find(':') == std::string::npos ? 3 : text.find(':') + 1);
                while (!call.empty() && call.front() == ' ') call.erase(0, 1);
                r_.calls += (r_.calls.empty() ? "" : "; ") + call;
            }
        } else if (kind == "key") {
            if (line.find("\"id\":\"0x11104\"") != std::string_view::npos &&
                line.find("\"source\":\"module\"") != std::string_view::npos && std::isnan(call_the_ball_))
                call_the_ball_ = t;
        } else if (kind == "lvar") {
            if (line.find("\"name\":\"WaveOffLight\",\"value\":1") != std::string_view::npos && landing_open())
                r_.wave_off_lights = true;
            if (line.find("\"name\":\"Catapult_State\"") != std::string_view::npos && !std::isnan(last_command_)) {
                r_.end_speed_mps = last_command_;
                last_command_ = NAN;
            }
        } else if (kind == "simconnect") {
            if (line.find("SimConnect_SetDataOnSimObject") != std::string_view::npos &&
                line.find("\"define\":3,") != std::string_view::npos) {
                const auto j = nlohmann::json::parse(line, nullptr, false);
                if (j.is_object() && j.contains("args") && j["args"].contains("values") && !j["args"]["values"].empty() &&
                    j["args"]["values"][0].is_number())
                    last_command_ = j["args"]["values"][0].get<double>();
            }
        }
        return false;
    }

    void finish()
    {
        if (std::isnan(r_.end_speed_mps)) r_.end_speed_mps = last_command_;
        if (r_.outcome.empty()) r_.outcome = "no landing";
    }

private:
    // Until the first approach ends, what happens belongs to it.
    bool landing_open() const { return r_.outcome.empty(); }

    void flight(const nlohmann::json& j, double t)
    {
        if (!j.is_object()) return;
        const std::string what = j.value("what", "");
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
    // Each named variable is recorded once: the result reads them from the panel.
    options.named_record_interval = 1e9;
    {
        Host host(options);
        if (!host.timeline().open_file("/dev/null", &error)) return failed(error);
        host.sound().set_lengths_only(true);  // no audio track: the sounds' lengths are enough
        auto watch = std::make_shared<ResultWatch>(r);
        host.add_frame_observer(watch);
        Timeline nowhere;
        host.timeline().copy_to(&nowhere, [&](std::string_view kind, std::string_view line) {
            return watch->line(kind, line, host.timeline().time());
        });
        const RunResult run = run_scenario(*scenario, host);
        host.timeline().copy_to(nullptr, nullptr);
        watch->finish();
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

double read_number(const nlohmann::json& j, const char* key)
{
    auto it = j.find(key);
    return it != j.end() && it->is_number() ? it->get<double>() : NAN;
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
    FILE* file = std::fopen(path.c_str(), "r");
    if (!file) {
        *error = path + ":1: cannot open the result file";
        return std::nullopt;
    }
    std::string text;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0 && text.size() < (1u << 20);) text.append(buffer, n);
    std::fclose(file);
    const auto j = nlohmann::json::parse(text, nullptr, false);
    auto bad = [&](const std::string& what) {
        *error = path + ":1: " + what;
        return std::nullopt;
    };
    if (!j.is_object()) return bad("not a result file (no JSON object)");
    const double index = read_number(j, "index");
    if (!(index >= 0 && index < static_cast<double>(SWEEP_MAX_RUNS) && index == std::floor(index)))
        return bad("no run index");
    SweepRunResult r;
    r.index = static_cast<uint64_t>(index);
    r.sweep = j.value("sweep", "");
    auto params = j.find("parameters");
    if (params == j.end() || !params->is_array()) return bad("no parameters");
    for (const auto& p : *params) {
        if (!p.is_object() || !p.contains("name") || !p["name"].is_string()) return bad("a parameter without a name");
        r.names.push_back(p["name"].get<std::string>());
        r.values.push_back(read_number(p, "value"));
    }
    r.outcome = j.value("outcome", "");
    if (r.outcome.empty()) return bad("no outcome");
    const double wire = read_number(j, "wire");
    r.wire = wire >= 0 && wire <= 9 ? static_cast<int>(wire) : 0;
    r.wave_off_lights = j.value("wave_off_lights", false);
    r.groove_s = read_number(j, "groove_s");
    r.lockon_s = read_number(j, "lockon_s");
    r.touchdown_sink_mps = read_number(j, "touchdown_sink_mps");
    r.engage_kt = read_number(j, "engage_kt");
    r.end_speed_mps = read_number(j, "end_speed_mps");
    r.calls = j.value("calls", "");
    r.reason = j.value("reason", "");
    const double cpu = read_number(j, "cpu_s");
    r.cpu_s = std::isfinite(cpu) ? cpu : 0.0;
    return r;
}

}  // namespace host
