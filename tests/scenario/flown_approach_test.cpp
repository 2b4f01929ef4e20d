// The flown approach scenario: the flight model flies the bundled carrier's
// glide slope with the scenario's deviations, the module sees them, and the
// hook traps on the wire it crosses with a run-out of about 100 m.
#include <gtest/gtest.h>

#include "host/world/flown_aircraft.h"
#include "scenario_fixture.h"

namespace {

using scenario_test::ScenarioRun;

// The module's published value of `name` at the last change before `t`.
double named_at(const host::Timeline& timeline, const std::string& name, double t)
{
    double value = NAN;
    for (const auto* e : timeline.of_kind("named")) {
        if (e->t > t) break;
        if (e->data.value("name", "") == name) value = e->data.value("value", NAN);
    }
    return value;
}

TEST(FlownApproach, TheModuleSeesTheDeviationsAndTheHookTrapsOnTheThreeWire)
{
    ScenarioRun run("scenarios/approach_flown.xml");
    ASSERT_TRUE(run.error.empty()) << run.error;
    ASSERT_TRUE(run.result.ok) << run.result.error;
    const host::Timeline& timeline = run.timeline();

    std::vector<const host::TimelineEvent*> flight = timeline.of_kind("flight");
    auto find = [&](const std::string& what) -> const host::TimelineEvent* {
        for (const auto* e : flight)
            if (e->data.value("what", "") == what) return e;
        return nullptr;
    };
    const auto* touchdown = find("touchdown");
    const auto* wire = find("wire");
    const auto* arrested = find("arrested");
    ASSERT_TRUE(touchdown && wire && arrested);
    EXPECT_EQ(find("bolter"), nullptr);
    EXPECT_EQ(wire->data.value("wire", 0.0), 3.0);
    EXPECT_NEAR(touchdown->data.value("along_m", 0.0), 71.0, 5.0);
    EXPECT_NEAR(arrested->data.value("runout_m", 0.0), 100.0, 2.0);
    EXPECT_GT(arrested->data.value("runout_s", 0.0), 2.0);
    EXPECT_LT(arrested->data.value("runout_s", 0.0), 3.0);
    EXPECT_LT(touchdown->t, wire->t + 1e-9);
    EXPECT_LT(wire->t, arrested->t);

    // The module's glide-slope and localiser errors follow the deviations:
    // about 0.8 degrees high near 0.55 nm, 1.6 degrees left near 0.36 nm, on
    // the slope before and after.
    double high = 0, left = 0, settled_gs = 0, settled_loc = 0;
    double range = NAN;
    for (const auto* e : timeline.of_kind("named")) {
        const std::string name = e->data.value("name", "");
        const double v = e->data.value("value", 0.0);
        if (name == "ILS Slant Range") range = v;
        if (e->t < 40 || e->t > wire->t - 3.0) continue;
        if (name == "GS Error" && range < 0.56 && range > 0.5) high = std::max(high, v);
        if (name == "LOC Error" && range < 0.37 && range > 0.33) left = std::max(left, v);
        if (name == "GS Error" && (range > 0.8 || range < 0.25)) settled_gs = std::max(settled_gs, std::fabs(v));
        if (name == "LOC Error" && (range > 0.8 && range < 1.5)) settled_loc = std::max(settled_loc, std::fabs(v));
    }
    EXPECT_NEAR(high, 0.8, 0.1);
    EXPECT_NEAR(left, 1.6, 0.25);
    EXPECT_LT(settled_gs, 0.1);
    EXPECT_LT(settled_loc, 0.1);
    EXPECT_EQ(named_at(timeline, "TCN Valid", wire->t), 1.0);

    // At the end: hook up, wire released, on deck; NAV2 receives the Norfolk VOR-DME.
    const host::SimObject& user = run.host->world().user();
    auto get = [&](const char* name) { return host::World::get(user, *host::find_sim_var(name)); };
    EXPECT_EQ(get("SIM ON GROUND"), 1.0);
    EXPECT_EQ(get("CABLE CAUGHT BY TAILHOOK"), 0.0);
    EXPECT_EQ(get("NAV HAS NAV:2"), 1.0);
    EXPECT_EQ(get("NAV HAS DME:2"), 1.0);
    EXPECT_NEAR(get("NAV DME:2") / 1852.0, 40.0, 6.0);
    EXPECT_GT(get("AMBIENT WIND Z"), 0.0);  // the ship keeps the wind down the deck: a headwind
}

TEST(FlownApproach, BadFlightElementsAreRefusedWithTheirLine)
{
    scenario_test::TempRoot root;
    struct Case {
        const char* world;
        const char* message;
    } cases[] = {
        {"<flight deck=\"X\" distance=\"40\"/>", "\"distance\" = 40 is outside"},
        {"<flight deck=\"X\" action=\"loop\"/>", "flight action must be"},
        {"<flight deck=\"X\"><deviation from=\"0.5\" to=\"0.7\" glide=\"1\"/></flight>", "from a distance down"},
        {"<flight deck=\"X\"><deviation from=\"0.7\" to=\"0.5\" glide=\"5\"/></flight>", "\"glide\" = 5 is outside"},
        {"<wind from=\"400\" speed=\"10\"/>", "\"from\" = 400 is outside"},
        {"<station ident=\"X\" frequency=\"99.1\" latitude=\"1\" longitude=\"1\"/>", "\"frequency\" = 99.1"},
        {"<deck_model boat=\"X\" model=\"no_such_class\"/>", "cannot open the deck file"},
        {"<turn_into_wind boat=\"X\" along=\"sideways\"/>", "along is"},
        {"<flight action=\"catapult\" deck=\"X\" number=\"1.5\"/>", "a catapult number"},
    };
    for (const Case& k : cases) {
        const std::string path = root.scenario(std::string("<world>\n") + k.world + "\n</world>\n<run end=\"1\"/>");
        std::string error;
        EXPECT_FALSE(host::load_scenario(path, &error)) << k.world;
        EXPECT_NE(error.find(path + ":5:"), std::string::npos) << error;
        EXPECT_NE(error.find(k.message), std::string::npos) << error;
    }
}

}  // namespace
