// Expectations judged on a real run (the bundled recovery and launch), the
// bench's exit status and table, what the reader refuses, and the test
// command's JUnit file read back as a CI service reads it.
#include "host/build_paths.h"
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>
#include <tinyxml.h>

#include "scenario_fixture.h"

namespace {

using scenario_test::TempRoot;
namespace fs = std::filesystem;

std::string bench_path() { return (fs::path(CARRIER_MODULE_PATH).parent_path() / "carrier-bench").string(); }

std::string read_file(const fs::path& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

int bench(const std::string& args, std::string* output)
{
    const std::string out_file = fs::temp_directory_path() / ("expect_out_" + std::to_string(getpid()));
    const int status = std::system((bench_path() + " " + args + " >" + out_file + " 2>&1").c_str());
    *output = read_file(out_file);
    fs::remove(out_file);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The bundled default scenario in `root`, with `expects` added to its own.
std::string default_with(const TempRoot& root, const std::string& expects, const std::string& file = "scenario.xml")
{
    std::string text = read_file(scenario_test::source_path("scenarios/default.xml"));
    text.insert(text.find("  <run "), expects + "\n");
    const fs::path path = root.dir / file;
    std::ofstream(path) << text;
    return path.string();
}

struct Case {
    const char* name;
    const char* attributes;
    bool met;
    const char* observed;  // a piece of the observed text
};

// Each kind, met and not met, against what the default run does: locked at
// 1.07 s, the ball at 0.75 nm, "high" once at 0.60 nm, wire 3 at 98.8 s, on
// deck until 109.6 s, launched at 148 kt; the bench grades the pass "—" (no grade).
const Case CASES[] = {
    {"locked late", R"x(fact="locked" by="1")x", false, "never; at t=1.07"},
    {"locked in a window", R"x(fact="locked" from="1" to="1.5")x", true, "at t=1.07"},
    {"never low", R"x(fact="call" call="TooLow" count="0")x", true, "never"},
    {"low", R"x(fact="call" call="TooLow")x", false, "never"},
    {"high twice", R"x(fact="call" call="TooHigh" count="2")x", false, "1 time: TooHigh at t=79.70"},
    {"high far out", R"x(fact="call" call="TooHigh" from_nm="1" to_nm="0.7")x", false, "never; TooHigh at t=79.70 (0.60 nm)"},
    {"short wire", R"x(fact="wire" min="1" max="2")x", false, "wire 3 at t=98.80"},
    {"any wire", R"x(fact="wire" min="1" max="4")x", true, "wire 3"},
    {"bolter", R"x(fact="bolter")x", false, "never"},
    {"trap by 90 s", R"x(fact="trap" by="90")x", false, "never; at t=101.60"},
    {"trap", R"x(fact="trap")x", true, "at t=101.60"},
    {"waved off", R"x(fact="wave_off")x", false, "never"},
    {"fast launch", R"x(fact="launch" min="160")x", false, "148.4 kt"},
    {"slow stroke", R"x(fact="end_speed" max="140")x", false, "148.4 kt at t=109.03"},
    {"ditched", R"x(fact="ditching")x", false, "never"},
    {"graded OK", R"x(fact="grade" grade="OK")x", false, "— at t=98.8"},
    {"graded a bolter or better", R"x(fact="grade" grade="B")x", false, "— at t=98.8"},
    {"graded at all", R"x(fact="grade" grade="—")x", true, "— at t=98.8"},
    {"graded a wave-off or better", R"x(fact="grade" grade="WO")x", true, "— at t=98.8"},
    {"deck state early", R"x(condition="(L:FlightDeck_State, enum) 1 ==" at="50")x", false, "false at t=50.00"},
    {"on deck throughout", R"x(condition="(A:SIM ON GROUND, bool)" from="100" to="105")x", true, "held throughout"},
    {"on deck too early", R"x(condition="(A:SIM ON GROUND, bool)" from="95" to="105")x", false, "false at t=95.00"},
    {"lens by 60 s", R"x(condition="(L:FLOLS_is_valid, bool)" by="60")x", false, "never; last false at t=60.00"},
    {"lens once", R"x(condition="(L:FLOLS_is_valid, bool)" from="60" to="70" when="once")x", true, "true at t=66.6"},
    {"range at 80 s", R"x(var="ILS Slant Range" max="0.7" at="80")x", true, "0.59"},
    {"range too tight", R"x(var="ILS Slant Range" max="0.5" at="80")x", false, "0.59"},
    {"high at the end", R"x(var="(A:PLANE ALTITUDE, feet)" min="1000")x", false, "at t=113.00"},
};

TEST(Expectations, EachKindMetAndNotMetOnARealRun)
{
    TempRoot root;
    std::string expects;
    for (const Case& c : CASES) expects += std::string("  <expect name=\"") + c.name + "\" " + c.attributes + "/>\n";
    const std::string path = default_with(root, expects);
    const fs::path out = root.dir / "run";
    std::string output;
    EXPECT_EQ(bench("run " + path + " --quiet --no-debrief --out " + out.string(), &output), 3) << output;
    EXPECT_NE(output.find("expectations not met"), std::string::npos) << output;

    const nlohmann::json doc = nlohmann::json::parse(read_file(out / "expectations.json"));
    EXPECT_FALSE(doc["all_met"].get<bool>());
    std::map<std::string, nlohmann::json> by_name;
    for (const auto& x : doc["expectations"]) by_name[x["name"].get<std::string>()] = x;
    EXPECT_EQ(by_name.size(), 10u + std::size(CASES));  // the scenario's own ten are all met
    size_t met = 0, cases_met = 0;
    for (const auto& [name, x] : by_name) met += x["met"].get<bool>() ? 1 : 0;
    for (const Case& c : CASES) cases_met += c.met ? 1 : 0;
    EXPECT_EQ(met, 10u + cases_met);
    for (const Case& c : CASES) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(by_name.count(c.name));
        const nlohmann::json& x = by_name[c.name];
        EXPECT_EQ(x["met"].get<bool>(), c.met) << x.dump();
        EXPECT_NE(x["observed"].get<std::string>().find(c.observed), std::string::npos) << x.dump();
    }
    // The story's table: a failed row says what was expected and what was seen.
    const std::string story = read_file(out / "story.txt");
    EXPECT_NE(story.find("FAILED  short wire"), std::string::npos) << story;
    EXPECT_NE(story.find("expected wire 1 to 2; observed wire 3 at t=98.80"), std::string::npos) << story;
    EXPECT_NE(story.find("met     any wire"), std::string::npos) << story;
}

TEST(Expectations, AllMetExitsZeroAndTheReaderRefusesWhatItCannotJudge)
{
    TempRoot root;
    std::string output;
    const std::string good = default_with(root, R"x(<expect name="slow enough" fact="end_speed" max="155"/>)x");
    EXPECT_EQ(bench("run " + good + " --quiet --no-debrief --out " + (root.dir / "ok").string(), &output), 0) << output;
    EXPECT_NE(output.find("11 of 11 met"), std::string::npos) << output;

    const struct {
        const char* expect;
        const char* error;
    } refusals[] = {
        {R"x(fact="wir")x", "unknown fact \"wir\": did you mean \"wire\"?"},
        {R"x(fact="call" call="LineUP")x", "unknown call \"LineUP\": did you mean \"LineUp\"?"},
        {R"x(var="ILS Slant Rnage" max="1")x", "unknown variable \"ILS Slant Rnage\": did you mean \"ILS Slant Range\"?"},
        {R"x(var="(A:PLANE ALTITUD, feet)" max="1")x", "unknown simulator variable 'PLANE ALTITUD'"},
        {R"x(var="ILS Slant Range")x", "needs its limits"},
        {R"x(fact="wire" condition="1")x", "one of condition=, var= or fact="},
        {R"x(fact="wire" value="3" count="1")x", "count= or a value, not both"},
        {R"x(fact="trap" value="1")x", "the fact \"trap\" has no value to limit"},
        {R"x(condition="1" at="200")x", "never judged: the run ends at 113 s"},
        {R"x(fact="locked" at="2")x", "not at= one moment"},
        {R"x(fact="locked" by="2" frm="1")x", "unknown attribute \"frm\""},
    };
    for (const auto& r : refusals) {
        SCOPED_TRACE(r.expect);
        const std::string path = default_with(root, std::string("<expect name=\"x\" ") + r.expect + "/>", "bad.xml");
        std::string error;
        EXPECT_FALSE(host::load_scenario(path, &error));
        EXPECT_NE(error.find(r.error), std::string::npos) << error;
        EXPECT_NE(error.find("bad.xml:"), std::string::npos) << error;
        EXPECT_EQ(bench("check " + path, &output), 2) << output;
    }
}

// A folder with a passing and a failing scenario (and a deck file that is
// not one): the lines, the last line, the exit status and the JUnit file.
TEST(TestCommand, JudgesAFolderAndWritesJUnit)
{
    TempRoot root;
    const fs::path folder = root.dir / "suite";
    fs::create_directories(folder);
    std::string text = read_file(scenario_test::source_path("scenarios/catapult.xml"));
    const std::string root_attr = "root=\"simroot\"";
    ASSERT_NE(text.find(root_attr), std::string::npos);
    text.replace(text.find(root_attr), root_attr.size(), "root=\"../simroot\"");
    std::ofstream(folder / "a_pass.xml") << text;
    text.insert(text.find("  <run "), "  <expect name=\"Wire 2\" fact=\"wire\" value=\"2\"/>\n");
    std::ofstream(folder / "b_fail.xml") << text;
    std::ofstream(folder / "deck.xml") << "<deck name=\"not a scenario\"/>\n";

    const fs::path junit = root.dir / "out.xml";
    std::string output;
    EXPECT_EQ(bench("test " + folder.string() + " -j 2 --out " + (root.dir / "runs").string() + " --junit " + junit.string(),
                    &output),
              3)
        << output;
    EXPECT_NE(output.find("PASS  " + (folder / "a_pass.xml").string()), std::string::npos) << output;
    EXPECT_NE(output.find("FAIL  " + (folder / "b_fail.xml").string()), std::string::npos) << output;
    EXPECT_NE(output.find("      Wire 2: expected wire 2; observed never"), std::string::npos) << output;
    EXPECT_NE(output.find("1 passed, 1 failed\n"), std::string::npos) << output;

    TiXmlDocument doc(junit.string().c_str());
    ASSERT_TRUE(doc.LoadFile()) << doc.ErrorDesc();
    const TiXmlElement* suites = doc.RootElement();
    ASSERT_TRUE(suites);
    EXPECT_STREQ(suites->Value(), "testsuites");
    int tests = 0, failures = 0, suite_count = 0, failure_elements = 0;
    suites->QueryIntAttribute("tests", &tests);
    suites->QueryIntAttribute("failures", &failures);
    std::string failed_case, failed_message;
    for (const TiXmlElement* suite = suites->FirstChildElement("testsuite"); suite; suite = suite->NextSiblingElement("testsuite")) {
        ++suite_count;
        int suite_tests = 0, cases = 0;
        suite->QueryIntAttribute("tests", &suite_tests);
        for (const TiXmlElement* c = suite->FirstChildElement("testcase"); c; c = c->NextSiblingElement("testcase")) {
            ++cases;
            if (const TiXmlElement* f = c->FirstChildElement("failure")) {
                ++failure_elements;
                failed_case = std::string(suite->Attribute("name")) + " / " + c->Attribute("name");
                failed_message = f->Attribute("message");
            }
        }
        EXPECT_EQ(cases, suite_tests);
    }
    EXPECT_EQ(suite_count, 2);
    EXPECT_EQ(tests, 2 * 5 + 1);  // run + four expectations each, and the added one
    EXPECT_EQ(failures, 1);
    EXPECT_EQ(failure_elements, 1);
    EXPECT_EQ(failed_case, (folder / "b_fail.xml").string() + " / Wire 2");
    EXPECT_EQ(failed_message, "expected wire 2; observed never");

    EXPECT_EQ(bench("test " + (root.dir / "nowhere").string(), &output), 2) << output;
    EXPECT_NE(output.find("no such file or folder"), std::string::npos) << output;
}

}  // namespace
