// The central record and the shared module-wide values, with their start values.
#include "state/module_state.h"

CarrierModuleState* moduleState = nullptr;

ApproachSolution approachSolution{};
HANDLE simConnectHandle = nullptr;
HRESULT lastSimConnectResult = 0;
uint8_t toggleIsButton = 0;
uint8_t refuelIsButton = 0;
uint8_t launchIsButton = 0;
uint8_t carrierFound = 0;
SIMCONNECT_DATA_INITPOSITION aiInitPosition{0, 0, 0, 0, 0, 0, 1, 0};
double refuelLevels[REFUEL_TANK_COUNT] = {};
int32_t EnginePowerPercent = 0;
int32_t tacanReceiver = 0;
double tunedTacanFrequency = 0.0;
uint8_t tuningChanged = 0;

CarrierModuleState* get_or_create_module_state()
{
    static CarrierModuleState* state = nullptr;
    if (!state) state = new CarrierModuleState{};
    return state;
}

void create_state_records(CarrierModuleState* state)
{
    state->userAircraft = new UserAircraftData{};
    state->ship = new CarrierObjectData{};
    state->boat = new BoatListEntry{};
    state->carrier = new CarrierEntry{};
    state->catapult = new CatapultParameters{};
    state->commands = new KeyboardCommands{};
    state->lights = new LightParameters{};
    state->lso = new LsoParameters{};
    state->sounds = new SoundList{};
}
