// The host's panel services on their own: named variables by name and by
// pointer, lookup_var, and the table acting on the active instance.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "host/panel/key_event_bus.h"
#include "host/panel/panel_services.h"
#include "host/world/sim_vars.h"
#include "host/record/timeline.h"
#include "host/world/world.h"

namespace {

struct Services {
    host::FrameClock clock;
    host::Timeline timeline;
    host::World world;
    host::KeyEventBus keys{timeline, world};
    host::PanelServices services{clock, 43200.0, host::NamedRecordingRule{}, timeline, world, keys};
};

}  // namespace

TEST(PanelServices, NamedVariablesAreFoundByNameWhateverThePointer)
{
    Services s;
    char buffer[32] = "TCN Bearing";
    const std::string copy = "TCN Bearing";
    const ID bearing = s.services.register_named_variable(buffer);
    EXPECT_EQ(s.services.register_named_variable(buffer), bearing);        // the same pointer again
    EXPECT_EQ(s.services.register_named_variable(copy.c_str()), bearing);  // another pointer, the same text
    // The module reuses its buffer for another name: a new variable, and the
    // old name keeps its id.
    std::strcpy(buffer, "TCN Slant Range");
    const ID range = s.services.register_named_variable(buffer);
    EXPECT_NE(range, bearing);
    EXPECT_EQ(s.services.register_named_variable(copy.c_str()), bearing);
    std::strcpy(buffer, "TCN Bearing");
    EXPECT_EQ(s.services.register_named_variable(buffer), bearing);

    // Known once set; values by name; the published list in registration order.
    EXPECT_FALSE(s.services.has_named_variable("TCN Bearing"));
    s.services.set_named_variable_value(range, 4.5);
    s.services.set_named_variable_value(bearing, 271.0);
    EXPECT_TRUE(s.services.has_named_variable("TCN Bearing"));
    EXPECT_FALSE(s.services.has_named_variable("tcn bearing"));  // names are exact
    EXPECT_EQ(s.services.named_variable("TCN Bearing"), 271.0);
    EXPECT_EQ(s.services.named_variable("TCN Slant Range"), 4.5);
    EXPECT_EQ(s.services.named_variable("Unknown"), 0.0);
    EXPECT_EQ(s.services.published_named_variables(), (std::vector<std::string>{"TCN Bearing", "TCN Slant Range"}));
    EXPECT_EQ(s.timeline.count("host_error"), 0u);
}

TEST(PanelServices, BadNamedVariableCallsAreRecordedAndChangeNothing)
{
    Services s;
    const ID id = s.services.register_named_variable("A");
    EXPECT_EQ(s.services.register_named_variable(nullptr), -1);
    s.services.set_named_variable_value(id + 1, 1.0);
    s.services.set_named_variable_value(-1, 1.0);
    EXPECT_FALSE(s.services.has_named_variable("A"));
    std::vector<std::string> what;
    for (const auto* e : s.timeline.of_kind("host_error")) what.push_back(e->data["what"]);
    EXPECT_EQ(what, (std::vector<std::string>{"register_named_variable without a name",
                                              "set_named_variable_value with an unknown id",
                                              "set_named_variable_value with an unknown id"}));
    EXPECT_EQ(s.timeline.count("named"), 0u);
}

TEST(PanelServices, LookupVarAnswersTheModuleVariables)
{
    Services s;
    const host::SimVarInfo& heading = *host::find_sim_var("PLANE HEADING DEGREES TRUE");
    const host::SimVarInfo& magvar = *host::find_sim_var("MAGVAR");
    struct Case {
        double true_deg, magvar_deg, magnetic_deg;
    } cases[] = {{90, 10, 80}, {5, 10, 355}, {350, -20, 10}, {0, 0, 0}};
    for (const Case& c : cases) {
        host::World::set(s.world.user(), heading, c.true_deg * M_PI / 180.0);
        host::World::set(s.world.user(), magvar, c.magvar_deg * M_PI / 180.0);
        EXPECT_NEAR(s.services.module_variable(MODULE_VAR_PLANE_HEADING_DEGREES), c.magnetic_deg, 1e-9)
            << c.true_deg << " " << c.magvar_deg;
    }
    EXPECT_EQ(s.services.module_variable(MODULE_VAR_PANEL_LIGHTS), 0.0);
    s.services.set_panel_lights(true);
    EXPECT_EQ(s.services.module_variable(MODULE_VAR_PANEL_LIGHTS), 1.0);
    s.clock.frame = 45;  // 1.5 s at 30 frames/s
    EXPECT_EQ(s.services.module_variable(MODULE_VAR_855), 1.5);
    EXPECT_EQ(s.timeline.count("host_error"), 0u);
    EXPECT_EQ(s.services.module_variable(11), 0.0);
    EXPECT_EQ(s.timeline.count("host_error"), 1u);
}

TEST(PanelServices, TheTableActsOnTheActiveInstance)
{
    Services first, second;
    first.services.activate();
    const ID a = host::PanelServices::table.register_named_variable("Lamp");
    host::PanelServices::table.set_named_variable_value(a, 1.0);
    second.services.activate();
    EXPECT_EQ(host::PanelServices::active(), &second.services);
    host::PanelServices::table.set_named_variable_value(host::PanelServices::table.register_named_variable("Lamp"), 2.0);
    host::PanelServices::table.trigger_key_event(0x11101, 4);  // to the active instance's bus
    EXPECT_EQ(first.services.named_variable("Lamp"), 1.0);
    EXPECT_EQ(second.services.named_variable("Lamp"), 2.0);
    EXPECT_EQ(first.timeline.count("key"), 0u);
    ASSERT_EQ(second.timeline.count("key"), 1u);
    EXPECT_EQ(second.timeline.of_kind("key")[0]->data["source"], "module");
}

TEST(PanelServices, TheCalculatorReachesTheBusTheVariablesAndTheTimeline)
{
    Services s;
    s.clock.frame = 60;  // 2 s
    double f = 0;
    ASSERT_TRUE(s.services.execute_calculator("(P:local time, seconds)", &f, nullptr, nullptr));
    EXPECT_EQ(f, 43202.0);
    ASSERT_TRUE(s.services.execute_calculator("67584 (>K:NAV1_RADIO_SET)", nullptr, nullptr, nullptr));  // 0x10800
    const auto keys = s.timeline.of_kind("key");
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0]->data["source"], "calculator");
    EXPECT_NEAR(host::World::get(s.world.user(), *host::find_sim_var("NAV ACTIVE FREQUENCY:1")), 108.0, 1e-9);

    s.services.set_panel_variable("LSO_is_Off_VC", "bool", 1.0, "scenario");
    EXPECT_EQ(s.services.panel_variable("LSO_is_Off_VC"), 1.0);
    EXPECT_EQ(s.services.panel_variable("Unknown"), 0.0);
    const auto lvars = s.timeline.of_kind("lvar");
    ASSERT_EQ(lvars.size(), 1u);
    EXPECT_EQ(lvars[0]->data["name"], "LSO_is_Off_VC");

    EXPECT_FALSE(s.services.execute_calculator(nullptr, &f, nullptr, nullptr));
    for (int k = 0; k < 5; ++k) EXPECT_FALSE(s.services.execute_calculator("1 +", &f, nullptr, nullptr));
    EXPECT_EQ(s.services.calculator_failures(), 6u);
    EXPECT_EQ(s.timeline.count("calc_error"), 4u);  // the null one, then a failing text its first three times
}
