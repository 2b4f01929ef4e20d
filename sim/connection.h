// The module's SimConnect connection: identifiers, declarations and requests.
//
// One connection, opened at module start as "Carrier ZEB Gauge". On the open
// message the module declares its records, events and input bindings; on
// "SimStart" it requests the user aircraft every simulation frame and the
// boats within 200 km.
#pragma once

#include <cstdint>

#include "platform/simconnect.h"

// Data definitions.
enum DataDefinitionId : SIMCONNECT_DATA_DEFINITION_ID {
    DEF_USER_AIRCRAFT = 0,
    DEF_BOAT_LIST = 1,
    DEF_CARRIER_OBJECT = 2,
    DEF_BODY_VELOCITY_Z = 3,
    DEF_BODY_VELOCITY_X = 4,
    DEF_HELO_VELOCITY = 5,
    DEF_FUEL_TANKS = 6,
};

// Data requests.
enum DataRequestId : SIMCONNECT_DATA_REQUEST_ID {
    REQ_USER_AIRCRAFT = 0,
    REQ_BOAT_LIST = 1,
    REQ_CARRIER_OBJECT = 2,
};

// AI object requests; their ids overlap the data requests, the message kinds
// keep them apart.
enum AiRequestId : SIMCONNECT_DATA_REQUEST_ID {
    REQ_FLOLS_OBJECT = 0,
    REQ_HELO_OBJECT = 1,
};

// Client events.
enum ClientEventId : SIMCONNECT_CLIENT_EVENT_ID {
    EVT_SIM_START = 0,
    EVT_TOGGLE_ANIMATION = 1,
    EVT_REFUEL = 2,
    EVT_LAUNCH_READY = 3,
    EVT_OBJECT_ADDED = 4,
    EVT_OBJECT_REMOVED = 5,
};

// The one notification group and the one input group share this id.
constexpr DWORD GROUP_COMMANDS = 0;

// Boats are looked for within this radius of the user aircraft, metres.
constexpr DWORD BOAT_SEARCH_RADIUS_M = 200000;

// Opens the connection; only when that succeeds hands the dispatch procedure
// over (the one SimConnect_CallDispatch of the module).
void open_simconnect_connection();
// Closes the connection (module stop).
void close_simconnect_connection();

// Declarations made on the open message, in the connection's fixed order.
void declare_connection();
// Requests made on "SimStart", then the command inputs go live.
void start_requests();
// Asks for every boat within BOAT_SEARCH_RADIUS_M.
void request_boat_list();
// Asks for the selected ship's data every simulation frame.
void request_carrier_data(SIMCONNECT_OBJECT_ID object_id);
// Shows `text` on screen for `seconds`.
void show_text(const char* text, SIMCONNECT_TEXT_TYPE type, float seconds);
