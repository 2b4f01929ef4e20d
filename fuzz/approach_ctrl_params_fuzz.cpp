// Fuzzes the `Approach_Ctrl` gauge's parameter string: the text after the
// gauge's name in the panel configuration, read at pre-install as the power
// light's angle-of-attack threshold. Any text must give a number (0 when it
// does not start with one) without reading past its end.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "landing/approach_control.h"
#include "module/gauge_registry.h"
#include "state/module_state.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static bool ready = false;
    if (!ready) {
        moduleState = get_or_create_module_state();
        if (!moduleState->carrier) create_state_records(moduleState);
        ready = true;
    }
    // The host hands the text over zero-terminated; an embedded zero ends it.
    std::vector<char> text(data, data + size);
    text.push_back('\0');

    const double direct = parse_approach_gauge_setting(text.data());
    GAUGEHDR header = gaugehdr_Approach_Ctrl;
    header.parameters = text.data();
    header.gauge_callback(&header, PANEL_SERVICE_PRE_INSTALL, 0);
    const double installed = moduleState->lso->ApproachGaugeSetting;
    // The gauge keeps exactly what the reader gives (NaN compares unequal to itself).
    if (!(installed == direct) && !(installed != installed && direct != direct)) std::abort();
    if (text[0] == '\0' && direct != 0.0) std::abort();
    return 0;
}
