// Process services with the host's hooks where it provides them.
#include "platform/process.h"

#include <dlfcn.h>

#include <cstdio>
#include <ctime>

extern "C" const HostProcessServices* carrier_host_process_services(void) __attribute__((weak));

static const HostProcessServices* host_services()
{
    return carrier_host_process_services ? carrier_host_process_services() : nullptr;
}

uint32_t process_clock_ms()
{
    const HostProcessServices* host = host_services();
    if (host && host->clock_ms) return host->clock_ms();
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint32_t>(now.tv_sec * 1000u + now.tv_nsec / 1000000);
}

void process_error_line(const char* line)
{
    const HostProcessServices* host = host_services();
    if (host && host->error_line) {
        host->error_line(line);
        return;
    }
    std::fputs(line, stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

// Looks the library up as a shared object beside the gauges; each entry point
// is exported under its ordinal's name ("ordinal_28" ...).
static const SoundLibrary* load_sound_library_object()
{
    static SoundLibrary library{};
    void* handle = dlopen("./Gauges/pax_sound_gauge.so", RTLD_NOW | RTLD_LOCAL);
    if (!handle) return nullptr;
    library.ordinal_28 = reinterpret_cast<int32_t (*)(int32_t)>(dlsym(handle, "ordinal_28"));
    library.ordinal_29 = reinterpret_cast<int32_t (*)()>(dlsym(handle, "ordinal_29"));
    library.ordinal_30 = reinterpret_cast<int32_t (*)(const char*, int32_t)>(dlsym(handle, "ordinal_30"));
    library.ordinal_33 = reinterpret_cast<void (*)(int32_t, int32_t)>(dlsym(handle, "ordinal_33"));
    library.ordinal_48 = reinterpret_cast<void (*)(int32_t, int32_t)>(dlsym(handle, "ordinal_48"));
    library.ordinal_50 = reinterpret_cast<void (*)(int32_t)>(dlsym(handle, "ordinal_50"));
    if (!library.ordinal_28 || !library.ordinal_29 || !library.ordinal_30 || !library.ordinal_33 ||
        !library.ordinal_48 || !library.ordinal_50)
        return nullptr;
    return &library;
}

const SoundLibrary* process_sound_library()
{
    const HostProcessServices* host = host_services();
    if (host && host->sound_library) return host->sound_library();
    static bool looked_up = false;
    static const SoundLibrary* library = nullptr;
    if (!looked_up) {
        looked_up = true;
        library = load_sound_library_object();
    }
    return library;
}
