// Module start, gauge placement and the parameters file, on the real module.
#include "host/build_paths.h"
#include <dlfcn.h>

#include <filesystem>
#include <fstream>

#include "scenario_fixture.h"

using scenario_test::calls;
using scenario_test::find_event;
using scenario_test::PathRun;
using scenario_test::TempRoot;
using scenario_test::ScenarioRun;

TEST(ModuleStart, MarksTheModuleValidThenTheOfficerOnAndInstallsEveryPlacedGauge)
{
    ScenarioRun run("tests/scenario/data/all_gauges.xml");
    ASSERT_TRUE(run.error.empty()) << run.error;
    ASSERT_TRUE(run.result.ok) << run.result.error;
    const auto& tl = run.timeline();

    const long start = find_event(tl, "module", "action", "start");
    const long valid = find_event(tl, "lvar", "name", "ZEB_gauge_is_valid");
    const long lso = find_event(tl, "lvar", "name", "LSO_is_Off_VC");
    ASSERT_GE(start, 0);
    ASSERT_GT(valid, start);
    ASSERT_GT(lso, valid);
    EXPECT_EQ(tl.events()[valid].data["value"], 1.0);
    EXPECT_EQ(tl.events()[lso].data["value"], 0.0);
    // Both written during module start, before any gauge is placed.
    const long first_place = find_event(tl, "gauge", "action", "place");
    EXPECT_GT(first_place, lso);

    // Every placement (the sub-panel closer twice) got its service-2 call.
    std::map<std::string, int> installs;
    for (const auto* e : tl.of_kind("gauge_service"))
        if (e->data["service"] == 2) ++installs[e->data["gauge"].get<std::string>()];
    EXPECT_EQ(installs["Close_Subpanel"], 2);
    for (const char* g : {"Radio_TACAN_ARN52B", "Aircraft_Carrier_Indicator", "Tacan_Navigation", "CustomCatapult",
                          "Approach_Ctrl"})
        EXPECT_EQ(installs[g], 1) << g;

    // Only the catapult acts on the connection to its window.
    const long available = find_event(tl, "lvar", "name", "Cust_Catapult_Available");
    ASSERT_GE(available, 0);
    EXPECT_EQ(tl.events()[available].data["value"], 1.0);
}

TEST(ModuleStart, ExportsTheLinkageOfTheGaugeModule)
{
    void* handle = dlopen(CARRIER_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
    auto* linkage = static_cast<GAUGESLINKAGE*>(dlsym(handle, "Linkage"));
    auto* imports = static_cast<IMPORT_TABLE*>(dlsym(handle, "ImportTable"));
    ASSERT_NE(linkage, nullptr);
    ASSERT_NE(imports, nullptr);
    EXPECT_EQ(linkage->ModuleID, 0x13u);
    EXPECT_EQ(linkage->ModuleVersion, 0x900u);
    EXPECT_EQ(imports->PANELSentry.fnID, 0x0Fu);
    EXPECT_EQ(imports->PANELSentry.fnptr, nullptr);
    EXPECT_EQ(imports->nullentry.fnID, 0u);

    const char* names[] = {"Close_Subpanel", "Radio_TACAN_ARN52B", "Aircraft_Carrier_Indicator",
                           "Tacan_Navigation", "CustomCatapult", "Approach_Ctrl"};
    const unsigned sizes[] = {19, 150, 100, 100, 100, 100};
    for (int i = 0; i < 6; ++i) {
        GAUGEHDR* g = linkage->gauge_header_ptrs[i];
        ASSERT_NE(g, nullptr);
        EXPECT_STREQ(g->gauge_name, names[i]);
        EXPECT_EQ(g->gauge_header_version, 800u);
        EXPECT_EQ(g->size_x_mm, sizes[i]) << names[i];
        ASSERT_NE(g->elements_list, nullptr);
        EXPECT_NE(g->elements_list[0], nullptr) << names[i];
        EXPECT_NE(g->gauge_callback, nullptr);
        EXPECT_EQ(g->user_data, 0u);
    }
    EXPECT_EQ(linkage->gauge_header_ptrs[6], nullptr);
    dlclose(handle);
}

TEST(ParametersFile, AMissingFileIsReportedOnStandardErrorAndTheModuleKeepsRunning)
{
    TempRoot root;
    std::filesystem::remove(root.gauges_file("ZEB_Parameters.xml"));
    PathRun run(root.scenario(R"(<panel><gauge name="Tacan_Navigation"/></panel><run rate="10" end="1"/>)"));
    ASSERT_TRUE(run.result.ok) << run.error << run.result.error;
    const auto lines = run.timeline().of_kind("stderr");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0]->data["line"], "erreur lors du chargement");
    const std::string second = lines[1]->data["line"];
    EXPECT_EQ(second.rfind("error #", 0), 0u) << second;
    EXPECT_NE(second.find(" : "), std::string::npos) << second;
    // Start went on: the panel variables, the connection, the gauge publishing.
    EXPECT_GE(find_event(run.timeline(), "lvar", "name", "ZEB_gauge_is_valid"), 0);
    EXPECT_FALSE(calls(run.timeline(), "SimConnect_CallDispatch").empty());
    EXPECT_TRUE(run.host->has_named_variable("TCN Valid"));
    // With no input texts read, no input is bound.
    EXPECT_TRUE(calls(run.timeline(), "SimConnect_MapInputEventToClientEvent").empty());
}

TEST(ParametersFile, AMissingSectionStopsTheReadingWithNoNodeFound)
{
    TempRoot root;
    root.patch("ZEB_Parameters.xml", "<Meatball", "<NotMeatball");
    PathRun run(root.scenario(R"(<run rate="10" end="0.5"/>)"));
    ASSERT_TRUE(run.result.ok) << run.error << run.result.error;
    const auto lines = run.timeline().of_kind("stderr");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0]->data["line"], "no node found");
    // The keyboard section before it was read: both inputs are bound; the
    // catapult section after it was not: no launch input.
    const auto bound = calls(run.timeline(), "SimConnect_MapInputEventToClientEvent");
    ASSERT_EQ(bound.size(), 2u);
    EXPECT_EQ(bound[0]->data["args"]["definition"], "Shift+T");
    EXPECT_EQ(bound[1]->data["args"]["definition"], "Shift+R");
}
