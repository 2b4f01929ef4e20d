// The story of a run. Index: [helpers] [the officer] [the story] [formatting]
#include "host/record/story.h"
#include "host/record/json_fields.h"
#include "host/record/printf_text.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <iterator>

namespace host {
namespace {

constexpr double KNOTS_PER_MPS = 1.0 / 0.514444;

// [helpers] -------------------------------------------------------------------

// [the officer] -----------------------------------------------------------------
// The module's command events that are the officer's checks; "" for others.
std::string check_name(uint32_t id, double value)
{
    const int n = value >= 0.0 && value <= 9.0 ? static_cast<int>(value) : 0;
    switch (id) {
    case 0x11102: return "wave-off check";
    case 0x11104: return "call the ball";
    case 0x11105: return n ? printf_text("altitude check %d", n) : "altitude check";
    case 0x11106: return n ? printf_text("line-up check %d", n) : "line-up check";
    case 0x11107: return printf_text("wire report, wire %d", n);
    }
    return "";
}

constexpr std::string_view CHECK_IDS[] = {"\"id\":\"0x11102\"", "\"id\":\"0x11104\"", "\"id\":\"0x11105\"",
                                          "\"id\":\"0x11106\"", "\"id\":\"0x11107\""};

// The panel variables of the landing lights and what their changes mean.
struct Light {
    const char* variable;
    const char* on;
    const char* off;
};
constexpr Light LIGHTS[] = {
    {"WaveOffLight", "wave-off lights on", "wave-off lights off"},
    {"PowerLight", "power light on (too much angle of attack)", "power light off"},
    {"FLOLS_is_valid", "FLOLS valid: the meatball shows", "FLOLS no longer valid"},
    {"LaunchBar_State", "launch bar down", "launch bar up"},
};

// A check raised by the module, waiting for its call text in the same frame.
struct PendingCheck {
    bool open = false;
    double t = 0.0;
    int64_t frame = 0;
    std::string name;
    double range_nm = NAN;
    std::string call;
};

// Successive NAV set keys of one receiver within half a second: one tuning.
struct PendingTune {
    bool open = false;
    double t = 0.0;
    int64_t frame = 0;
    int receiver = 1;
    double mhz = NAN;
    bool by_module = false;
    int clicks = 0;
};

}  // namespace

double bcd_mhz(double raw)
{
    if (!(raw >= 0.0 && raw <= 0xFFFFF)) return NAN;
    double hundredths = 0.0, scale = 1.0;
    for (auto v = static_cast<uint32_t>(raw); v; v >>= 4, scale *= 10.0) {
        if ((v & 0xF) > 9) return NAN;
        hundredths += (v & 0xF) * scale;
    }
    return hundredths / 100.0;
}

bool story_wants_range(std::string_view kind, std::string_view line)
{
    if (kind != "key" || line.find("\"source\":\"module\"") == std::string_view::npos) return false;
    for (std::string_view id : CHECK_IDS)
        if (line.find(id) != std::string_view::npos) return true;
    return false;
}

void record_range(Timeline& copy, double t, int64_t frame, double range_nm)
{
    copy.set_clock(t, frame);
    copy.event("range").num("nm", range_nm);
}

std::string tacan_channel(double mhz)
{
    if (!(mhz >= 107.995 && mhz <= 117.955)) return "";
    const long hundredths = std::lround(mhz * 100.0);
    if (hundredths % 5 != 0) return "";
    const long tenths = hundredths / 10;
    const long channel = tenths <= 1122 ? tenths - 1063 : tenths - 1053;
    return printf_text("%ld%c", channel, hundredths % 10 == 5 ? 'Y' : 'X');
}

// [the story] -------------------------------------------------------------------
std::vector<StoryLine> story_lines(const Timeline& timeline)
{
    std::vector<StoryLine> out;
    auto say = [&](double t, std::string text) { out.push_back({t, std::move(text)}); };

    PendingCheck check;
    auto close_check = [&] {
        if (!check.open) return;
        std::string line = "officer";
        if (std::isfinite(check.range_nm)) line += printf_text(", %.2f nm from the deck", check.range_nm);
        line += ": " + check.name + (check.call.empty() ? ", no call" : ": \"" + check.call + "\"");
        say(check.t, std::move(line));
        check = PendingCheck{};
    };
    PendingTune tune;
    auto close_tune = [&] {
        if (!tune.open) return;
        const std::string channel = tacan_channel(tune.mhz);
        std::string line;
        if (tune.by_module) {
            line = "TACAN radio";
            if (tune.clicks > 0) line += printf_text(": %d knob click%s", tune.clicks, tune.clicks == 1 ? "" : "s");
            line += printf_text(", channel %s: NAV%d tuned to %.2f MHz", channel.empty() ? "?" : channel.c_str(),
                                tune.receiver, tune.mhz);
        } else {
            line = printf_text("NAV%d tuned to %.2f MHz", tune.receiver, tune.mhz);
            if (!channel.empty()) line += " (TACAN " + channel + ")";
        }
        say(tune.t, std::move(line));
        tune = PendingTune{};
    };

    double range_nm = NAN;
    double tcn_valid = 0.0;
    double light_state[std::size(LIGHTS)] = {};
    int64_t click_frame = -1;
    int clicks_in_frame = 0;
    double catapult_state = 0.0, stroke_start = NAN, last_command = NAN;

    for (const TimelineEvent& e : timeline.events()) {
        const auto& d = e.data;
        if (check.open && e.frame != check.frame) close_check();
        if (tune.open && e.t - tune.t > 0.5) close_tune();

        if (e.kind == "range") {
            range_nm = number_of(d, "nm");
        } else if (e.kind == "named") {
            const std::string name = text_of(d, "name");
            const double value = number_of(d, "value", 0.0);
            if (name == "ILS Slant Range") {
                range_nm = value;
            } else if (name == "TCN Valid" && value != tcn_valid) {
                tcn_valid = value;
                say(e.t, value != 0.0 ? "locked on: TCN Valid 1" : "TACAN lost: TCN Valid 0");
            }
        } else if (e.kind == "click") {
            if (text_of(d, "gauge") != "Radio_TACAN_ARN52B") continue;
            // The clicks of one scenario action and the tunings they make interleave.
            if (tune.open && tune.by_module && e.frame == tune.frame) {
                ++tune.clicks;
                continue;
            }
            if (e.frame != click_frame) clicks_in_frame = 0;
            click_frame = e.frame;
            ++clicks_in_frame;
        } else if (e.kind == "key") {
            const std::string name = text_of(d, "name");
            const bool by_module = text_of(d, "source") == "module";
            const double value = number_of(d, "value", 0.0);
            if (name == "NAV1_RADIO_SET" || name == "NAV2_RADIO_SET") {
                const int receiver = name[3] == '1' ? 1 : 2;
                if (tune.open && (tune.receiver != receiver || tune.by_module != by_module)) close_tune();
                if (!tune.open) {
                    tune.open = true;
                    tune.t = e.t;
                    tune.frame = e.frame;
                    tune.receiver = receiver;
                    tune.by_module = by_module;
                    tune.clicks = click_frame == e.frame ? clicks_in_frame : 0;
                }
                tune.mhz = bcd_mhz(value);
                continue;
            }
            const uint32_t id = static_cast<uint32_t>(std::strtoul(text_of(d, "id").c_str(), nullptr, 16));
            const std::string what = by_module ? check_name(id, value) : "";
            if (what.empty()) continue;
            close_check();
            check.open = true;
            check.t = e.t;
            check.frame = e.frame;
            check.name = what;
            check.range_nm = range_nm;
        } else if (e.kind == "text") {
            const std::string text = text_of(d, "text");
            if (text.find_first_not_of(' ') == std::string::npos) continue;
            if (check.open && check.call.empty()) {
                check.call = text;
            } else if (text.rfind("TACAN tuned on ", 0) == 0) {
                close_tune();
                say(e.t, text.find("-Lock on-") != std::string::npos ? "carrier tuned and locked: \"" + text + "\""
                                                                     : "carrier tuned, not yet locked: \"" + text + "\"");
            } else {
                say(e.t, "on the screen: \"" + text + "\"");
            }
        } else if (e.kind == "lvar") {
            const std::string name = text_of(d, "name");
            const double value = number_of(d, "value", 0.0);
            for (size_t i = 0; i < std::size(LIGHTS); ++i) {
                if (name != LIGHTS[i].variable || (value != 0.0) == (light_state[i] != 0.0)) continue;
                light_state[i] = value;
                say(e.t, value != 0.0 ? LIGHTS[i].on : LIGHTS[i].off);
            }
            if (name != "Catapult_State" || value == catapult_state) continue;
            if (value == 1.0) {
                say(e.t, "catapult: hold-back bar taken, waiting for the launch");
            } else if (value == 2.0) {
                stroke_start = e.t;
                say(e.t, "catapult fired: the stroke begins");
            } else if (value == 0.0 && catapult_state == 2.0) {
                std::string line = "end of the stroke";
                if (std::isfinite(last_command))
                    line += printf_text(": end speed %.1f kt (%.2f m/s over the ground)", last_command * KNOTS_PER_MPS,
                                        last_command);
                if (std::isfinite(stroke_start)) line += printf_text(", stroke time %.2f s", e.t - stroke_start);
                say(e.t, std::move(line));
            } else if (value == 0.0) {
                say(e.t, "catapult: launch given up");
            }
            catapult_state = value;
        } else if (e.kind == "simconnect") {
            if (text_of(d, "call") != "SimConnect_SetDataOnSimObject") continue;
            auto args = d.find("args");
            if (args == d.end() || number_of(*args, "define", -1.0) != 3.0) continue;
            auto values = args->find("values");
            if (values != args->end() && values->is_array() && !values->empty() && (*values)[0].is_number())
                last_command = (*values)[0].get<double>();
        } else if (e.kind == "flight") {
            const std::string what = text_of(d, "what");
            if (what == "approach")
                say(e.t, printf_text("on final, %.1f nm out at %.0f kt", number_of(d, "distance_nm"),
                                     number_of(d, "speed_kt")));
            else if (what == "touchdown")
                say(e.t, printf_text("touchdown %.0f m up the landing area from the %s, sinking %.1f m/s",
                                     number_of(d, "along_m"), d.contains("ashore") ? "threshold" : "ramp",
                                     number_of(d, "sink_mps")));
            else if (what == "wire")
                say(e.t, printf_text("wire %.0f caught at %.0f kt over the deck", number_of(d, "wire"),
                                     number_of(d, "engage_speed_mps") * KNOTS_PER_MPS));
            else if (what == "arrested")
                say(e.t, printf_text("stopped: %.0f m of run-out in %.1f s", number_of(d, "runout_m"),
                                     number_of(d, "runout_s")));
            else if (what == "stopped")
                say(e.t, printf_text("stopped on the runway: %.0f m of roll-out", number_of(d, "rollout_m")));
            else if (what == "off the runway")
                say(e.t, "off the runway");
            else if (what == "bolter")
                say(e.t, printf_text("bolter: no wire, off the angled deck at %.0f kt",
                                     number_of(d, "airspeed_mps") * KNOTS_PER_MPS));
            else if (what == "go around")
                say(e.t, "go-around: " + text_of(d, "why"));
            else if (what == "on catapult")
                say(e.t, printf_text("on catapult %.0f", number_of(d, "catapult")));
            else if (what == "airborne")
                say(e.t, printf_text("airborne off the deck: %.0f kt over the ground, %.0f kt airspeed",
                                     number_of(d, "ground_speed_mps") * KNOTS_PER_MPS,
                                     number_of(d, "airspeed_mps") * KNOTS_PER_MPS));
            else if (what == "in the sea")
                say(e.t, "in the sea");
        } else if (e.kind == "deck") {
            say(e.t, printf_text("airborne off the deck: %.0f kt over the ground",
                                 number_of(d, "ground_speed", 0.0) * KNOTS_PER_MPS));
        } else if (e.kind == "event") {
            say(e.t, "scenario: " + text_of(d, "name"));
        } else if (e.kind == "action_failed") {
            say(e.t, "action failed: " + text_of(d, "action") + ": " + text_of(d, "error"));
        }
    }
    close_check();
    close_tune();
    // Lines are made as their events close; a tuning closes after later events.
    std::stable_sort(out.begin(), out.end(), [](const StoryLine& a, const StoryLine& b) { return a.t < b.t; });
    return out;
}

// [formatting] ---------------------------------------------------------------------
std::string format_story(const std::vector<StoryLine>& lines)
{
    std::string out = "Story of the run (t in seconds):\n";
    for (const StoryLine& line : lines) out += printf_text("  %7.2f  ", line.t) + line.text + "\n";
    if (lines.empty()) out += "  nothing happened\n";
    return out;
}

}  // namespace host
