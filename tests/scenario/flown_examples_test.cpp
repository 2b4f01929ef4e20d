// The bundled example flights, run end to end with the real module: a
// wave-off the module's lights order, a bolter past the wires, and an
// approach to the fixed site ashore.
#include "host/build_paths.h"
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "host/bench/config_lint.h"
#include "host/world/flown_aircraft.h"
#include "host/scenario/scenario_check.h"
#include "scenario_fixture.h"

namespace {

using scenario_test::ScenarioRun;

std::vector<const host::TimelineEvent*> flight_events(const host::Timeline& tl, const std::string& what)
{
    std::vector<const host::TimelineEvent*> out;
    for (const auto* e : tl.of_kind("flight"))
        if (e->data.value("what", "") == what) out.push_back(e);
    return out;
}

const host::TimelineEvent* first_flight(const host::Timeline& tl, const std::string& what)
{
    const auto all = flight_events(tl, what);
    return all.empty() ? nullptr : all.front();
}

// Times at which the module wrote `value` to the panel variable `name`.
std::vector<double> lvar_writes(const host::Timeline& tl, const std::string& name, double value)
{
    std::vector<double> out;
    for (const auto* e : tl.of_kind("lvar"))
        if (e->data.value("name", "") == name && e->data.value("value", NAN) == value) out.push_back(e->t);
    return out;
}

size_t raised(const host::Timeline& tl, const std::string& id)
{
    size_t n = 0;
    for (const auto* e : tl.of_kind("key")) n += e->data.value("id", "") == id;
    return n;
}

// The module's published value of `name` at the last change at or before `t`.
double named_at(const host::Timeline& tl, const std::string& name, double t)
{
    double value = NAN;
    for (const auto* e : tl.of_kind("named")) {
        if (e->t > t) break;
        if (e->data.value("name", "") == name) value = e->data.value("value", NAN);
    }
    return value;
}

double user_var(const ScenarioRun& run, const char* name)
{
    return host::World::get(run.host->world().user(), *host::find_sim_var(name));
}

const char* const WIRE_REPORT = "0x11107";

TEST(FlownExamples, TheWaveOffScenarioLightsTheLightsAndTheAircraftClimbsAway)
{
    ScenarioRun run("scenarios/wave_off.xml");
    ASSERT_TRUE(run.error.empty()) << run.error;
    ASSERT_TRUE(run.result.ok) << run.result.error;
    const host::Timeline& tl = run.timeline();

    const std::vector<double> lit = lvar_writes(tl, "WaveOffLight", 1.0);
    ASSERT_EQ(lit.size(), 1u);
    const auto* around = first_flight(tl, "go around");
    ASSERT_NE(around, nullptr);
    EXPECT_EQ(around->data.value("why", ""), "wave-off lights");
    EXPECT_GE(around->t, lit[0]);
    EXPECT_LT(around->t, lit[0] + 0.1);  // the next frame
    // Lit at the officer's check distance because the aircraft was high.
    EXPECT_NEAR(named_at(tl, "ILS Slant Range", lit[0]), 0.3, 0.06);
    EXPECT_GT(named_at(tl, "GS Error", lit[0]), 1.0);
    EXPECT_FALSE(lvar_writes(tl, "WaveOffLight", 0.0).empty());  // and out again after their time

    EXPECT_EQ(first_flight(tl, "touchdown"), nullptr);
    EXPECT_EQ(first_flight(tl, "wire"), nullptr);
    EXPECT_EQ(raised(tl, WIRE_REPORT), 0u);
    // Climbing away: well above where it went around, still going up or level at 600 ft.
    const host::FlownAircraft& flown = host::FlownAircraft::of(run.host->world());
    EXPECT_EQ(flown.phase(), host::FlightPhase::Climb);
    EXPECT_EQ(user_var(run, "SIM ON GROUND"), 0.0);
    const double deck_altitude = 19.0;
    EXPECT_GT(flown.state().altitude_m - deck_altitude, 600.0 * 0.3048 - 20.0);
    EXPECT_GT(user_var(run, "VERTICAL SPEED"), -1.0);
}

TEST(FlownExamples, TheBolterTouchesDownPastTheWiresCatchesNothingAndFliesOffClimbing)
{
    ScenarioRun run("scenarios/bolter.xml");
    ASSERT_TRUE(run.error.empty()) << run.error;
    ASSERT_TRUE(run.result.ok) << run.result.error;
    const host::Timeline& tl = run.timeline();

    const auto* touchdown = first_flight(tl, "touchdown");
    const auto* bolter = first_flight(tl, "bolter");
    ASSERT_TRUE(touchdown && bolter);
    const host::FlownAircraft& flown = host::FlownAircraft::of(run.host->world());
    const host::DeckModel* deck = nullptr;
    for (const auto& [id, object] : run.host->world().objects())
        if (object.kind == host::ObjectKind::Boat && flown.deck_of(id)) deck = flown.deck_of(id);
    ASSERT_NE(deck, nullptr);
    // The wheels met the deck beyond the four wire, the hook behind them too.
    EXPECT_GT(touchdown->data.value("along_m", 0.0), deck->wires[3]);
    EXPECT_GT(flown.recovery().hook_touch_s_m, deck->wires[3]);
    EXPECT_LT(touchdown->t, bolter->t);
    EXPECT_LT(bolter->t - touchdown->t, 4.0);  // the rest of the angled deck at full power

    EXPECT_EQ(first_flight(tl, "wire"), nullptr);
    EXPECT_EQ(flown.recovery().wire, 0);
    EXPECT_EQ(raised(tl, WIRE_REPORT), 0u);
    EXPECT_EQ(user_var(run, "CABLE CAUGHT BY TAILHOOK"), 0.0);

    // Airborne again, climbing out along the angled deck.
    EXPECT_EQ(flown.phase(), host::FlightPhase::Climb);
    EXPECT_EQ(user_var(run, "SIM ON GROUND"), 0.0);
    EXPECT_GT(flown.state().altitude_m - 19.0, 100.0);
    EXPECT_GT(user_var(run, "VERTICAL SPEED"), -1.0);
    EXPECT_TRUE(flown.recovery().bolter);
    // The track over the ground is the landing line's course: the ship's heading less the angle.
    const host::SimObject* ship = nullptr;
    for (const auto& [id, object] : run.host->world().objects())
        if (object.kind == host::ObjectKind::Boat) ship = &object;
    ASSERT_NE(ship, nullptr);
    const double course = host::World::get(*ship, *host::find_sim_var("PLANE HEADING DEGREES TRUE")) -
                          deck->landing_angle_deg * M_PI / 180.0;
    const double track = std::atan2(flown.state().ground_east_mps, flown.state().ground_north_mps);
    EXPECT_NEAR(std::remainder(track - course, 2 * M_PI) * 180.0 / M_PI, 0.0, 0.3);
}

TEST(FlownExamples, TheFixedSiteApproachLandsOnTheRunwayAndStopsWithNoWireReport)
{
    ScenarioRun run("scenarios/fixed_site.xml");
    ASSERT_TRUE(run.error.empty()) << run.error;
    ASSERT_TRUE(run.result.ok) << run.result.error;
    const host::Timeline& tl = run.timeline();

    const auto* touchdown = first_flight(tl, "touchdown");
    const auto* stopped = first_flight(tl, "stopped");
    ASSERT_TRUE(touchdown && stopped);
    EXPECT_NEAR(touchdown->data.value("along_m", 0.0), 300.0, 10.0);  // the aim point, 300 m past the threshold
    EXPECT_LT(touchdown->data.value("sink_mps", 99.0), 5.0);
    EXPECT_GT(stopped->data.value("rollout_m", 0.0), 400.0);
    EXPECT_LT(stopped->data.value("rollout_m", 0.0), 1500.0);
    EXPECT_EQ(first_flight(tl, "wire"), nullptr);
    EXPECT_EQ(first_flight(tl, "bolter"), nullptr);
    EXPECT_EQ(raised(tl, WIRE_REPORT), 0u);

    // The module selected the site, and its glide slope and line are the ones flown.
    EXPECT_EQ(named_at(tl, "CarrierType", touchdown->t), 2.0);
    EXPECT_EQ(named_at(tl, "TCN Valid", touchdown->t), 1.0);
    double worst_gs = 0.0, worst_loc = 0.0, low = 0.0, range = NAN;
    for (const auto* e : tl.of_kind("named")) {
        const std::string name = e->data.value("name", "");
        const double v = e->data.value("value", 0.0);
        if (name == "ILS Slant Range") range = v;
        if (e->t < 20.0 || e->t > touchdown->t - 2.0) continue;
        if (name == "GS Error" && range < 0.65 && range > 0.56) low = std::min(low, v);
        if (name == "GS Error" && (range > 0.9 || range < 0.35)) worst_gs = std::max(worst_gs, std::fabs(v));
        if (name == "LOC Error") worst_loc = std::max(worst_loc, std::fabs(v));
    }
    EXPECT_LT(worst_gs, 0.1);
    EXPECT_LT(worst_loc, 0.1);
    EXPECT_NEAR(low, -0.8, 0.1);

    // Stopped on the runway at the site's elevation, heading down it.
    const host::FlownAircraft& flown = host::FlownAircraft::of(run.host->world());
    EXPECT_EQ(flown.phase(), host::FlightPhase::Parked);
    EXPECT_TRUE(flown.recovery().stopped);
    EXPECT_EQ(user_var(run, "SIM ON GROUND"), 1.0);
    EXPECT_EQ(user_var(run, "GROUND VELOCITY"), 0.0);
    EXPECT_NEAR(user_var(run, "PLANE ALTITUDE"), 16.0 * 0.3048 + user_var(run, "STATIC CG TO GROUND"), 0.01);
    EXPECT_NEAR(user_var(run, "PLANE HEADING DEGREES TRUE"), 40.0 * M_PI / 180.0, 0.01);
    EXPECT_EQ(user_var(run, "CABLE CAUGHT BY TAILHOOK"), 0.0);
    // The module placed its lens ashore.
    bool lens = false;
    for (const auto& [id, object] : run.host->world().objects()) lens = lens || object.title == "FLOLS Ashore Fresnel Lens";
    EXPECT_TRUE(lens);
}

TEST(FlownExamples, TheExamplesPassTheBenchCheck)
{
    for (const char* file : {"scenarios/wave_off.xml", "scenarios/bolter.xml", "scenarios/fixed_site.xml"}) {
        std::string error;
        auto scenario = host::load_scenario(scenario_test::source_path(file), &error);
        ASSERT_TRUE(scenario) << error;
        EXPECT_FALSE(scenario->description.empty()) << file;
        const auto gauges = host::module_gauge_names(CARRIER_MODULE_PATH, &error);
        std::vector<std::string> sites;
        for (const auto& site : host::read_fixed_sites(scenario->sim_root)) sites.push_back(site.name);
        const auto problems = host::check_scenario(*scenario, gauges, sites);
        EXPECT_TRUE(problems.empty()) << file << ": " << (problems.empty() ? "" : problems[0].message);
    }
}

TEST(FlownExamples, BadSiteApproachesAreRefusedWithTheirLine)
{
    scenario_test::TempRoot root;
    struct Case {
        const char* world;
        const char* message;
    } cases[] = {
        {"<flight site=\"Nowhere Field\"/>", "no fixed site \"Nowhere Field\""},
        {"<flight site=\"FCLP Fentress\" deck=\"X\"/>", "a deck or to a site, not both"},
        {"<flight distance=\"3\"/>", "needs a deck (a boat title) or a site"},
        {"<flight site=\"FCLP Fentress\" runway_length=\"90000\"/>", "\"runway_length\" = 90000 is outside"},
        {"<flight site=\"FCLP Fentress\" runway_length=\"1000\" aim_point=\"900\"/>", "room to stop"},
        {"<flight deck=\"X\" aim_point=\"300\"/>", "belongs to an approach to a site"},
    };
    for (const Case& k : cases) {
        const std::string path = root.scenario(std::string("<world>\n") + k.world + "\n</world>\n<run end=\"1\"/>");
        std::string error;
        EXPECT_FALSE(host::load_scenario(path, &error)) << k.world;
        EXPECT_NE(error.find(path + ":5:"), std::string::npos) << error;
        EXPECT_NE(error.find(k.message), std::string::npos) << error;
    }
    // A site whose elevation in the carrier list is out of range: the run stops with the action's error.
    root.patch("ZEB_Carrier.xml", "Alt=\"16\"", "Alt=\"1e9\"");
    scenario_test::PathRun run(root.scenario("<world>\n<flight site=\"FCLP Fentress\"/>\n</world>\n<run end=\"1\"/>"));
    ASSERT_TRUE(run.error.empty()) << run.error;
    EXPECT_FALSE(run.result.ok);
    EXPECT_NE(run.result.error.find("elevation outside"), std::string::npos) << run.result.error;
}

}  // namespace
