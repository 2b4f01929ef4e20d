// The `Aircraft_Carrier_Indicator` gauge: the carrier bearing, distance and deviation indicator.
#include "module/gauge_registry.h"

static ELEMENT_STATIC_IMAGE carrier_indicator_background = {
    {ELEMENT_TYPE_STATIC_IMAGE, 1210, {0, 0}, {0, 0}, {0, 0}, nullptr, nullptr, nullptr, nullptr, 0x4003, 0},
};
static ELEMENT_HEADER* carrier_indicator_elements[] = {&carrier_indicator_background.header, nullptr};

// The indicator's logic, its element chain and its mouse areas are not built
// yet: the callback recognises the services the gauge acts on and does nothing
// with them.
static void carrier_indicator_callback(GAUGEHDR* header, SINT32 service_id, UINT32 extra_data)
{
    switch (service_id) {
    case PANEL_SERVICE_PRE_INSTALL:
    case PANEL_SERVICE_PRE_UPDATE:
        break;
    default:
        break;
    }
}

GAUGEHDR gaugehdr_Aircraft_Carrier_Indicator = make_gauge_header<carrier_indicator_elements>("Aircraft_Carrier_Indicator", 100, nullptr, carrier_indicator_callback);
