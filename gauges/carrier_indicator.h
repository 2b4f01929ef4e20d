// The `Aircraft_Carrier_Indicator` gauge: bearing pointer, runway pointers,
// deviation bars, distance readout, lamps and flags on a compass card that
// turns with the aircraft's heading; its callback keeps the panel-lights flag.
#pragma once

#include <cstdint>

#include "platform/gauge_interface.h"

struct CarrierIndicatorState {
    uint8_t presentationMode;     // 1 = TACAN presentation, 0 = ILS presentation
    uint8_t lsoOnFlag;            // 1 when "(L:LSO_is_Off_VC, bool) !" last gave non-zero
    int32_t carrierTypeCopy;      // CarrierType of the selected carrier (1 ship, 2 fixed site)
    double distance;              // nm: last distance of the readout
    int32_t navDmeAvailable;      // DME-available result of the selected receiver, 0 when none
    int32_t navSignalAvailable;   // NAV-available result of the selected receiver
    double navRelativeBearing;    // deg: the receiver's relative bearing to its station
};

// The indicator state (gauges/carrier_indicator; start: TACAN presentation,
// everything else 0; read only here and by the unit tests).
extern CarrierIndicatorState carrierIndicator;

// 1 while the host's panel lights (module variable 10) are on
// (gauges/carrier_indicator, set on every update; start 0; read by
// gauges/radio_tacan to light its background and units drum).
extern uint8_t panelLightsOn;

// The gauge's records, for the host and the tests.
extern ELEMENT_HEADER* carrier_indicator_elements[];
extern MOUSERECT carrier_indicator_mouse_rects[];
extern MOUSE_TOOLTIP_ARG carrier_indicator_tooltip_args[];
