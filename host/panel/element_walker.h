// The host's processing of a gauge's element list: on each update the walker
// follows the element chain from the gauge's root element in drawing order,
// calls every element callback and keeps what it found (needle angles, icon
// image indexes, slider and strip offsets, sprite rotations, string texts,
// drawing flags). The drawing reads only these views.
//
// What a value means per element kind:
//   needle        callback value -> angle through the (point, value) table:
//                 each table point's direction from the element's position
//                 (the pivot's place in the gauge), degrees clockwise from up;
//                 linear between entries and extrapolated beyond the ends
//   icon          value -> image index (0 first image); a value outside
//                 0 .. images-1 (such as -1) or NaN shows no image
//   slider        x and y callback values times their scales -> pixel offsets
//   moving image  y (and x) value clamped into its range -> strip offset in
//                 pixels: fraction of the range times (strip size - window size)
//   sprite        rotation from the module variable (if named) handed to the
//                 rotation callback, times the rotation scale; x/y offsets
//   string        the callback writes the text (at most the element's length)
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/gauge_interface.h"

namespace host {

constexpr size_t MAX_GAUGE_ELEMENTS = 256;  // a longer chain (or a loop) is cut here
constexpr size_t ELEMENT_TEXT_CAPACITY = 64;

struct ElementView {
    const ELEMENT_HEADER* element = nullptr;
    int32_t type = 0;
    ID bitmap = 0;        // resource id (icons: the first image)
    ID window_bitmap = 0; // moving image: the fixed window
    PIXPOINT position{0, 0};
    PIXPOINT pivot{0, 0};  // needle: pivot inside its image
    uint32_t flags = 0;    // drawing flags after the callbacks ran
    bool hidden = false;   // flag 0x40000000
    bool lit = false;      // flag 0x4000
    double value = 0.0;    // callback result (slider: x value)
    double value_y = 0.0;  // slider and moving image: y value
    double needle_deg = 0.0;
    int image_index = -1;  // icon
    int image_count = 0;   // icon
    double offset_x = 0.0, offset_y = 0.0;  // slider / sprite offsets, moving image strip offset (px)
    double rotation = 0.0;                  // sprite: as the element gives it (degrees for the compass card)
    PIXPOINT center{0, 0};                  // sprite: rotation centre in the gauge
    char text[ELEMENT_TEXT_CAPACITY] = {};  // string
    PIXBOX box{0, 0, 0, 0};                 // string box
    uint32_t fg_color = 0, bg_color = 0, hilite_color = 0;  // 0x00BBGGRR
    const char* font = nullptr;
    int32_t font_weight = 0;
    uint32_t text_flags = 0;

    // Needle: the table's point directions as last computed, used again while
    // the table (address, size, points) and the pivot are the same.
    static constexpr int CACHED_TABLE_POINTS = 8;
    const NONLINEARITY* angle_table = nullptr;
    int angle_count = 0;
    PIXPOINT angle_pivot{0, 0};
    PIXPOINT angle_points[CACHED_TABLE_POINTS] = {};
    double angles[CACHED_TABLE_POINTS] = {};
};

// What the walker asks of the host.
struct WalkContext {
    void* user = nullptr;
    double (*module_variable)(void* user, ID id) = nullptr;                 // lookup_var; null reads 0
    bool (*bitmap_size)(void* user, ID id, int* width, int* height) = nullptr;  // null: sizes unknown
};

// Walks the chain from `root` (an element, then its successors in order,
// depth first), calls the callbacks and writes one view per element into
// `out` (replacing what it held; give it MAX_GAUGE_ELEMENTS capacity to walk
// without allocating). `out` is empty or what the last walk left in it: a
// view of the same element at the same place as in the last walk is written
// over, so that what it keeps from the last update (a needle's table
// directions) is used again. An element met again is not walked twice.
// Returns the count.
size_t walk_elements(ELEMENT_HEADER* root, const WalkContext& context, std::vector<ElementView>& out);

// The needle angle (degrees clockwise from up) of `value` through the table.
double needle_angle(const ELEMENT_NEEDLE& needle, double value);

// Image index of an icon value: -1 outside 0 .. count-1 or for NaN.
int icon_image_index(double value, int count);

}  // namespace host
