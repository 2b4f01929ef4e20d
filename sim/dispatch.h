// The SimConnect dispatch procedure: every message of the connection turned
// into module state (the user aircraft's frames, the boat list, the selected
// ship's live data, object additions and removals). Carrier selection and the
// AI objects have their own files; their headers are included here for the
// callers that see the connection as one piece.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "platform/simconnect.h"
#include "sim/ai_objects.h"
#include "sim/carrier_selection.h"

// One boat of the last boat-list replies.
struct BoatRecord {
    std::string title;
    double latitude;   // rad
    double longitude;  // rad, east positive
    uint32_t objectId;
};

// Boats by entry number (1..N as the boat-list replies number them); written
// by the boat-list replies, read by the carrier search.
extern std::map<int32_t, BoatRecord> boatList;

// Called by SimConnect for every message of the connection.
void dispatch_procedure(SIMCONNECT_RECV* data, DWORD size, void* context);
