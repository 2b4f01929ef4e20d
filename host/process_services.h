// The process services the emulated host offers the module it embeds: the
// process clock, the standard-error stream and the sound library. The module
// finds them through the exported symbol carrier_host_process_services; while
// no hooks are installed they behave as the operating system's own.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "platform/process.h"

namespace host {

struct ProcessHooks {
    std::function<uint32_t()> clock_ms;                  // process clock, ms
    std::function<void(std::string_view)> error_line;    // one stderr line, no newline
    std::function<const SoundLibrary*()> sound_library;  // null: no sound library
};

// Installs `hooks` (null to remove them); the caller keeps them alive.
void set_process_hooks(const ProcessHooks* hooks);

}  // namespace host
