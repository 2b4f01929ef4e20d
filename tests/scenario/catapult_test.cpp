// Catapult launches and deck services on the real module in the emulated host:
// an aircraft on the deck of a ship under way, the hold-back bar, the launch
// request, the delay on the process clock, the stroke and the take-off.
#include <algorithm>
#include <cmath>

#include "scenario_fixture.h"

using scenario_test::calls;
using scenario_test::find_event;
using scenario_test::PathRun;
using scenario_test::ScenarioRun;
using scenario_test::TempRoot;

namespace {

constexpr double KNOT = 0.514444;  // the launch model's knot

// The world of the launch tests: the ship making `ship_kt`, the aircraft on
// its bow catapult with the launch bar at 50 % (not down), both blast
// deflectors 1 and 3 raised, the TACAN not yet tuned.
std::string deck_world(const std::string& ship_kt, const std::string& extra = "")
{
    return R"(
<panel><gauge name="Tacan_Navigation" parameters="NAV1"/><gauge name="CustomCatapult"/></panel>
<world>
  <container title="SH-60 Seahawk Plane Guard"/>
  <boat title="Carrier Nimitz CVN-68" latitude="36.8" longitude="-75.4" heading="90" speed=")" +
           ship_kt + R"("/>
  <set var="BLAST SHIELD POSITION:1" unit="percent" value="100" object="Carrier Nimitz CVN-68"/>
  <set var="BLAST SHIELD POSITION:3" unit="percent" value="100" object="Carrier Nimitz CVN-68"/>
  <set var="ENGINE TYPE" unit="enum" value="1"/>
  <set var="TOTAL WEIGHT" unit="kilogram" value="15000"/>
  <set var="MAX GROSS WEIGHT" unit="kilogram" value="23000"/>
  <set var="DESIGN SPEED VS0" unit="knots" value="120"/>
  <set var="AMBIENT WIND Z" unit="knots" value="20"/>
  <aircraft altitude="62" on_ground="1"/>
  <deck ship="Carrier Nimitz CVN-68" x="0" z="95"/>
  <set var="LAUNCHBAR POSITION" unit="percent" value="50"/>
  <set var="ENG1 N1 RPM" unit="percent" value="85"/>
)" + extra + "</world>\n";
}

// The values a panel variable took, with their times.
std::vector<std::pair<double, double>> lvar(const host::Timeline& timeline, const std::string& name)
{
    std::vector<std::pair<double, double>> out;
    for (const auto* e : timeline.of_kind("lvar"))
        if (e->data.value("name", "") == name) out.emplace_back(e->t, e->data.value("value", 0.0));
    return out;
}

double first_time(const std::vector<std::pair<double, double>>& values, double value, double after = -1.0)
{
    for (const auto& [t, v] : values)
        if (v == value && t > after) return t;
    return -1.0;
}

// Every forward body velocity the module wrote, (time, m/s).
std::vector<std::pair<double, double>> forward_commands(const host::Timeline& timeline, int define = 3)
{
    std::vector<std::pair<double, double>> out;
    for (const auto* e : calls(timeline, "SimConnect_SetDataOnSimObject"))
        if (e->data["args"]["define"] == define) out.emplace_back(e->t, e->data["args"]["values"][0].get<double>());
    return out;
}

std::vector<std::string> texts(const host::Timeline& timeline)
{
    std::vector<std::string> out;
    for (const auto* e : timeline.of_kind("text")) out.push_back(e->data.value("text", ""));
    return out;
}

}  // namespace

TEST(CatapultLaunch, AWholeLaunchFromAShipUnderWayFollowsTheModelAndLeavesTheDeckAtTheEndSpeedOverTheGround)
{
    TempRoot root;
    // 15 m/s exactly; frames of 100 ms so that the process clock is exact.
    PathRun run(root.scenario(deck_world("29.157667386609071") + R"(
<run rate="10" end="10">
  <event time="0.3"><set var="HOLDBACK BAR INSTALLED" unit="bool" value="1"/></event>
  <event time="0.6"><set var="LAUNCHBAR POSITION" unit="percent" value="50.1"/></event>
  <event time="1.0"><key event="NAV1_RADIO_SET" value="0x11270"/></event>
  <event time="2.0"><input definition="joystick:0:button:3" value="1"/></event>
  <event time="2.4"><set var="ENG1 N1 RPM" unit="percent" value="86"/></event>
  <event time="2.5"><input definition="joystick:0:button:3" value="1"/></event>
  <event time="3.0"><input definition="joystick:0:button:3" value="1"/></event>
</run>)"));
    ASSERT_TRUE(run.result.ok) << run.error << run.result.error;
    const host::Timeline& tl = run.timeline();

    // The hold-back bar gives state 1; a launch bar at exactly 50 % is not down, at 50.1 % it is.
    const auto state = lvar(tl, "Catapult_State");
    ASSERT_GE(state.size(), 3u);
    EXPECT_NEAR(state[0].first, 0.3, 1e-9);
    EXPECT_EQ(state[0].second, 1.0);
    const auto bar = lvar(tl, "LaunchBar_State");
    ASSERT_EQ(bar.size(), 1u);
    EXPECT_NEAR(bar[0].first, 0.6, 1e-9);
    EXPECT_EQ(bar[0].second, 1.0);

    // Steam: all four 0 on every update while the TACAN is not valid, then the
    // first raised deflector (1, not 3) once the ship is locked on.
    const auto steam1 = lvar(tl, "Cat_1_Steam");
    const double lock = first_time(steam1, 1.0);
    ASSERT_GT(lock, 1.0);
    int cleared_before_lock = 0;
    for (const auto& [t, v] : steam1) cleared_before_lock += t < lock && v == 0.0;
    EXPECT_GE(cleared_before_lock, 6);  // 0.3 s .. 1.0 s at 10 updates a second
    EXPECT_EQ(first_time(lvar(tl, "Cat_3_Steam"), 1.0), -1.0);
    for (const char* cat : {"Cat_2_Steam", "Cat_3_Steam", "Cat_4_Steam"}) {
        const auto values = lvar(tl, cat);
        EXPECT_GE(values.size(), 6u) << cat;
    }

    // N1 equal to the 85 % of a jet: no answer; one percent more: red for 2 s.
    // The third request, while armed, is not accepted.
    const auto shown = tl.of_kind("text");
    std::vector<const host::TimelineEvent*> ok;
    for (const auto* e : shown)
        if (e->data["text"] == "OK for Launch!") ok.push_back(e);
    ASSERT_EQ(ok.size(), 1u);
    EXPECT_NEAR(ok[0]->t, 2.5, 1e-9);
    EXPECT_EQ(ok[0]->data["color"], "red");
    EXPECT_EQ(ok[0]->data["seconds"], 2.0);

    // The delay on the process clock: armed at 2.5 s, the update at 4.5 s
    // (exactly 2 s) waits, the one at 4.6 s starts the stroke.
    const double armed = first_time(lvar(tl, "ReadyCatapult"), 1.0);
    EXPECT_NEAR(armed, 2.5, 1e-9);
    const double stroke = first_time(state, 2.0);
    EXPECT_NEAR(stroke, 4.6, 1e-9);
    for (const char* name : {"0x10512", "0x1053C", "0x10514"}) {
        const long k = find_event(tl, "key", "id", name);
        ASSERT_GE(k, 0) << name;
        EXPECT_NEAR(tl.events()[k].t, stroke, 1e-9) << name;
        EXPECT_EQ(tl.events()[k].data["value"], name == std::string("0x1053C") ? 0 : 1) << name;
    }

    // The stroke: v = a t + v0 with v0 the ship's 15 m/s and a from the end
    // speed of (1.5 x 120 kt x sqrt(15/23) + 15 kt - 20 kt) x 0.514444 over 90 m.
    const double end = (1.5 * 120.0 * std::sqrt(15000.0 / 23000.0) + 15.0 - 20.0) * KNOT;
    const double v0 = 15.0;
    const double a = ((end - v0) * v0 + 0.5 * (end - v0) * (end - v0)) / 90.0;
    const auto commands = forward_commands(tl);
    ASSERT_GE(commands.size(), 10u);
    // Two commands in the update that starts the stroke, then one per update.
    EXPECT_NEAR(commands[0].first, stroke, 1e-9);
    EXPECT_NEAR(commands[1].first, stroke, 1e-9);
    for (size_t i = 0; i < commands.size(); ++i) {
        const auto& [t, speed] = commands[i];
        if (i >= 2) {
            EXPECT_NEAR(t - commands[i - 1].first, 0.1, 1e-9) << i;
        }
        EXPECT_NEAR(speed, a * (t - stroke) + v0, 1e-6) << "command " << i << " at " << t;  // ms-exact clock
        EXPECT_LT(speed, end);
    }
    // The cross speed: the ship's velocity across the aligned aircraft's axis, 0.
    for (const auto& [t, speed] : forward_commands(tl, 4)) EXPECT_NEAR(speed, 0.0, 1e-9);

    // The end: the first update whose speed reaches the end speed.
    const double ended = first_time(state, 0.0, stroke);
    ASSERT_GT(ended, stroke);
    EXPECT_NEAR(ended, commands.back().first + 0.1, 1e-9);
    EXPECT_GE(a * (ended - stroke) + v0, end);
    for (const char* name : {"ReadyCatapult", "G_Catapult", "Catapult_State", "Cat_1_Steam", "Cat_2_Steam",
                             "Cat_3_Steam", "Cat_4_Steam"})
        EXPECT_EQ(run.host->panel_variable(name), 0.0) << name;
    // The freeze raised with 1 at the stroke start is released with 0 at the end.
    std::vector<std::pair<double, int>> freeze;
    for (const auto* e : tl.of_kind("key"))
        if (e->data["id"] == "0x10512") freeze.emplace_back(e->t, e->data["value"].get<int>());
    ASSERT_EQ(freeze.size(), 2u);
    EXPECT_EQ(freeze[1].second, 0);
    EXPECT_NEAR(freeze[1].first, ended, 1e-9);
    // Launch_Percent keeps its last value: the distance run over the deck.
    EXPECT_GT(run.host->named_variable("Launch_Percent"), 30.0);
    EXPECT_EQ(run.host->named_variable("Launch_Lenght"), 90.0);

    // Off the bow at the end speed over the ground (within one update's
    // acceleration), not at the end speed plus the ship's 15 m/s.
    const auto left = tl.of_kind("deck");
    ASSERT_EQ(left.size(), 1u);
    const double ground = left[0]->data["ground_speed"].get<double>();
    EXPECT_NEAR(ground, commands.back().second, 1e-9);
    EXPECT_NEAR(ground, end, a * 0.1);
    EXPECT_GT(std::fabs(ground - (end + v0)), 10.0);
    EXPECT_NEAR(left[0]->data["deck_speed"].get<double>(), ground - v0, 1e-6);
    EXPECT_EQ(host::World::get(run.host->world().user(), *host::find_sim_var("SIM ON GROUND")), 0.0);
    // One launch only: the hold-back bar parted, the catapult stays idle.
    EXPECT_EQ(state.back().second, 0.0);
}

TEST(CatapultLaunch, RemovingTheHoldBackBarDuringTheDelayAbortsAndAStrokeOfNoLengthIsRefused)
{
    for (const bool zero_length : {false, true}) {
        TempRoot root;
        if (zero_length) root.patch("ZEB_Parameters.xml", "Catapult_Lenght=\"90\"", "Catapult_Lenght=\"0\"");
        const std::string removal =
            zero_length ? "" : R"(<event time="2.5"><set var="HOLDBACK BAR INSTALLED" unit="bool" value="0"/></event>)";
        PathRun run(root.scenario(deck_world("0", R"(<set var="HOLDBACK BAR INSTALLED" unit="bool" value="1"/>
  <set var="ENG1 N1 RPM" unit="percent" value="90"/>)") + R"(
<run rate="10" end="6">
  <event time="1.0"><key event="NAV1_RADIO_SET" value="0x11270"/></event>
  <event time="1.5"><input definition="joystick:0:button:3" value="1"/></event>
  )" + removal + R"(
</run>)"));
        ASSERT_TRUE(run.result.ok) << run.error << run.result.error;
        const host::Timeline& tl = run.timeline();
        const auto state = lvar(tl, "Catapult_State");
        const double armed = first_time(lvar(tl, "ReadyCatapult"), 1.0);
        EXPECT_NEAR(armed, 1.5, 1e-9);
        // Aborted 1 s into the delay, or refused when the stroke would start.
        const double ended = first_time(state, 0.0, armed);
        EXPECT_NEAR(ended, zero_length ? 3.6 : 2.5, 1e-9) << zero_length;
        EXPECT_EQ(first_time(state, 2.0), -1.0);
        EXPECT_TRUE(forward_commands(tl).empty());  // nothing written to the velocities
        EXPECT_FALSE(run.host->has_named_variable("Launch_Lenght"));
        // Every catapult variable 0 after the end (a hold-back bar still
        // installed brings state 1 and the steam back on the next update).
        for (const char* name : {"ReadyCatapult", "G_Catapult", "Cat_1_Steam", "Catapult_State"}) {
            double last = -1.0;
            for (const auto& [t, v] : lvar(tl, name))
                if (t <= ended + 1e-9) last = v;
            EXPECT_EQ(last, 0.0) << name;
        }
        const long freeze = find_event(tl, "key", "id", "0x10512");
        ASSERT_GE(freeze, 0);
        EXPECT_EQ(tl.events()[freeze].data["value"], 0);
    }
}

TEST(CatapultLaunch, TheEndSpeedTakesTheWindAndTheMarginOffTheLaunchSpeed)
{
    // 1.5 x 93.33 kt x sqrt(1) = 140 kt; margin 10 kt; wind 20 kt along the
    // axis: 130 kt x 0.514444 = 66.87772 m/s. From rest the stroke's
    // acceleration is end^2 / 2L, so the end speed is sqrt(2 a L).
    TempRoot root;
    root.patch("ZEB_Parameters.xml", "Speed_Margin=\"15\"", "Speed_Margin=\"10\"");
    PathRun run(root.scenario(deck_world("0", R"(<set var="HOLDBACK BAR INSTALLED" unit="bool" value="1"/>
  <set var="ENG1 N1 RPM" unit="percent" value="90"/>
  <set var="MAX GROSS WEIGHT" unit="kilogram" value="15000"/>
  <set var="DESIGN SPEED VS0" unit="knots" value="93.333333333333333"/>)") + R"(
<run rate="10" end="8">
  <event time="1.0"><key event="NAV1_RADIO_SET" value="0x11270"/></event>
  <event time="1.5"><input definition="joystick:0:button:3" value="1"/></event>
</run>)"));
    ASSERT_TRUE(run.result.ok) << run.error << run.result.error;
    const auto commands = forward_commands(run.timeline());
    ASSERT_GE(commands.size(), 3u);
    EXPECT_NEAR(commands[0].second, 0.0, 1e-9);
    const double a = (commands[2].second - commands[1].second) / (commands[2].first - commands[1].first);
    EXPECT_NEAR(std::sqrt(2.0 * a * 90.0), 66.87772, 1e-6);
}

TEST(DeckServices, RefuellingIsAllowedOnlyStandingOnTheGroundWithTheBrakeSetAndARefusedWriteSaysSo)
{
    TempRoot root;
    PathRun run(root.scenario(R"(
<world>
  <set var="SIM ON GROUND" unit="bool" value="1"/>
  <set var="BRAKE PARKING INDICATOR" unit="bool" value="1"/>
  <set var="SURFACE RELATIVE GROUND SPEED" unit="meters per second" value="0.1"/>
</world>
<run rate="10" end="5">
  <event time="0.5"><input definition="Shift+R"/></event>
  <event time="1.0"><set var="SURFACE RELATIVE GROUND SPEED" unit="meters per second" value="0.11"/>
                    <input definition="Shift+R"/></event>
  <event time="1.5"><set var="SURFACE RELATIVE GROUND SPEED" unit="meters per second" value="0"/>
                    <set var="BRAKE PARKING INDICATOR" unit="bool" value="0"/>
                    <input definition="Shift+R"/></event>
  <event time="2.0"><set var="BRAKE PARKING INDICATOR" unit="bool" value="1"/>
                    <set var="SIM ON GROUND" unit="bool" value="0"/></event>
  <event time="2.2"><input definition="Shift+R"/></event>
  <event time="2.5"><set var="SIM ON GROUND" unit="bool" value="1"/></event>
  <event time="2.7"><fail call="SimConnect_SetDataOnSimObject"/><input definition="Shift+R"/></event>
  <event time="3.0"><input definition="Shift+T"/></event>
  <event time="3.5"><input definition="Shift+T"/></event>
  <event time="4.0"><input definition="Shift+T"/></event>
</run>)"));
    ASSERT_TRUE(run.result.ok) << run.error << run.result.error;
    const host::Timeline& tl = run.timeline();
    const std::vector<std::string> expected = {
        "Refuelling is done!",       "Refuelling can't be done!", "Refuelling can't be done!",
        "Refuelling can't be done!", "Refuelling can't be done!", "Animation is toggled!",
        "Animation is toggled!",     "Animation is toggled!"};
    EXPECT_EQ(texts(tl), expected);

    // Two writes were made (the allowed one and the refused one); all eleven
    // tanks at 99.9 in the first, readable afterwards.
    const auto writes = calls(tl, "SimConnect_SetDataOnSimObject");
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0]->data["args"]["define"], 6);
    EXPECT_EQ(writes[0]->data["args"]["values"].size(), 11u);
    for (const auto& v : writes[0]->data["args"]["values"]) EXPECT_DOUBLE_EQ(v.get<double>(), 99.9);
    EXPECT_NE(writes[1]->data["result"], 0);
    double level = 0.0;
    run.host->execute_calculator("(A:FUEL TANK EXTERNAL2 LEVEL, percent)", &level, nullptr, nullptr);
    EXPECT_DOUBLE_EQ(level, 99.9);

    // Each toggle flips the animation switch.
    const auto toggles = lvar(tl, "ZEB_Command1");
    ASSERT_EQ(toggles.size(), 3u);
    EXPECT_EQ(toggles[0].second, 1.0);
    EXPECT_EQ(toggles[1].second, 0.0);
    EXPECT_EQ(toggles[2].second, 1.0);
}

TEST(CatapultScenario, TheBundledCatapultScenarioLaunchesTheAircraft)
{
    ScenarioRun run("scenarios/catapult.xml");
    ASSERT_TRUE(run.error.empty()) << run.error;
    ASSERT_TRUE(run.result.ok) << run.result.error;
    const host::Timeline& tl = run.timeline();
    const auto shown = texts(tl);
    EXPECT_NE(std::find(shown.begin(), shown.end(), "OK for Launch!"), shown.end());
    EXPECT_NE(std::find(shown.begin(), shown.end(), "Refuelling is done!"), shown.end());
    std::vector<double> states;
    for (const auto& [t, v] : lvar(tl, "Catapult_State")) states.push_back(v);
    EXPECT_EQ(states, (std::vector<double>{1.0, 2.0, 0.0}));
    EXPECT_TRUE(run.host->has_named_variable("Launch_Percent"));
    EXPECT_GT(run.host->named_variable("Launch_Percent"), 0.0);
    EXPECT_EQ(tl.of_kind("deck").size(), 1u);
}
