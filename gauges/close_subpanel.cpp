// The `Close_Subpanel` gauge: a click box that opens, closes and toggles panel windows.
#include "module/gauge_registry.h"

static ELEMENT_STATIC_IMAGE close_subpanel_background = {
    {ELEMENT_TYPE_STATIC_IMAGE, 150, {0, 0}, {0, 0}, {0, 0}, nullptr, nullptr, nullptr, nullptr, 0x4003, 0},
};
static ELEMENT_HEADER* close_subpanel_elements[] = {&close_subpanel_background.header, nullptr};

// Its install-time commands, its mouse area and its click handler are not
// built yet: the callback recognises the one service the gauge acts on and
// does nothing with it.
static void close_subpanel_callback(GAUGEHDR* header, SINT32 service_id, UINT32 extra_data)
{
    switch (service_id) {
    case PANEL_SERVICE_PRE_INSTALL:
        break;
    default:
        break;
    }
}

GAUGEHDR gaugehdr_Close_Subpanel = make_gauge_header<close_subpanel_elements>("Close_Subpanel", 19, nullptr, close_subpanel_callback);
