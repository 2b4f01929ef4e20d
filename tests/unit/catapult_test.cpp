// The launch model and the catapult gauge against recording fakes: the panel
// services (expressions, key events, named variables), a process clock the
// test sets and a sound library that records its calls.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "catapult/catapult.h"
#include "fake_panels.h"
#include "module/gauge_registry.h"
#include "host/process_services.h"
#include "sim/command_events.h"
#include "state/module_state.h"

namespace {

const char* const LAUNCH_SPEED =
    "(A:TOTAL WEIGHT,kilogram) (A:MAX GROSS WEIGHT, kilogram) / sqrt (A:DESIGN SPEED VS0, knots) * 1.5 *";
const char* const DECK_SPEED = "(A:SURFACE RELATIVE GROUND SPEED, meters per second)";
const char* const LAUNCH_BAR = "(A:LAUNCHBAR POSITION, percent) 50 > if{ 1 } els{ 0 }";
const char* const HOLD_BACK = "(A:HOLDBACK BAR INSTALLED,bool)";

// The sound library's calls, as "30 Gauges/cat.wav 0", "28 7", "33 7 0" ...
std::vector<std::string> soundCalls;
int32_t soundQueryAnswer = 0;
int32_t soundLoadAnswer = 7;

int32_t sound_query(int32_t sound)
{
    soundCalls.push_back("28 " + std::to_string(sound));
    return soundQueryAnswer;
}
int32_t sound_group() { return 1; }
int32_t sound_load(const char* path, int32_t group)
{
    soundCalls.push_back("30 " + std::string(path) + " " + std::to_string(group));
    return soundLoadAnswer;
}
void sound_play(int32_t sound, int32_t value)
{
    soundCalls.push_back("33 " + std::to_string(sound) + " " + std::to_string(value));
}
void sound_restart(int32_t sound, int32_t value)
{
    soundCalls.push_back("48 " + std::to_string(sound) + " " + std::to_string(value));
}
void sound_release(int32_t sound) { soundCalls.push_back("50 " + std::to_string(sound)); }
const SoundLibrary recordingLibrary = {sound_query, sound_group, sound_load, sound_play, sound_restart, sound_release};

void reset_launch_state()
{
    launchPhase = 0;
    launchArmed = 0;
    launchRequested = 0;
    launchBarDown = 0;
    activeCatapult = 0;
    launchStartClock = 0;
    armedClock = 0;
    launchTime = 0.0;
    launchPercent = 0.0;
    launchEndSpeed = 0.0;
    launchStartSpeed = 0.0;
    launchAcceleration = 0.0;
    catapultTargetSpeed = 0.0;
    catapultCrossSpeed = 0.0;
    catapultSound = 0;
}

class CatapultTest : public ::testing::Test {
protected:
    FakePanels panels;
    uint32_t clock_ms = 100000;
    host::ProcessHooks hooks;

    void SetUp() override
    {
        moduleState = get_or_create_module_state();
        if (!moduleState->carrier) create_state_records(moduleState);
        savedCarrier = *moduleState->carrier;
        savedUser = *moduleState->userAircraft;
        savedCatapult = *moduleState->catapult;
        savedSolution = approachSolution;
        reset_launch_state();
        CarrierEntry& carrier = *moduleState->carrier;
        carrier.blastDeflector1 = carrier.blastDeflector2 = carrier.blastDeflector3 = carrier.blastDeflector4 = 0.0;
        soundCalls.clear();
        soundQueryAnswer = 0;
        soundLoadAnswer = 7;
        hooks.clock_ms = [this] { return clock_ms; };
        hooks.sound_library = [] { return &recordingLibrary; };
        host::set_process_hooks(&hooks);

        CatapultParameters& p = *moduleState->catapult;
        p.Speed_Margin = 15.0;
        p.Catapult_Lenght = 90.0;
        p.Launch_Delay = 2.0;
        p.Catapult_sound_file = "Gauges/cat.wav";
        approachSolution.tcnValid = 1;
        moduleState->userAircraft->simOnGround = 1;
    }
    void TearDown() override
    {
        host::set_process_hooks(nullptr);
        *moduleState->carrier = savedCarrier;
        *moduleState->userAircraft = savedUser;
        *moduleState->catapult = savedCatapult;
        approachSolution = savedSolution;
        reset_launch_state();
    }

    // The expressions executed from `from` on, without the four queries the
    // update always makes.
    std::vector<std::string> actions(size_t from = 0) const
    {
        std::vector<std::string> out;
        for (size_t i = from; i < panels.executed.size(); ++i) {
            const std::string& e = panels.executed[i];
            if (e != LAUNCH_BAR && e != HOLD_BACK && e != DECK_SPEED && e != LAUNCH_SPEED) out.push_back(e);
        }
        return out;
    }
    std::vector<std::pair<uint32_t, uint32_t>> keys(size_t from = 0) const
    {
        std::vector<std::pair<uint32_t, uint32_t>> out;
        for (size_t i = from; i < panels.keyEvents.size(); ++i)
            out.emplace_back(panels.keyEvents[i].id, panels.keyEvents[i].value);
        return out;
    }
    double named(const std::string& name) const
    {
        const auto id = panels.namedIds.find(name);
        if (id == panels.namedIds.end()) return NAN;
        double value = NAN;
        for (const auto& [set_id, v] : panels.namedSets)
            if (set_id == id->second) value = v;
        return value;
    }

    // Hold-back installed, the launch requested and accepted, at `clock_ms`.
    void arm()
    {
        panels.results[HOLD_BACK] = 1;
        catapult_gauge_update();
        launchRequested = 1;
        catapult_gauge_update();
        ASSERT_EQ(launchArmed, 1);
    }

    CarrierEntry savedCarrier;
    UserAircraftData savedUser{};
    CatapultParameters savedCatapult;
    ApproachSolution savedSolution{};
};

const std::vector<std::string> STEAM_OFF = {"0 (>L:Cat_1_Steam, bool)", "0 (>L:Cat_2_Steam, bool)",
                                            "0 (>L:Cat_3_Steam, bool)", "0 (>L:Cat_4_Steam, bool)"};

}  // namespace

TEST_F(CatapultTest, SteamSetsOnlyTheChosenCatapultAndZeroClearsAllFourInOrder)
{
    catapult_set_steam(1);
    catapult_set_steam(2);
    catapult_set_steam(7);
    catapult_set_steam(-1);
    EXPECT_EQ(panels.executed, (std::vector<std::string>{"1 (>L:Cat_1_Steam, bool)", "1 (>L:Cat_2_Steam, bool)"}));
    panels.executed.clear();
    catapult_set_steam(4);
    catapult_set_steam(3);
    catapult_set_steam(0);
    std::vector<std::string> expected = {"1 (>L:Cat_4_Steam, bool)", "1 (>L:Cat_3_Steam, bool)"};
    expected.insert(expected.end(), STEAM_OFF.begin(), STEAM_OFF.end());
    EXPECT_EQ(panels.executed, expected);
}

TEST_F(CatapultTest, EndSpeedComesFromTheLaunchSpeedMarginAndWindWithTheExactKnotFactor)
{
    struct Case {
        double launch_kt;  // what the calculator yields; NAN: nothing
        double margin_kt, wind_kt, expected_mps;
    };
    const Case cases[] = {
        {140.0, 10.0, 20.0, 66.87772},           // 130 x 0.514444
        {NAN, 15.0, 5.0, 10.0 * 0.514444},       // no result: a launch speed of 0
        {150.0, 0.0, -10.0, 160.0 * 0.514444},   // a tail wind adds
    };
    for (const Case& c : cases) {
        if (std::isnan(c.launch_kt)) panels.results.erase(LAUNCH_SPEED);
        else panels.results[LAUNCH_SPEED] = c.launch_kt;
        moduleState->catapult->Speed_Margin = c.margin_kt;
        moduleState->userAircraft->ambientWindZ = c.wind_kt;
        catapult_begin_launch();
        EXPECT_DOUBLE_EQ(launchEndSpeed, c.expected_mps) << c.launch_kt;
    }
    EXPECT_EQ(panels.executed.front(), LAUNCH_SPEED);
}

TEST_F(CatapultTest, TheStrokeAcceleratesConstantlyFromTheStartSpeedAndTracksProgressOverTheDeck)
{
    // Start 0, end 70 m/s, 100 m: 24.5 m/s^2; 49 m/s after 2 s.
    panels.results[LAUNCH_SPEED] = 70.0 / 0.514444;
    moduleState->catapult->Speed_Margin = 0.0;
    moduleState->catapult->Catapult_Lenght = 100.0;
    moduleState->userAircraft->ambientWindZ = 0.0;
    moduleState->userAircraft->groundVelocity = 0.0;
    launchPercent = 55.0;  // left from an earlier launch: reset by the start
    catapult_begin_launch();
    EXPECT_NEAR(launchAcceleration, 24.5, 1e-9);
    EXPECT_EQ(launchPercent, 0.0);
    EXPECT_EQ(named("Launch_Lenght"), 100.0);
    EXPECT_EQ(launchStartClock, clock_ms);

    launchTime = 0.0;
    panels.results[DECK_SPEED] = 10.0;
    clock_ms += 1000;
    EXPECT_NEAR(catapult_launch_progress(), 24.5, 1e-9);
    EXPECT_NEAR(named("Launch_Percent"), 10.0, 1e-9);  // 1 s x 10 m/s over 100 m
    clock_ms += 1000;
    panels.results[DECK_SPEED] = 30.0;
    EXPECT_NEAR(catapult_launch_progress(), 49.0, 1e-9);
    EXPECT_NEAR(launchPercent, 40.0, 1e-9);
    EXPECT_DOUBLE_EQ(launchTime, 2.0);

    // A ship making 15 m/s: the start speed is the ground velocity and the
    // acceleration takes it to the end speed over the stroke: v1^2 - v0^2 = 2aL.
    moduleState->userAircraft->groundVelocity = 15.0;
    catapult_begin_launch();
    EXPECT_NEAR(70.0 * 70.0 - 15.0 * 15.0, 2.0 * launchAcceleration * 100.0, 1e-6);
    EXPECT_EQ(launchStartSpeed, 15.0);
}

TEST_F(CatapultTest, CrossSpeedIsTheShipsVelocityAcrossTheAircraftsAxisAndAZeroStrokeKeepsProgressAtZero)
{
    CarrierEntry& carrier = *moduleState->carrier;
    carrier.deckSpeed = 15.0;
    carrier.deckHeading = 1.2;
    moduleState->userAircraft->planeHeadingTrue = 1.2;
    catapult_launch_progress();
    EXPECT_EQ(catapultCrossSpeed, 0.0);
    moduleState->userAircraft->planeHeadingTrue = 1.2 - 0.157;  // an angled catapult, 9 deg to port
    catapult_launch_progress();
    EXPECT_NEAR(catapultCrossSpeed, std::sin(0.157) * 15.0, 1e-12);

    moduleState->catapult->Catapult_Lenght = 0.0;
    panels.results[DECK_SPEED] = 20.0;
    launchPercent = 30.0;
    clock_ms += 500;
    catapult_launch_progress();
    EXPECT_EQ(launchPercent, 0.0);
    EXPECT_EQ(named("Launch_Percent"), 0.0);
}

TEST_F(CatapultTest, EndingReleasesTheFreezeClearsThePanelVariablesAndTheStateButNotTheLastPercent)
{
    launchPhase = 2, launchArmed = 1, launchRequested = 1, activeCatapult = 3;
    launchStartSpeed = 15, launchEndSpeed = 70, launchAcceleration = 24, catapultTargetSpeed = 50;
    catapultCrossSpeed = 2, launchPercent = 80, launchTime = 2.5, catapultSound = 7;
    const size_t named_before = panels.namedSets.size();
    catapult_end_launch();
    EXPECT_EQ(keys(), (std::vector<std::pair<uint32_t, uint32_t>>{{0x10512, 0}}));
    std::vector<std::string> expected = {
        "0 (>K:FREEZE_ATTITUDE_SET)",
        "0 (>L:ReadyCatapult, bool) 0 (>L:G_Catapult, bool) 0 (>L:Catapult_State,enum)"};
    expected.insert(expected.end(), STEAM_OFF.begin(), STEAM_OFF.end());
    EXPECT_EQ(panels.executed, expected);
    for (double v : {launchStartSpeed, launchEndSpeed, launchAcceleration, catapultTargetSpeed, catapultCrossSpeed,
                     launchPercent})
        EXPECT_EQ(v, 0.0);
    EXPECT_EQ(launchPhase, 0);
    EXPECT_EQ(launchArmed, 0);
    EXPECT_EQ(launchRequested, 0);
    EXPECT_EQ(activeCatapult, 0);
    EXPECT_EQ(panels.namedSets.size(), named_before);  // Launch_Percent not published again
    EXPECT_EQ(launchTime, 2.5);                        // kept for the next launch
    EXPECT_EQ(catapultSound, 7);                       // kept for the module's life
}

TEST_F(CatapultTest, TheLaunchBarIsPublishedOnlyWhenItChanges)
{
    const std::pair<double, std::vector<std::string>> steps[] = {
        {0, {}},
        {1, {"1 (>L:LaunchBar_State,Bool)"}},
        {1, {}},
        {0, {"0 (>L:LaunchBar_State,Bool)"}},
        {0, {}},
    };
    for (const auto& [bar, expected] : steps) {
        const size_t from = panels.executed.size();
        panels.results[LAUNCH_BAR] = bar;
        catapult_gauge_update();
        EXPECT_EQ(panels.executed[from], LAUNCH_BAR);
        EXPECT_EQ(actions(from), expected) << bar;
    }
    EXPECT_EQ(launchPhase, 0);  // the launch bar alone starts nothing
}

TEST_F(CatapultTest, SteamFollowsTheFirstRaisedDeflectorOnlyWhileTheTacanIsValid)
{
    CarrierEntry& carrier = *moduleState->carrier;
    panels.results[HOLD_BACK] = 1;
    approachSolution.tcnValid = 0;
    carrier.blastDeflector1 = 100;
    size_t from = panels.executed.size();
    catapult_gauge_update();
    std::vector<std::string> expected = {"1 (>L:Catapult_State,enum)"};
    expected.insert(expected.end(), STEAM_OFF.begin(), STEAM_OFF.end());
    EXPECT_EQ(actions(from), expected);
    EXPECT_EQ(launchPhase, 1);
    from = panels.executed.size();
    catapult_gauge_update();  // state 1 is published once, the steam on every update
    EXPECT_EQ(actions(from), STEAM_OFF);

    approachSolution.tcnValid = 1;
    const struct {
        double d1, d2, d3, d4;
        int32_t active;
    } cases[] = {{100, 0, 100, 0, 1}, {0, 0, 40, 100, 3}, {0, 0.5, 0, 0, 2}, {0, 0, 0, 1, 4}, {0, -5, 0, 0, 0}};
    for (const auto& c : cases) {
        carrier.blastDeflector1 = c.d1, carrier.blastDeflector2 = c.d2;
        carrier.blastDeflector3 = c.d3, carrier.blastDeflector4 = c.d4;
        from = panels.executed.size();
        catapult_gauge_update();
        EXPECT_EQ(activeCatapult, c.active);
        const std::vector<std::string> steam =
            c.active == 0 ? STEAM_OFF : std::vector<std::string>{"1 (>L:Cat_" + std::to_string(c.active) + "_Steam, bool)"};
        EXPECT_EQ(actions(from), steam);
    }

    // The hold-back bar removed while not armed: still state 1.
    panels.results[HOLD_BACK] = 0;
    catapult_gauge_update();
    EXPECT_EQ(launchPhase, 1);
}

TEST_F(CatapultTest, ALaunchRequestArmsLoadsTheSoundOnceAndWaitsStrictlyForTheDelay)
{
    arm();
    EXPECT_EQ(launchRequested, 0);
    EXPECT_EQ(armedClock, clock_ms);
    EXPECT_EQ(soundCalls, (std::vector<std::string>{"30 Gauges/cat.wav 0"}));
    EXPECT_EQ(catapultSound, 7);
    const std::vector<std::string> tail(panels.executed.end() - 2, panels.executed.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"0 (>L:Cat_4_Steam, bool)",
                                              "1 (>L:ReadyCatapult, bool) 1 (>L:G_Catapult, bool)"}));

    clock_ms += 2000;  // exactly the delay: waits
    size_t from = panels.keyEvents.size();
    catapult_gauge_update();
    EXPECT_EQ(launchPhase, 1);
    EXPECT_TRUE(keys(from).empty());

    // The first update after it starts the stroke, and the stroke's first
    // update follows in the same pass: two velocity commands.
    moduleState->userAircraft->groundVelocity = 15.0;
    panels.results[LAUNCH_SPEED] = 140.0;
    clock_ms += 1;
    from = panels.executed.size();
    catapult_gauge_update();
    EXPECT_EQ(launchPhase, 2);
    EXPECT_EQ(keys(), (std::vector<std::pair<uint32_t, uint32_t>>{
                          {0x10512, 1}, {0x1053c, 0}, {CMD_CATAPULT_VELOCITY, 0}, {CMD_CATAPULT_VELOCITY, 0}}));
    const std::vector<std::string> expected = {
        "0 (>L:Cat_1_Steam, bool)", "0 (>L:Cat_2_Steam, bool)", "0 (>L:Cat_3_Steam, bool)",
        "0 (>L:Cat_4_Steam, bool)", "1 (>K:FREEZE_ATTITUDE_SET)", "2 (>L:Catapult_State,enum)"};
    EXPECT_EQ(actions(from), expected);
    EXPECT_EQ(soundCalls, (std::vector<std::string>{"30 Gauges/cat.wav 0", "28 7", "33 7 0"}));
    EXPECT_EQ(catapultTargetSpeed, 15.0);  // no time has passed yet
}

TEST_F(CatapultTest, EveryUpdateOfTheStrokeCommandsTheFormulasSpeedUntilTheEndSpeedOrTakeOff)
{
    soundQueryAnswer = 1;  // the library knows the sound: restart it
    moduleState->userAircraft->groundVelocity = 15.0;
    panels.results[LAUNCH_SPEED] = 130.0;
    moduleState->userAircraft->ambientWindZ = 0.0;
    arm();
    clock_ms += 2001;
    catapult_gauge_update();
    ASSERT_EQ(launchPhase, 2);
    EXPECT_EQ(soundCalls.back(), "48 7 1");
    const double end = 145.0 * 0.514444;
    const double a = ((end - 15.0) * 15.0 + 0.5 * (end - 15.0) * (end - 15.0)) / 90.0;
    EXPECT_DOUBLE_EQ(launchEndSpeed, end);
    EXPECT_DOUBLE_EQ(launchAcceleration, a);

    int commands = 0;
    for (int step = 1; launchPhase == 2 && step < 200; ++step) {
        clock_ms += 33;
        const size_t from = panels.keyEvents.size();
        catapult_gauge_update();
        const double t = step * 0.033;
        const double speed = a * t + 15.0;
        if (speed < end) {
            EXPECT_NEAR(catapultTargetSpeed, speed, 1e-9) << step;
            EXPECT_EQ(keys(from), (std::vector<std::pair<uint32_t, uint32_t>>{{CMD_CATAPULT_VELOCITY, 0}}));
            ++commands;
        } else {
            EXPECT_EQ(launchPhase, 0);
            EXPECT_EQ(keys(from), (std::vector<std::pair<uint32_t, uint32_t>>{{0x10512, 0}}));
        }
    }
    EXPECT_EQ(launchPhase, 0);
    EXPECT_EQ(commands, static_cast<int>(std::ceil((end - 15.0) / a / 0.033)) - 1);

    // Airborne before the end speed: the next update ends the stroke.
    arm();
    clock_ms += 2001;
    catapult_gauge_update();
    ASSERT_EQ(launchPhase, 2);
    moduleState->userAircraft->simOnGround = 0;
    clock_ms += 33;
    const size_t from = panels.keyEvents.size();
    catapult_gauge_update();
    EXPECT_EQ(launchPhase, 0);
    EXPECT_EQ(keys(from), (std::vector<std::pair<uint32_t, uint32_t>>{{0x10512, 0}}));
    EXPECT_EQ(soundCalls.front(), "30 Gauges/cat.wav 0");
    EXPECT_EQ(std::count(soundCalls.begin(), soundCalls.end(), "30 Gauges/cat.wav 0"), 1);  // loaded once
}

TEST_F(CatapultTest, RemovingTheHoldBackBarDuringTheDelayAbortsTheLaunch)
{
    arm();
    clock_ms += 1000;
    panels.results[HOLD_BACK] = 0;
    catapult_gauge_update();
    EXPECT_EQ(launchPhase, 0);
    EXPECT_EQ(launchArmed, 0);
    EXPECT_EQ(keys(), (std::vector<std::pair<uint32_t, uint32_t>>{{0x10512, 0}}));
    EXPECT_EQ(panels.executed.back(), "0 (>L:Cat_4_Steam, bool)");
}

TEST_F(CatapultTest, AStrokeOfNoLengthIsRefusedWhenItWouldStartAndWritesNoVelocity)
{
    for (double length : {0.0, -5.0, std::nan("")}) {
        moduleState->catapult->Catapult_Lenght = length;
        const size_t keys_from = panels.keyEvents.size();
        const size_t named_from = panels.namedSets.size();
        arm();
        clock_ms += 2001;
        catapult_gauge_update();
        EXPECT_EQ(launchPhase, 0) << length;
        EXPECT_EQ(launchArmed, 0);
        EXPECT_EQ(keys(keys_from), (std::vector<std::pair<uint32_t, uint32_t>>{{0x10512, 0}})) << length;
        EXPECT_EQ(panels.namedSets.size(), named_from);  // no Launch_Lenght, no Launch_Percent
        EXPECT_EQ(catapultTargetSpeed, 0.0);
        panels.results[HOLD_BACK] = 0;
        catapult_gauge_update();  // back to idle for the next length
    }
}

TEST_F(CatapultTest, WithoutASoundLibraryOrAHandleTheLaunchIsSilent)
{
    hooks.sound_library = [] { return static_cast<const SoundLibrary*>(nullptr); };
    arm();
    EXPECT_EQ(catapultSound, 0);
    clock_ms += 2001;
    catapult_gauge_update();
    EXPECT_EQ(launchPhase, 2);

    // A load that yields 0 is tried again at the next request.
    hooks.sound_library = [] { return &recordingLibrary; };
    soundLoadAnswer = 0;
    catapult_end_launch();
    arm();
    arm();
    EXPECT_EQ(soundCalls, (std::vector<std::string>{"30 Gauges/cat.wav 0", "30 Gauges/cat.wav 0"}));
    clock_ms += 2001;
    catapult_gauge_update();
    EXPECT_EQ(soundCalls.size(), 2u);  // no play of handle 0
}

// Only the connection to the window (service 14) announces the custom
// catapult; only service 6 runs the launch; every other service does nothing.
TEST_F(CatapultTest, TheGaugeAnnouncesTheCustomCatapultOnConnectionAndRunsTheLaunchBeforeUpdates)
{
    GAUGEHDR& header = gaugehdr_CustomCatapult;
    const char* const announce = "1 (>L:Cust_Catapult_Available,bool)";
    for (SINT32 service : {0, 1, 2, 3, 4, 5, 7, 8, 9, 10, 13, 15}) {
        const size_t from = panels.executed.size();
        header.gauge_callback(&header, service, 0);
        EXPECT_EQ(panels.executed.size(), from) << service;
    }
    size_t from = panels.executed.size();
    header.gauge_callback(&header, PANEL_SERVICE_CONNECT_TO_WINDOW, 0);
    EXPECT_EQ(std::vector<std::string>(panels.executed.begin() + from, panels.executed.end()),
              std::vector<std::string>{announce});
    from = panels.executed.size();
    header.gauge_callback(&header, PANEL_SERVICE_PRE_UPDATE, 0);
    ASSERT_GT(panels.executed.size(), from);
    EXPECT_EQ(panels.executed[from], LAUNCH_BAR);
}

// An aircraft already at the end speed when the stroke starts: the stroke's
// first step finds the target speed not below the end speed and ends it.
TEST_F(CatapultTest, AStrokeThatStartsAtTheEndSpeedEndsInTheSameUpdate)
{
    panels.results[LAUNCH_SPEED] = 130.0;
    moduleState->userAircraft->ambientWindZ = 0.0;
    moduleState->userAircraft->groundVelocity = (130.0 + 15.0 - 0.0) * 0.514444;
    arm();
    clock_ms += 2001;
    const size_t from = panels.keyEvents.size();
    catapult_gauge_update();
    EXPECT_EQ(launchPhase, 0);
    const std::vector<std::pair<uint32_t, uint32_t>> expected = {
        {0x10512, 1}, {0x1053c, 0}, {CMD_CATAPULT_VELOCITY, 0}, {0x10512, 0}};
    EXPECT_EQ(keys(from), expected);
}
