// The `Close_Subpanel` gauge: a click box whose parameter string says which
// panel windows a click opens, closes or toggles and which key events it
// raises. Command letters and their arguments are documented in
// docs/panel_commands.md.
#pragma once

#include <cstdint>

#include "platform/gauge_interface.h"

// Host key events of the panel commands.
constexpr uint32_t KEY_PANEL_TOGGLE = 0x103CA;  // "t": value = panel identifier
constexpr uint32_t KEY_PANEL_OPEN = 0x103CB;    // "o"
constexpr uint32_t KEY_PANEL_CLOSE = 0x103CC;   // "c", and "a" at the first install
constexpr uint32_t KEY_PANEL_P_ZERO = 0x10153;  // "p0"
constexpr uint32_t KEY_PANEL_P_UP = 0x100C6;    // "p" with a positive count, once per count
constexpr uint32_t KEY_PANEL_P_DOWN = 0x100C7;  // "p" with a negative count, once per count

// A "p" count is a panel designer's number; one click raises at most this many
// key events, whatever the text says (a typing slip such as p1000000 would
// otherwise flood the host's key queue).
constexpr int32_t PANEL_KEY_REPEAT_LIMIT = 100;

// The argument of the first uncommented occurrence of `letter` in `text`: the
// text right after the letter, or null when the letter is absent or a "/",
// "#" or "'" comes before it.
const char* find_panel_command(const char* text, char letter);
// Panel identifier of an argument: a known name at its very start, else a
// decimal number read like atoi (saturating at the 32-bit range); -1 for an
// empty or null argument.
int32_t panel_identifier(const char* argument);
// Window-toggle help identifier of an argument (43910..43915 by name, else a
// decimal number, 0 below 40960); 0 for an empty or null argument.
int32_t window_help_identifier(const char* argument);
// Reads a decimal number like atoi: leading blanks, an optional sign, digits;
// 0 without digits; saturates at INT32_MIN and INT32_MAX.
int32_t read_decimal(const char* text);

// The header whose parameter string the next click obeys: the placement
// installed last (the host's click call carries no header).
extern GAUGEHDR* closeSubpanelHeader;  // gauges/close_subpanel; start null; read here only

// The click of the box (also called by the tests).
bool close_subpanel_click(PIXPOINT point, UINT32 mouse_flags);

extern ELEMENT_HEADER* close_subpanel_elements[];
extern MOUSERECT close_subpanel_mouse_rects[];
