// The designer's usual mistakes, each made on the bundled recovery and
// launch: the run says why, once, in its story, and its expectations fail.
#include "host/build_paths.h"
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>

#include "host/bench/run_reasons.h"
#include "host/scenario/expectations.h"
#include "host/scenario/panel_cfg.h"
#include "scenario_fixture.h"

namespace {

using scenario_test::TempRoot;
namespace fs = std::filesystem;

std::string read_file(const fs::path& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string replace_all(std::string text, const std::string& from, const std::string& to)
{
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

struct Mistake {
    const char* what;
    std::function<std::string(const std::string&)> scenario;  // the default scenario's text, changed
    std::function<void(const TempRoot&)> root;                 // the simulator root, changed
    const char* story;                                         // the reason the story gives
    const char* output;                                        // and what run prints besides (or "")
    int status = 3;                                            // some of the scenario's expectations fail
};

TEST(RunReasons, EachSilentFailureIsNamed)
{
    const auto same = [](const std::string& s) { return s; };
    const auto untouched = [](const TempRoot&) {};
    const Mistake mistakes[] = {
        {"a misspelt carrier-list attribute", same,
         [](const TempRoot& r) { r.patch("ZEB_Carrier.xml", "ILS_Zcoord=\"-90\"", "ILS_Zcord=\"-90\""); }, "",
         "ILS_Zcord: did you mean ILS_Zcoord?"},
        {"a frequency with no entry",
         [](const std::string& s) { return replace_all(s, "area=\"7\" count=\"2\"", "area=\"7\" count=\"3\""); }, untouched,
         "112.80 MHz: no entry in the carrier list", ""},
        {"a Sim_Name differing in case", same,
         [](const TempRoot& r) {
             r.patch("ZEB_Carrier.xml", "Sim_Name=\"Carrier Nimitz CVN-68\"", "Sim_Name=\"Carrier NIMITZ CVN-68\"");
         },
         "112.70 MHz: CVN-68 Nimitz: no boat titled \"Carrier NIMITZ CVN-68\" within 200 km; \"Carrier Nimitz CVN-68\" "
         "differs only in case",
         ""},
        {"a ship title not among the boats",
         [](const std::string& s) { return replace_all(s, "Carrier Nimitz CVN-68", "Carrier Nimitz CVN-86"); }, untouched,
         "no boat titled \"Carrier Nimitz CVN-68\" within 200 km; nearest: \"Carrier Nimitz CVN-86\" (", ""},
        {"a missing sound file", same,
         [](const TempRoot& r) { fs::remove(r.dir / "simroot/Gauges/Sounds/English/lineup.wav"); },
         "silent: LineUp \"LSO: Check your line-up\" shown, its sound Gauges/Sounds/English/lineup.wav did not load",
         "LineUp: the sound file"},
        {"a helicopter that is not installed",
         [](const std::string& s) { return replace_all(s, "<container title=\"SH-60 Seahawk Plane Guard\"/>", ""); },
         untouched, "AI object \"SH-60 Seahawk Plane Guard\" refused (no container with this title: not installed), retried ",
         "", 0},  // the approach itself needs no helicopter
        {"a radio never tuned",
         [](const std::string& s) {
             return std::regex_replace(s, std::regex("<event name=\"Tune TACAN[^]*?</event>"), "");
         },
         untouched, "the radio was never tuned", ""},
        {"an approach flown into the sea",
         [](const std::string& s) {
             // From 1.2 nm, a path 3 degrees under a 2-degree slope: rising at 1 degree
             // to the touchdown point, 40 m under the deck where it starts: below the sea.
             return replace_all(replace_all(s, "<deviation from=\"0.50\" to=\"0.36\" line=\"1.8\"/>",
                                            "<deviation from=\"1.2\" to=\"0.0\" glide=\"-3\"/>"),
                                "speed=\"140\" hook=\"1\"", "speed=\"140\" gs_angle=\"2\" hook=\"1\"");
         },
         untouched, "verdict: the aircraft ended in the sea; the run is not a clean one", ""},
    };
    for (const Mistake& m : mistakes) {
        SCOPED_TRACE(m.what);
        TempRoot root;
        m.root(root);
        const fs::path path = root.dir / "scenario.xml";
        std::ofstream(path) << m.scenario(read_file(scenario_test::source_path("scenarios/default.xml")));
        const fs::path out = root.dir / "run";
        const std::string log = (root.dir / "log.txt").string();
        const std::string command = (fs::path(CARRIER_MODULE_PATH).parent_path() / "carrier-bench").string() + " run " +
                                    path.string() + " --quiet --no-debrief --out " + out.string() + " >" + log + " 2>&1";
        const int status = std::system(command.c_str());
        const std::string output = read_file(log);
        const std::string story = read_file(out / "story.txt");
        EXPECT_EQ(WEXITSTATUS(status), m.status) << output;
        EXPECT_NE(story.find(m.story), std::string::npos) << story;
        EXPECT_NE(output.find(m.output), std::string::npos) << output;
        // Once: the reason is not repeated every frame.
        if (*m.story) EXPECT_EQ(story.find(m.story), story.rfind(m.story)) << story;
    }
}

// The aircraft in the sea is the run's verdict: a story line, and a failed
// "no ditching" row even when no expectation names it; naming it (a
// scenario that means to ditch) judges it like any fact.
TEST(RunReasons, InTheSeaIsTheVerdict)
{
    host::Timeline timeline;
    timeline.set_clock(1.0, 30);
    timeline.add("key", {{"name", "NAV1_RADIO_SET"}, {"value", 0x11270}, {"source", "scenario"}});
    timeline.set_clock(1.1, 33);
    timeline.add("text", {{"text", "TACAN tuned on CVN-68 Nimitz -Lock on-"}});
    timeline.set_clock(42.0, 1260);
    timeline.add("flight", {{"what", "in the sea"}, {"along_m", -40.0}});
    const std::string root = scenario_test::source_path("scenarios/simroot");

    const auto reasons = host::run_reasons(timeline, root, {{"Carrier Nimitz CVN-68", 3.0}}, 60.0);
    ASSERT_EQ(reasons.size(), 1u);
    EXPECT_EQ(reasons[0].t, 42.0);
    EXPECT_EQ(reasons[0].text, "verdict: the aircraft ended in the sea; the run is not a clean one");

    const auto unnamed = host::judge_expectations({}, timeline, root, 60.0);
    ASSERT_EQ(unnamed.size(), 1u);
    EXPECT_FALSE(unnamed[0].met);
    EXPECT_EQ(unnamed[0].observed, "1 time: at t=42.00");

    host::Expectation ditch;
    ditch.name = "ditches";
    ditch.fact = "ditching";
    const auto named = host::judge_expectations({ditch}, timeline, root, 60.0);
    ASSERT_EQ(named.size(), 1u);
    EXPECT_TRUE(named[0].met);
}

}  // namespace

namespace {

// Mistakes the reader names with what was meant.
TEST(RunReasons, TheReaderSaysWhatWasMeant)
{
    TempRoot root;
    const struct {
        const char* body;
        const char* error;
    } cases[] = {
        {R"x(<world><boat title="B" latitude="1" longitude="2" heding="60"/></world><run end="1"/>)x",
         "<boat> has an unknown attribute \"heding\" (did you mean \"heading\"?)"},
        {R"x(<run end="1"><event time="0"><key event="NAV1_RADIO_SET" value="109.35"/></event></run>)x",
         "the value of NAV1_RADIO_SET is BCD of the frequency's hundredths: 109.35 MHz is 0x10935, not \"109.35\""},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(host::load_scenario(root.scenario(c.body), &error));
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
    // A gauge the module lacks: the run names the one meant, as check does.
    scenario_test::PathRun run(root.scenario(R"x(<panel><gauge name="Aproach_Ctrl"/></panel><run end="1"/>)x"));
    EXPECT_NE(run.result.error.find("no gauge named \"Aproach_Ctrl\" (did you mean Approach_Ctrl?)"), std::string::npos)
        << run.result.error;
}

}  // namespace

namespace {

// Ashore the story counts from the threshold and ends with the stop.
TEST(RunReasons, TheFixedSiteStoryEndsWithTheStopOnTheRunway)
{
    scenario_test::ScenarioRun run("scenarios/fixed_site.xml");
    ASSERT_TRUE(run.result.completed) << run.error << run.result.error;
    std::string touchdown, last_flight;
    for (const host::StoryLine& line : host::story_lines(run.timeline())) {
        if (line.text.rfind("touchdown", 0) == 0) touchdown = line.text;
        if (line.text.rfind("touchdown", 0) == 0 || line.text.rfind("stopped", 0) == 0) last_flight = line.text;
    }
    EXPECT_NE(touchdown.find("up the landing area from the threshold"), std::string::npos) << touchdown;
    EXPECT_EQ(last_flight.rfind("stopped on the runway: ", 0), 0u) << last_flight;
}

}  // namespace

namespace {

// A designer's own panel.cfg: this module's gauges of one window placed with
// their parameter strings, the others listed as skipped, a bad line refused
// with its own file and line.
TEST(PanelCfg, PlacesThisModulesGaugesOfTheWindow)
{
    TempRoot root;
    std::ofstream(root.dir / "panel.cfg") << "// the designer's panel\n"
                                             "[Window Titles]\n"
                                             "Window00=Main panel\n"
                                             "\n"
                                             "[Window00]\n"
                                             "size_mm=1024,768\n"
                                             "gauge00=Carrier_Ops!Tacan_Navigation, 0, 0, 10, 10, NAV1\n"
                                             "gauge01=fs9gps!gps_500, 100, 50, 300, 200\n"
                                             "gauge02=carrier_ops!Approach_Ctrl, 5, 7, 1, 2, 9.5, x\n"
                                             "gauge03=carrier_ops!Close_Subpanel, 5, 5\n"
                                             "\n"
                                             "[Window01]\n"
                                             "gauge00=carrier_ops!CustomCatapult, 0, 0\n";
    std::string error;
    auto scenario = host::load_scenario(root.scenario(R"x(<panel file="panel.cfg" window="Window00"/><run end="1"/>)x"), &error);
    ASSERT_TRUE(scenario) << error;
    ASSERT_EQ(scenario->panel.size(), 3u);
    EXPECT_EQ(scenario->panel[0].gauge, "Tacan_Navigation");
    EXPECT_EQ(scenario->panel[0].parameters, "NAV1");
    EXPECT_EQ(scenario->panel[1].gauge, "Approach_Ctrl");
    EXPECT_EQ(scenario->panel[1].parameters, "9.5, x");  // the rest of the line, commas and all
    EXPECT_EQ(scenario->panel[2].parameters, "");
    ASSERT_EQ(scenario->panel_skipped.size(), 1u);
    EXPECT_NE(scenario->panel_skipped[0].find("panel.cfg:8: gauge01=fs9gps!gps_500: another module's gauge, skipped"),
              std::string::npos)
        << scenario->panel_skipped[0];
    // The file's own reading keeps where each gauge sits.
    std::vector<host::PanelCfgGauge> placed;
    ASSERT_TRUE(host::read_panel_cfg((root.dir / "panel.cfg").string(), "window00", &placed, &error)) << error;
    ASSERT_EQ(placed.size(), 4u);
    EXPECT_EQ(placed[2].module, "carrier_ops");
    EXPECT_EQ(placed[2].line, 9);
    EXPECT_EQ(std::vector<int>({placed[2].x, placed[2].y, placed[2].w, placed[2].h}), std::vector<int>({5, 7, 1, 2}));
    scenario_test::PathRun run(scenario->path);
    EXPECT_TRUE(run.result.ok) << run.result.error;
    EXPECT_EQ(run.host->gauges().size(), 3u);

    const struct {
        const char* line;
        const char* error;
    } bad[] = {
        {"gauge00=Tacan_Navigation, 0, 0", "panel.cfg:2: gauge00: \"Tacan_Navigation\" is not module!Gauge"},
        {"gauge00=carrier_ops!Tacan_Navigation, left, 0", "panel.cfg:2: gauge00: the position x, y is whole pixels"},
        {"gauge00=carrier_ops!Tacan_Navigation, 0, 0, 10", "panel.cfg:2: gauge00: a width needs its height"},
        {"gauge00=carrier_ops!Tacan_Navigation", "panel.cfg:2: gauge00: needs a position"},
        {"gaugeA=carrier_ops!Tacan_Navigation, 0, 0", "panel.cfg:2: \"gaugea\" is not gaugeNN"},
        {"[Window00", "panel.cfg:2: a section name needs its closing ]"},
    };
    for (const auto& b : bad) {
        std::ofstream(root.dir / "panel.cfg") << "[Window00]\n" << b.line << "\n";
        EXPECT_FALSE(host::load_scenario(root.scenario(R"x(<panel file="panel.cfg"/><run end="1"/>)x"), &error));
        EXPECT_NE(error.find(b.error), std::string::npos) << error;
    }
    std::ofstream(root.dir / "panel.cfg") << "[Window00]\ngauge00=carrier_ops!Tacan_Navigation, 0, 0\n";
    EXPECT_FALSE(host::load_scenario(root.scenario(R"x(<panel file="panel.cfg" window="Window07"/><run end="1"/>)x"), &error));
    EXPECT_NE(error.find("panel.cfg:1: no [Window07] section (sections: Window00)"), std::string::npos) << error;
}

}  // namespace
