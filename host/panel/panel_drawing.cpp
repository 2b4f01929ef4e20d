// Cairo drawing of the walked gauge elements into PNG snapshots.
#include "host/panel/panel_drawing.h"
#include "host/build_paths.h"

#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>

#include "host/panel/gauge_panel.h"
#include "resources/bitmaps.h"

namespace host {
namespace {

struct SurfaceDeleter {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
using Surface = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;

std::string resource_dir(const Host& host)
{
    return host.options().resource_dir.empty() ? std::string(CARRIER_RESOURCE_DIR) : host.options().resource_dir;
}

using BitmapCache = std::map<std::pair<std::string, ID>, Surface>;

// At process exit: the bitmaps. Cairo's and fontconfig's own caches are left
// to the process's end: other users of cairo in the process (the debrief's
// plot library) may still hold objects of theirs, and resetting cairo's static
// data under them aborts. The sanitizer build lists those caches in
// tests/lsan.supp.
void release_drawing_caches();

BitmapCache& bitmap_cache()
{
    static BitmapCache* cache = [] {
        std::atexit(release_drawing_caches);
        return new BitmapCache;
    }();
    return *cache;
}

void release_drawing_caches()
{
    bitmap_cache().clear();
}

// Bitmaps loaded once per folder and id; null when the file is absent.
cairo_surface_t* bitmap(const std::string& dir, ID id)
{
    BitmapCache& cache = bitmap_cache();
    auto key = std::make_pair(dir, id);
    auto it = cache.find(key);
    if (it != cache.end()) return it->second.get();
    cairo_surface_t* loaded = nullptr;
    if (const resources::BitmapInfo* info = resources::find_bitmap(id)) {
        const std::string path = dir + "/" + info->name + ".png";
        cairo_surface_t* s = cairo_image_surface_create_from_png(path.c_str());
        if (cairo_surface_status(s) == CAIRO_STATUS_SUCCESS) loaded = s;
        else cairo_surface_destroy(s);
    }
    cache.emplace(key, Surface(loaded));
    return loaded;
}

void bitmap_size(ID id, cairo_surface_t* s, int* w, int* h)
{
    if (s) {
        *w = cairo_image_surface_get_width(s);
        *h = cairo_image_surface_get_height(s);
    } else if (const resources::BitmapInfo* info = resources::find_bitmap(id)) {
        *w = info->width;
        *h = info->height;
    } else {
        *w = *h = 8;
    }
}

// Paints bitmap `id` with its top-left corner at (x, y) of the current
// transformation; brighter when `lit`.
void paint_bitmap(cairo_t* cr, const std::string& dir, ID id, double x, double y, bool lit)
{
    cairo_surface_t* s = bitmap(dir, id);
    int w = 0, h = 0;
    bitmap_size(id, s, &w, &h);
    if (!s) {
        cairo_set_source_rgb(cr, 1, 0, 1);
        cairo_rectangle(cr, x, y, w, h);
        cairo_fill(cr);
        return;
    }
    cairo_set_source_surface(cr, s, x, y);
    cairo_paint(cr);
    if (lit) {
        // Panel lighting: a warm additive glow wherever the bitmap is opaque.
        cairo_save(cr);
        cairo_set_operator(cr, CAIRO_OPERATOR_ADD);
        cairo_set_source_rgba(cr, 0.35, 0.25, 0.12, 1.0);
        cairo_mask_surface(cr, s, x, y);
        cairo_restore(cr);
    }
}

void set_colour(cairo_t* cr, uint32_t bgr)
{
    cairo_set_source_rgb(cr, (bgr & 0xFF) / 255.0, ((bgr >> 8) & 0xFF) / 255.0, ((bgr >> 16) & 0xFF) / 255.0);
}

void draw_string(cairo_t* cr, const ElementView& v, bool lit)
{
    const double x = v.position.x, y = v.position.y, w = v.box.width, h = v.box.height;
    set_colour(cr, v.bg_color);
    cairo_rectangle(cr, x, y, w, h);
    cairo_fill(cr);
    const char* family = v.font && *v.font ? v.font : "Sans";
    cairo_select_font_face(cr, family, CAIRO_FONT_SLANT_NORMAL,
                           v.font_weight >= 600 ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, h * 0.72);
    cairo_text_extents_t ext;
    cairo_text_extents(cr, v.text, &ext);
    double tx = x - ext.x_bearing;  // left
    if (v.text_flags & 0x1) tx = x + (w - ext.width) / 2 - ext.x_bearing;
    else if (v.text_flags & 0x2) tx = x + w - ext.width - ext.x_bearing - 2;
    double ty = y + h * 0.8;
    if (v.text_flags & 0x4) ty = y + (h - ext.height) / 2 - ext.y_bearing;
    set_colour(cr, lit ? v.hilite_color : v.fg_color);
    cairo_move_to(cr, tx, ty);
    cairo_show_text(cr, v.text);
}

void draw_element(cairo_t* cr, const std::string& dir, const ElementView& v, bool lights)
{
    const bool lit = lights && v.lit;
    cairo_save(cr);
    switch (v.type) {
    case ELEMENT_TYPE_STATIC_IMAGE:
        paint_bitmap(cr, dir, v.bitmap, v.position.x, v.position.y, lit);
        break;
    case ELEMENT_TYPE_ICON:
        if (v.image_index >= 0) paint_bitmap(cr, dir, v.bitmap + v.image_index, v.position.x, v.position.y, lit);
        break;
    case ELEMENT_TYPE_NEEDLE:
        cairo_translate(cr, v.position.x, v.position.y);
        cairo_rotate(cr, (v.needle_deg - 90.0) * M_PI / 180.0);
        paint_bitmap(cr, dir, v.bitmap, -v.pivot.x, -v.pivot.y, lit);
        break;
    case ELEMENT_TYPE_SLIDER:
        paint_bitmap(cr, dir, v.bitmap, v.position.x + v.offset_x, v.position.y + v.offset_y, lit);
        break;
    case ELEMENT_TYPE_MOVING_IMAGE: {
        int ww = 0, wh = 0;
        bitmap_size(v.window_bitmap, bitmap(dir, v.window_bitmap), &ww, &wh);
        cairo_rectangle(cr, v.position.x, v.position.y, ww, wh);
        cairo_clip(cr);
        paint_bitmap(cr, dir, v.bitmap, v.position.x - v.offset_x, v.position.y - v.offset_y, lit);
        paint_bitmap(cr, dir, v.window_bitmap, v.position.x, v.position.y, false);
        break;
    }
    case ELEMENT_TYPE_SPRITE: {
        int w = 0, h = 0;
        bitmap_size(v.bitmap, bitmap(dir, v.bitmap), &w, &h);
        cairo_translate(cr, v.center.x + v.offset_x, v.center.y + v.offset_y);
        cairo_rotate(cr, -v.rotation * M_PI / 180.0);
        paint_bitmap(cr, dir, v.bitmap, -w / 2.0, -h / 2.0, lit);
        break;
    }
    case ELEMENT_TYPE_STRING:
        draw_string(cr, v, lit);
        break;
    default:
        break;
    }
    cairo_restore(cr);
}

std::string time_stem(double t)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "t%07.2f", t);
    return buffer;
}

}  // namespace

bool draw_gauge_png(const PlacedGauge& gauge, const std::string& dir, bool panel_lights, const std::string& path,
                    std::string* error)
{
    int width = gauge.width, height = gauge.height;
    if (width <= 0 || height <= 0) width = height = 64;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 0.08, 0.08, 0.09);  // the panel behind the gauge
    cairo_paint(cr);
    for (const ElementView& v : gauge.elements)
        if (!v.hidden) draw_element(cr, dir, v, panel_lights);
    cairo_destroy(cr);
    const cairo_status_t status = cairo_surface_write_to_png(surface, path.c_str());
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS) {
        *error = "cannot write " + path + ": " + cairo_status_to_string(status);
        return false;
    }
    return true;
}

bool write_panel_snapshot(Host& host, const std::string& name, std::string* error)
{
    const std::string stem = name.empty() ? time_stem(host.sim_time()) : name;
    const std::string& dir = host.options().snapshot_dir;
    if (dir.empty()) {
        host.timeline().add("snapshot", {{"name", stem}, {"skipped", true}});
        return true;
    }
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    nlohmann::json files = nlohmann::json::array();
    const std::string bitmaps = resource_dir(host);
    for (const PlacedGauge& gauge : host.gauges()) {
        const std::string file = stem + "-" + gauge.name + ".png";
        if (!draw_gauge_png(gauge, bitmaps, host.panel_lights(), dir + "/" + file, error)) return false;
        files.push_back(file);
    }
    host.timeline().add("snapshot", {{"name", stem}, {"files", files}});
    return true;
}

bool write_periodic_snapshot(Host& host, double t, std::string* error)
{
    const double every = host.options().snapshot_every;
    if (!(every > 0)) return true;
    const double dt = 1.0 / host.frame_rate();
    if (std::floor(t / every + 1e-9) <= std::floor((t - dt) / every + 1e-9)) return true;
    return write_panel_snapshot(host, "", error);
}

}  // namespace host
