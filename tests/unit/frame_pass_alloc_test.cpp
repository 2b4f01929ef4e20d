// The per-frame user-data pass (record copy, the geometry and light logic)
// allocates nothing, run with the bench's own host services.
#include <gtest/gtest.h>

#include "allocation_counter.h"
#include "landing/approach_control.h"
#include "landing/landing_lights.h"
#include "module/gauge_registry.h"
#include "tests/frame_pass_fixture.h"

TEST(FramePass, TheUserDataPassAllocatesNothing)
{
    FramePassFixture fixture;
    fixture.pass();  // the first pass compiles the two expressions in the host's calculator
    ASSERT_EQ(approachSolution.tcnValid, 1);

    const long before = allocations_so_far();
    for (int i = 0; i < 1000; ++i) {
        fixture.record()->planeLatitude = 0.6410 + i * 1e-6;
        fixture.pass();
    }
    EXPECT_EQ(allocations_so_far() - before, 0);
    EXPECT_EQ(approachSolution.tcnValid, 1);
    EXPECT_GT(approachSolution.tcnSlantRange, 0.0);
}

// The same pass with the landing aids in their steady state: the lens valid,
// both light timers running and read back, the officer watching (the
// approach gauge's update runs every pass too), no check due.
TEST(FramePass, TheLightLogicAndTheOfficersUpdateAllocateNothing)
{
    FramePassFixture fixture;
    const LightParameters savedLights = *moduleState->lights;
    const LsoParameters savedLso = *moduleState->lso;
    LightParameters& l = *moduleState->lights;
    l.Dist_Activation = 50.0, l.Dist_Check_WaveOff = 0.1, l.WO_Duration = 1e6, l.PowerLight_Duration = 1e6;
    l.Meatball_GS_Max = 0.75, l.Meatball_GS_Min = -0.75, l.Meatball_Power = 1.0;
    LsoParameters& o = *moduleState->lso;
    o = LsoParameters{0.1, 0.1, 0.1, 0.1, 0.1, 0.1, 0.1, 0.5, -0.5, 1.0, 9.5};
    execute_calculator_code("0 (>L:LSO_is_Off_VC, bool)", nullptr, nullptr, nullptr);
    execute_calculator_code("1 (>L:WaveOffLight, bool) (P:local time, seconds) (>L:WO_Timer,seconds)", nullptr,
                            nullptr, nullptr);
    execute_calculator_code("1 (>L:PowerLight, bool) (P:local time, seconds) (>L:Power_Timer,seconds)", nullptr,
                            nullptr, nullptr);
    waveOffLightOn = powerLightOn = 1;
    GAUGEHDR gauge = gaugehdr_Approach_Ctrl;
    auto pass = [&] {
        fixture.pass();
        gauge.gauge_callback(&gauge, PANEL_SERVICE_PRE_UPDATE, 0);
    };
    pass();  // compiles the expressions and writes L:FLOLS_is_valid once
    ASSERT_EQ(flolsValid, 1);
    ASSERT_EQ(lsoActive, 1);

    const size_t events = fixture.host.timeline().events().size();
    const long before = allocations_so_far();
    for (int i = 0; i < 1000; ++i) {
        fixture.record()->planeLatitude = 0.6410 + i * 1e-6;
        pass();
    }
    EXPECT_EQ(allocations_so_far() - before, 0);
    EXPECT_EQ(fixture.host.timeline().events().size(), events);  // nothing written, nothing raised
    EXPECT_EQ(waveOffLightOn + powerLightOn + flolsValid + lsoActive, 4);

    *moduleState->lights = savedLights;
    *moduleState->lso = savedLso;
    flolsValid = waveOffLightOn = powerLightOn = lsoOn = lsoActive = 0;
    flightDeckState = 0;
}
