// A flown approach to a ship that turns under it, with the real module: the
// bundled turning ship traps; a turn too large is waved off; `check` warns of
// the turns the autopilot cannot follow; correct_s is range-checked.
#include "host/build_paths.h"
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

#include "host/scenario/scenario_check.h"
#include "scenario_fixture.h"

namespace {

using scenario_test::PathRun;
using scenario_test::ScenarioRun;
using scenario_test::TempRoot;

std::string read_file(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The bundled turning-ship scenario with `from` replaced by `to`, written
// beside a copy of the simulator root; returns its path.
std::string variant(const TempRoot& root, const std::string& from, const std::string& to)
{
    std::string text = read_file(scenario_test::source_path("scenarios/turning_ship.xml"));
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    const std::string path = (root.dir / "turning.xml").string();
    std::ofstream(path) << text;
    return path;
}

// The line of the first line of `path` that contains `what`.
int line_of(const std::string& path, const std::string& what)
{
    std::ifstream in(path);
    std::string line;
    for (int n = 1; std::getline(in, line); ++n)
        if (line.find(what) != std::string::npos) return n;
    return 0;
}

std::vector<host::ScenarioProblem> turn_warnings(const std::string& path)
{
    std::string error;
    auto scenario = host::load_scenario(path, &error);
    EXPECT_TRUE(scenario) << error;
    return scenario ? host::check_turns_followed(*scenario) : std::vector<host::ScenarioProblem>{};
}

const host::TimelineEvent* flight_event(const host::Timeline& timeline, const std::string& what)
{
    for (const auto* e : timeline.of_kind("flight"))
        if (e->data.value("what", "") == what) return e;
    return nullptr;
}

TEST(TurningShip, TheBundledApproachFollowsTheTwentyDegreeTurnAndTraps)
{
    ScenarioRun run("scenarios/turning_ship.xml");
    ASSERT_TRUE(run.error.empty()) << run.error;
    ASSERT_TRUE(run.result.ok) << run.result.error;
    const host::Timeline& timeline = run.timeline();
    const auto* wire = flight_event(timeline, "wire");
    ASSERT_TRUE(wire);
    EXPECT_EQ(wire->data.value("wire", 0.0), 3.0);
    EXPECT_TRUE(flight_event(timeline, "arrested"));
    EXPECT_FALSE(flight_event(timeline, "go around"));

    // The ship did turn 20 degrees (034 to 054) before the trap.
    double steady_heading = NAN, steady_t = NAN;
    for (const auto* e : timeline.of_kind("world"))
        if (e->data.value("what", "") == "ship steady into the wind") {
            steady_heading = e->data.value("heading_deg", NAN);
            steady_t = e->t;
        }
    EXPECT_NEAR(steady_heading, 54.0, 0.1);
    EXPECT_LT(steady_t, wire->t);

    // The module saw the aircraft swung far off the line by the turn, and back
    // on it (within half a degree) from the groove's start to the wire.
    double range = NAN, swung = 0.0, groove = 0.0;
    bool wave_off = false;
    for (const auto* e : timeline.of_kind("named")) {
        const std::string name = e->data.value("name", "");
        const double v = e->data.value("value", 0.0);
        if (name == "ILS Slant Range") range = v;
        if (name == "LOC Error" && e->t > 20.0 && e->t < wire->t) {
            swung = std::max(swung, std::fabs(v));
            if (range < 0.75) groove = std::max(groove, std::fabs(v));
        }
    }
    for (const auto* e : timeline.of_kind("lvar"))
        if (e->data.value("name", "") == "WaveOffLight" && e->data.value("value", 0.0) > 0.5) wave_off = true;
    EXPECT_GT(swung, 10.0);
    EXPECT_LT(groove, 0.5);
    EXPECT_FALSE(wave_off);
}

TEST(TurningShip, ATurnOfFiftyDegreesIsWavedOffAndCheckWarnsOfIt)
{
    TempRoot root;
    const std::string path = variant(root, "heading=\"34\"", "heading=\"4\"");
    PathRun run(path);
    ASSERT_TRUE(run.error.empty()) << run.error;
    const host::Timeline& timeline = run.timeline();
    const auto* around = flight_event(timeline, "go around");
    ASSERT_TRUE(around);
    EXPECT_EQ(around->data.value("why", ""), "wave-off lights");
    EXPECT_FALSE(flight_event(timeline, "wire"));
    EXPECT_FALSE(flight_event(timeline, "touchdown"));

    const auto warnings = turn_warnings(path);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_TRUE(warnings[0].warning);
    EXPECT_EQ(warnings[0].line, line_of(path, "<turn_into_wind"));
    EXPECT_NE(warnings[0].message.find("the ship turns 50 deg during the flown approach of line " +
                                       std::to_string(line_of(path, "<flight deck="))),
              std::string::npos)
        << warnings[0].message;
    EXPECT_NE(warnings[0].message.find("too large a turn too close in"), std::string::npos) << warnings[0].message;
}

TEST(TurningShip, CheckWarnsOnlyOfTurnsTheAutopilotCannotFollow)
{
    // The bundled flown scenarios: ships on their heading or turning a little
    // early on, and the turning ship.
    for (const char* file : {"scenarios/turning_ship.xml", "scenarios/approach_flown.xml", "scenarios/default.xml",
                             "scenarios/on_speed.xml", "scenarios/bolter.xml", "scenarios/wave_off.xml"}) {
        const auto warnings = turn_warnings(scenario_test::source_path(file));
        EXPECT_TRUE(warnings.empty()) << file << ": " << (warnings.empty() ? "" : warnings[0].message);
    }

    TempRoot root;
    // The same turn begun at 55 s, 1.3 nm out: over as the groove begins.
    std::string path = variant(root, "time=\"15\"", "time=\"55\"");
    auto warnings = turn_warnings(path);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].message.find("too large a turn too close in"), std::string::npos) << warnings[0].message;

    // A boat that yaws at 8 deg/s for two seconds: faster than the aircraft
    // turns at its bank limit (5.5 deg/s at 140 kt), however small the turn.
    path = variant(root, R"(<turn_into_wind boat="Carrier Nimitz CVN-68" rate="1.0" wind_over_deck="30"/>)",
                   R"(<boat action="move" title="Carrier Nimitz CVN-68" yaw_rate="8"/>
    </event>
    <event name="Steady" time="17">
      <boat action="move" title="Carrier Nimitz CVN-68" yaw_rate="0"/>)");
    warnings = turn_warnings(path);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].line, line_of(path, "yaw_rate=\"8\""));
    EXPECT_NE(warnings[0].message.find("the ship turns at 8.0 deg/s"), std::string::npos) << warnings[0].message;
    EXPECT_NE(warnings[0].message.find("faster than the autopilot can turn the aircraft after its landing line (5.5 "
                                       "deg/s at the bank limit and 140 kt)"),
              std::string::npos)
        << warnings[0].message;

    // A turn whose event waits on a condition is not rehearsed (the module's
    // variables are not there to decide it).
    path = variant(root, "time=\"15\"", "time=\"55\" condition=\"(A:PLANE ALTITUDE, feet) 5000 &lt;\"");
    EXPECT_TRUE(turn_warnings(path).empty());
}

TEST(TurningShip, TheBenchCheckPrintsTheWarningAndStillPassesTheScenario)
{
    TempRoot root;
    const std::string path = variant(root, "time=\"15\"", "time=\"55\"");
    const std::string out_file = (root.dir / "check.out").string();
    const std::string bench = (std::filesystem::path(CARRIER_MODULE_PATH).parent_path() / "carrier-bench").string();
    const int status = std::system((bench + " check " + path + " >" + out_file + " 2>&1").c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    const std::string output = read_file(out_file);
    const std::string warning =
        path + ":" + std::to_string(line_of(path, "<turn_into_wind")) + ": warning: the ship turns 20 deg during";
    EXPECT_NE(output.find(warning), std::string::npos) << output;
    EXPECT_NE(output.find(path + ": ok"), std::string::npos) << output;
}

TEST(TurningShip, CorrectSIsASecondsRangeOnTheApproach)
{
    TempRoot root;
    const std::string flight = "<flight deck=\"Carrier Nimitz CVN-68\"";
    for (const char* value : {"0.4", "30.5", "-1", "nan"}) {
        const std::string path = variant(root, flight, flight + " correct_s=\"" + value + "\"");
        std::string error;
        EXPECT_FALSE(host::load_scenario(path, &error)) << value;
        EXPECT_NE(error.find(path + ":" + std::to_string(line_of(path, "correct_s")) + ": attribute \"correct_s\""),
                  std::string::npos)
            << error;
    }
    for (const char* value : {"0.5", "30"}) {
        const std::string path = variant(root, flight, flight + " correct_s=\"" + value + "\"");
        std::string error;
        EXPECT_TRUE(host::load_scenario(path, &error)) << value << ": " << error;
    }
}

}  // namespace
