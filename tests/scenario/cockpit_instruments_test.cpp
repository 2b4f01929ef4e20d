// The TACAN radio, the carrier indicator and the sub-panel closer on the real
// module in the emulated host: clicks on their mouse areas, tooltips, the
// element values the host walks, and the road from the pilot's hand on the
// radio's knobs to the approach picture on the indicator.
#include "host/build_paths.h"
#include <string>
#include <vector>

#include "host/panel/gauge_panel.h"
#include "scenario_fixture.h"

using namespace scenario_test;

namespace {

// Radio mouse areas.
constexpr int TENS_DOWN = 4, TENS_UP = 5, UNITS_DOWN = 6, UNITS_UP = 7, MAIN_SWITCH = 8, XY_SWITCH = 9, TONE = 10;
// Indicator element positions in the walked chain (0-based) and areas.
constexpr int READOUT = 6, LOC_LIMIT = 7, LOC_BAR = 8, GS_LIMIT = 9, GS_BAR = 10, BEARING = 12;
constexpr int FIXED_LAMP = 4, SHIP_LAMP = 5;
constexpr int LSO_BUTTON = 9, MODE_BUTTON = 10;


std::vector<std::string> keys_of(const host::Timeline& t, const std::string& id, const char* source = "module")
{
    std::vector<std::string> out;
    for (const auto* e : t.of_kind("key"))
        if (e->data.value("id", "") == id && e->data.value("source", "") == source) out.push_back(std::to_string(e->data.value("value", 0u)));
    return out;
}

std::vector<std::string> tooltips(const host::Timeline& t)
{
    std::vector<std::string> out;
    for (const auto* e : t.of_kind("tooltip")) out.push_back(e->data.value("text", ""));
    return out;
}

const host::ElementView& element(const host::Host& h, const std::string& gauge, int index)
{
    for (const auto& g : h.gauges())
        if (g.name == gauge) return g.elements.at(static_cast<size_t>(index));
    throw std::runtime_error("no gauge " + gauge);
}

// A radio and a navigation gauge, driven frame by frame.
struct RadioBench {
    TempRoot root;
    std::unique_ptr<host::Host> host;
    explicit RadioBench(const std::string& nav_parameters = "NAV1")
    {
        host::HostOptions options;
        options.module_path = CARRIER_MODULE_PATH;
        options.sim_root = (root.dir / "simroot").string();
        options.private_copy = true;
        options.echo_stderr = false;
        host = std::make_unique<host::Host>(options);
        std::string error;
        EXPECT_TRUE(host->load(&error)) << error;
        EXPECT_TRUE(host->start(&error)) << error;
        EXPECT_GE(host->place_gauge("Tacan_Navigation", nav_parameters, &error), 0) << error;
        EXPECT_GE(host->place_gauge("Radio_TACAN_ARN52B", "", &error), 0) << error;
        host->connect_gauges();
        host->run_frames(3);  // the navigation gauge sees NAV1 at 110.50 (42X) and the radio follows
    }
    void click(int area)
    {
        std::string error;
        host::MouseTarget target{"Radio_TACAN_ARN52B", 0, area};
        ASSERT_TRUE(host::click_gauge(*host, target, &error)) << error;
        host->run_frames(2);  // the receiver's new frequency comes back through the navigation gauge
    }
    std::string tooltip(int area = 1)
    {
        std::string text, error;
        host::MouseTarget target{"Radio_TACAN_ARN52B", 0, area};
        EXPECT_TRUE(host::hover_gauge(*host, target, &text, &error)) << error;
        return text;
    }
    std::string channel() { return tooltip().substr(21, 4); }  // "X42 " from "TACAN (NAV1) Channel X42 - ..."
};

TEST(RadioOnTheBench, KnobSequencesStepTheChannelByTheirMouseAreas)
{
    RadioBench bench;
    EXPECT_EQ(bench.tooltip(), "TACAN (NAV1) Channel X42 - Frequency 110.500 MHz");
    struct Step {
        int area;
        const char* channel;
    } steps[] = {
        {TENS_UP, "X52 "}, {TENS_UP, "X72 "}, {TENS_DOWN, "X52 "}, {UNITS_UP, "X53 "}, {UNITS_DOWN, "X52 "},
        {TENS_DOWN, "X42 "}, {TENS_DOWN, "X32 "}, {TENS_DOWN, "X122"}, {UNITS_UP, "X123"},
        {UNITS_UP, "X124"}, {UNITS_UP, "X125"}, {UNITS_UP, "X126"}, {UNITS_UP, "X120"}, {UNITS_DOWN, "X126"},
        {TENS_UP, "X26 "}, {UNITS_DOWN, "X25 "}, {XY_SWITCH, "Y25 "}, {XY_SWITCH, "X25 "},
    };
    for (const Step& s : steps) {
        bench.click(s.area);
        EXPECT_EQ(bench.channel(), s.channel) << "area " << s.area;
    }
    // Every knob click tuned NAV1 by its BCD key event.
    const auto tunings = keys_of(bench.host->timeline(), "0x100AC");
    EXPECT_EQ(tunings.size(), std::size(steps));
    EXPECT_EQ(tunings.front(), std::to_string(0x11150));  // 52X: 111.50 MHz
}

TEST(RadioOnTheBench, MainSwitchOffBlocksEverythingButItself)
{
    RadioBench bench;
    bench.click(MAIN_SWITCH);
    EXPECT_EQ(bench.tooltip(3), "TACAN main switch (off)");
    const size_t keys_before = bench.host->timeline().of_kind("key").size();
    for (int area : {TENS_UP, TENS_DOWN, UNITS_UP, UNITS_DOWN, XY_SWITCH, TONE}) bench.click(area);
    EXPECT_EQ(bench.host->timeline().of_kind("key").size(), keys_before);
    EXPECT_EQ(bench.channel(), "X42 ");
    EXPECT_EQ(element(*bench.host, "Radio_TACAN_ARN52B", 11).image_index, -1);  // power lamp: no image
    EXPECT_TRUE(element(*bench.host, "Radio_TACAN_ARN52B", 10).hidden);        // frequency window
    bench.click(MAIN_SWITCH);
    EXPECT_EQ(bench.tooltip(3), "TACAN main switch (on)");
    EXPECT_EQ(element(*bench.host, "Radio_TACAN_ARN52B", 11).image_index, 1);
}

TEST(RadioOnTheBench, ToneSwitchRaisesItsKeyEvents)
{
    RadioBench bench("NAV2");  // NAV2 starts at 113.90 MHz
    const auto& t = bench.host->timeline();
    EXPECT_EQ(keys_of(t, "0x10129").size(), 1u);  // the install silences the tone of NAV2
    bench.click(TONE);
    EXPECT_EQ(bench.tooltip(2), "Tone switch (on)");
    EXPECT_EQ(keys_of(t, "0x1012E"), (std::vector<std::string>{"0"}));
    bench.click(TONE);
    EXPECT_EQ(bench.tooltip(2), "Tone switch (off)");
    EXPECT_EQ(keys_of(t, "0x10129").size(), 2u);
    EXPECT_TRUE(keys_of(t, "0x10128").empty());
}

TEST(RadioOnTheBench, FrequencyWindowShowsForSixtyUpdatesAfterAKnobClick)
{
    RadioBench bench;
    EXPECT_TRUE(element(*bench.host, "Radio_TACAN_ARN52B", 10).hidden);
    std::string error;
    ASSERT_TRUE(host::click_gauge(*bench.host, {"Radio_TACAN_ARN52B", 0, UNITS_UP}, &error));
    int shown = 0;
    for (int frame = 0; frame < 90; ++frame) {
        bench.host->step_frame();
        const auto& window = element(*bench.host, "Radio_TACAN_ARN52B", 10);
        if (!window.hidden) {
            ++shown;
            EXPECT_STREQ(window.text, "110.60");
        }
    }
    EXPECT_EQ(shown, 60);
}

TEST(RadioOnTheBench, TooltipOverTheRadioTunedTo17X)
{
    TempRoot root;
    PathRun run(root.scenario(R"(
<panel><gauge name="Tacan_Navigation" parameters="NAV1"/><gauge name="Radio_TACAN_ARN52B"/></panel>
<run rate="30" end="1">
  <event time="0.2"><key event="NAV1_RADIO_SET" value="0x10800"/></event>
  <event time="0.5"><hover gauge="Radio_TACAN_ARN52B" x="150" y="60"/></event>
  <event time="0.6"><hover gauge="Radio_TACAN_ARN52B" x="300" y="100"/><hover gauge="Radio_TACAN_ARN52B" x="5" y="5"/></event>
</run>)"));
    ASSERT_TRUE(run.result.ok) << run.error << run.result.error;
    EXPECT_EQ(tooltips(run.timeline()),
              (std::vector<std::string>{"TACAN (NAV1) Channel X17 - Frequency 108.000 MHz", "Tone switch (off)", ""}));
    const auto channel_drums = element(*run.host, "Radio_TACAN_ARN52B", 1);
    EXPECT_EQ(channel_drums.value_y, 7.0);
    EXPECT_EQ(channel_drums.offset_y, 7.0 * 23);
    EXPECT_EQ(element(*run.host, "Radio_TACAN_ARN52B", 2).value_y, 1.0);
}

// The aircraft astern of CVN-68 on its landing line, NAV1 at 110.50 (42X).
std::string approach(const std::string& aircraft, const std::string& events, double end = 12)
{
    return R"(
<panel>
  <gauge name="Tacan_Navigation" parameters="NAV1"/>
  <gauge name="Radio_TACAN_ARN52B"/>
  <gauge name="Aircraft_Carrier_Indicator"/>
</panel>
<world>
  <container title="SH-60 Seahawk Plane Guard"/>
  <container title="FLOLS Ashore Fresnel Lens"/>
  <boat title="Carrier Nimitz CVN-68" latitude="36.80" longitude="-75.40" heading="90" speed="20"/>
  <set var="MAGVAR" unit="degrees" value="-10.5"/>
  )" + aircraft + R"(
</world>
<run rate="30" end=")" + std::to_string(end) + R"(">)" + events + "</run>";
}

const char* const ON_THE_LINE = R"(<aircraft relative_to="Carrier Nimitz CVN-68" bearing="171" distance="8.0"
    altitude="3035" heading="81" speed="140" on_ground="0"/>)";

TEST(ApproachFromThePilotsHand, KnobsToTheCarriersChannelSelectTheShip)
{
    TempRoot root;
    // 42X -> 52X -> 72X -> 73X -> 74X: NAV1 112.70 MHz, the channel of CVN-68.
    PathRun run(root.scenario(approach(ON_THE_LINE, R"(
  <event time="1"><hover gauge="Aircraft_Carrier_Indicator" x="150" y="20"/></event>
  <event time="2"><click gauge="Radio_TACAN_ARN52B" area="5" count="2"/>
                  <click gauge="Radio_TACAN_ARN52B" x="250" y="50" count="2"/></event>
  <event time="4"><hover gauge="Radio_TACAN_ARN52B" area="1"/>
                  <hover gauge="Aircraft_Carrier_Indicator" x="150" y="20"/></event>
)")));
    ASSERT_TRUE(run.result.ok) << run.error << run.result.error;
    const auto& t = run.timeline();
    const long tune = find_event(t, "key", "value", 0x11270);
    ASSERT_GE(tune, 0);
    EXPECT_EQ(t.events()[tune].data.value("id", ""), "0x100AC");
    const long command = find_event(t, "key", "id", "0x11101", static_cast<size_t>(tune));
    EXPECT_GT(command, tune);  // the navigation gauge saw the new frequency
    const long text = find_event(t, "text", "text", "TACAN tuned on CVN-68 Nimitz -Lock on-");
    EXPECT_GT(text, command);
    EXPECT_EQ(tooltips(t), (std::vector<std::string>{"Carrier_is_found (0) - Carrier_Type (0)",
                                                      "TACAN (NAV1) Channel X74 - Frequency 112.700 MHz",
                                                      "Carrier_is_found (1) - Carrier_Type (1)"}));
    EXPECT_EQ(run.host->named_variable("TCN Valid"), 1.0);
    // The indicator: ship lamp locked, the readout the TACAN range, the pointer dead ahead.
    EXPECT_EQ(element(*run.host, "Aircraft_Carrier_Indicator", SHIP_LAMP).image_index, 0);
    EXPECT_EQ(element(*run.host, "Aircraft_Carrier_Indicator", FIXED_LAMP).image_index, -1);
    char expected[16];
    std::snprintf(expected, sizeof expected, "%5.1f", run.host->named_variable("TCN Slant Range"));
    EXPECT_STREQ(element(*run.host, "Aircraft_Carrier_Indicator", READOUT).text, expected);
    const double bearing = element(*run.host, "Aircraft_Carrier_Indicator", BEARING).value;
    EXPECT_NEAR(std::remainder(bearing, 360.0), 0.0, 3.0);
}

TEST(IndicatorOnTheBench, FallbacksBeforeAnyCarrier)
{
    TempRoot root;
    PathRun run(root.scenario(approach(ON_THE_LINE, "", 1)));
    ASSERT_TRUE(run.result.ok) << run.error << run.result.error;
    EXPECT_STREQ(element(*run.host, "Aircraft_Carrier_Indicator", READOUT).text, "---.-");
    EXPECT_EQ(element(*run.host, "Aircraft_Carrier_Indicator", BEARING).value, 90.0);
    EXPECT_FALSE(element(*run.host, "Aircraft_Carrier_Indicator", BEARING).hidden);
    EXPECT_EQ(element(*run.host, "Aircraft_Carrier_Indicator", SHIP_LAMP).image_index, -1);
}

TEST(IndicatorOnTheBench, IlsPresentationDistanceAndLimitBars)
{
    TempRoot root;
    // Off the line to the side and high: LOC and GS errors beyond the bars' travel.
    PathRun run(root.scenario(approach(R"(<aircraft relative_to="Carrier Nimitz CVN-68" bearing="185" distance="8.0"
        altitude="7000" heading="81" speed="140" on_ground="0"/>)", R"(
  <event time="0.5"><key event="NAV1_RADIO_SET" value="0x11270"/></event>
  <event time="2"><click gauge="Aircraft_Carrier_Indicator" area="10"/></event>
  <event time="3"><hover gauge="Aircraft_Carrier_Indicator" x="250" y="150"/></event>
)", 4)));
    ASSERT_TRUE(run.result.ok) << run.error << run.result.error;
    const host::Host& h = *run.host;
    const double loc = h.named_variable("LOC Error"), gs = h.named_variable("GS Error");
    ASSERT_GT(std::abs(loc), 6.0);
    ASSERT_GT(gs, 3.0);
    const auto& loc_limit = element(h, "Aircraft_Carrier_Indicator", LOC_LIMIT);
    EXPECT_FALSE(loc_limit.hidden);
    EXPECT_EQ(loc_limit.value, loc > 0 ? 6.0 : -6.0);
    EXPECT_EQ(std::abs(loc_limit.offset_x), 78.0);
    EXPECT_TRUE(element(h, "Aircraft_Carrier_Indicator", LOC_BAR).hidden);
    const auto& gs_limit = element(h, "Aircraft_Carrier_Indicator", GS_LIMIT);
    EXPECT_FALSE(gs_limit.hidden);
    EXPECT_EQ(gs_limit.value_y, 3.0);
    EXPECT_EQ(gs_limit.offset_y, 78.0);
    EXPECT_TRUE(element(h, "Aircraft_Carrier_Indicator", GS_BAR).hidden);
    EXPECT_TRUE(element(h, "Aircraft_Carrier_Indicator", BEARING).hidden);  // ILS presentation
    char expected[16];
    std::snprintf(expected, sizeof expected, "%5.1f", h.named_variable("ILS Slant Range"));
    EXPECT_STREQ(element(h, "Aircraft_Carrier_Indicator", READOUT).text, expected);
    char tip[64];
    std::snprintf(tip, sizeof tip, "ILS_LOC_Error (%6.2f)", loc);
    const auto tips = tooltips(run.timeline());
    ASSERT_EQ(tips.size(), 1u);
    EXPECT_EQ(tips[0].substr(0, 15), std::string(tip).substr(0, 15));
}

TEST(IndicatorOnTheBench, FixedSiteLampAndTheLsoButton)
{
    TempRoot root;
    PathRun run(root.scenario(approach(ON_THE_LINE, R"(
  <event time="0.5"><key event="NAV1_RADIO_SET" value="0x11430"/></event>
  <event time="1"><click gauge="Aircraft_Carrier_Indicator" x="10" y="285"/></event>
  <event time="2"><click gauge="Aircraft_Carrier_Indicator" area="9"/><click gauge="Aircraft_Carrier_Indicator" area="9"/></event>
)", 3)));
    ASSERT_TRUE(run.result.ok) << run.error << run.result.error;
    std::vector<double> lso;
    for (const auto* e : run.timeline().of_kind("lvar"))
        if (e->data.value("name", "") == "LSO_is_Off_VC") lso.push_back(e->data.value("value", -1.0));
    EXPECT_EQ(lso, (std::vector<double>{0, 1, 0, 1})) << ::testing::PrintToString(lso);  // module start, then three clicks
    EXPECT_EQ(element(*run.host, "Aircraft_Carrier_Indicator", 16).image_index, -1);  // LSO legend off
    // Fentress lies within TACAN range of the aircraft: the field lamp shows the lock.
    ASSERT_EQ(run.host->named_variable("CarrierType"), 2.0);
    EXPECT_EQ(element(*run.host, "Aircraft_Carrier_Indicator", FIXED_LAMP).image_index,
              run.host->named_variable("TCN Valid") == 1.0 ? 0 : 1);
    EXPECT_EQ(element(*run.host, "Aircraft_Carrier_Indicator", SHIP_LAMP).image_index, -1);
}

TEST(SubPanelOnTheBench, ClickCommandsAndTheBoundedCount)
{
    TempRoot root;
    PathRun run(root.scenario(R"(
<panel>
  <gauge name="Close_Subpanel" parameters="c50 c75"/>
  <gauge name="Close_Subpanel" parameters=""/>
</panel>
<run rate="10" end="1">
  <event time="0.2"><click gauge="Close_Subpanel" x="8" y="8"/></event>
  <event time="0.4"><click gauge="Close_Subpanel" placement="1" x="1" y="1"/></event>
</run>)"));
    ASSERT_TRUE(run.result.ok) << run.error << run.result.error;
    // The box obeys the parameter text of the placement installed last (the
    // host's click carries no header): the second, empty one toggles window 0.
    const auto toggles = run.timeline().of_kind("window_toggle");
    ASSERT_EQ(toggles.size(), 1u);
    EXPECT_EQ(toggles[0]->data.value("id", 99), 0);
    const auto clicks = run.timeline().of_kind("click");
    ASSERT_EQ(clicks.size(), 2u);
    EXPECT_EQ(clicks[1]->data.value("area", -1), 0);  // (1, 1) lies outside the 13-pixel box

    PathRun counted(root.scenario(R"(
<panel><gauge name="Close_Subpanel" parameters="p1000000 c50 o RADIO_STACK_PANEL"/></panel>
<run rate="10" end="1"><event time="0.2"><click gauge="Close_Subpanel" area="1"/></event></run>)"));
    ASSERT_TRUE(counted.result.ok) << counted.error << counted.result.error;
    EXPECT_EQ(keys_of(counted.timeline(), "0x100C6").size(), 100u);
    EXPECT_EQ(keys_of(counted.timeline(), "0x103CC"), (std::vector<std::string>{"50"}));
    EXPECT_EQ(keys_of(counted.timeline(), "0x103CB"), (std::vector<std::string>{"0"}));
}

TEST(SubPanelOnTheBench, EdgeCasesOfThePanelCommands)
{
    struct Case {
        const char* parameters;
        std::vector<std::pair<std::string, std::string>> keys;  // (event id, value) raised by the click
        ID bitmap;
    } cases[] = {
        {"cRADIO_STACK_PANEL", {{"0x103CC", "50"}}, 150},
        {"c RADIO_STACK_PANEL", {{"0x103CC", "0"}}, 150},
        {"c50 c75", {{"0x103CC", "50"}, {"0x103CC", "75"}}, 150},
        {"o50 // c75", {{"0x103CB", "50"}}, 150},
        {"p-2", {{"0x100C7", "0"}, {"0x100C7", "0"}}, 150},
        {"b155", {}, 150},
        {"b360", {}, 360},
        {"tGPS_PANEL", {{"0x103CA", "225"}}, 150},
    };
    TempRoot root;
    for (const Case& c : cases) {
        PathRun run(root.scenario(std::string(R"(<panel><gauge name="Close_Subpanel" parameters=")") + c.parameters +
                                  R"("/></panel>
<run rate="10" end="0.5"><event time="0.2"><click gauge="Close_Subpanel" x="9" y="9"/></event></run>)"));
        ASSERT_TRUE(run.result.ok) << run.error << run.result.error;
        std::vector<std::pair<std::string, std::string>> keys;
        for (const auto* e : run.timeline().of_kind("key"))
            if (e->data.value("source", "") == "module" && e->data.value("id", "").rfind("0x11", 0) != 0)
                keys.emplace_back(e->data.value("id", ""), std::to_string(e->data.value("value", 0u)));
        EXPECT_EQ(keys, c.keys) << c.parameters;
        EXPECT_EQ(element(*run.host, "Close_Subpanel", 0).bitmap, c.bitmap) << c.parameters;
    }
}

TEST(PanelActions, BadTargetsNameTheLine)
{
    TempRoot root;
    PathRun missing(root.scenario(R"(<panel><gauge name="Radio_TACAN_ARN52B"/></panel>
<run rate="10" end="1"><event time="0.2"><click gauge="Radio_TACAN_ARN52B" area="11"/></event></run>)"));
    EXPECT_FALSE(missing.result.ok);
    EXPECT_NE(missing.result.error.find("scenario.xml:5: gauge \"Radio_TACAN_ARN52B\" has no clickable area 11"),
              std::string::npos)
        << missing.result.error;
    std::string error;
    EXPECT_FALSE(host::load_scenario(root.scenario(R"(<run rate="10" end="1"><event time="0.2">
<click gauge="Radio_TACAN_ARN52B" x="1.5" y="2"/></event></run>)"), &error));
    EXPECT_NE(error.find(":5: attribute \"x\" must be a whole number"), std::string::npos) << error;
    EXPECT_FALSE(host::load_scenario(root.scenario(R"(<run rate="10" end="1"><event time="0.2">
<hover gauge="Radio_TACAN_ARN52B"/></event></run>)"), &error));
    EXPECT_NE(error.find("needs x and y, or an area number"), std::string::npos) << error;
}

TEST(PanelSnapshots, PeriodicAndNamedPicturesOfThePlacedGauges)
{
    TempRoot root;
    const std::string out = (root.dir / "out").string();
    PathRun run(root.scenario(R"(<panel><gauge name="Radio_TACAN_ARN52B"/><gauge name="Aircraft_Carrier_Indicator"/></panel>
<run rate="10" end="2.05"><event time="1"><snapshot name="one"/></event></run>)"),
                [&](host::HostOptions& o) {
                    o.snapshot_dir = out;
                    o.snapshot_every = 1.0;
                });
    ASSERT_TRUE(run.result.ok) << run.error << run.result.error;
    const auto shots = run.timeline().of_kind("snapshot");
    ASSERT_EQ(shots.size(), 3u);  // t = 1 (periodic), "one", t = 2
    for (const char* file : {"one-Radio_TACAN_ARN52B.png", "t0001.00-Aircraft_Carrier_Indicator.png",
                             "t0002.00-Radio_TACAN_ARN52B.png"})
        EXPECT_GT(std::filesystem::file_size(std::filesystem::path(out) / file), 1000u) << file;
}

}  // namespace
