// The gauge panel of the emulated host: element walking of every placed
// gauge on each update, and the mouse (clicks and tooltips) routed to a
// placed gauge's mouse areas in its own pixel space.
#pragma once

#include <cstdint>
#include <string>

#include "host/element_walker.h"
#include "host/host.h"

namespace host {

// Walks a placed gauge's element chain (from its header's first element)
// into gauge.elements. Called by the host after each update routine.
void walk_gauge_elements(Host& host, PlacedGauge& gauge);

// Pixel size of a placed gauge: the size of its first element's bitmap
// (0 x 0 when unknown).
void gauge_pixel_size(const PlacedGauge& gauge, int* width, int* height);

struct MouseTarget {
    std::string gauge;     // gauge name
    int placement = 0;     // which placement of that name (0 = the first)
    int area = 0;          // area number; 0 = hit-test at (x, y)
    PIXPOINT point{0, 0};  // gauge pixels
    uint32_t flags = MOUSE_LEFTSINGLE;
};

// The placed gauge a target names, or null with `error`.
PlacedGauge* find_placed_gauge(Host& host, const MouseTarget& target, std::string* error);

// Clicks: finds the area (by number, or the first at the point that accepts
// the flags), calls its function and records a "click" event. False with
// `error` when the gauge or the area does not exist; a click where no area
// takes it is recorded with area 0 and is not an error.
bool click_gauge(Host& host, const MouseTarget& target, std::string* error);

// Hovers: formats the tooltip of the area (by number, or the first tooltip
// area at the point) and records a "tooltip" event. `text` gets the tooltip
// (empty when there is none).
bool hover_gauge(Host& host, const MouseTarget& target, std::string* text, std::string* error);

}  // namespace host
