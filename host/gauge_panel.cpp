// Element walking and mouse routing of the placed gauges.
#include "host/gauge_panel.h"

#include "host/mouse_areas.h"
#include "host/tooltip_format.h"
#include "resources/bitmaps.h"

namespace host {
namespace {

double module_variable(void* user, ID id) { return static_cast<Host*>(user)->module_variable(id); }

bool bitmap_size(void*, ID id, int* width, int* height)
{
    const resources::BitmapInfo* b = resources::find_bitmap(id);
    if (!b) return false;
    *width = b->width;
    *height = b->height;
    return true;
}

}  // namespace

void walk_gauge_elements(Host& host, PlacedGauge& gauge)
{
    ELEMENT_HEADER** list = gauge.header.elements_list;
    if (!list || !list[0]) {
        gauge.elements.clear();
        return;
    }
    if (gauge.elements.capacity() < MAX_GAUGE_ELEMENTS) gauge.elements.reserve(MAX_GAUGE_ELEMENTS);
    const WalkContext context{&host, module_variable, bitmap_size};
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
        const size_t count = resolve_tooltip_args(rect->tooltip_args, module_variable, &host, values);
        format_tooltip(rect->tooltip_text, values, count, *text);
    }
    host.timeline().add("tooltip", {{"gauge", gauge->name}, {"x", point.x}, {"y", point.y}, {"area", area},
                                    {"text", *text}});
    return true;
}

}  // namespace host
