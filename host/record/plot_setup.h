// The set-up the bench's PLplot pictures share: the output device, a page
// of a given size in pixels on a file that can be written, the colour map 0
// entries (pens) of the picture, and texts made safe for PLplot.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>

namespace host {

// One entry of PLplot's colour map 0: pen `index` is (r, g, b).
struct PlotPen {
    int index;
    unsigned char r, g, b;
};

// Whether PLplot has the output device `device` ("pngcairo").
bool has_plot_device(const char* device);

// Begins a picture: checks that PLplot has `device` and that `path` can be
// written, then starts a page of `width` x `height` pixels with `pens` set
// and advances to it. False with `error` when it cannot (nothing started);
// the caller ends a started picture with plend().
bool begin_plot_page(const std::string& path, const char* device, int width, int height,
                     std::initializer_list<PlotPen> pens, std::string* error);

// A text as PLplot must get it: '#' (its escape) doubled, bytes that are
// not UTF-8 replaced (PLplot drops a whole string over one), and cut to
// `max_chars` characters ending in "...".
std::string plot_text(const std::string& text, size_t max_chars = 200);

}  // namespace host
