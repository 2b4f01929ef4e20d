// The `Radio_TACAN_ARN52B` gauge: the TACAN radio control head.
//
// Index: [state] [channel arithmetic] [knobs and switches] [elements]
//        [mouse] [gauge callback]
#include "gauges/radio_tacan.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "gauges/carrier_indicator.h"
#include "geo/geodesy.h"
#include "module/gauge_registry.h"
#include "state/module_state.h"

// [state] ----------------------------------------------------------------------
RadioTacanState radioTacan{};
uint8_t tacanMainSwitch = 1;

constexpr int32_t FREQUENCY_DISPLAY_UPDATES = 60;  // frequency window after a knob or X/Y click

// Units digit of a channel; floor division keeps it 0..9 for any sign.
static int32_t units_of(int32_t c) { return c - static_cast<int32_t>(std::floor(c / 10.0)) * 10; }

// [channel arithmetic] --------------------------------------------------------------
double frequency_from_channel()
{
    const int32_t c = radioTacan.channel;
    const double y = radioTacan.xyMode;
    double n;
    if (c >= 17 && c <= 59) n = (5.0 * c + 5315.0) * 2.0 + 5.0 * y;
    else if (c >= 70 && c <= 126) n = (5.0 * c + 5265.0) * 2.0 + 5.0 * y;
    else n = std::trunc(radioTacan.frequency * 100.0) + 5.0 * y;  // stays a double: no conversion of outside values
    return n / 100.0;
}

int32_t channel_from_frequency(double mhz)
{
    const double tenths = mhz * 10.0;
    const double t = std::trunc(tenths);
    // Compared as doubles so that NaN or a huge frequency never reaches an
    // integer conversion; only t inside the two bands is converted.
    if (t >= 1080.0 && t <= 1122.0) radioTacan.channel = static_cast<int32_t>(t) - 1063;
    else if (t >= 1123.0 && t <= 1179.0) radioTacan.channel = static_cast<int32_t>(t) - 1053;
    radioTacan.xyMode = (tenths - t != 0.0) ? 1 : 0;
    radioTacan.channelTens = radioTacan.channel / 10;
    radioTacan.channelUnits = units_of(radioTacan.channel);
    return radioTacan.channel;
}

// [knobs and switches] -----------------------------------------------------------------
// Stores the new channel, turns the knob's drawing angle, shows the frequency
// window and tunes the selected receiver.
static void finish_knob_step(int32_t c, double* knob_angle, double step_deg)
{
    radioTacan.channel = c;
    radioTacan.channelTens = c / 10;
    radioTacan.channelUnits = units_of(c);
    *knob_angle += step_deg;
    radioTacan.frequencyCountdown = FREQUENCY_DISPLAY_UPDATES;
    radioTacan.frequency = frequency_from_channel();
    set_nav_frequency(radioTacan.frequency, tacanReceiver);
}

void tens_knob_increase()
{
    if (!tacanMainSwitch) return;
    int32_t c = radioTacan.channel;
    if (radioTacan.channelTens == 5 || c <= 116) {
        c += radioTacan.channelTens == 5 ? 20 : 10;  // 5x skips the unused 60s
        if (c >= 117) c -= 100;
    } else {
        c -= 100;
    }
    finish_knob_step(c, &radioTacan.leftKnobAngle, 10.0);
}

void tens_knob_decrease()
{
    if (!tacanMainSwitch) return;
    int32_t c = radioTacan.channel;
    if (radioTacan.channelTens == 7 || c >= 27) {
        c -= radioTacan.channelTens == 7 ? 20 : 10;
        if (c <= 26) c += 100;
    } else {
        c += 100;
    }
    finish_knob_step(c, &radioTacan.leftKnobAngle, -10.0);
}

void units_knob_increase()
{
    if (!tacanMainSwitch) return;
    int32_t c = radioTacan.channel;
    if (c == 19) c = 17;
    else if (c == 126) c = 120;
    else if (radioTacan.channelUnits == 9) c -= 9;
    else c += 1;
    finish_knob_step(c, &radioTacan.rightKnobAngle, 10.0);
}

void units_knob_decrease()
{
    if (!tacanMainSwitch) return;
    int32_t c = radioTacan.channel;
    if (c == 17) c = 19;
    else if (c == 120) c = 126;
    else if (radioTacan.channelUnits == 0) c += 9;
    else c -= 1;
    finish_knob_step(c, &radioTacan.rightKnobAngle, -10.0);
}

// The channel fields follow when the receiver's new frequency comes back
// through the navigation gauge (tuning-changed flag).
void xy_switch_click()
{
    if (!tacanMainSwitch) return;
    radioTacan.frequency += radioTacan.xyMode == 0 ? 0.05 : -0.05;
    const double tenths = radioTacan.frequency * 10.0;
    radioTacan.xyMode = (tenths - std::trunc(tenths) != 0.0) ? 1 : 0;
    radioTacan.frequencyCountdown = FREQUENCY_DISPLAY_UPDATES;
    set_nav_frequency(radioTacan.frequency, tacanReceiver);
}

void tone_switch_click()
{
    if (!tacanMainSwitch) return;
    const bool nav2 = tacanReceiver == 2;
    if (radioTacan.toneSwitch) trigger_key_event(nav2 ? KEY_TACAN_TONE_ON_NAV2 : KEY_TACAN_TONE_ON_NAV1, 0);
    else trigger_key_event(nav2 ? KEY_TACAN_TONE_OFF_NAV2 : KEY_TACAN_TONE_OFF_NAV1, 0);
    radioTacan.toneSwitch = !radioTacan.toneSwitch;
}

void main_switch_click() { tacanMainSwitch = !tacanMainSwitch; }

const char* channel_description()
{
    char* out = radioTacan.channelText;
    const size_t size = sizeof radioTacan.channelText;
    int n = std::snprintf(out, size, "%s%s", tacanReceiver != 2 ? "TACAN (NAV1) Channel " : "TACAN (NAV2) Channel ",
                          radioTacan.xyMode ? "Y" : "X");
    if (radioTacan.channelTens >= 1 && radioTacan.channelTens <= 12)
        n += std::snprintf(out + n, size - n, "%d", radioTacan.channelTens);
    // One digit, whatever the channel holds: the buffer has room for no more.
    const int32_t units = radioTacan.channelUnits;
    n += std::snprintf(out + n, size - n, "%c", static_cast<char>('0' + (units >= 0 && units <= 9 ? units : 0)));
    std::snprintf(out + n, size - n, " - Frequency");
    return out;
}

// [elements] ------------------------------------------------------------------------------
static FLOAT64 units_drum_value(ELEMENT_HEADER*) { return radioTacan.channelUnits; }
static FLOAT64 tens_drum_value(ELEMENT_HEADER*) { return units_of(radioTacan.channelTens); }
static FLOAT64 hundreds_value(ELEMENT_HEADER*) { return radioTacan.channelTens / 10; }
static FLOAT64 xy_value(ELEMENT_HEADER*) { return radioTacan.xyMode; }
static FLOAT64 right_knob_value(ELEMENT_HEADER*) { return radioTacan.rightKnobAngle; }
static FLOAT64 left_knob_value(ELEMENT_HEADER*) { return radioTacan.leftKnobAngle; }
static FLOAT64 tone_value(ELEMENT_HEADER*) { return radioTacan.toneSwitch ? 1.0 : 0.0; }
static FLOAT64 main_switch_value(ELEMENT_HEADER*) { return tacanMainSwitch ? 1.0 : 0.0; }
static FLOAT64 power_lamp_value(ELEMENT_HEADER*) { return tacanMainSwitch ? 1.0 : -1.0; }

constexpr SINT32 FREQUENCY_CHARS = 7;
static char frequencyText[FREQUENCY_CHARS + 1] = "";

// Writes the frequency and shows the window while the set is on and the
// countdown runs; bounded by the element's length, so any frequency fits.
static FLOAT64 frequency_window_value(ELEMENT_STRING* e)
{
    std::snprintf(e->string, static_cast<size_t>(e->max_string_length) + 1, "%6.2f", radioTacan.frequency);
    if (tacanMainSwitch && radioTacan.frequencyCountdown >= 1) {
        --radioTacan.frequencyCountdown;
        e->header.image_flags &= ~IMAGE_HIDDEN;
    } else {
        e->header.image_flags |= IMAGE_HIDDEN;
    }
    return 0.0;
}

static FAILURE_RECORD power_lamp_failures[] = {{21, 0}, {0, 0}};

static NONLINEARITY right_knob_table[] = {{{246, 8}, 0.0, 0.0}, {{246, 112}, 180.0, 0.0}};
static NONLINEARITY left_knob_table[] = {{{137, 8}, 0.0, 0.0}, {{137, 112}, 180.0, 0.0}};

// The chain is built back to front: each element names its one successor.
static ELEMENT_ICON power_lamp = {
    {ELEMENT_TYPE_ICON, 1070, {371, 64}, {0, 0}, {0, 0}, nullptr, nullptr, nullptr, power_lamp_failures, 0x7, 0},
    power_lamp_value, 0, 2, 1.0, 0.0, 0.0};
static ELEMENT_HEADER* power_lamp_next[] = {&power_lamp.header, nullptr};

static ELEMENT_STRING frequency_window = {
    {ELEMENT_TYPE_STRING, 0, {288, 9}, {0, 0}, {0, 0}, nullptr, nullptr, power_lamp_next, nullptr, 0x7, 0},
    frequency_window_value, {288, 9, 91, 25}, 0x0000F0F0, 0x00000000, 0x0000FFFF, "Arial", 700, 1, 0x25,
    FREQUENCY_CHARS, frequencyText};
static ELEMENT_HEADER* frequency_window_next[] = {&frequency_window.header, nullptr};

static ELEMENT_ICON main_switch_icon = {
    {ELEMENT_TYPE_ICON, 1050, {45, 60}, {0, 0}, {0, 0}, nullptr, nullptr, frequency_window_next, nullptr, 0x4003, 0},
    main_switch_value, 0, 2, 1.0, 0.0, 0.0};
static ELEMENT_HEADER* main_switch_next[] = {&main_switch_icon.header, nullptr};

static ELEMENT_ICON tone_switch_icon = {
    {ELEMENT_TYPE_ICON, 1060, {294, 96}, {0, 0}, {0, 0}, nullptr, nullptr, main_switch_next, nullptr, 0x4003, 0},
    tone_value, 0, 2, 1.0, 0.0, 0.0};
static ELEMENT_HEADER* tone_switch_next[] = {&tone_switch_icon.header, nullptr};

static ELEMENT_ICON xy_switch_icon = {
    {ELEMENT_TYPE_ICON, 1080, {294, 64}, {0, 0}, {0, 0}, nullptr, nullptr, tone_switch_next, nullptr, 0x4003, 0},
    xy_value, 0, 2, 1.0, 0.0, 0.0};
static ELEMENT_HEADER* xy_switch_next[] = {&xy_switch_icon.header, nullptr};

static ELEMENT_NEEDLE left_knob = {
    {ELEMENT_TYPE_NEEDLE, 1010, {137, 60}, {0, 0}, {26, 26}, nullptr, nullptr, xy_switch_next, nullptr, 0x4003, 0},
    left_knob_value, left_knob_table, 2, 0.0};
static ELEMENT_HEADER* left_knob_next[] = {&left_knob.header, nullptr};

static ELEMENT_NEEDLE right_knob = {
    {ELEMENT_TYPE_NEEDLE, 1010, {246, 60}, {0, 0}, {26, 26}, nullptr, nullptr, left_knob_next, nullptr, 0x4003, 0},
    right_knob_value, right_knob_table, 2, 0.0};
static ELEMENT_HEADER* right_knob_next[] = {&right_knob.header, nullptr};

static ELEMENT_ICON xy_letter = {
    {ELEMENT_TYPE_ICON, 1030, {164, 49}, {0, 0}, {0, 0}, nullptr, nullptr, right_knob_next, nullptr, 0x4003, 0},
    xy_value, 0, 2, 0.0, 0.0, 0.0};
static ELEMENT_HEADER* xy_letter_next[] = {&xy_letter.header, nullptr};

static ELEMENT_ICON hundreds_digit = {
    {ELEMENT_TYPE_ICON, 1040, {181, 49}, {0, 0}, {0, 0}, nullptr, nullptr, xy_letter_next, nullptr, 0x4003, 0},
    hundreds_value, 0, 2, 0.0, 0.0, 0.0};
static ELEMENT_HEADER* hundreds_next[] = {&hundreds_digit.header, nullptr};

// Drums: a strip of eleven 23-pixel digits behind a 14 x 23 window; the value
// 0..10 moves the strip by value * 23 pixels.
static ELEMENT_MOVING_IMAGE tens_drum = {
    {ELEMENT_TYPE_MOVING_IMAGE, 1020, {191, 49}, {0, 0}, {0, 0}, nullptr, nullptr, hundreds_next, nullptr, 0x4003, 0},
    1021, nullptr, 0.0, 0.0, tens_drum_value, 0.0, 10.0, 0.0, 0.0};
static ELEMENT_HEADER* tens_drum_next[] = {&tens_drum.header, nullptr};

static ELEMENT_MOVING_IMAGE units_drum = {
    {ELEMENT_TYPE_MOVING_IMAGE, 1020, {205, 49}, {0, 0}, {0, 0}, nullptr, nullptr, tens_drum_next, nullptr, 0x4003, 0},
    1021, nullptr, 0.0, 0.0, units_drum_value, 0.0, 10.0, 0.0, 0.0};
static ELEMENT_HEADER* units_drum_next[] = {&units_drum.header, nullptr};

static ELEMENT_STATIC_IMAGE radio_tacan_background = {
    {ELEMENT_TYPE_STATIC_IMAGE, 1000, {0, 0}, {0, 0}, {0, 0}, nullptr, nullptr, units_drum_next, nullptr, 0x3, 0},
};
ELEMENT_HEADER* radio_tacan_elements[] = {&radio_tacan_background.header, nullptr};

// [mouse] -------------------------------------------------------------------------------
static FLOAT64 tooltip_frequency(FLOAT64, const MOUSE_TOOLTIP_ARG*) { return radioTacan.frequency; }
static const char* tooltip_tone(FLOAT64, const MOUSE_TOOLTIP_ARG*) { return radioTacan.toneSwitch ? "on" : "off"; }
static const char* tooltip_main(FLOAT64, const MOUSE_TOOLTIP_ARG*) { return tacanMainSwitch ? "on" : "off"; }
static const char* tooltip_channel(FLOAT64, const MOUSE_TOOLTIP_ARG*) { return channel_description(); }

// One list shared by the three tooltips; ends with an empty entry.
MOUSE_TOOLTIP_ARG radio_tacan_tooltip_args[] = {
    {0, 1.0, tooltip_frequency, nullptr},
    {0, 1.0, nullptr, tooltip_tone},
    {0, 1.0, nullptr, tooltip_main},
    {0, 1.0, nullptr, tooltip_channel},
    {0, 0.0, nullptr, nullptr},
};

// The click handlers ignore the point and flags.
static bool click_tens_decrease(PIXPOINT, UINT32) { tens_knob_decrease(); return false; }
static bool click_tens_increase(PIXPOINT, UINT32) { tens_knob_increase(); return false; }
static bool click_units_decrease(PIXPOINT, UINT32) { units_knob_decrease(); return false; }
static bool click_units_increase(PIXPOINT, UINT32) { units_knob_increase(); return false; }
static bool click_main_switch(PIXPOINT, UINT32) { main_switch_click(); return false; }
static bool click_xy_switch(PIXPOINT, UINT32) { xy_switch_click(); return false; }
static bool click_tone_switch(PIXPOINT, UINT32) { tone_switch_click(); return false; }

constexpr UINT32 KNOB_FLAGS = MOUSE_LEFTSINGLE | MOUSE_DOWN_REPEAT;  // 0x20200000

MOUSERECT radio_tacan_mouse_rects[] = {
    {MOUSE_RECT_PARENT, {0, 0, 0, 0}, CURSOR_NONE, 0, 0, 0, nullptr, nullptr, nullptr},
    {MOUSE_RECT_TOOLTIP, {93, 0, 196, 149}, CURSOR_NONE, 0, 0, 0, nullptr, "%4!s! %1!07.3f! MHz", radio_tacan_tooltip_args},
    {MOUSE_RECT_TOOLTIP, {294, 96, 66, 32}, CURSOR_NONE, 0, 0, 0, nullptr, "Tone switch (%2!s!)", radio_tacan_tooltip_args},
    {MOUSE_RECT_TOOLTIP, {45, 60, 40, 62}, CURSOR_NONE, 0, 0, 0, nullptr, "TACAN main switch (%3!s!)", radio_tacan_tooltip_args},
    {MOUSE_RECT_CHILD, {111, 34, 26, 52}, CURSOR_DOWNARROW, 0, KNOB_FLAGS, 0, click_tens_decrease, nullptr, nullptr},
    {MOUSE_RECT_CHILD, {137, 34, 26, 52}, CURSOR_UPARROW, 0, KNOB_FLAGS, 0, click_tens_increase, nullptr, nullptr},
    {MOUSE_RECT_CHILD, {220, 34, 26, 52}, CURSOR_DOWNARROW, 0, KNOB_FLAGS, 0, click_units_decrease, nullptr, nullptr},
    {MOUSE_RECT_CHILD, {246, 34, 26, 52}, CURSOR_UPARROW, 0, KNOB_FLAGS, 0, click_units_increase, nullptr, nullptr},
    {MOUSE_RECT_CHILD, {45, 60, 40, 62}, CURSOR_HAND, 0, KNOB_FLAGS, 0, click_main_switch, nullptr, nullptr},
    {MOUSE_RECT_CHILD, {294, 48, 66, 32}, CURSOR_HAND, 0, 0x20006000, 0, click_xy_switch, nullptr, nullptr},
    {MOUSE_RECT_CHILD, {294, 96, 66, 32}, CURSOR_HAND, 0, MOUSE_LEFTSINGLE, 0, click_tone_switch, nullptr, nullptr},
    {MOUSE_RECT_END_PARENT, {0, 0, 0, 0}, CURSOR_NONE, 0, 0, 0, nullptr, nullptr, nullptr},
    {MOUSE_RECT_EOL, {0, 0, 0, 0}, CURSOR_NONE, 0, 0, 0, nullptr, nullptr, nullptr},
};

// [gauge callback] ----------------------------------------------------------------------------
// Re-reads the receiver: display frequency to two decimals, channel from the
// exact frequency.
static void follow_receiver()
{
    radioTacan.frequency = round_decimals(tunedTacanFrequency, 2);
    radioTacan.channel = channel_from_frequency(tunedTacanFrequency);
}

void light_first_two_elements(GAUGEHDR* header, bool lit)
{
    ELEMENT_HEADER** list = header ? header->elements_list : nullptr;
    ELEMENT_HEADER* first = list ? list[0] : nullptr;
    if (!first) return;
    if (lit) first->image_flags |= IMAGE_USE_LUMINOUS;
    else first->image_flags &= ~IMAGE_USE_LUMINOUS;
    ELEMENT_HEADER* second = first->next_element ? first->next_element[0] : nullptr;
    if (!second) return;
    if (lit) second->image_flags |= IMAGE_USE_LUMINOUS;
    else second->image_flags &= ~IMAGE_USE_LUMINOUS;
}

static void radio_tacan_callback(GAUGEHDR* header, SINT32 service_id, UINT32 extra_data)
{
    switch (service_id) {
    case PANEL_SERVICE_PRE_INSTALL:
        // The tone switch starts off: the event the switch raises on its way off.
        trigger_key_event(tacanReceiver == 2 ? KEY_TACAN_TONE_ON_NAV2 : KEY_TACAN_TONE_ON_NAV1, 0);
        follow_receiver();
        break;
    case PANEL_SERVICE_PRE_UPDATE:
        if (tuningChanged) follow_receiver();
        light_first_two_elements(header, panelLightsOn != 0);
        break;
    default:
        break;
    }
}

GAUGEHDR gaugehdr_Radio_TACAN_ARN52B =
    make_gauge_header<radio_tacan_elements>("Radio_TACAN_ARN52B", 150, radio_tacan_mouse_rects, radio_tacan_callback);
