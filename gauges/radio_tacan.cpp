// The `Radio_TACAN_ARN52B` gauge: the TACAN radio control head.
#include "module/gauge_registry.h"

static ELEMENT_STATIC_IMAGE radio_tacan_background = {
    {ELEMENT_TYPE_STATIC_IMAGE, 1000, {0, 0}, {0, 0}, {0, 0}, nullptr, nullptr, nullptr, nullptr, 0x3, 0},
};
static ELEMENT_HEADER* radio_tacan_elements[] = {&radio_tacan_background.header, nullptr};

// The radio's channel logic, its element chain and its mouse areas are not
// built yet: the callback recognises the services the gauge acts on and does
// nothing with them.
static void radio_tacan_callback(GAUGEHDR* header, SINT32 service_id, UINT32 extra_data)
{
    switch (service_id) {
    case PANEL_SERVICE_PRE_INSTALL:
    case PANEL_SERVICE_PRE_UPDATE:
        break;
    default:
        break;
    }
}

GAUGEHDR gaugehdr_Radio_TACAN_ARN52B = make_gauge_header<radio_tacan_elements>("Radio_TACAN_ARN52B", 150, nullptr, radio_tacan_callback);
