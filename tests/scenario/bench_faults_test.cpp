// The bench under faults, end to end with the real carrier-bench: refused
// SimConnect calls during a launch, interrupting signals, a reader of
// standard output that goes away, an earlier run's files in the run
// directory, absurd command-line numbers and airframe values.
#include "host/build_paths.h"
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "scenario_fixture.h"

namespace {

namespace fs = std::filesystem;
using scenario_test::source_path;
using scenario_test::TempRoot;

std::string bench_path() { return (fs::path(CARRIER_MODULE_PATH).parent_path() / "carrier-bench").string(); }

std::string slurp(const fs::path& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs `command` under bash (for pipefail); returns the exit status, or
// 128 + the signal that ended it. `output` gets stdout and stderr when given.
int shell(const std::string& command, std::string* output = nullptr)
{
    const std::string out_file = fs::temp_directory_path() / ("bench_faults_" + std::to_string(getpid()));
    const std::string line = "bash -c 'set -o pipefail; " + command + "' > " + out_file + " 2>&1";
    const int status = std::system(line.c_str());
    if (output) *output = slurp(out_file);
    fs::remove(out_file);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A bundled scenario without its expectations, with its root made absolute, `insert` added before
// </run> and the run's end replaced by `end` (when given).
std::string bundled(const TempRoot& root, const std::string& name, const std::string& insert, const std::string& end = "")
{
    std::string text = slurp(source_path("scenarios/" + name));
    // The bundled scenario's expectations describe it as bundled, not this variant.
    text = std::regex_replace(text, std::regex("[ \t]*<expect [^>]*/>[ \t]*\n?"), "");
    const std::string simroot = "root=\"simroot\"";
    text.replace(text.find(simroot), simroot.size(), "root=\"" + source_path("scenarios/simroot") + "\"");
    text.insert(text.find("</run>"), insert);
    if (!end.empty()) {
        const size_t at = text.find("end=\"", text.find("<run "));
        text.replace(at + 5, text.find('"', at + 5) - at - 5, end);
    }
    const fs::path path = root.dir / ("bundled_" + name);
    std::ofstream(path) << text;
    return path.string();
}

std::vector<nlohmann::json> timeline_lines(const fs::path& path, bool* all_whole)
{
    std::vector<nlohmann::json> lines;
    std::ifstream in(path);
    std::string line;
    *all_whole = true;
    while (std::getline(in, line)) {
        auto parsed = nlohmann::json::parse(line, nullptr, false);
        if (parsed.is_discarded()) *all_whole = false;
        else lines.push_back(std::move(parsed));
    }
    const std::string text = slurp(path);
    *all_whole = *all_whole && !text.empty() && text.back() == '\n';
    return lines;
}

const char* const RUN_FILES[] = {"summary.txt", "story.txt", "audio.wav", "approach.png", "approach.svg"};

}  // namespace

// From mid-stroke on the simulator refuses every velocity command: the
// summary counts them as refused and its end speed is the last accepted one.
TEST(BenchFaults, RefusedCatapultCommandsAreShownAndTheEndSpeedIsTheLastAccepted)
{
    TempRoot root;
    const std::string path = bundled(root, "catapult.xml",
                                     "<event time=\"9.0\"><fail call=\"SimConnect_SetDataOnSimObject\" count=\"-1\"/></event>\n");
    const fs::path out = root.dir / "out";
    std::string output;
    ASSERT_EQ(shell(bench_path() + " run --quiet " + path + " --out " + out.string(), &output), 0) << output;
    for (const char* name : RUN_FILES) EXPECT_TRUE(fs::exists(out / name)) << name;

    bool whole = false;
    double last_accepted = -1.0;
    int refused = 0;
    for (const auto& e : timeline_lines(out / "timeline.jsonl", &whole)) {
        if (e.value("call", "") != "SimConnect_SetDataOnSimObject" || !e.contains("args") ||
            e["args"].value("define", -1) != 3)
            continue;
        if (e.value("result", 0) != 0) ++refused;
        else last_accepted = e["args"]["values"][0].get<double>();
    }
    ASSERT_GT(refused, 0);
    ASSERT_GT(last_accepted, 20.0);  // well into the stroke, not its first command
    const std::string summary = slurp(out / "summary.txt");
    char expected[96];
    std::snprintf(expected, sizeof expected, "end speed        %.2f m/s (last velocity command accepted)", last_accepted);
    EXPECT_NE(summary.find(expected), std::string::npos) << summary;
    EXPECT_NE(summary.find("refused          " + std::to_string(refused) + " velocity command(s)"), std::string::npos)
        << summary;
}

// SIGINT and SIGTERM stop a long run at a frame boundary: whole lines, an
// "interrupted" record last, the CSV's last row of the same frame, no files
// of a finished run (not even an earlier run's), status 128 + the signal.
TEST(BenchFaults, AnInterruptedRunEndsWithWholeLinesAndSaysSo)
{
    TempRoot root;
    const std::string path = bundled(root, "default.xml", "", "86400");
    const struct {
        const char* signal;
        int status;
    } cases[] = {{"INT", 130}, {"TERM", 143}};
    for (const auto& c : cases) {
        const fs::path out = root.dir / c.signal;
        fs::create_directories(out);
        for (const char* name : RUN_FILES) std::ofstream(out / name) << "an earlier run";
        std::string output;
        // --foreground: the signal goes to the run alone, once. Without it
        // timeout also signals its whole process group, so the run may get
        // the signal twice, and a second one ends a run at once, by design.
        EXPECT_EQ(shell("timeout --foreground --preserve-status -k 20 -s " + std::string(c.signal) + " 3 " + bench_path() +
                            " run --quiet " +
                            path + " --out " + out.string(),
                        &output),
                  c.status)
            << output;
        EXPECT_NE(output.find("interrupted at t = "), std::string::npos) << output;
        for (const char* name : RUN_FILES) EXPECT_FALSE(fs::exists(out / name)) << c.signal << " " << name;

        bool whole = false;
        const auto lines = timeline_lines(out / "timeline.jsonl", &whole);
        EXPECT_TRUE(whole) << c.signal;
        ASSERT_GT(lines.size(), 1000u);
        const nlohmann::json& last = lines.back();
        EXPECT_EQ(last.value("kind", ""), "interrupted");
        EXPECT_EQ(last.value("signal", ""), std::string("SIG") + c.signal);
        bool stopped = false;  // the module was stopped first
        for (size_t i = lines.size() - 5; i + 1 < lines.size(); ++i)
            stopped = stopped || (lines[i].value("kind", "") == "module" && lines[i].value("action", "") == "stop");
        EXPECT_TRUE(stopped) << c.signal;

        const std::string csv = slurp(out / "approach.csv");
        ASSERT_FALSE(csv.empty());
        EXPECT_EQ(csv.back(), '\n');
        const size_t row = csv.rfind('\n', csv.size() - 2) + 1;
        const std::string last_row = csv.substr(row);
        const std::string header = csv.substr(0, csv.find('\n'));
        EXPECT_EQ(std::count(last_row.begin(), last_row.end(), ','), std::count(header.begin(), header.end(), ','));
        EXPECT_EQ(std::stoll(last_row.substr(last_row.find(',') + 1)), last.value("frame", -1));
    }
}

// A reader of standard output that goes away at once costs nothing of the
// run directory, and the status is the run's.
TEST(BenchFaults, AClosedStandardOutputLosesNoRunFile)
{
    TempRoot root;
    const std::string path = bundled(root, "catapult.xml", "");
    const fs::path out = root.dir / "out";
    std::string output;
    EXPECT_EQ(shell(bench_path() + " run --verbose " + path + " --out " + out.string() + " | true", &output), 0) << output;
    for (const char* name : RUN_FILES) EXPECT_TRUE(fs::exists(out / name)) << name;
    bool whole = false;
    const auto lines = timeline_lines(out / "timeline.jsonl", &whole);
    EXPECT_TRUE(whole);
    EXPECT_GT(fs::file_size(out / "approach.svg"), 2000u);
}

// A run refused at start into an earlier run's directory leaves none of the
// earlier run's results (snapshots of the module's gauges included) beside
// its own timeline; files that are no run's stay.
TEST(BenchFaults, AFailedRunLeavesNoEarlierRunsFiles)
{
    TempRoot root;
    const fs::path out = root.dir / "out";
    const std::string good = bundled(root, "catapult.xml", "<event time=\"1\"><snapshot name=\"early\"/></event>\n");
    std::string output;
    ASSERT_EQ(shell(bench_path() + " run --quiet " + good + " --out " + out.string(), &output), 0) << output;
    ASSERT_TRUE(fs::exists(out / "summary.txt"));
    ASSERT_TRUE(fs::exists(out / "early-CustomCatapult.png"));
    std::ofstream(out / "notes.txt") << "mine";
    std::ofstream(out / "diagram.png") << "mine";
    std::ofstream(out / "trend-2.png") << "an earlier run's second pass";
    std::ofstream(out / "trend-notes.png") << "mine";

    std::string text = slurp(good);
    text.replace(text.find("gauge name=\"CustomCatapult\""), 27, "gauge name=\"CustomCatapul\"");
    const fs::path bad = root.dir / "bad.xml";
    std::ofstream(bad) << text;
    EXPECT_EQ(shell(bench_path() + " run --quiet " + bad.string() + " --out " + out.string(), &output), 2) << output;
    EXPECT_NE(output.find("no gauge named \"CustomCatapul\""), std::string::npos) << output;
    for (const char* name : RUN_FILES) EXPECT_FALSE(fs::exists(out / name)) << name;
    EXPECT_FALSE(fs::exists(out / "early-CustomCatapult.png"));
    EXPECT_TRUE(fs::exists(out / "notes.txt"));
    EXPECT_TRUE(fs::exists(out / "diagram.png"));
    EXPECT_FALSE(fs::exists(out / "trend-2.png"));
    EXPECT_TRUE(fs::exists(out / "trend-notes.png"));
}

// Every number of the command line is checked finite before its range.
TEST(BenchFaults, TheCommandLineRefusesNumbersThatAreNotFiniteOrNotNumbers)
{
    TempRoot root;
    const std::string path = bundled(root, "catapult.xml", "", "0.5");
    const struct {
        const char* option;
        const char* value;
        const char* message;  // empty: accepted
    } cases[] = {
        {"--named-interval", "nan", "--named-interval: nan is not a number of seconds from 0 to 86400"},
        {"--named-interval", "-nan", "is not a number of seconds from 0 to 86400"},
        {"--named-interval", "inf", "inf is not a number of seconds"},
        {"--named-interval", "86401", "86401 is not a number of seconds"},
        {"--named-interval", "86400", ""},
        {"--named-deadband", "nan", "--named-deadband: nan is not a number from 0"},
        {"--named-deadband", "-1", "-1 is not a number from 0"},
        {"--named-deadband", "0.5", ""},
        {"--snapshot-every", "nan", "--snapshot-every: nan is not a number of seconds from 0"},
        {"--snapshot-every", "abc", "--snapshot-every: abc is not a number"},
        {"--snapshot-every", "2x", "2x is not a number"},
    };
    for (const auto& c : cases) {
        std::string output;
        const int status = shell(bench_path() + " run --quiet --no-debrief " + path + " --out " +
                                     (root.dir / "out").string() + " " + c.option + " " + c.value,
                                 &output);
        if (*c.message == '\0') {
            EXPECT_EQ(status, 0) << c.option << " " << c.value << "\n" << output;
        } else {
            EXPECT_EQ(status, 105) << c.option << " " << c.value << "\n" << output;
            EXPECT_NE(output.find(c.message), std::string::npos) << output;
        }
    }
}

// <fail> names a SimConnect function of the library; a misspelt one is
// refused when the scenario is read, with the nearest name.
TEST(BenchFaults, AFailOfAnUnknownCallIsRefusedWithASuggestion)
{
    TempRoot root;
    const struct {
        const char* call;
        const char* message;  // empty: accepted
    } cases[] = {
        {"SimConnect_Txt", ":5: no SimConnect function \"SimConnect_Txt\" (did you mean SimConnect_Text?)"},
        {"SimConnect_Whatever", ":5: no SimConnect function \"SimConnect_Whatever\""},
        {"Text", ":5: fail call names a SimConnect function"},
        {"SimConnect_Text", ""},
    };
    for (const auto& c : cases) {
        const std::string path = root.scenario("<run end=\"1\">\n<event time=\"0.5\"><fail call=\"" + std::string(c.call) +
                                               "\"/></event></run>");
        std::string error;
        const auto scenario = host::load_scenario(path, &error);
        if (*c.message == '\0') {
            EXPECT_TRUE(scenario) << error;
        } else {
            EXPECT_FALSE(scenario) << c.call;
            EXPECT_NE(error.find(c.message), std::string::npos) << error;
        }
    }
}

// Values the flight model cannot fly are refused when the aircraft is
// placed; the world keeps finite numbers.
TEST(BenchFaults, TheFlownAircraftRefusesAWeightOrCentreOfGravityItCannotFly)
{
    TempRoot root;
    const struct {
        const char* var;
        const char* unit;
        const char* value;
        const char* message;  // empty: flies
    } cases[] = {
        {"TOTAL WEIGHT", "kilogram", "0", "needs a TOTAL WEIGHT from 500 to 700000 kg, not 0"},
        {"TOTAL WEIGHT", "kilogram", "-15000", "not -15000"},
        {"TOTAL WEIGHT", "kilogram", "1e15", "not 1e+15"},
        {"TOTAL WEIGHT", "kilogram", "499", "not 499"},
        {"TOTAL WEIGHT", "kilogram", "700000", ""},
        {"TOTAL WEIGHT", "kilogram", "9000", ""},
        {"STATIC CG TO GROUND", "meter", "-0.1", "needs a STATIC CG TO GROUND from 0 to 10 m, not -0.1"},
        {"STATIC CG TO GROUND", "meter", "10.5", "not 10.5"},
        {"STATIC CG TO GROUND", "meter", "0", ""},
    };
    for (const bool catapult : {false, true}) {
        for (const auto& c : cases) {
            const std::string flight = catapult ? "<flight action=\"catapult\" deck=\"Carrier Nimitz CVN-68\" number=\"1\"/>"
                                                : "<flight deck=\"Carrier Nimitz CVN-68\" distance=\"1\"/>";
            const std::string path = root.scenario(std::string(R"(<world>
  <boat title="Carrier Nimitz CVN-68" latitude="36.8" longitude="-75.4" heading="90" speed="10"/>
  <deck_model boat="Carrier Nimitz CVN-68" model="nimitz"/>
  <set var=")") + c.var + "\" unit=\"" + c.unit + "\" value=\"" + c.value + "\"/>\n  " + flight + R"(
</world>
<run rate="30" end="2"/>)");
            scenario_test::PathRun run(path);
            ASSERT_TRUE(run.error.empty()) << run.error;
            const std::string what = std::string(c.var) + " " + c.value + (catapult ? " (catapult)" : "");
            if (*c.message == '\0') {
                EXPECT_TRUE(run.result.ok) << what << ": " << run.result.error;
            } else {
                ASSERT_EQ(run.result.failures.size(), 1u) << what;
                EXPECT_NE(run.result.failures[0].find(":8: the flown aircraft needs a "), std::string::npos)
                    << run.result.failures[0];
                EXPECT_NE(run.result.failures[0].find(c.message), std::string::npos) << run.result.failures[0];
            }
            for (const char* name : {"PLANE LATITUDE", "PLANE LONGITUDE", "PLANE ALTITUDE", "AIRSPEED TRUE"}) {
                const double value = host::World::get(run.host->world().user(), *host::find_sim_var(name));
                EXPECT_TRUE(std::isfinite(value)) << what << ": " << name;
            }
        }
    }
}

// An officer's text saved in Latin-1 (an editor not set to UTF-8) reaches
// every file of the run as valid UTF-8, the byte replaced by U+FFFD, and the
// run's files after the story (the grading's passes.json, the page) are all
// written.
TEST(BenchFaults, AnOfficerTextInLatin1ReachesEveryFileAsUtf8)
{
    TempRoot root;
    const fs::path sim = root.dir / "root";
    fs::copy(source_path("scenarios/simroot"), sim, fs::copy_options::recursive);
    std::string params = slurp(sim / "Gauges/ZEB_Parameters.xml");
    const std::string call = "CallBall_msg=\"LSO: Call the ball\"";
    ASSERT_NE(params.find(call), std::string::npos);
    params.replace(params.find(call), call.size(), "CallBall_msg=\"LSO: Appel\xE9 la boule\"");
    std::ofstream(sim / "Gauges/ZEB_Parameters.xml") << params;
    std::string text = slurp(bundled(root, "default.xml", ""));
    const std::string simroot = "root=\"" + source_path("scenarios/simroot") + "\"";
    text.replace(text.find(simroot), simroot.size(), "root=\"" + sim.string() + "\"");
    const fs::path scenario = root.dir / "latin1.xml";
    std::ofstream(scenario) << text;

    const fs::path out = root.dir / "out";
    std::string output;
    ASSERT_EQ(shell(bench_path() + " run --quiet " + scenario.string() + " --out " + out.string(), &output), 0) << output;
    const std::string replaced = "Appel\xEF\xBF\xBD la boule";
    for (const char* name : {"story.txt", "trapsheet.csv", "passes.json", "debrief.html", "timeline.jsonl"}) {
        const std::string file = slurp(out / name);
        EXPECT_NE(file.find(replaced), std::string::npos) << name;
        EXPECT_EQ(file.find("Appel\xE9"), std::string::npos) << name;
    }
    EXPECT_FALSE(nlohmann::json::parse(slurp(out / "passes.json"), nullptr, false).is_discarded());
}
