// The sub-panel closer: its command parser, install-time commands and click
// commands against the recording fake of the panel services.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "fake_panels.h"
#include "gauges/close_subpanel.h"
#include "module/gauge_registry.h"

namespace {

using Keys = std::vector<std::pair<uint32_t, uint32_t>>;

class CloseSubpanelTest : public ::testing::Test {
protected:
    FakePanels fake;
    GAUGEHDR header{};
    std::string text;

    void TearDown() override
    {
        close_subpanel_elements[0]->resource_id = 150;
        close_subpanel_mouse_rects[0].help_id = 0;
        closeSubpanelHeader = nullptr;
    }
    void install(const char* parameters)
    {
        header = gaugehdr_Close_Subpanel;
        text = parameters ? parameters : "";
        header.parameters = parameters ? text.c_str() : nullptr;
        header.gauge_callback(&header, PANEL_SERVICE_PRE_INSTALL, 0);
    }
    Keys keys() const
    {
        Keys out;
        for (const auto& k : fake.keyEvents) out.emplace_back(k.id, k.value);
        return out;
    }
    Keys click(const char* parameters)
    {
        install(parameters);
        fake.keyEvents.clear();
        close_subpanel_click({8, 8}, MOUSE_LEFTSINGLE);
        return keys();
    }
};

TEST(PanelCommandParser, CommentMarksHideEveryLaterCommand)
{
    struct Case {
        const char* text;
        char letter;
        const char* argument;  // null: not found
    } cases[] = {
        {"c50", 'c', "50"}, {"o50 // c75", 'c', nullptr}, {"o50 // c75", 'o', "50 // c75"}, {"#c5", 'c', nullptr},
        {"x'c5", 'c', nullptr}, {"c5 #", 'c', "5 #"}, {"", 'c', nullptr}, {"C5", 'c', nullptr},
    };
    for (const Case& c : cases) {
        const char* found = find_panel_command(c.text, c.letter);
        if (c.argument) EXPECT_STREQ(found, c.argument) << c.text;
        else EXPECT_EQ(found, nullptr) << c.text;
    }
    EXPECT_EQ(find_panel_command(nullptr, 'c'), nullptr);
}

TEST(PanelCommandParser, PanelAndHelpIdentifiers)
{
    struct Case {
        const char* argument;
        int32_t panel, help;
    } cases[] = {
        {"RADIO_STACK_PANEL", 50, 0}, {" RADIO_STACK_PANEL", 0, 0}, {"ANNUNCIATOR2_PANEL", 150, 0},
        {"OVERHEAD_PANEL x", 250, 0}, {"75", 75, 0},               {"-3", -3, 0},
        {"", -1, 0},                  {"TOGGLE_GPS_WINDOW", 0, 43911}, {"TOGGLE_COLLECTIVE_WINDOW", 0, 43915},
        {"1234", 1234, 0},            {"43920", 43920, 43920},    {"99999999999", INT32_MAX, INT32_MAX},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(panel_identifier(c.argument), c.panel) << c.argument;
        EXPECT_EQ(window_help_identifier(c.argument), c.help) << c.argument;
    }
    EXPECT_EQ(panel_identifier(nullptr), -1);
    EXPECT_EQ(read_decimal("-99999999999"), INT32_MIN);
    EXPECT_EQ(read_decimal("  +12x"), 12);
}

TEST_F(CloseSubpanelTest, ClickCommands)
{
    struct Case {
        const char* text;
        Keys keys;
    } cases[] = {
        {"cRADIO_STACK_PANEL", {{0x103CC, 50}}},
        {"c RADIO_STACK_PANEL", {{0x103CC, 0}}},
        {"c50 c75", {{0x103CC, 50}, {0x103CC, 75}}},
        {"o50 // c75", {{0x103CB, 50}}},
        {"p-2", {{0x100C7, 0}, {0x100C7, 0}}},
        {"p3", {{0x100C6, 0}, {0x100C6, 0}, {0x100C6, 0}}},
        {"p0", {{0x10153, 0}}},
        {"tGPS_PANEL o10 c", {{0x103CB, 10}, {0x103CA, 225}}},  // a bare "c" names no panel
        {"p2 p5", {{0x100C6, 0}, {0x100C6, 0}}},                  // only the first "p"
        {"p-1 t10 c75 o50", {{0x103CB, 50}, {0x103CC, 75}, {0x103CA, 10}, {0x100C7, 0}}},  // o, c, t, p whatever the text's order
    };
    for (const Case& c : cases) EXPECT_EQ(click(c.text), c.keys) << c.text;
}

TEST_F(CloseSubpanelTest, APanelKeyCountIsBoundedPerClick)
{
    EXPECT_EQ(click("p1000000").size(), static_cast<size_t>(PANEL_KEY_REPEAT_LIMIT));
    EXPECT_EQ(click("p-2147483648").size(), static_cast<size_t>(PANEL_KEY_REPEAT_LIMIT));
    EXPECT_EQ(click("p100").size(), 100u);
    EXPECT_EQ(click("p99").size(), 99u);
}

TEST_F(CloseSubpanelTest, NoParameterTextTogglesWindowZero)
{
    for (const char* parameters : {static_cast<const char*>(nullptr), ""}) {
        fake.windowToggles.clear();
        EXPECT_TRUE(click(parameters).empty());
        ASSERT_EQ(fake.windowToggles.size(), 1u);
        EXPECT_EQ(fake.windowToggles[0], 0u);
        EXPECT_EQ(header.user_data, 1u);
    }
}

TEST_F(CloseSubpanelTest, BitmapAndHelpCommandsAtInstall)
{
    struct Case {
        const char* text;
        ID bitmap;
        ID help;
    } cases[] = {
        {"b155", 150, 0},         {"b360", 360, 0}, {"b155 hTOGGLE_GPS_WINDOW", 150, 0},
        {"hTOGGLE_GPS_WINDOW", 150, 43911}, {"h1234", 150, 0}, {"b90", 150, 0}, {"b370", 150, 0},
        {"b100 h43999", 100, 43999},
    };
    for (const Case& c : cases) {
        install(c.text);
        EXPECT_EQ(close_subpanel_elements[0]->resource_id, c.bitmap) << c.text;
        EXPECT_EQ(close_subpanel_mouse_rects[0].help_id, c.help) << c.text;
        close_subpanel_elements[0]->resource_id = 150;
        close_subpanel_mouse_rects[0].help_id = 0;
    }
}

TEST_F(CloseSubpanelTest, TheCloseCommandAtInstallRunsOncePerPlacement)
{
    install("aCOMPASS_PANEL");
    EXPECT_EQ(keys(), (Keys{{0x103CC, 75}}));
    EXPECT_EQ(header.user_data, 1u);
    header.gauge_callback(&header, PANEL_SERVICE_PRE_INSTALL, 0);  // a second install of this placement
    EXPECT_EQ(keys().size(), 1u);
    install("a");  // a fresh placement with no panel named
    EXPECT_EQ(keys().size(), 1u);
    EXPECT_EQ(header.user_data, 1u);
    header.gauge_callback(nullptr, PANEL_SERVICE_PRE_INSTALL, 0);  // no header: nothing
}

}  // namespace
