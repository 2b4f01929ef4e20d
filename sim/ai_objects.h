// The module's two AI objects: the plane-guard helicopter kept beside a ship
// and the FLOLS object placed at a fixed landing site. Created, moved and
// removed through SimConnect; the simulator's id for each arrives later in an
// assigned-object-id message.
#pragma once

#include <cstdint>

#include "platform/simconnect.h"

// AI-object values (start 0).
extern uint32_t flolsObjectId;         // FLOLS object of a fixed site
extern uint8_t flolsObjectExists;      // its creation was accepted and it was not removed since
extern uint32_t heloObjectId;          // helicopter beside the ship
extern uint8_t heloObjectExists;       // its creation was accepted and it was not removed since
extern uint8_t heloControlReleased;    // its id arrived and the module took control of it
extern double heloSpeed;               // m/s written to the helicopter

// Keeps the helicopter in step with the ship after a ship-data frame: removed
// while the ship turns, moved at the ship's speed while it runs straight,
// created when absent. Only for a ship with a helicopter title and with
// "TCN Valid".
void update_helo_object();

// Removes the helicopter; both flags stay set when the simulator refuses, so
// the removal is tried again at the next occasion.
void remove_helo_object();

// Places the FLOLS object of the current fixed site at Lat_FLOLS, Lon_FLOLS.
void create_flols_object();

// Removes the FLOLS object; the flag stays set when the simulator refuses.
void remove_flols_object();

// An assigned-object-id message: stores the FLOLS or helicopter id; for the
// helicopter, takes control of it.
void handle_assigned_object_id(const SIMCONNECT_RECV_ASSIGNED_OBJECT_ID* message);
