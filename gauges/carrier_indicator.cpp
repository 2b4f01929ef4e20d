// The `Aircraft_Carrier_Indicator` gauge: the carrier bearing, distance and
// deviation indicator.
//
// Index: [state] [readout] [pointers] [deviation bars] [lamps and legends]
//        [elements] [mouse] [gauge callback]
#include "gauges/carrier_indicator.h"

#include <cmath>
#include <cstdio>

#include "gauges/radio_tacan.h"
#include "geo/geodesy.h"
#include "module/gauge_registry.h"
#include "state/module_state.h"

// [state] ---------------------------------------------------------------------------
CarrierIndicatorState carrierIndicator{1, 0, 0, 0.0, 0, 0, 0.0};
uint8_t panelLightsOn = 0;

constexpr double LOC_LIMIT_DEG = 6.0;  // localizer bar travel limit
constexpr double GS_LIMIT_DEG = 3.0;   // glide-slope bar travel limit

static bool tacan_presentation() { return carrierIndicator.presentationMode != 0; }
static bool tacan_valid() { return approachSolution.tcnValid != 0; }

static void show(ELEMENT_HEADER* e, bool shown)
{
    if (shown) e->image_flags &= ~IMAGE_HIDDEN;
    else e->image_flags |= IMAGE_HIDDEN;
}

// The aircraft's heading in degrees (module variable 84).
static double heading_deg()
{
    MODULE_VAR var{MODULE_VAR_PLANE_HEADING_DEGREES, 0.0};
    lookup_var(&var);
    return var.value;
}

// [readout] ----------------------------------------------------------------------------
// Distance of the readout: the carrier solution when the TACAN is valid, else
// the selected receiver's DME; "---.-" when there is none.
static FLOAT64 distance_readout(ELEMENT_STRING* e)
{
    CarrierIndicatorState& s = carrierIndicator;
    if (tacan_valid() && tacanMainSwitch) {
        s.distance = tacan_presentation() ? approachSolution.tcnSlantRange : approachSolution.ilsSlantRange;
    } else if (tacanMainSwitch && (tacanReceiver == 1 || tacanReceiver == 2)) {
        const bool nav1 = tacanReceiver == 1;
        execute_calculator_code(nav1 ? "(A:NAV DME:1, nmiles)" : "(A:NAV DME:2, nmiles)", &s.distance, nullptr, nullptr);
        execute_calculator_code(nav1 ? "(A:NAV HAS DME:1, bool) 1 1 == &&" : "(A:NAV HAS DME:2, bool) 1 1 == &&", nullptr,
                                &s.navDmeAvailable, nullptr);
        if (s.distance < 0) s.navDmeAvailable = 0;
    } else {
        s.distance = 0.0;
        s.navDmeAvailable = 0;
    }
    const size_t size = static_cast<size_t>(e->max_string_length) + 1;
    if ((!tacan_valid() && s.navDmeAvailable == 0) || !(s.distance >= 0.0))
        std::snprintf(e->string, size, "---.-");
    else
        std::snprintf(e->string, size, "%5.1f", s.distance);  // cut to the element's length
    return s.distance;
}

// [pointers] -----------------------------------------------------------------------------
static FLOAT64 bearing_pointer(ELEMENT_HEADER* e)
{
    show(e, tacan_presentation());
    if (!tacanMainSwitch) return 90.0;
    if (!tacan_presentation()) return 0.0;
    if (tacan_valid())
        return (approachSolution.tcnTrueRadial - approachSolution.magneticVariation) * DEG_PER_RAD - heading_deg();
    CarrierIndicatorState& s = carrierIndicator;
    const bool nav1 = tacanReceiver == 1;
    execute_calculator_code(nav1 ? "(A:NAV HAS NAV:1, bool) 1 1 == &&" : "(A:NAV HAS NAV:2, bool) 1 1 == &&", nullptr,
                            &s.navSignalAvailable, nullptr);
    execute_calculator_code(nav1 ? "(A:NAV RELATIVE BEARING TO STATION:1, degrees) dnor "
                                 : "(A:NAV RELATIVE BEARING TO STATION:2, degrees) dnor ",
                            &s.navRelativeBearing, nullptr, nullptr);
    return s.navSignalAvailable == 1 ? s.navRelativeBearing : 90.0;
}

static FLOAT64 runway_pointer_ils(ELEMENT_HEADER* e)
{
    if (tacan_presentation()) {
        show(e, false);
        return 0.0;
    }
    show(e, true);
    return approachSolution.rwyHeading * DEG_PER_RAD - heading_deg();
}

static FLOAT64 runway_pointer_tacan(ELEMENT_HEADER* e)
{
    if (tacan_presentation() && tacan_valid()) {
        show(e, true);
        return approachSolution.rwyHeading * DEG_PER_RAD - heading_deg();
    }
    show(e, false);
    return 0.0;
}

// [deviation bars] ---------------------------------------------------------------------------
// In-range bar: centred while the set is off or the TACAN invalid, the error
// inside the limit, hidden beyond it (the limit bar takes over).
static double in_range_bar(ELEMENT_HEADER* e, double error_deg, double limit)
{
    if (tacan_presentation()) {
        show(e, false);
        return 0.0;
    }
    if (!tacanMainSwitch || !tacan_valid()) {
        show(e, true);
        return 0.0;
    }
    if (error_deg >= -limit && error_deg <= limit) {
        show(e, true);
        return error_deg;
    }
    show(e, false);
    return 0.0;
}

// Limit bar: shown at +limit or -limit while the error lies beyond the limit.
static double limit_bar(ELEMENT_HEADER* e, double error_deg, double limit)
{
    if (!tacan_presentation() && tacanMainSwitch && tacan_valid() && (error_deg > limit || error_deg < -limit)) {
        show(e, true);
        return error_deg > limit ? limit : -limit;
    }
    show(e, false);
    return 0.0;
}

static FLOAT64 loc_bar(ELEMENT_HEADER* e) { return in_range_bar(e, approachSolution.locError, LOC_LIMIT_DEG); }
static FLOAT64 loc_limit_bar(ELEMENT_HEADER* e) { return limit_bar(e, approachSolution.locError, LOC_LIMIT_DEG); }
static FLOAT64 gs_bar(ELEMENT_HEADER* e) { return in_range_bar(e, approachSolution.gsError, GS_LIMIT_DEG); }
static FLOAT64 gs_limit_bar(ELEMENT_HEADER* e) { return limit_bar(e, approachSolution.gsError, GS_LIMIT_DEG); }

// [lamps and legends] ---------------------------------------------------------------------------
constexpr FLOAT64 NO_IMAGE = -1.0;  // outside every icon's image range

static FLOAT64 dme_flag(ELEMENT_HEADER*)
{
    return tacanMainSwitch && !tacan_valid() && carrierIndicator.navDmeAvailable == 1 ? 0.0 : NO_IMAGE;
}
static FLOAT64 nav_flag(ELEMENT_HEADER*)
{
    return tacanMainSwitch && !tacan_valid() && carrierIndicator.navSignalAvailable == 1 ? 0.0 : NO_IMAGE;
}
static FLOAT64 carrier_lamp(int32_t type)
{
    if (!tacanMainSwitch || carrierIndicator.carrierTypeCopy != type) return NO_IMAGE;
    return tacan_valid() ? 0.0 : 1.0;
}
static FLOAT64 fixed_site_lamp(ELEMENT_HEADER*) { return carrier_lamp(CARRIER_TYPE_FIXED_SITE); }
static FLOAT64 ship_lamp(ELEMENT_HEADER*) { return carrier_lamp(CARRIER_TYPE_SHIP); }
static FLOAT64 ils_legend(ELEMENT_HEADER*) { return tacan_presentation() ? NO_IMAGE : 0.0; }
static FLOAT64 lso_legend(ELEMENT_HEADER*) { return carrierIndicator.lsoOnFlag ? 0.0 : NO_IMAGE; }

static FLOAT64 compass_card(ELEMENT_HEADER* e)
{
    return reinterpret_cast<ELEMENT_SPRITE*>(e)->rotation_var_value;
}

// [elements] ----------------------------------------------------------------------------------
static FAILURE_RECORD pointer_failures[] = {{20, 1}, {11, 1}, {0, 0}};
static FAILURE_RECORD card_failures[] = {{20, 1}, {11, 1}, {0, 0}};
static NONLINEARITY rwy_ils_table[] = {{{150, 50}, 0.0, 0.0}, {{150, 250}, 180.0, 0.0}};
static NONLINEARITY bearing_table[] = {{{150, 50}, 0.0, 0.0}, {{150, 250}, 180.0, 0.0}};
static NONLINEARITY rwy_tacan_table[] = {{{150, 50}, 0.0, 0.0}, {{150, 250}, 180.0, 0.0}};

constexpr SINT32 READOUT_CHARS = 5;
static char readoutText[READOUT_CHARS + 1] = "";

#define NEXT(name, element) static ELEMENT_HEADER* name[] = {&(element).header, nullptr}

static ELEMENT_ICON lso_legend_icon = {
    {ELEMENT_TYPE_ICON, 1190, {3, 278}, {0, 0}, {0, 0}, nullptr, nullptr, nullptr, nullptr, 0x4003, 0},
    lso_legend, 0, 1, 1.0, 0.0, 0.0};
NEXT(lso_legend_next, lso_legend_icon);
static ELEMENT_ICON ils_legend_icon = {
    {ELEMENT_TYPE_ICON, 1200, {237, 278}, {0, 0}, {0, 0}, nullptr, nullptr, lso_legend_next, nullptr, 0x4003, 0},
    ils_legend, 0, 1, 1.0, 0.0, 0.0};
NEXT(ils_legend_next, ils_legend_icon);
static ELEMENT_STATIC_IMAGE bezel = {
    {ELEMENT_TYPE_STATIC_IMAGE, 1160, {0, 0}, {0, 0}, {0, 0}, nullptr, nullptr, ils_legend_next, nullptr, 0x4003, 0}};
NEXT(bezel_next, bezel);
static ELEMENT_NEEDLE rwy_tacan_needle = {
    {ELEMENT_TYPE_NEEDLE, 1151, {150, 150}, {0, 0}, {0, 12}, nullptr, nullptr, bezel_next, pointer_failures, 0x4003, 0},
    runway_pointer_tacan, rwy_tacan_table, 2, 0.0};
NEXT(rwy_tacan_next, rwy_tacan_needle);
static ELEMENT_NEEDLE bearing_needle = {
    {ELEMENT_TYPE_NEEDLE, 1120, {150, 150}, {0, 0}, {99, 24}, nullptr, nullptr, rwy_tacan_next, nullptr, 0x4003, 0},
    bearing_pointer, bearing_table, 2, 0.0};
NEXT(bearing_next, bearing_needle);
static ELEMENT_NEEDLE rwy_ils_needle = {
    {ELEMENT_TYPE_NEEDLE, 1151, {150, 150}, {0, 0}, {0, 12}, nullptr, nullptr, bearing_next, pointer_failures, 0x4003, 0},
    runway_pointer_ils, rwy_ils_table, 2, 0.0};
NEXT(rwy_ils_next, rwy_ils_needle);
static ELEMENT_SLIDER gs_bar_slider = {
    {ELEMENT_TYPE_SLIDER, 1140, {94, 148}, {0, 0}, {0, 0}, nullptr, nullptr, rwy_ils_next, nullptr, 0x4003, 0},
    nullptr, 1.0, gs_bar, 26.0, 0.0, 0.0};
NEXT(gs_bar_next, gs_bar_slider);
static ELEMENT_SLIDER gs_limit_slider = {
    {ELEMENT_TYPE_SLIDER, 1240, {94, 148}, {0, 0}, {0, 0}, nullptr, nullptr, gs_bar_next, nullptr, 0x4003, 0},
    nullptr, 1.0, gs_limit_bar, 26.0, 0.0, 0.0};
NEXT(gs_limit_next, gs_limit_slider);
static ELEMENT_SLIDER loc_bar_slider = {
    {ELEMENT_TYPE_SLIDER, 1130, {148, 94}, {0, 0}, {0, 0}, nullptr, nullptr, gs_limit_next, nullptr, 0x4003, 0},
    loc_bar, 13.0, nullptr, 1.0, 0.0, 0.0};
NEXT(loc_bar_next, loc_bar_slider);
static ELEMENT_SLIDER loc_limit_slider = {
    {ELEMENT_TYPE_SLIDER, 1230, {148, 94}, {0, 0}, {0, 0}, nullptr, nullptr, loc_bar_next, nullptr, 0x4003, 0},
    loc_limit_bar, 13.0, nullptr, 1.0, 0.0, 0.0};
NEXT(loc_limit_next, loc_limit_slider);
static ELEMENT_STRING readout = {
    {ELEMENT_TYPE_STRING, 0, {114, 190}, {0, 0}, {0, 0}, nullptr, nullptr, loc_limit_next, nullptr, 0x4003, 0},
    distance_readout, {114, 190, 85, 35}, 0x00FFFFFF, 0x00000000, 0x00F6B008, "Arial", 700, 1, 0x26,
    READOUT_CHARS, readoutText};
NEXT(readout_next, readout);
static ELEMENT_ICON ship_lamp_icon = {
    {ELEMENT_TYPE_ICON, 1180, {55, 142}, {0, 0}, {0, 0}, nullptr, nullptr, readout_next, nullptr, 0x7, 0},
    ship_lamp, 0, 2, 1.0, 0.0, 0.0};
NEXT(ship_lamp_next, ship_lamp_icon);
static ELEMENT_ICON fixed_lamp_icon = {
    {ELEMENT_TYPE_ICON, 1170, {172, 142}, {0, 0}, {0, 0}, nullptr, nullptr, ship_lamp_next, nullptr, 0x7, 0},
    fixed_site_lamp, 0, 2, 1.0, 0.0, 0.0};
NEXT(fixed_lamp_next, fixed_lamp_icon);
static ELEMENT_ICON nav_flag_icon = {
    {ELEMENT_TYPE_ICON, 1220, {115, 105}, {0, 0}, {0, 0}, nullptr, nullptr, fixed_lamp_next, nullptr, 0x7, 0},
    nav_flag, 0, 1, 1.0, 0.0, 0.0};
NEXT(nav_flag_next, nav_flag_icon);
static ELEMENT_ICON dme_flag_icon = {
    {ELEMENT_TYPE_ICON, 1221, {151, 105}, {0, 0}, {0, 0}, nullptr, nullptr, nav_flag_next, nullptr, 0x7, 0},
    dme_flag, 0, 1, 1.0, 0.0, 0.0};
NEXT(dme_flag_next, dme_flag_icon);
static ELEMENT_SPRITE compass = {
    {ELEMENT_TYPE_SPRITE, 1110, {0, 0}, {0, 0}, {0, 0}, nullptr, nullptr, dme_flag_next, card_failures, 0x4003, 0},
    {150, 150}, nullptr, 1.0, nullptr, 1.0, compass_card, 1.0, MODULE_VAR_PLANE_HEADING_DEGREES, 1.0, 1.0, 0.0};
NEXT(compass_next, compass);
static ELEMENT_STATIC_IMAGE face = {
    {ELEMENT_TYPE_STATIC_IMAGE, 1210, {0, 0}, {0, 0}, {0, 0}, nullptr, nullptr, compass_next, nullptr, 0x4003, 0}};
#undef NEXT

ELEMENT_HEADER* carrier_indicator_elements[] = {&face.header, nullptr};

// [mouse] ----------------------------------------------------------------------------------
static FLOAT64 arg_var_855(FLOAT64, const MOUSE_TOOLTIP_ARG*)
{
    MODULE_VAR var{MODULE_VAR_855, 0.0};
    lookup_var(&var);
    return var.value;
}
static const char* arg_no_text(FLOAT64, const MOUSE_TOOLTIP_ARG*) { return nullptr; }
static FLOAT64 arg_tcn_valid(FLOAT64, const MOUSE_TOOLTIP_ARG*) { return approachSolution.tcnValid; }
static FLOAT64 arg_carrier_found(FLOAT64, const MOUSE_TOOLTIP_ARG*) { return carrierFound; }
static FLOAT64 arg_carrier_type(FLOAT64, const MOUSE_TOOLTIP_ARG*) { return carrierIndicator.carrierTypeCopy; }
static FLOAT64 arg_tcn_range(FLOAT64, const MOUSE_TOOLTIP_ARG*) { return approachSolution.tcnSlantRange; }
static FLOAT64 arg_tcn_radial(FLOAT64, const MOUSE_TOOLTIP_ARG*) { return approachSolution.tcnTrueRadial * 180.0 / M_PI; }
static FLOAT64 arg_distance(FLOAT64, const MOUSE_TOOLTIP_ARG*) { return carrierIndicator.distance; }
static FLOAT64 arg_dme_available(FLOAT64, const MOUSE_TOOLTIP_ARG*) { return carrierIndicator.navDmeAvailable; }
static FLOAT64 arg_loc_error(FLOAT64, const MOUSE_TOOLTIP_ARG*) { return approachSolution.locError; }
static FLOAT64 arg_gs_valid(FLOAT64, const MOUSE_TOOLTIP_ARG*) { return approachSolution.ilsGsValid; }

MOUSE_TOOLTIP_ARG carrier_indicator_tooltip_args[] = {
    {0, 1.0, arg_var_855, nullptr},       {0, 1.0, nullptr, arg_no_text},     {0, 1.0, arg_tcn_valid, nullptr},
    {0, 1.0, arg_carrier_found, nullptr}, {0, 1.0, arg_carrier_type, nullptr}, {0, 1.0, arg_tcn_range, nullptr},
    {0, 1.0, arg_tcn_radial, nullptr},    {0, 1.0, arg_distance, nullptr},    {0, 1.0, arg_dme_available, nullptr},
    {0, 1.0, arg_loc_error, nullptr},     {0, 1.0, arg_gs_valid, nullptr},    {0, 0.0, nullptr, nullptr},
};

// Both buttons ignore the point and flags.
static bool lso_button(PIXPOINT, UINT32)
{
    execute_calculator_code("(L:LSO_is_Off_VC, bool) ! (>L:LSO_is_Off_VC, bool)", nullptr, nullptr, nullptr);
    return false;
}
static bool mode_button(PIXPOINT, UINT32)
{
    carrierIndicator.presentationMode = !carrierIndicator.presentationMode;
    return false;
}

#define TIP(x, y, w, h, text) \
    {MOUSE_RECT_TOOLTIP, {x, y, w, h}, CURSOR_NONE, 0, 0, 0, nullptr, text, carrier_indicator_tooltip_args}
MOUSERECT carrier_indicator_mouse_rects[] = {
    {MOUSE_RECT_PARENT, {0, 0, 0, 0}, CURSOR_NONE, 0, 0, 0, nullptr, nullptr, nullptr},
    TIP(0, 0, 100, 100, "TCN_is_valid (%3!d!)"),
    TIP(100, 0, 100, 100, "Carrier_is_found (%4!d!) - Carrier_Type (%5!d!)"),
    TIP(200, 0, 100, 100, "TCN_Slant_distance (%6!6.2f!) - dme_dist (%8!6.2f!)"),
    TIP(0, 100, 100, 100, "TCN_radial (%7!d!) -  vor_angle (%11!6.2f!)"),
    TIP(100, 100, 100, 100, "Is_VOR_DME (%9!d!)"),
    TIP(200, 100, 100, 100, "ILS_LOC_Error (%10!6.2f!)"),
    TIP(0, 200, 100, 100, "ILS_LOC_Valid (%11!d!)"),
    TIP(237, 278, 60, 19, "ILS or TACAN (%2!s!)"),
    {MOUSE_RECT_CHILD, {3, 278, 60, 19}, CURSOR_HAND, 0, MOUSE_LEFTSINGLE, 0, lso_button, nullptr, nullptr},
    {MOUSE_RECT_CHILD, {237, 278, 60, 19}, CURSOR_HAND, 0, MOUSE_LEFTSINGLE, 0, mode_button, nullptr, nullptr},
    {MOUSE_RECT_END_PARENT, {0, 0, 0, 0}, CURSOR_NONE, 0, 0, 0, nullptr, nullptr, nullptr},
    {MOUSE_RECT_EOL, {0, 0, 0, 0}, CURSOR_NONE, 0, 0, 0, nullptr, nullptr, nullptr},
};
#undef TIP

// [gauge callback] ------------------------------------------------------------------------------
// The LSO-on flag from "(L:LSO_is_Off_VC, bool) !"; a failed evaluation keeps it.
static void read_lso_flag()
{
    int32_t result = carrierIndicator.lsoOnFlag;
    execute_calculator_code("(L:LSO_is_Off_VC, bool) !", nullptr, &result, nullptr);
    carrierIndicator.lsoOnFlag = result != 0;
}

static void carrier_indicator_callback(GAUGEHDR* header, SINT32 service_id, UINT32 extra_data)
{
    switch (service_id) {
    case PANEL_SERVICE_PRE_INSTALL:
        read_lso_flag();
        carrierIndicator.carrierTypeCopy = moduleState->carrier->CarrierType;
        break;
    case PANEL_SERVICE_PRE_UPDATE: {
        carrierIndicator.carrierTypeCopy = moduleState->carrier->CarrierType;
        read_lso_flag();
        MODULE_VAR lights{MODULE_VAR_PANEL_LIGHTS, 0.0};
        lookup_var(&lights);
        panelLightsOn = lights.value > 0 ? 1 : 0;
        light_first_two_elements(header, panelLightsOn != 0);
        break;
    }
    default:
        break;
    }
}

GAUGEHDR gaugehdr_Aircraft_Carrier_Indicator = make_gauge_header<carrier_indicator_elements>(
    "Aircraft_Carrier_Indicator", 100, carrier_indicator_mouse_rects, carrier_indicator_callback);
