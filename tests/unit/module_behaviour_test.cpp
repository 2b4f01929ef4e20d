// Conditions, boundaries and clears of the simulator connection, the deck
// services, the sound channel and the navigation gauge, each pinned so that
// breaking it (a comparison flipped, a call dropped, a value swapped, a clear
// left out) fails a test. Module code linked in, the bench host's services
// as the recording fake.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "fake_panels.h"
#include "module/gauge_registry.h"
#include "module_fixture.h"
#include "catapult/catapult.h"
#include "sim/command_events.h"
#include "sim/deck_services.h"
#include "sim/dispatch.h"
#include "sound/sound_channel.h"

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

// One sound list per language given; `too_low` is the TooLow file of English.
std::string parameters_with_sounds(const std::string& too_low = "en/toolow.wav")
{
    return R"(<?xml version="1.0"?>
<Parameters/>
<SoundFileList>
  <SoundFiles Language="English" Wire1="en/w1.wav" Wire2="en/w2.wav" Wire3="en/w3.wav" Wire4="en/w4.wav"
              TooHigh="en/high.wav" TooLow=")" + too_low + R"(" LineUp="en/lineup.wav" CallBall="en/ball.wav"
              WaveOff="en/waveoff.wav" Wire1_msg="W1" Wire2_msg="W2" Wire3_msg="W3" Wire4_msg="W4"
              TooHigh_msg="High" TooLow_msg="Low" LineUp_msg="Line" CallBall_msg="Ball" WaveOff_msg="Off"/>
</SoundFileList>
)";
}

// The carrier list: a ship at 112.70 (helicopter `helo`, language `language`),
// a fixed site at 115.00.
std::string carrier_list(const std::string& language = "English", const std::string& helo = "Plane Guard")
{
    return R"(<?xml version="1.0"?>
<CarrierList>
  <Carrier Frequency="112.70" Name="Ship" CarrierType="1" Sim_Name="Carrier" Sim_Name_Helo=")" + helo +
           R"(" Language=")" + language + R"(" Helo_Bearing="90" Helo_Distance="400" GS_Angle="3.5" RunwayAngle="9"
           ILS_Xcoord="-6" ILS_Ycoord="19" ILS_Zcoord="-90" TCN_Xcoord="20" TCN_Ycoord="50" TCN_Zcoord="10"/>
  <Field Frequency="115.00" Name="Field" CarrierType="2" Language=")" + language + R"(" FLOLS_Name="none"
         RunwayAngle="90" Alt="0" Lat_coord="36.8" Lon_coord="-76.0" GS_Angle="3"/>
</CarrierList>
)";
}

class ModuleBehaviour : public ModuleFixture {
protected:
    // Tunes `mhz` with one boat titled "Carrier" (object 42) in the list.
    void tune(double mhz)
    {
        boat(1, 1, 42, "Carrier", 0.6422, -1.3155);
        tunedTacanFrequency = mhz;
        handle_command_event(CMD_TUNE, 0, nullptr);
    }
    CarrierObjectData ship_record(double airspeed_mps = 10.0, double yaw_rate = 0.0) const
    {
        CarrierObjectData ship{};
        std::strcpy(ship.title, "Carrier");
        ship.planeLatitude = 0.6422;
        ship.planeLongitude = -1.3155;
        ship.planeHeadingTrue = 1.5708;
        ship.airspeedTrue = airspeed_mps;
        ship.rotationVelocityBodyY = yaw_rate;
        return ship;
    }
    // The user aircraft a few miles from the deck (TACAN valid) or 40 degrees
    // of latitude away (not valid).
    UserAircraftData user_record(bool near) const
    {
        UserAircraftData user{};
        user.planeAltitude = 0.2;
        user.planeLatitude = near ? 0.6410 : 0.0;
        user.planeLongitude = -1.3190;
        return user;
    }
};

}  // namespace

// [sound channel] ---------------------------------------------------------------

TEST_F(ModuleBehaviour, LoadSoundsAsksForOneGroupAndLoadsTheNineFilesInSlotOrderWithIt)
{
    gauges_file("ZEB_Parameters.xml", parameters_with_sounds());
    moduleState->carrier->Language = "English";
    load_sounds();
    ASSERT_EQ(sound.count(29), 1);
    ASSERT_EQ(sound.calls.size(), 10u);
    EXPECT_EQ(sound.calls[0].ordinal, 29);
    const char* const order[] = {"en/w1.wav",  "en/w2.wav",     "en/w3.wav",     "en/w4.wav",   "en/ball.wav",
                                 "en/high.wav", "en/toolow.wav", "en/lineup.wav", "en/waveoff.wav"};
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(sound.calls[1 + i].ordinal, 30);
        EXPECT_EQ(sound.calls[1 + i].path, order[i]) << i;
        EXPECT_EQ(sound.calls[1 + i].a, sound.group) << i;
        EXPECT_EQ(soundSlots[i], 100 + i) << i;
    }
    EXPECT_EQ(moduleState->sounds->TooLow_msg, "Low");

    // A second load is a new batch: ordinal 29 once more.
    load_sounds();
    EXPECT_EQ(sound.count(29), 2);
    EXPECT_EQ(sound.count(30), 18);
}

TEST_F(ModuleBehaviour, ANonePathEmptiesItsSlotWithoutCallingTheLibrary)
{
    gauges_file("ZEB_Parameters.xml", parameters_with_sounds("none"));
    moduleState->carrier->Language = "English";
    soundSlots[SOUND_TOO_LOW] = 55;
    load_sounds();
    EXPECT_EQ(soundSlots[SOUND_TOO_LOW], 0);
    EXPECT_EQ(sound.count(30), 8);
    for (const auto& call : sound.calls) EXPECT_NE(call.path, "none");
    EXPECT_NE(soundSlots[SOUND_LINE_UP], 0);

    // load_sound_slot itself: "none" gives 0 untouched by the library; any
    // other text, even empty, goes to ordinal 30 with the group.
    const size_t before = sound.calls.size();
    EXPECT_EQ(load_sound_slot(SOUND_WIRE2, "none", 3), 0);
    EXPECT_EQ(sound.calls.size(), before);
    EXPECT_EQ(load_sound_slot(SOUND_WIRE2, "", 3), soundSlots[SOUND_WIRE2]);
    ASSERT_EQ(sound.calls.size(), before + 1);
    EXPECT_EQ(sound.calls.back().path, "");
    EXPECT_EQ(sound.calls.back().a, 3);
}

TEST_F(ModuleBehaviour, ALanguageWithoutAListCallsNeitherGroupNorLoadAndKeepsTheSlots)
{
    gauges_file("ZEB_Parameters.xml", parameters_with_sounds());
    moduleState->carrier->Language = "Deutsch";
    for (int i = 0; i < SOUND_SLOT_COUNT; ++i) soundSlots[i] = 10 + i;
    load_sounds();
    EXPECT_TRUE(sound.calls.empty());
    for (int i = 0; i < SOUND_SLOT_COUNT; ++i) EXPECT_EQ(soundSlots[i], 10 + i);
    EXPECT_EQ(moduleState->sounds->Wire1, "none");

    // No SoundFileList at all (result 2): nothing either.
    gauges_file("ZEB_Parameters.xml", "<?xml version=\"1.0\"?>\n<Parameters/>\n");
    moduleState->carrier->Language = "English";
    load_sounds();
    EXPECT_TRUE(sound.calls.empty());
}

TEST_F(ModuleBehaviour, SoundsAreLoadedOnSelectionOnlyWhenTheCarrierHasALanguage)
{
    gauges_file("ZEB_Parameters.xml", parameters_with_sounds());
    struct Case {
        std::string language;
        double mhz;
        int groups;
    };
    const Case cases[] = {{"English", 112.70, 1}, {"none", 112.70, 0}, {"English", 115.00, 1}, {"none", 115.00, 0},
                          {"English", 100.00, 0}};
    for (const Case& c : cases) {
        gauges_file("ZEB_Carrier.xml", carrier_list(c.language));
        sound.calls.clear();
        tune(c.mhz);
        EXPECT_EQ(sound.count(29), c.groups) << c.language << " " << c.mhz;
        EXPECT_EQ(sound.count(30), 9 * c.groups) << c.language << " " << c.mhz;
    }
    // A carrier without a language does not even read the lists: the texts
    // of the last loaded list stay.
    gauges_file("ZEB_Carrier.xml", carrier_list("none"));
    moduleState->sounds->Wire1_msg = "kept";
    tune(112.70);
    tune(115.00);
    EXPECT_EQ(moduleState->sounds->Wire1_msg, "kept");

    // A ship that is not among the boats loads nothing.
    gauges_file("ZEB_Carrier.xml", carrier_list("English"));
    sound.calls.clear();
    boat(0, 0, 0, "", 0, 0);
    tunedTacanFrequency = 112.70;
    handle_command_event(CMD_TUNE, 0, nullptr);
    EXPECT_EQ(sound.count(29), 0);
}

// [deck services] ----------------------------------------------------------------

TEST_F(ModuleBehaviour, RefuellingNeedsAtMostATenthOfAMetrePerSecondTheParkingBrakeAndTheGround)
{
    struct Case {
        double speed_mps;
        double brake;
        int32_t on_ground;
        bool allowed;
    };
    const Case cases[] = {{0.0, 1, 1, true},   {0.1, 1, 1, true},   {0.11, 1, 1, false}, {NaN, 1, 1, false},
                          {-0.5, 1, 1, true},  {0.05, 0, 1, false}, {0.05, 1, 0, false}, {0.05, 2, 1, false}};
    for (const Case& c : cases) {
        mark();
        set_user_var("SURFACE RELATIVE GROUND SPEED", c.speed_mps);
        set_user_var("BRAKE PARKING INDICATOR", c.brake);
        moduleState->userAircraft->simOnGround = c.on_ground;
        handle_refuel(1);
        const auto shown = texts();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0]["text"], c.allowed ? "Refuelling is done!" : "Refuelling can't be done!") << c.speed_mps;
        EXPECT_EQ(shown[0]["color"], "green");
        EXPECT_FLOAT_EQ(shown[0]["seconds"].get<double>(), 2.0);
        const auto writes = calls("SimConnect_SetDataOnSimObject");
        ASSERT_EQ(writes.size(), c.allowed ? 1u : 0u) << c.speed_mps;
        if (c.allowed) {
            EXPECT_EQ(writes[0]["args"]["define"], DEF_FUEL_TANKS);
            EXPECT_EQ(writes[0]["args"]["object"], 0);
            EXPECT_EQ(writes[0]["args"]["unit_size"], 88);
        }
    }
}

TEST_F(ModuleBehaviour, LaunchReadinessNeedsTheBarNoArmedLaunchAndPowerStrictlyAboveTheSetting)
{
    EnginePowerPercent = 90;
    struct Case {
        int32_t phase, armed;
        double n1;
        uint8_t is_button;
        uint32_t value;
        bool accepted;
    };
    const Case cases[] = {
        {1, 0, 90.0, 0, 0, false}, {1, 0, 90.01, 0, 0, true}, {1, 0, 91.0, 0, 5, true}, {1, 0, 89.0, 0, 0, false},
        {0, 0, 95.0, 0, 0, false}, {2, 0, 95.0, 0, 0, false}, {1, 1, 95.0, 0, 0, false}, {1, 0, 95.0, 1, 0, false},
        {1, 0, 95.0, 1, 1, true},  {1, 0, 95.0, 1, 2, false},
    };
    for (const Case& c : cases) {
        mark();
        launchPhase = c.phase;
        launchArmed = c.armed;
        launchRequested = 0;
        launchIsButton = c.is_button;
        moduleState->userAircraft->eng1N1Rpm = c.n1;
        handle_launch_ready(c.value);
        EXPECT_EQ(launchRequested, c.accepted ? 1 : 0) << c.phase << c.armed << " " << c.n1 << " " << c.value;
        const auto shown = texts();
        ASSERT_EQ(shown.size(), c.accepted ? 1u : 0u);
        if (c.accepted) {
            EXPECT_EQ(shown[0]["text"], "OK for Launch!");
            EXPECT_EQ(shown[0]["color"], "red");
            EXPECT_FLOAT_EQ(shown[0]["seconds"].get<double>(), 2.0);
        }
    }
}

TEST_F(ModuleBehaviour, ButtonCommandsActOnlyOnValueOneKeyboardCommandsOnAny)
{
    for (uint8_t is_button : {0, 1}) {
        for (uint32_t value : {0u, 1u, 2u}) {
            mark();
            toggleIsButton = refuelIsButton = is_button;
            handle_toggle_animation(value);
            handle_refuel(value);
            const bool acts = value == 1 || !is_button;
            EXPECT_EQ(texts().size(), acts ? 2u : 0u) << int(is_button) << value;
        }
    }
    mark();
    toggleIsButton = 0;
    handle_toggle_animation(0);
    EXPECT_EQ(bench->panel_variable("ZEB_Command1"), 1.0);
    handle_toggle_animation(0);
    EXPECT_EQ(bench->panel_variable("ZEB_Command1"), 0.0);
    EXPECT_EQ(texts()[0]["text"], "Animation is toggled!");
    EXPECT_EQ(texts()[0]["color"], "green");
}

// [screen texts] -------------------------------------------------------------------

TEST_F(ModuleBehaviour, ATextIsHandedOverWithItsLengthPlusOne)
{
    show_text("abc", SIMCONNECT_TEXT_TYPE_PRINT_YELLOW, 3.5f);
    const auto sent = calls("SimConnect_Text");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0]["args"]["size"], 4);
    EXPECT_EQ(sent[0]["args"]["event"], 0);
    EXPECT_EQ(sent[0]["args"]["type"], 0x105);
    EXPECT_FLOAT_EQ(sent[0]["args"]["seconds"].get<double>(), 3.5);
    EXPECT_EQ(texts().at(0)["text"], "abc");
}

// [carrier selection and the ship] ---------------------------------------------------------

TEST_F(ModuleBehaviour, TheTuningMessageIsRedWhenTheTacanIsNotValidOnTheFirstGeometryFrame)
{
    gauges_file("ZEB_Carrier.xml", carrier_list("none"));
    for (bool near : {false, true}) {
        tune(112.70);
        ASSERT_EQ(carrierFound, 1);
        ASSERT_EQ(lockMessagePending, 1);
        ship_frame(ship_record());
        mark();
        user_frame(user_record(near));
        EXPECT_EQ(approachSolution.tcnValid, near ? 1 : 0);
        const auto shown = texts();
        ASSERT_EQ(shown.size(), 1u) << near;
        EXPECT_EQ(shown[0]["text"], near ? "TACAN tuned on Ship -Lock on-" : "TACAN tuned on Ship");
        EXPECT_EQ(shown[0]["color"], near ? "yellow" : "red");
        EXPECT_FLOAT_EQ(shown[0]["seconds"].get<double>(), 5.0);
        EXPECT_EQ(lockMessagePending, 0);
        user_frame(user_record(near));  // shown once per selection
        EXPECT_EQ(texts().size(), 1u);
    }
}

TEST_F(ModuleBehaviour, RetuningClearsTheShipDataFlagAndTheSharedResultsButNotTheRadialsAndPosition)
{
    gauges_file("ZEB_Carrier.xml", carrier_list("none"));
    tune(112.70);
    ship_frame(ship_record());
    ASSERT_EQ(carrierDataReceived, 1);
    ApproachSolution& s = approachSolution;
    s.BRC = s.rwyTrueHeading = s.rwyHeading = s.gsError = s.locError = s.meatballPosition = 1.5;
    s.ilsTrueRadial = s.ilsSlantRange = s.tcnTrueRadial = s.tcnCdi = s.tcnSlantRange = 1.5;
    s.ilsRadial = s.tcnRadial = s.ilsLat = s.ilsLon = 2.5;
    s.tcnToFrom = 2;
    s.tcnValid = s.ilsLocValid = s.ilsGsValid = 1;
    tune(112.70);
    EXPECT_EQ(carrierDataReceived, 0);
    EXPECT_EQ(carrierFound, 1);
    for (double v : {s.BRC, s.rwyTrueHeading, s.rwyHeading, s.gsError, s.locError, s.meatballPosition, s.ilsTrueRadial,
                     s.ilsSlantRange, s.tcnTrueRadial, s.tcnCdi, s.tcnSlantRange})
        EXPECT_EQ(v, 0.0);
    EXPECT_EQ(s.tcnToFrom, 0);
    EXPECT_EQ(s.tcnValid + s.ilsLocValid + s.ilsGsValid, 0);
    for (double v : {s.ilsRadial, s.tcnRadial, s.ilsLat, s.ilsLon}) EXPECT_EQ(v, 2.5);
    // The ship's data is asked for the selected object.
    const auto requests = calls("SimConnect_RequestDataOnSimObject");
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back()["args"]["request"], 2);
    EXPECT_EQ(requests.back()["args"]["object"], 42);

    // A frequency in no entry: one blank in red for a second, nothing found.
    mark();
    s.BRC = 1.0;
    tune(100.00);
    EXPECT_EQ(carrierFound, 0);
    EXPECT_EQ(s.BRC, 0.0);
    ASSERT_EQ(texts().size(), 1u);
    EXPECT_EQ(texts()[0]["text"], " ");
    EXPECT_FLOAT_EQ(texts()[0]["seconds"].get<double>(), 1.0);
    EXPECT_EQ(carrierObjectId, 0u);
}

TEST_F(ModuleBehaviour, ShipDataCountsOnlyAsEntryOneOfOneForTheSelectedShip)
{
    gauges_file("ZEB_Carrier.xml", carrier_list("none", "none"));
    tune(112.70);
    CarrierObjectData ship = ship_record(12.0);
    const DWORD counts[][2] = {{1, 2}, {2, 1}, {0, 0}, {0, 1}, {2, 2}};
    for (const auto& kn : counts) {
        ship_frame(ship, kn[0], kn[1]);
        EXPECT_EQ(carrierDataReceived, 0) << kn[0] << "/" << kn[1];
        EXPECT_EQ(moduleState->carrier->deckSpeed, 0.0);
    }
    ship_frame(ship, 1, 1);
    EXPECT_EQ(carrierDataReceived, 1);
    const CarrierEntry& c = *moduleState->carrier;
    EXPECT_EQ(c.deckSpeed, 12.0);
    EXPECT_EQ(c.deckLatitude, 0.6422);
    EXPECT_EQ(c.deckLongitude, 1.3155);  // west positive
    EXPECT_EQ(c.deckHeading, 1.5708);

    // Not a ship, or nothing found: ignored.
    carrierDataReceived = 0;
    carrierFound = 0;
    ship_frame(ship, 1, 1);
    EXPECT_EQ(carrierDataReceived, 0);
}

// The request made at start names object 0, the user aircraft. When the one
// that should replace it at the tuning is refused, the user's own record keeps
// arriving as ship data: it must never count as the ship.
TEST_F(ModuleBehaviour, ShipDataFromAnyObjectButTheSelectedShipIsIgnoredAndARefusedRequestSaysNotLocked)
{
    gauges_file("ZEB_Carrier.xml", carrier_list("none", "none"));
    tune(112.70);
    ASSERT_EQ(carrierObjectId, 42u);
    const CarrierObjectData ship = ship_record(12.0);
    for (DWORD other : {0u, 1u, 41u, 43u}) {
        object_data(2, other, 1, 1, &ship, sizeof ship);
        EXPECT_EQ(carrierDataReceived, 0) << other;
        EXPECT_EQ(moduleState->carrier->deckSpeed, 0.0) << other;
    }

    // The simulator refuses the tuning's request: red, no lock, and the
    // user's record arriving afterwards changes nothing.
    bench->simconnect().fail_call("SimConnect_RequestDataOnSimObject", 1);
    mark();
    tune(112.70);
    ASSERT_EQ(texts().size(), 1u);
    EXPECT_EQ(texts()[0]["text"], "TACAN tuned on Ship");
    EXPECT_EQ(texts()[0]["color"], "red");
    EXPECT_FLOAT_EQ(texts()[0]["seconds"].get<double>(), 5.0);
    EXPECT_EQ(carrierFound, 1);
    object_data(2, 0, 1, 1, &ship, sizeof ship);
    user_frame(user_record(true));
    EXPECT_EQ(carrierDataReceived, 0);
    EXPECT_EQ(approachSolution.tcnValid, 0);
    EXPECT_EQ(texts().size(), 1u);

    // An accepted request: no text until the ship's data brings the lock.
    mark();
    tune(112.70);
    EXPECT_TRUE(texts().empty());
    ship_frame(ship);
    user_frame(user_record(true));
    ASSERT_EQ(texts().size(), 1u);
    EXPECT_EQ(texts()[0]["text"], "TACAN tuned on Ship -Lock on-");
}

TEST_F(ModuleBehaviour, TheHelicopterIsPlacedOnlyWithATitleAValidTacanAndAStraightRunningShip)
{
    struct Case {
        std::string helo;
        uint8_t tcn_valid;
        double yaw_rate;
        bool created;
    };
    const Case cases[] = {{"Plane Guard", 1, 0.0, true},  {"none", 1, 0.0, false},   {"Plane Guard", 0, 0.0, false},
                          {"Plane Guard", 1, 0.01, true}, {"Plane Guard", 1, -0.011, false}};
    for (const Case& c : cases) {
        gauges_file("ZEB_Carrier.xml", carrier_list("none", c.helo));
        bench->world().add_known_title("Plane Guard");
        tune(112.70);
        heloObjectExists = 0;
        mark();
        approachSolution.tcnValid = c.tcn_valid;
        ship_frame(ship_record(15.7, c.yaw_rate));
        const auto created = calls("SimConnect_AICreateSimulatedObject");
        ASSERT_EQ(created.size(), c.created ? 1u : 0u) << c.helo << int(c.tcn_valid) << c.yaw_rate;
        if (!c.created) continue;
        EXPECT_EQ(created[0]["args"]["title"], "Plane Guard");
        EXPECT_EQ(created[0]["args"]["airspeed"], 15);  // truncated
        EXPECT_EQ(created[0]["args"]["on_ground"], 1);
        EXPECT_EQ(created[0]["args"]["request"], 1);
        EXPECT_EQ(heloObjectExists, 1);
    }
}

TEST_F(ModuleBehaviour, TheShipsAirspeedBecomesADefinedIntegerWhateverItIs)
{
    gauges_file("ZEB_Carrier.xml", carrier_list("none", "Plane Guard"));
    bench->world().add_known_title("Plane Guard");
    struct Case {
        double airspeed;
        int64_t sent;
    };
    const Case cases[] = {{15.99, 15},         {-3.7, 0xFFFFFFFDll},       {NaN, 0},
                          {2147483648.0, 0x7FFFFFFF}, {1e300, 0x7FFFFFFF}, {-1e300, 0x80000000ll}};
    for (const Case& c : cases) {
        tune(112.70);
        heloObjectExists = 0;
        mark();
        approachSolution.tcnValid = 1;
        ship_frame(ship_record(c.airspeed));
        const auto created = calls("SimConnect_AICreateSimulatedObject");
        ASSERT_EQ(created.size(), 1u) << c.airspeed;
        EXPECT_EQ(created[0]["args"]["airspeed"].get<int64_t>(), c.sent) << c.airspeed;
    }
}

TEST_F(ModuleBehaviour, ARemovedObjectRenewsTheBoatListAndARemovedShipIsNoLongerTracked)
{
    gauges_file("ZEB_Carrier.xml", carrier_list("none", "none"));
    tune(112.70);
    ship_frame(ship_record());
    approachSolution.tcnValid = 1;
    auto removed = [&](DWORD object) {
        SIMCONNECT_RECV_EVENT_OBJECT_ADDREMOVE event{};
        event.dwSize = sizeof event;
        event.dwID = SIMCONNECT_RECV_ID_EVENT_OBJECT_ADDREMOVE;
        event.uGroupID = SIMCONNECT_UNUSED;
        event.uEventID = EVT_OBJECT_REMOVED;
        event.dwData = object;
        dispatch_procedure(&event, sizeof event, nullptr);
    };
    mark();
    removed(77);  // another object
    EXPECT_EQ(calls("SimConnect_RequestDataOnSimObjectType").size(), 1u);
    EXPECT_EQ(carrierFound, 1);
    EXPECT_EQ(approachSolution.tcnValid, 1);
    removed(42);  // the ship
    EXPECT_EQ(calls("SimConnect_RequestDataOnSimObjectType").size(), 2u);
    EXPECT_EQ(carrierFound, 0);
    EXPECT_EQ(approachSolution.tcnValid, 0);
    EXPECT_EQ(calls("SimConnect_RequestDataOnSimObjectType").back()["args"]["radius"], 200000);
}

// [navigation gauge] ----------------------------------------------------------------

TEST(TacanNavigationGauge, EachOfTheTwentyOneNamesCarriesItsOwnValue)
{
    reset_module_values();
    FakePanels panels;
    panels.results["(A:Nav1 Active Frequency, MHz)"] = 112.7;
    tunedTacanFrequency = 112.7;
    ApproachSolution& s = approachSolution;
    s.tcnValid = 1;
    carrierFound = 0;  // differs from "TCN Valid"
    moduleState->carrier->CarrierType = 2;
    s.BRC = 4, s.rwyTrueHeading = 5, s.rwyHeading = 6, s.gsError = 7, s.locError = 8;
    s.ilsLocValid = 0, s.ilsGsValid = 1;
    s.meatballPosition = 11, s.ilsRadial = 12, s.tcnRadial = 13, s.tcnCdi = 14, s.tcnToFrom = 15;
    s.ilsTrueRadial = 16, s.tcnTrueRadial = 17, s.ilsSlantRange = 18, s.tcnSlantRange = 19, s.ilsLat = 20;
    s.ilsLon = 21, s.magneticVariation = 99;
    gaugehdr_Tacan_Navigation.gauge_callback(&gaugehdr_Tacan_Navigation, PANEL_SERVICE_PRE_UPDATE, 0);

    const char* const names[] = {"TCN Valid", "Carrier_Is_Found", "CarrierType", "BRC", "RWY_True_Heading",
                                 "RWY_Heading", "GS Error", "LOC Error", "ILS_LOC_VALID", "ILS_GS_VALID",
                                 "Meatball_Position", "ILS Radial", "TCN Radial", "TCN CDI", "TCN_TOFROM",
                                 "ILS True Radial", "TCN True Radial", "ILS Slant Range", "TCN Slant Range",
                                 "ILS Lat", "ILS Lon"};
    const double values[] = {1, 0, 2, 4, 5, 6, 7, 8, 0, 1, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21};
    ASSERT_EQ(panels.namedSets.size(), 21u);
    for (int i = 0; i < 21; ++i) {
        ASSERT_TRUE(panels.namedIds.count(names[i])) << names[i];
        EXPECT_EQ(panels.namedSets[i].first, panels.namedIds[names[i]]) << names[i];
        EXPECT_EQ(panels.namedSets[i].second, values[i]) << names[i];
    }
    EXPECT_EQ(tuningChanged, 0);
    EXPECT_TRUE(panels.keyEvents.empty());
    reset_module_values();
}

TEST(TacanNavigationGauge, TheParameterStringChoosesTheReceiverAndANewFrequencyRaisesTheTuning)
{
    reset_module_values();
    FakePanels panels;
    panels.results["(A:Nav1 Active Frequency, MHz)"] = 112.7;
    panels.results["(A:Nav2 Active Frequency, MHz)"] = 109.8;
    GAUGEHDR header = gaugehdr_Tacan_Navigation;
    struct Case {
        const char* parameters;
        int32_t receiver;
    };
    const Case cases[] = {{"2", 2}, {"NAV12", 2}, {"", 1}, {"NAV1", 1}, {nullptr, 1}};
    for (const Case& c : cases) {
        header.parameters = c.parameters;
        header.gauge_callback(&header, PANEL_SERVICE_PRE_INSTALL, 0);
        EXPECT_EQ(tacanReceiver, c.receiver) << (c.parameters ? c.parameters : "null");
    }
    header.parameters = "2";
    header.gauge_callback(&header, PANEL_SERVICE_PRE_INSTALL, 0);
    header.gauge_callback(&header, PANEL_SERVICE_PRE_UPDATE, 0);
    ASSERT_EQ(panels.keyEvents.size(), 1u);
    EXPECT_EQ(panels.keyEvents[0].id, 0x11101u);
    EXPECT_EQ(panels.keyEvents[0].value, 0u);
    EXPECT_EQ(tunedTacanFrequency, 109.8);
    EXPECT_EQ(tuningChanged, 1);
    EXPECT_TRUE(panels.namedSets.empty());
    EXPECT_EQ(panels.executed.back(), "(A:Nav2 Active Frequency, MHz)");
    header.gauge_callback(&header, PANEL_SERVICE_PRE_UPDATE, 0);
    EXPECT_EQ(panels.keyEvents.size(), 1u);
    EXPECT_EQ(tuningChanged, 0);
    EXPECT_EQ(panels.namedSets.size(), 21u);

    // A receiver that gives nothing reads 0.0; NaN always counts as new.
    panels.results["(A:Nav2 Active Frequency, MHz)"] = NaN;
    header.gauge_callback(&header, PANEL_SERVICE_PRE_UPDATE, 0);
    header.gauge_callback(&header, PANEL_SERVICE_PRE_UPDATE, 0);
    EXPECT_EQ(panels.keyEvents.size(), 3u);
    // Other services do nothing.
    const size_t executed = panels.executed.size();
    for (SINT32 service : {0, 1, 3, 7, 14, 15}) header.gauge_callback(&header, service, 0);
    EXPECT_EQ(panels.executed.size(), executed);
    reset_module_values();
}

TEST_F(ModuleBehaviour, AFixedSiteShowsItsTuningMessageOnTheFirstFrameAndItsFlolsGoesOnlyWhenRemoved)
{
    std::string list = carrier_list("none");
    list.replace(list.find("FLOLS_Name=\"none\""), 17, "FLOLS_Name=\"Lens\"");
    gauges_file("ZEB_Carrier.xml", list);
    bench->world().add_known_title("Lens");
    tunedTacanFrequency = 115.00;
    handle_command_event(CMD_TUNE, 0, nullptr);
    EXPECT_EQ(carrierFound, 1);
    EXPECT_EQ(flolsObjectExists, 1);
    const auto created = calls("SimConnect_AICreateSimulatedObject");
    ASSERT_EQ(created.size(), 1u);
    EXPECT_EQ(created[0]["args"]["title"], "Lens");
    EXPECT_EQ(created[0]["args"]["request"], 0);

    mark();
    UserAircraftData user{};
    user.planeLatitude = 36.8 * M_PI / 180;
    user.planeLongitude = -76.05 * M_PI / 180;
    user.planeAltitude = 0.2;
    user_frame(user);
    ASSERT_EQ(texts().size(), 1u);
    EXPECT_EQ(texts()[0]["text"], "TACAN tuned on Field -Lock on-");

    // The simulator refuses the removal: the object stays and the removal is
    // tried again at the next tuning.
    bench->simconnect().frame();  // the assigned object id
    ASSERT_NE(flolsObjectId, 0u);
    const uint32_t lens = flolsObjectId;
    bench->simconnect().fail_call("SimConnect_AIRemoveObject", 1);
    tunedTacanFrequency = 100.0;
    mark();
    handle_command_event(CMD_TUNE, 0, nullptr);
    ASSERT_EQ(calls("SimConnect_AIRemoveObject").size(), 1u);
    EXPECT_EQ(calls("SimConnect_AIRemoveObject")[0]["args"]["object"], lens);
    EXPECT_EQ(calls("SimConnect_AIRemoveObject")[0]["args"]["request"], 0);
    EXPECT_EQ(flolsObjectExists, 1);
    mark();
    handle_command_event(CMD_TUNE, 0, nullptr);
    EXPECT_EQ(calls("SimConnect_AIRemoveObject").size(), 1u);
    mark();
    handle_command_event(CMD_TUNE, 0, nullptr);
    EXPECT_TRUE(calls("SimConnect_AIRemoveObject").empty());
}

// [module state and AI objects] ---------------------------------------------------------

TEST_F(ModuleBehaviour, TheCentralRecordIsCreatedOnceAndKeepsItsLinkedRecords)
{
    CarrierModuleState* first = get_or_create_module_state();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(get_or_create_module_state(), first);
    EXPECT_EQ(first, moduleState);
    EXPECT_EQ(get_or_create_module_state()->carrier, moduleState->carrier);
}

TEST_F(ModuleBehaviour, ShipDataCopiesEachBlastDeflectorToItsOwnLiveField)
{
    gauges_file("ZEB_Carrier.xml", carrier_list("none", "none"));
    tune(112.70);
    CarrierObjectData ship = ship_record();
    const double shields[4] = {11.0, 22.0, 33.0, 44.0};
    for (int i = 0; i < 4; ++i) ship.blastShield[i] = shields[i];
    ship_frame(ship);
    const CarrierEntry& carrier = *moduleState->carrier;
    EXPECT_EQ(carrier.blastDeflector1, 11.0);
    EXPECT_EQ(carrier.blastDeflector2, 22.0);
    EXPECT_EQ(carrier.blastDeflector3, 33.0);
    EXPECT_EQ(carrier.blastDeflector4, 44.0);
}

// The helicopter is removed when the ship turns and created again when it runs
// straight; the new one gets no velocity write before its own id arrives.
TEST_F(ModuleBehaviour, ARecreatedHelicopterGetsNoVelocityBeforeItsIdIsAssigned)
{
    gauges_file("ZEB_Carrier.xml", carrier_list("none", "Plane Guard"));
    bench->world().add_known_title("Plane Guard");
    tune(112.70);
    approachSolution.tcnValid = 1;
    auto velocity_writes = [&] {
        size_t n = 0;
        for (const auto& c : calls("SimConnect_SetDataOnSimObject")) n += c["args"]["define"] == DEF_HELO_VELOCITY;
        return n;
    };
    ship_frame(ship_record(15.0));
    ASSERT_EQ(heloObjectExists, 1);
    bench->simconnect().frame();  // the assigned id: control released
    ASSERT_EQ(heloControlReleased, 1);
    mark();
    ship_frame(ship_record(15.0));
    EXPECT_EQ(velocity_writes(), 1u);

    ship_frame(ship_record(15.0, 0.05));  // turning: removed
    ASSERT_EQ(heloObjectExists, 0);
    EXPECT_EQ(heloControlReleased, 0);
    mark();
    ship_frame(ship_record(15.0));  // straight again: created anew
    ASSERT_EQ(calls("SimConnect_AICreateSimulatedObject").size(), 1u);
    ship_frame(ship_record(15.0));  // its id has not come yet
    EXPECT_EQ(velocity_writes(), 0u);
}

TEST_F(ModuleBehaviour, AFixedSiteWhoseFlolsIsNoneCreatesNoObject)
{
    gauges_file("ZEB_Carrier.xml", carrier_list("none"));  // FLOLS_Name="none"
    tunedTacanFrequency = 115.00;
    handle_command_event(CMD_TUNE, 0, nullptr);
    EXPECT_EQ(carrierFound, 1);
    EXPECT_TRUE(calls("SimConnect_AICreateSimulatedObject").empty());
    EXPECT_EQ(flolsObjectExists, 0);
}
