// The meatball, the FLOLS validity, the wave-off window and check, and the
// light timers, against the recording fakes.
#include <limits>

#include "landing_fixture.h"

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

using LandingLights = LandingTest;

const char* const FLOLS_ON = "1 (>L:FLOLS_is_valid, bool)";
const char* const FLOLS_OFF = "0 (>L:FLOLS_is_valid, bool)";
const char* const WO_ON = "1 (>L:WaveOffLight, bool) (P:local time, seconds) (>L:WO_Timer,seconds)";
const char* const WO_OFF = "0 (>L:WaveOffLight, bool)";
const char* const WO_ELAPSED = "(P:local time, seconds) (L:WO_Timer,seconds) - ";
const char* const PL_ON = "1 (>L:PowerLight, bool) (P:local time, seconds) (>L:Power_Timer,seconds)";
const char* const PL_OFF = "0 (>L:PowerLight, bool)";
const char* const PL_ELAPSED = "(P:local time, seconds) (L:Power_Timer,seconds) - ";
const char* const ALPHA = "(A:INCIDENCE ALPHA,Degrees)";

}  // namespace

TEST_F(LandingLights, MeatballPositionFollowsTheScaledErrorAndStopsAtTheLimits)
{
    struct Case {
        double gsMax, gsMin, power, error, position;
    } cases[] = {
        {0.8, -0.6, 1, 0.4, 25},     {0.8, -0.6, 1, 0.8, 50},      {0.8, -0.6, 1, 1.5, 50},
        {0.8, -0.6, 2, 0.4, 12.5},   {0.8, -0.6, 1, 0.0, 0},       {0.8, -0.6, 1, -0.3, -25},
        {0.8, -0.6, 1, -1.0, -50},   {0.8, 0.6, 1, -0.3, 25},      {0.8, 0.6, 1.5, -0.3, -50},  // NaN power
        {0.8, -0.6, 1, NaN, -50},    {0.0, -0.6, 1, 0.0, 50},      {0.0, -0.6, 1, 0.3, 50},     // 0/0, inf
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.gsMax << " " << c.gsMin << " " << c.power << " " << c.error);
        LightParameters& l = *moduleState->lights;
        l.Meatball_GS_Max = c.gsMax, l.Meatball_GS_Min = c.gsMin, l.Meatball_Power = c.power;
        approachSolution.gsError = c.error;
        update_landing_lights();
        EXPECT_DOUBLE_EQ(approachSolution.meatballPosition, c.position);
    }
}

TEST_F(LandingLights, FlolsValidityIsWrittenOnlyWhenItChanges)
{
    struct Pass {
        uint8_t tcnValid;
        double range;
        const char* written;  // nullptr: nothing
    } passes[] = {
        {1, 1.2, nullptr}, {1, 1.0, FLOLS_ON}, {1, 0.9, nullptr}, {1, NaN, nullptr},  {1, 1.01, FLOLS_OFF},
        {1, 1.02, nullptr}, {1, 0.5, FLOLS_ON}, {0, 0.5, FLOLS_OFF}, {0, 0.5, nullptr},
    };
    for (const Pass& p : passes) {
        SCOPED_TRACE(testing::Message() << int(p.tcnValid) << " " << p.range);
        panels->executed.clear();
        approachSolution.tcnValid = p.tcnValid;
        approachSolution.ilsSlantRange = p.range;
        update_landing_lights();
        const auto written = executed_with("FLOLS_is_valid");
        if (p.written) EXPECT_EQ(written, std::vector<std::string>{p.written});
        else EXPECT_TRUE(written.empty());
    }
}

TEST_F(LandingLights, TheWaveOffCheckFiresOnceInItsWindowAndReArmsBeyondIt)
{
    struct Pass {
        uint8_t tcnValid;
        double range;
        bool raised;
    } passes[] = {
        {1, 0.80, false}, {1, 0.74, true},  {1, 0.72, false}, {1, 0.69, false},  // latched, then below
        {1, 0.80, false}, {1, 0.75, true},                                      // re-armed; 0.75 is inside
        {1, 0.80, false}, {1, 0.70, false},                                     // 0.70 is below the window
        {1, 0.80, false}, {0, 0.74, false}, {1, 0.74, true},                     // no TACAN: no check
        {0, 0.90, false}, {1, 0.74, false},                                     // no TACAN: latch kept
    };
    for (const Pass& p : passes) {
        SCOPED_TRACE(testing::Message() << int(p.tcnValid) << " " << p.range);
        panels->keyEvents.clear();
        delivered = 0;
        approachSolution.tcnValid = p.tcnValid;
        approachSolution.ilsSlantRange = p.range;
        update_landing_lights();
        ASSERT_EQ(panels->keyEvents.size(), p.raised ? 1u : 0u);
        if (p.raised) {
            EXPECT_EQ(panels->keyEvents[0].id, 0x11102u);
            EXPECT_EQ(panels->keyEvents[0].value, 0u);
        }
        deliver();
    }
}

TEST_F(LandingLights, TheWaveOffCheckLightsTheLightsOutsideTheErrorWindowAndCallsOnlyWhileTheOfficerWatches)
{
    struct Case {
        double gs, loc;
        bool outside;
    } cases[] = {
        {0, 0, false},     {-1.0, 0, false}, {-1.01, 0, true}, {1.0, 0, false},  {1.01, 0, true},
        {0, 1.5, false},   {0, 1.51, true},  {0, -1.5, false}, {0, -1.51, true}, {NaN, NaN, false},
    };
    for (uint8_t active : {0, 1}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << "active " << int(active) << " gs " << c.gs << " loc " << c.loc);
            panels->executed.clear();
            sounds.calls.clear();
            const size_t textsBefore = texts().size();
            waveOffCheckDone = 0;
            waveOffLightOn = 0;
            lsoActive = active;
            approachSolution.gsError = c.gs;
            approachSolution.locError = c.loc;
            handle_command_event(0x11102, 0, nullptr);
            EXPECT_EQ(waveOffCheckDone, 1);
            EXPECT_EQ(waveOffLightOn, c.outside ? 1 : 0);
            EXPECT_EQ(panels->executed, c.outside ? std::vector<std::string>{WO_ON} : std::vector<std::string>{});
            const bool call = c.outside && active;
            EXPECT_EQ(played(), call ? std::vector<int32_t>{19} : std::vector<int32_t>{});  // slot 9
            const auto shown = texts();
            ASSERT_EQ(shown.size(), textsBefore + (call ? 1 : 0));
            if (call) {
                EXPECT_EQ(shown.back(), "red 3.0 waveoff");
            }
        }
    }
}

TEST_F(LandingLights, AnEmptyWaveOffSlotShowsTheTextWithoutSound)
{
    soundSlots[SOUND_WAVE_OFF] = 0;
    lsoActive = 1;
    approachSolution.gsError = -2.0;
    run_wave_off_check();
    EXPECT_TRUE(sounds.of(33).empty());
    EXPECT_EQ(texts(), std::vector<std::string>{"red 3.0 waveoff"});
}

TEST_F(LandingLights, LitLightsGoOutOnTheFirstPassAfterTheirDuration)
{
    // WO_Duration 4 s, PowerLight_Duration 3 s; the host's answer, then whether the light goes out.
    struct Pass {
        double woElapsed, plElapsed;
        bool answered;
        bool woOut, plOut;
    } passes[] = {
        {0.0, 0.0, false, false, false},  // no answer: the elapsed time stays 0
        {4.0, 3.0, true, false, false},   // exactly the duration: still on
        {4.01, 3.01, true, true, true},
    };
    waveOffLightOn = powerLightOn = 1;
    approachSolution.tcnValid = 0;  // the timers run without the TACAN too
    for (const Pass& p : passes) {
        SCOPED_TRACE(p.woElapsed);
        panels->executed.clear();
        panels->results.clear();
        if (p.answered) panels->results[WO_ELAPSED] = p.woElapsed, panels->results[PL_ELAPSED] = p.plElapsed;
        update_landing_lights();
        EXPECT_EQ(waveOffLightOn, p.woOut ? 0 : 1);
        EXPECT_EQ(powerLightOn, p.plOut ? 0 : 1);
        std::vector<std::string> expected = {WO_ELAPSED};
        if (p.woOut) expected.push_back(WO_OFF);
        expected.push_back(PL_ELAPSED);
        if (p.plOut) expected.push_back(PL_OFF);
        EXPECT_EQ(panels->executed, expected);
    }
    panels->executed.clear();
    update_landing_lights();  // both out: no timer is read any more
    EXPECT_TRUE(panels->executed.empty());
}

TEST_F(LandingLights, ThePowerLightNeedsAnAngleOfAttackAboveTheGaugeSetting)
{
    struct Case {
        double setting, alpha;
        bool answered, lit;
    } cases[] = {
        {0.0, 20.0, true, false},  // setting 0: alpha is not even read
        {9.5, 9.5, true, false},   {9.5, 9.51, true, true}, {9.5, 0.0, false, false}, {-1.0, 0.0, false, true},
        {9.5, NaN, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.setting << " " << c.alpha);
        panels->executed.clear();
        panels->results.clear();
        powerLightOn = 0;
        moduleState->lso->ApproachGaugeSetting = c.setting;
        if (c.answered) panels->results[ALPHA] = c.alpha;
        switch_on_power_light();
        EXPECT_EQ(powerLightOn, c.lit ? 1 : 0);
        std::vector<std::string> expected;
        if (c.setting != 0.0) expected.push_back(ALPHA);
        if (c.lit) expected.push_back(PL_ON);
        EXPECT_EQ(panels->executed, expected);
    }
}
