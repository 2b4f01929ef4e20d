// The walker writes over the last walk's views and keeps a needle's table
// directions between updates: what it shows must be what a fresh walk shows,
// whatever changed in between.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "host/panel/element_walker.h"

namespace {

using host::ElementView;

double g_needle = 0.0;
FLOAT64 needle_cb(ELEMENT_HEADER*) { return g_needle; }
double g_drum = 0.0;
FLOAT64 drum_cb(ELEMENT_HEADER*) { return g_drum; }
bool g_sizes = true;

ELEMENT_HEADER header(SINT32 type, ID id, PIXPOINT pos, ELEMENT_HEADER** next = nullptr)
{
    return {type, id, pos, {0, 0}, {0, 0}, nullptr, nullptr, next, nullptr, 0, 0};
}

// A walk into a fresh vector: what the views must say.
std::vector<ElementView> fresh_walk(ELEMENT_HEADER* root, const host::WalkContext& ctx)
{
    std::vector<ElementView> out;
    host::walk_elements(root, ctx, out);
    return out;
}

TEST(ElementWalkerReuse, ViewsWrittenOverShowWhatAFreshWalkShows)
{
    NONLINEARITY table[] = {{{150, 50}, 0.0, 0.0}, {{250, 150}, 90.0, 0.0}, {{150, 250}, 180.0, 0.0}};
    ELEMENT_MOVING_IMAGE drum{header(ELEMENT_TYPE_MOVING_IMAGE, 1020, {205, 49}), 1021, nullptr, 0, 0, drum_cb,
                              0.0, 10.0, 0, 0};
    ELEMENT_HEADER* needle_next[] = {&drum.header, nullptr};
    ELEMENT_NEEDLE needle{header(ELEMENT_TYPE_NEEDLE, 1, {150, 150}, needle_next), needle_cb, table, 3, 0.0};
    host::WalkContext ctx;
    ctx.bitmap_size = [](void*, ID id, int* w, int* h) {
        *w = 14;
        *h = id == 1020 ? 253 : 23;
        return g_sizes;
    };
    std::vector<ElementView> reused;
    reused.reserve(host::MAX_GAUGE_ELEMENTS);

    // Each step changes something between two updates of the same elements.
    struct Step {
        const char* what;
        void (*change)(NONLINEARITY* table, ELEMENT_NEEDLE& needle);
    } steps[] = {
        {"first walk", [](NONLINEARITY*, ELEMENT_NEEDLE&) {
             g_needle = 45.0;
             g_drum = 4.0;
         }},
        {"same inputs", [](NONLINEARITY*, ELEMENT_NEEDLE&) {}},
        {"value in the second segment", [](NONLINEARITY*, ELEMENT_NEEDLE&) { g_needle = 135.0; }},
        {"a table point moved", [](NONLINEARITY* t, ELEMENT_NEEDLE&) { t[1].pt = {150, 250}; t[2].pt = {50, 150}; }},
        {"the pivot moved", [](NONLINEARITY*, ELEMENT_NEEDLE& n) { n.header.position = {150, 100}; }},
        {"a shorter table", [](NONLINEARITY*, ELEMENT_NEEDLE& n) { n.nonlinearity_table_size = 2; }},
        {"a point beyond its end moved", [](NONLINEARITY* t, ELEMENT_NEEDLE&) { t[2].pt = {250, 150}; }},
        {"the longer table again", [](NONLINEARITY*, ELEMENT_NEEDLE& n) { n.nonlinearity_table_size = 3; }},
        {"bitmap sizes unknown", [](NONLINEARITY*, ELEMENT_NEEDLE&) {
             g_sizes = false;
             g_drum = 5.0;
         }},
    };
    for (const Step& step : steps) {
        step.change(table, needle);
        host::walk_elements(&needle.header, ctx, reused);
        const std::vector<ElementView> expected = fresh_walk(&needle.header, ctx);
        ASSERT_EQ(reused.size(), expected.size()) << step.what;
        EXPECT_EQ(reused[0].needle_deg, expected[0].needle_deg) << step.what;
        EXPECT_EQ(reused[0].needle_deg, host::needle_angle(needle, g_needle)) << step.what;
        EXPECT_EQ(reused[1].offset_y, expected[1].offset_y) << step.what;
        EXPECT_EQ(reused[0].position.x, needle.header.position.x) << step.what;
    }
    EXPECT_EQ(reused[1].offset_y, 0.0);  // no sizes: no strip offset, not the last one
    EXPECT_EQ(reused.capacity(), host::MAX_GAUGE_ELEMENTS);
}

TEST(ElementWalkerReuse, AnotherElementAtAViewsPlaceGetsAFreshView)
{
    NONLINEARITY table[] = {{{150, 50}, 0.0, 0.0}, {{150, 250}, 180.0, 0.0}};
    ELEMENT_NEEDLE a{header(ELEMENT_TYPE_NEEDLE, 1, {150, 150}), needle_cb, table, 2, 0.0};
    ELEMENT_ICON b{header(ELEMENT_TYPE_ICON, 2, {0, 0}), needle_cb, 0, 2, 1.0, 0, 0};
    host::WalkContext ctx;
    std::vector<ElementView> out;
    g_needle = 1.0;
    host::walk_elements(&a.header, ctx, out);
    EXPECT_EQ(out[0].angle_table, table);
    host::walk_elements(&b.header, ctx, out);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].type, ELEMENT_TYPE_ICON);
    EXPECT_EQ(out[0].image_index, 1);
    EXPECT_EQ(out[0].angle_table, nullptr);
    EXPECT_EQ(out[0].needle_deg, 0.0);
}

// An element met again (a loop back, a successor two elements share) is
// walked once, however the chain changed since the last walk over the same
// views; the views are what a fresh walk makes.
int g_calls[3] = {};
FLOAT64 count_a(ELEMENT_HEADER*) { return ++g_calls[0], 0.0; }
FLOAT64 count_b(ELEMENT_HEADER*) { return ++g_calls[1], 0.0; }
FLOAT64 count_c(ELEMENT_HEADER*) { return ++g_calls[2], 0.0; }

TEST(ElementWalkerReuse, AnElementMetAgainIsWalkedOnceWhateverTheLastWalk)
{
    ELEMENT_HEADER* next_a[3] = {};
    ELEMENT_HEADER* next_b[3] = {};
    ELEMENT_HEADER* next_c[3] = {};
    ELEMENT_ICON a{header(ELEMENT_TYPE_ICON, 1, {0, 0}, next_a), count_a, 0, 2, 0.0, 0, 0};
    ELEMENT_ICON b{header(ELEMENT_TYPE_ICON, 2, {0, 0}, next_b), count_b, 0, 2, 0.0, 0, 0};
    ELEMENT_ICON c{header(ELEMENT_TYPE_ICON, 3, {0, 0}, next_c), count_c, 0, 2, 0.0, 0, 0};
    ELEMENT_HEADER *A = &a.header, *B = &b.header, *C = &c.header;
    struct Chain {
        const char* what;
        ELEMENT_HEADER* root;
        std::vector<ELEMENT_HEADER*> a, b, c;  // each element's successors
        std::vector<ELEMENT_HEADER*> walked;   // the views, in order
    } chains[] = {
        {"A B C", A, {B}, {C}, {}, {A, B, C}},
        {"the last back to the first", A, {B}, {C}, {A}, {A, B, C}},
        {"C B and back to C, where the last walk had C third", C, {}, {C}, {B}, {C, B}},
        {"a loop to the first after the same start", A, {B}, {A}, {}, {A, B}},
        {"a successor two elements share", A, {B, C}, {C}, {}, {A, C, B}},  // extra successors first
        {"an element its own successor", B, {}, {B}, {}, {B}},
        {"A B C again", A, {B}, {C}, {}, {A, B, C}},
    };
    host::WalkContext ctx;
    std::vector<ElementView> reused;
    reused.reserve(host::MAX_GAUGE_ELEMENTS);
    for (const Chain& chain : chains) {
        auto link = [](ELEMENT_HEADER** next, const std::vector<ELEMENT_HEADER*>& to) {
            for (size_t i = 0; i < 3; ++i) next[i] = i < to.size() ? to[i] : nullptr;
        };
        link(next_a, chain.a);
        link(next_b, chain.b);
        link(next_c, chain.c);
        std::fill(std::begin(g_calls), std::end(g_calls), 0);
        ASSERT_EQ(host::walk_elements(chain.root, ctx, reused), chain.walked.size()) << chain.what;
        for (size_t i = 0; i < chain.walked.size(); ++i) EXPECT_EQ(reused[i].element, chain.walked[i]) << chain.what;
        for (int calls : g_calls) EXPECT_LE(calls, 1) << chain.what;
        EXPECT_EQ(fresh_walk(chain.root, ctx).size(), chain.walked.size()) << chain.what;
    }
}

}  // namespace
