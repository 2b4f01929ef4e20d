// Hit-testing of mouse-rectangle lists.
#include "host/panel/mouse_areas.h"

namespace host {
namespace {

bool contains(const PIXBOX& box, PIXPOINT p)
{
    if (box.width <= 0 || box.height <= 0) return true;  // whole gauge
    return p.x >= box.x && p.x < box.x + box.width && p.y >= box.y && p.y < box.y + box.height;
}


// Calls `visit(number, rect)` for every area whose enclosing parents all
// contain `p` (or every area when `p` is null); stops when it returns true.
template <typename Visit>
int scan(const MOUSERECT* list, const PIXPOINT* p, Visit visit)
{
    if (!list) return 0;
    constexpr int MAX_DEPTH = 16;
    bool inside[MAX_DEPTH + 1];
    int depth = 0;
    inside[0] = true;
    int number = 0;
    for (int i = 0; i < MAX_MOUSE_RECTS && list[i].rect_type != MOUSE_RECT_EOL; ++i) {
        const MOUSERECT& r = list[i];
        if (r.rect_type == MOUSE_RECT_PARENT) {
            if (depth < MAX_DEPTH) {
                inside[depth + 1] = inside[depth] && (!p || contains(r.relative_box, *p));
                ++depth;
            }
            continue;
        }
        if (r.rect_type == MOUSE_RECT_END_PARENT) {
            if (depth > 0) --depth;
            continue;
        }
        ++number;
        if (inside[depth] && visit(number, r)) return number;
    }
    return 0;
}

}  // namespace

const MOUSERECT* mouse_area(const MOUSERECT* list, int area)
{
    const MOUSERECT* found = nullptr;
    scan(list, nullptr, [&](int n, const MOUSERECT& r) {
        if (n != area) return false;
        found = &r;
        return true;
    });
    return found;
}

int mouse_area_count(const MOUSERECT* list)
{
    int count = 0;
    scan(list, nullptr, [&](int n, const MOUSERECT&) {
        count = n;
        return false;
    });
    return count;
}

int find_click_area(const MOUSERECT* list, PIXPOINT point, uint32_t flags)
{
    return scan(list, &point, [&](int, const MOUSERECT& r) {
        return r.mouse_function && (r.mouse_flags & flags) != 0 && contains(r.relative_box, point);
    });
}

int find_tooltip_area(const MOUSERECT* list, PIXPOINT point)
{
    return scan(list, &point, [&](int, const MOUSERECT& r) { return r.tooltip_text && contains(r.relative_box, point); });
}

PIXPOINT area_centre(const MOUSERECT& rect)
{
    const PIXBOX& b = rect.relative_box;
    if (b.width <= 0 || b.height <= 0) return {0, 0};
    return {b.x + b.width / 2, b.y + b.height / 2};
}

}  // namespace host
