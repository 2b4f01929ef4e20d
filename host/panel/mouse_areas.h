// Hit-testing of a gauge's mouse-rectangle list in the gauge's own pixel
// space. Areas are numbered 1, 2, ... in list order, counting every entry but
// the parent, end-of-parent and end-of-list markers (so a gauge's "area 4" is
// the fourth area inside its outer area). A box of zero width or height
// covers the whole gauge. A point must lie inside every enclosing parent box.
#pragma once

#include <cstdint>

#include "platform/gauge_interface.h"

namespace host {

constexpr int MAX_MOUSE_RECTS = 256;  // a list without an end marker is cut here

// The entry of area number `area` (1-based), or null.
const MOUSERECT* mouse_area(const MOUSERECT* list, int area);
// Number of areas in the list.
int mouse_area_count(const MOUSERECT* list);
// The first area in list order that contains `point`, has a click function
// and accepts one of `flags`; its number, or 0.
int find_click_area(const MOUSERECT* list, PIXPOINT point, uint32_t flags);
// The first area in list order that contains `point` and carries a tooltip
// text; its number, or 0.
int find_tooltip_area(const MOUSERECT* list, PIXPOINT point);
// The centre of an area's box (the gauge's origin for a whole-gauge box).
PIXPOINT area_centre(const MOUSERECT& rect);

}  // namespace host
