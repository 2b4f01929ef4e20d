// The three deck commands and their screen texts.
#include "sim/deck_services.h"

#include <cmath>

#include "catapult/catapult.h"
#include "module/host_services.h"
#include "sim/connection.h"
#include "state/module_state.h"

// Highest ground speed at which the aircraft counts as standing, m/s.
constexpr double REFUEL_MAX_GROUND_SPEED = 0.1;

static bool command_accepted(uint32_t value, uint8_t is_button) { return value == 1 || !is_button; }

void handle_toggle_animation(uint32_t value)
{
    if (!command_accepted(value, toggleIsButton)) return;
    show_text("Animation is toggled!", SIMCONNECT_TEXT_TYPE_PRINT_GREEN, 2.0f);
    execute_calculator_code("(L:ZEB_Command1, bool) ! (>L:ZEB_Command1, bool)", nullptr, nullptr, nullptr);
}

// Refuels to refuelLevels when the aircraft stands on the ground with the
// parking brake set. The write counts as done only when the simulator
// accepted it (result 0); a refused write answers as a refusal.
void handle_refuel(uint32_t value)
{
    if (!command_accepted(value, refuelIsButton)) return;
    int32_t parking_brake = 0;
    double ground_speed = 0.0;
    execute_calculator_code("(A:BRAKE PARKING INDICATOR, bool)", nullptr, &parking_brake, nullptr);
    execute_calculator_code("(A:SURFACE RELATIVE GROUND SPEED, meters per second)", &ground_speed, nullptr, nullptr);
    const bool standing = ground_speed <= REFUEL_MAX_GROUND_SPEED;  // false for NaN
    if (standing && parking_brake == 1 && moduleState->userAircraft->simOnGround == 1) {
        lastSimConnectResult = SimConnect_SetDataOnSimObject(simConnectHandle, DEF_FUEL_TANKS, SIMCONNECT_OBJECT_ID_USER,
                                                             0, 0, sizeof refuelLevels, refuelLevels);
        if (lastSimConnectResult == S_OK) show_text("Refuelling is done!", SIMCONNECT_TEXT_TYPE_PRINT_GREEN, 2.0f);
        else show_text("Refuelling can't be done!", SIMCONNECT_TEXT_TYPE_PRINT_GREEN, 2.0f);
    } else {
        show_text("Refuelling can't be done!", SIMCONNECT_TEXT_TYPE_PRINT_GREEN, 2.0f);
    }
}

// Accepts a launch request on the hold-back bar, not yet armed, with the
// first engine above the configured power.
void handle_launch_ready(uint32_t value)
{
    if (launchPhase == 1 && launchArmed == 0 &&
        static_cast<double>(EnginePowerPercent) < moduleState->userAircraft->eng1N1Rpm &&
        command_accepted(value, launchIsButton)) {
        show_text("OK for Launch!", SIMCONNECT_TEXT_TYPE_PRINT_RED, 2.0f);
        launchRequested = 1;
    }
}
