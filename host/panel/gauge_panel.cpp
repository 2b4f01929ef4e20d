// Element walking and mouse routing of the placed gauges.
#include "host/panel/gauge_panel.h"

#include "host/host.h"
#include "host/panel/mouse_areas.h"
#include "host/panel/panel_services.h"
#include "host/panel/tooltip_format.h"
#include "resources/bitmaps.h"

namespace host {
namespace {

double module_variable(void* user, ID id) { return static_cast<PanelServices*>(user)->module_variable(id); }

bool bitmap_size(void*, ID id, int* width, int* height)
{
    const resources::BitmapInfo* b = resources::find_bitmap(id);
    if (!b) return false;
    *width = b->width;
    *height = b->height;
    return true;
}

}  // namespace

void walk_gauge_elements(Host& host, PlacedGauge& gauge) { walk_gauge_elements(host.panel_services(), gauge); }

void walk_gauge_elements(PanelServices& services, PlacedGauge& gauge)
{
    ELEMENT_HEADER** list = gauge.header.elements_list;
    if (!list || !list[0]) {
        gauge.elements.clear();
        return;
    }
    if (gauge.elements.capacity() < MAX_GAUGE_ELEMENTS) gauge.elements.reserve(MAX_GAUGE_ELEMENTS);
    const WalkContext context{&services, module_variable, bitmap_size};
    walk_elements(list[0], context, gauge.elements);
}

void gauge_pixel_size(const PlacedGauge& gauge, int* width, int* height)
{
    *width = *height = 0;
    ELEMENT_HEADER** list = gauge.header.elements_list;
    if (!list || !list[0]) return;
    if (const resources::BitmapInfo* b = resources::find_bitmap(list[0]->resource_id)) {
        *width = list[0]->position.x + b->width;
        *height = list[0]->position.y + b->height;
    }
}

PlacedGauge* find_placed_gauge(Host& host, const MouseTarget& target, std::string* error)
{
    int seen = 0;
    for (PlacedGauge& g : host.placed_gauges()) {
        if (g.name != target.gauge) continue;
        if (seen++ == target.placement) return &g;
    }
    *error = "no placed gauge \"" + target.gauge + "\"" +
             (target.placement > 0 ? " with placement " + std::to_string(target.placement) : std::string());
    return nullptr;
}

bool click_gauge(Host& host, const MouseTarget& target, std::string* error)
{
    PlacedGauge* gauge = find_placed_gauge(host, target, error);
    if (!gauge) return false;
    const MOUSERECT* list = gauge->header.mouse_rect;
    PIXPOINT point = target.point;
    int area = target.area;
    if (area > 0) {
        const MOUSERECT* rect = mouse_area(list, area);
        if (!rect || !rect->mouse_function) {
            *error = "gauge \"" + target.gauge + "\" has no clickable area " + std::to_string(area) + " (it has " +
                     std::to_string(mouse_area_count(list)) + " areas)";
            return false;
        }
        point = area_centre(*rect);
    } else {
        area = find_click_area(list, point, target.flags);
    }
    host.timeline().add("click", {{"gauge", gauge->name}, {"x", point.x}, {"y", point.y}, {"area", area},
                                  {"flags", target.flags}});
    if (area > 0) mouse_area(list, area)->mouse_function(point, target.flags);
    return true;
}

bool hover_gauge(Host& host, const MouseTarget& target, std::string* text, std::string* error)
{
    PlacedGauge* gauge = find_placed_gauge(host, target, error);
    if (!gauge) return false;
    const MOUSERECT* list = gauge->header.mouse_rect;
    PIXPOINT point = target.point;
    int area = target.area;
    if (area > 0) {
        const MOUSERECT* rect = mouse_area(list, area);
        if (!rect || !rect->tooltip_text) {
            *error = "gauge \"" + target.gauge + "\" has no tooltip area " + std::to_string(area);
            return false;
        }
        point = area_centre(*rect);
    } else {
        area = find_tooltip_area(list, point);
    }
    text->clear();
    if (area > 0) {
        const MOUSERECT* rect = mouse_area(list, area);
        TooltipValue values[TOOLTIP_MAX_ARGS];
        const size_t count = resolve_tooltip_args(rect->tooltip_args, module_variable, &host.panel_services(), values);
        format_tooltip(rect->tooltip_text, values, count, *text);
    }
    host.timeline().add("tooltip", {{"gauge", gauge->name}, {"x", point.x}, {"y", point.y}, {"area", area},
                                    {"text", *text}});
    return true;
}

// [placement and updates] ------------------------------------------------------
int GaugePanel::place(const GAUGESLINKAGE& linkage, const std::string& name, const std::string& parameters,
                      std::string* error)
{
    for (GAUGEHDR* const* entry = linkage.gauge_header_ptrs; *entry; ++entry) {
        if (name != (*entry)->gauge_name) continue;
        PlacedGauge& gauge = gauges_.emplace_back();
        gauge.name = name;
        gauge.parameters = parameters;
        gauge.header = **entry;
        gauge.header.parameters = gauge.parameters.empty() ? nullptr : gauge.parameters.c_str();
        gauge_pixel_size(gauge, &gauge.width, &gauge.height);
        timeline_.add("gauge", {{"action", "place"}, {"gauge", name}, {"parameters", parameters}});
        run_service(gauge, PANEL_SERVICE_PRE_QUERY);
        if (gauge.header.query_routine) gauge.header.query_routine();
        run_service(gauge, PANEL_SERVICE_POST_QUERY);
        run_service(gauge, PANEL_SERVICE_PRE_INSTALL);
        if (gauge.header.install_routine) gauge.header.install_routine(0);
        run_service(gauge, PANEL_SERVICE_POST_INSTALL);
        run_service(gauge, PANEL_SERVICE_PRE_INITIALIZE);
        if (gauge.header.initialize_routine) gauge.header.initialize_routine();
        run_service(gauge, PANEL_SERVICE_POST_INITIALIZE);
        return static_cast<int>(gauges_.size()) - 1;
    }
    *error = "the module has no gauge named \"" + name + "\"";
    return -1;
}

void GaugePanel::connect()
{
    for (PlacedGauge& gauge : gauges_) {
        if (gauge.connected) continue;
        gauge.connected = true;
        run_service(gauge, PANEL_SERVICE_CONNECT_TO_WINDOW);
    }
}

void GaugePanel::update()
{
    for (PlacedGauge& gauge : gauges_) {
        run_service(gauge, PANEL_SERVICE_PRE_UPDATE);
        if (gauge.header.update_routine) gauge.header.update_routine();
        walk_gauge_elements(services_, gauge);
        run_service(gauge, PANEL_SERVICE_POST_UPDATE);
    }
}

void GaugePanel::remove()
{
    for (PlacedGauge& gauge : gauges_) {
        run_service(gauge, PANEL_SERVICE_PRE_KILL);
        if (gauge.header.kill_routine) gauge.header.kill_routine();
        run_service(gauge, PANEL_SERVICE_POST_KILL);
    }
}

void GaugePanel::run_service(PlacedGauge& gauge, SINT32 service)
{
    // Per-frame services would flood the timeline; the others are recorded.
    if (service != PANEL_SERVICE_PRE_UPDATE && service != PANEL_SERVICE_POST_UPDATE)
        timeline_.add("gauge_service", {{"gauge", gauge.name}, {"service", service}});
    if (gauge.header.gauge_callback) gauge.header.gauge_callback(&gauge.header, service, 0);
}

}  // namespace host
