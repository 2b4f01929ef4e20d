#include "host/record/deck_picture.h"

#include <cairo-svg.h>
#include <cairo.h>
#include <tinyxml.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "host/world/flown_aircraft.h"
#include "host/world/world.h"

namespace host {

namespace {

constexpr double DEG = 0.017453292519943295;
constexpr double FT = 0.3048;
constexpr int WIDTH = 1000, HEIGHT = 900;
// Offsets and distances farther than this from the reference point are no ship's.
constexpr double MAX_OFFSET_M = 2000.0;
// An antenna this far outside the deck's outline is still on the island or a sponson.
constexpr double ANTENNA_MARGIN_M = 12.0;

std::string fmt(const char* format, double a, double b = 0.0)
{
    char buf[96];
    std::snprintf(buf, sizeof buf, format, a, b);
    return buf;
}

// A number attribute inside [lo, hi]; anything else leaves `out` alone and notes why.
void ranged(const TiXmlElement* e, const char* name, double lo, double hi, double* out, const std::string& path,
            std::string* problems)
{
    const char* text = e->Attribute(name);
    if (!text) return;
    char* end = nullptr;
    const double v = std::strtod(text, &end);
    if (end == text || *end != '\0' || !std::isfinite(v) || v < lo || v > hi) {
        if (!problems->empty()) *problems += "\n";
        *problems += path + ":" + std::to_string(e->Row()) + ": " + name + " \"" + text + "\" is not a number in [" +
                     fmt("%g", lo) + ", " + fmt("%g", hi) + "]";
        return;
    }
    *out = v;
}

std::string text_of(const TiXmlElement* e, const char* name)
{
    const char* t = e->Attribute(name);
    return t ? t : "";
}

// ---- drawing ----------------------------------------------------------------

struct View {
    double x0, x1, z0, z1;  // metres shown
    double scale;           // pixels per metre
    double ox, oy;          // pixel of (x0, z1)
    double px(double x) const { return ox + (x - x0) * scale; }
    double py(double z) const { return oy + (z1 - z) * scale; }
};

View fit(double x0, double x1, double z0, double z1, double left, double top, double w, double h)
{
    View v{x0, x1, z0, z1, 1.0, left, top};
    v.scale = std::min(w / (x1 - x0), h / (z1 - z0));
    // Centre the shown area in the box.
    v.ox = left + (w - (x1 - x0) * v.scale) / 2;
    v.oy = top + (h - (z1 - z0) * v.scale) / 2;
    return v;
}

void rgb(cairo_t* cr, unsigned hex, double alpha = 1.0)
{
    cairo_set_source_rgba(cr, ((hex >> 16) & 255) / 255.0, ((hex >> 8) & 255) / 255.0, (hex & 255) / 255.0, alpha);
}

void label(cairo_t* cr, double x, double y, const std::string& text, double size = 13, unsigned colour = 0x202020)
{
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    // A pale halo so that a label stays legible over the deck and the track.
    cairo_move_to(cr, x, y);
    cairo_text_path(cr, text.c_str());
    cairo_set_source_rgba(cr, 1, 1, 1, 0.85);
    cairo_set_line_width(cr, 3);
    cairo_stroke(cr);
    rgb(cr, colour);
    cairo_move_to(cr, x, y);
    cairo_show_text(cr, text.c_str());
    cairo_new_path(cr);
}

void line_to_px(const View& v, const DeckModel& d, double s, double c, double* px, double* py)
{
    double x = 0, z = 0;
    d.line_to_ship(s, c, &x, &z);
    *px = v.px(x);
    *py = v.py(z);
}

void landing_area(cairo_t* cr, const View& v, const DeckModel& d)
{
    const double half = d.landing_width_m / 2;
    double px = 0, py = 0;
    line_to_px(v, d, 0, -half, &px, &py);
    cairo_move_to(cr, px, py);
    line_to_px(v, d, d.landing_length_m, -half, &px, &py);
    cairo_line_to(cr, px, py);
    line_to_px(v, d, d.landing_length_m, half, &px, &py);
    cairo_line_to(cr, px, py);
    line_to_px(v, d, 0, half, &px, &py);
    cairo_line_to(cr, px, py);
    cairo_close_path(cr);
}

void marker(cairo_t* cr, double px, double py, unsigned colour, const std::string& text, bool square = false,
            double dx = 10, double dy = -8)
{
    cairo_new_path(cr);
    if (square) cairo_rectangle(cr, px - 6, py - 6, 12, 12);
    else cairo_arc(cr, px, py, 6, 0, 2 * M_PI);
    rgb(cr, colour);
    cairo_fill_preserve(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_set_line_width(cr, 1.2);
    cairo_stroke(cr);
    label(cr, px + dx, py + dy, text, 13, 0x101010);
}

void cross(cairo_t* cr, double px, double py, unsigned colour, double r = 7)
{
    rgb(cr, colour);
    cairo_set_line_width(cr, 2.5);
    cairo_move_to(cr, px - r, py - r);
    cairo_line_to(cr, px + r, py + r);
    cairo_move_to(cr, px - r, py + r);
    cairo_line_to(cr, px + r, py - r);
    cairo_stroke(cr);
}

void flag_ring(cairo_t* cr, double px, double py)
{
    cairo_new_path(cr);
    cairo_arc(cr, px, py, 14, 0, 2 * M_PI);
    rgb(cr, 0xd01010);
    cairo_set_line_width(cr, 3);
    cairo_stroke(cr);
}

// The shown area: the deck (or the runway's first stretch) and every point
// of the carrier list, with room astern for the last of the approach.
void shown_area(const DeckPicture& p, double* x0, double* x1, double* z0, double* z1)
{
    const DeckModel& d = p.deck;
    if (p.ashore) {
        double far = 700.0;
        for (const TrackSample& s : p.track)
            if (s.on_ground) far = std::max(far, static_cast<double>(s.z) + 150.0);
        far = std::min(far, d.bow_z_m + 50.0);
        *z0 = d.stern_z_m - 350.0;
        *z1 = far;
        const double half = std::max(120.0, p.have_lens ? std::fabs(p.lens_x) + 60.0 : 0.0);
        *x0 = -half;
        *x1 = half;
        return;
    }
    double xs[8] = {-d.width_m / 2, d.width_m / 2}, zs[8] = {d.stern_z_m, d.bow_z_m};
    size_t n = 2;
    d.line_to_ship(0, -d.landing_width_m / 2, &xs[n], &zs[n]);
    ++n;
    d.line_to_ship(d.landing_length_m, -d.landing_width_m / 2, &xs[n], &zs[n]);
    ++n;
    if (p.entry) {
        xs[n] = p.entry->ils_x, zs[n] = p.entry->ils_z, ++n;
        xs[n] = p.entry->tcn_x, zs[n] = p.entry->tcn_z, ++n;
        if (p.entry->has_helo) {
            helo_station(*p.entry, &xs[n], &zs[n]);
            ++n;
        }
    }
    *x0 = *std::min_element(xs, xs + n) - 40.0;
    *x1 = *std::max_element(xs, xs + n) + 40.0;
    *z0 = *std::min_element(zs, zs + n) - 200.0;  // the last of the approach
    *z1 = *std::max_element(zs, zs + n) + 60.0;
}

void draw_scale_and_north(cairo_t* cr, const View& v, double heading)
{
    // Scale bar: a round length of about 150 pixels.
    const double want = 150.0 / v.scale;
    double len = 10.0;
    for (double c : {10.0, 20.0, 25.0, 50.0, 100.0, 200.0, 250.0, 500.0, 1000.0})
        if (c <= want) len = c;
    const double x = 30, y = HEIGHT - 30;
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_set_line_width(cr, 2);
    cairo_move_to(cr, x, y - 6);
    cairo_line_to(cr, x, y);
    cairo_line_to(cr, x + len * v.scale, y);
    cairo_line_to(cr, x + len * v.scale, y - 6);
    cairo_stroke(cr);
    label(cr, x, y - 10, fmt("%.0f m", len));
    // North: the frame's Z axis points up the page at true heading `heading`,
    // so north is `heading` to the left of up.
    const double cx = WIDTH - 60, cy = HEIGHT - 70, r = 30;
    const double nx = -std::sin(heading), ny = -std::cos(heading);  // page direction of north
    cairo_new_path(cr);
    cairo_arc(cr, cx, cy, r + 6, 0, 2 * M_PI);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.8);
    cairo_fill_preserve(cr);
    cairo_set_source_rgb(cr, 0.3, 0.3, 0.3);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    cairo_set_source_rgb(cr, 0.75, 0.1, 0.1);
    cairo_set_line_width(cr, 2.5);
    cairo_move_to(cr, cx - nx * r * 0.8, cy - ny * r * 0.8);
    cairo_line_to(cr, cx + nx * r * 0.5, cy + ny * r * 0.5);
    cairo_stroke(cr);
    cairo_move_to(cr, cx + nx * r, cy + ny * r);  // the head at the north end
    cairo_line_to(cr, cx + nx * r * 0.4 - ny * 8, cy + ny * r * 0.4 + nx * 8);
    cairo_line_to(cr, cx + nx * r * 0.4 + ny * 8, cy + ny * r * 0.4 - nx * 8);
    cairo_close_path(cr);
    cairo_fill(cr);
    label(cr, cx + nx * (r + 16) - 5, cy + ny * (r + 16) + 5, "N", 15, 0x801010);
}

void draw(cairo_t* cr, const DeckPicture& p)
{
    const DeckModel& d = p.deck;
    rgb(cr, p.ashore ? 0xdfe8d0 : 0x6f95b8);  // grass or sea
    cairo_paint(cr);
    double x0 = 0, x1 = 0, z0 = 0, z1 = 0;
    shown_area(p, &x0, &x1, &z0, &z1);
    const double top = 64.0 + 18.0 * static_cast<double>(p.flags.size());
    const View v = fit(x0, x1, z0, z1, 20, top, WIDTH - 40, HEIGHT - top - 20);
    cairo_save(cr);
    cairo_rectangle(cr, 0, top - 8, WIDTH, HEIGHT);
    cairo_clip(cr);

    if (p.ashore) {
        // The runway, its centre line, the threshold and the aim point.
        rgb(cr, 0x55585c);
        cairo_rectangle(cr, v.px(-d.width_m / 2), v.py(d.bow_z_m), d.width_m * v.scale,
                        (d.bow_z_m - d.stern_z_m) * v.scale);
        cairo_fill(cr);
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_set_line_width(cr, 1.5);
        const double dash[] = {8.0, 6.0};
        cairo_set_dash(cr, dash, 2, 0);
        cairo_move_to(cr, v.px(0), v.py(d.stern_z_m));
        cairo_line_to(cr, v.px(0), v.py(d.bow_z_m));
        cairo_stroke(cr);
        cairo_set_dash(cr, nullptr, 0, 0);
        cairo_set_line_width(cr, 3);
        cairo_move_to(cr, v.px(-d.width_m / 2), v.py(d.stern_z_m));
        cairo_line_to(cr, v.px(d.width_m / 2), v.py(d.stern_z_m));
        cairo_stroke(cr);
        label(cr, v.px(d.width_m / 2) + 6, v.py(d.stern_z_m) + 4, "threshold");
    } else {
        // The axial deck and the angled landing area, one grey outline.
        rgb(cr, 0x4a4d52);
        cairo_rectangle(cr, v.px(-d.width_m / 2), v.py(d.bow_z_m), d.width_m * v.scale,
                        (d.bow_z_m - d.stern_z_m) * v.scale);
        cairo_fill(cr);
        landing_area(cr, v, d);
        cairo_fill(cr);
        landing_area(cr, v, d);
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_set_line_width(cr, 1.5);
        cairo_stroke(cr);
        double ax = 0, ay = 0, bx = 0, by = 0;
        // The landing line.
        const double dash[] = {8.0, 6.0};
        cairo_set_dash(cr, dash, 2, 0);
        line_to_px(v, d, 0, 0, &ax, &ay);
        line_to_px(v, d, d.landing_length_m, 0, &bx, &by);
        cairo_move_to(cr, ax, ay);
        cairo_line_to(cr, bx, by);
        cairo_stroke(cr);
        cairo_set_dash(cr, nullptr, 0, 0);
        // The wires across the landing area.
        for (size_t i = 0; i < d.wires.size(); ++i) {
            line_to_px(v, d, d.wires[i], -d.landing_width_m / 2 + 3, &ax, &ay);
            line_to_px(v, d, d.wires[i], d.landing_width_m / 2 - 3, &bx, &by);
            rgb(cr, 0xf0c040);
            cairo_set_line_width(cr, 2);
            cairo_move_to(cr, ax, ay);
            cairo_line_to(cr, bx, by);
            cairo_stroke(cr);
            label(cr, bx + 5, by + 4, std::to_string(i + 1), 11, 0x604000);
        }
        // The catapults: the stroke from its start along its heading.
        for (int i = 0; i < d.catapult_count; ++i) {
            const DeckCatapult& c = d.catapults[static_cast<size_t>(i)];
            const double h = c.heading_deg * DEG;
            const double ex = c.x_m + c.stroke_m * std::sin(h), ez = c.z_m + c.stroke_m * std::cos(h);
            rgb(cr, 0x90e0ff);
            cairo_set_line_width(cr, 3);
            cairo_move_to(cr, v.px(c.x_m), v.py(c.z_m));
            cairo_line_to(cr, v.px(ex), v.py(ez));
            cairo_stroke(cr);
            label(cr, v.px(c.x_m) - 10, v.py(c.z_m) + 14, "C" + std::to_string(c.number), 11, 0x0a3050);
        }
    }

    // The flown track: airborne blue, on the deck orange; a jump of more
    // than 40 m from one frame to the next (the aircraft was placed) starts
    // a new stretch.
    cairo_save(cr);
    cairo_rectangle(cr, v.px(x0), v.py(z1), (x1 - x0) * v.scale, (z1 - z0) * v.scale);
    cairo_clip(cr);
    cairo_set_line_width(cr, 2.2);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    // A stretch of one colour is one path, and a point less than a pixel from
    // the last one drawn is left out: an hour on the deck, most of it
    // standing still, costs the picture (the SVG above all) no more than the
    // track's length on the page. Segments wholly outside the view are not drawn.
    const double view_left = v.px(x0), view_right = v.px(x1), view_top = v.py(z1), view_bottom = v.py(z0);
    bool open = false;
    uint32_t colour = 0;
    double last_x = 0, last_y = 0;
    auto finish = [&] {
        if (open) cairo_stroke(cr);
        open = false;
    };
    for (size_t i = 1; i < p.track.size(); ++i) {
        const TrackSample& a = p.track[i - 1];
        const TrackSample& b = p.track[i];
        if (std::hypot(b.x - a.x, b.z - a.z) > 40.0) {
            finish();
            continue;
        }
        const double ax = v.px(a.x), ay = v.py(a.z), bx = v.px(b.x), by = v.py(b.z);
        if (std::max(ax, bx) < view_left || std::min(ax, bx) > view_right || std::max(ay, by) < view_top ||
            std::min(ay, by) > view_bottom) {
            finish();
            continue;
        }
        const uint32_t c = b.on_ground ? 0xff8c1a : 0x1040c0;
        if (!open || c != colour) {
            finish();
            rgb(cr, c);
            colour = c;
            cairo_move_to(cr, ax, ay);
            last_x = ax;
            last_y = ay;
            open = true;
        }
        if (std::hypot(bx - last_x, by - last_y) < 1.0) continue;
        cairo_line_to(cr, bx, by);
        last_x = bx;
        last_y = by;
    }
    finish();
    cairo_restore(cr);

    // The story's moments on the track.
    const TrackMoments m = find_moments(p.track);
    if (m.touchdown >= 0) {
        const TrackSample& s = p.track[static_cast<size_t>(m.touchdown)];
        marker(cr, v.px(s.x), v.py(s.z), 0xffffff, "touchdown", false, 10, 16);
    }
    if (m.wire >= 0) {
        const TrackSample& s = p.track[static_cast<size_t>(m.wire)];
        marker(cr, v.px(s.x), v.py(s.z), 0xf0c040, "wire " + std::to_string(m.wire_number) + " caught");
    }
    if (m.stop >= 0) {
        const TrackSample& s = p.track[static_cast<size_t>(m.stop)];
        marker(cr, v.px(s.x), v.py(s.z), 0xff3030, "stop", true);
    }

    // The carrier list's points.
    if (p.entry && !p.ashore) {
        const CarrierPoints& e = *p.entry;
        cross(cr, v.px(e.ils_x), v.py(e.ils_z), 0xe01010);
        label(cr, v.px(e.ils_x) - 120, v.py(e.ils_z) + 4, "ILS aim point", 13, 0x900000);
        cross(cr, v.px(e.tcn_x), v.py(e.tcn_z), 0x7a1fa2);
        label(cr, v.px(e.tcn_x) + 10, v.py(e.tcn_z) + 4, "TACAN", 13, 0x4a0f62);
        if (e.has_helo) {
            double hx = 0, hz = 0;
            helo_station(e, &hx, &hz);
            cross(cr, v.px(hx), v.py(hz), 0x106010);
            label(cr, v.px(hx) + 10, v.py(hz) + 4, "helicopter station", 13, 0x0a400a);
        }
        for (const std::string& f : p.flags) {
            if (f.find("aim point") != std::string::npos) flag_ring(cr, v.px(e.ils_x), v.py(e.ils_z));
            if (f.find("TACAN") != std::string::npos) flag_ring(cr, v.px(e.tcn_x), v.py(e.tcn_z));
        }
    }
    if (p.ashore) {
        cross(cr, v.px(0), v.py(0), 0xe01010);
        label(cr, v.px(d.width_m / 2) + 6, v.py(0) + 4, "aim point", 13, 0x900000);
        if (p.have_lens) {
            rgb(cr, 0xffd000);
            cairo_rectangle(cr, v.px(p.lens_x) - 5, v.py(p.lens_z) - 5, 10, 10);
            cairo_fill_preserve(cr);
            cairo_set_source_rgb(cr, 0, 0, 0);
            cairo_set_line_width(cr, 1);
            cairo_stroke(cr);
            label(cr, v.px(p.lens_x) - 44, v.py(p.lens_z) + 4, "lens", 13, 0x504000);
        }
    }

    cairo_restore(cr);
    draw_scale_and_north(cr, v, p.heading_rad);

    // Title, legend and flags on top.
    rgb(cr, 0xffffff);
    cairo_rectangle(cr, 0, 0, WIDTH, top - 8);
    cairo_fill(cr);
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, 17);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_move_to(cr, 16, 24);
    cairo_show_text(cr, p.title.c_str());
    label(cr, 16, 46,
          p.ashore ? "runway from above, site's frame (Z along the runway from the aim point); track of the aircraft's "
                     "reference point: blue airborne, orange on the runway"
                   : "deck from above, ship's frame (bow up, starboard right); track of the aircraft's reference "
                     "point: blue airborne, orange on deck",
          12, 0x303030);
    for (size_t i = 0; i < p.flags.size(); ++i)
        label(cr, 16, 64 + 18.0 * static_cast<double>(i), "! " + p.flags[i], 13, 0xc00000);
}

}  // namespace

std::optional<std::vector<CarrierPoints>> read_carrier_points(const std::string& path, std::string* error)
{
    TiXmlDocument doc(path.c_str());
    if (!doc.LoadFile()) {
        *error = path + ":" + std::to_string(doc.ErrorRow()) + ": " + doc.ErrorDesc();
        return std::nullopt;
    }
    std::vector<CarrierPoints> out;
    std::string problems;
    const TiXmlElement* list = doc.FirstChildElement("CarrierList");
    for (const TiXmlElement* e = list ? list->FirstChildElement() : nullptr; e; e = e->NextSiblingElement()) {
        CarrierPoints c;
        c.line = e->Row();
        c.name = text_of(e, "Name");
        double type = 0;
        ranged(e, "CarrierType", 0, 9, &type, path, &problems);
        c.type = static_cast<int>(type);
        if (c.type == 1) {
            c.sim_name = text_of(e, "Sim_Name");
            const std::string helo = text_of(e, "Sim_Name_Helo");
            c.has_helo = !helo.empty() && helo != "none";
            const double M = MAX_OFFSET_M;
            ranged(e, "ILS_Xcoord", -M, M, &c.ils_x, path, &problems);
            ranged(e, "ILS_Ycoord", -M, M, &c.ils_y, path, &problems);
            ranged(e, "ILS_Zcoord", -M, M, &c.ils_z, path, &problems);
            ranged(e, "TCN_Xcoord", -M, M, &c.tcn_x, path, &problems);
            ranged(e, "TCN_Ycoord", -M, M, &c.tcn_y, path, &problems);
            ranged(e, "TCN_Zcoord", -M, M, &c.tcn_z, path, &problems);
            ranged(e, "Helo_Bearing", -360, 360, &c.helo_bearing_deg, path, &problems);
            ranged(e, "Helo_Distance", 0, 20 * M, &c.helo_distance_m, path, &problems);
            ranged(e, "RunwayAngle", -90, 90, &c.runway_angle_deg, path, &problems);
        } else if (c.type == 2) {
            const std::string lens = text_of(e, "FLOLS_Name");
            ranged(e, "Lat_coord", -90, 90, &c.lat_deg, path, &problems);
            ranged(e, "Lon_coord", -180, 180, &c.lon_deg, path, &problems);
            ranged(e, "Alt", -1500, 30000, &c.alt_ft, path, &problems);
            ranged(e, "RunwayAngle", -360, 360, &c.runway_heading_deg, path, &problems);
            c.has_lens = !lens.empty() && lens != "none" && e->Attribute("Lat_FLOLS") && e->Attribute("Lon_FLOLS");
            ranged(e, "Lat_FLOLS", -90, 90, &c.lens_lat_deg, path, &problems);
            ranged(e, "Lon_FLOLS", -180, 180, &c.lens_lon_deg, path, &problems);
        }
        out.push_back(std::move(c));
    }
    *error = problems;
    return out;
}

void helo_station(const CarrierPoints& entry, double* x, double* z)
{
    const double b = entry.helo_bearing_deg * DEG;
    *x = entry.helo_distance_m * std::sin(b);
    *z = entry.helo_distance_m * std::cos(b);
}

std::vector<std::string> check_offsets(const DeckModel& deck, const CarrierPoints& entry)
{
    std::vector<std::string> out;
    if (entry.type != 1) return out;
    double s = 0, c = 0;
    deck.ship_to_line(entry.ils_x, entry.ils_z, &s, &c);
    if (s < 0 || s > deck.landing_length_m || std::fabs(c) > deck.landing_width_m / 2)
        out.push_back(fmt("the ILS aim point (X %g, Z %g) is off the landing area", entry.ils_x, entry.ils_z) +
                      fmt(" of the deck model (%.0f m from the ramp, %.0f m right of the landing line)", s, c));
    // The antenna stands on the island or a sponson: a little outside the
    // deck's outline is still the ship.
    const bool near_axial = std::fabs(entry.tcn_x) <= deck.width_m / 2 + ANTENNA_MARGIN_M &&
                            entry.tcn_z >= deck.stern_z_m && entry.tcn_z <= deck.bow_z_m;
    deck.ship_to_line(entry.tcn_x, entry.tcn_z, &s, &c);
    const bool near_landing = s >= 0 && s <= deck.landing_length_m && std::fabs(c) <= deck.landing_width_m / 2;
    if (!near_axial && !near_landing)
        out.push_back(fmt("the TACAN antenna (X %g, Z %g) is off the ship", entry.tcn_x, entry.tcn_z) +
                      fmt(" (deck %g m wide, from Z %g", deck.width_m, deck.stern_z_m) + fmt(" to %g)", deck.bow_z_m));
    return out;
}

void DeckTrack::reserve(int64_t frames)
{
    capacity_ = static_cast<size_t>(std::max<int64_t>(frames, 0)) + 2;
    samples_.reserve(capacity_);
}

void DeckTrack::frame_done(Host& host)
{
    const FlownAircraft* flown = host.world().process<FlownAircraft>();
    if (!flown) return;
    const DeckModel* deck = nullptr;
    ShipPose pose;
    double x = 0, z = 0;
    if (!flown->where_on_deck(host.world(), &deck, &pose, &x, &z)) return;
    if (deck != deck_seen_) {  // a new deck: copied once, not per frame
        deck_seen_ = deck;
        deck_ = *deck;
        have_deck_ = true;
    }
    ashore_ = flown->ashore();
    boat_id_ = ashore_ ? 0 : flown->boat_id();
    pose_ = pose;
    heading_ = pose.heading;
    if (samples_.size() >= capacity_) return;
    TrackSample s;
    s.x = static_cast<float>(x);
    s.z = static_cast<float>(z);
    s.t = static_cast<float>(host.sim_time());
    s.on_ground = flown->on_ground() ? 1 : 0;
    s.wire = static_cast<uint8_t>(std::clamp(flown->wire(), 0, 9));
    s.phase = static_cast<uint8_t>(flown->phase());
    samples_.push_back(s);
}

TrackMoments find_moments(const std::vector<TrackSample>& track)
{
    TrackMoments m;
    for (size_t i = 1; i < track.size(); ++i) {
        const TrackSample& a = track[i - 1];
        const TrackSample& b = track[i];
        if (m.touchdown < 0 && !a.on_ground && b.on_ground && a.phase == static_cast<uint8_t>(FlightPhase::Approach))
            m.touchdown = static_cast<long>(i);
        if (m.touchdown >= 0 && m.wire < 0 && b.wire != 0) {
            m.wire = static_cast<long>(i);
            m.wire_number = b.wire;
        }
        // The stop: the first frame on the deck after the landing that does
        // not move in the deck's frame (before any catapult).
        const bool rolled = b.phase == static_cast<uint8_t>(FlightPhase::Arrested) ||
                            b.phase == static_cast<uint8_t>(FlightPhase::Rolling) ||
                            b.phase == static_cast<uint8_t>(FlightPhase::Parked);
        if (m.touchdown >= 0 && m.stop < 0 && static_cast<long>(i) > m.touchdown && a.on_ground && b.on_ground &&
            rolled && std::hypot(b.x - a.x, b.z - a.z) < 0.01)
            m.stop = static_cast<long>(i);
    }
    return m;
}

bool draw_deck_picture(const DeckPicture& picture, const std::string& svg_path, const std::string& png_path,
                       std::string* error)
{
    {
        cairo_surface_t* svg = cairo_svg_surface_create(svg_path.c_str(), WIDTH, HEIGHT);
        cairo_t* cr = cairo_create(svg);
        draw(cr, picture);
        cairo_destroy(cr);
        cairo_surface_finish(svg);
        const cairo_status_t st = cairo_surface_status(svg);
        cairo_surface_destroy(svg);
        if (st != CAIRO_STATUS_SUCCESS) {
            *error = "cannot write " + svg_path + ": " + cairo_status_to_string(st);
            return false;
        }
    }
    cairo_surface_t* png = cairo_image_surface_create(CAIRO_FORMAT_RGB24, WIDTH, HEIGHT);
    cairo_t* cr = cairo_create(png);
    draw(cr, picture);
    cairo_destroy(cr);
    const cairo_status_t st = cairo_surface_write_to_png(png, png_path.c_str());
    cairo_surface_destroy(png);
    if (st != CAIRO_STATUS_SUCCESS) {
        *error = "cannot write " + png_path + ": " + cairo_status_to_string(st);
        return false;
    }
    return true;
}

bool write_deck_picture(Host& host, const DeckTrack& track, const std::string& sim_root, const std::string& dir,
                        const std::string& title, std::string* error)
{
    if (!track.have_deck()) {
        *error = "nothing was flown to a deck or a runway";
        return false;
    }
    DeckPicture p;
    p.deck = track.deck();
    p.ashore = track.ashore();
    p.heading_rad = track.heading_rad();
    p.track = track.samples();
    std::string what;
    const std::string list_path = sim_root + "/Gauges/ZEB_Carrier.xml";
    auto entries = read_carrier_points(list_path, &what);
    std::string ship;
    if (!p.ashore) {
        if (const SimObject* boat = host.world().find(track.boat_id())) ship = boat->title;
    }
    if (entries) {
        for (const CarrierPoints& e : *entries) {
            const bool match = p.ashore ? (e.type == 2 && e.name == p.deck.name) : (e.type == 1 && e.sim_name == ship);
            if (match) {
                p.entry = e;
                break;
            }
        }
    }
    if (p.entry && p.ashore && p.entry->has_lens) {
        const ShipPose& site = track.pose();
        world_to_ship(site, p.entry->lens_lat_deg * DEG, p.entry->lens_lon_deg * DEG, &p.lens_x, &p.lens_z);
        p.have_lens = true;
    }
    if (p.entry) p.flags = check_offsets(p.deck, *p.entry);
    const std::string who = p.entry ? p.entry->name : (p.ashore ? p.deck.name : ship);
    p.title = title + (who.empty() ? "" : " \xe2\x80\x94 " + who) + (p.ashore ? "" : " (" + p.deck.name + ")");
    if (!p.entry) p.flags.push_back("no entry of " + list_path + " names " + (p.ashore ? p.deck.name : ship));
    return draw_deck_picture(p, dir + "/deck.svg", dir + "/deck.png", error);
}

}  // namespace host
