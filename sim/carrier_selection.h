// Carrier selection on TACAN tuning: the carrier-list lookup, the search for
// the ship among the simulator's boats, and the selection values the dispatch
// procedure and the gauges read.
#pragma once

#include <cstdint>
#include <string>

// Carrier-selection values (start 0 or empty).
extern uint32_t carrierObjectId;       // selected ship's object id; 0 none
extern uint8_t carrierDataReceived;    // ship data arrived since the selection
extern uint8_t lockMessagePending;     // the tuning message is still to be shown
extern std::string tacanMessage;       // the tuning message

// Looks the tuned TACAN frequency up in the carrier list and selects the
// landing place: the nearest boat titled Sim_Name for a ship (its data is
// then requested every frame), or the fixed site (with its FLOLS object).
// Clears the navigation results and removes the module's AI objects first;
// loads the officer's sounds when the carrier's language asks for it.
void select_carrier();

// The object id of the boat titled exactly Sim_Name that is nearest to the
// user aircraft (the lower entry number on a tie), or 0.
uint32_t find_carrier_object();
