// The TACAN radio gauge against the recording fake of the panel services:
// channel arithmetic, knobs, switches, tooltip texts and the gauge records.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "fake_panels.h"
#include "gauges/carrier_indicator.h"
#include "gauges/radio_tacan.h"
#include "module/gauge_registry.h"
#include "state/module_state.h"

namespace {

class RadioTest : public ::testing::Test {
protected:
    FakePanels fake;
    void SetUp() override
    {
        radioTacan = RadioTacanState{};
        tacanMainSwitch = 1;
        tacanReceiver = 1;
        tunedTacanFrequency = 0.0;
        tuningChanged = 0;
        panelLightsOn = 0;
        // The lighting step of an earlier update may have changed these two.
        ELEMENT_HEADER* background = radio_tacan_elements[0];
        background->image_flags = 0x3;
        background->next_element[0]->image_flags = 0x4003;
    }
    void TearDown() override
    {
        radioTacan = RadioTacanState{};
        tacanMainSwitch = 1;
        tacanReceiver = 0;
    }
    void set_channel(int32_t c)
    {
        radioTacan.channel = c;
        radioTacan.channelTens = c / 10;
        radioTacan.channelUnits = c % 10;
    }
};

TEST_F(RadioTest, FrequencyToChannelCoversBothBandsAndTheYOffset)
{
    struct Case {
        double mhz;
        int32_t channel, tens, units, xy;
    } cases[] = {
        {108.00, 17, 1, 7, 0}, {108.05, 17, 1, 7, 1}, {112.20, 59, 5, 9, 0}, {112.30, 70, 7, 0, 0},
        {117.95, 126, 12, 6, 1}, {112.70, 74, 7, 4, 0}, {109.15, 28, 2, 8, 1},
    };
    for (const Case& c : cases) {
        radioTacan.channel = 0;
        EXPECT_EQ(channel_from_frequency(c.mhz), c.channel) << c.mhz;
        EXPECT_EQ(radioTacan.channelTens, c.tens) << c.mhz;
        EXPECT_EQ(radioTacan.channelUnits, c.units) << c.mhz;
        EXPECT_EQ(radioTacan.xyMode, c.xy) << c.mhz;
    }
}

TEST_F(RadioTest, FrequencyOutsideTheBandsKeepsTheChannelButSetsTheMode)
{
    for (double mhz : {107.95, 118.0, 0.0, -5.0, 1e300}) {
        set_channel(40);
        EXPECT_EQ(channel_from_frequency(mhz), 40) << mhz;
    }
    set_channel(40);
    channel_from_frequency(107.95);
    EXPECT_EQ(radioTacan.xyMode, 1);
    channel_from_frequency(std::nan(""));  // a NaN neither converts nor moves the channel
    EXPECT_EQ(radioTacan.channel, 40);
}

TEST_F(RadioTest, ChannelToFrequencyPairsEveryChannelAndKeepsTheFrequencyOutside)
{
    struct Case {
        int32_t channel, xy;
        double mhz;
    } cases[] = {{17, 0, 108.00}, {17, 1, 108.05}, {59, 1, 112.25}, {70, 0, 112.30}, {126, 1, 117.95}};
    for (const Case& c : cases) {
        set_channel(c.channel);
        radioTacan.xyMode = c.xy;
        EXPECT_NEAR(frequency_from_channel(), c.mhz, 1e-9) << c.channel;
    }
    set_channel(65);
    radioTacan.frequency = 113.456;
    radioTacan.xyMode = 1;
    EXPECT_NEAR(frequency_from_channel(), 113.50, 1e-9);  // trunc(11345.6) + 5
}

TEST_F(RadioTest, KnobsStepChannelsAsTheControlHeadDoes)
{
    struct Case {
        void (*knob)();
        int32_t from, to;
    } cases[] = {
        {tens_knob_increase, 57, 77},   {tens_knob_increase, 107, 17}, {tens_knob_increase, 112, 22},
        {tens_knob_increase, 120, 20},  {tens_knob_decrease, 77, 57},  {tens_knob_decrease, 27, 117},
        {tens_knob_decrease, 22, 122},  {units_knob_increase, 19, 17}, {units_knob_increase, 126, 120},
        {units_knob_increase, 29, 20},  {units_knob_decrease, 17, 19}, {units_knob_decrease, 120, 126},
        {units_knob_decrease, 20, 29},  {units_knob_increase, 73, 74}, {units_knob_decrease, 74, 73},
    };
    for (const Case& c : cases) {
        set_channel(c.from);
        c.knob();
        EXPECT_EQ(radioTacan.channel, c.to) << c.from;
        EXPECT_EQ(radioTacan.channelTens, c.to / 10) << c.from;
        EXPECT_EQ(radioTacan.channelUnits, c.to % 10) << c.from;
    }
}

TEST_F(RadioTest, AKnobStepTurnsItsKnobShowsTheWindowAndTunesTheReceiver)
{
    set_channel(73);
    tacanReceiver = 2;
    units_knob_increase();
    EXPECT_EQ(radioTacan.rightKnobAngle, 10.0);
    EXPECT_EQ(radioTacan.leftKnobAngle, 0.0);
    EXPECT_EQ(radioTacan.frequencyCountdown, 60);
    EXPECT_NEAR(radioTacan.frequency, 112.70, 1e-9);
    ASSERT_EQ(fake.keyEvents.size(), 1u);
    EXPECT_EQ(fake.keyEvents[0].id, 0x100ADu);
    EXPECT_EQ(fake.keyEvents[0].value, 0x11270u);
    tens_knob_decrease();
    EXPECT_EQ(radioTacan.leftKnobAngle, -10.0);
    EXPECT_EQ(radioTacan.channel, 54);
}

// Each knob turns its own drawing angle, up for an increase and down for a
// decrease, by ten degrees a step.
TEST_F(RadioTest, EachKnobStepTurnsItsDrawingAngleByTenDegreesInItsDirection)
{
    struct Case {
        void (*knob)();
        double left, right;
    } cases[] = {{tens_knob_increase, 10, 0}, {tens_knob_decrease, -10, 0},
                 {units_knob_increase, 0, 10}, {units_knob_decrease, 0, -10}};
    for (const Case& c : cases) {
        radioTacan.leftKnobAngle = radioTacan.rightKnobAngle = 0.0;
        set_channel(73);
        c.knob();
        c.knob();
        EXPECT_EQ(radioTacan.leftKnobAngle, 2 * c.left);
        EXPECT_EQ(radioTacan.rightKnobAngle, 2 * c.right);
    }
}

TEST_F(RadioTest, XySwitchAddsOrRemovesFiftyKilohertzAndLeavesTheChannel)
{
    set_channel(17);
    radioTacan.frequency = 108.00;
    xy_switch_click();
    EXPECT_NEAR(radioTacan.frequency, 108.05, 1e-9);
    EXPECT_EQ(radioTacan.xyMode, 1);
    EXPECT_EQ(radioTacan.channel, 17);
    ASSERT_EQ(fake.keyEvents.size(), 1u);
    EXPECT_EQ(fake.keyEvents[0].value, 0x10805u);
    xy_switch_click();
    EXPECT_NEAR(radioTacan.frequency, 108.00, 1e-9);
    EXPECT_EQ(radioTacan.xyMode, 0);
}

TEST_F(RadioTest, ToneSwitchRaisesTheEventOfItsStateAndReceiverThenInverts)
{
    struct Case {
        uint8_t tone;
        int32_t receiver;
        uint32_t event;
    } cases[] = {{1, 2, 0x10129}, {1, 1, 0x10128}, {0, 1, 0x1012D}, {0, 2, 0x1012E}, {0, 0, 0x1012D}};
    for (const Case& c : cases) {
        fake.keyEvents.clear();
        radioTacan.toneSwitch = c.tone;
        tacanReceiver = c.receiver;
        tone_switch_click();
        ASSERT_EQ(fake.keyEvents.size(), 1u);
        EXPECT_EQ(fake.keyEvents[0].id, c.event);
        EXPECT_EQ(fake.keyEvents[0].value, 0u);
        EXPECT_EQ(radioTacan.toneSwitch, !c.tone);
    }
}

TEST_F(RadioTest, MainSwitchOffBlocksEveryControlButItself)
{
    set_channel(40);
    radioTacan.frequency = 110.30;
    main_switch_click();
    EXPECT_EQ(tacanMainSwitch, 0);
    const RadioTacanState before = radioTacan;
    for (void (*control)() : {tens_knob_increase, tens_knob_decrease, units_knob_increase, units_knob_decrease,
                              xy_switch_click, tone_switch_click})
        control();
    EXPECT_EQ(std::memcmp(&before, &radioTacan, sizeof before), 0);
    EXPECT_TRUE(fake.keyEvents.empty());
    main_switch_click();
    EXPECT_EQ(tacanMainSwitch, 1);
}

TEST_F(RadioTest, ChannelDescriptionPutsTheLetterBeforeTheDigits)
{
    struct Case {
        int32_t receiver, channel, xy;
        const char* text;
    } cases[] = {
        {1, 17, 0, "TACAN (NAV1) Channel X17 - Frequency"},
        {2, 126, 1, "TACAN (NAV2) Channel Y126 - Frequency"},
        {0, 7, 0, "TACAN (NAV1) Channel X7 - Frequency"},
        {1, 0, 1, "TACAN (NAV1) Channel Y0 - Frequency"},
    };
    for (const Case& c : cases) {
        tacanReceiver = c.receiver;
        set_channel(c.channel);
        radioTacan.xyMode = c.xy;
        EXPECT_STREQ(channel_description(), c.text);
    }
}

// The records the host processes.
TEST_F(RadioTest, ElementChainHoldsTwelveElementsInDrawingOrder)
{
    struct Expected {
        SINT32 type;
        ID bitmap;
        PIXPOINT position;
        UINT32 flags;
    } expected[] = {
        {ELEMENT_TYPE_STATIC_IMAGE, 1000, {0, 0}, 0x3},   {ELEMENT_TYPE_MOVING_IMAGE, 1020, {205, 49}, 0x4003},
        {ELEMENT_TYPE_MOVING_IMAGE, 1020, {191, 49}, 0x4003}, {ELEMENT_TYPE_ICON, 1040, {181, 49}, 0x4003},
        {ELEMENT_TYPE_ICON, 1030, {164, 49}, 0x4003},     {ELEMENT_TYPE_NEEDLE, 1010, {246, 60}, 0x4003},
        {ELEMENT_TYPE_NEEDLE, 1010, {137, 60}, 0x4003},   {ELEMENT_TYPE_ICON, 1080, {294, 64}, 0x4003},
        {ELEMENT_TYPE_ICON, 1060, {294, 96}, 0x4003},     {ELEMENT_TYPE_ICON, 1050, {45, 60}, 0x4003},
        {ELEMENT_TYPE_STRING, 0, {288, 9}, 0x7},          {ELEMENT_TYPE_ICON, 1070, {371, 64}, 0x7},
    };
    ELEMENT_HEADER* e = gaugehdr_Radio_TACAN_ARN52B.elements_list[0];
    for (const Expected& x : expected) {
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->element_type, x.type);
        EXPECT_EQ(e->resource_id, x.bitmap);
        EXPECT_EQ(e->position.x, x.position.x);
        EXPECT_EQ(e->position.y, x.position.y);
        EXPECT_EQ(e->image_flags & ~IMAGE_HIDDEN, x.flags) << x.bitmap;
        e = e->next_element ? e->next_element[0] : nullptr;
    }
    EXPECT_EQ(e, nullptr);
}

TEST_F(RadioTest, FrequencyWindowShowsForSixtyUpdatesAfterAKnobClick)
{
    ELEMENT_HEADER* e = gaugehdr_Radio_TACAN_ARN52B.elements_list[0];
    while (e->element_type != ELEMENT_TYPE_STRING) e = e->next_element[0];
    auto* window = reinterpret_cast<ELEMENT_STRING*>(e);
    window->callback(window);
    EXPECT_TRUE(e->image_flags & IMAGE_HIDDEN);  // dark at load
    set_channel(16);
    units_knob_increase();  // 17X
    int shown = 0;
    for (int i = 0; i < 80; ++i) {
        window->callback(window);
        shown += !(e->image_flags & IMAGE_HIDDEN);
    }
    EXPECT_EQ(shown, 60);
    EXPECT_STREQ(window->string, "108.00");
    units_knob_increase();
    tacanMainSwitch = 0;  // switched off: dark, and the countdown waits
    window->callback(window);
    EXPECT_TRUE(e->image_flags & IMAGE_HIDDEN);
    EXPECT_EQ(radioTacan.frequencyCountdown, 60);
    tacanMainSwitch = 1;
    radioTacan.frequency = 1e300;  // any frequency stays inside the seven characters
    window->callback(window);
    EXPECT_EQ(std::strlen(window->string), 7u);
}

TEST_F(RadioTest, PreInstallSilencesTheToneAndReadsTheReceiver)
{
    tacanReceiver = 2;
    tunedTacanFrequency = 112.70;
    GAUGEHDR header = gaugehdr_Radio_TACAN_ARN52B;
    header.gauge_callback(&header, PANEL_SERVICE_PRE_INSTALL, 0);
    ASSERT_EQ(fake.keyEvents.size(), 1u);
    EXPECT_EQ(fake.keyEvents[0].id, 0x10129u);
    EXPECT_EQ(radioTacan.channel, 74);
    EXPECT_NEAR(radioTacan.frequency, 112.70, 1e-12);

    tunedTacanFrequency = 108.05;
    header.gauge_callback(&header, PANEL_SERVICE_PRE_UPDATE, 0);
    EXPECT_EQ(radioTacan.channel, 74);  // no tuning change seen
    tuningChanged = 1;
    panelLightsOn = 1;
    header.gauge_callback(&header, PANEL_SERVICE_PRE_UPDATE, 0);
    EXPECT_EQ(radioTacan.channel, 17);
    EXPECT_EQ(radioTacan.xyMode, 1);
    ELEMENT_HEADER* bg = header.elements_list[0];
    EXPECT_EQ(bg->image_flags, 0x4003u);
    EXPECT_EQ(bg->next_element[0]->image_flags, 0x4003u);
    panelLightsOn = 0;
    header.gauge_callback(&header, PANEL_SERVICE_PRE_UPDATE, 0);
    EXPECT_EQ(bg->image_flags, 0x3u);
    EXPECT_EQ(bg->next_element[0]->image_flags, 0x3u);
    EXPECT_EQ(bg->next_element[0]->next_element[0]->image_flags, 0x4003u);  // the tens drum is not touched
    bg->next_element[0]->image_flags = 0x4003;
}

TEST_F(RadioTest, MouseAreasAndTooltipArguments)
{
    const MOUSERECT* r = gaugehdr_Radio_TACAN_ARN52B.mouse_rect;
    ASSERT_EQ(r[0].rect_type, MOUSE_RECT_PARENT);
    struct Area {
        PIXBOX box;
        SINT32 cursor;
        UINT32 flags;
        const char* tooltip;
    } areas[] = {
        {{93, 0, 196, 149}, -1, 0, "%4!s! %1!07.3f! MHz"}, {{294, 96, 66, 32}, -1, 0, "Tone switch (%2!s!)"},
        {{45, 60, 40, 62}, -1, 0, "TACAN main switch (%3!s!)"}, {{111, 34, 26, 52}, 2, 0x20200000, nullptr},
        {{137, 34, 26, 52}, 1, 0x20200000, nullptr}, {{220, 34, 26, 52}, 2, 0x20200000, nullptr},
        {{246, 34, 26, 52}, 1, 0x20200000, nullptr}, {{45, 60, 40, 62}, 5, 0x20200000, nullptr},
        {{294, 48, 66, 32}, 5, 0x20006000, nullptr}, {{294, 96, 66, 32}, 5, 0x20000000, nullptr},
    };
    for (int i = 0; i < 10; ++i) {
        const MOUSERECT& m = r[i + 1];
        EXPECT_EQ(m.relative_box.x, areas[i].box.x) << i;
        EXPECT_EQ(m.relative_box.y, areas[i].box.y) << i;
        EXPECT_EQ(m.relative_box.width, areas[i].box.width) << i;
        EXPECT_EQ(m.relative_box.height, areas[i].box.height) << i;
        EXPECT_EQ(m.cursor, areas[i].cursor) << i;
        EXPECT_EQ(m.mouse_flags, areas[i].flags) << i;
        if (areas[i].tooltip) EXPECT_STREQ(m.tooltip_text, areas[i].tooltip) << i;
        else EXPECT_NE(m.mouse_function, nullptr) << i;
    }
    EXPECT_EQ(r[11].rect_type, MOUSE_RECT_END_PARENT);
    const MOUSE_TOOLTIP_ARG* args = r[1].tooltip_args;
    radioTacan.frequency = 108.0;
    radioTacan.toneSwitch = 1;
    EXPECT_EQ(args[0].number_callback(0, &args[0]), 108.0);
    EXPECT_STREQ(args[1].text_callback(0, &args[1]), "on");
    EXPECT_STREQ(args[2].text_callback(0, &args[2]), "on");
    tacanMainSwitch = 0;
    EXPECT_STREQ(args[2].text_callback(0, &args[2]), "off");
}

}  // namespace
