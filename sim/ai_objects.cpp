// The helicopter beside the ship and the FLOLS object of a fixed site.
#include "sim/ai_objects.h"

#include <cmath>

#include "geo/geodesy.h"
#include "geo/numeric.h"
#include "sim/connection.h"
#include "state/module_state.h"

uint32_t flolsObjectId = 0;
uint8_t flolsObjectExists = 0;
uint32_t heloObjectId = 0;
uint8_t heloObjectExists = 0;
uint8_t heloControlReleased = 0;
double heloSpeed = 0.0;

// Ship yaw rate above which the ship counts as turning.
constexpr double SHIP_TURNING_YAW_RATE = 0.01;

void remove_helo_object()
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

void update_helo_object()
{
    const CarrierEntry& carrier = *moduleState->carrier;
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

void create_flols_object()
{
    const CarrierEntry& carrier = *moduleState->carrier;
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

void remove_flols_object()
{
    lastSimConnectResult = SimConnect_AIRemoveObject(simConnectHandle, flolsObjectId, REQ_FLOLS_OBJECT);
    if (lastSimConnectResult == S_OK) flolsObjectExists = 0;
}

void handle_assigned_object_id(const SIMCONNECT_RECV_ASSIGNED_OBJECT_ID* message)
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
