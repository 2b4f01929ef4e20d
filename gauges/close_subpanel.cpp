// The `Close_Subpanel` gauge: a click box that opens, closes and toggles panel
// windows and raises counted key events, as its parameter string commands.
//
// Index: [parsing] [install] [click] [records]
#include "gauges/close_subpanel.h"

#include <climits>
#include <cstring>
#include <initializer_list>

#include "module/gauge_registry.h"

GAUGEHDR* closeSubpanelHeader = nullptr;

// [parsing] ------------------------------------------------------------------------
const char* find_panel_command(const char* text, char letter)
{
    if (!text) return nullptr;
    const char* at = std::strchr(text, letter);
    if (!at || letter == '\0') return nullptr;
    for (char mark : {'/', '#', '\''}) {
        const char* comment = std::strchr(text, mark);
        if (comment && comment < at) return nullptr;
    }
    return at + 1;
}

int32_t read_decimal(const char* text)
{
    if (!text) return 0;
    const char* p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    int64_t value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value > static_cast<int64_t>(INT32_MAX) + 1) value = static_cast<int64_t>(INT32_MAX) + 1;  // saturate
    }
    if (negative) value = -value;
    if (value > INT32_MAX) value = INT32_MAX;
    return static_cast<int32_t>(value);
}

struct NamedIdentifier {
    const char* name;
    int32_t id;
};

static bool starts_with(const char* text, const char* prefix) { return std::strncmp(text, prefix, std::strlen(prefix)) == 0; }

static const NamedIdentifier PANEL_NAMES[] = {
    {"MAIN_PANEL", 0},          {"RADIO_STACK_PANEL", 50},   {"COMPASS_PANEL", 75},
    {"ANNUNCIATOR_PANEL", 125}, {"ANNUNCIATOR2_PANEL", 150}, {"COLLECTIVE_PANEL", 200},
    {"THROTTLE_PANEL", 10},     {"MINI_CONTROLS_PANEL", 100}, {"IFR_MAIN_PANEL", 175},
    {"GPS_PANEL", 225},         {"OVERHEAD_PANEL", 250},
};

int32_t panel_identifier(const char* argument)
{
    if (!argument || *argument == '\0') return -1;
    for (const NamedIdentifier& n : PANEL_NAMES)
        if (starts_with(argument, n.name)) return n.id;
    return read_decimal(argument);
}

static const NamedIdentifier HELP_NAMES[] = {
    {"TOGGLE_RADIO_WINDOW", 43910},   {"TOGGLE_GPS_WINDOW", 43911},  {"TOGGLE_THROTTLE_WINDOW", 43912},
    {"TOGGLE_COMPASS_WINDOW", 43913}, {"TOGGLE_FUEL_WINDOW", 43914}, {"TOGGLE_COLLECTIVE_WINDOW", 43915},
};
constexpr int32_t FIRST_WINDOW_HELP_ID = 40960;  // 0xA000

int32_t window_help_identifier(const char* argument)
{
    if (!argument || *argument == '\0') return 0;
    for (const NamedIdentifier& n : HELP_NAMES)
        if (starts_with(argument, n.name)) return n.id;
    const int32_t id = read_decimal(argument);
    return id < FIRST_WINDOW_HELP_ID ? 0 : id;
}

// [install] ----------------------------------------------------------------------------
constexpr int32_t BITMAP_ID_MIN = 100;
constexpr int32_t BITMAP_ID_MAX = 360;

static void close_subpanel_install(GAUGEHDR* header)
{
    closeSubpanelHeader = header;
    const char* text = header->parameters;
    if (text && *text) {
        bool apply_help = true;
        if (const char* b = find_panel_command(text, 'b')) {
            const int32_t n = read_decimal(b);
            ELEMENT_HEADER* first = header->elements_list ? header->elements_list[0] : nullptr;
            if (first && n % 10 == 0 && n >= BITMAP_ID_MIN && n <= BITMAP_ID_MAX) first->resource_id = n;
            else apply_help = false;  // a refused "b" also leaves "h" unapplied
        }
        if (apply_help) {
            if (const char* h = find_panel_command(text, 'h')) {
                if (header->mouse_rect) header->mouse_rect[0].help_id = window_help_identifier(h);
            }
        }
    }
    if (header->user_data == 0) {
        if (const char* a = find_panel_command(text, 'a')) {
            const int32_t id = panel_identifier(a);
            if (id >= 0) trigger_key_event(KEY_PANEL_CLOSE, static_cast<uint32_t>(id));
        }
        header->user_data = 1;
    }
}

// [click] --------------------------------------------------------------------------------
// Raises `event` for every uncommented occurrence of `letter` whose argument
// names a panel.
static void panel_commands(const char* text, char letter, uint32_t event)
{
    const char* rest = text;
    while (const char* argument = find_panel_command(rest, letter)) {
        const int32_t id = panel_identifier(argument);
        if (id >= 0) trigger_key_event(event, static_cast<uint32_t>(id));
        rest = argument;  // one character after the letter
    }
}

bool close_subpanel_click(PIXPOINT, UINT32)
{
    const char* text = closeSubpanelHeader ? closeSubpanelHeader->parameters : nullptr;
    if (!text || *text == '\0') {
        panel_window_toggle(0);
        return false;
    }
    panel_commands(text, 'o', KEY_PANEL_OPEN);
    panel_commands(text, 'c', KEY_PANEL_CLOSE);
    panel_commands(text, 't', KEY_PANEL_TOGGLE);
    if (const char* p = find_panel_command(text, 'p')) {
        int32_t n = read_decimal(p);
        if (n == 0) {
            trigger_key_event(KEY_PANEL_P_ZERO, 0);
        } else {
            const uint32_t event = n > 0 ? KEY_PANEL_P_UP : KEY_PANEL_P_DOWN;
            const int64_t magnitude = n > 0 ? static_cast<int64_t>(n) : -static_cast<int64_t>(n);
            const int64_t count = magnitude < PANEL_KEY_REPEAT_LIMIT ? magnitude : PANEL_KEY_REPEAT_LIMIT;
            for (int64_t i = 0; i < count; ++i) trigger_key_event(event, 0);
        }
    }
    return false;
}

// [records] ------------------------------------------------------------------------------
static ELEMENT_STATIC_IMAGE close_subpanel_background = {
    {ELEMENT_TYPE_STATIC_IMAGE, 150, {0, 0}, {0, 0}, {0, 0}, nullptr, nullptr, nullptr, nullptr, 0x4003, 0},
};
ELEMENT_HEADER* close_subpanel_elements[] = {&close_subpanel_background.header, nullptr};

MOUSERECT close_subpanel_mouse_rects[] = {
    {MOUSE_RECT_PARENT, {0, 0, 0, 0}, CURSOR_NONE, 0, 0, 0, nullptr, nullptr, nullptr},
    {MOUSE_RECT_CHILD, {3, 3, 13, 13}, CURSOR_HAND, 0, MOUSE_LEFTSINGLE, 0, close_subpanel_click, nullptr, nullptr},
    {MOUSE_RECT_END_PARENT, {0, 0, 0, 0}, CURSOR_NONE, 0, 0, 0, nullptr, nullptr, nullptr},
    {MOUSE_RECT_EOL, {0, 0, 0, 0}, CURSOR_NONE, 0, 0, 0, nullptr, nullptr, nullptr},
};

static void close_subpanel_callback(GAUGEHDR* header, SINT32 service_id, UINT32 extra_data)
{
    if (service_id == PANEL_SERVICE_PRE_INSTALL && header) close_subpanel_install(header);
}

GAUGEHDR gaugehdr_Close_Subpanel =
    make_gauge_header<close_subpanel_elements>("Close_Subpanel", 19, close_subpanel_mouse_rects, close_subpanel_callback);
