// The host's panel configuration (panel.cfg): [WindowNN] sections whose
// gaugeNN=module!Gauge, x, y, w, h, parameters lines place gauges. A scenario's
// <panel file="panel.cfg" window="Window00"/> places this module's gauges of
// one window with their parameter strings and lists the others it skips.
#pragma once

#include <string>
#include <vector>

namespace host {

// The module name panel.cfg lines give this module's gauges (the module
// file's name without its extension); compared without regard to case.
inline constexpr const char* PANEL_MODULE_NAME = "carrier_ops";

struct PanelCfgGauge {
    std::string key;         // gauge00
    std::string module;      // before the '!'
    std::string gauge;       // after it
    int x = 0, y = 0, w = 0, h = 0;  // w and h 0 when not given
    std::string parameters;  // everything after the fifth field, trimmed
    int line = 0;
};

// Reads the gauges of section `window` of the file at `path`. False with
// `error` as "FILE:LINE: what is wrong".
bool read_panel_cfg(const std::string& path, const std::string& window, std::vector<PanelCfgGauge>* gauges,
                    std::string* error);

}  // namespace host
