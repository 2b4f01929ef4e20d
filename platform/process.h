// Process services the module takes from its surroundings besides the panel
// table and SimConnect: the process clock, the standard error stream and the
// external sound library.
//
// A host that embeds the module may provide these by exporting the symbol
// `carrier_host_process_services` (see HostProcessServices below); otherwise
// the module uses the operating system's own clock and stderr and looks for
// the sound library as a shared object "pax_sound_gauge.so" in ./Gauges/.
#pragma once

#include <cstdint>

extern "C" {

// The sound library's six entry points, by the ordinal numbers of the
// original library. Handles are 32-bit integers; 0 means no sound.
struct SoundLibrary {
    int32_t (*ordinal_28)(int32_t sound);                   // query: 0 leads to play
    int32_t (*ordinal_29)(void);                            // new load batch (group)
    int32_t (*ordinal_30)(const char* path, int32_t group); // load: handle or 0
    void (*ordinal_33)(int32_t sound, int32_t value);       // play
    void (*ordinal_48)(int32_t sound, int32_t value);       // restart / stop-and-play
    void (*ordinal_50)(int32_t sound);                      // release
};

// What an embedding host may provide. Any null slot falls back to the
// operating system's service.
struct HostProcessServices {
    uint32_t (*clock_ms)(void);                 // process clock, milliseconds
    void (*error_line)(const char* line);       // one line of standard error, no newline
    const SoundLibrary* (*sound_library)(void); // the sound library, or null when absent
};

}  // extern "C"

// Milliseconds of the process clock (the host's clock when it provides one).
uint32_t process_clock_ms();

// Writes `line` and a newline to the standard error stream and flushes it.
void process_error_line(const char* line);

// The sound library, or null when the host has none; looked up once.
const SoundLibrary* process_sound_library();
