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

namespace {

// A record a previous start allocated is set back to its start value, not
// replaced: a module started again in the same process (a simulator does so
// on every flight) would otherwise lose the old ones.
template <class Record>
void fresh_record(Record*& record)
{
    if (record) *record = Record{};
    else record = new Record{};
}

}  // namespace

void create_state_records(CarrierModuleState* state)
{
    fresh_record(state->userAircraft);
    fresh_record(state->ship);
    fresh_record(state->boat);
    fresh_record(state->carrier);
    fresh_record(state->catapult);
    fresh_record(state->commands);
    fresh_record(state->lights);
    fresh_record(state->lso);
    fresh_record(state->sounds);
}
