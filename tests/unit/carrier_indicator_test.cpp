// The carrier indicator against the recording fake of the panel services:
// readout, pointers, deviation bars, lamps, buttons and the lighting step.
#include <gtest/gtest.h>

#include <cmath>

#include "fake_panels.h"
#include "gauges/carrier_indicator.h"
#include "gauges/radio_tacan.h"
#include "module/gauge_registry.h"
#include "state/module_state.h"

namespace {

class IndicatorTest : public ::testing::Test {
protected:
    FakePanels fake;
    ELEMENT_HEADER* elements[17] = {};

    void SetUp() override
    {
        moduleState = get_or_create_module_state();
        if (!moduleState->carrier) create_state_records(moduleState);
        carrierIndicator = CarrierIndicatorState{1, 0, 0, 0.0, 0, 0, 0.0};
        approachSolution = ApproachSolution{};
        tacanMainSwitch = 1;
        tacanReceiver = 1;
        ELEMENT_HEADER* e = gaugehdr_Aircraft_Carrier_Indicator.elements_list[0];
        for (int i = 0; i < 17 && e; ++i, e = e->next_element ? e->next_element[0] : nullptr) elements[i] = e;
        elements[0]->image_flags = elements[1]->image_flags = 0x4003;  // as the records hold them
    }
    void TearDown() override
    {
        approachSolution = ApproachSolution{};
        carrierIndicator = CarrierIndicatorState{1, 0, 0, 0.0, 0, 0, 0.0};
        tacanReceiver = 0;
        moduleState->carrier->CarrierType = 0;
    }
    // Value of element `order` (1-based) as the host would read it.
    double value(int order)
    {
        ELEMENT_HEADER* e = elements[order - 1];
        switch (e->element_type) {
        case ELEMENT_TYPE_ICON: return reinterpret_cast<ELEMENT_ICON*>(e)->callback(e);
        case ELEMENT_TYPE_NEEDLE: return reinterpret_cast<ELEMENT_NEEDLE*>(e)->callback(e);
        case ELEMENT_TYPE_SLIDER: {
            auto* s = reinterpret_cast<ELEMENT_SLIDER*>(e);
            return s->x_callback ? s->x_callback(e) : s->y_callback(e);
        }
        case ELEMENT_TYPE_STRING: {
            auto* s = reinterpret_cast<ELEMENT_STRING*>(e);
            return s->callback(s);
        }
        default: return NAN;
        }
    }
    bool hidden(int order) const { return elements[order - 1]->image_flags & IMAGE_HIDDEN; }
    const char* readout() { value(7); return reinterpret_cast<ELEMENT_STRING*>(elements[6])->string; }
};

TEST_F(IndicatorTest, ChainHoldsSeventeenElementsInOrder)
{
    const ID bitmaps[17] = {1210, 1110, 1221, 1220, 1170, 1180, 0, 1230, 1130, 1240, 1140, 1151, 1120, 1151, 1160, 1200, 1190};
    const SINT32 types[17] = {0, 6, 4, 4, 4, 4, 2, 3, 3, 3, 3, 1, 1, 1, 0, 4, 4};
    for (int i = 0; i < 17; ++i) {
        ASSERT_NE(elements[i], nullptr) << i;
        EXPECT_EQ(elements[i]->resource_id, bitmaps[i]) << i;
        EXPECT_EQ(elements[i]->element_type, types[i]) << i;
    }
    EXPECT_EQ(elements[16]->next_element, nullptr);
    EXPECT_EQ(elements[12]->offset.x, 99);
    EXPECT_EQ(elements[11]->offset.y, 12);
}

TEST_F(IndicatorTest, ReadoutFromTheSolutionTheReceiverOrNothing)
{
    EXPECT_STREQ(readout(), "---.-");  // nothing valid, no DME
    approachSolution.tcnValid = 1;
    approachSolution.tcnSlantRange = 7.46;
    approachSolution.ilsSlantRange = 7.01;
    EXPECT_STREQ(readout(), "  7.5");
    carrierIndicator.presentationMode = 0;
    EXPECT_STREQ(readout(), "  7.0");
    tacanMainSwitch = 0;
    EXPECT_STREQ(readout(), "  0.0");  // valid TACAN, set off
    approachSolution.tcnValid = 0;
    EXPECT_STREQ(readout(), "---.-");

    tacanMainSwitch = 1;
    fake.results["(A:NAV DME:1, nmiles)"] = 12.34;
    fake.results["(A:NAV HAS DME:1, bool) 1 1 == &&"] = 1;
    EXPECT_STREQ(readout(), " 12.3");
    EXPECT_EQ(carrierIndicator.navDmeAvailable, 1);
    EXPECT_EQ(value(3), 0.0);  // DME flag lit
    fake.results["(A:NAV DME:1, nmiles)"] = -1.0;
    EXPECT_STREQ(readout(), "---.-");
    EXPECT_EQ(carrierIndicator.navDmeAvailable, 0);
    tacanReceiver = 0;
    fake.results["(A:NAV DME:1, nmiles)"] = 12.34;
    EXPECT_STREQ(readout(), "---.-");  // receiver 0: no NAV read
    approachSolution.tcnValid = 1;
    approachSolution.tcnSlantRange = 123456.0;
    carrierIndicator.presentationMode = 1;
    EXPECT_STREQ(readout(), "12345");  // cut to five characters
}

TEST_F(IndicatorTest, BearingPointerFallsBackToTheReceiverThenNinety)
{
    fake.moduleVars[MODULE_VAR_PLANE_HEADING_DEGREES] = 30.0;
    tacanMainSwitch = 0;
    EXPECT_EQ(value(13), 90.0);
    tacanMainSwitch = 1;
    EXPECT_EQ(value(13), 90.0);  // no NAV signal
    fake.results["(A:NAV HAS NAV:2, bool) 1 1 == &&"] = 1;
    fake.results["(A:NAV RELATIVE BEARING TO STATION:2, degrees) dnor "] = 250.0;
    tacanReceiver = 0;  // anything but 1 reads NAV2
    EXPECT_EQ(value(13), 250.0);
    approachSolution.tcnValid = 1;
    approachSolution.tcnTrueRadial = M_PI;
    approachSolution.magneticVariation = -10.0 * M_PI / 180.0;
    EXPECT_NEAR(value(13), 190.0 - 30.0, 1e-9);
    EXPECT_FALSE(hidden(13));
    carrierIndicator.presentationMode = 0;
    EXPECT_EQ(value(13), 0.0);
    EXPECT_TRUE(hidden(13));
}

TEST_F(IndicatorTest, RunwayPointersFollowThePresentation)
{
    fake.moduleVars[MODULE_VAR_PLANE_HEADING_DEGREES] = 10.0;
    approachSolution.rwyHeading = M_PI / 2;
    EXPECT_EQ(value(12), 0.0);
    EXPECT_TRUE(hidden(12));
    EXPECT_EQ(value(14), 0.0);  // TACAN not valid
    EXPECT_TRUE(hidden(14));
    approachSolution.tcnValid = 1;
    EXPECT_NEAR(value(14), 80.0, 1e-9);
    EXPECT_FALSE(hidden(14));
    carrierIndicator.presentationMode = 0;
    EXPECT_NEAR(value(12), 80.0, 1e-9);
    EXPECT_FALSE(hidden(12));
    EXPECT_EQ(value(14), 0.0);
    EXPECT_TRUE(hidden(14));
}

TEST_F(IndicatorTest, DeviationBarsAndTheirLimitBars)
{
    carrierIndicator.presentationMode = 0;
    approachSolution.tcnValid = 1;
    struct Case {
        double loc, gs;
        double loc_bar, loc_limit, gs_bar, gs_limit;
        bool loc_shown, loc_limit_shown, gs_shown, gs_limit_shown;
    } cases[] = {
        {7.0, 1.0, 0.0, 6.0, 1.0, 0.0, false, true, true, false},
        {6.0, 3.0, 6.0, 0.0, 3.0, 0.0, true, false, true, false},
        {-6.5, -3.5, 0.0, -6.0, 0.0, -3.0, false, true, false, true},
        {-2.0, 3.01, -2.0, 0.0, 0.0, 3.0, true, false, false, true},
    };
    for (const Case& c : cases) {
        approachSolution.locError = c.loc;
        approachSolution.gsError = c.gs;
        EXPECT_EQ(value(9), c.loc_bar) << c.loc;
        EXPECT_EQ(value(8), c.loc_limit) << c.loc;
        EXPECT_EQ(value(11), c.gs_bar) << c.gs;
        EXPECT_EQ(value(10), c.gs_limit) << c.gs;
        EXPECT_EQ(!hidden(9), c.loc_shown) << c.loc;
        EXPECT_EQ(!hidden(8), c.loc_limit_shown) << c.loc;
        EXPECT_EQ(!hidden(11), c.gs_shown) << c.gs;
        EXPECT_EQ(!hidden(10), c.gs_limit_shown) << c.gs;
    }
    tacanMainSwitch = 0;  // set off: in-range bars centred, limit bars gone
    EXPECT_EQ(value(9), 0.0);
    EXPECT_FALSE(hidden(9));
    EXPECT_EQ(value(8), 0.0);
    EXPECT_TRUE(hidden(8));
    carrierIndicator.presentationMode = 1;
    value(9);
    value(11);
    EXPECT_TRUE(hidden(9));
    EXPECT_TRUE(hidden(11));
}

TEST_F(IndicatorTest, LampsByCarrierTypeAndLegends)
{
    struct Case {
        uint8_t main, valid;
        int32_t type;
        double fixed, ship;
    } cases[] = {
        {1, 1, 1, -1, 0}, {1, 0, 1, -1, 1}, {1, 1, 2, 0, -1}, {1, 0, 2, 1, -1}, {0, 1, 1, -1, -1}, {1, 1, 0, -1, -1},
    };
    for (const Case& c : cases) {
        tacanMainSwitch = c.main;
        approachSolution.tcnValid = c.valid;
        carrierIndicator.carrierTypeCopy = c.type;
        EXPECT_EQ(value(5), c.fixed);
        EXPECT_EQ(value(6), c.ship);
    }
    EXPECT_EQ(value(16), -1.0);  // TACAN presentation at load
    carrierIndicator.presentationMode = 0;
    EXPECT_EQ(value(16), 0.0);
    EXPECT_EQ(value(17), -1.0);
    carrierIndicator.lsoOnFlag = 1;
    EXPECT_EQ(value(17), 0.0);
}

TEST_F(IndicatorTest, ButtonsAndCallback)
{
    const MOUSERECT* r = gaugehdr_Aircraft_Carrier_Indicator.mouse_rect;
    EXPECT_STREQ(r[4].tooltip_text, "TCN_radial (%7!d!) -  vor_angle (%11!6.2f!)");
    r[10].mouse_function({240, 280}, MOUSE_LEFTSINGLE);  // mode button
    EXPECT_EQ(carrierIndicator.presentationMode, 0);
    r[9].mouse_function({5, 280}, MOUSE_LEFTSINGLE);  // LSO button
    EXPECT_EQ(fake.executed.back(), "(L:LSO_is_Off_VC, bool) ! (>L:LSO_is_Off_VC, bool)");

    GAUGEHDR header = gaugehdr_Aircraft_Carrier_Indicator;
    moduleState->carrier->CarrierType = 2;
    fake.results["(L:LSO_is_Off_VC, bool) !"] = 1;
    fake.moduleVars[MODULE_VAR_PANEL_LIGHTS] = 1.0;
    header.gauge_callback(&header, PANEL_SERVICE_PRE_UPDATE, 0);
    EXPECT_EQ(carrierIndicator.carrierTypeCopy, 2);
    EXPECT_EQ(carrierIndicator.lsoOnFlag, 1);
    EXPECT_EQ(panelLightsOn, 1);
    EXPECT_TRUE(elements[1]->image_flags & IMAGE_USE_LUMINOUS);
    fake.moduleVars[MODULE_VAR_PANEL_LIGHTS] = 0.0;
    header.gauge_callback(&header, PANEL_SERVICE_PRE_UPDATE, 0);
    EXPECT_EQ(panelLightsOn, 0);
    EXPECT_FALSE(elements[0]->image_flags & IMAGE_USE_LUMINOUS);
    EXPECT_FALSE(elements[1]->image_flags & IMAGE_USE_LUMINOUS);
    EXPECT_TRUE(elements[2]->image_flags & 0x4);  // the DME flag keeps its own bits
    elements[0]->image_flags = elements[1]->image_flags = 0x4003;

    const MOUSE_TOOLTIP_ARG* args = r[1].tooltip_args;
    approachSolution.tcnTrueRadial = M_PI / 2;
    EXPECT_NEAR(args[6].number_callback(0, &args[6]), 90.0, 1e-9);
    EXPECT_EQ(args[1].text_callback(0, &args[1]), nullptr);
    EXPECT_EQ(args[11].number_callback, nullptr);
    EXPECT_EQ(args[11].text_callback, nullptr);
}

}  // namespace

// Without a valid TACAN the readout and the flags come from the selected
// receiver; with one the DME and NAV flags stay dark whatever the receiver has.
TEST_F(IndicatorTest, TheSelectedReceiversDmeAndTheFlagsThatGoDarkWithAValidTacan)
{
    fake.results["(A:NAV DME:1, nmiles)"] = 3.0;
    fake.results["(A:NAV HAS DME:1, bool) 1 1 == &&"] = 1;
    fake.results["(A:NAV DME:2, nmiles)"] = 21.66;
    fake.results["(A:NAV HAS DME:2, bool) 1 1 == &&"] = 1;
    fake.results["(A:NAV HAS NAV:2, bool) 1 1 == &&"] = 1;
    tacanReceiver = 2;
    EXPECT_STREQ(readout(), " 21.7");
    EXPECT_EQ(carrierIndicator.distance, 21.66);
    value(13);  // the bearing pointer reads the NAV signal
    EXPECT_EQ(value(3), 0.0);
    EXPECT_EQ(value(4), 0.0);

    struct Case {
        uint8_t main, valid;
        double dme, nav;
    } cases[] = {{1, 0, 0, 0}, {1, 1, -1, -1}, {0, 0, -1, -1}};
    for (const Case& c : cases) {
        tacanMainSwitch = c.main;
        approachSolution.tcnValid = c.valid;
        carrierIndicator.navDmeAvailable = carrierIndicator.navSignalAvailable = 1;
        EXPECT_EQ(value(3), c.dme) << int(c.main) << int(c.valid);
        EXPECT_EQ(value(4), c.nav) << int(c.main) << int(c.valid);
    }
}
