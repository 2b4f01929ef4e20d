// The six gauges the module offers, their headers and the generated routines
// that forward the host's element-list calls.
#pragma once

#include "module/host_services.h"
#include "platform/gauge_interface.h"

constexpr UINT32 GAUGE_HEADER_VERSION = 800;

// Gauge headers in the order of the gauge table.
extern GAUGEHDR gaugehdr_Close_Subpanel;
extern GAUGEHDR gaugehdr_Radio_TACAN_ARN52B;
extern GAUGEHDR gaugehdr_Aircraft_Carrier_Indicator;
extern GAUGEHDR gaugehdr_Tacan_Navigation;
extern GAUGEHDR gaugehdr_CustomCatapult;
extern GAUGEHDR gaugehdr_Approach_Ctrl;

// The seven generated routines of a gauge whose element list is `List`: each
// forwards to one element-list service with the gauge's root element (the
// list's first entry) and returns that service's result.
template <ELEMENT_HEADER** List>
struct GaugeRoutines {
    static SINT32 query() { return element_list_query(List[0]); }
    static SINT32 install(UINT32 word) { return element_list_install(List[0], word); }
    static SINT32 initialize() { return element_list_initialize(List[0]); }
    static SINT32 update() { return element_list_update(List[0]); }
    static SINT32 generate(UINT32 word) { return element_list_generate(List[0], word); }
    static SINT32 draw() { return element_list_plot(List[0]); }
    static SINT32 kill() { return element_list_kill(List[0]); }
};

// A gauge header with the fields the module fills; everything else 0.
template <ELEMENT_HEADER** List>
constexpr GAUGEHDR make_gauge_header(const char* name, UINT32 size_mm, MOUSERECT* mouse_rect,
                                     GAUGE_CALLBACK callback)
{
    GAUGEHDR header{};
    header.gauge_header_version = GAUGE_HEADER_VERSION;
    header.gauge_name = name;
    header.elements_list = List;
    header.query_routine = &GaugeRoutines<List>::query;
    header.install_routine = &GaugeRoutines<List>::install;
    header.initialize_routine = &GaugeRoutines<List>::initialize;
    header.update_routine = &GaugeRoutines<List>::update;
    header.generate_routine = &GaugeRoutines<List>::generate;
    header.draw_routine = &GaugeRoutines<List>::draw;
    header.kill_routine = &GaugeRoutines<List>::kill;
    header.size_x_mm = size_mm;
    header.mouse_rect = mouse_rect;
    header.gauge_callback = callback;
    return header;
}
