// Reading, validating and running scenario files: the document and its
// elements, the scenario's options, and the run loop. The actions' parsers are
// in scenario_actions.cpp and scenario_flown.cpp.
//
// Index: [document] [running]
#include "host/scenario/scenario.h"
#include "host/scenario/scenario_reader.h"

#include <algorithm>

#include "host/scenario/track_replay.h"
#include "host/xml_document.h"
#include "host/scenario/panel_cfg.h"

#include "host/panel/gauge_panel.h"
#include "host/panel/panel_drawing.h"

namespace host {
namespace {

using namespace scenario_detail;


ScenarioAction parse_action(const Reader& r, const TiXmlElement* e, const BoatRefs& refs)
{
    const std::string kind0 = e->Value();
    if (kind0 == "click" || kind0 == "hover") return parse_mouse(r, e);
    if (kind0 == "snapshot") return parse_snapshot(r, e);
    const std::string kind = e->Value();
    if (kind == "deck") return parse_deck(r, e, refs);
    if (kind == "replay") return parse_replay(r, e, refs);
    if (auto flown_action = parse_flown_world_action(r, e, kind)) return std::move(*flown_action);
    if (kind == "set") return parse_set(r, e);
    if (kind == "aircraft") return parse_aircraft(r, e);
    if (kind == "boat") return parse_boat(r, e, refs);
    if (kind == "key") {
        r.only(e, {"event", "value"});
        const std::string event = r.text(e, "event");
        uint32_t id = 0;
        if (auto named = find_key_event(event)) {
            id = *named;
        } else {
            const bool numeric = !event.empty() && std::isdigit(static_cast<unsigned char>(event[0]));
            if (!numeric) r.fail(e, "unknown key event \"" + event + "\"");
            if (!Reader::parse_uint32(event, &id))
                r.fail(e, "key event \"" + event + "\" is not a number from 0 to 0xFFFFFFFF");
        }
        const char* raw = e->Attribute("value");
        if ((event == "NAV1_RADIO_SET" || event == "NAV2_RADIO_SET") && raw && std::strchr(raw, '.')) {
            // A frequency written in MHz: the key takes packed BCD of hundredths.
            const double mhz = std::atof(raw);
            const long hundredths = std::lround(mhz * 100.0);
            r.fail(e, "the value of " + event + " is BCD of the frequency's hundredths: " + raw + " MHz is 0x" +
                          (hundredths > 0 && hundredths < 100000 ? std::to_string(hundredths) : std::string("....")) +
                          ", not \"" + raw + "\"");
        }
        const uint32_t value = raw ? r.unsigned_number(e, "value") : 0;
        return {"key " + event, e->Row(), [=](Host& host, std::string*) {
                    host.trigger_key_event(id, value, "scenario");
                    return true;
                }};
    }
    if (kind == "lvar") {
        r.only(e, {"name", "unit", "value"});
        const std::string name = r.text(e, "name");
        const std::string unit = r.text(e, "unit", false, "number");
        if (!find_unit(unit)) r.fail(e, "unknown unit \"" + unit + "\"");
        const double value = r.required_number(e, "value");
        return {"lvar " + name, e->Row(), [=](Host& host, std::string*) {
                    host.set_panel_variable(name, unit, value, "scenario");
                    return true;
                }};
    }
    if (kind == "input") {
        r.only(e, {"definition", "value"});
        const std::string definition = r.text(e, "definition");
        const uint32_t value = e->Attribute("value") ? r.unsigned_number(e, "value") : 1;
        return {"input " + definition, e->Row(), [=](Host& host, std::string*) {
                    host.simconnect().press_input(definition, value);
                    return true;
                }};
    }
    if (kind == "system_event") {
        r.only(e, {"name"});
        const std::string name = r.text(e, "name");
        return {"system event " + name, e->Row(), [=](Host& host, std::string*) {
                    host.simconnect().fire_system_event(name);
                    return true;
                }};
    }
    if (kind == "fail") {
        r.only(e, {"call", "count"});
        const std::string call = r.text(e, "call");
        if (call.rfind("SimConnect_", 0) != 0) r.fail(e, "fail call names a SimConnect function, not \"" + call + "\"");
        const std::vector<std::string> known = SimConnectServer::call_names();
        if (std::find(known.begin(), known.end(), call) == known.end()) {
            const std::string near = nearest_name(call, known);
            r.fail(e, "no SimConnect function \"" + call + "\"" + (near.empty() ? "" : " (did you mean " + near + "?)"));
        }
        const double count = e->Attribute("count") ? r.required_number(e, "count", FAIL_COUNT) : 1.0;
        if (count != std::floor(count)) r.fail(e, "count is a number of calls, or -1 for from now on");
        return {"fail " + call, e->Row(), [=](Host& host, std::string* error) {
                    if (host.simconnect().fail_call(call, static_cast<int>(count))) return true;
                    *error = "no SimConnect function \"" + call + "\" to fail";
                    return false;
                }};
    }
    if (kind == "container") {
        r.only(e, {"title"});
        const std::string title = r.text(e, "title");
        return {"container " + title, e->Row(), [=](Host& host, std::string*) {
                    host.world().add_known_title(title);
                    return true;
                }};
    }
    if (kind == "panel_lights") {
        r.only(e, {"on"});
        const auto on_flag = r.flag(e, "on");
        if (!on_flag) r.fail(e, "<panel_lights> needs the attribute \"on\"");
        const bool on = *on_flag;
        return {"panel lights", e->Row(), [=](Host& host, std::string*) {
                    host.set_panel_lights(on);
                    return true;
                }};
    }
    if (kind == "note") {
        r.only(e, {"text"});
        const std::string text = r.text(e, "text");
        return {"note", e->Row(), [=](Host& host, std::string*) {
                    host.timeline().add("note", {{"text", text}});
                    return true;
                }};
    }
    r.fail(e, "unknown action <" + kind + ">");
}

// [document] ------------------------------------------------------------------------
Scenario parse_document(const Reader& r, TiXmlDocument& doc)
{
    Scenario s;
    s.path = r.path();
    const TiXmlElement* root = doc.RootElement();
    if (!root || std::string(root->Value()) != "runscript") r.fail(root, "the top element must be <runscript>");
    r.only(root, {"name"});
    s.name = r.text(root, "name", false, std::filesystem::path(r.path()).stem().string());

    std::error_code base_ec;
    const std::filesystem::path base = std::filesystem::absolute(r.path(), base_ec).parent_path();
    if (base_ec) r.fail(root, "cannot find the scenario's folder: " + base_ec.message());
    const BoatRefs refs = std::make_shared<std::map<std::string, uint32_t>>();
    bool have_run = false;
    bool have_root = false;
    std::vector<const TiXmlElement*> expects;  // read once <run> gave the end time
    for (const TiXmlElement* e = root->FirstChildElement(); e; e = e->NextSiblingElement()) {
        const std::string kind = e->Value();
        if (kind == "description") {
            s.description = e->GetText() ? e->GetText() : "";
        } else if (kind == "simulator") {
            r.only(e, {"root", "local_time", "sim_start", "sound_library"});
            const std::string root_text = r.text(e, "root");
            if (root_text.empty()) r.fail(e, "the simulator root is empty; give the directory that holds Gauges/");
            const std::filesystem::path root_path = base / root_text;
            // File-system errors (a name too long, a symlink loop, no
            // permission) are errors of this line, not of the program.
            std::error_code ec;
            const bool is_dir = std::filesystem::is_directory(root_path, ec);
            if (ec == std::errc::no_such_file_or_directory)
                r.fail(e, "the simulator root " + root_path.string() + " does not exist");
            if (ec && ec != std::errc::not_a_directory)
                r.fail(e, "the simulator root " + root_path.string() + " cannot be reached: " + ec.message());
            if (!is_dir) r.fail(e, "the simulator root " + root_path.string() + " is not a directory");
            s.sim_root = std::filesystem::canonical(root_path, ec).string();
            if (ec) r.fail(e, "the simulator root " + root_path.string() + " cannot be resolved: " + ec.message());
            if (auto t = r.number(e, "local_time", SCENARIO_TIME)) s.local_time = *t;
            if (auto a = r.flag(e, "sim_start")) s.auto_sim_start = *a;
            if (auto a = r.flag(e, "sound_library")) s.sound_library = *a;
            have_root = true;
        } else if (kind == "panel") {
            r.only(e, {"file", "window"});
            if (e->Attribute("file")) {
                if (e->FirstChildElement()) r.fail(e, "a <panel file=...> takes its gauges from the file, not from <gauge>");
                const std::string cfg = (base / r.text(e, "file")).string();
                std::vector<PanelCfgGauge> gauges;
                std::string cfg_error;
                if (!read_panel_cfg(cfg, r.text(e, "window", false, "Window00"), &gauges, &cfg_error))
                    throw ParseError{cfg_error, e->Row(), true};
                for (const PanelCfgGauge& g : gauges) {
                    const std::string where = cfg + ":" + std::to_string(g.line) + ": ";
                    std::string module = g.module;
                    for (char& c : module) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                    if (module == PANEL_MODULE_NAME) s.panel.push_back({g.gauge, g.parameters, e->Row()});
                    else s.panel_skipped.push_back(where + g.key + "=" + g.module + "!" + g.gauge + ": another module's gauge, skipped");
                }
                continue;
            }
            for (const TiXmlElement* g = e->FirstChildElement(); g; g = g->NextSiblingElement()) {
                if (std::string(g->Value()) != "gauge") r.fail(g, "a <panel> holds only <gauge> elements");
                r.only(g, {"name", "parameters"});
                s.panel.push_back({r.text(g, "name"), r.text(g, "parameters", false, ""), g->Row()});
            }
        } else if (kind == "world") {
            r.only(e, {});
            for (const TiXmlElement* a = e->FirstChildElement(); a; a = a->NextSiblingElement())
                s.setup.push_back(parse_action(r, a, refs));
        } else if (kind == "run") {
            if (have_run) r.fail(e, "a scenario has one <run>");
            have_run = true;
            r.only(e, {"rate", "end", "dt"});
            if (auto rate = r.number(e, "rate")) s.frame_rate = *rate;
            if (auto dt = r.number(e, "dt")) {
                if (*dt <= 0) r.fail(e, "dt must be positive");
                s.frame_rate = 1.0 / *dt;
            }
            if (s.frame_rate <= 0 || s.frame_rate > 1000) r.fail(e, "rate must be between 0 and 1000 frames per second");
            s.end_time = r.required_number(e, "end", SCENARIO_TIME);
            for (const TiXmlElement* ev = e->FirstChildElement(); ev; ev = ev->NextSiblingElement()) {
                if (std::string(ev->Value()) != "event") r.fail(ev, "a <run> holds only <event> elements");
                r.only(ev, {"name", "time", "frame", "condition", "repeat"});
                ScenarioEvent event;
                event.name = r.text(ev, "name", false, "event at line " + std::to_string(ev->Row()));
                event.line = ev->Row();
                event.time = r.number(ev, "time", SCENARIO_TIME);
                if (auto frame = r.number(ev, "frame", FRAME_NUMBER)) {
                    if (event.time) r.fail(ev, "an event has a time or a frame, not both");
                    if (*frame != std::floor(*frame)) r.fail(ev, "frame is a whole number of frames");
                    event.time = *frame / s.frame_rate;
                    event.frame = *frame;
                }
                if (ev->Attribute("condition")) event.condition = ev->Attribute("condition");
                if (!event.time && !event.condition) r.fail(ev, "an event needs a time, a frame or a condition");
                event.repeat = r.flag(ev, "repeat").value_or(false);
                for (const TiXmlElement* a = ev->FirstChildElement(); a; a = a->NextSiblingElement())
                    event.actions.push_back(parse_action(r, a, refs));
                s.events.push_back(std::move(event));
            }
        } else if (kind == "expect") {
            expects.push_back(e);
        } else {
            r.fail(e, "unknown element <" + kind + ">");
        }
    }
    if (!have_root) r.fail(root, "the scenario names no <simulator root=\"...\">");
    if (!have_run) r.fail(root, "the scenario has no <run>");
    for (const TiXmlElement* e : expects) s.expectations.push_back(parse_expectation(r, e, s.end_time));
    if (!r.fixed_sites_named().empty()) {
        std::string unread;
        const std::vector<FixedSite> sites = read_fixed_sites(s.sim_root, &unread);
        for (const auto& [name, line] : r.fixed_sites_named()) {
            if (!unread.empty()) throw ParseError{"the fixed site \"" + name + "\" cannot be looked up: " + unread, line};
            bool known = false;
            for (const FixedSite& site : sites) known = known || site.name == name;
            if (!known)
                throw ParseError{"no fixed site \"" + name + "\" (CarrierType 2) in the carrier list " +
                                     (std::filesystem::path(s.sim_root) / "Gauges" / "ZEB_Carrier.xml").string(),
                                 line};
        }
    }
    return s;
}

}  // namespace

std::optional<Scenario> load_scenario(const std::string& path, std::string* error)
{
    // A file that cannot be read is an error of its first line.
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (ec || !std::filesystem::exists(status)) {
        *error = path + ":1: cannot open the scenario file: " + (ec ? ec.message() : "no such file");
        return std::nullopt;
    }
    if (std::filesystem::is_directory(status)) {
        *error = path + ":1: cannot open the scenario file: it is a directory";
        return std::nullopt;
    }
    TiXmlDocument doc(path.c_str());
    XmlLoadFailure failure;
    if (!load_xml_document(doc, &failure)) {
        *error = path + ":" + std::to_string(failure.line) + ": " +
                 (failure.cannot_open ? "cannot open the scenario file: " : "") + failure.what;
        return std::nullopt;
    }
    return load_scenario_document(doc, path, error);
}

std::optional<Scenario> load_scenario_document(TiXmlDocument& doc, const std::string& path, std::string* error)
{
    try {
        Reader reader(path);
        Scenario scenario = parse_document(reader, doc);
        // Conditions are checked with the calculator of a throwaway host.
        struct NullCalculatorHost : CalculatorHost {
            double read_sim_var(int) override { return 0.0; }
            double local_time_seconds() override { return 0.0; }
            void panel_variable_stored(int, double) override {}
            void raise_key_event(uint32_t, uint32_t) override {}
            void calculator_error(std::string_view, std::string_view) override {}
        } null_host;
        PanelVariables panel_variables;
        Calculator checker(null_host, panel_variables);
        for (const ScenarioEvent& event : scenario.events) {
            std::string reason;
            if (event.condition && !checker.check(*event.condition, &reason)) {
                *error = path + ":" + std::to_string(event.line) + ": bad condition \"" + *event.condition + "\": " + reason;
                return std::nullopt;
            }
        }
        for (const Expectation& x : scenario.expectations) {
            std::string reason;
            if (!x.code.empty() && !checker.check(x.code, &reason)) {
                *error = path + ":" + std::to_string(x.line) + ": bad " + (x.named || x.kind == ExpectKind::Variable ? "variable" : "condition") +
                         " \"" + x.code + "\": " + reason;
                return std::nullopt;
            }
        }
        return scenario;
    } catch (const ParseError& e) {
        *error = e.located ? e.message : path + ":" + std::to_string(e.line) + ": " + e.message;
        return std::nullopt;
    } catch (const std::exception& e) {
        // Whatever else goes wrong (the file system, memory) is still this
        // file's error, never an abort.
        *error = path + ":1: cannot read the scenario: " + e.what();
        return std::nullopt;
    }
}

int64_t last_frame_of(const Scenario& scenario)
{
    // The reader keeps end within a day and the rate at most 1000 frames/s;
    // a hand-built Scenario beyond that gives -1, not an undefined conversion.
    const double frames = std::round(scenario.end_time * scenario.frame_rate);
    if (!(frames >= 0.0 && frames <= 86400.0 * 1000.0)) return -1;
    return static_cast<int64_t>(frames);
}

HostOptions host_options_for(const Scenario& scenario, const std::string& module_path)
{
    HostOptions options;
    options.module_path = module_path;
    options.sim_root = scenario.sim_root;
    options.frame_rate = scenario.frame_rate;
    options.local_time_start = scenario.local_time;
    options.auto_sim_start = scenario.auto_sim_start;
    options.sound_library = scenario.sound_library;
    return options;
}

// [running] ----------------------------------------------------------------------------
volatile std::sig_atomic_t run_stop_signal = 0;

namespace {
// Applies `actions` in order. A failed action is recorded and the next one
// still runs: one refused request does not cut the run short.
void apply_actions(Host& host, const std::vector<ScenarioAction>& actions, const std::string& path, RunResult& result)
{
    for (const ScenarioAction& action : actions) {
        std::string error;
        host.timeline().add("scenario", {{"action", action.description}, {"line", action.line}});
        if (!action.apply(host, &error)) {
            host.timeline().add("action_failed", {{"action", action.description}, {"line", action.line}, {"error", error}});
            result.failures.push_back(path + ":" + std::to_string(action.line) + ": " + error);
            if (result.error.empty()) result.error = result.failures.back();
        }
    }
}
}  // namespace

RunResult run_scenario(Scenario& scenario, Host& host, const std::function<void(double)>& progress)
{
    RunResult result;
    std::string error;
    if (!host.load(&error)) {
        result.error = error;
        return result;
    }
    // Every gauge must exist before anything runs.
    for (const PanelPlacement& p : scenario.panel) {
        bool found = false;
        for (GAUGEHDR* const* g = host.linkage()->gauge_header_ptrs; *g; ++g) found = found || p.gauge == (*g)->gauge_name;
        if (!found) {
            std::vector<std::string> names;
            for (GAUGEHDR* const* g = host.linkage()->gauge_header_ptrs; *g; ++g) names.emplace_back((*g)->gauge_name);
            const std::string near = nearest_name(p.gauge, names);
            result.error = scenario.path + ":" + std::to_string(p.line) + ": the module has no gauge named \"" + p.gauge + "\"" +
                           (near.empty() ? "" : " (did you mean " + near + "?)");
            return result;
        }
    }
    apply_actions(host, scenario.setup, scenario.path, result);
    if (!host.start(&error)) {
        result.error = error;
        return result;
    }
    for (const PanelPlacement& p : scenario.panel) {
        if (host.place_gauge(p.gauge, p.parameters, &error) < 0) {
            result.error = scenario.path + ":" + std::to_string(p.line) + ": " + error;
            return result;
        }
    }
    host.connect_gauges();
    const auto watch = watch_expectations(host, scenario.expectations);
    struct StopWatch {
        const std::shared_ptr<ExpectationWatch>& watch;
        ~StopWatch() { stop_watching(watch); }
    } stop_watch{watch};

    const int64_t last_frame = last_frame_of(scenario);
    if (last_frame < 0) {
        result.error = scenario.path + ":1: the run's end and rate give more frames than a day at 1000 frames/s";
        return result;
    }
    double next_progress = 1.0;
    for (int64_t frame = 1; frame <= last_frame; ++frame) {
        if (const int signal = run_stop_signal) {
            host.stop();
            host.timeline().add("interrupted", {{"signal", signal == SIGINT    ? "SIGINT"
                                                           : signal == SIGTERM ? "SIGTERM"
                                                                               : std::to_string(signal)},
                                                {"frames_run", frame - 1}});
            result.interrupted = signal;
            char text[64];
            std::snprintf(text, sizeof text, "interrupted at t = %.3f s", host.sim_time());
            result.error = text;
            return result;
        }
        const double t = static_cast<double>(frame) / scenario.frame_rate;
        host.timeline().set_clock(t, frame);  // actions are stamped with the frame they precede
        for (ScenarioEvent& event : scenario.events) {
            bool due = false;
            if (event.time) {
                due = !event.fired && *event.time <= t + 1e-9;
            }
            if (event.condition) {
                double value = 0.0;
                host.execute_calculator(event.condition->c_str(), &value, nullptr, nullptr);
                const bool now = value != 0.0;
                const bool rising = now && !event.last_condition;
                event.last_condition = now;
                if (event.time) due = due && now;
                else due = rising && (!event.fired || event.repeat);
            }
            if (!due) continue;
            event.fired = true;
            host.timeline().add("event", {{"name", event.name}, {"line", event.line}});
            apply_actions(host, event.actions, scenario.path, result);
        }
        host.step_frame();
        if (!write_periodic_snapshot(host, t, &error)) {
            result.error = error;
            return result;
        }
        if (progress && t + 1e-9 >= next_progress) {
            progress(t);
            next_progress = std::floor(t) + 1.0;
        }
    }
    host.stop();
    result.completed = true;
    result.ok = result.failures.empty();
    return result;
}

}  // namespace host
