// Opening the connection, declaring records, events and inputs, and the
// standing requests. Every call's result goes to lastSimConnectResult.
#include "sim/connection.h"

#include <cstring>

#include "module/entry_guard.h"
#include "sim/dispatch.h"
#include "state/module_state.h"

void open_simconnect_connection()
{
    lastSimConnectResult = SimConnect_Open(&simConnectHandle, "Carrier ZEB Gauge", nullptr, 0, nullptr, 0);
    if (lastSimConnectResult == S_OK)
        lastSimConnectResult = SimConnect_CallDispatch(simConnectHandle, guarded_entry<&dispatch_procedure>, nullptr);
}

void close_simconnect_connection() { lastSimConnectResult = SimConnect_Close(simConnectHandle); }

static void add_datum(DWORD define, const char* name, const char* unit, SIMCONNECT_DATATYPE type)
{
    lastSimConnectResult =
        SimConnect_AddToDataDefinition(simConnectHandle, define, name, unit, type, 0.0f, SIMCONNECT_UNUSED);
}

// Binds one command input when its definition is longer than one character;
// returns whether it names a joystick button (0 when not bound).
static uint8_t bind_command_input(const std::string& definition, ClientEventId event)
{
    if (definition.size() <= 1) return 0;
    lastSimConnectResult = SimConnect_MapInputEventToClientEvent(simConnectHandle, GROUP_COMMANDS, definition.c_str(),
                                                                 event, 0, SIMCONNECT_UNUSED, 0, 0);
    return definition.find("button") != std::string::npos ? 1 : 0;
}

void declare_connection()
{
    const HANDLE h = simConnectHandle;
    lastSimConnectResult = SimConnect_SubscribeToSystemEvent(h, EVT_SIM_START, "SimStart");
    lastSimConnectResult = SimConnect_SubscribeToSystemEvent(h, EVT_OBJECT_ADDED, "ObjectAdded");
    lastSimConnectResult = SimConnect_SubscribeToSystemEvent(h, EVT_OBJECT_REMOVED, "ObjectRemoved");

    lastSimConnectResult = SimConnect_MapClientEventToSimEvent(h, EVT_TOGGLE_ANIMATION, "");
    lastSimConnectResult = SimConnect_MapClientEventToSimEvent(h, EVT_REFUEL, "");
    lastSimConnectResult = SimConnect_MapClientEventToSimEvent(h, EVT_LAUNCH_READY, "");

    toggleIsButton = bind_command_input(moduleState->commands->ToggleInput, EVT_TOGGLE_ANIMATION);
    refuelIsButton = bind_command_input(moduleState->commands->RefuelInput, EVT_REFUEL);
    launchIsButton = bind_command_input(moduleState->catapult->Launch_Input, EVT_LAUNCH_READY);

    lastSimConnectResult = SimConnect_SetInputGroupState(h, GROUP_COMMANDS, SIMCONNECT_STATE_OFF);

    lastSimConnectResult = SimConnect_AddClientEventToNotificationGroup(h, GROUP_COMMANDS, EVT_TOGGLE_ANIMATION, 0);
    lastSimConnectResult = SimConnect_AddClientEventToNotificationGroup(h, GROUP_COMMANDS, EVT_REFUEL, 0);
    lastSimConnectResult = SimConnect_AddClientEventToNotificationGroup(h, GROUP_COMMANDS, EVT_LAUNCH_READY, 0);

    const SIMCONNECT_DATATYPE F64 = SIMCONNECT_DATATYPE_FLOAT64;
    const SIMCONNECT_DATATYPE I32 = SIMCONNECT_DATATYPE_INT32;
    const SIMCONNECT_DATATYPE STR = SIMCONNECT_DATATYPE_STRING256;

    add_datum(DEF_USER_AIRCRAFT, "Plane Altitude", "nmiles", F64);
    add_datum(DEF_USER_AIRCRAFT, "Plane Latitude", "radians", F64);
    add_datum(DEF_USER_AIRCRAFT, "Plane Longitude", "radians", F64);
    add_datum(DEF_USER_AIRCRAFT, "PLANE HEADING DEGREES TRUE", "radians", F64);
    add_datum(DEF_USER_AIRCRAFT, "BRAKE INDICATOR", "percent", F64);
    add_datum(DEF_USER_AIRCRAFT, "ENG1 N1 RPM", "percent", F64);
    add_datum(DEF_USER_AIRCRAFT, "GENERAL ENG1 THROTTLE LEVER POSITION", "percent", F64);
    add_datum(DEF_USER_AIRCRAFT, "AMBIENT WIND Z", "knots", F64);
    add_datum(DEF_USER_AIRCRAFT, "GROUND VELOCITY", "meters per second", F64);
    add_datum(DEF_USER_AIRCRAFT, "SIM ON GROUND", "number", I32);
    add_datum(DEF_USER_AIRCRAFT, "CABLE CAUGHT BY TAILHOOK", "number", I32);
    add_datum(DEF_USER_AIRCRAFT, "TAILHOOK POSITION", "percent", F64);

    add_datum(DEF_CARRIER_OBJECT, "TITLE", nullptr, STR);
    add_datum(DEF_CARRIER_OBJECT, "Plane Altitude", "nmiles", F64);
    add_datum(DEF_CARRIER_OBJECT, "Plane Latitude", "radians", F64);
    add_datum(DEF_CARRIER_OBJECT, "Plane Longitude", "radians", F64);
    add_datum(DEF_CARRIER_OBJECT, "PLANE HEADING DEGREES TRUE", "radians", F64);
    add_datum(DEF_CARRIER_OBJECT, "AIRSPEED TRUE", "meters per second", F64);
    add_datum(DEF_CARRIER_OBJECT, "ROTATION VELOCITY BODY Y", "meters per second", F64);
    add_datum(DEF_CARRIER_OBJECT, "BLAST SHIELD POSITION:1", "percent", F64);
    add_datum(DEF_CARRIER_OBJECT, "BLAST SHIELD POSITION:2", "percent", F64);
    add_datum(DEF_CARRIER_OBJECT, "BLAST SHIELD POSITION:3", "percent", F64);
    add_datum(DEF_CARRIER_OBJECT, "BLAST SHIELD POSITION:4", "percent", F64);

    add_datum(DEF_BOAT_LIST, "TITLE", nullptr, STR);
    add_datum(DEF_BOAT_LIST, "Plane Latitude", "radians", F64);
    add_datum(DEF_BOAT_LIST, "Plane Longitude", "radians", F64);

    add_datum(DEF_BODY_VELOCITY_Z, "VELOCITY BODY Z", "Meters per second", F64);
    add_datum(DEF_BODY_VELOCITY_X, "VELOCITY BODY X", "Meters per second", F64);
    add_datum(DEF_HELO_VELOCITY, "VELOCITY BODY Z", "Meters per second", F64);

    static const char* const FUEL_TANKS[REFUEL_TANK_COUNT] = {
        "FUEL TANK LEFT MAIN LEVEL", "FUEL TANK RIGHT MAIN LEVEL", "FUEL TANK LEFT AUX LEVEL",
        "FUEL TANK RIGHT AUX LEVEL", "FUEL TANK CENTER LEVEL",     "FUEL TANK CENTER2 LEVEL",
        "FUEL TANK CENTER3 LEVEL",   "FUEL TANK LEFT TIP LEVEL",   "FUEL TANK RIGHT TIP LEVEL",
        "FUEL TANK EXTERNAL1 LEVEL", "FUEL TANK EXTERNAL2 LEVEL",
    };
    for (const char* tank : FUEL_TANKS) add_datum(DEF_FUEL_TANKS, tank, "Percent", F64);
}

void start_requests()
{
    lastSimConnectResult = SimConnect_RequestDataOnSimObject(simConnectHandle, REQ_USER_AIRCRAFT, DEF_USER_AIRCRAFT,
                                                             SIMCONNECT_OBJECT_ID_USER, SIMCONNECT_PERIOD_SIM_FRAME,
                                                             0, 0, 0, 0);
    request_carrier_data(carrierObjectId);
    request_boat_list();
    lastSimConnectResult = SimConnect_SetInputGroupState(simConnectHandle, GROUP_COMMANDS, SIMCONNECT_STATE_ON);
}

void request_boat_list()
{
    lastSimConnectResult = SimConnect_RequestDataOnSimObjectType(simConnectHandle, REQ_BOAT_LIST, DEF_BOAT_LIST,
                                                                 BOAT_SEARCH_RADIUS_M, SIMCONNECT_SIMOBJECT_TYPE_BOAT);
}

void request_carrier_data(SIMCONNECT_OBJECT_ID object_id)
{
    lastSimConnectResult = SimConnect_RequestDataOnSimObject(simConnectHandle, REQ_CARRIER_OBJECT, DEF_CARRIER_OBJECT,
                                                             object_id, SIMCONNECT_PERIOD_SIM_FRAME, 0, 0, 0, 0);
}

void show_text(const char* text, SIMCONNECT_TEXT_TYPE type, float seconds)
{
    lastSimConnectResult = SimConnect_Text(simConnectHandle, type, seconds, 0,
                                           static_cast<DWORD>(std::strlen(text) + 1), const_cast<char*>(text));
}
