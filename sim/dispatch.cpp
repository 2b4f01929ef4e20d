// Dispatch of SimConnect messages.
//
// Index: [values] [boat list] [user data] [ship data]
//        [objects added and removed] [dispatch]
#include "sim/dispatch.h"

#include <cstring>

#include "geo/approach.h"
#include "landing/landing_lights.h"
#include "sim/connection.h"
#include "sim/deck_services.h"
#include "state/module_state.h"

// [values] --------------------------------------------------------------------
std::map<int32_t, BoatRecord> boatList;

// Offset of the data in an object-data message.
constexpr DWORD OBJECT_DATA_OFFSET = 40;

// Copies the record of an object-data message into `record` when the message
// carries a whole one; false (nothing copied) for a short message.
static bool copy_record(const SIMCONNECT_RECV* data, DWORD size, void* record, size_t record_size)
{
    const DWORD whole = data->dwSize < size ? data->dwSize : size;
    if (whole < OBJECT_DATA_OFFSET + record_size) return false;
    std::memcpy(record, reinterpret_cast<const char*>(data) + OBJECT_DATA_OFFSET, record_size);
    return true;
}

// [boat list] -----------------------------------------------------------------
static void handle_boat_list(const SIMCONNECT_RECV_SIMOBJECT_DATA* message, DWORD size)
{
    const int32_t entry = static_cast<int32_t>(message->dwentrynumber);
    const int32_t count = static_cast<int32_t>(message->dwoutof);
    moduleState->boatCount = count;
    if ((entry != 0 || count != 0) && copy_record(message, size, moduleState->boat, sizeof(BoatListEntry))) {
        const BoatListEntry& boat = *moduleState->boat;
        if (std::memchr(boat.title, '\0', sizeof boat.title)) {
            BoatRecord& record = boatList[entry];
            record.title = boat.title;
            record.latitude = boat.planeLatitude;
            record.longitude = boat.planeLongitude;
            record.objectId = message->dwObjectID;
        }
    }
    // Every entry numbered above the count is gone, whatever was stored before.
    boatList.erase(boatList.upper_bound(count), boatList.end());
}

// [user data] -----------------------------------------------------------------
static void handle_user_data(const SIMCONNECT_RECV* message, DWORD size)
{
    if (!copy_record(message, size, moduleState->userAircraft, sizeof(UserAircraftData))) return;
    const CarrierEntry& carrier = *moduleState->carrier;
    if (!carrierDataReceived && carrier.CarrierType != CARRIER_TYPE_FIXED_SITE) return;

    compute_ils_solution();
    compute_tacan_solution();
    update_validity();
    update_landing_lights();

    if (!lockMessagePending) return;
    if (approachSolution.tcnValid == 1 &&
        (carrier.CarrierType == CARRIER_TYPE_SHIP || carrier.CarrierType == CARRIER_TYPE_FIXED_SITE)) {
        tacanMessage += " -Lock on-";
        show_text(tacanMessage.c_str(), SIMCONNECT_TEXT_TYPE_PRINT_YELLOW, 5.0f);
        lockMessagePending = 0;
    } else if (approachSolution.tcnValid == 0) {
        show_text(tacanMessage.c_str(), SIMCONNECT_TEXT_TYPE_PRINT_RED, 5.0f);
        lockMessagePending = 0;
    }
}

// [ship data] ---------------------------------------------------------------------
static void handle_ship_data(const SIMCONNECT_RECV_SIMOBJECT_DATA* message, DWORD size)
{
    CarrierEntry& carrier = *moduleState->carrier;
    if (carrier.CarrierType != CARRIER_TYPE_SHIP || !carrierFound) return;
    if (message->dwentrynumber != 1 || message->dwoutof != 1) return;
    // Only the selected ship's own record: the standing request made at start
    // names object 0, the user aircraft, and goes on delivering it when the
    // request that should replace it was refused.
    if (message->dwObjectID != carrierObjectId) return;
    if (!copy_record(message, size, moduleState->ship, sizeof(CarrierObjectData))) return;

    const CarrierObjectData& ship = *moduleState->ship;
    carrier.deckAltitude = ship.planeAltitude;
    carrier.deckLatitude = ship.planeLatitude;
    carrier.deckLongitude = ship.planeLongitude * -1.0;
    carrier.deckHeading = ship.planeHeadingTrue;
    carrier.deckSpeed = ship.airspeedTrue;
    carrier.deckYawRate = ship.rotationVelocityBodyY;
    carrier.blastDeflector1 = ship.blastShield[0];
    carrier.blastDeflector2 = ship.blastShield[1];
    carrier.blastDeflector3 = ship.blastShield[2];
    carrier.blastDeflector4 = ship.blastShield[3];
    carrierDataReceived = 1;

    update_helo_object();
}

// [objects added and removed] ------------------------------------------------------
static void handle_object_add_remove(const SIMCONNECT_RECV_EVENT_OBJECT_ADDREMOVE* message)
{
    if (message->uEventID == EVT_OBJECT_ADDED) {
        request_boat_list();
    } else if (message->uEventID == EVT_OBJECT_REMOVED) {
        // The reply trims the boat list, so that a removed ship cannot be
        // selected again and a live one of the same title can be found.
        request_boat_list();
        if (message->dwData != carrierObjectId) return;
        carrierFound = 0;
        update_validity();
        if (heloObjectExists) remove_helo_object();
    }
}

// [dispatch] -----------------------------------------------------------------------
void dispatch_procedure(SIMCONNECT_RECV* data, DWORD size, void* context)
{
    if (!data || size < sizeof(SIMCONNECT_RECV)) return;
    switch (data->dwID) {
    case SIMCONNECT_RECV_ID_OPEN:
        declare_connection();
        break;
    case SIMCONNECT_RECV_ID_EVENT: {
        if (size < sizeof(SIMCONNECT_RECV_EVENT)) return;
        const auto* event = static_cast<SIMCONNECT_RECV_EVENT*>(data);
        switch (event->uEventID) {
        case EVT_SIM_START:
            start_requests();
            break;
        case EVT_TOGGLE_ANIMATION:
            handle_toggle_animation(event->dwData);
            break;
        case EVT_REFUEL:
            handle_refuel(event->dwData);
            break;
        case EVT_LAUNCH_READY:
            handle_launch_ready(event->dwData);
            break;
        default:
            break;
        }
        break;
    }
    case SIMCONNECT_RECV_ID_EVENT_OBJECT_ADDREMOVE:
        if (size < sizeof(SIMCONNECT_RECV_EVENT_OBJECT_ADDREMOVE)) return;
        handle_object_add_remove(static_cast<SIMCONNECT_RECV_EVENT_OBJECT_ADDREMOVE*>(data));
        break;
    case SIMCONNECT_RECV_ID_SIMOBJECT_DATA: {
        if (size < OBJECT_DATA_OFFSET) return;
        const auto* message = static_cast<SIMCONNECT_RECV_SIMOBJECT_DATA*>(data);
        if (message->dwRequestID == REQ_USER_AIRCRAFT) handle_user_data(data, size);
        else if (message->dwRequestID == REQ_CARRIER_OBJECT) handle_ship_data(message, size);
        break;
    }
    case SIMCONNECT_RECV_ID_SIMOBJECT_DATA_BYTYPE: {
        if (size < OBJECT_DATA_OFFSET) return;
        const auto* message = static_cast<SIMCONNECT_RECV_SIMOBJECT_DATA*>(data);
        if (message->dwRequestID == REQ_BOAT_LIST) handle_boat_list(message, size);
        break;
    }
    case SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID:
        if (size < sizeof(SIMCONNECT_RECV_ASSIGNED_OBJECT_ID)) return;
        handle_assigned_object_id(static_cast<SIMCONNECT_RECV_ASSIGNED_OBJECT_ID*>(data));
        break;
    default:
        break;  // exceptions, quit and every other message are ignored
    }
}
