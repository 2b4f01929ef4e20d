// The story of a run, told from hand-made timelines: which moments make a
// line, how a check is paired with its call, how knob clicks and their
// tunings make one line, and the catapult's end speed and stroke time.
#include <gtest/gtest.h>

#include <cmath>

#include "host/record/story.h"

namespace {

using host::Timeline;

struct Recorder {
    Timeline timeline;
    void at(double t, const char* kind, const nlohmann::json& data)
    {
        timeline.set_clock(t, std::llround(t * 30.0));
        timeline.add(kind, data);
    }
    std::vector<std::string> texts() const
    {
        std::vector<std::string> out;
        for (const host::StoryLine& line : host::story_lines(timeline)) out.push_back(line.text);
        return out;
    }
};

nlohmann::json key(const char* id, double value, const char* source = "module")
{
    return {{"id", id}, {"source", source}, {"value", value}};
}
nlohmann::json lvar(const char* name, double value) { return {{"name", name}, {"value", value}}; }

TEST(Story, TacanChannelsOfPairedFrequencies)
{
    const std::pair<double, const char*> cases[] = {
        {108.00, "17X"}, {108.05, "17Y"}, {112.20, "59X"}, {112.25, "59Y"}, {112.30, "70X"},
        {112.70, "74X"}, {117.95, "126Y"}, {107.95, ""},   {118.00, ""},    {112.73, ""}, {NAN, ""},
    };
    for (const auto& [mhz, channel] : cases) EXPECT_EQ(host::tacan_channel(mhz), channel) << mhz;
}

TEST(Story, TheRangeIsWantedAtTheModulesChecksOnly)
{
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"key", R"({"kind":"key","id":"0x11104","source":"module","value":0})", true},
        {"key", R"({"kind":"key","id":"0x11107","source":"module","value":3})", true},
        {"key", R"({"kind":"key","id":"0x11102","source":"module","value":0})", true},
        {"key", R"({"kind":"key","id":"0x11104","source":"scenario","value":0})", false},
        {"key", R"({"kind":"key","id":"0x11103","source":"module","value":0})", false},
        {"key", R"({"kind":"key","id":"0x11101","source":"module","value":0})", false},
        {"text", R"({"kind":"text","text":"\"id\":\"0x11104\" \"source\":\"module\""})", false},
    };
    for (const auto& [kind, line, wanted] : cases) EXPECT_EQ(host::story_wants_range(kind, line), wanted) << line;
}

TEST(Story, EachCheckTakesTheCallOfItsOwnFrameAndTheRangeOfItsMoment)
{
    Recorder r;
    r.at(10.0, "named", {{"name", "ILS Slant Range"}, {"value", 0.9}});
    r.at(11.0, "range", {{"nm", 0.749}});
    r.at(11.0, "key", key("0x11104", 0));
    r.at(11.0, "text", {{"text", "LSO: Call the ball"}});
    r.at(11.0, "text", {{"text", "another text"}});  // the check has its call already
    r.at(12.0, "named", {{"name", "ILS Slant Range"}, {"value", 0.598}});
    r.at(12.0, "key", key("0x11105", 1));
    r.at(12.1, "text", {{"text", "later text"}});  // a frame later: not the check's call
    r.at(13.0, "key", key("0x11106", 2, "scenario"));  // raised by a scenario: not the officer
    r.at(14.0, "range", {{"nm", 0.01}});
    r.at(14.0, "key", key("0x11107", 3));
    r.at(14.0, "text", {{"text", "LSO: Three wire, nice"}});
    EXPECT_EQ(r.texts(), (std::vector<std::string>{
                             "on the screen: \"another text\"",
                             "officer, 0.75 nm from the deck: call the ball: \"LSO: Call the ball\"",
                             "officer, 0.60 nm from the deck: altitude check 1, no call",
                             "on the screen: \"later text\"",
                             "officer, 0.01 nm from the deck: wire report, wire 3: \"LSO: Three wire, nice\"",
                         }));
}

TEST(Story, KnobClicksAndTheirTuningsMakeOneLineAndLightsTellTheirChanges)
{
    Recorder r;
    const nlohmann::json click = {{"gauge", "Radio_TACAN_ARN52B"}, {"area", 5}};
    r.at(1.0, "click", click);
    r.at(1.0, "key", {{"name", "NAV1_RADIO_SET"}, {"source", "module"}, {"value", 0x11250}});
    r.at(1.0, "click", click);
    r.at(1.0, "key", {{"name", "NAV1_RADIO_SET"}, {"source", "module"}, {"value", 0x11270}});
    r.at(1.07, "text", {{"text", "TACAN tuned on CVN-68 Nimitz -Lock on-"}});
    r.at(1.07, "named", {{"name", "TCN Valid"}, {"value", 1.0}});
    r.at(2.0, "key", {{"name", "NAV2_RADIO_SET"}, {"source", "scenario"}, {"value", 0x11690}});
    r.at(2.6, "key", {{"name", "NAV2_RADIO_SET"}, {"source", "scenario"}, {"value", 0x10800}});  // a tuning of its own
    r.at(3.0, "lvar", lvar("PowerLight", 1));
    r.at(3.5, "lvar", lvar("PowerLight", 1));  // written again: still on
    r.at(4.0, "lvar", lvar("PowerLight", 0));
    r.at(5.0, "lvar", lvar("WaveOffLight", 1));
    r.at(6.0, "named", {{"name", "TCN Valid"}, {"value", 0.0}});
    EXPECT_EQ(r.texts(), (std::vector<std::string>{
                             "TACAN radio: 2 knob clicks, channel 74X: NAV1 tuned to 112.70 MHz",
                             "carrier tuned and locked: \"TACAN tuned on CVN-68 Nimitz -Lock on-\"",
                             "locked on: TCN Valid 1",
                             "NAV2 tuned to 116.90 MHz (TACAN 116X)",
                             "NAV2 tuned to 108.00 MHz (TACAN 17X)",
                             "power light on (too much angle of attack)",
                             "power light off",
                             "wave-off lights on",
                             "TACAN lost: TCN Valid 0",
                         }));
}

TEST(Story, TheLaunchTellsTheLastVelocityCommandAndTheStrokeTime)
{
    Recorder r;
    auto command = [&](double t, double mps) {
        r.at(t, "simconnect", {{"call", "SimConnect_SetDataOnSimObject"}, {"args", {{"define", 3}, {"values", {mps}}}}});
    };
    r.at(1.0, "lvar", lvar("Catapult_State", 1));
    r.at(2.0, "lvar", lvar("Catapult_State", 2));
    command(2.0, 10.0);
    command(3.0, 50.0);
    command(3.9, 70.0);
    r.at(3.9, "simconnect", {{"call", "SimConnect_SetDataOnSimObject"}, {"args", {{"define", 1}, {"values", {5.0}}}}});
    r.at(4.0, "lvar", lvar("Catapult_State", 0));
    r.at(4.5, "flight", {{"what", "airborne"}, {"ground_speed_mps", 70.0}, {"airspeed_mps", 77.0}});
    r.at(5.0, "lvar", lvar("Catapult_State", 1));
    r.at(6.0, "lvar", lvar("Catapult_State", 0));
    r.at(7.0, "flight", {{"what", "bolter"}, {"airspeed_mps", 60.0}});
    EXPECT_EQ(r.texts(), (std::vector<std::string>{
                             "catapult: hold-back bar taken, waiting for the launch",
                             "catapult fired: the stroke begins",
                             "end of the stroke: end speed 136.1 kt (70.00 m/s over the ground), stroke time 2.00 s",
                             "airborne off the deck: 136 kt over the ground, 150 kt airspeed",
                             "catapult: hold-back bar taken, waiting for the launch",
                             "catapult: launch given up",
                             "bolter: no wire, off the angled deck at 117 kt",
                         }));
    EXPECT_EQ(host::format_story({}), "Story of the run (t in seconds):\n  nothing happened\n");
}

}  // namespace
