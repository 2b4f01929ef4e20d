// The element walker: calls a gauge's element callbacks in drawing order and
// keeps their values for the drawing and the timeline.
#include "host/panel/element_walker.h"

#include <cmath>
#include <cstring>
#include <vector>

namespace host {
namespace {

double finite_or_zero(double v) { return std::isfinite(v) ? v : 0.0; }

// Direction of a table point from the needle's pivot, degrees clockwise from up.
double point_angle(PIXPOINT pivot, PIXPOINT pt)
{
    const double dx = pt.x - pivot.x;
    const double dy = pt.y - pivot.y;
    if (dx == 0.0 && dy == 0.0) return 0.0;
    return std::atan2(dx, -dy) * 180.0 / M_PI;
}

// Directions of the table's points, unwrapped so that they grow clockwise
// along the table.
void table_angles(const NONLINEARITY* table, int size, PIXPOINT pivot, double* angles)
{
    double a = point_angle(pivot, table[0].pt);
    angles[0] = a;
    for (int k = 1; k < size; ++k) {
        double b = point_angle(pivot, table[k].pt);
        while (b < a) b += 360.0;
        angles[k] = a = b;
    }
}

// Linear in the table's segment holding `value` (the first or the last
// segment beyond the ends); size >= 2.
double angle_in_table(const NONLINEARITY* table, int size, const double* angles, double value)
{
    int seg = 0;
    while (seg < size - 2 && value > table[seg + 1].value) ++seg;
    const double v0 = table[seg].value, v1 = table[seg + 1].value;
    const double a0 = angles[seg], a1 = angles[seg + 1];
    if (v1 == v0) return a0;
    return a0 + (value - v0) * (a1 - a0) / (v1 - v0);
}

// needle_angle, with the table's directions kept in the view.
double cached_needle_angle(const ELEMENT_NEEDLE& needle, double value, ElementView& v)
{
    const NONLINEARITY* table = needle.nonlinearity_table;
    const int size = needle.nonlinearity_table_size;
    if (!std::isfinite(value) || !table || size < 2 || size > ElementView::CACHED_TABLE_POINTS)
        return needle_angle(needle, value);
    const PIXPOINT pivot = needle.header.position;
    bool same = v.angle_table == table && v.angle_count == size && v.angle_pivot.x == pivot.x &&
                v.angle_pivot.y == pivot.y;
    for (int k = 0; same && k < size; ++k)
        same = v.angle_points[k].x == table[k].pt.x && v.angle_points[k].y == table[k].pt.y;
    if (!same) {
        table_angles(table, size, pivot, v.angles);
        v.angle_table = table;
        v.angle_count = size;
        v.angle_pivot = pivot;
        for (int k = 0; k < size; ++k) v.angle_points[k] = table[k].pt;
    }
    return angle_in_table(table, size, v.angles, value);
}

void walk_one(ELEMENT_HEADER* e, const WalkContext& ctx, ElementView& v)
{
    v.element = e;
    v.type = e->element_type;
    v.bitmap = e->resource_id;
    v.position = e->position;
    v.pivot = e->offset;
    switch (e->element_type) {
    case ELEMENT_TYPE_NEEDLE: {
        auto* n = reinterpret_cast<ELEMENT_NEEDLE*>(e);
        n->value = n->callback ? n->callback(e) : n->value;
        v.value = n->value;
        v.needle_deg = cached_needle_angle(*n, n->value, v);
        break;
    }
    case ELEMENT_TYPE_ICON: {
        auto* icon = reinterpret_cast<ELEMENT_ICON*>(e);
        icon->value = icon->callback ? icon->callback(e) : icon->value;
        v.value = icon->value;
        v.image_count = icon->switch_count;
        v.image_index = icon_image_index(icon->value, icon->switch_count);
        break;
    }
    case ELEMENT_TYPE_SLIDER: {
        auto* s = reinterpret_cast<ELEMENT_SLIDER*>(e);
        s->x_value = s->x_callback ? s->x_callback(e) : 0.0;
        s->y_value = s->y_callback ? s->y_callback(e) : 0.0;
        v.value = s->x_value;
        v.value_y = s->y_value;
        v.offset_x = finite_or_zero(s->x_value * s->x_scale);
        v.offset_y = finite_or_zero(s->y_value * s->y_scale);
        break;
    }
    case ELEMENT_TYPE_MOVING_IMAGE: {
        auto* m = reinterpret_cast<ELEMENT_MOVING_IMAGE*>(e);
        m->x_value = m->x_callback ? m->x_callback(e) : m->x_min;
        m->y_value = m->y_callback ? m->y_callback(e) : m->y_min;
        v.window_bitmap = m->mask_resource_id;
        v.value = m->x_value;
        v.value_y = m->y_value;
        int sw = 0, sh = 0, ww = 0, wh = 0;
        const bool sizes = ctx.bitmap_size && ctx.bitmap_size(ctx.user, m->header.resource_id, &sw, &sh) &&
                           ctx.bitmap_size(ctx.user, m->mask_resource_id, &ww, &wh);
        auto fraction = [](double value, double lo, double hi) {
            if (!(hi > lo) || !std::isfinite(value)) return 0.0;
            const double clamped = value < lo ? lo : (value > hi ? hi : value);
            return (clamped - lo) / (hi - lo);
        };
        v.offset_x = sizes ? fraction(m->x_value, m->x_min, m->x_max) * (sw - ww) : 0.0;
        v.offset_y = sizes ? fraction(m->y_value, m->y_min, m->y_max) * (sh - wh) : 0.0;
        break;
    }
    case ELEMENT_TYPE_SPRITE: {
        auto* s = reinterpret_cast<ELEMENT_SPRITE*>(e);
        if (s->rotation_module_var != 0)
            s->rotation_var_value = ctx.module_variable ? ctx.module_variable(ctx.user, s->rotation_module_var) : 0.0;
        const double r = s->rotation_callback ? s->rotation_callback(e) : s->rotation_var_value;
        v.value = r;
        v.rotation = finite_or_zero(r * s->rotation_scale);
        v.offset_x = s->x_callback ? finite_or_zero(s->x_callback(e) * s->x_scale) : 0.0;
        v.offset_y = s->y_callback ? finite_or_zero(s->y_callback(e) * s->y_scale) : 0.0;
        v.center = s->texture_center;
        break;
    }
    case ELEMENT_TYPE_STRING: {
        auto* s = reinterpret_cast<ELEMENT_STRING*>(e);
        v.value = s->callback ? s->callback(s) : 0.0;
        v.text[0] = '\0';
        if (s->string && s->max_string_length >= 0) {
            // The module's buffer holds max_string_length + 1 bytes; never read past it.
            size_t n = strnlen(s->string, static_cast<size_t>(s->max_string_length) + 1);
            if (n > static_cast<size_t>(s->max_string_length)) n = static_cast<size_t>(s->max_string_length);
            if (n >= ELEMENT_TEXT_CAPACITY) n = ELEMENT_TEXT_CAPACITY - 1;
            std::memcpy(v.text, s->string, n);
            v.text[n] = '\0';
        }
        v.box = s->box;
        v.fg_color = s->fg_color;
        v.bg_color = s->bg_color;
        v.hilite_color = s->hilite_color;
        v.font = s->font_name;
        v.font_weight = s->font_weight;
        v.text_flags = s->draw_text_flags;
        break;
    }
    default:
        break;
    }
    // Callbacks may show or hide their element: read the flags after them.
    v.flags = e->image_flags;
    v.hidden = (v.flags & IMAGE_HIDDEN) != 0;
    v.lit = (v.flags & IMAGE_USE_LUMINOUS) != 0;
}

// One walk: the views written so far, and whether they are the last walk's
// elements in the last walk's order.
struct Walk {
    std::vector<ElementView>& out;
    size_t count = 0;
    bool same_as_last = true;
};

// Whether `e` has a view in this walk already. While this walk has met the
// last walk's elements in the same order, the last walk's view at this place
// tells it without a search: that walk met no element twice, so its element
// here is none of those before it.
bool already_walked(const Walk& w, const ELEMENT_HEADER* e)
{
    if (w.same_as_last && w.count < w.out.size() && w.out[w.count].element == e) return false;
    for (size_t i = 0; i < w.count; ++i)
        if (w.out[i].element == e) return true;
    return false;
}

// The view for the next element: the last walk's view at that place when it
// was of the same element and kind, a fresh one otherwise.
ElementView& next_view(Walk& w, const ELEMENT_HEADER* e)
{
    if (w.count == w.out.size()) w.out.emplace_back();
    ElementView& v = w.out[w.count++];
    if (v.element != e || v.type != e->element_type) {
        v = ElementView{};
        w.same_as_last = false;
    }
    return v;
}

void walk_from(ELEMENT_HEADER* e, const WalkContext& ctx, Walk& w, int depth)
{
    // Iterative along the first successor (the usual chain), recursive only
    // for extra successors; the depth guard bounds the recursion.
    while (e && w.count < MAX_GAUGE_ELEMENTS && !already_walked(w, e)) {
        walk_one(e, ctx, next_view(w, e));
        ELEMENT_HEADER** next = e->next_element;
        if (!next || !next[0]) return;
        if (depth < 32)
            for (size_t i = 1; next[i] && i < MAX_GAUGE_ELEMENTS; ++i) walk_from(next[i], ctx, w, depth + 1);
        e = next[0];
    }
}

}  // namespace

int icon_image_index(double value, int count)
{
    if (!(value >= 0.0) || !(value < static_cast<double>(count))) return -1;
    return static_cast<int>(value);
}

double needle_angle(const ELEMENT_NEEDLE& needle, double value)
{
    const NONLINEARITY* table = needle.nonlinearity_table;
    const int size = needle.nonlinearity_table_size;
    if (!std::isfinite(value)) return 0.0;
    if (!table || size <= 0) return value;
    const PIXPOINT pivot = needle.header.position;
    if (size == 1) return point_angle(pivot, table[0].pt);
    // Only the points up to the segment's end are needed.
    int seg = 0;
    while (seg < size - 2 && value > table[seg + 1].value) ++seg;
    double small[16];
    std::vector<double> large;
    double* angles = small;
    if (seg + 2 > 16) {
        large.resize(static_cast<size_t>(seg) + 2);
        angles = large.data();
    }
    table_angles(table, seg + 2, pivot, angles);
    return angle_in_table(table, seg + 2, angles, value);
}

size_t walk_elements(ELEMENT_HEADER* root, const WalkContext& context, std::vector<ElementView>& out)
{
    Walk w{out};
    walk_from(root, context, w, 0);
    out.resize(w.count);
    return w.count;
}

}  // namespace host
