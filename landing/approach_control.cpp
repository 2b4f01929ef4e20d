// The `Approach_Ctrl` gauge: the landing-signal officer's logic gauge.
#include "module/gauge_registry.h"

static ELEMENT_STATIC_IMAGE approach_control_background = {
    {ELEMENT_TYPE_STATIC_IMAGE, 1340, {9, 0}, {0, 0}, {0, 0}, nullptr, nullptr, nullptr, nullptr, 0x1, 0},
};
static ELEMENT_HEADER* approach_control_elements[] = {&approach_control_background.header, nullptr};

// The officer's set-up and distance checks are not built yet: the callback
// recognises the services the gauge acts on and does nothing with them.
static void approach_control_callback(GAUGEHDR* header, SINT32 service_id, UINT32 extra_data)
{
    switch (service_id) {
    case PANEL_SERVICE_PRE_INSTALL:
    case PANEL_SERVICE_PRE_UPDATE:
        break;
    default:
        break;
    }
}

GAUGEHDR gaugehdr_Approach_Ctrl = make_gauge_header<approach_control_elements>("Approach_Ctrl", 100, nullptr, approach_control_callback);
