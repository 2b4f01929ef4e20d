// Drawing of the placed gauges into PNG pictures with cairo. The drawing
// reads only what the element walker kept (PlacedGauge::elements), the
// gauge's pixel size kept at placement and the gauge bitmaps of the
// resources folder; it never calls the module nor reads its memory.
//
//   static image  its bitmap at its position
//   icon          bitmap id + image index; no image for an index of -1
//   needle        the bitmap points along its +x axis from its pivot; it is
//                 turned so that this axis points at the walked angle
//                 (degrees clockwise from up) about the element's position
//   slider        its bitmap moved by the walked pixel offsets
//   moving image  the strip moved by the walked offset behind the window
//                 (clipped to the window bitmap's box, which is drawn on top)
//   sprite        its bitmap centred on the sprite centre and turned
//                 counter-clockwise by the walked rotation in degrees
//                 (a compass card keeps the aircraft's heading at the top)
//   string        the box filled with the background colour, the text in
//                 the text colour, bold for weights of 600 and more,
//                 aligned by the text-drawing flags (1 centre, 2 right,
//                 4 vertical centre)
// Hidden elements (0x40000000) are left out; lit elements (0x4000) are
// drawn brighter while the host's panel lights are on. A bitmap missing from
// the folder is drawn as a magenta box of its size.
#pragma once

#include <string>

#include "host/host.h"

namespace host {

// Draws one placed gauge into a PNG file, its bitmaps from `resource_dir`.
// False with `error`.
bool draw_gauge_png(const PlacedGauge& gauge, const std::string& resource_dir, bool panel_lights,
                    const std::string& path, std::string* error);

// Writes "<stem>-<gauge>.png" for every placed gauge into the host's
// snapshot folder and records a "snapshot" event; the stem is `name`, or the
// simulated time ("t0012.50") when empty. Without a snapshot folder the
// event says "skipped" and nothing is written.
bool write_panel_snapshot(Host& host, const std::string& name, std::string* error);

// Called after each frame at time `t`: writes a snapshot when a multiple of
// the host's snapshot period has been crossed since the previous frame.
bool write_periodic_snapshot(Host& host, double t, std::string* error);

}  // namespace host
