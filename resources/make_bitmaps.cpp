// Draws every gauge bitmap of resources/bitmaps.h into PNG files with cairo:
//   make_gauge_bitmaps OUT_DIR
// The pictures are ours: a TACAN control head (grey face, channel window with
// digit drums, two channel knobs, switches, power lamp) and a bearing-distance
// indicator (compass card, pointers, deviation bars, lamps and legends).
#include <cairo.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include "resources/bitmaps.h"

namespace {

using resources::BitmapInfo;

void rgb(cairo_t* cr, double r, double g, double b, double a = 1.0) { cairo_set_source_rgba(cr, r, g, b, a); }

void text_at(cairo_t* cr, const char* s, double cx, double cy, double size, bool bold = true)
{
    cairo_select_font_face(cr, "Sans", CAIRO_FONT_SLANT_NORMAL, bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    cairo_text_extents_t e;
    cairo_text_extents(cr, s, &e);
    cairo_move_to(cr, cx - e.width / 2 - e.x_bearing, cy - e.height / 2 - e.y_bearing);
    cairo_show_text(cr, s);
}

void rounded(cairo_t* cr, double x, double y, double w, double h, double r)
{
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -M_PI / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, M_PI / 2);
    cairo_arc(cr, x + r, y + h - r, r, M_PI / 2, M_PI);
    cairo_arc(cr, x + r, y + r, r, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr);
}

void screw(cairo_t* cr, double x, double y)
{
    cairo_arc(cr, x, y, 5, 0, 2 * M_PI);
    rgb(cr, 0.55, 0.55, 0.55);
    cairo_fill_preserve(cr);
    rgb(cr, 0.2, 0.2, 0.2);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    cairo_move_to(cr, x - 3.5, y - 1);
    cairo_line_to(cr, x + 3.5, y + 1);
    cairo_stroke(cr);
}

// --- radio -------------------------------------------------------------------
void radio_background(cairo_t* cr, int w, int h)
{
    rgb(cr, 0.16, 0.17, 0.18);
    cairo_paint(cr);
    rounded(cr, 3, 3, w - 6, h - 6, 10);
    rgb(cr, 0.24, 0.25, 0.26);
    cairo_fill(cr);
    for (auto [x, y] : {std::pair{12, 12}, {w - 12, 12}, {12, h - 12}, {w - 12, h - 12}}) screw(cr, x, y);
    rgb(cr, 0.92, 0.92, 0.88);
    text_at(cr, "TACAN  AN/ARN-52", 190, 14, 11);
    text_at(cr, "CHANNEL", 190, 96, 10);
    text_at(cr, "PWR", 65, 135, 10);
    text_at(cr, "X/Y", 327, 57, 9, false);
    text_at(cr, "TONE", 327, 138, 9, false);
    text_at(cr, "MHz", 334, 42, 9, false);
    // Channel window: a black recess framing the drums.
    rounded(cr, 158, 44, 66, 33, 4);
    rgb(cr, 0.02, 0.02, 0.02);
    cairo_fill_preserve(cr);
    rgb(cr, 0.6, 0.6, 0.6);
    cairo_set_line_width(cr, 1.5);
    cairo_stroke(cr);
    // Knob skirts with tick marks and arrows.
    for (double cx : {137.0, 246.0}) {
        cairo_arc(cr, cx, 60, 33, 0, 2 * M_PI);
        rgb(cr, 0.12, 0.12, 0.12);
        cairo_fill(cr);
        rgb(cr, 0.85, 0.85, 0.8);
        cairo_set_line_width(cr, 1.2);
        for (int i = 0; i < 12; ++i) {
            const double a = i * M_PI / 6;
            cairo_move_to(cr, cx + 29 * std::sin(a), 60 - 29 * std::cos(a));
            cairo_line_to(cr, cx + 33 * std::sin(a), 60 - 33 * std::cos(a));
        }
        cairo_stroke(cr);
        text_at(cr, "-", cx - 22, 104, 12);
        text_at(cr, "+", cx + 22, 104, 12);
    }
    // Frequency window recess.
    cairo_rectangle(cr, 286, 7, 95, 29);
    rgb(cr, 0.0, 0.0, 0.0);
    cairo_fill(cr);
}

void knob(cairo_t* cr, int w, int h)
{
    const double c = w / 2.0;
    cairo_pattern_t* p = cairo_pattern_create_radial(c - 8, c - 8, 2, c, c, c);
    cairo_pattern_add_color_stop_rgb(p, 0, 0.45, 0.45, 0.45);
    cairo_pattern_add_color_stop_rgb(p, 1, 0.08, 0.08, 0.08);
    cairo_set_source(cr, p);
    cairo_arc(cr, c, c, c - 1, 0, 2 * M_PI);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
    // Knurling.
    rgb(cr, 0.3, 0.3, 0.3);
    cairo_set_line_width(cr, 1);
    for (int i = 0; i < 24; ++i) {
        const double a = i * M_PI / 12;
        cairo_move_to(cr, c + (c - 5) * std::cos(a), c + (c - 5) * std::sin(a));
        cairo_line_to(cr, c + (c - 1) * std::cos(a), c + (c - 1) * std::sin(a));
    }
    cairo_stroke(cr);
    // The marker points along +x, the needle direction of the host.
    rgb(cr, 1, 1, 1);
    cairo_set_line_width(cr, 4);
    cairo_move_to(cr, c + 6, c);
    cairo_line_to(cr, w - 4, c);
    cairo_stroke(cr);
}

void digit_strip(cairo_t* cr, int w, int h)
{
    rgb(cr, 0.05, 0.05, 0.05);
    cairo_paint(cr);
    rgb(cr, 0.95, 0.95, 0.95);
    for (int i = 0; i <= 10; ++i) {
        char d[2] = {static_cast<char>('0' + i % 10), 0};
        text_at(cr, d, w / 2.0, i * 23 + 11.5, 17);
    }
}

void drum_window(cairo_t* cr, int w, int h)
{
    // Transparent in the middle, shaded top and bottom like a drum's curve.
    cairo_pattern_t* p = cairo_pattern_create_linear(0, 0, 0, h);
    cairo_pattern_add_color_stop_rgba(p, 0, 0, 0, 0, 0.7);
    cairo_pattern_add_color_stop_rgba(p, 0.25, 0, 0, 0, 0);
    cairo_pattern_add_color_stop_rgba(p, 0.75, 0, 0, 0, 0);
    cairo_pattern_add_color_stop_rgba(p, 1, 0, 0, 0, 0.7);
    cairo_set_source(cr, p);
    cairo_paint(cr);
    cairo_pattern_destroy(p);
}

void glyph(cairo_t* cr, int w, int h, const char* s)
{
    rgb(cr, 0.05, 0.05, 0.05);
    cairo_paint(cr);
    rgb(cr, 0.95, 0.95, 0.95);
    text_at(cr, s, w / 2.0, h / 2.0, 17);
}

void toggle(cairo_t* cr, int w, int h, bool up, bool vertical)
{
    rounded(cr, 1, 1, w - 2, h - 2, 4);
    rgb(cr, 0.1, 0.1, 0.1);
    cairo_fill(cr);
    const double cx = w / 2.0, cy = h / 2.0;
    cairo_arc(cr, cx, cy, std::min(w, h) * 0.22, 0, 2 * M_PI);
    rgb(cr, 0.5, 0.5, 0.5);
    cairo_fill(cr);
    // The lever.
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, vertical ? 9 : 7);
    rgb(cr, 0.85, 0.85, 0.85);
    cairo_move_to(cr, cx, cy);
    if (vertical) cairo_line_to(cr, cx, up ? 8 : h - 8);
    else cairo_line_to(cr, up ? w - 10 : 10, cy);
    cairo_stroke(cr);
}

void lamp(cairo_t* cr, int w, int h, bool lit)
{
    const double c = w / 2.0;
    cairo_arc(cr, c, c, c - 1, 0, 2 * M_PI);
    rgb(cr, 0.3, 0.3, 0.3);
    cairo_fill(cr);
    cairo_pattern_t* p = cairo_pattern_create_radial(c - 2, c - 2, 1, c, c, c - 3);
    if (lit) {
        cairo_pattern_add_color_stop_rgb(p, 0, 1.0, 1.0, 0.7);
        cairo_pattern_add_color_stop_rgb(p, 1, 0.2, 0.9, 0.2);
    } else {
        cairo_pattern_add_color_stop_rgb(p, 0, 0.25, 0.3, 0.25);
        cairo_pattern_add_color_stop_rgb(p, 1, 0.05, 0.12, 0.05);
    }
    cairo_set_source(cr, p);
    cairo_arc(cr, c, c, c - 3, 0, 2 * M_PI);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
}

// --- indicator -------------------------------------------------------------------
void face(cairo_t* cr, int w, int h)
{
    rgb(cr, 0.07, 0.07, 0.08);
    cairo_paint(cr);
    cairo_arc(cr, 150, 150, 132, 0, 2 * M_PI);
    rgb(cr, 0.02, 0.02, 0.02);
    cairo_fill(cr);
    // Fixed lubber line and deviation scale dots.
    rgb(cr, 1.0, 0.6, 0.1);
    cairo_move_to(cr, 150, 14);
    cairo_line_to(cr, 143, 2);
    cairo_line_to(cr, 157, 2);
    cairo_close_path(cr);
    cairo_fill(cr);
}

void compass_card(cairo_t* cr, int w, int h)
{
    const double c = w / 2.0;
    cairo_arc(cr, c, c, c - 1, 0, 2 * M_PI);
    rgb(cr, 0.12, 0.12, 0.13);
    cairo_fill(cr);
    cairo_set_line_width(cr, 1.5);
    for (int deg = 0; deg < 360; deg += 5) {
        const double a = deg * M_PI / 180;
        const double len = deg % 30 == 0 ? 14 : (deg % 10 == 0 ? 9 : 5);
        rgb(cr, 0.95, 0.95, 0.95);
        cairo_move_to(cr, c + (c - 2) * std::sin(a), c - (c - 2) * std::cos(a));
        cairo_line_to(cr, c + (c - 2 - len) * std::sin(a), c - (c - 2 - len) * std::cos(a));
        cairo_stroke(cr);
    }
    const char* labels[] = {"N", "3", "6", "E", "12", "15", "S", "21", "24", "W", "30", "33"};
    for (int i = 0; i < 12; ++i) {
        const double a = i * M_PI / 6;
        cairo_save(cr);
        cairo_translate(cr, c + (c - 30) * std::sin(a), c - (c - 30) * std::cos(a));
        cairo_rotate(cr, a);
        if (i % 3 == 0) rgb(cr, 1.0, 0.85, 0.2);
        else rgb(cr, 0.95, 0.95, 0.95);
        text_at(cr, labels[i], 0, 0, i % 3 == 0 ? 20 : 15);
        cairo_restore(cr);
    }
}

void bearing_pointer(cairo_t* cr, int w, int h)
{
    // Points along +x from the pivot (99, 24): a long head, a short tail.
    const double py = h / 2.0;
    rgb(cr, 0.2, 0.9, 0.3);
    cairo_move_to(cr, w - 1, py);
    cairo_line_to(cr, w - 30, py - 14);
    cairo_line_to(cr, w - 30, py - 4);
    cairo_line_to(cr, 12, py - 4);
    cairo_line_to(cr, 2, py - 12);
    cairo_line_to(cr, 2, py + 12);
    cairo_line_to(cr, 12, py + 4);
    cairo_line_to(cr, w - 30, py + 4);
    cairo_line_to(cr, w - 30, py + 14);
    cairo_close_path(cr);
    cairo_fill_preserve(cr);
    rgb(cr, 0, 0.3, 0.05);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    cairo_arc(cr, 99, py, 7, 0, 2 * M_PI);
    rgb(cr, 0.8, 0.8, 0.8);
    cairo_fill(cr);
}

void runway_pointer(cairo_t* cr, int w, int h)
{
    // A runway outline from the pivot (0, 12) outwards along +x.
    const double py = h / 2.0;
    rgb(cr, 0.95, 0.95, 0.95);
    cairo_rectangle(cr, 60, py - 7, w - 62, 14);
    cairo_fill(cr);
    rgb(cr, 0.1, 0.1, 0.1);
    cairo_set_line_width(cr, 1.5);
    for (double x = 66; x < w - 8; x += 12) {
        cairo_move_to(cr, x, py);
        cairo_line_to(cr, x + 6, py);
    }
    cairo_stroke(cr);
}

void bar(cairo_t* cr, int w, int h, double r, double g, double b)
{
    rgb(cr, r, g, b);
    cairo_paint(cr);
}

void lamp_box(cairo_t* cr, int w, int h, const char* label, double r, double g, double b)
{
    rounded(cr, 0.5, 0.5, w - 1, h - 1, 3);
    rgb(cr, r, g, b);
    cairo_fill(cr);
    rgb(cr, 0.05, 0.05, 0.05);
    text_at(cr, label, w / 2.0, h / 2.0, 12);
}

void bezel(cairo_t* cr, int w, int h)
{
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
    cairo_rectangle(cr, 0, 0, w, h);
    cairo_arc(cr, 150, 150, 134, 0, 2 * M_PI);
    rgb(cr, 0.2, 0.2, 0.21);
    cairo_fill(cr);
    cairo_set_line_width(cr, 3);
    cairo_arc(cr, 150, 150, 135, 0, 2 * M_PI);
    rgb(cr, 0.45, 0.45, 0.45);
    cairo_stroke(cr);
    for (auto [x, y] : {std::pair{16, 16}, {284, 16}, {16, 284}, {284, 284}}) screw(cr, x, y);
    rgb(cr, 0.9, 0.9, 0.85);
    text_at(cr, "LSO", 33, 268, 9, false);
    text_at(cr, "MODE", 267, 268, 9, false);
}

void panel_box(cairo_t* cr, int w, int h, const char* title)
{
    rgb(cr, 0.2, 0.22, 0.24);
    cairo_paint(cr);
    rgb(cr, 0.85, 0.85, 0.85);
    text_at(cr, title, w / 2.0, h / 2.0, std::min(16.0, w / 8.0));
}

void close_box(cairo_t* cr, int w, int h)
{
    rgb(cr, 0.25, 0.25, 0.25);
    cairo_paint(cr);
    rgb(cr, 0.9, 0.9, 0.9);
    cairo_set_line_width(cr, 2);
    cairo_move_to(cr, 5, 5);
    cairo_line_to(cr, w - 5, h - 5);
    cairo_move_to(cr, w - 5, 5);
    cairo_line_to(cr, 5, h - 5);
    cairo_stroke(cr);
}

void draw(cairo_t* cr, const BitmapInfo& b)
{
    const int w = b.width, h = b.height;
    switch (b.id) {
    case 1000: radio_background(cr, w, h); break;
    case 1010: knob(cr, w, h); break;
    case 1020: digit_strip(cr, w, h); break;
    case 1021: drum_window(cr, w, h); break;
    case 1030: glyph(cr, w, h, "X"); break;
    case 1031: glyph(cr, w, h, "Y"); break;
    case 1040: glyph(cr, w, h, ""); break;
    case 1041: glyph(cr, w, h, "1"); break;
    case 1050: toggle(cr, w, h, false, true); break;
    case 1051: toggle(cr, w, h, true, true); break;
    case 1060: toggle(cr, w, h, false, false); break;
    case 1061: toggle(cr, w, h, true, false); break;
    case 1070: lamp(cr, w, h, false); break;
    case 1071: lamp(cr, w, h, true); break;
    case 1080: toggle(cr, w, h, false, false); break;
    case 1081: toggle(cr, w, h, true, false); break;
    case 1110: compass_card(cr, w, h); break;
    case 1120: bearing_pointer(cr, w, h); break;
    case 1130: bar(cr, w, h, 1.0, 0.85, 0.1); break;
    case 1140: bar(cr, w, h, 1.0, 0.85, 0.1); break;
    case 1230: bar(cr, w, h, 1.0, 0.2, 0.1); break;
    case 1240: bar(cr, w, h, 1.0, 0.2, 0.1); break;
    case 1151: runway_pointer(cr, w, h); break;
    case 1160: bezel(cr, w, h); break;
    case 1170: lamp_box(cr, w, h, "FIELD", 0.2, 0.9, 0.3); break;
    case 1171: lamp_box(cr, w, h, "FIELD", 0.95, 0.7, 0.1); break;
    case 1180: lamp_box(cr, w, h, "SHIP", 0.2, 0.9, 0.3); break;
    case 1181: lamp_box(cr, w, h, "SHIP", 0.95, 0.7, 0.1); break;
    case 1190: lamp_box(cr, w, h, "LSO", 0.3, 0.7, 1.0); break;
    case 1200: lamp_box(cr, w, h, "ILS", 0.3, 0.7, 1.0); break;
    case 1210: face(cr, w, h); break;
    case 1220: lamp_box(cr, w, h, "NAV", 0.95, 0.5, 0.1); break;
    case 1221: lamp_box(cr, w, h, "DME", 0.95, 0.5, 0.1); break;
    case 1300: panel_box(cr, w, h, "TACAN NAV"); break;
    case 150: close_box(cr, w, h); break;
    case 1340: panel_box(cr, w, h, "APPROACH CTRL"); break;
    case 1330: panel_box(cr, w, h, "CATAPULT"); break;
    default: panel_box(cr, w, h, b.name); break;
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_gauge_bitmaps OUT_DIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) {
        std::fprintf(stderr, "make_gauge_bitmaps: cannot create %s: %s\n", dir.c_str(), ec.message().c_str());
        return 1;
    }
    for (const BitmapInfo& b : resources::BITMAPS) {
        cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, b.width, b.height);
        cairo_t* cr = cairo_create(s);
        draw(cr, b);
        cairo_destroy(cr);
        const std::string path = dir + "/" + b.name + ".png";
        const cairo_status_t status = cairo_surface_write_to_png(s, path.c_str());
        cairo_surface_destroy(s);
        if (status != CAIRO_STATUS_SUCCESS) {
            std::fprintf(stderr, "make_gauge_bitmaps: cannot write %s: %s\n", path.c_str(), cairo_status_to_string(status));
            return 1;
        }
    }
    cairo_debug_reset_static_data();
    return 0;
}
