// Dispatch of SimConnect messages and carrier detection.
//
// Index: [values] [boat list] [user data] [ship data and helicopter]
//        [AI objects] [carrier selection] [dispatch]
#include "sim/dispatch.h"

#include <tinyxml.h>

#include <cmath>
#include <cstring>

#include "config/carrier_list.h"
#include "geo/approach.h"
#include "geo/geodesy.h"
#include "geo/numeric.h"
#include "sim/connection.h"
#include "sim/deck_services.h"
#include "sound/sound_channel.h"
#include "state/module_state.h"

// [values] --------------------------------------------------------------------
std::map<int32_t, BoatRecord> boatList;
uint32_t carrierObjectId = 0;
uint8_t carrierDataReceived = 0;
uint8_t lockMessagePending = 0;
std::string tacanMessage;
uint32_t flolsObjectId = 0;
uint8_t flolsObjectExists = 0;
uint32_t heloObjectId = 0;
uint8_t heloObjectExists = 0;
uint8_t heloControlReleased = 0;
double heloSpeed = 0.0;

// Ship yaw rate above which the ship counts as turning.
constexpr double SHIP_TURNING_YAW_RATE = 0.01;

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

// [ship data and helicopter] ----------------------------------------------------------
// Removes the helicopter; the flags stay set when the simulator refuses, so
// the removal is tried again at the next occasion.
static void remove_helo_object()
{
    lastSimConnectResult = SimConnect_AIRemoveObject(simConnectHandle, heloObjectId, REQ_HELO_OBJECT);
    if (lastSimConnectResult == S_OK) {
        heloObjectExists = 0;
        heloControlReleased = 0;
    }
}

// Places the helicopter at Helo_Bearing (relative to the ship's heading) and
// Helo_Distance from the ship, heading as the ship, at the ship's speed.
static void create_helo_object()
{
    const CarrierEntry& carrier = *moduleState->carrier;
    const double course = wrap_angle(carrier.deckHeading + carrier.Helo_Bearing * RAD_PER_DEG);
    const double distance_nm = carrier.Helo_Distance / METERS_PER_NM;
    const double lat = destination_latitude(carrier.deckLatitude, distance_nm, course);
    const double lon = destination_longitude(carrier.deckLatitude, carrier.deckLongitude, distance_nm, course);
    aiInitPosition.Latitude = lat * DEG_PER_RAD;
    aiInitPosition.Longitude = lon * -1.0 * DEG_PER_RAD;
    aiInitPosition.Altitude = 0.0;
    aiInitPosition.Pitch = 0.0;
    aiInitPosition.Bank = 0.0;
    aiInitPosition.Heading = DEG_PER_RAD * carrier.deckHeading;
    aiInitPosition.OnGround = 1;
    // Truncated towards zero; NaN gives 0 and values beyond the int32 range
    // the nearest end of it (truncate_to_int32).
    aiInitPosition.Airspeed = static_cast<DWORD>(truncate_to_int32(moduleState->ship->airspeedTrue));
    lastSimConnectResult = SimConnect_AICreateSimulatedObject(simConnectHandle, carrier.Sim_Name_Helo.c_str(),
                                                              aiInitPosition, REQ_HELO_OBJECT);
    if (lastSimConnectResult == S_OK) heloObjectExists = 1;
}

static void handle_ship_data(const SIMCONNECT_RECV_SIMOBJECT_DATA* message, DWORD size)
{
    CarrierEntry& carrier = *moduleState->carrier;
    if (carrier.CarrierType != CARRIER_TYPE_SHIP || !carrierFound) return;
    if (message->dwentrynumber != 1 || message->dwoutof != 1) return;
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

    if (carrier.Sim_Name_Helo == "none" || approachSolution.tcnValid != 1) return;
    if (std::fabs(carrier.deckYawRate) > SHIP_TURNING_YAW_RATE) {
        if (heloObjectExists) remove_helo_object();
    } else if (heloObjectExists) {
        if (heloControlReleased) {
            heloSpeed = carrier.deckSpeed;
            lastSimConnectResult = SimConnect_SetDataOnSimObject(simConnectHandle, DEF_HELO_VELOCITY, heloObjectId, 0,
                                                                 0, sizeof heloSpeed, &heloSpeed);
        }
    } else {
        create_helo_object();
    }
}

// [AI objects] ----------------------------------------------------------------------
static void handle_assigned_object_id(const SIMCONNECT_RECV_ASSIGNED_OBJECT_ID* message)
{
    switch (message->dwRequestID) {
    case REQ_FLOLS_OBJECT:
        flolsObjectId = message->dwObjectID;
        break;
    case REQ_HELO_OBJECT:
        heloObjectId = message->dwObjectID;
        heloControlReleased = 1;
        lastSimConnectResult = SimConnect_AIReleaseControl(simConnectHandle, message->dwObjectID, REQ_HELO_OBJECT);
        break;
    default:
        break;
    }
}

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

// [carrier selection] ----------------------------------------------------------------
uint32_t find_carrier_object()
{
    const UserAircraftData& user = *moduleState->userAircraft;
    const std::string& wanted = moduleState->carrier->Sim_Name;
    uint32_t best = 0;
    double best_distance = 0.0;
    bool found = false;
    for (const auto& [entry, boat] : boatList) {
        if (boat.title != wanted) continue;
        const double d =
            great_circle_distance(user.planeLatitude, -user.planeLongitude, boat.latitude, -boat.longitude);
        if (!found || d < best_distance) {
            found = true;
            best = boat.objectId;
            best_distance = d;
        }
    }
    return best;
}

void select_carrier()
{
    TiXmlDocument document("./Gauges/ZEB_Carrier.xml");
    load_carrier_entry(document, to_single_precision(tunedTacanFrequency));
    CarrierEntry& carrier = *moduleState->carrier;

    tacanMessage = "TACAN tuned on " + carrier.Name;

    clear_approach_solution();
    carrierFound = 0;
    carrierObjectId = 0;

    if (flolsObjectExists) {
        lastSimConnectResult = SimConnect_AIRemoveObject(simConnectHandle, flolsObjectId, REQ_FLOLS_OBJECT);
        if (lastSimConnectResult == S_OK) flolsObjectExists = 0;
    }
    if (heloObjectExists) remove_helo_object();

    if (carrier.valid == 1 && carrier.CarrierType == CARRIER_TYPE_SHIP) {
        carrierObjectId = find_carrier_object();
        if (carrierObjectId != 0) {
            carrierFound = 1;
            lockMessagePending = 1;
            carrierDataReceived = 0;
            request_carrier_data(carrierObjectId);
            if (moduleState->sounds->soundReloadNeeded) load_sounds();
        } else {
            carrierFound = 0;
            lockMessagePending = 0;
            show_text(tacanMessage.c_str(), SIMCONNECT_TEXT_TYPE_PRINT_RED, 5.0f);
        }
    } else if (carrier.valid == 1 && carrier.CarrierType == CARRIER_TYPE_FIXED_SITE) {
        carrierFound = 1;
        lockMessagePending = 1;
        if (moduleState->sounds->soundReloadNeeded) load_sounds();
        if (carrier.FLOLS_Name != "none") {
            aiInitPosition.Latitude = carrier.Lat_FLOLS;
            aiInitPosition.Longitude = carrier.Lon_FLOLS;
            aiInitPosition.Altitude = carrier.deckAltitude * 6076.115485564304;
            aiInitPosition.Pitch = 0.0;
            aiInitPosition.Bank = 0.0;
            aiInitPosition.Heading = carrier.deckHeading * DEG_PER_RAD;
            aiInitPosition.OnGround = 1;
            aiInitPosition.Airspeed = 0;
            lastSimConnectResult = SimConnect_AICreateSimulatedObject(simConnectHandle, carrier.FLOLS_Name.c_str(),
                                                                      aiInitPosition, REQ_FLOLS_OBJECT);
            if (lastSimConnectResult == S_OK) flolsObjectExists = 1;
        }
    } else {
        tacanMessage = " ";
        carrierFound = 0;
        lockMessagePending = 0;
        show_text(tacanMessage.c_str(), SIMCONNECT_TEXT_TYPE_PRINT_RED, 1.0f);
    }
}  // the carrier-list document is released here

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
