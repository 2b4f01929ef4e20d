// The gauge panel of the emulated host: placement of the module's gauges
// (one header copy per placed gauge) with the gauge callback services 0-5 at
// placement, 14 when connected to the window, 6/7 around the update routine
// and the element walk on every panel update, 12/13 at removal; and the
// mouse (clicks and tooltips) routed to a placed gauge's mouse areas in its
// own pixel space.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "host/panel/element_walker.h"
#include "platform/gauge_interface.h"

namespace host {

class Host;
class PanelServices;
class Timeline;

struct PlacedGauge {
    std::string name;
    std::string parameters;
    GAUGEHDR header{};  // the host's copy of the module's header for this placement
    bool connected = false;
    int width = 0, height = 0;          // pixels, from the first element's bitmap at placement (0: unknown)
    std::vector<ElementView> elements;  // what the element walker kept at the last update
};

class GaugePanel {
public:
    GaugePanel(Timeline& timeline, PanelServices& services) : timeline_(timeline), services_(services) {}

    // Places a gauge of the module by name with its parameter string and runs
    // its install services; the placement index, or -1 with `error`.
    int place(const GAUGESLINKAGE& linkage, const std::string& name, const std::string& parameters,
              std::string* error);
    // Connects every placed gauge not yet connected to its window (service 14).
    void connect();
    // One panel update of every placed gauge: service 6, the update routine,
    // the element walk, service 7.
    void update();
    // Removes every placed gauge: service 12, the kill routine, service 13.
    void remove();

    // Stable addresses: the module sees each header's address.
    std::deque<PlacedGauge>& gauges() { return gauges_; }
    const std::deque<PlacedGauge>& gauges() const { return gauges_; }

private:
    void run_service(PlacedGauge& gauge, SINT32 service);

    Timeline& timeline_;
    PanelServices& services_;
    std::deque<PlacedGauge> gauges_;
};

// Walks a placed gauge's element chain (from its header's first element)
// into gauge.elements, module variables read through `services`. Called
// after each update routine.
void walk_gauge_elements(PanelServices& services, PlacedGauge& gauge);
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
