// The `Approach_Ctrl` gauge and the landing-signal officer's calls.
//
// Index: [values] [set-up] [officer active] [update] [calls] [gauge]
#include "landing/approach_control.h"

#include <cmath>
#include <cstdlib>

#include "landing/landing_lights.h"
#include "module/gauge_registry.h"
#include "sim/command_events.h"
#include "sim/connection.h"
#include "sound/sound_channel.h"
#include "state/module_state.h"

// [values] ---------------------------------------------------------------------
uint8_t lsoOn = 0;
uint8_t lsoActive = 0;
uint8_t callBallDone = 0;
uint8_t altitudeCheckDone[3] = {0, 0, 0};
uint8_t lineUpCheckDone[3] = {0, 0, 0};
uint8_t wireReported = 0;
int32_t flightDeckState = 0;

// The officer watches within this angle of the landing heading and of the
// landing line, degrees.
constexpr double LSO_HEADING_LIMIT_DEG = 45.0;
constexpr double LSO_LOC_LIMIT_DEG = 30.0;
// Hook position separating up from down, percent.
constexpr double HOOK_DOWN_PERCENT = 5.0;
// How long the calls' texts stay on screen, seconds.
constexpr float CALL_TEXT_SECONDS = 3.0f;
constexpr float WIRE_TEXT_SECONDS = 5.0f;

// [set-up] ------------------------------------------------------------------------
double parse_approach_gauge_setting(const char* parameters)
{
    if (!parameters) return 0.0;
    // strtod gives 0.0 when the text does not start with a number; the rest
    // of the text is ignored.
    return std::strtod(parameters, nullptr);
}

// [officer active] -------------------------------------------------------------------
// Difference a - b of two headings in degrees, folded into (-180, 180], so that
// headings on either side of north are close: 359 and 1 are 2 degrees apart.
static double heading_difference_deg(double a_deg, double b_deg)
{
    double d = std::fmod(a_deg - b_deg, 360.0);
    if (d > 180.0) d -= 360.0;
    else if (d <= -180.0) d += 360.0;
    return d;
}

void check_lso_active()
{
    int32_t gear = 0;
    execute_calculator_code("(A:GEAR RIGHT POSITION, percent) 99 > (A:IS GEAR RETRACTABLE,bool) ! ||", nullptr,
                            &gear, nullptr);
    const UserAircraftData& user = *moduleState->userAircraft;
    const ApproachSolution& s = approachSolution;
    const double heading_off_deg =
        heading_difference_deg(user.planeHeadingTrue * 180.0 / M_PI, s.rwyTrueHeading * 180.0 / M_PI);
    lsoActive = lsoOn && s.tcnValid && user.simOnGround == 0 && std::fabs(heading_off_deg) < LSO_HEADING_LIMIT_DEG &&
                std::fabs(s.locError) < LSO_LOC_LIMIT_DEG && s.ilsSlantRange < moduleState->lights->Dist_Activation &&
                gear == 1;
}

// [update] ------------------------------------------------------------------------------
// One distance check: fires once inside the 0.05 nm window below its
// distance, re-armed only when seen beyond the distance. The handler of the
// raised event sets the latch.
static void distance_check(double check_nm, double range_nm, uint8_t* latch, uint32_t event_id, uint32_t value)
{
    const double d = check_nm - range_nm;
    if (0.0 <= d && d < CHECK_WINDOW_NM && !*latch) {
        trigger_key_event(event_id, value);
    } else if (d < 0.0) {
        *latch = 0;
    }
}

static void run_distance_checks()
{
    const LsoParameters& lso = *moduleState->lso;
    const double s = approachSolution.ilsSlantRange;  // read once for the seven checks
    distance_check(lso.Check_CallBall, s, &callBallDone, CMD_CALL_BALL, 0);
    distance_check(lso.Check_Altitude_1, s, &altitudeCheckDone[0], CMD_ALTITUDE_CHECK, 1);
    distance_check(lso.Check_LOC_1, s, &lineUpCheckDone[0], CMD_LINE_UP_CHECK, 1);
    distance_check(lso.Check_Altitude_2, s, &altitudeCheckDone[1], CMD_ALTITUDE_CHECK, 2);
    distance_check(lso.Check_LOC_2, s, &lineUpCheckDone[1], CMD_LINE_UP_CHECK, 2);
    distance_check(lso.Check_Altitude_3, s, &altitudeCheckDone[2], CMD_ALTITUDE_CHECK, 3);
    distance_check(lso.Check_LOC_3, s, &lineUpCheckDone[2], CMD_LINE_UP_CHECK, 3);
}

void approach_control_update()
{
    int32_t officer_on = 0;
    execute_calculator_code("(L:LSO_is_Off_VC, bool) !", nullptr, &officer_on, nullptr);
    lsoOn = officer_on != 0;

    check_lso_active();
    if (lsoActive) run_distance_checks();

    const UserAircraftData& user = *moduleState->userAircraft;
    if (lsoOn) {
        if (user.simOnGround == 1 && user.cableCaught != 0 && !wireReported &&
            moduleState->carrier->CarrierType == CARRIER_TYPE_SHIP) {
            trigger_key_event(CMD_WIRE_REPORT, static_cast<uint32_t>(user.cableCaught));
            flightDeckState = 1;
            execute_calculator_code("1 (>L:FlightDeck_State,enum)", nullptr, nullptr, nullptr);
        }
        if (user.simOnGround == 0 && wireReported) wireReported = 0;
    }

    // A hook at exactly 5 %, or one that is not a number, changes nothing.
    const double hook = user.tailhookPosition;
    if (hook > HOOK_DOWN_PERCENT && flightDeckState != 2 && user.simOnGround == 0) {
        flightDeckState = 2;
        execute_calculator_code("2 (>L:FlightDeck_State,enum)", nullptr, nullptr, nullptr);
        return;
    } else if (hook < HOOK_DOWN_PERCENT && flightDeckState != 0) {
        flightDeckState = 0;
        execute_calculator_code("0 (>L:FlightDeck_State,enum)", nullptr, nullptr, nullptr);
    }
}

// [calls] -------------------------------------------------------------------------------
// Every call's text is shown in red; its sound is played only when the slot
// holds one. The calls read the errors as they are when the event is handled;
// all comparisons are strict, so a NaN error gives no call.
static void call(SoundSlot slot, const std::string& text, float seconds)
{
    play_sound_slot(slot);
    show_text(text.c_str(), SIMCONNECT_TEXT_TYPE_PRINT_RED, seconds);
}

void lso_call_ball()
{
    callBallDone = 1;
    call(SOUND_CALL_BALL, moduleState->sounds->CallBall_msg, CALL_TEXT_SECONDS);
}

void lso_altitude_check(uint32_t n)
{
    if (n >= 1 && n <= 3) altitudeCheckDone[n - 1] = 1;
    const double gs = approachSolution.gsError;
    const LsoParameters& lso = *moduleState->lso;
    if (gs > lso.TooHigh_Angle) call(SOUND_TOO_HIGH, moduleState->sounds->TooHigh_msg, CALL_TEXT_SECONDS);
    else if (gs < lso.TooLow_Angle) call(SOUND_TOO_LOW, moduleState->sounds->TooLow_msg, CALL_TEXT_SECONDS);
}

void lso_line_up_check(uint32_t n)
{
    if (n >= 1 && n <= 3) lineUpCheckDone[n - 1] = 1;
    switch_on_power_light();
    if (std::fabs(approachSolution.locError) > moduleState->lso->LOC_Angle)
        call(SOUND_LINE_UP, moduleState->sounds->LineUp_msg, CALL_TEXT_SECONDS);
}

void lso_wire_report(uint32_t n)
{
    wireReported = 1;
    const SoundList& sounds = *moduleState->sounds;
    switch (n) {
    case 1: call(SOUND_WIRE1, sounds.Wire1_msg, WIRE_TEXT_SECONDS); break;
    case 2: call(SOUND_WIRE2, sounds.Wire2_msg, WIRE_TEXT_SECONDS); break;
    case 3: call(SOUND_WIRE3, sounds.Wire3_msg, WIRE_TEXT_SECONDS); break;
    case 4: call(SOUND_WIRE4, sounds.Wire4_msg, WIRE_TEXT_SECONDS); break;
    default: break;  // any other wire number is not reported
    }
}

// [gauge] -------------------------------------------------------------------------------
static ELEMENT_STATIC_IMAGE approach_control_background = {
    {ELEMENT_TYPE_STATIC_IMAGE, 1340, {9, 0}, {0, 0}, {0, 0}, nullptr, nullptr, nullptr, nullptr, 0x1, 0},
};
static ELEMENT_HEADER* approach_control_elements[] = {&approach_control_background.header, nullptr};

static void approach_control_callback(GAUGEHDR* header, SINT32 service_id, UINT32 extra_data)
{
    switch (service_id) {
    case PANEL_SERVICE_PRE_INSTALL:
        if (header) moduleState->lso->ApproachGaugeSetting = parse_approach_gauge_setting(header->parameters);
        break;
    case PANEL_SERVICE_PRE_UPDATE:
        approach_control_update();
        break;
    default:
        break;
    }
}

GAUGEHDR gaugehdr_Approach_Ctrl =
    make_gauge_header<approach_control_elements>("Approach_Ctrl", 100, nullptr, approach_control_callback);
