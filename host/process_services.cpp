// Trampolines from the module's process services to the installed hooks.
#include "host/process_services.h"

#include <cstdio>
#include <ctime>

namespace host {
namespace {
const ProcessHooks* installedHooks = nullptr;

uint32_t clock_trampoline()
{
    if (installedHooks && installedHooks->clock_ms) return installedHooks->clock_ms();
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint32_t>(now.tv_sec * 1000u + now.tv_nsec / 1000000);
}

void error_line_trampoline(const char* line)
{
    if (installedHooks && installedHooks->error_line) {
        installedHooks->error_line(line);
        return;
    }
    std::fputs(line, stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

const SoundLibrary* sound_library_trampoline()
{
    if (installedHooks && installedHooks->sound_library) return installedHooks->sound_library();
    return nullptr;
}

const HostProcessServices services = {clock_trampoline, error_line_trampoline, sound_library_trampoline};
}  // namespace

void set_process_hooks(const ProcessHooks* hooks) { installedHooks = hooks; }

}  // namespace host

extern "C" __attribute__((visibility("default"))) const HostProcessServices* carrier_host_process_services(void)
{
    return &host::services;
}
