// The host's gauge panel pieces on their own: the element walker, the
// mouse-area hit test and the tooltip formatter.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "host/panel/element_walker.h"
#include "host/panel/mouse_areas.h"
#include "host/panel/tooltip_format.h"

namespace {

using host::ElementView;
using host::TooltipValue;

double g_value = 0.0;
FLOAT64 value_cb(ELEMENT_HEADER*) { return g_value; }
FLOAT64 hiding_cb(ELEMENT_HEADER* e)
{
    e->image_flags |= IMAGE_HIDDEN;
    return 3.0;
}
FLOAT64 card_cb(ELEMENT_HEADER* e) { return reinterpret_cast<ELEMENT_SPRITE*>(e)->rotation_var_value; }
FLOAT64 string_cb(ELEMENT_STRING* e)
{
    std::memset(e->string, 'A', static_cast<size_t>(e->max_string_length) + 1);  // no terminator written
    return 0.0;
}

ELEMENT_HEADER header(SINT32 type, ID id, PIXPOINT pos, ELEMENT_HEADER** next = nullptr)
{
    return {type, id, pos, {0, 0}, {0, 0}, nullptr, nullptr, next, nullptr, 0x4003, 0};
}

TEST(ElementWalker, NeedleAnglesFollowTheTableAndExtrapolate)
{
    NONLINEARITY table[] = {{{150, 50}, 0.0, 0.0}, {{150, 250}, 180.0, 0.0}};
    ELEMENT_NEEDLE needle{header(ELEMENT_TYPE_NEEDLE, 1, {150, 150}), value_cb, table, 2, 0.0};
    struct Case {
        double value, angle;
    } cases[] = {{0, 0}, {90, 90}, {180, 180}, {270, 270}, {-90, -90}, {45, 45}};
    for (const Case& c : cases) EXPECT_NEAR(host::needle_angle(needle, c.value), c.angle, 1e-9) << c.value;
    // A table whose second point lies to the right: 0 -> up, 10 -> 90 degrees.
    NONLINEARITY quarter[] = {{{246, 8}, 0.0, 0.0}, {{300, 60}, 10.0, 0.0}};
    ELEMENT_NEEDLE knob{header(ELEMENT_TYPE_NEEDLE, 1, {246, 60}), value_cb, quarter, 2, 0.0};
    EXPECT_NEAR(host::needle_angle(knob, 5.0), 45.0, 1e-9);
    EXPECT_EQ(host::needle_angle(knob, NAN), 0.0);
}

TEST(ElementWalker, IconIndexes)
{
    struct Case {
        double value;
        int count, index;
    } cases[] = {{0, 2, 0}, {1, 2, 1}, {1.9, 2, 1}, {2, 2, -1}, {-1, 2, -1}, {-0.5, 2, -1}, {NAN, 2, -1}, {1e300, 2, -1}, {0, 0, -1}};
    for (const Case& c : cases) EXPECT_EQ(host::icon_image_index(c.value, c.count), c.index) << c.value;
}

TEST(ElementWalker, WalksTheChainInOrderAndKeepsEveryKindsValue)
{
    char text[6] = "";
    ELEMENT_STRING str{header(ELEMENT_TYPE_STRING, 0, {114, 190}), string_cb, {114, 190, 85, 35}, 0xFFFFFF, 0, 0,
                       "Arial", 700, 1, 0x26, 5, text};
    ELEMENT_HEADER* str_next[] = {&str.header, nullptr};
    ELEMENT_SPRITE card{header(ELEMENT_TYPE_SPRITE, 1110, {0, 0}, str_next), {150, 150}, nullptr, 1.0, nullptr, 1.0,
                        card_cb, 2.0, 84, 1.0, 1.0, 0.0};
    ELEMENT_HEADER* card_next[] = {&card.header, nullptr};
    ELEMENT_MOVING_IMAGE drum{header(ELEMENT_TYPE_MOVING_IMAGE, 1020, {205, 49}, card_next), 1021, nullptr, 0, 0,
                              value_cb, 0.0, 10.0, 0, 0};
    ELEMENT_HEADER* drum_next[] = {&drum.header, nullptr};
    ELEMENT_SLIDER bar{header(ELEMENT_TYPE_SLIDER, 1130, {148, 94}, drum_next), value_cb, 13.0, nullptr, 1.0, 0, 0};
    ELEMENT_HEADER* bar_next[] = {&bar.header, nullptr};
    ELEMENT_ICON icon{header(ELEMENT_TYPE_ICON, 1170, {172, 142}, bar_next), hiding_cb, 0, 2, 1.0, 0, 0};
    ELEMENT_HEADER* icon_next[] = {&icon.header, nullptr};
    ELEMENT_STATIC_IMAGE face{header(ELEMENT_TYPE_STATIC_IMAGE, 1210, {0, 0}, icon_next)};

    host::WalkContext ctx;
    ctx.module_variable = [](void*, ID id) { return id == 84 ? 33.0 : 0.0; };
    ctx.bitmap_size = [](void*, ID id, int* w, int* h) {
        *w = 14;
        *h = id == 1020 ? 253 : 23;
        return id == 1020 || id == 1021;
    };
    std::vector<ElementView> out;
    out.reserve(host::MAX_GAUGE_ELEMENTS);
    g_value = 4.0;
    ASSERT_EQ(host::walk_elements(&face.header, ctx, out), 6u);
    EXPECT_EQ(out[0].bitmap, 1210);
    EXPECT_EQ(out[1].image_index, -1);  // value 3 with two images
    EXPECT_TRUE(out[1].hidden);         // flags read after the callback
    EXPECT_TRUE(out[1].lit);
    EXPECT_EQ(out[2].offset_x, 52.0);   // 4 * 13 px
    EXPECT_EQ(out[2].offset_y, 0.0);
    EXPECT_EQ(out[3].offset_y, 92.0);   // 4 of 10 -> 4 * 23 px
    EXPECT_EQ(card.rotation_var_value, 33.0);
    EXPECT_EQ(out[4].rotation, 66.0);   // callback value times the scale
    EXPECT_STREQ(out[5].text, "AAAAA");  // never past the element's length
    g_value = 12.0;  // beyond the drum's range: clamped
    host::walk_elements(&face.header, ctx, out);
    EXPECT_EQ(out[3].offset_y, 230.0);
    EXPECT_EQ(out.capacity(), host::MAX_GAUGE_ELEMENTS);
}

TEST(ElementWalker, ALoopInTheChainIsWalkedOnce)
{
    ELEMENT_STATIC_IMAGE a{}, b{};
    ELEMENT_HEADER* a_next[] = {&b.header, nullptr};
    ELEMENT_HEADER* b_next[] = {&a.header, nullptr};
    a.header = header(ELEMENT_TYPE_STATIC_IMAGE, 1, {0, 0}, a_next);
    b.header = header(ELEMENT_TYPE_STATIC_IMAGE, 2, {0, 0}, b_next);
    std::vector<ElementView> out;
    EXPECT_EQ(host::walk_elements(&a.header, host::WalkContext{}, out), 2u);
}

bool clicked(PIXPOINT, UINT32) { return false; }

TEST(MouseAreas, NestedAreasInOrder)
{
    MOUSERECT rects[] = {
        {MOUSE_RECT_PARENT, {0, 0, 0, 0}, CURSOR_NONE, 0, 0, 0, nullptr, nullptr, nullptr},
        {MOUSE_RECT_TOOLTIP, {0, 0, 100, 100}, CURSOR_NONE, 0, 0, 0, nullptr, "tip one", nullptr},
        {MOUSE_RECT_CHILD, {10, 10, 20, 20}, CURSOR_HAND, 0, MOUSE_LEFTSINGLE, 0, clicked, nullptr, nullptr},
        {MOUSE_RECT_PARENT, {50, 50, 50, 50}, CURSOR_NONE, 0, 0, 0, nullptr, nullptr, nullptr},
        {MOUSE_RECT_CHILD, {0, 0, 0, 0}, CURSOR_HAND, 0, MOUSE_WHEEL_UP, 0, clicked, "inner", nullptr},
        {MOUSE_RECT_END_PARENT, {0, 0, 0, 0}, CURSOR_NONE, 0, 0, 0, nullptr, nullptr, nullptr},
        {MOUSE_RECT_END_PARENT, {0, 0, 0, 0}, CURSOR_NONE, 0, 0, 0, nullptr, nullptr, nullptr},
        {MOUSE_RECT_EOL, {0, 0, 0, 0}, CURSOR_NONE, 0, 0, 0, nullptr, nullptr, nullptr},
    };
    EXPECT_EQ(host::mouse_area_count(rects), 3);
    EXPECT_EQ(host::mouse_area(rects, 2), &rects[2]);
    EXPECT_EQ(host::mouse_area(rects, 4), nullptr);
    EXPECT_EQ(host::find_click_area(rects, {15, 15}, MOUSE_LEFTSINGLE), 2);
    EXPECT_EQ(host::find_click_area(rects, {30, 15}, MOUSE_LEFTSINGLE), 0);  // right edge is outside
    EXPECT_EQ(host::find_click_area(rects, {15, 15}, MOUSE_WHEEL_UP), 0);    // flags not accepted
    EXPECT_EQ(host::find_click_area(rects, {60, 60}, MOUSE_WHEEL_UP), 3);    // inside the inner parent
    EXPECT_EQ(host::find_click_area(rects, {40, 40}, MOUSE_WHEEL_UP), 0);    // outside it
    EXPECT_EQ(host::find_tooltip_area(rects, {60, 60}), 1);                   // the first in order wins
    EXPECT_EQ(host::find_tooltip_area(rects, {150, 150}), 0);
    EXPECT_EQ(host::area_centre(rects[2]).x, 20);
}

TEST(TooltipFormat, NumberedArguments)
{
    const TooltipValue values[] = {
        {false, 108.0, nullptr}, {true, 0.0, "on"}, {false, 1.0, nullptr}, {true, 0, "TACAN (NAV1) Channel X17 - Frequency"},
        {false, -2.75, nullptr}, {true, 0, nullptr},
    };
    struct Case {
        const char* text;
        const char* expected;
    } cases[] = {
        {"%4!s! %1!07.3f! MHz", "TACAN (NAV1) Channel X17 - Frequency 108.000 MHz"},
        {"Tone switch (%2!s!)", "Tone switch (on)"},
        {"TCN_is_valid (%3!d!)", "TCN_is_valid (1)"},
        {"(%5!6.2f!) (%5!d!)", "( -2.75) (-2)"},
        {"ILS or TACAN (%6!s!)", "ILS or TACAN ()"},
        {"%9!d! %0!d! %1!q! 100%% %1", "? %0!d! %1!q! 100% %1"},
        {"%1!s!|%2!5s!|%2!-4s!|%1!x!", "108|   on|on  |6c"},
        {"%1!99.99f!", nullptr},  // bounded; checked below
    };
    std::string out;
    for (const Case& c : cases) {
        host::format_tooltip(c.text, values, 6, out);
        if (c.expected) {
            EXPECT_EQ(out, c.expected) << c.text;
        }
    }
    const TooltipValue huge[] = {{false, 1e300, nullptr}, {false, NAN, nullptr}};
    host::format_tooltip("%1!99.99f! %2!d! %1!d!", huge, 2, out);
    EXPECT_LE(out.size(), host::TOOLTIP_MAX_LENGTH);
    EXPECT_NE(out.find(" 0 9200000000000000000"), std::string::npos);
}

FLOAT64 tip_number(FLOAT64 base, const MOUSE_TOOLTIP_ARG*) { return base + 0.5; }
const char* tip_text(FLOAT64, const MOUSE_TOOLTIP_ARG*) { return "off"; }

TEST(TooltipFormat, ArgumentListsEndAtTheEmptyEntry)
{
    MOUSE_TOOLTIP_ARG args[] = {{855, 2.0, tip_number, nullptr}, {0, 1.0, nullptr, tip_text}, {0, 0, nullptr, nullptr}};
    TooltipValue values[host::TOOLTIP_MAX_ARGS];
    const size_t n = host::resolve_tooltip_args(args, [](void*, ID id) { return id == 855 ? 10.0 : 0.0; }, nullptr, values);
    ASSERT_EQ(n, 2u);
    EXPECT_EQ(values[0].number, 20.5);
    EXPECT_TRUE(values[1].is_text);
    EXPECT_STREQ(values[1].text, "off");
    EXPECT_EQ(host::resolve_tooltip_args(nullptr, nullptr, nullptr, values), 0u);
}

}  // namespace
