// Expectations: reading <expect>, watching conditions and variables during
// the run, reading facts from the timeline after it, and the verdict.
// Index: [sound lists] [facts] [reading] [watching] [judging] [output]
#include "host/scenario/expectations.h"
#include "host/record/json_fields.h"
#include "host/record/grading.h"
#include "host/scenario/scenario_reader.h"

#include "host/host.h"
#include "host/record/debrief.h"
#include "host/record/printf_text.h"

#include <algorithm>
#include <cmath>

namespace host {
namespace {

constexpr double KNOTS_PER_MPS = 1.0 / 0.514444;


}  // namespace

// [sound lists] -------------------------------------------------------------------
const std::vector<std::string>& call_names()
{
    static const std::vector<std::string> names = {"Wire1",   "Wire2",  "Wire3",  "Wire4",  "CallBall",
                                                   "TooHigh", "TooLow", "LineUp", "WaveOff"};
    return names;
}

std::vector<CallFile> read_call_files(const std::string& sim_root)
{
    std::vector<CallFile> out;
    const std::string path = sim_root + "/Gauges/ZEB_Parameters.xml";
    TiXmlDocument doc(path.c_str());
    if (!load_xml_file(doc)) return out;
    const TiXmlElement* lists = doc.FirstChildElement("SoundFileList");
    for (const TiXmlElement* list = lists ? lists->FirstChildElement() : nullptr; list; list = list->NextSiblingElement()) {
        const char* language = list->Attribute("Language");
        for (const std::string& name : call_names()) {
            const char* file = list->Attribute(name.c_str());
            const char* message = list->Attribute((name + "_msg").c_str());
            if (file || message) out.push_back({name, language ? language : "", file ? file : "", message ? message : ""});
        }
    }
    return out;
}

// [facts] -------------------------------------------------------------------------
namespace {

std::vector<FactOccurrence> flight_events(const FactInput& in, std::initializer_list<const char*> whats,
                                          const char* number_key = nullptr, double scale = 1.0)
{
    std::vector<FactOccurrence> out;
    for (const TimelineEvent* e : in.timeline->of_kind("flight")) {
        const std::string what = text_of(e->data, "what");
        for (const char* w : whats)
            if (what == w) out.push_back({e->t, -1.0, number_key ? number_of(e->data, number_key) * scale : 0.0, what});
    }
    return out;
}

std::vector<FactOccurrence> observe_locked(const FactInput& in, const Expectation&)
{
    std::vector<FactOccurrence> out;
    double valid = 0.0;
    for (const TimelineEvent* e : in.timeline->of_kind("named")) {
        if (text_of(e->data, "name") != "TCN Valid") continue;
        const double value = number_of(e->data, "value", 0.0);
        if (value != 0.0 && valid == 0.0) out.push_back({e->t, -1.0, 1.0, ""});
        valid = value;
    }
    return out;
}

// Every sound the module played whose file is a call of a sound list, with
// the approach distance at that moment (the "range" events of the bench's
// copy, or "ILS Slant Range" on a whole timeline).
std::vector<FactOccurrence> observe_call(const FactInput& in, const Expectation& expect)
{
    std::vector<FactOccurrence> out;
    std::map<int64_t, std::string> handle_path;
    double range_nm = -1.0;
    for (const TimelineEvent& e : in.timeline->events()) {
        if (e.kind == "range") {
            range_nm = number_of(e.data, "nm", -1.0);
        } else if (e.kind == "named") {
            if (text_of(e.data, "name") == "ILS Slant Range") range_nm = number_of(e.data, "value", -1.0);
        } else if (e.kind == "sound") {
            const double ordinal = number_of(e.data, "ordinal", 0.0);
            const double result = number_of(e.data, "result", 0.0);
            if (ordinal == 30 && result > 0) {
                handle_path[static_cast<int64_t>(result)] = text_of(e.data, "path");
            } else if (ordinal == 33 && e.data.contains("seconds")) {
                auto it = handle_path.find(static_cast<int64_t>(number_of(e.data, "handle", 0.0)));
                if (it == handle_path.end()) continue;
                for (const CallFile& call : in.calls) {
                    if (call.path != it->second || (!expect.call.empty() && call.name != expect.call)) continue;
                    out.push_back({e.t, range_nm, 0.0, call.name});
                    break;
                }
            }
        }
    }
    return out;
}

std::vector<FactOccurrence> observe_wire(const FactInput& in, const Expectation&)
{
    return flight_events(in, {"wire"}, "wire");
}

std::vector<FactOccurrence> observe_trap(const FactInput& in, const Expectation&)
{
    return flight_events(in, {"arrested", "stopped"});
}

std::vector<FactOccurrence> observe_bolter(const FactInput& in, const Expectation&)
{
    return flight_events(in, {"bolter"});
}

std::vector<FactOccurrence> observe_go_around(const FactInput& in, const Expectation&)
{
    return flight_events(in, {"go around"});
}

// Every judged pass: when it ended, its grade and points.
std::vector<FactOccurrence> observe_grade(const FactInput& in, const Expectation&)
{
    std::vector<FactOccurrence> out;
    if (!in.passes) return out;
    for (const Pass& pass : *in.passes) {
        FactOccurrence o;
        o.t = pass.t_end;
        o.number = pass.points;
        o.text = pass.grade;
        out.push_back(std::move(o));
    }
    return out;
}

std::vector<FactOccurrence> observe_ditching(const FactInput& in, const Expectation&)
{
    return flight_events(in, {"in the sea", "off the runway"});
}

std::vector<FactOccurrence> observe_wave_off(const FactInput& in, const Expectation&)
{
    std::vector<FactOccurrence> out;
    bool on = false;
    for (const TimelineEvent* e : in.timeline->of_kind("lvar")) {
        if (text_of(e->data, "name") != "WaveOffLight") continue;
        const bool now = number_of(e->data, "value", 0.0) != 0.0;
        if (now && !on) out.push_back({e->t, -1.0, 1.0, ""});
        on = now;
    }
    return out;
}

// The aircraft leaving a deck: off a catapult on the flown world, or off the
// deck a scenario placed it on.
std::vector<FactOccurrence> observe_launch(const FactInput& in, const Expectation&)
{
    std::vector<FactOccurrence> out = flight_events(in, {"airborne"}, "ground_speed_mps", KNOTS_PER_MPS);
    for (const TimelineEvent* e : in.timeline->of_kind("deck")) {
        const bool same = std::any_of(out.begin(), out.end(), [&](const FactOccurrence& o) { return std::fabs(o.t - e->t) < 1.0; });
        if (!same) out.push_back({e->t, -1.0, number_of(e->data, "ground_speed", 0.0) * KNOTS_PER_MPS, "left the deck"});
    }
    std::sort(out.begin(), out.end(), [](const FactOccurrence& a, const FactOccurrence& b) { return a.t < b.t; });
    return out;
}

// The catapult's end speed of each stroke: the last velocity command before
// "Catapult_State" went from 2 back to 0, in knots.
std::vector<FactOccurrence> observe_end_speed(const FactInput& in, const Expectation&)
{
    std::vector<FactOccurrence> out;
    double state = 0.0, last_command = NAN;
    for (const TimelineEvent& e : in.timeline->events()) {
        if (e.kind == "simconnect") {
            if (text_of(e.data, "call") != "SimConnect_SetDataOnSimObject") continue;
            auto args = e.data.find("args");
            if (args == e.data.end() || number_of(*args, "define", -1.0) != 3.0) continue;
            auto values = args->find("values");
            if (values != args->end() && values->is_array() && !values->empty() && (*values)[0].is_number())
                last_command = (*values)[0].get<double>();
        } else if (e.kind == "lvar" && text_of(e.data, "name") == "Catapult_State") {
            const double value = number_of(e.data, "value", 0.0);
            if (value == 0.0 && state == 2.0 && std::isfinite(last_command))
                out.push_back({e.t, -1.0, last_command * KNOTS_PER_MPS, ""});
            state = value;
        }
    }
    return out;
}

}  // namespace

const std::vector<FactDefinition>& fact_table()
{
    static const std::vector<FactDefinition> table = {
        {"locked", FactValue::None, "", "the module locked on to a carrier (TCN Valid became 1)", observe_locked},
        {"call", FactValue::None, "", "an officer's call was heard (its sound played); call= names it", observe_call},
        {"wire", FactValue::Number, "", "a wire caught, by number", observe_wire},
        {"trap", FactValue::None, "", "the aircraft stopped on the deck (arrested) or on the runway", observe_trap},
        {"bolter", FactValue::None, "", "a touchdown that caught no wire", observe_bolter},
        {"wave_off", FactValue::None, "", "the wave-off lights came on", observe_wave_off},
        {"go_around", FactValue::None, "", "the flown aircraft went around", observe_go_around},
        {"launch", FactValue::Number, " kt", "the aircraft left the deck (its ground speed)", observe_launch},
        {"end_speed", FactValue::Number, " kt", "a catapult stroke's end speed (the last velocity command)", observe_end_speed},
        {"ditching", FactValue::None, "", "the aircraft ended in the sea or off the runway", observe_ditching},
        {"grade", FactValue::Text, "", "the bench's grade of a pass; grade= asks for that grade or a better one", observe_grade},
    };
    return table;
}

const FactDefinition* find_fact(const std::string& name)
{
    for (const FactDefinition& f : fact_table())
        if (name == f.name) return &f;
    return nullptr;
}

// [reading] -----------------------------------------------------------------------
namespace scenario_detail {

Expectation parse_expectation(const Reader& r, const TiXmlElement* e, double end_time)
{
    r.only(e, {"name", "condition", "var", "fact", "call", "grade", "at", "by", "from", "to", "when", "from_nm", "to_nm", "min",
               "max", "value", "count"});
    Expectation x;
    x.line = e->Row();
    const int kinds = (e->Attribute("condition") ? 1 : 0) + (e->Attribute("var") ? 1 : 0) + (e->Attribute("fact") ? 1 : 0);
    if (kinds != 1) r.fail(e, "<expect> takes one of condition=, var= or fact=");
    auto names = [](const std::vector<std::string>& list) {
        std::string out;
        for (const std::string& n : list) out += (out.empty() ? "" : ", ") + n;
        return out;
    };
    std::vector<std::string> fact_names;
    for (const FactDefinition& f : fact_table()) fact_names.emplace_back(f.name);

    const FactDefinition* fact = nullptr;
    if (e->Attribute("condition")) {
        x.kind = ExpectKind::Condition;
        x.code = e->Attribute("condition");
    } else if (e->Attribute("var")) {
        x.kind = ExpectKind::Variable;
        x.variable = e->Attribute("var");
        if (!x.variable.empty() && x.variable[0] == '(') {
            x.code = x.variable;
        } else {
            std::vector<std::string> published(std::begin(PUBLISHED_NAMES), std::end(PUBLISHED_NAMES));
            if (std::find(published.begin(), published.end(), x.variable) == published.end()) {
                const std::string near = nearest_name(x.variable, published);
                r.fail(e, "unknown variable \"" + x.variable + "\"" +
                              (near.empty() ? "" : ": did you mean \"" + near + "\"?") +
                              " (a named variable of the module, or a calculator value such as \"(A:PLANE ALTITUDE, feet)\")");
            }
            x.named = true;
        }
        if (!e->Attribute("min") && !e->Attribute("max") && !e->Attribute("value"))
            r.fail(e, "<expect var=...> needs its limits: min=, max= or value=");
    } else {
        x.kind = ExpectKind::Fact;
        x.fact = e->Attribute("fact");
        fact = find_fact(x.fact);
        if (!fact) {
            const std::string near = nearest_name(x.fact, fact_names);
            r.fail(e, "unknown fact \"" + x.fact + "\"" + (near.empty() ? "" : ": did you mean \"" + near + "\"?") +
                          " (facts: " + names(fact_names) + ")");
        }
    }
    if (e->Attribute("call")) {
        if (x.fact != "call") r.fail(e, "call= goes with fact=\"call\"");
        x.call = e->Attribute("call");
        const auto& calls = call_names();
        if (std::find(calls.begin(), calls.end(), x.call) == calls.end()) {
            const std::string near = nearest_name(x.call, calls);
            r.fail(e, "unknown call \"" + x.call + "\"" + (near.empty() ? "" : ": did you mean \"" + near + "\"?") +
                          " (the sound lists' calls: " + names(calls) + ")");
        }
    }

    x.at = r.number(e, "at", SCENARIO_TIME);
    const auto by = r.number(e, "by", SCENARIO_TIME);
    x.from = r.number(e, "from", SCENARIO_TIME);
    x.to = r.number(e, "to", SCENARIO_TIME);
    if ((x.at ? 1 : 0) + (by ? 1 : 0) + (x.from || x.to ? 1 : 0) > 1) r.fail(e, "<expect> takes at=, by= or from=/to=, one of them");
    if (by) {
        x.from = 0.0;
        x.to = *by;
        x.any = true;
    }
    if (x.from && !x.to) x.to = end_time;
    if (x.to && !x.from) x.from = 0.0;
    if (x.from && *x.from > *x.to) r.fail(e, "from= is after to=");
    const double first = x.at ? *x.at : x.from ? *x.from : 0.0;
    if (first > end_time + 1e-9)
        r.fail(e, "the expectation is never judged: the run ends at " + format_number(end_time) + " s");
    if (e->Attribute("when")) {
        const std::string when = e->Attribute("when");
        if (when != "always" && when != "once") r.fail(e, "when= is \"always\" (every moment of the window) or \"once\"");
        if (!x.from || by) r.fail(e, "when= goes with from=/to=");
        x.any = when == "once";
    }
    if (x.at && x.kind == ExpectKind::Fact) r.fail(e, "a fact is expected by= a time or from=/to=, not at= one moment");

    x.near_nm = r.number(e, "to_nm", DISTANCE_NM);
    x.far_nm = r.number(e, "from_nm", DISTANCE_NM);
    if (x.near_nm || x.far_nm) {
        if (x.fact != "call") r.fail(e, "from_nm=/to_nm= go with fact=\"call\"");
        if (!x.near_nm) x.near_nm = 0.0;
        if (!x.far_nm) x.far_nm = DISTANCE_NM.high;
        if (*x.near_nm > *x.far_nm) std::swap(x.near_nm, x.far_nm);
    }

    const bool text_value = fact && fact->value == FactValue::Text;
    if (e->Attribute("grade")) {
        // grade="OK": this grade or a better one, for every pass.
        if (x.fact != "grade") r.fail(e, "grade= goes with fact=\"grade\"");
        x.text = e->Attribute("grade");
        if (grade_rank(x.text) < 0)
            r.fail(e, "unknown grade \"" + x.text + "\" (one of _OK_, OK, (OK), B, —, WO, OWO, C)");
        if (e->Attribute("value") || e->Attribute("min") || e->Attribute("max"))
            r.fail(e, "grade= takes no value= or min=/max=");
    } else if (x.fact == "grade") {
        r.fail(e, "fact=\"grade\" needs grade=\"...\" (the grade asked for, or a better one)");
    } else if (e->Attribute("value")) {
        if (text_value) {
            x.text = e->Attribute("value");
        } else {
            x.min = x.max = r.number(e, "value");
        }
        if (e->Attribute("min") || e->Attribute("max")) r.fail(e, "<expect> takes value= or min=/max=, not both");
    } else if (!text_value) {
        x.min = r.number(e, "min");
        x.max = r.number(e, "max");
    }
    if (x.min && x.max && *x.min > *x.max) r.fail(e, "min= is above max=");
    if ((x.min || x.max || !x.text.empty()) && x.kind != ExpectKind::Variable &&
        (x.kind == ExpectKind::Condition || fact->value == FactValue::None))
        r.fail(e, x.kind == ExpectKind::Condition ? std::string("a condition has no value= or limits")
                                                  : "the fact \"" + x.fact + "\" has no value to limit");
    if (auto count = r.number(e, "count", Range{0.0, 1e6, " times"})) {
        if (x.kind != ExpectKind::Fact) r.fail(e, "count= goes with fact=");
        if (*count != std::floor(*count)) r.fail(e, "count= is a whole number of times");
        if (x.min || x.max || !x.text.empty()) r.fail(e, "<expect> takes count= or a value, not both");
        x.count = static_cast<int>(*count);
    }
    x.name = r.text(e, "name", false, "expectation at line " + std::to_string(x.line));
    return x;
}

}  // namespace scenario_detail

// [watching] ----------------------------------------------------------------------
class ExpectationWatch : public FrameObserver {
public:
    explicit ExpectationWatch(std::vector<Expectation>& expectations) : expectations_(&expectations) {}
    void stop() { expectations_ = nullptr; }

    void frame_done(Host& host) override
    {
        if (!expectations_) return;
        const double t = host.sim_time();
        for (Expectation& x : *expectations_) {
            if (x.kind == ExpectKind::Fact) continue;
            const bool windowed = x.from.has_value();
            if (x.at && (x.watched || t < *x.at - 1e-9)) continue;
            if (windowed && (t < *x.from - 1e-9 || t > *x.to + 1e-9)) continue;
            double value = NAN;
            if (x.named) {
                if (host.has_named_variable(x.variable)) value = host.named_variable(x.variable);
            } else {
                host.execute_calculator(x.code.c_str(), &value, nullptr, nullptr);
            }
            bool ok = x.kind == ExpectKind::Condition
                          ? value != 0.0 && !std::isnan(value)
                          : std::isfinite(value) && (!x.min || value >= *x.min) && (!x.max || value <= *x.max);
            x.watched = true;
            if (!windowed) {  // at a moment, or the last frame
                x.succeeded = ok;
                x.failed = !ok;
                x.value = value;
                x.value_t = t;
            } else if (x.any) {
                if (x.succeeded) continue;
                x.succeeded = ok;
                x.value = value;
                x.value_t = t;
            } else if (!ok && !x.failed) {
                x.failed = true;
                x.value = value;
                x.value_t = t;
            }
        }
    }

private:
    std::vector<Expectation>* expectations_;
};

std::shared_ptr<ExpectationWatch> watch_expectations(Host& host, std::vector<Expectation>& expectations)
{
    bool any = false;
    for (const Expectation& x : expectations) any = any || x.kind != ExpectKind::Fact;
    if (!any) return nullptr;
    auto watch = std::make_shared<ExpectationWatch>(expectations);
    host.add_frame_observer(watch);
    return watch;
}

void stop_watching(const std::shared_ptr<ExpectationWatch>& watch)
{
    if (watch) watch->stop();
}

// [judging] -----------------------------------------------------------------------
namespace {

using scenario_detail::format_number;
std::string seconds(double t) { return printf_text("%.2f", t); }

std::string limits(const Expectation& x, const char* unit)
{
    if (!x.text.empty()) return " " + x.text + (x.fact == "grade" ? " or better" : "");
    if (x.min && x.max && *x.min == *x.max) return " " + format_number(*x.min) + unit;
    if (x.min && x.max) return " " + format_number(*x.min) + " to " + format_number(*x.max) + unit;
    if (x.min) return " at least " + format_number(*x.min) + unit;
    if (x.max) return " at most " + format_number(*x.max) + unit;
    return "";
}

std::string timing(const Expectation& x, const double end_time)
{
    if (x.at) return " at t=" + seconds(*x.at);
    if (x.from && x.any && *x.from == 0.0) return " by t=" + seconds(*x.to);
    if (x.from)
        return (x.any ? " once from t=" : " from t=") + seconds(*x.from) + " to " + seconds(std::min(*x.to, end_time));
    return x.kind == ExpectKind::Fact ? "" : " at the end";
}

std::string expected_text(const Expectation& x, const FactDefinition* fact, double end_time)
{
    std::string out;
    if (x.kind == ExpectKind::Condition) {
        out = "\"" + x.code + "\" true";
    } else if (x.kind == ExpectKind::Variable) {
        out = x.variable + limits(x, "");
    } else {
        const std::string what = x.fact + (x.call.empty() ? "" : " " + x.call);
        if (x.count && *x.count == 0) out = "no " + what;
        else if (x.count) out = what + " " + std::to_string(*x.count) + " time" + (*x.count == 1 ? "" : "s");
        else out = what + limits(x, fact ? fact->unit : "");
        if (x.far_nm)
            out += " between " + printf_text("%.2f", *x.near_nm) + " and " + printf_text("%.2f", *x.far_nm) + " nm";
    }
    return out + timing(x, end_time);
}

std::string occurrence_text(const FactDefinition& fact, const FactOccurrence& o)
{
    std::string out;
    if (fact.value == FactValue::Number)
        out = (*fact.unit ? "" : std::string(fact.name) + " ") + printf_text("%.4g", o.number) + fact.unit + " ";
    else if (fact.value == FactValue::Text || std::string(fact.name) == "call") out = o.text + " ";
    out += "at t=" + seconds(o.t);
    if (o.range_nm >= 0.0) out += printf_text(" (%.2f nm)", o.range_nm);
    return out;
}

std::string value_text(const Expectation& x, double value)
{
    if (x.kind == ExpectKind::Condition) return std::isnan(value) ? "not computed" : value != 0.0 ? "true" : "false";
    if (std::isnan(value)) return "no value";
    return printf_text("%.6g", value);
}

ExpectationResult judge_watched(const Expectation& x)
{
    ExpectationResult r;
    if (!x.watched) {
        r.observed = "never judged: the run ended first";
        return r;
    }
    const std::string at = value_text(x, x.value) + " at t=" + seconds(x.value_t);
    if (!x.from) {
        r.met = x.succeeded;
        r.observed = at;
    } else if (x.any) {
        r.met = x.succeeded;
        r.observed = x.succeeded ? at : "never; last " + at;
    } else {
        r.met = !x.failed;
        r.observed = x.failed ? at : "held throughout";
    }
    return r;
}

ExpectationResult judge_fact(const Expectation& x, const FactDefinition& fact, const FactInput& input)
{
    ExpectationResult r;
    std::vector<FactOccurrence> seen;
    for (const FactOccurrence& o : fact.observe(input, x)) {
        if (x.from && (o.t < *x.from - 1e-9 || o.t > *x.to + 1e-9)) continue;
        if (x.far_nm && (o.range_nm < *x.near_nm - 1e-9 || o.range_nm > *x.far_nm + 1e-9)) continue;
        seen.push_back(o);
    }
    auto inside = [&](const FactOccurrence& o) {
        if (!x.text.empty()) return x.fact == "grade" ? grade_at_least(o.text, x.text) : o.text == x.text;
        return std::isfinite(o.number) && (!x.min || o.number >= *x.min - 1e-9) && (!x.max || o.number <= *x.max + 1e-9);
    };
    if (x.count) r.met = static_cast<int>(seen.size()) == *x.count;
    else r.met = !seen.empty() && std::all_of(seen.begin(), seen.end(), inside);
    if (seen.empty()) {
        r.observed = "never";
        // Outside the window or the band, say when it did happen.
        const auto all = fact.observe(input, x);
        if (!all.empty() && (x.from || x.far_nm)) r.observed += "; " + occurrence_text(fact, all.front());
        return r;
    }
    const size_t shown = std::min<size_t>(seen.size(), 3);
    for (size_t i = 0; i < shown; ++i) r.observed += (i ? ", " : "") + occurrence_text(fact, seen[i]);
    if (seen.size() > shown) r.observed += printf_text(" and %zu more", seen.size() - shown);
    if (x.count) r.observed = printf_text("%zu time%s: ", seen.size(), seen.size() == 1 ? "" : "s") + r.observed;
    return r;
}

}  // namespace

std::vector<ExpectationResult> judge_expectations(const std::vector<Expectation>& expectations, const Timeline& timeline,
                                                  const std::string& sim_root, double end_time,
                                                  const std::vector<Pass>* passes)
{
    FactInput input;
    input.timeline = &timeline;
    input.passes = passes;
    input.calls = read_call_files(sim_root);
    std::vector<ExpectationResult> out;
    bool ditching_named = false;
    for (const Expectation& x : expectations) {
        const FactDefinition* fact = x.kind == ExpectKind::Fact ? find_fact(x.fact) : nullptr;
        ExpectationResult r;
        if (x.kind != ExpectKind::Fact) r = judge_watched(x);
        else if (fact) r = judge_fact(x, *fact, input);
        else r.observed = "unknown fact";
        r.name = x.name;
        r.line = x.line;
        r.expected = expected_text(x, fact, end_time);
        out.push_back(std::move(r));
        ditching_named = ditching_named || x.fact == "ditching";
    }
    if (!ditching_named) {
        Expectation none;
        none.name = "no ditching (every run)";
        none.fact = "ditching";
        none.count = 0;
        const FactDefinition* fact = find_fact("ditching");
        ExpectationResult r = judge_fact(none, *fact, input);
        if (!r.met) {
            r.name = none.name;
            r.expected = expected_text(none, fact, end_time);
            out.push_back(std::move(r));
        }
    }
    return out;
}

bool all_met(const std::vector<ExpectationResult>& results)
{
    return std::all_of(results.begin(), results.end(), [](const ExpectationResult& r) { return r.met; });
}

// [output] ------------------------------------------------------------------------
std::string format_expectations(const std::vector<ExpectationResult>& results)
{
    if (results.empty()) return "";
    size_t width = 0;
    for (const ExpectationResult& r : results) width = std::max(width, r.name.size());
    width = std::min<size_t>(width, 40);
    std::string out = "Expectations:\n";
    size_t met = 0;
    for (const ExpectationResult& r : results) {
        met += r.met ? 1 : 0;
        out += printf_text("  %-6s  %-*s  ", r.met ? "met" : "FAILED", static_cast<int>(width), r.name.c_str());
        out += r.met ? r.observed : "expected " + r.expected + "; observed " + r.observed;
        out += "\n";
    }
    out += printf_text("  %zu of %zu met\n", met, results.size());
    return out;
}

std::string expectations_json(const std::string& scenario, const std::vector<ExpectationResult>& results)
{
    nlohmann::json list = nlohmann::json::array();
    for (const ExpectationResult& r : results)
        list.push_back({{"name", r.name}, {"line", r.line}, {"met", r.met}, {"expected", r.expected}, {"observed", r.observed}});
    const nlohmann::json doc = {{"scenario", scenario}, {"all_met", all_met(results)}, {"expectations", list}};
    return doc.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

}  // namespace host
