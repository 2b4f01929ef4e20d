// What the bench finds before a run (`check`) and how it ends a run whose
// action fails: the real module's gauge table, the bundled simulator root.
#include "host/build_paths.h"
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "host/bench/config_lint.h"
#include "host/scenario/scenario_check.h"
#include "scenario_fixture.h"

namespace {

using scenario_test::TempRoot;

const char* const PANEL = R"(<panel><gauge name="Tacan_Navigation" parameters="NAV1"/></panel>)";
const char* const WORLD = R"(<world>
  <boat ref="cv" title="Carrier Nimitz CVN-68" latitude="36.8" longitude="-75.4" heading="90" speed="20"/>
  <aircraft relative_to="Carrier Nimitz CVN-68" bearing="171" distance="8" altitude="3035" heading="81" speed="140"/>
</world>)";

std::string bench_path() { return (std::filesystem::path(CARRIER_MODULE_PATH).parent_path() / "carrier-bench").string(); }

// Runs the bench with `args`; returns its exit status and fills `output` with stdout and stderr.
int bench(const std::string& args, std::string* output)
{
    const std::string out_file = std::filesystem::temp_directory_path() / ("bench_out_" + std::to_string(getpid()));
    const int status = std::system((bench_path() + " " + args + " >" + out_file + " 2>&1").c_str());
    std::ifstream in(out_file);
    std::stringstream text;
    text << in.rdbuf();
    *output = text.str();
    std::filesystem::remove(out_file);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<host::ScenarioProblem> problems_of(const std::string& path)
{
    std::string error;
    auto scenario = host::load_scenario(path, &error);
    EXPECT_TRUE(scenario) << error;
    if (!scenario) return {};
    const auto gauges = host::module_gauge_names(CARRIER_MODULE_PATH, &error);
    EXPECT_EQ(gauges.size(), 6u) << error;
    std::vector<std::string> sites;
    for (const auto& site : host::read_fixed_sites(scenario->sim_root)) sites.push_back(site.name);
    return host::check_scenario(*scenario, gauges, sites);
}

TEST(BenchCheck, RefusesWhatCanNeverWork)
{
    const struct {
        const char* panel;
        const char* world;
        const char* run;
        int line;  // of the problem; 0: no problem
        const char* message;
    } cases[] = {
        {PANEL, WORLD, R"(<run end="10"><event time="2"><note text="x"/></event></run>)", 0, ""},
        {R"(<panel><gauge name="Tacan_Navigaton"/></panel>)", WORLD, R"(<run end="10"/>)", 4,
         "the module has no gauge named \"Tacan_Navigaton\" (did you mean Tacan_Navigation?"},
        {PANEL, WORLD, "<run end=\"10\">\n<event name=\"late\" time=\"10.5\"><note text=\"x\"/></event></run>", 10,
         "event \"late\" at 10.5 s never fires: the run ends at 10 s"},
        {PANEL, WORLD, "<run end=\"10\" rate=\"30\">\n<event frame=\"301\"><note text=\"x\"/></event></run>", 10,
         "at frame 301 never fires: the last frame is 300"},
        {PANEL, WORLD, "<run end=\"10\">\n<event time=\"10\"><note text=\"x\"/></event></run>", 0, ""},
        {PANEL, WORLD, "<run end=\"10\">\n<event time=\"1\"><boat action=\"remove\" title=\"Carrier Kitty Hawk CV-63\"/></event></run>",
         10, "remove boat Carrier Kitty Hawk CV-63: no boat titled \"Carrier Kitty Hawk CV-63\" is added anywhere"},
        {PANEL, WORLD, "<run end=\"10\">\n<event time=\"1\"><boat action=\"move\" ref=\"cv2\" speed=\"3\"/></event></run>", 10,
         "no boat with ref \"cv2\" is added"},
        {PANEL, WORLD, "<run end=\"10\">\n<event time=\"1\"><set var=\"AIRSPEED TRUE\" unit=\"knots\" value=\"3\" object=\"Tug\"/></event></run>",
         10, "no boat titled \"Tug\""},
        {PANEL, WORLD, "<run end=\"10\">\n<event time=\"1\"><aircraft relative_to=\"Nowhere\" bearing=\"0\" distance=\"1\"/></event></run>",
         10, "relative_to \"Nowhere\" is no boat added anywhere in the scenario and no fixed site"},
        {PANEL, WORLD, "<run end=\"10\">\n<event time=\"1\"><aircraft relative_to=\"FCLP Fentress\" bearing=\"180\" distance=\"2\"/></event></run>",
         0, ""},
        // Boats found by ref or title for a deck or a replay; decks a flight needs.
        {PANEL, WORLD, "<run end=\"10\">\n<event time=\"1\"><deck ref=\"nope\" x=\"0\" z=\"0\"/></event></run>", 10,
         "on deck of nope: no boat with ref \"nope\" is added anywhere"},
        {PANEL, WORLD, "<run end=\"10\">\n<event time=\"1\"><deck ship=\"Tug\" x=\"0\" z=\"0\"/></event></run>", 10,
         "no boat titled \"Tug\""},
        {PANEL, WORLD, "<run end=\"10\">\n<event time=\"1\"><deck ref=\"cv\" x=\"0\" z=\"0\"/></event></run>", 0, ""},
        {PANEL, WORLD, "<run end=\"10\">\n<event time=\"1\"><replay track=\"TRACK\" ref=\"nope\"/></event></run>", 10,
         "no boat with ref \"nope\" is added"},
        {PANEL, WORLD, "<run end=\"10\">\n<event time=\"1\"><replay track=\"TRACK\" object=\"No Boat\"/></event></run>", 10,
         "no boat titled \"No Boat\" is added"},
        {PANEL, WORLD, "<run end=\"10\">\n<event time=\"1\"><replay track=\"TRACK\" object=\"Carrier Nimitz CVN-68\"/></event></run>",
         0, ""},
        {PANEL, WORLD, "<run end=\"10\">\n<event time=\"1\"><flight deck=\"Carrier Nimitz CVN-68\"/></event></run>", 10,
         "flight approach to Carrier Nimitz CVN-68: the boat \"Carrier Nimitz CVN-68\" gets no <deck_model> anywhere"},
        {PANEL, WORLD, "<run end=\"10\">\n<event time=\"1\"><flight action=\"catapult\" deck=\"Carrier Nimitz CVN-68\" number=\"1\"/></event></run>",
         10, "flight on catapult 1: the boat \"Carrier Nimitz CVN-68\" gets no <deck_model>"},
        {PANEL, WORLD, "<run end=\"10\">\n<event time=\"1\"><turn_into_wind boat=\"Carrier Nimitz CVN-68\"/></event></run>", 10,
         "gets no <deck_model>"},
        {PANEL, WORLD, "<run end=\"10\">\n<event time=\"1\"><turn_into_wind boat=\"Carrier Nimitz CVN-68\" along=\"axial\"/></event></run>",
         0, ""},
        {PANEL, WORLD,
         "<run end=\"10\">\n<event time=\"2\"><flight deck=\"Carrier Nimitz CVN-68\"/></event>"
         "<event time=\"1\"><deck_model boat=\"Carrier Nimitz CVN-68\" model=\"nimitz\"/></event></run>",
         0, ""},
        // Added by an event: the remove may succeed.
        {PANEL, WORLD,
         "<run end=\"10\">\n<event time=\"1\"><boat title=\"Tug\" latitude=\"1\" longitude=\"1\"/></event>"
         "<event time=\"2\"><boat action=\"remove\" title=\"Tug\"/></event></run>",
         0, ""},
    };
    TempRoot root;
    const std::string track = scenario_test::source_path("scenarios/tracks/cvn68_ship.csv");
    for (const auto& c : cases) {
        std::string run = c.run;
        if (const size_t at = run.find("TRACK"); at != std::string::npos) run.replace(at, 5, track);
        const std::string path = root.scenario(std::string(c.panel) + "\n" + c.world + "\n" + run);
        const auto problems = problems_of(path);
        if (c.line == 0) {
            EXPECT_TRUE(problems.empty()) << c.run << ": " << (problems.empty() ? "" : problems[0].message);
            continue;
        }
        ASSERT_EQ(problems.size(), 1u) << c.run;
        EXPECT_EQ(problems[0].line, c.line) << problems[0].message;
        EXPECT_NE(problems[0].message.find(c.message), std::string::npos) << problems[0].message;
    }
}

TEST(BenchCheck, WorldActionsNeedBoatsAndDeckModelsAddedBeforeThem)
{
    TempRoot root;
    const std::string path = root.scenario(std::string(PANEL) + R"(
<world>
  <boat action="move" title="Late" speed="3"/>
  <boat title="Late" latitude="1" longitude="1"/>
  <flight deck="Late" distance="3"/>
  <deck_model boat="Late" model="nimitz"/>
  <flight action="catapult" deck="Late" number="1"/>
</world>
<run end="1"/>)");
    const auto problems = problems_of(path);
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_EQ(problems[0].line, 6);
    EXPECT_NE(problems[0].message.find("is added before it in <world>"), std::string::npos) << problems[0].message;
    EXPECT_EQ(problems[1].line, 8);
    EXPECT_NE(problems[1].message.find("gets no <deck_model> before it in <world>"), std::string::npos)
        << problems[1].message;
}

TEST(BenchCheck, TheCommandRefusesAndLints)
{
    TempRoot root;
    std::string output;
    const std::string good = root.scenario(std::string(PANEL) + WORLD + R"(<run end="1"/>)");
    EXPECT_EQ(bench("check " + good, &output), 0) << output;
    EXPECT_NE(output.find(": ok"), std::string::npos) << output;

    const std::string bad = root.scenario(std::string(R"(<panel><gauge name="Approach_Control"/></panel>)") + WORLD + R"(<run end="1"/>)");
    EXPECT_EQ(bench("check " + bad, &output), 2) << output;
    EXPECT_NE(output.find("no gauge named \"Approach_Control\""), std::string::npos) << output;
    EXPECT_NE(output.find(": refused"), std::string::npos) << output;

    // The lint of the scenario's root: a warning passes, unless --strict.
    root.scenario(std::string(PANEL) + WORLD + R"(<run end="1"/>)");
    root.patch("ZEB_Carrier.xml", "RunwayAngle=\"9\"", "RunwayAngel=\"9\"");
    EXPECT_EQ(bench("check " + good, &output), 0) << output;
    EXPECT_NE(output.find("RunwayAngel: did you mean RunwayAngle?"), std::string::npos) << output;
    EXPECT_EQ(bench("check --strict " + good, &output), 2) << output;
    EXPECT_EQ(bench("lint " + (root.dir / "simroot").string(), &output), 0) << output;
    EXPECT_EQ(bench("lint --strict " + (root.dir / "simroot").string(), &output), 1) << output;
    EXPECT_EQ(bench("lint /nonexistent/root", &output), 2) << output;
}

// Removing a boat that is not there fails at run time; the run still goes to
// its end, the failure is on the timeline and in the summary, and the exit
// status is 1.
TEST(BenchRun, AFailedActionKeepsTheRunAndItsSummary)
{
    TempRoot root;
    const std::string path = root.scenario(std::string(PANEL) + WORLD + R"(
<run end="4">
  <event name="gone" time="1"><boat action="remove" title="Carrier Kitty Hawk CV-63"/><note text="after"/></event>
  <event name="later" time="3"><note text="still running"/></event>
</run>)");
    scenario_test::PathRun run(path);
    ASSERT_TRUE(run.error.empty()) << run.error;
    EXPECT_TRUE(run.result.completed);
    EXPECT_FALSE(run.result.ok);
    ASSERT_EQ(run.result.failures.size(), 1u);
    EXPECT_NE(run.result.failures[0].find(":9: no boat titled \"Carrier Kitty Hawk CV-63\" to remove"), std::string::npos)
        << run.result.failures[0];
    const auto failed = run.timeline().of_kind("action_failed");
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_EQ(failed[0]->data.value("line", 0), 9);
    EXPECT_EQ(run.timeline().of_kind("note").size(), 2u);  // the action after it and the later event ran
    EXPECT_EQ(run.host->frame(), 120);

    const std::string out = (root.dir / "out").string();
    std::string output;
    EXPECT_EQ(bench("run --quiet --verbose " + path + " --out " + out, &output), 1) << output;
    EXPECT_NE(output.find("Failed actions: 1"), std::string::npos) << output;
    EXPECT_NE(output.find("Approach picture"), std::string::npos) << output;
    std::ifstream timeline(out + "/timeline.jsonl");
    std::string line, last;
    bool has_failure = false, has_stop = false;
    while (std::getline(timeline, line)) {
        has_failure = has_failure || line.find("\"kind\":\"action_failed\"") != std::string::npos;
        has_stop = has_stop || line.find("\"kind\":\"module\",\"action\":\"stop\"") != std::string::npos;
        last = line;
    }
    EXPECT_TRUE(has_failure);
    EXPECT_TRUE(has_stop);
    std::ifstream summary(out + "/summary.txt");
    std::stringstream summary_text;
    summary_text << summary.rdbuf();
    EXPECT_NE(summary_text.str().find("action failed (line 9): remove boat Carrier Kitty Hawk CV-63"), std::string::npos)
        << summary_text.str();

    // A relative run directory is taken from where the bench was started,
    // although the run enters the simulator root.
    EXPECT_EQ(bench("run --quiet " + path + " --out " + std::filesystem::relative(out + "2").string(), &output), 1)
        << output;
    EXPECT_TRUE(std::filesystem::exists(out + "2/summary.txt"));
    EXPECT_TRUE(std::filesystem::exists(out + "2/timeline.jsonl"));
    EXPECT_NE(last.find("\"t\":4.0"), std::string::npos) << last;
}

// relative_to names a fixed site of the carrier list: the aircraft is placed
// from the site's aim point, the bearing counted from the runway's heading.
TEST(BenchRun, RelativeToAFixedSite)
{
    TempRoot root;
    const std::string path = root.scenario(std::string(PANEL) + R"(
<world><aircraft relative_to="FCLP Fentress" bearing="180" distance="2" altitude="600"/></world>
<run end="0.1"/>)");
    scenario_test::PathRun run(path);
    ASSERT_TRUE(run.result.ok) << run.error << run.result.error;
    const auto& user = run.host->world().user();
    const double lat = host::World::get(user, *host::find_sim_var("PLANE LATITUDE"));
    const double lon = host::World::get(user, *host::find_sim_var("PLANE LONGITUDE"));
    // Runway heading 040 true, so 180 from it is 220 true: south-west of the aim point.
    double expect_lat = 0, expect_lon = 0;
    host::sphere_destination(36.6953 * M_PI / 180, -76.1353 * M_PI / 180, 220.0 * M_PI / 180, 2 * 1852.0, &expect_lat,
                             &expect_lon);
    EXPECT_NEAR(lat, expect_lat, 1e-12);
    EXPECT_NEAR(lon, expect_lon, 1e-12);
    EXPECT_LT(lat, 36.6953 * M_PI / 180);
    EXPECT_LT(lon, -76.1353 * M_PI / 180);
}

}  // namespace

namespace {

// The walk-through's scenario passes the check and flies the approach it
// describes: locked on through NAV2, on the slope and the line until close in.
TEST(BenchRun, TheFirstScenarioOfTheDocs)
{
    const auto problems = problems_of(scenario_test::source_path("scenarios/first.xml"));
    EXPECT_TRUE(problems.empty()) << problems[0].message;
    scenario_test::ScenarioRun run("scenarios/first.xml");
    ASSERT_TRUE(run.result.ok) << run.error << run.result.error;
    EXPECT_GE(scenario_test::find_event(run.timeline(), "text", "text", "TACAN tuned on CV-63 Kitty Hawk -Lock on-"), 0);
    EXPECT_EQ(run.host->named_variable("TCN Valid"), 1.0);
    EXPECT_NEAR(run.host->named_variable("ILS Slant Range"), 0.55, 0.05);
    EXPECT_LT(std::fabs(run.host->named_variable("GS Error")), 0.5);
    EXPECT_LT(std::fabs(run.host->named_variable("LOC Error")), 2.0);
}

}  // namespace
