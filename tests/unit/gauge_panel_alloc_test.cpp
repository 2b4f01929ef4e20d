// The per-update path of the drawn gauges allocates nothing in the steady
// state: the radio's and the indicator's callbacks and the host's element
// walk, with the bench's own host services.
#include <gtest/gtest.h>

#include "allocation_counter.h"
#include "gauges/carrier_indicator.h"
#include "gauges/radio_tacan.h"
#include "host/panel/gauge_panel.h"
#include "module/gauge_registry.h"
#include "tests/frame_pass_fixture.h"

TEST(GaugePanelPass, TheRadioAndIndicatorUpdatesAllocateNothing)
{
    FramePassFixture fixture;  // a ship selected and tracked: the indicator shows the carrier solution
    fixture.pass();
    tacanReceiver = 1;
    host::PlacedGauge radio, indicator;
    radio.name = "Radio_TACAN_ARN52B";
    radio.header = gaugehdr_Radio_TACAN_ARN52B;
    indicator.name = "Aircraft_Carrier_Indicator";
    indicator.header = gaugehdr_Aircraft_Carrier_Indicator;
    auto update = [&](host::PlacedGauge& g) {
        g.header.gauge_callback(&g.header, PANEL_SERVICE_PRE_UPDATE, 0);
        host::walk_gauge_elements(fixture.host, g);
    };
    for (int k = 0; k < 4; ++k) {  // every presentation and validity compiles its expressions once
        carrierIndicator.presentationMode = static_cast<uint8_t>(k % 2);
        approachSolution.tcnValid = static_cast<uint8_t>(k / 2);
        update(radio);
        update(indicator);
    }
    const long before = allocations_so_far();
    for (int i = 0; i < 300; ++i) {
        carrierIndicator.presentationMode = static_cast<uint8_t>(i % 2);
        approachSolution.tcnValid = static_cast<uint8_t>(i % 3 != 0);
        update(radio);
        update(indicator);
    }
    EXPECT_EQ(allocations_so_far() - before, 0);
    EXPECT_EQ(radio.elements.size(), 12u);
    EXPECT_EQ(indicator.elements.size(), 17u);
    carrierIndicator = CarrierIndicatorState{1, 0, 0, 0.0, 0, 0, 0.0};
    tacanReceiver = 0;
}
