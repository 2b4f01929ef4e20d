// The run summary. Index: [happenings] [named variables] [formatting]
#include "host/record/run_summary.h"
#include "host/record/printf_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdarg>
#include <cstring>
#include <unordered_map>

#include "host/panel/calculator.h"

namespace host {
namespace {

std::string field(const nlohmann::json& data, const char* key)
{
    auto it = data.find(key);
    if (it == data.end() || it->is_null()) return "";
    return it->is_string() ? it->get<std::string>() : it->dump();
}

double number_field(const nlohmann::json& data, const char* key)
{
    auto it = data.find(key);
    return it != data.end() && it->is_number() ? it->get<double>() : 0.0;
}

// The module's command events, 0x11101 to 0x11107.
const char* command_event_meaning(uint32_t id)
{
    switch (id) {
    case 0x11101: return "tune: the navigation gauge saw a new NAV frequency, the module selects a carrier";
    case 0x11102: return "wave-off check: the approach entered the wave-off window";
    case 0x11103: return "catapult velocity: the catapult pushes the aircraft";
    case 0x11104: return "call the ball: the officer's first call";
    case 0x11105: return "altitude check: the officer checks the glide slope";
    case 0x11106: return "line-up check: the officer checks the line-up";
    case 0x11107: return "wire report: a wire was caught";
    }
    return nullptr;
}

// A BCD frequency of a NAV set key, "112.70 MHz"; "" when it is not BCD.
std::string bcd_frequency(uint32_t value)
{
    double hundredths = 0.0, scale = 1.0;
    for (uint32_t v = value; v; v >>= 4, scale *= 10.0) {
        if ((v & 0xF) > 9) return "";
        hundredths += (v & 0xF) * scale;
    }
    return printf_text("%.2f MHz", hundredths / 100.0);
}

std::string key_text(const nlohmann::json& data)
{
    const std::string id_text = field(data, "id");
    const uint32_t id = static_cast<uint32_t>(std::strtoul(id_text.c_str(), nullptr, 16));
    const double raw = number_field(data, "value");
    const uint32_t value = raw >= 0.0 && raw <= 4294967295.0 ? static_cast<uint32_t>(raw) : 0;
    const std::string source = field(data, "source");
    const std::string name = field(data, "name");
    std::string out = "key " + (name.empty() ? id_text : name + " (" + id_text + ")") + " value " + std::to_string(value);
    out += source == "scenario" ? " from the scenario" : source == "calculator" ? " from an expression" : " raised by the module";
    if (const char* meaning = command_event_meaning(id)) out += ": " + std::string(meaning);
    if (name == "NAV1_RADIO_SET" || name == "NAV2_RADIO_SET") {
        const std::string mhz = bcd_frequency(value);
        if (!mhz.empty()) out += std::string(": tunes ") + (name[3] == '1' ? "NAV1" : "NAV2") + " to " + mhz;
    }
    return out;
}

std::string text_text(const nlohmann::json& data)
{
    const std::string text = field(data, "text");
    std::string out = printf_text("text %s %.0f s: \"%s\"", field(data, "color").c_str(), number_field(data, "seconds"),
                                  text.c_str());
    if (text.rfind("TACAN tuned on ", 0) == 0)
        out += text.find("-Lock on-") != std::string::npos ? " (tuning message: carrier selected, TACAN valid)"
                                                            : " (tuning message: selected, TACAN not yet valid)";
    else if (text.find_first_not_of(' ') == std::string::npos)
        out += " (a blank text: clears the screen text)";
    else if (text.rfind("LSO", 0) == 0)
        out += " (the officer's call)";
    return out;
}

std::string stderr_text(const std::string& line)
{
    std::string out = "module standard error: \"" + line + "\"";
    if (line == "erreur lors du chargement") out += " (a configuration file could not be loaded; see carrier-bench lint)";
    else if (line == "no node found") out += " (an element the module needs is missing; see carrier-bench lint)";
    else if (line.rfind("error #", 0) == 0) out += " (the XML parser's error)";
    return out;
}

}  // namespace

// [happenings] ----------------------------------------------------------------
std::vector<Happening> happenings(const Timeline& timeline)
{
    std::vector<Happening> out;
    // The same thing again within a second of its last time (a per-frame key
    // event, say) is counted on its line; later, it gets a line of its own.
    std::unordered_map<std::string, size_t> index;  // what -> its latest line
    auto note = [&](double t, std::string what) {
        auto it = index.find(what);
        if (it != index.end() && t - out[it->second].last_t <= 1.0) {
            ++out[it->second].repeats;
            out[it->second].last_t = t;
            return;
        }
        index[what] = out.size();
        out.push_back({t, std::move(what), 1, t});
    };
    double tcn_valid = 0.0, carrier_found = 0.0;
    for (const TimelineEvent& e : timeline.events()) {
        const auto& d = e.data;
        if (e.kind == "event") {
            note(e.t, "event \"" + field(d, "name") + "\" (line " + field(d, "line") + ")");
        } else if (e.kind == "key") {
            note(e.t, key_text(d));
        } else if (e.kind == "text") {
            note(e.t, text_text(d));
        } else if (e.kind == "named") {
            const std::string name = field(d, "name");
            const double value = number_field(d, "value");
            if (name == "TCN Valid" && value != tcn_valid) {
                note(e.t, value != 0.0 ? "lock-on: TCN Valid 1 (carrier found, TACAN within 100 nm)"
                                       : "TACAN lost: TCN Valid 0");
                tcn_valid = value;
            } else if (name == "Carrier_Is_Found" && value != carrier_found) {
                note(e.t, value != 0.0 ? "carrier found: Carrier_Is_Found 1" : "no carrier: Carrier_Is_Found 0");
                carrier_found = value;
            }
        } else if (e.kind == "object") {
            const std::string how = field(d, "event");
            note(e.t, "object " + how + ": " + field(d, "object_kind") + " \"" + field(d, "title") + "\" (id " +
                          field(d, "object") + (how == "created" ? ", by the module" : "") + ")");
        } else if (e.kind == "simconnect") {
            if (number_field(d, "result") != 0.0)
                note(e.t, "request refused: " + field(d, "call") + " (result " + field(d, "result") + ")");
        } else if (e.kind == "simconnect_error") {
            note(e.t, "the simulator could not: " + field(d, "error"));
        } else if (e.kind == "action_failed") {
            note(e.t, "action failed (line " + field(d, "line") + "): " + field(d, "action") + ": " + field(d, "error"));
        } else if (e.kind == "host_error") {
            note(e.t, "host: " + field(d, "what"));
        } else if (e.kind == "calc_error") {
            note(e.t, "expression refused: \"" + field(d, "code") + "\": " + field(d, "reason"));
        } else if (e.kind == "stderr") {
            note(e.t, stderr_text(field(d, "line")));
        } else if (e.kind == "note") {
            note(e.t, "note: " + field(d, "text"));
        } else if (e.kind == "sound") {
            const double ordinal = number_field(d, "ordinal");
            if (ordinal == 33 || ordinal == 48)
                note(e.t, "sound " + (d.contains("refused") ? "refused: " + field(d, "refused")
                                                            : "played: " + field(d, "path")));
            else if (ordinal == 30 && number_field(d, "result") == 0.0)
                note(e.t, "sound not loaded: \"" + field(d, "path") + "\": " + field(d, "reason"));
        }
    }
    return out;
}

// [named variables] ---------------------------------------------------------------
std::map<std::string, double> named_values_at(const Timeline& timeline, double t)
{
    std::map<std::string, double> out;
    for (const TimelineEvent& e : timeline.events())
        if (e.kind == "named" && e.t <= t + 1e-9) out[field(e.data, "name")] = number_field(e.data, "value");
    return out;
}

std::vector<double> sample_times(double end_time)
{
    std::vector<double> out;
    const double step = end_time > 100 ? 20.0 : std::max(1.0, std::ceil(end_time / 10.0));
    for (double sample = step; sample <= end_time + 1e-9; sample += step) out.push_back(sample);
    if (end_time > 0 && (out.empty() || out.back() < end_time - 1e-9)) out.push_back(end_time);
    return out;
}

std::string named_value_text(const std::string& name, double value)
{
    const double deg = value * 180.0 / M_PI;
    auto heading = [&](const char* reference) {
        double d = std::fmod(deg, 360.0);
        if (d < 0) d += 360.0;
        return printf_text("%.6g rad %s (%05.1f deg)", value, reference, d);
    };
    if (name == "TCN Valid" || name == "Carrier_Is_Found" || name == "ILS_LOC_VALID" || name == "ILS_GS_VALID")
        return printf_text("%g (%s)", value, value != 0.0 ? "yes" : "no");
    if (name == "CarrierType")
        return printf_text("%g (%s)", value, value == 1.0 ? "a ship" : value == 2.0 ? "a fixed site" : "none");
    if (name == "TCN_TOFROM")
        return printf_text("%g (%s)", value, value == 1.0 ? "to" : value == 2.0 ? "from" : "none");
    if (name == "BRC" || name == "RWY_True_Heading" || name == "ILS True Radial" || name == "TCN True Radial")
        return heading("true");
    if (name == "RWY_Heading" || name == "ILS Radial" || name == "TCN Radial") return heading("magnetic");
    if (name == "GS Error") return printf_text("%.3f deg (+ above the slope)", value);
    if (name == "LOC Error") return printf_text("%.3f deg (+ left of the line)", value);
    if (name == "TCN CDI") return printf_text("%.3f deg", value);
    if (name == "ILS Slant Range" || name == "TCN Slant Range") return printf_text("%.3f nm", value);
    if (name == "Meatball_Position") return printf_text("%.3g (-50 bottom to +50 top)", value);
    if (name == "ILS Lat") return printf_text("%.6g rad (%.4f deg %s)", value, std::fabs(deg), deg < 0 ? "S" : "N");
    if (name == "ILS Lon")
        return printf_text("%.6g rad west-positive (%.4f deg %s)", value, std::fabs(deg), deg > 0 ? "W" : "E");
    return printf_text("%.6g", value);
}

// [formatting] ------------------------------------------------------------------------
std::string format_summary(const SummaryInput& in)
{
    const Timeline& timeline = *in.timeline;
    std::string out = printf_text("\nScenario \"%s\": %.1f s at %.0f frames/s, %lld frames\n", in.scenario_name.c_str(),
                                  in.end_time, in.frame_rate, static_cast<long long>(in.frames));
    std::map<std::string, size_t> counts;
    size_t total = 0;
    if (in.timeline_counts.empty()) {
        for (const auto& e : timeline.events()) ++counts[e.kind];
        total = timeline.events().size();
    } else {
        for (const auto& [kind, n] : in.timeline_counts)
            if (n > 0) counts[kind] = static_cast<size_t>(n);
        total = static_cast<size_t>(in.timeline_events);
    }
    out += printf_text("Timeline: %zu events -> %s\n", total, in.timeline_path.c_str());
    for (const auto& [kind, n] : counts) out += printf_text("  %-16s %zu\n", kind.c_str(), n);

    const std::vector<Happening> list = happenings(timeline);
    constexpr size_t MAX_LINES = 80;
    out += "What happened (t in seconds; the same thing again within a second is counted on its line):\n";
    for (size_t i = 0; i < list.size() && i < MAX_LINES; ++i) {
        const Happening& h = list[i];
        out += printf_text("  %7.2f  %s", h.t, h.what.c_str());
        if (h.repeats > 1) out += printf_text("  (x%zu, last at %.2f)", h.repeats, h.last_t);
        out += "\n";
    }
    if (list.size() > MAX_LINES) out += printf_text("  ... %zu more on the timeline\n", list.size() - MAX_LINES);
    for (const ScenarioEvent* e : in.never_fired)
        out += printf_text("  never fired: event \"%s\" (line %d)%s\n", e->name.c_str(), e->line,
                           e->condition ? ": its condition never became true in time" : "");
    if (list.empty() && in.never_fired.empty()) out += "  nothing\n";

    // The approach picture as the panel saw it, through the run to its end.
    const char* const columns[] = {"TCN Valid", "TCN Slant Range", "TCN CDI", "TCN_TOFROM", "ILS Slant Range",
                                   "GS Error", "LOC Error", "ILS_GS_VALID", "ILS_LOC_VALID"};
    if (counts.count("named")) {
        out += "Approach picture (named variables). Columns: TCN \"TCN Valid\" (1 valid); range \"TCN Slant Range\"; "
               "CDI \"TCN CDI\" (limited to +-10); T/F \"TCN_TOFROM\" (1 to, 2 from); ILS \"ILS Slant Range\", the "
               "approach distance; GS \"GS Error\" (+ above the slope); LOC \"LOC Error\" (+ left of the line); "
               "GS LOC \"ILS_GS_VALID\" \"ILS_LOC_VALID\" (1 valid)\n";
        out += "   t (s)  TCN  range nm  CDI deg  T/F   ILS nm  GS deg  LOC deg  GS LOC\n";
        std::map<std::string, double> now;
        const auto& events = timeline.events();
        size_t i = 0;
        for (double sample : sample_times(in.end_time)) {
            for (; i < events.size() && events[i].t <= sample + 1e-9; ++i)
                if (events[i].kind == "named") now[field(events[i].data, "name")] = number_field(events[i].data, "value");
            auto v = [&](const char* name) { return now.count(name) ? now[name] : 0.0; };
            out += printf_text("  %6.1f  %3.0f  %8.2f  %7.2f  %3.0f  %7.2f  %6.2f  %7.2f  %2.0f  %2.0f\n", sample,
                               v(columns[0]), v(columns[1]), v(columns[2]), v(columns[3]), v(columns[4]), v(columns[5]),
                               v(columns[6]), v(columns[7]), v(columns[8]));
        }
        out += "Named variables at the end (the module keeps angles in radians and longitudes west-positive):\n";
        for (const auto& [name, value] : named_values_at(timeline, in.end_time))
            out += printf_text("  %-18s %s\n", name.c_str(), named_value_text(name, value).c_str());
    }
    // The panel: snapshots written and tooltips read (host/gauge_panel, host/panel_drawing).
    for (const TimelineEvent& e : timeline.events()) {
        if (e.kind == "snapshot")
            out += printf_text("Panel snapshot t=%7.2f  %s\n", e.t,
                               e.data.contains("files") ? e.data["files"].dump(-1, ' ', false, nlohmann::json::error_handler_t::replace).c_str() : "skipped (no run directory)");
        else if (e.kind == "tooltip")
            out += printf_text("Tooltip t=%7.2f  %s: \"%s\"\n", e.t, field(e.data, "gauge").c_str(), field(e.data, "text").c_str());
    }
    if (in.calculator_failures > 0)
        out += printf_text("Calculator failures: %zu (see \"calc_error\" events)\n", in.calculator_failures);
    if (!in.failures.empty()) {
        out += printf_text("Failed actions: %zu (\"action_failed\" on the timeline)\n", in.failures.size());
        for (const std::string& f : in.failures) out += "  " + f + "\n";
    }
    return out;
}

}  // namespace host
