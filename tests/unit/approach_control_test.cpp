// The officer: the gauge's parameter string, check_lso_active, the seven
// distance checks, the calls, the wire report and L:FlightDeck_State,
// against the recording fakes.
#include <limits>

#include "landing_fixture.h"
#include "module/gauge_registry.h"

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double DEG = M_PI / 180.0;
const char* const GEAR = "(A:GEAR RIGHT POSITION, percent) 99 > (A:IS GEAR RETRACTABLE,bool) ! ||";
const char* const OFFICER_ON = "(L:LSO_is_Off_VC, bool) !";

class Officer : public LandingTest {
protected:
    // The aircraft on the landing heading and line, gear down, officer on.
    void watched(double range_nm)
    {
        panels->results[GEAR] = 1;
        panels->results[OFFICER_ON] = 1;
        UserAircraftData& u = *moduleState->userAircraft;
        u.planeHeadingTrue = 81 * DEG;
        u.simOnGround = 0;
        u.cableCaught = 0;
        u.tailhookPosition = 0;
        approachSolution.tcnValid = 1;
        approachSolution.rwyTrueHeading = 81 * DEG;
        approachSolution.locError = 0.0;
        approachSolution.ilsSlantRange = range_nm;
        moduleState->carrier->CarrierType = CARRIER_TYPE_SHIP;
        lsoOn = 1;
    }
    std::vector<std::pair<uint32_t, uint32_t>> raised_since(size_t from) const
    {
        std::vector<std::pair<uint32_t, uint32_t>> out;
        for (size_t i = from; i < panels->keyEvents.size(); ++i)
            out.emplace_back(panels->keyEvents[i].id, panels->keyEvents[i].value);
        return out;
    }
    std::vector<std::string> deck_states() const
    {
        std::vector<std::string> out;
        for (const std::string& code : panels->executed)
            if (code.find("FlightDeck_State") != std::string::npos) out.push_back(code.substr(0, 1));
        return out;
    }
};

}  // namespace

TEST(ApproachGaugeSetting, TheParameterStringIsTheNumberAtItsStart)
{
    struct Case {
        const char* text;
        double value;
    } cases[] = {{"12.5", 12.5}, {"  7.25 deg", 7.25}, {"9", 9.0}, {"-3.5x", -3.5}, {"abc 12", 0.0},
                 {"", 0.0},      {nullptr, 0.0},       {".5", 0.5}};
    for (const Case& c : cases) EXPECT_EQ(parse_approach_gauge_setting(c.text), c.value) << (c.text ? c.text : "null");
}

TEST_F(Officer, PreInstallSetsTheGaugeSettingFromTheParameterString)
{
    GAUGEHDR header = gaugehdr_Approach_Ctrl;
    for (auto [parameters, value] : {std::pair<const char*, double>{"12.5", 12.5}, {"x", 0.0}, {nullptr, 0.0}}) {
        moduleState->lso->ApproachGaugeSetting = 99.0;
        header.parameters = parameters;
        header.gauge_callback(&header, PANEL_SERVICE_PRE_INSTALL, 0);
        EXPECT_EQ(moduleState->lso->ApproachGaugeSetting, value);
    }
    header.gauge_callback(&header, PANEL_SERVICE_POST_INSTALL, 0);  // other services change nothing
    EXPECT_EQ(moduleState->lso->ApproachGaugeSetting, 0.0);
    EXPECT_TRUE(panels->keyEvents.empty());
}

TEST_F(Officer, TheOfficerWatchesOnlyWhenEveryConditionHolds)
{
    struct Case {
        const char* what;
        void (*change)(FakePanels&);
        uint8_t active;
    } cases[] = {
        {"all hold", [](FakePanels&) {}, 1},
        {"officer off", [](FakePanels&) { lsoOn = 0; }, 0},
        {"no TACAN", [](FakePanels&) { approachSolution.tcnValid = 0; }, 0},
        {"on the ground", [](FakePanels&) { moduleState->userAircraft->simOnGround = 1; }, 0},
        {"44.9 deg off", [](FakePanels&) { moduleState->userAircraft->planeHeadingTrue = 125.9 * DEG; }, 1},
        {"45 deg off", [](FakePanels&) { moduleState->userAircraft->planeHeadingTrue = 126 * DEG; }, 0},
        {"-45 deg off", [](FakePanels&) { moduleState->userAircraft->planeHeadingTrue = 36 * DEG; }, 0},
        {"NaN heading", [](FakePanels&) { moduleState->userAircraft->planeHeadingTrue = NaN; }, 0},
        {"LOC 29.9", [](FakePanels&) { approachSolution.locError = -29.9; }, 1},
        {"LOC 30", [](FakePanels&) { approachSolution.locError = 30; }, 0},
        {"LOC -30", [](FakePanels&) { approachSolution.locError = -30; }, 0},
        {"LOC -40", [](FakePanels&) { approachSolution.locError = -40; }, 0},
        {"LOC NaN", [](FakePanels&) { approachSolution.locError = NaN; }, 0},
        {"at Dist_Activation", [](FakePanels&) { approachSolution.ilsSlantRange = 1.0; }, 0},
        {"gear up", [](FakePanels& p) { p.results[GEAR] = 0; }, 0},
        {"gear unknown", [](FakePanels& p) { p.results.erase(GEAR); }, 0},
        {"gear result 2", [](FakePanels& p) { p.results[GEAR] = 2; }, 0},
    };
    for (const Case& c : cases) {
        watched(0.9);
        c.change(*panels);
        panels->executed.clear();
        check_lso_active();
        EXPECT_EQ(lsoActive, c.active) << c.what;
        EXPECT_EQ(panels->executed, std::vector<std::string>{GEAR}) << c.what;
    }
}

// The heading difference is folded into (-180, 180]: an approach on a landing
// heading near north is watched from either side of north.
TEST_F(Officer, HeadingsOnBothSidesOfNorthAreClose)
{
    struct Case {
        double aircraft, runway;
        uint8_t active;
    } cases[] = {{359, 1, 1}, {1, 359, 1}, {350, 30, 1}, {30, 350, 1}, {0, 180, 0}, {180, 0, 0},
                 {10, 320, 0}, {320, 10, 0}, {270, 314.9, 1}, {315, 270, 0}, {720.5, 0.5, 1}};
    for (const Case& c : cases) {
        watched(0.9);
        moduleState->userAircraft->planeHeadingTrue = c.aircraft * DEG;
        approachSolution.rwyTrueHeading = c.runway * DEG;
        check_lso_active();
        EXPECT_EQ(lsoActive, c.active) << c.aircraft << " on " << c.runway;
    }
}

TEST_F(Officer, EachDistanceCheckFiresOnceInItsWindowAndReArmsOnlyWhenWatchedBeyondIt)
{
    struct Update {
        double range;
        bool watchedThere;
        std::vector<std::pair<uint32_t, uint32_t>> raised;
    } updates[] = {
        {0.80, true, {}},
        {0.74, true, {{0x11104, 0}}},
        {0.72, true, {}},
        {0.80, false, {}},  // beyond, but not watched (gear up): stays latched
        {0.74, true, {}},
        {0.80, true, {}},   // watched beyond: re-armed
        {0.75, true, {{0x11104, 0}}},
        {0.80, true, {}},
        {0.70, true, {}},   // jumped over the 0.05 nm window
        {0.62, true, {}},
        {0.56, true, {{0x11105, 1}}},  // beyond 0.55: that line-up check is re-armed, not fired
        {0.55, true, {{0x11106, 1}}},
        {0.42, true, {{0x11105, 2}}},
        {0.36, true, {{0x11106, 2}}},
        {0.21, true, {{0x11105, 3}}},
        {0.16, true, {{0x11106, 3}}},
    };
    for (const Update& u : updates) {
        SCOPED_TRACE(u.range);
        watched(u.range);
        if (!u.watchedThere) panels->results[GEAR] = 0;
        const size_t before = panels->keyEvents.size();
        approach_control_update();
        EXPECT_EQ(raised_since(before), u.raised);
        deliver();
    }
    EXPECT_EQ(callBallDone, 0);  // re-armed at 0.80, then the window was jumped
    for (int i = 0; i < 3; ++i) EXPECT_EQ(altitudeCheckDone[i] + lineUpCheckDone[i], 2) << i;
}

TEST_F(Officer, ChecksAtEqualDistancesFireInOneUpdateInTheTablesOrder)
{
    LsoParameters& o = *moduleState->lso;
    o.Check_CallBall = o.Check_Altitude_1 = o.Check_LOC_1 = o.Check_Altitude_2 = o.Check_LOC_2 = o.Check_Altitude_3 =
        o.Check_LOC_3 = 0.5;
    watched(0.48);
    approach_control_update();
    const std::vector<std::pair<uint32_t, uint32_t>> order = {{0x11104, 0}, {0x11105, 1}, {0x11106, 1}, {0x11105, 2},
                                                              {0x11106, 2}, {0x11105, 3}, {0x11106, 3}};
    EXPECT_EQ(raised_since(0), order);
}

TEST_F(Officer, AltitudeCallsUseStrictThresholdsAndOnlyChecksOneToThreeLatch)
{
    struct Case {
        uint32_t n;
        double gs;
        std::vector<int32_t> played;
        std::vector<std::string> shown;
    } cases[] = {
        {1, 0.5, {}, {}},
        {1, 0.51, {16}, {"red 3.0 high"}},
        {2, -0.5, {}, {}},
        {2, -0.51, {17}, {"red 3.0 low"}},
        {3, NaN, {}, {}},
        {0, 0.9, {16}, {"red 3.0 high"}},
        {4, -0.9, {17}, {"red 3.0 low"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.n << " " << c.gs);
        for (int i = 0; i < 3; ++i) altitudeCheckDone[i] = 0;
        sounds.calls.clear();
        const size_t before = texts().size();
        approachSolution.gsError = c.gs;
        handle_command_event(0x11105, c.n, nullptr);
        for (uint32_t i = 1; i <= 3; ++i) EXPECT_EQ(altitudeCheckDone[i - 1], i == c.n ? 1 : 0) << i;
        EXPECT_EQ(played(), c.played);
        const auto shown = texts();
        EXPECT_EQ(std::vector<std::string>(shown.begin() + before, shown.end()), c.shown);
    }
}

TEST_F(Officer, TheLineUpCheckLightsThePowerLightFirstThenCallsBeyondTheLineUpAngle)
{
    panels->results["(A:INCIDENCE ALPHA,Degrees)"] = 10.0;
    struct Case {
        double loc;
        bool call;
    } cases[] = {{1.0, false}, {-1.0, false}, {1.01, true}, {-1.01, true}, {NaN, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.loc);
        sounds.calls.clear();
        panels->executed.clear();
        powerLightOn = 0;
        const size_t before = texts().size();
        approachSolution.locError = c.loc;
        handle_command_event(0x11106, 2, nullptr);
        EXPECT_EQ(lineUpCheckDone[1], 1);
        EXPECT_EQ(powerLightOn, 1);
        ASSERT_EQ(panels->executed.size(), 2u);
        EXPECT_EQ(panels->executed[0], "(A:INCIDENCE ALPHA,Degrees)");
        EXPECT_EQ(played(), c.call ? std::vector<int32_t>{18} : std::vector<int32_t>{});
        EXPECT_EQ(texts().size(), before + (c.call ? 1 : 0));
    }
    EXPECT_EQ(texts().back(), "red 3.0 lineup");
}

TEST_F(Officer, CallBallAndWireReportsPlayTheirSlotsAndShowTheirTexts)
{
    handle_command_event(0x11104, 0, nullptr);
    EXPECT_EQ(callBallDone, 1);
    for (uint32_t n : {1u, 2u, 3u, 4u, 5u, 0u}) {
        wireReported = 0;
        handle_command_event(0x11107, n, nullptr);
        EXPECT_EQ(wireReported, 1) << n;
    }
    EXPECT_EQ(played(), (std::vector<int32_t>{15, 11, 12, 13, 14}));
    EXPECT_EQ(texts(), (std::vector<std::string>{"red 3.0 ball", "red 5.0 w1", "red 5.0 w2", "red 5.0 w3",
                                                 "red 5.0 w4"}));
    soundSlots[SOUND_CALL_BALL] = 0;  // a slot of 0: the text without a sound
    handle_command_event(0x11104, 0, nullptr);
    EXPECT_EQ(played().size(), 5u);
    EXPECT_EQ(texts().back(), "red 3.0 ball");
}

TEST_F(Officer, TheWireReportAndTheDeckStateFollowTheHookTheWireAndTheGround)
{
    struct Update {
        int32_t onGround, cable;
        double hook;
        std::vector<std::string> states;  // FlightDeck_State values written
        bool report;
    } updates[] = {
        {0, 0, 0, {}, false},      {0, 2, 0, {}, false},      {0, 0, 5, {}, false},      {0, 0, 5.1, {"2"}, false}, {0, 0, 100, {}, false},
        {1, 0, 100, {}, false},    {1, 3, 100, {"1"}, true},  {1, 3, 100, {}, false},    {0, 0, 100, {"2"}, false},
        {0, 0, NaN, {}, false},    {0, 0, 4.9, {"0"}, false}, {0, 0, 0, {}, false},
    };
    for (const Update& u : updates) {
        SCOPED_TRACE(testing::Message() << u.onGround << " " << u.cable << " " << u.hook);
        watched(2.0);
        UserAircraftData& a = *moduleState->userAircraft;
        a.simOnGround = u.onGround, a.cableCaught = u.cable, a.tailhookPosition = u.hook;
        panels->executed.clear();
        const size_t before = panels->keyEvents.size();
        approach_control_update();
        EXPECT_EQ(deck_states(), u.states);
        using Raised = std::vector<std::pair<uint32_t, uint32_t>>;
        const Raised expected = u.report ? Raised{{0x11107, 3}} : Raised{};
        EXPECT_EQ(raised_since(before), expected);
        deliver();
    }
    EXPECT_EQ(played(), std::vector<int32_t>{13});
}

TEST_F(Officer, NoWireReportAshoreOrWithTheOfficerSwitchedOff)
{
    for (int variant : {0, 1}) {
        SCOPED_TRACE(variant);
        watched(0.0);
        flightDeckState = 0;
        wireReported = 0;
        if (variant == 0) moduleState->carrier->CarrierType = CARRIER_TYPE_FIXED_SITE;
        else panels->results[OFFICER_ON] = 0;  // L:LSO_is_Off_VC 1
        UserAircraftData& a = *moduleState->userAircraft;
        a.simOnGround = 1, a.cableCaught = 2, a.tailhookPosition = 100;
        panels->executed.clear();
        const size_t before = panels->keyEvents.size();
        approach_control_update();
        EXPECT_TRUE(raised_since(before).empty());
        EXPECT_TRUE(deck_states().empty());
        EXPECT_EQ(flightDeckState, 0);
    }
}

// Each trap gets its report: the first airborne update with the officer on
// forgets the last one; with the officer off the report stays remembered.
TEST_F(Officer, EveryTrapIsReportedOnceAfterTheAircraftWasAirborne)
{
    struct Update {
        int32_t onGround, cable;
        uint8_t officer;
        bool report;
    } updates[] = {
        {1, 2, 1, true}, {1, 2, 1, false}, {0, 0, 1, false}, {1, 3, 1, true},  // touch and go, second trap
        {0, 0, 0, false}, {1, 1, 1, false},                                    // airborne unseen: no new report
        {0, 0, 1, false}, {1, 4, 1, true},
    };
    watched(5.0);
    for (const Update& u : updates) {
        SCOPED_TRACE(testing::Message() << u.onGround << " " << u.cable << " " << int(u.officer));
        UserAircraftData& a = *moduleState->userAircraft;
        a.simOnGround = u.onGround, a.cableCaught = u.cable, a.tailhookPosition = 100;
        panels->results[OFFICER_ON] = u.officer;
        const size_t before = panels->keyEvents.size();
        approach_control_update();
        using Raised = std::vector<std::pair<uint32_t, uint32_t>>;
        const Raised expected = u.report ? Raised{{0x11107, static_cast<uint32_t>(u.cable)}} : Raised{};
        EXPECT_EQ(raised_since(before), expected);
        deliver();
    }
}

// The window of a check is [X - 0.05, X] exclusive below: 0.1 - 0.05 is
// exactly 0.05 in doubles, so a range of 0.05 lies on the open edge.
TEST_F(Officer, ACheckWindowIsOpenAtItsNearEdge)
{
    LsoParameters& o = *moduleState->lso;
    o.Check_Altitude_1 = o.Check_LOC_1 = o.Check_Altitude_2 = o.Check_LOC_2 = o.Check_Altitude_3 = o.Check_LOC_3 = 3.0;
    o.Check_CallBall = 0.1;
    struct Update {
        double range;
        bool fires;
    } updates[] = {{0.2, false}, {0.05, false}, {0.2, false}, {0.050001, true}};
    for (const Update& u : updates) {
        SCOPED_TRACE(u.range);
        watched(u.range);
        const size_t before = panels->keyEvents.size();
        approach_control_update();
        using Raised = std::vector<std::pair<uint32_t, uint32_t>>;
        const Raised expected = u.fires ? Raised{{0x11104, 0}} : Raised{};
        EXPECT_EQ(raised_since(before), expected);
        deliver();
    }
}

// A hook at exactly 5 % changes nothing from any state.
TEST_F(Officer, AHookAtExactlyFivePercentKeepsTheDeckState)
{
    for (int32_t state : {0, 1, 2}) {
        SCOPED_TRACE(state);
        watched(5.0);
        flightDeckState = state;
        wireReported = 1;
        moduleState->userAircraft->tailhookPosition = 5.0;
        moduleState->userAircraft->simOnGround = 1;
        panels->executed.clear();
        approach_control_update();
        EXPECT_TRUE(deck_states().empty());
        EXPECT_EQ(flightDeckState, state);
    }
}
