// The launch model: steam variables, the constant-acceleration stroke and the
// end of a launch. Called only by the catapult gauge.
#include <cmath>

#include "catapult/catapult.h"
#include "module/host_services.h"
#include "platform/process.h"
#include "state/module_state.h"

int32_t launchPhase = 0;
int32_t launchArmed = 0;
uint8_t launchRequested = 0;
int32_t launchBarDown = 0;
int32_t activeCatapult = 0;
uint32_t launchStartClock = 0;
uint32_t armedClock = 0;
double launchTime = 0.0;
double launchPercent = 0.0;
double launchEndSpeed = 0.0;
double launchStartSpeed = 0.0;
double launchAcceleration = 0.0;
double catapultTargetSpeed = 0.0;
double catapultCrossSpeed = 0.0;
int32_t catapultSound = 0;

// Knots to metres per second as the launch speed uses it (exactly 0.514444).
constexpr double LAUNCH_KNOT_MPS = 0.514444;

void catapult_set_steam(int32_t catapult)
{
    switch (catapult) {
    case 0:
        execute_calculator_code("0 (>L:Cat_1_Steam, bool)", nullptr, nullptr, nullptr);
        execute_calculator_code("0 (>L:Cat_2_Steam, bool)", nullptr, nullptr, nullptr);
        execute_calculator_code("0 (>L:Cat_3_Steam, bool)", nullptr, nullptr, nullptr);
        execute_calculator_code("0 (>L:Cat_4_Steam, bool)", nullptr, nullptr, nullptr);
        break;
    case 1:
        execute_calculator_code("1 (>L:Cat_1_Steam, bool)", nullptr, nullptr, nullptr);
        break;
    case 2:
        execute_calculator_code("1 (>L:Cat_2_Steam, bool)", nullptr, nullptr, nullptr);
        break;
    case 3:
        execute_calculator_code("1 (>L:Cat_3_Steam, bool)", nullptr, nullptr, nullptr);
        break;
    case 4:
        execute_calculator_code("1 (>L:Cat_4_Steam, bool)", nullptr, nullptr, nullptr);
        break;
    default:
        break;
    }
}

void catapult_begin_launch()
{
    const CatapultParameters& parameters = *moduleState->catapult;
    const UserAircraftData& user = *moduleState->userAircraft;
    launchStartClock = process_clock_ms();

    // 1.5 times the design stall speed, scaled by the square root of the
    // weight fraction, knots; 0 when the host cannot evaluate it.
    double launch_speed_kt = 0.0;
    execute_calculator_code(
        "(A:TOTAL WEIGHT,kilogram) (A:MAX GROSS WEIGHT, kilogram) / sqrt (A:DESIGN SPEED VS0, knots) * 1.5 *",
        &launch_speed_kt, nullptr, nullptr);
    launch_speed_kt += parameters.Speed_Margin;
    launchEndSpeed = (launch_speed_kt - user.ambientWindZ) * LAUNCH_KNOT_MPS;
    launchStartSpeed = user.groundVelocity;

    const double delta = launchEndSpeed - launchStartSpeed;
    launchAcceleration = (delta * launchStartSpeed + 0.5 * delta * delta) / parameters.Catapult_Lenght;

    set_named_variable_value(register_named_variable("Launch_Lenght"), parameters.Catapult_Lenght);
    launchPercent = 0.0;
}

double catapult_launch_progress()
{
    const CatapultParameters& parameters = *moduleState->catapult;
    const double previous_time = launchTime;

    double deck_speed_mps = 0.0;  // speed over the deck
    execute_calculator_code("(A:SURFACE RELATIVE GROUND SPEED, meters per second)", &deck_speed_mps, nullptr,
                            nullptr);
    // Unsigned difference: correct across a wrap of the millisecond clock.
    launchTime = static_cast<double>(process_clock_ms() - launchStartClock) / 1000.0;

    if (parameters.Catapult_Lenght == 0.0) {
        launchPercent = 0.0;
    } else {
        launchPercent = launchPercent + (launchTime - previous_time) * deck_speed_mps / parameters.Catapult_Lenght * 100.0;
    }
    set_named_variable_value(register_named_variable("Launch_Percent"), launchPercent);

    const CarrierEntry& carrier = *moduleState->carrier;
    catapultCrossSpeed = std::sin(carrier.deckHeading - moduleState->userAircraft->planeHeadingTrue) * carrier.deckSpeed;
    return launchAcceleration * launchTime + launchStartSpeed;
}

void catapult_end_launch()
{
    trigger_key_event(HOST_EVENT_CATAPULT_FREEZE, 0);
    execute_calculator_code("0 (>K:FREEZE_ATTITUDE_SET)", nullptr, nullptr, nullptr);
    execute_calculator_code("0 (>L:ReadyCatapult, bool) 0 (>L:G_Catapult, bool) 0 (>L:Catapult_State,enum)", nullptr,
                            nullptr, nullptr);
    catapult_set_steam(0);
    launchStartSpeed = 0.0;
    launchPhase = 0;
    launchEndSpeed = 0.0;
    launchArmed = 0;
    launchAcceleration = 0.0;
    activeCatapult = 0;
    catapultTargetSpeed = 0.0;
    launchRequested = 0;
    catapultCrossSpeed = 0.0;
    launchPercent = 0.0;
}
