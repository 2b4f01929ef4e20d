// A sweep's results read back: result files that are malformed, cut short
// or of another run (each a row with its reason, never a hole or a throw),
// the grade columns of results.csv and the points of the summary, where
// every pass of a run counts.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "host/bench/sweep_file.h"
#include "host/bench/sweep_results.h"
#include "host/bench/sweep_run.h"

namespace {

namespace fs = std::filesystem;

class SweepResultsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/carrier_sweepres_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        std::ofstream(dir / "base.xml") << "<runscript name=\"base\"><simulator root=\".\"/><world/><run end=\"1\"/></runscript>\n";
        std::ofstream(dir / "s.xml") << "<sweep name=\"s\" scenario=\"base.xml\">\n"
                                        "  <param name=\"wind_speed\" values=\"0 10 20\"/>\n"
                                        "</sweep>\n";
    }
    void TearDown() override { fs::remove_all(dir); }

    // A finished run of wind `wind` with passes of these grades.
    static host::SweepRunResult run(uint64_t index, double wind, std::vector<std::string> grades = {})
    {
        host::SweepRunResult r;
        r.index = index;
        r.sweep = "s";
        r.names = {"wind_speed"};
        r.values = {wind};
        r.outcome = grades.empty() ? "no landing" : "trap";
        r.wire = grades.empty() ? 0 : 3;
        for (const std::string& g : grades) r.passes.push_back({g, host::grade_points(g)});
        return r;
    }
    void write(const std::string& name, const std::string& text) { std::ofstream(dir / "results" / name) << text; }
    std::string path(const std::string& name) const { return (dir / "results" / name).string(); }

    fs::path dir;
};

TEST_F(SweepResultsTest, MalformedResultFilesAreRefusedWithFileAndLineNeverThrown)
{
    fs::create_directories(dir / "results");
    std::string error;
    ASSERT_TRUE(host::write_result(run(1, 10, {"WO", "OK"}), path("run_000001.json"), &error)) << error;
    std::ifstream in(path("run_000001.json"));
    const std::string whole((std::istreambuf_iterator<char>(in)), {});
    const std::string head = R"({"index":1,"parameters":[{"name":"wind_speed","value":10}],"outcome":"trap")";
    const struct {
        std::string text;
        int line;
        const char* says;
    } cases[] = {
        {"", 1, "empty"},
        {whole.substr(0, whole.size() / 2), 1, "cut short"},
        {"{\n\"index\": 1,\n\"outcome\": trap\n}", 3, "not JSON"},
        {"[1, 2]", 1, "no JSON object"},
        {R"({"index":"1","parameters":[],"outcome":"trap"})", 1, "\"index\" is not a number"},
        {R"({"index":2.5,"parameters":[],"outcome":"trap"})", 1, "run index 2.5"},
        {R"({"parameters":[],"outcome":"trap"})", 1, "no \"index\""},
        {R"({"index":1,"outcome":"trap"})", 1, "no parameters"},
        {R"({"index":1,"parameters":[{"value":3}],"outcome":"trap"})", 1, "without a name"},
        {R"({"index":1,"parameters":[{"name":"wind_speed","value":"ten"}],"outcome":"trap"})", 1,
         "wind_speed: \"value\" is not a number"},
        {R"({"index":1,"parameters":[],"outcome":7})", 1, "\"outcome\" is not a text"},
        {R"({"index":1,"parameters":[]})", 1, "no \"outcome\""},
        // Fields that made the reader throw before.
        {head + R"(,"sweep":5})", 1, "\"sweep\" is not a text"},
        {head + R"(,"wave_off_lights":"yes"})", 1, "\"wave_off_lights\" is not true or false"},
        {head + R"(,"calls":["a"]})", 1, "\"calls\" is not a text"},
        {head + R"(,"groove_s":"18"})", 1, "\"groove_s\" is not a number"},
        {head + R"(,"passes":{"grade":"OK"}})", 1, "\"passes\" is not a list"},
        {head + R"(,"passes":[{"grade":"OK"},{"grade":"great"}]})", 1, "a pass without a grade"},
    };
    for (const auto& c : cases) {
        write("bad.json", c.text);
        std::optional<host::SweepRunResult> r;
        ASSERT_NO_THROW(r = host::read_result(path("bad.json"), &error)) << c.text;
        EXPECT_FALSE(r) << c.text;
        EXPECT_NE(error.find("bad.json:" + std::to_string(c.line) + ": "), std::string::npos) << c.text << "\n" << error;
        EXPECT_NE(error.find(c.says), std::string::npos) << c.text << "\n" << error;
    }
    // Null numbers and missing optional fields are empty values, not errors.
    write("ok.json", head + R"(,"groove_s":null,"passes":[]})");
    auto ok = host::read_result(path("ok.json"), &error);
    ASSERT_TRUE(ok) << error;
    EXPECT_TRUE(std::isnan(ok->groove_s));
    EXPECT_TRUE(ok->passes.empty());
    EXPECT_FALSE(ok->wave_off_lights);
    // Every pass comes back, with the points of its grade.
    auto back = host::read_result(path("run_000001.json"), &error);
    ASSERT_TRUE(back) << error;
    ASSERT_EQ(back->passes.size(), 2u);
    EXPECT_EQ(back->passes[1].grade, "OK");
    EXPECT_EQ(back->passes[1].points, 4.0);
    EXPECT_EQ(back->mean_points(), 2.5);
}

TEST_F(SweepResultsTest, AnUnreadableResultIsAFailedRowWithItsParameters)
{
    std::string error;
    auto sweep = host::load_sweep((dir / "s.xml").string(), &error);
    ASSERT_TRUE(sweep) << error;
    ASSERT_TRUE(host::write_result(run(0, 0, {"WO"}), host::result_path(dir.string(), 0), &error)) << error;
    ASSERT_TRUE(host::write_result(run(1, 10, {"OK"}), host::result_path(dir.string(), 1), &error)) << error;
    ASSERT_TRUE(host::write_result(run(1, 10, {"OK"}), host::result_path(dir.string(), 2), &error)) << error;  // run 1's
    write("run_000001.json", R"({"index":1,"parameters":[{"name":"wind_speed","value":10}],"outcome":"tr)");
    write("run_x.json", "{}");

    std::vector<std::string> errors;
    const auto results = host::read_results(dir.string(), &errors, &*sweep);
    ASSERT_EQ(results.size(), 3u);
    ASSERT_EQ(errors.size(), 3u);
    EXPECT_EQ(results[0].outcome, "trap");
    for (size_t i : {1, 2}) {
        EXPECT_EQ(results[i].index, i);
        EXPECT_EQ(results[i].outcome, "failed");
        EXPECT_EQ(results[i].values, (std::vector<double>{10.0 * static_cast<double>(i)})) << i;  // from the sweep
        EXPECT_EQ(results[i].reason.rfind("unreadable result: " + path(i == 1 ? "run_000001.json" : "run_000002.json") + ":1: ", 0), 0u)
            << results[i].reason;
    }
    EXPECT_NE(results[1].reason.find("cut short"), std::string::npos) << results[1].reason;
    EXPECT_NE(results[2].reason.find("the result of run 1, not of run 2"), std::string::npos) << results[2].reason;
    std::string all;
    for (const std::string& e : errors) all += e + "\n";
    EXPECT_NE(all.find("run_x.json: not a result file's name"), std::string::npos) << all;

    // Without the sweep the row keeps the columns, its values empty.
    errors.clear();
    const auto bare = host::read_results(dir.string(), &errors);
    ASSERT_EQ(bare.size(), 3u);
    const std::string csv = host::results_csv(bare);
    EXPECT_NE(csv.find("\n1,,failed,,0,,,,,,0,,,,,,unreadable result: "), std::string::npos) << csv;
    EXPECT_NE(host::results_summary(bare).find("2 failed run(s)"), std::string::npos);
}

TEST_F(SweepResultsTest, GradeColumnsAndMeanPointsCountEveryPass)
{
    // Wind 0: one run waved off then trapped OK, one with no pass; wind 10:
    // a cut pass. The first pass is the row's grade, every pass its points.
    const std::vector<host::SweepRunResult> results = {run(0, 0, {"WO", "OK"}), run(1, 0), run(2, 10, {"C"})};
    const std::string csv = host::results_csv(results);
    std::istringstream lines(csv);
    std::string header, first, second, third;
    std::getline(lines, header);
    std::getline(lines, first);
    std::getline(lines, second);
    std::getline(lines, third);
    EXPECT_EQ(header,
              "run,wind_speed,outcome,wire,wave_off_lights,groove_s,lockon_s,touchdown_sink_mps,engage_kt,end_speed_mps,"
              "passes,grade,points,last_grade,mean_points,calls,reason");
    EXPECT_EQ(first, "0,0,trap,3,0,,,,,,2,WO,1,OK,2.50,,");
    EXPECT_EQ(second, "1,0,no landing,,0,,,,,,0,,,,,,");
    EXPECT_EQ(third, "2,10,trap,3,0,,,,,,1,C,0,C,0.00,,");

    const std::string summary = host::results_summary(results);
    EXPECT_NE(summary.find("grades of every pass (3): _OK_: 0, OK: 1, (OK): 0, B: 0, \u2014: 0, WO: 1, OWO: 0, C: 1"),
              std::string::npos)
        << summary;
    // mean points: (1 + 4) / 2 at wind 0, not the first passes' (1) nor the runs' mean.
    std::istringstream rows(summary);
    std::string row, wind0, wind10;
    while (std::getline(rows, row)) {
        if (row.rfind("  0 ", 0) == 0) wind0 = row;
        if (row.rfind("  10 ", 0) == 0) wind10 = row;
    }
    ASSERT_GT(wind0.size(), 9u) << summary;
    EXPECT_EQ(wind0.substr(wind0.size() - 9), "     2.50") << summary;
    EXPECT_EQ(wind10.substr(wind10.size() - 9), "     0.00") << summary;
}

}  // namespace
