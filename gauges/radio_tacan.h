// The `Radio_TACAN_ARN52B` gauge: the TACAN control head. Channel and
// frequency arithmetic, the knobs and switches, and the radio state that the
// carrier indicator also reads.
#pragma once

#include <cstdint>

#include "platform/gauge_interface.h"

// Valid TACAN channels are 17 to 59 and 70 to 126, X (mode 0) or Y (mode 1).
struct RadioTacanState {
    uint8_t toneSwitch;          // 1 = identification tone selected
    int32_t channel;             // TACAN channel number
    int32_t channelTens;         // channel / 10, truncating (1..12 when valid)
    int32_t channelUnits;        // channel - floor(channel / 10) * 10 (0..9)
    int32_t xyMode;              // 0 = X channel, 1 = Y channel
    double frequency;            // MHz: frequency window and tooltip
    double leftKnobAngle;        // deg: tens knob drawing angle, never wrapped
    double rightKnobAngle;       // deg: units knob drawing angle, never wrapped
    int32_t frequencyCountdown;  // updates left with the frequency window shown
    char channelText[38];        // last channel description built for the tooltip
};

// The radio state (gauges/radio_tacan; start: all 0, tone off; read only here
// and by the unit tests).
extern RadioTacanState radioTacan;

// TACAN power (gauges/radio_tacan; start 1 = on; read by
// gauges/carrier_indicator, which blanks its displays while it is 0).
extern uint8_t tacanMainSwitch;

// Host key events of the identification tone.
constexpr uint32_t KEY_TACAN_TONE_ON_NAV1 = 0x10128;   // raised when the tone goes from on to off, NAV1
constexpr uint32_t KEY_TACAN_TONE_ON_NAV2 = 0x10129;
constexpr uint32_t KEY_TACAN_TONE_OFF_NAV1 = 0x1012D;  // raised when the tone goes from off to on, NAV1
constexpr uint32_t KEY_TACAN_TONE_OFF_NAV2 = 0x1012E;

// Frequency in MHz of the current channel and X/Y mode; a channel outside the
// valid ranges keeps the current frequency (truncated to hundredths) plus the
// Y offset.
double frequency_from_channel();
// Sets channel tens, units and X/Y mode from a receiver frequency in MHz and
// returns the channel (unchanged outside 108.0 to 117.99 MHz).
int32_t channel_from_frequency(double mhz);

// Knob and switch operations (the click handlers call these). Everything but
// the main switch does nothing while the main switch is off.
void tens_knob_increase();
void tens_knob_decrease();
void units_knob_increase();
void units_knob_decrease();
void xy_switch_click();
void tone_switch_click();
void main_switch_click();

// Builds the channel description ("TACAN (NAV1) Channel X17 - Frequency")
// into radioTacan.channelText and returns it.
const char* channel_description();

// The gauge's records, for the host and the tests.
extern ELEMENT_HEADER* radio_tacan_elements[];
extern MOUSERECT radio_tacan_mouse_rects[];
extern MOUSE_TOOLTIP_ARG radio_tacan_tooltip_args[];

// Sets (lit) or clears the luminous bit 0x4000 of the first element of the
// gauge's element list and of that element's first successor; an absent
// element or successor list is skipped. Used by the radio and the indicator.
void light_first_two_elements(GAUGEHDR* header, bool lit);
