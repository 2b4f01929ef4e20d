// Fuzzing the dispatch procedure: arbitrary message bytes, each message in a
// heap buffer of exactly the size handed over (so that reading past it is
// caught), with whatever dwSize the bytes say. Between messages the input
// may retune the TACAN, so that carrier selection runs over the boat list the
// messages built.
//
// Input layout, repeated: one control byte, two bytes of little-endian
// length L (taken modulo 1024), then L message bytes (fewer at the end).
// Control bit 0: run the tuning command before the message; bits 1-2: the
// current carrier's type (0 none, 1 ship, 2 fixed site); bit 3: "TCN Valid".
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "fuzz_support.h"
#include "sim/command_events.h"
#include "sim/connection.h"
#include "sim/dispatch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::InScratchRoot in_root;  // the module reads ./Gauges/...
    static fuzz::ModuleHost module(500);
    static int connected = -1;
    module.next_input();
    if (connected != module.generation()) {
        open_simconnect_connection();
        connected = module.generation();
    }

    // A ship selected and tracked, so that ship data and the helicopter run.
    CarrierEntry& carrier = *moduleState->carrier;
    carrier = CarrierEntry{};
    carrier.Name = "Fuzz";
    carrier.Sim_Name = "Carrier";
    carrier.Sim_Name_Helo = "Helo";
    carrier.Language = "none";
    carrier.CarrierType = CARRIER_TYPE_SHIP;
    carrier.valid = 1;
    carrier.GS_Angle = 3.5;
    carrierFound = 1;
    carrierDataReceived = 1;
    lockMessagePending = 1;
    tunedTacanFrequency = 112.70;
    boatList.clear();
    heloObjectExists = heloControlReleased = flolsObjectExists = 0;

    size_t at = 0;
    while (at + 3 <= size) {
        const uint8_t control = data[at];
        const size_t length = (data[at + 1] | (data[at + 2] << 8)) % 1024;
        at += 3;
        const size_t take = length < size - at ? length : size - at;
        carrier.CarrierType = (control >> 1) & 3;
        approachSolution.tcnValid = (control >> 3) & 1;
        if (control & 1) handle_command_event(CMD_TUNE, 0, nullptr);

        unsigned char* message = static_cast<unsigned char*>(std::malloc(take ? take : 1));
        if (take) std::memcpy(message, data + at, take);
        dispatch_procedure(reinterpret_cast<SIMCONNECT_RECV*>(message), static_cast<DWORD>(take), nullptr);
        std::free(message);
        at += take;
    }
    return 0;
}
