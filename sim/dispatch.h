// The SimConnect dispatch procedure and carrier detection: every message of
// the connection turned into module state, the boat list, the selection of a
// carrier on TACAN tuning, the ship's live data and the module's two AI
// objects (the helicopter beside a ship, the FLOLS object of a fixed site).
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "platform/simconnect.h"

// One boat of the last boat-list replies.
struct BoatRecord {
    std::string title;
    double latitude;   // rad
    double longitude;  // rad, east positive
    uint32_t objectId;
};

// Boats by entry number (1..N as the boat-list replies number them).
extern std::map<int32_t, BoatRecord> boatList;

// Carrier-selection values (start 0 or empty).
extern uint32_t carrierObjectId;       // selected ship's object id; 0 none
extern uint8_t carrierDataReceived;    // ship data arrived since the selection
extern uint8_t lockMessagePending;     // the tuning message is still to be shown
extern std::string tacanMessage;       // the tuning message
extern uint32_t flolsObjectId;         // FLOLS object of a fixed site
extern uint8_t flolsObjectExists;
extern uint32_t heloObjectId;          // helicopter beside the ship
extern uint8_t heloObjectExists;
extern uint8_t heloControlReleased;
extern double heloSpeed;               // m/s written to the helicopter

// Called by SimConnect for every message of the connection.
void dispatch_procedure(SIMCONNECT_RECV* data, DWORD size, void* context);

// Looks the tuned TACAN frequency up in the carrier list and selects the
// landing place: the nearest boat titled Sim_Name for a ship (its data is
// then requested every frame), or the fixed site (with its FLOLS object).
// Clears the navigation results and removes the module's AI objects first.
void select_carrier();

// The object id of the boat titled exactly Sim_Name that is nearest to the
// user aircraft (the lower entry number on a tie), or 0.
uint32_t find_carrier_object();
