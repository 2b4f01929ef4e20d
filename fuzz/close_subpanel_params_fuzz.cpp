// Fuzzing the Close_Subpanel parameter string: arbitrary text installed as a
// placement's parameters (the "b", "h" and "a" commands) and then clicked (the
// "o", "c", "t" and "p" commands), against the bench's panel services.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "gauges/close_subpanel.h"
#include "host/host.h"
#include "module/gauge_registry.h"
#include "module/host_services.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static std::unique_ptr<host::Host> bench;
    static int inputs = 0;
    if (!bench || ++inputs % 2000 == 0) {  // a fresh host keeps its timeline small
        bench.reset();
        host::HostOptions options;
        options.echo_stderr = false;
        bench = std::make_unique<host::Host>(options);
        bench->install_services(&ImportTable);
    }
    const std::string text(reinterpret_cast<const char*>(data), size);  // a zero byte ends the text early
    GAUGEHDR header = gaugehdr_Close_Subpanel;
    header.parameters = text.c_str();
    const size_t keys_before = bench->timeline().of_kind("key").size();
    header.gauge_callback(&header, PANEL_SERVICE_PRE_INSTALL, 0);
    if (header.user_data != 1) std::abort();
    close_subpanel_click({8, 8}, MOUSE_LEFTSINGLE);
    // One click raises at most one event per command letter occurrence plus
    // the bounded "p" count.
    const size_t raised = bench->timeline().of_kind("key").size() - keys_before;
    if (raised > size + static_cast<size_t>(PANEL_KEY_REPEAT_LIMIT) + 1) std::abort();
    const ID bitmap = close_subpanel_elements[0]->resource_id;
    if (bitmap != 150 && (bitmap % 10 != 0 || bitmap < 100 || bitmap > 360)) std::abort();
    close_subpanel_elements[0]->resource_id = 150;
    close_subpanel_mouse_rects[0].help_id = 0;
    closeSubpanelHeader = nullptr;
    return 0;
}
