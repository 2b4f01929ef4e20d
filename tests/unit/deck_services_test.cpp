// The deck services against recording fakes: the panel services answer the
// brake and speed queries, the emulated SimConnect server records the texts
// and the fuel write and can refuse a call on cue.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "catapult/catapult.h"
#include "fake_panels.h"
#include "host/simconnect/simconnect_server.h"
#include "sim/connection.h"
#include "sim/deck_services.h"
#include "state/module_state.h"

namespace {

const char* const PARKING_BRAKE = "(A:BRAKE PARKING INDICATOR, bool)";
const char* const DECK_SPEED = "(A:SURFACE RELATIVE GROUND SPEED, meters per second)";
const char* const TOGGLE = "(L:ZEB_Command1, bool) ! (>L:ZEB_Command1, bool)";

class DeckServicesTest : public ::testing::Test {
protected:
    FakePanels panels;
    host::World world;
    host::Timeline timeline;
    host::SimConnectServer server{world, timeline};

    void SetUp() override
    {
        moduleState = get_or_create_module_state();
        if (!moduleState->carrier) create_state_records(moduleState);
        savedUser = *moduleState->userAircraft;
        savedHandle = simConnectHandle;
        savedFlags[0] = toggleIsButton, savedFlags[1] = refuelIsButton, savedFlags[2] = launchIsButton;
        savedPower = EnginePowerPercent;
        for (double& level : refuelLevels) level = 99.9;
        server.attach();
        ASSERT_EQ(SimConnect_Open(&simConnectHandle, "Carrier ZEB Gauge", nullptr, 0, nullptr, 0), S_OK);
        declare_connection();  // the fuel tank record among the rest
        toggleIsButton = refuelIsButton = launchIsButton = 0;
        launchPhase = launchArmed = 0;
        launchRequested = 0;
    }
    void TearDown() override
    {
        SimConnect_Close(simConnectHandle);
        server.detach();
        simConnectHandle = savedHandle;
        *moduleState->userAircraft = savedUser;
        toggleIsButton = savedFlags[0], refuelIsButton = savedFlags[1], launchIsButton = savedFlags[2];
        EnginePowerPercent = savedPower;
        launchPhase = launchArmed = 0;
        launchRequested = 0;
    }

    std::vector<std::string> shown() const
    {
        std::vector<std::string> out;
        for (const host::ShownText& t : server.texts()) out.push_back(t.text);
        return out;
    }
    std::vector<const host::TimelineEvent*> fuel_writes() const
    {
        std::vector<const host::TimelineEvent*> out;
        for (const auto* e : timeline.of_kind("simconnect"))
            if (e->data["call"] == "SimConnect_SetDataOnSimObject") out.push_back(e);
        return out;
    }

    UserAircraftData savedUser{};
    HANDLE savedHandle = nullptr;
    uint8_t savedFlags[3] = {};
    int32_t savedPower = 0;
};

}  // namespace

TEST_F(DeckServicesTest, RefuellingNeedsAStandingAircraftOnTheGroundWithTheParkingBrakeSet)
{
    struct Case {
        double speed_mps;  // NAN: the query yields a non-number
        double brake;
        int32_t on_ground;
        bool allowed;
    } cases[] = {
        {0.1, 1, 1, true},   {0.0, 1, 1, true},    {0.11, 1, 1, false}, {NAN, 1, 1, false},
        {0.0, 0, 1, false},  {0.0, 1, 0, false},   {-0.5, 1, 1, true},  {0.05, 2, 1, false},
    };
    for (const Case& c : cases) {
        panels.results[DECK_SPEED] = c.speed_mps;
        panels.results[PARKING_BRAKE] = c.brake;
        moduleState->userAircraft->simOnGround = c.on_ground;
        const size_t texts_before = server.texts().size();
        const size_t writes_before = fuel_writes().size();
        handle_refuel(0);
        ASSERT_EQ(server.texts().size(), texts_before + 1);
        const host::ShownText& text = server.texts().back();
        EXPECT_EQ(text.text, c.allowed ? "Refuelling is done!" : "Refuelling can't be done!") << c.speed_mps;
        EXPECT_EQ(text.type, 0x103u);
        EXPECT_FLOAT_EQ(text.seconds, 2.0f);
        EXPECT_EQ(fuel_writes().size(), writes_before + (c.allowed ? 1 : 0)) << c.speed_mps;
    }
}

TEST_F(DeckServicesTest, RefuellingWritesAllElevenTanksInOneRecordAndTheLevelsCanBeReadBack)
{
    panels.results[DECK_SPEED] = 0.0;
    panels.results[PARKING_BRAKE] = 1;
    moduleState->userAircraft->simOnGround = 1;
    handle_refuel(1);
    const auto writes = fuel_writes();
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0]->data["args"]["define"], DEF_FUEL_TANKS);
    EXPECT_EQ(writes[0]->data["args"]["object"], 0);
    EXPECT_EQ(writes[0]->data["args"]["unit_size"], 88);
    const char* const tanks[] = {"FUEL TANK LEFT MAIN LEVEL", "FUEL TANK RIGHT MAIN LEVEL", "FUEL TANK LEFT AUX LEVEL",
                                 "FUEL TANK RIGHT AUX LEVEL", "FUEL TANK CENTER LEVEL", "FUEL TANK CENTER2 LEVEL",
                                 "FUEL TANK CENTER3 LEVEL", "FUEL TANK LEFT TIP LEVEL", "FUEL TANK RIGHT TIP LEVEL",
                                 "FUEL TANK EXTERNAL1 LEVEL", "FUEL TANK EXTERNAL2 LEVEL"};
    for (const char* tank : tanks)
        EXPECT_DOUBLE_EQ(host::World::get(world.user(), *host::find_sim_var(tank)), 99.9) << tank;
}

TEST_F(DeckServicesTest, ARefusedFuelWriteIsReportedAsARefusalNotAsDone)
{
    panels.results[DECK_SPEED] = 0.0;
    panels.results[PARKING_BRAKE] = 1;
    moduleState->userAircraft->simOnGround = 1;
    ASSERT_TRUE(server.fail_call("SimConnect_SetDataOnSimObject", 1));
    handle_refuel(0);
    handle_refuel(0);  // the simulator accepts the second
    EXPECT_EQ(shown(), (std::vector<std::string>{"Refuelling can't be done!", "Refuelling is done!"}));
    EXPECT_EQ(lastSimConnectResult, S_OK);
    EXPECT_DOUBLE_EQ(host::World::get(world.user(), *host::find_sim_var("FUEL TANK CENTER LEVEL")), 99.9);
}

TEST_F(DeckServicesTest, CommandsBoundToAButtonActOnlyOnValueOneKeyboardCommandsOnAny)
{
    struct Case {
        uint8_t is_button;
        uint32_t value;
        bool acts;
    } cases[] = {{0, 0, true}, {0, 1, true}, {0, 2, true}, {1, 0, false}, {1, 1, true}, {1, 2, false}};
    for (const Case& c : cases) {
        toggleIsButton = c.is_button;
        const size_t texts_before = server.texts().size();
        const size_t executed_before = panels.executed.size();
        handle_toggle_animation(c.value);
        EXPECT_EQ(server.texts().size(), texts_before + (c.acts ? 1 : 0)) << int(c.is_button) << " " << c.value;
        EXPECT_EQ(panels.executed.size(), executed_before + (c.acts ? 1 : 0));
        if (c.acts) {
            EXPECT_EQ(server.texts().back().text, "Animation is toggled!");
            EXPECT_EQ(server.texts().back().type, 0x103u);
            EXPECT_EQ(panels.executed.back(), TOGGLE);
        }
    }

    // The same rule for the refuel command: a button's release does nothing.
    refuelIsButton = 1;
    const size_t queries_before = panels.executed.size();
    handle_refuel(0);
    EXPECT_EQ(panels.executed.size(), queries_before);
}

TEST_F(DeckServicesTest, LaunchReadinessNeedsTheHoldBackBarNoArmingAndMoreThanTheEnginePower)
{
    struct Case {
        int32_t phase, armed;
        double n1;
        uint8_t is_button;
        uint32_t value;
        bool accepted;
    } cases[] = {
        {1, 0, 86.0, 0, 0, true},  {1, 0, 85.0, 0, 0, false}, {1, 0, 85.01, 0, 0, true},
        {1, 1, 95.0, 0, 0, false}, {0, 0, 95.0, 0, 0, false}, {2, 0, 95.0, 0, 0, false},
        {1, 0, 95.0, 1, 0, false}, {1, 0, 95.0, 1, 1, true},  {1, 0, NAN, 0, 0, false},
    };
    EnginePowerPercent = 85;
    for (const Case& c : cases) {
        launchPhase = c.phase;
        launchArmed = c.armed;
        launchRequested = 0;
        launchIsButton = c.is_button;
        moduleState->userAircraft->eng1N1Rpm = c.n1;
        const size_t texts_before = server.texts().size();
        handle_launch_ready(c.value);
        EXPECT_EQ(launchRequested, c.accepted ? 1 : 0) << c.phase << " " << c.armed << " " << c.n1;
        ASSERT_EQ(server.texts().size(), texts_before + (c.accepted ? 1 : 0));
        if (c.accepted) {
            EXPECT_EQ(server.texts().back().text, "OK for Launch!");
            EXPECT_EQ(server.texts().back().type, 0x102u);
            EXPECT_FLOAT_EQ(server.texts().back().seconds, 2.0f);
        }
    }

    // Accepted again while the first request is still pending: shown again, still 1.
    launchPhase = 1, launchArmed = 0, launchIsButton = 0;
    moduleState->userAircraft->eng1N1Rpm = 90.0;
    handle_launch_ready(0);
    handle_launch_ready(0);
    EXPECT_EQ(launchRequested, 1);
    EXPECT_EQ(server.texts().back().text, "OK for Launch!");
}
