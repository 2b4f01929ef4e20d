#include "module_reset.h"

#include "catapult/catapult.h"
#include "gauges/carrier_indicator.h"
#include "gauges/close_subpanel.h"
#include "gauges/radio_tacan.h"
#include "landing/approach_control.h"
#include "landing/landing_lights.h"
#include "sim/command_events.h"
#include "sim/dispatch.h"
#include "sound/sound_channel.h"
#include "state/module_state.h"

void reset_module_values()
{
    // The central record keeps its identity (as in the module); its records
    // are replaced by fresh ones.
    moduleState = get_or_create_module_state();
    if (!moduleState->carrier) create_state_records(moduleState);
    *moduleState->userAircraft = UserAircraftData{};
    *moduleState->ship = CarrierObjectData{};
    *moduleState->boat = BoatListEntry{};
    *moduleState->carrier = CarrierEntry{};
    *moduleState->catapult = CatapultParameters{};
    *moduleState->commands = KeyboardCommands{};
    *moduleState->lights = LightParameters{};
    *moduleState->lso = LsoParameters{};
    *moduleState->sounds = SoundList{};
    moduleState->boatCount = 0;

    // state/module_state
    approachSolution = ApproachSolution{};
    simConnectHandle = nullptr;
    lastSimConnectResult = 0;
    toggleIsButton = refuelIsButton = launchIsButton = 0;
    carrierFound = 0;
    aiInitPosition = SIMCONNECT_DATA_INITPOSITION{0, 0, 0, 0, 0, 0, 1, 0};
    for (double& level : refuelLevels) level = 0.0;
    EnginePowerPercent = 0;
    tacanReceiver = 0;
    tunedTacanFrequency = 0.0;
    tuningChanged = 0;
    catapultTargetSpeed = catapultCrossSpeed = 0.0;
    launchPhase = 0;
    launchArmed = 0;
    launchRequested = 0;

    // sim/dispatch
    boatList.clear();
    carrierObjectId = 0;
    carrierDataReceived = 0;
    lockMessagePending = 0;
    tacanMessage.clear();
    flolsObjectId = 0;
    flolsObjectExists = 0;
    heloObjectId = 0;
    heloObjectExists = 0;
    heloControlReleased = 0;
    heloSpeed = 0.0;

    // sim/command_events
    bodyVelocityBuffer[0] = bodyVelocityBuffer[1] = 0.0;

    // sound/sound_channel
    for (int32_t& slot : soundSlots) slot = 0;

    // catapult/catapult (the launch state beyond the three above)
    launchBarDown = 0;
    activeCatapult = 0;
    launchStartClock = 0;
    armedClock = 0;
    launchTime = launchPercent = launchEndSpeed = launchStartSpeed = launchAcceleration = 0.0;
    catapultSound = 0;

    // landing/landing_lights and landing/approach_control
    flolsValid = waveOffCheckDone = waveOffLightOn = powerLightOn = 0;
    lsoOn = lsoActive = callBallDone = wireReported = 0;
    for (int i = 0; i < 3; ++i) altitudeCheckDone[i] = lineUpCheckDone[i] = 0;
    flightDeckState = 0;

    // gauges/ (start values as at load: the radio's main switch on, the
    // indicator in its first mode)
    radioTacan = RadioTacanState{};
    tacanMainSwitch = 1;
    carrierIndicator = CarrierIndicatorState{1, 0, 0, 0.0, 0, 0, 0.0};
    panelLightsOn = 0;
    closeSubpanelHeader = nullptr;
}

void release_state_records()
{
    CarrierModuleState* state = get_or_create_module_state();
    delete state->userAircraft;
    delete state->ship;
    delete state->boat;
    delete state->carrier;
    delete state->catapult;
    delete state->commands;
    delete state->lights;
    delete state->lso;
    delete state->sounds;
    *state = CarrierModuleState{};
}
