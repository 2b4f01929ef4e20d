// Module entry: the exported linkage record, module start and module stop.
//
// The host stores its panel-services table in ImportTable, then calls
// module_init; from then on it calls the gauge callbacks, the key-event
// handler and the SimConnect dispatch procedure one at a time on its own
// thread. module_deinit runs once before the module is unloaded.
#include <tinyxml.h>

#include "config/parameters.h"
#include "module/entry_guard.h"
#include "module/gauge_registry.h"
#include "module/host_services.h"
#include "sim/command_events.h"
#include "sim/connection.h"
#include "state/module_state.h"

constexpr UINT32 CARRIER_MODULE_ID = 0x13;
constexpr UINT32 CARRIER_MODULE_VERSION = 0x900;

static void module_init();
static void module_deinit();

extern "C" {
__attribute__((visibility("default"))) GAUGESLINKAGE Linkage = {
    CARRIER_MODULE_ID,
    guarded_entry<&module_init>,
    guarded_entry<&module_deinit>,
    0,  // flags
    0,  // status
    CARRIER_MODULE_VERSION,
    {
        &gaugehdr_Close_Subpanel,
        &gaugehdr_Radio_TACAN_ARN52B,
        &gaugehdr_Aircraft_Carrier_Indicator,
        &gaugehdr_Tacan_Navigation,
        &gaugehdr_CustomCatapult,
        &gaugehdr_Approach_Ctrl,
        nullptr,
    },
};
}

// Module start: handler, state, start values, parameters, connection, and
// the two panel variables that tell panels the module runs.
// The key-event handler as the host receives it: handle_command_event behind
// the entry guard.
static constexpr GAUGE_KEY_EVENT_HANDLER commandEventHandler = guarded_entry<&handle_command_event>;

static void module_init()
{
    register_key_event_handler(commandEventHandler, nullptr);

    moduleState = get_or_create_module_state();
    create_state_records(moduleState);

    aiInitPosition = SIMCONNECT_DATA_INITPOSITION{0, 0, 0, 0, 0, 0, 1, 0};
    for (double& level : refuelLevels) level = 99.9;

    TiXmlDocument parameters("./Gauges/ZEB_Parameters.xml");
    load_parameters_file(parameters);

    open_simconnect_connection();

    execute_calculator_code("1 (>L:ZEB_gauge_is_valid, bool)", nullptr, nullptr, nullptr);
    execute_calculator_code("0 (>L:LSO_is_Off_VC, bool)", nullptr, nullptr, nullptr);
}  // the parameters document is released here

// Module stop: the handler goes and the connection closes; the state, the
// boat list and the AI objects stay as they are.
static void module_deinit()
{
    unregister_key_event_handler(commandEventHandler, nullptr);
    close_simconnect_connection();
}
