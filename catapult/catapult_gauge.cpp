// The `CustomCatapult` gauge: the catapult controller.
#include "module/gauge_registry.h"

static ELEMENT_STATIC_IMAGE catapult_background = {
    {ELEMENT_TYPE_STATIC_IMAGE, 1330, {9, 0}, {0, 0}, {0, 0}, nullptr, nullptr, nullptr, nullptr, 0x1, 0},
};
static ELEMENT_HEADER* catapult_elements[] = {&catapult_background.header, nullptr};

// Connected to its window, the gauge tells panels that the custom catapult is
// available. The launch sequence of the update is not built yet.
static void catapult_callback(GAUGEHDR* header, SINT32 service_id, UINT32 extra_data)
{
    switch (service_id) {
    case PANEL_SERVICE_CONNECT_TO_WINDOW:
        execute_calculator_code("1 (>L:Cust_Catapult_Available,bool)", nullptr, nullptr, nullptr);
        break;
    case PANEL_SERVICE_PRE_UPDATE:
        break;
    default:
        break;
    }
}

GAUGEHDR gaugehdr_CustomCatapult = make_gauge_header<catapult_elements>("CustomCatapult", 100, nullptr, catapult_callback);
