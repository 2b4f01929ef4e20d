// The host's gauge interface as a gauge module sees it: the import table and
// module linkage, the gauge header, element and mouse-rectangle records, and
// the panel-services table that the host hands over through ImportTable.
//
// Records are plain C layouts. A port to a real host replaces this header with
// the host's own SDK header; the module only uses the names declared here.
//
// Index: [types] [elements] [mouse] [gauge header] [panel services] [linkage]
#pragma once

#include <cstdint>

extern "C" {

// [types] ------------------------------------------------------------------
typedef int32_t SINT32;
typedef uint32_t UINT32;
typedef double FLOAT64;
typedef int32_t ID;  // event and variable identifiers

struct PIXPOINT {
    SINT32 x;
    SINT32 y;
};

struct PIXBOX {
    SINT32 x;
    SINT32 y;
    SINT32 width;
    SINT32 height;
};

struct GAUGEHDR;
struct ELEMENT_HEADER;

// Element types.
enum ELEMENT_TYPE_ENUM : SINT32 {
    ELEMENT_TYPE_STATIC_IMAGE = 0,
    ELEMENT_TYPE_NEEDLE = 1,
    ELEMENT_TYPE_STRING = 2,
    ELEMENT_TYPE_SLIDER = 3,
    ELEMENT_TYPE_ICON = 4,
    ELEMENT_TYPE_MOVING_IMAGE = 5,
    ELEMENT_TYPE_SPRITE = 6,
};

// Drawing flags (element header `image_flags`).
constexpr UINT32 IMAGE_USE_TRANSPARENCY = 0x00000001;
constexpr UINT32 IMAGE_USE_ERASE = 0x00000002;
constexpr UINT32 IMAGE_USE_BRIGHT = 0x00000004;
constexpr UINT32 IMAGE_USE_LUMINOUS = 0x00004000;
constexpr UINT32 IMAGE_HIDDEN = 0x40000000;

// Gauge callback service ids.
enum GAUGE_SERVICE : SINT32 {
    PANEL_SERVICE_PRE_QUERY = 0,
    PANEL_SERVICE_POST_QUERY = 1,
    PANEL_SERVICE_PRE_INSTALL = 2,
    PANEL_SERVICE_POST_INSTALL = 3,
    PANEL_SERVICE_PRE_INITIALIZE = 4,
    PANEL_SERVICE_POST_INITIALIZE = 5,
    PANEL_SERVICE_PRE_UPDATE = 6,
    PANEL_SERVICE_POST_UPDATE = 7,
    PANEL_SERVICE_PRE_GENERATE = 8,
    PANEL_SERVICE_POST_GENERATE = 9,
    PANEL_SERVICE_PRE_DRAW = 10,
    PANEL_SERVICE_POST_DRAW = 11,
    PANEL_SERVICE_PRE_KILL = 12,
    PANEL_SERVICE_POST_KILL = 13,
    PANEL_SERVICE_CONNECT_TO_WINDOW = 14,
    PANEL_SERVICE_DISCONNECT = 15,
    PANEL_SERVICE_PANEL_OPEN = 16,
    PANEL_SERVICE_PANEL_CLOSE = 17,
};

// [elements] ----------------------------------------------------------------
// A failure record: host failure key and the action the element takes.
struct FAILURE_RECORD {
    SINT32 failure_key;  // 0 ends a list
    SINT32 action;
};

// Value callback of a needle, icon, slider, moving image or sprite.
typedef FLOAT64 (*ELEMENT_VALUE_CALLBACK)(ELEMENT_HEADER* element);

// Common to every element kind; the kind's own fields follow it.
struct ELEMENT_HEADER {
    SINT32 element_type;              // ELEMENT_TYPE_ENUM
    ID resource_id;                   // bitmap resource id (or 0)
    PIXPOINT position;                // placement in the gauge, pixels
    PIXPOINT previous_position;       // host-owned
    PIXPOINT offset;                  // pivot of a needle within its image
    GAUGEHDR* gauge_header;           // host-owned
    ELEMENT_HEADER* previous_element; // host-owned
    ELEMENT_HEADER** next_element;    // null-terminated list of successors, or null
    FAILURE_RECORD* failure_systems;  // zero-terminated, or null
    UINT32 image_flags;               // drawing flags, see IMAGE_*
    UINT32 aircraft_special_instrumentation;
};

struct ELEMENT_STATIC_IMAGE {
    ELEMENT_HEADER header;
};

// Maps element values to needle angles by (point, value) pairs.
struct NONLINEARITY {
    PIXPOINT pt;
    FLOAT64 value;
    FLOAT64 degrees;  // host-owned
};

struct ELEMENT_NEEDLE {
    ELEMENT_HEADER header;
    ELEMENT_VALUE_CALLBACK callback;
    NONLINEARITY* nonlinearity_table;
    SINT32 nonlinearity_table_size;
    FLOAT64 value;  // host-owned: last callback result
};

struct ELEMENT_ICON {
    ELEMENT_HEADER header;
    ELEMENT_VALUE_CALLBACK callback;
    SINT32 switch_type;  // 0: the value is the image index
    SINT32 switch_count; // number of images
    FLOAT64 scale;
    FLOAT64 offset;
    FLOAT64 value;  // host-owned
};

struct ELEMENT_SLIDER {
    ELEMENT_HEADER header;
    ELEMENT_VALUE_CALLBACK x_callback;
    FLOAT64 x_scale;  // pixels per unit
    ELEMENT_VALUE_CALLBACK y_callback;
    FLOAT64 y_scale;
    FLOAT64 x_value;  // host-owned
    FLOAT64 y_value;  // host-owned
};

struct ELEMENT_MOVING_IMAGE {
    ELEMENT_HEADER header;
    ID mask_resource_id;  // the fixed window
    ELEMENT_VALUE_CALLBACK x_callback;
    FLOAT64 x_min, x_max;
    ELEMENT_VALUE_CALLBACK y_callback;
    FLOAT64 y_min, y_max;
    FLOAT64 x_value, y_value;  // host-owned
};

struct ELEMENT_SPRITE {
    ELEMENT_HEADER header;
    PIXPOINT texture_center;
    ELEMENT_VALUE_CALLBACK x_callback;
    FLOAT64 x_scale;
    ELEMENT_VALUE_CALLBACK y_callback;
    FLOAT64 y_scale;
    ELEMENT_VALUE_CALLBACK rotation_callback;
    FLOAT64 rotation_scale;
    ID rotation_module_var;  // module variable read directly, or 0
    FLOAT64 texture_scale_x, texture_scale_y;
    FLOAT64 rotation_var_value;  // host-owned: the rotation variable's value, read before the callback
};

struct ELEMENT_STRING;
typedef FLOAT64 (*ELEMENT_STRING_CALLBACK)(ELEMENT_STRING* element);

struct ELEMENT_STRING {
    ELEMENT_HEADER header;
    ELEMENT_STRING_CALLBACK callback;
    PIXBOX box;
    UINT32 fg_color, bg_color, hilite_color;  // 0x00BBGGRR
    const char* font_name;
    SINT32 font_weight;
    SINT32 font_charset;
    UINT32 draw_text_flags;
    SINT32 max_string_length;
    char* string;  // buffer of max_string_length + 1 bytes written by the callback
};

// [mouse] -------------------------------------------------------------------
enum MOUSE_RECT_TYPE : SINT32 {
    MOUSE_RECT_EOL = 0,
    MOUSE_RECT_PARENT = 1,
    MOUSE_RECT_CHILD = 2,
    MOUSE_RECT_END_PARENT = 3,
    MOUSE_RECT_TOOLTIP = 4,
};

enum CURSOR_TYPE : SINT32 {
    CURSOR_NONE = -1,
    CURSOR_NORMAL = 0,
    CURSOR_UPARROW = 1,
    CURSOR_DOWNARROW = 2,
    CURSOR_HAND = 5,
};

constexpr UINT32 MOUSE_LEFTSINGLE = 0x20000000;
constexpr UINT32 MOUSE_DOWN_REPEAT = 0x00200000;
constexpr UINT32 MOUSE_WHEEL_UP = 0x00004000;
constexpr UINT32 MOUSE_WHEEL_DOWN = 0x00002000;

typedef bool (*MOUSE_FUNCTION)(PIXPOINT point, UINT32 mouse_flags);

// One tooltip argument: a number or a text from a callback.
struct MOUSE_TOOLTIP_ARG;
typedef FLOAT64 (*MOUSE_TOOLTIP_NUMBER_CALLBACK)(FLOAT64 value, const MOUSE_TOOLTIP_ARG* arg);
typedef const char* (*MOUSE_TOOLTIP_TEXT_CALLBACK)(FLOAT64 value, const MOUSE_TOOLTIP_ARG* arg);
// A list ends with an entry whose two callbacks are null and whose source is 0.
struct MOUSE_TOOLTIP_ARG {
    ID source_var;  // module variable, or 0
    FLOAT64 scale;
    MOUSE_TOOLTIP_NUMBER_CALLBACK number_callback;
    MOUSE_TOOLTIP_TEXT_CALLBACK text_callback;
};

struct MOUSERECT {
    SINT32 rect_type;       // MOUSE_RECT_TYPE
    PIXBOX relative_box;
    SINT32 cursor;          // CURSOR_TYPE
    ID help_id;
    UINT32 mouse_flags;
    ID event_id;
    MOUSE_FUNCTION mouse_function;
    const char* tooltip_text;         // "%1!07.3f! MHz" style, or null
    MOUSE_TOOLTIP_ARG* tooltip_args;  // shared argument list, or null
};

// [gauge header] --------------------------------------------------------------
typedef void (*GAUGE_CALLBACK)(GAUGEHDR* header, SINT32 service_id, UINT32 extra_data);
typedef SINT32 (*GAUGE_ROUTINE)(void);
typedef SINT32 (*GAUGE_ROUTINE_WORD)(UINT32 word);

// The module fills the fields marked (module); the host fills the rest when
// it places the gauge.
struct GAUGEHDR {
    UINT32 gauge_header_version;     // (module) 800
    const char* gauge_name;          // (module)
    ELEMENT_HEADER** elements_list;  // (module) first entry: the root element
    GAUGE_ROUTINE query_routine;     // (module) generated routines ...
    GAUGE_ROUTINE_WORD install_routine;
    GAUGE_ROUTINE initialize_routine;
    GAUGE_ROUTINE update_routine;
    GAUGE_ROUTINE_WORD generate_routine;
    GAUGE_ROUTINE draw_routine;
    GAUGE_ROUTINE kill_routine;      // ... (module)
    void* reserved1;
    UINT32 size_x_mm;                // (module) default size
    UINT32 size_y_mm;
    FLOAT64 x_adjust;
    FLOAT64 y_adjust;
    void* reserved2;
    PIXPOINT position;
    void* reserved3;
    MOUSERECT* mouse_rect;           // (module) list, or null
    GAUGE_CALLBACK gauge_callback;   // (module)
    uintptr_t user_data;             // (module) 0; free for the gauge's own use
    const char* parameters;          // (host) parameter string of this placement, or null
    const char* usage;               // (host)
};

// [panel services] -------------------------------------------------------------
// Module variable record for lookup_var: the id first, then the value.
struct MODULE_VAR {
    ID id;
    FLOAT64 value;
};

// A key-event handler: (event id, value, user data). Host event ids start at
// 0x10000; a module may raise ids of its own, which reach every handler.
typedef void (*GAUGE_KEY_EVENT_HANDLER)(UINT32 event_id, UINT32 value, void* user_data);

// The panel-services table, in the order of the host's table. Every call the
// module makes into the host's panel goes through one of these slots.
struct PANELS {
    // Element-list processing of a gauge: the host's own drawing machinery.
    SINT32 (*element_list_query)(ELEMENT_HEADER* element);
    SINT32 (*element_list_install)(ELEMENT_HEADER* element, UINT32 word);
    SINT32 (*element_list_initialize)(ELEMENT_HEADER* element);
    SINT32 (*element_list_update)(ELEMENT_HEADER* element);
    SINT32 (*element_list_generate)(ELEMENT_HEADER* element, UINT32 word);
    SINT32 (*element_list_plot)(ELEMENT_HEADER* element);
    SINT32 (*element_list_kill)(ELEMENT_HEADER* element);
    // Shows or hides a panel window.
    void (*panel_window_toggle)(UINT32 window_id);
    // Raises a key event; every registered handler receives it.
    void (*trigger_key_event)(UINT32 event_id, UINT32 value);
    // Fills `var->value` with the current value of module variable `var->id`.
    void (*lookup_var)(MODULE_VAR* var);
    // Returns the id of a named variable, the same id for the same name.
    ID (*register_named_variable)(const char* name);
    // The value becomes readable by panels under the variable's name.
    void (*set_named_variable_value)(ID id, FLOAT64 value);
    // Evaluates a postfix calculator expression; stores into the non-null
    // result pointers. Returns true when the expression ran.
    bool (*execute_calculator_code)(const char* code, FLOAT64* fvalue, SINT32* ivalue,
                                    const char** svalue);
    bool (*register_key_event_handler)(GAUGE_KEY_EVENT_HANDLER handler, void* user_data);
    bool (*unregister_key_event_handler)(GAUGE_KEY_EVENT_HANDLER handler, void* user_data);
};

// [linkage] ---------------------------------------------------------------------
constexpr UINT32 PANELS_TABLE_ID = 0x0000000F;

// One entry of the import table: identifier and pointer. Ends with {0, null}.
struct IMPORT_ENTRY {
    UINT32 fnID;
    PANELS* fnptr;
};

struct IMPORT_TABLE {
    IMPORT_ENTRY PANELSentry;
    IMPORT_ENTRY nullentry;
};

typedef void (*MODULE_ROUTINE)(void);

constexpr int GAUGE_TABLE_CAPACITY = 7;  // six gauges and the terminating null

struct GAUGESLINKAGE {
    UINT32 ModuleID;
    MODULE_ROUTINE ModuleInit;
    MODULE_ROUTINE ModuleDeinit;
    UINT32 ModuleFlags;
    UINT32 ModuleStatus;
    UINT32 ModuleVersion;
    GAUGEHDR* gauge_header_ptrs[GAUGE_TABLE_CAPACITY];  // null-terminated
};

// Module variable ids that the module looks up.
constexpr ID MODULE_VAR_PANEL_LIGHTS = 10;  // above 0 while the panel lights are on
constexpr ID MODULE_VAR_PLANE_HEADING_DEGREES = 84;  // the aircraft's heading, degrees
constexpr ID MODULE_VAR_855 = 855;  // read only for an unused tooltip argument

}  // extern "C"
