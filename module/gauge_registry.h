// The six gauges the module offers, their headers and the generated routines
// that forward the host's element-list calls.
#pragma once

#include "module/entry_guard.h"
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
// list's first entry) and returns that service's result. `callback` is the
// host's way into the gauge's own callback. All eight are entry points, so
// none lets an exception through to the host (an exception gives 0 and one
// standard-error line).
template <ELEMENT_HEADER** List>
struct GaugeRoutines {
    static inline GAUGE_CALLBACK gaugeCallback = nullptr;  // the gauge's callback (make_gauge_header)

    static SINT32 query_list() { return element_list_query(List[0]); }
    static SINT32 install_list(UINT32 word) { return element_list_install(List[0], word); }
    static SINT32 initialize_list() { return element_list_initialize(List[0]); }
    static SINT32 update_list() { return element_list_update(List[0]); }
    static SINT32 generate_list(UINT32 word) { return element_list_generate(List[0], word); }
    static SINT32 draw_list() { return element_list_plot(List[0]); }
    static SINT32 kill_list() { return element_list_kill(List[0]); }
    static void run_callback(GAUGEHDR* header, SINT32 service_id, UINT32 extra_data)
    {
        if (gaugeCallback) gaugeCallback(header, service_id, extra_data);
    }

    static constexpr auto query = guarded_entry<&query_list>;
    static constexpr auto install = guarded_entry<&install_list>;
    static constexpr auto initialize = guarded_entry<&initialize_list>;
    static constexpr auto update = guarded_entry<&update_list>;
    static constexpr auto generate = guarded_entry<&generate_list>;
    static constexpr auto draw = guarded_entry<&draw_list>;
    static constexpr auto kill = guarded_entry<&kill_list>;
    static constexpr auto callback = guarded_entry<&run_callback>;
};

// A gauge header with the fields the module fills; everything else 0. The
// header's callback is a guarded trampoline to `callback`.
template <ELEMENT_HEADER** List>
GAUGEHDR make_gauge_header(const char* name, UINT32 size_mm, MOUSERECT* mouse_rect, GAUGE_CALLBACK callback)
{
    using Routines = GaugeRoutines<List>;
    Routines::gaugeCallback = callback;
    GAUGEHDR header{};
    header.gauge_header_version = GAUGE_HEADER_VERSION;
    header.gauge_name = name;
    header.elements_list = List;
    header.query_routine = Routines::query;
    header.install_routine = Routines::install;
    header.initialize_routine = Routines::initialize;
    header.update_routine = Routines::update;
    header.generate_routine = Routines::generate;
    header.draw_routine = Routines::draw;
    header.kill_routine = Routines::kill;
    header.size_x_mm = size_mm;
    header.mouse_rect = mouse_rect;
    header.gauge_callback = callback ? Routines::callback : nullptr;
    return header;
}
