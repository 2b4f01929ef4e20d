// `carrier-bench sweep` end to end with the real module: a small sweep of
// the bundled base scenario run with -j, the same through a plan and GNU
// parallel, an interrupted sweep resumed, a run that cannot be made, the
// lean run's grades against a full run's, result files that cannot be read.
#include "host/build_paths.h"
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <regex>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "host/bench/sweep_file.h"

namespace {

namespace fs = std::filesystem;

std::string bench_path() { return (fs::path(CARRIER_MODULE_PATH).parent_path() / "carrier-bench").string(); }

std::string read_file(const fs::path& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

int shell(const std::string& command, std::string* output = nullptr)
{
    const std::string out_file = fs::temp_directory_path() / ("sweep_out_" + std::to_string(getpid()));
    const int status = std::system((command + " >" + out_file + " 2>&1").c_str());
    if (output) *output = read_file(out_file);
    fs::remove(out_file);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

size_t result_files(const fs::path& dir)
{
    std::error_code ec;
    size_t n = 0;
    for (const auto& e : fs::directory_iterator(dir / "results", ec)) n += e.path().extension() == ".json";
    return n;
}

class SweepTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/carrier_sweeprun_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        // Six approaches and launches: no wind over the deck to 65 kt.
        sweep = dir / "small.xml";
        std::ofstream(sweep) << "<sweep name=\"small\" scenario=\"" << CARRIER_SOURCE_DIR
                             << "/scenarios/sweeps/approach_and_launch.xml\">\n"
                                "  <param name=\"wind_speed\" values=\"0 20 35\"/>\n"
                                "  <param name=\"ship_speed\" values=\"0 30\"/>\n"
                                "</sweep>\n";
    }
    void TearDown() override { fs::remove_all(dir); }

    // results.csv of the sweep run with -j2 into DIR/name.
    std::string run_j2(const std::string& name)
    {
        std::string output;
        EXPECT_EQ(shell(bench_path() + " sweep " + sweep.string() + " -j2 --quiet --out " + (dir / name).string(), &output), 0)
            << output;
        return read_file(dir / name / "results.csv");
    }

    fs::path dir, sweep;
};

TEST_F(SweepTest, RunsEveryVariationAndWritesItsResults)
{
    const std::string csv = run_j2("j2");
    std::istringstream lines(csv);
    std::vector<std::string> rows;
    for (std::string line; std::getline(lines, line);) rows.push_back(line);
    ASSERT_EQ(rows.size(), 7u) << csv;
    EXPECT_EQ(rows[0].rfind("run,wind_speed,ship_speed,outcome,wire,", 0), 0u) << rows[0];
    // No wind over the deck: the aircraft closes too fast to be back on the
    // slope at the wave-off check; 65 kt over the deck: a three-wire trap.
    EXPECT_EQ(rows[1].rfind("0,0,0,wave-off,,1,", 0), 0u) << rows[1];
    EXPECT_EQ(rows[6].rfind("5,35,30,trap,3,0,", 0), 0u) << rows[6];
    // Every run launched; the end speed over the ground falls with the wind.
    auto end_speed = [](const std::string& row) {
        std::vector<std::string> cells;
        std::stringstream s(row);
        for (std::string cell; std::getline(s, cell, ',');) cells.push_back(cell);
        return cells.size() > 10 && !cells[10].empty() ? std::stod(cells[10]) : -1.0;
    };
    EXPECT_GT(end_speed(rows[1]), end_speed(rows[3]) + 5.0) << rows[1] << "\n" << rows[3];
    EXPECT_GT(end_speed(rows[3]), end_speed(rows[5]) + 5.0) << rows[3] << "\n" << rows[5];
    EXPECT_GT(end_speed(rows[5]), 50.0);
    // Every run is one graded pass: the wave-offs WO (1 point), the traps
    // each a trap's grade.
    EXPECT_NE(rows[1].find(",1,WO,1,WO,1.00,"), std::string::npos) << rows[1];
    for (size_t i = 1; i < rows.size(); ++i) {
        const bool trap = rows[i].find(",trap,") != std::string::npos;
        const bool trap_grade = std::regex_search(rows[i], std::regex(",1,(_OK_|OK|\\(OK\\)|\u2014|C),[0-9.]+,"));
        EXPECT_EQ(trap, trap_grade) << rows[i];
    }
    for (const char* file : {"summary.txt", "outcomes.png", "grades.png", "heatmap.png", "heatmap_points.png", "endspeed.png"})
        EXPECT_GT(fs::file_size(dir / "j2" / file), 100u) << file;
    const std::string summary = read_file(dir / "j2/summary.txt");
    EXPECT_NE(summary.find("By wind_speed:"), std::string::npos);
    EXPECT_NE(summary.find("grades of every pass (6):"), std::string::npos) << summary;
}

// The lean run's judge grades as a full run's does: the same variation
// flown by `carrier-bench run` writes the same grade into passes.json.
TEST_F(SweepTest, LeanRunsGradeAsAFullRunDoes)
{
    std::string base = read_file(fs::path(CARRIER_SOURCE_DIR) / "scenarios/sweeps/approach_and_launch.xml");
    const auto replace = [&](const std::string& from, const std::string& to) {
        const size_t at = base.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        base.replace(at, from.size(), to);
    };
    replace("root=\"../simroot\"", "root=\"" + std::string(CARRIER_SOURCE_DIR) + "/scenarios/simroot\"");
    replace("wind_over_deck=\"30\"", "wind_over_deck=\"60\"");
    std::ofstream(dir / "sixty.xml") << base;
    std::ofstream(dir / "wod.xml") << "<sweep name=\"wod\" scenario=\"" << CARRIER_SOURCE_DIR
                                   << "/scenarios/sweeps/approach_and_launch.xml\">\n"
                                      "  <param name=\"wind_over_deck\" values=\"30 60\"/>\n"
                                      "</sweep>\n";
    std::string output;
    ASSERT_EQ(shell(bench_path() + " sweep " + (dir / "wod.xml").string() + " -j2 --quiet --out " + (dir / "wod").string(),
                    &output),
              0)
        << output;
    ASSERT_EQ(shell(bench_path() + " run " + (dir / "sixty.xml").string() + " --quiet --out " + (dir / "full").string(),
                    &output),
              0)
        << output;
    const auto passes = nlohmann::json::parse(read_file(dir / "full/passes.json"))["passes"];
    ASSERT_EQ(passes.size(), 1u) << passes;
    const std::string grade = passes[0]["grade"].get<std::string>();
    const std::string csv = read_file(dir / "wod/results.csv");
    const std::string row = csv.substr(csv.find("\n1,60,"));
    EXPECT_NE(row.find(",trap,3,"), std::string::npos) << row;
    EXPECT_NE(row.find(",1," + grade + "," + host::value_text(passes[0]["points"].get<double>()) + "," + grade + ","),
              std::string::npos)
        << grade << "\n" << row;
}

// --collect goes through result files that are cut short or malformed:
// each is its run's row with the reason, the other rows as they were.
TEST_F(SweepTest, CollectMakesARowOfAnUnreadableResult)
{
    const std::string reference = run_j2("j2");
    const fs::path result = dir / "j2/results/run_000002.json";
    const std::string whole = read_file(result);
    std::ofstream(result, std::ios::trunc) << whole.substr(0, whole.size() / 2);
    std::ofstream(dir / "j2/results/run_000004.json", std::ios::trunc)
        << R"({"index":4,"parameters":[{"name":"wind_speed","value":35},{"name":"ship_speed","value":0}],)"
           R"("outcome":"trap","wave_off_lights":"no"})";
    std::ofstream(dir / "j2/sweep.txt", std::ios::app) << "runs six\n";
    std::string output;
    EXPECT_EQ(shell(bench_path() + " sweep --quiet --collect " + (dir / "j2").string(), &output), 1) << output;
    EXPECT_NE(output.find(result.string() + ":1: cut short"), std::string::npos) << output;
    EXPECT_NE(output.find("run_000004.json:1: \"wave_off_lights\" is not true or false"), std::string::npos) << output;
    EXPECT_NE(output.find((dir / "j2/sweep.txt").string() + ":4: \"six\" is not a run count"), std::string::npos) << output;

    std::istringstream expected(reference), got(read_file(dir / "j2/results.csv"));
    std::vector<std::string> want, rows;
    for (std::string line; std::getline(expected, line);) want.push_back(line);
    for (std::string line; std::getline(got, line);) rows.push_back(line);
    ASSERT_EQ(rows.size(), want.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        if (i == 3 || i == 5) {
            // The parameters from the sweep file, the reason with the file and line.
            EXPECT_EQ(rows[i].rfind(i == 3 ? "2,20,0,failed," : "4,35,0,failed,", 0), 0u) << rows[i];
            EXPECT_NE(rows[i].find("unreadable result: " + (dir / "j2/results").string()), std::string::npos) << rows[i];
        } else {
            EXPECT_EQ(rows[i], want[i]);
        }
    }
}

TEST_F(SweepTest, PlanRunThroughGnuParallelGivesTheSameResults)
{
    std::string output;
    ASSERT_EQ(shell("command -v parallel", &output), 0) << "GNU parallel is not installed (Debian package parallel)";
    const std::string reference = run_j2("j2");
    const fs::path planned = dir / "planned";
    ASSERT_EQ(shell(bench_path() + " sweep " + sweep.string() + " --plan --out " + planned.string(), &output), 0) << output;
    const std::string jobs = read_file(planned / "jobs.txt");
    EXPECT_EQ(std::count(jobs.begin(), jobs.end(), '\n'), 6) << jobs;
    ASSERT_EQ(shell("cd / && parallel --will-cite -j2 < " + (planned / "jobs.txt").string(), &output), 0) << output;
    EXPECT_EQ(result_files(planned), 6u);
    ASSERT_EQ(shell(bench_path() + " sweep --quiet --collect " + planned.string(), &output), 0) << output;
    EXPECT_EQ(read_file(planned / "results.csv"), reference);
}

TEST_F(SweepTest, InterruptedSweepResumesToTheSameResults)
{
    // 24 runs: a lean run takes a fraction of a second, so the sweep is
    // still far from its end when the test sees two results and stops it.
    constexpr size_t RUNS = 24;
    std::ofstream(sweep) << "<sweep name=\"longer\" scenario=\"" << CARRIER_SOURCE_DIR
                         << "/scenarios/sweeps/approach_and_launch.xml\">\n"
                            "  <param name=\"wind_speed\" from=\"0\" to=\"35\" step=\"5\"/>\n"
                            "  <param name=\"ship_speed\" values=\"0 15 30\"/>\n"
                            "</sweep>\n";
    const std::string reference = run_j2("j2");
    ASSERT_EQ(std::count(reference.begin(), reference.end(), '\n'), static_cast<long>(RUNS + 1)) << reference;
    const fs::path resumed = dir / "resumed";
    const fs::path log = dir / "interrupted.log";
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        freopen(log.c_str(), "w", stdout);
        freopen(log.c_str(), "a", stderr);
        // At the lowest priority: the test, which stops it after two runs,
        // always gets the processor first and cannot see the sweep finish.
        if (nice(19) == -1) _exit(126);
        execl(bench_path().c_str(), "carrier-bench", "sweep", sweep.c_str(), "-j1", "--quiet", "--out", resumed.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    // Stopped once two runs are done (a generous wait: a loaded machine and
    // the sanitizer build are slow).
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(300);
    while (result_files(resumed) < 2 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    const size_t at_kill = result_files(resumed);
    const auto waited = std::chrono::steady_clock::now() - (deadline - std::chrono::seconds(300));
    kill(pid, SIGINT);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    const std::string said = read_file(log);
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status << " (signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0)
                                   << "), results " << result_files(resumed) << ", " << at_kill << " when stopped after "
                                   << std::chrono::duration<double>(waited).count() << " s: " << said;
    EXPECT_EQ(WEXITSTATUS(status), 130) << said;
    const size_t kept = result_files(resumed);
    EXPECT_GE(kept, 2u) << said;
    EXPECT_LT(kept, RUNS) << said;
    EXPECT_FALSE(fs::exists(resumed / "results.csv"));

    std::string output;
    ASSERT_EQ(shell(bench_path() + " sweep " + sweep.string() + " -j2 --out " + resumed.string(), &output), 0) << output;
    EXPECT_NE(output.find(std::to_string(kept) + " of " + std::to_string(RUNS) + " runs already done"), std::string::npos)
        << output;
    EXPECT_EQ(read_file(resumed / "results.csv"), reference) << said << output;
}

// A run past the sweep's timeout is stopped and is a failed row; the parent
// wakes for it while it waits for the runs to end.
TEST_F(SweepTest, ARunPastItsTimeoutIsStopped)
{
    std::string base = read_file(fs::path(CARRIER_SOURCE_DIR) / "scenarios/sweeps/approach_and_launch.xml");
    for (const auto& [from, to] : {std::pair<std::string, std::string>{"root=\"../simroot\"", "root=\"" + std::string(CARRIER_SOURCE_DIR) + "/scenarios/simroot\""},
                                   {"end=\"100\"", "end=\"50000\""}}) {
        const size_t at = base.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        base.replace(at, from.size(), to);
    }
    std::ofstream(dir / "long.xml") << base;
    std::ofstream(dir / "slow.xml") << "<sweep name=\"slow\" scenario=\"long.xml\" timeout=\"1\">\n"
                                       "  <param name=\"wind_speed\" values=\"10 20 30\"/>\n"
                                       "</sweep>\n";
    const auto start = std::chrono::steady_clock::now();
    std::string output;
    EXPECT_EQ(shell("timeout 60 " + bench_path() + " sweep " + (dir / "slow.xml").string() + " -j2 --quiet --out " +
                        (dir / "slow").string(),
                    &output),
              1)
        << output;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 15.0);  // two rounds of one second, however loaded the machine
    const std::string csv = read_file(dir / "slow/results.csv");
    for (const char* row : {"\n0,10,failed,", "\n1,20,failed,", "\n2,30,failed,"}) EXPECT_NE(csv.find(row), std::string::npos) << csv;
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 4) << csv;
    size_t timed_out = 0;
    for (size_t at = 0; (at = csv.find(",timed out after 1 s\n", at)) != std::string::npos; ++at) ++timed_out;
    EXPECT_EQ(timed_out, 3u) << csv;
}

// The correction shorthand reaches the approach's correct_s: the scenario
// reader takes 4 s and refuses 0.1 s (below its range) at the parameter's line.
TEST_F(SweepTest, CorrectionReachesTheApproachsTimeConstant)
{
    std::ofstream(dir / "correction.xml") << "<sweep name=\"correction\" scenario=\"" << CARRIER_SOURCE_DIR
                                          << "/scenarios/sweeps/approach_and_launch.xml\">\n"
                                             "  <param name=\"correction\" values=\"4 0.1\"/>\n"
                                             "</sweep>\n";
    std::string output;
    EXPECT_EQ(shell(bench_path() + " check " + (dir / "correction.xml").string(), &output), 2) << output;
    EXPECT_NE(output.find("correction.xml:2: correction=0.1: the scenario refuses it"), std::string::npos) << output;
    EXPECT_NE(output.find("correct_s"), std::string::npos) << output;
    EXPECT_EQ(output.find("correction=4:"), std::string::npos) << output;
}

TEST_F(SweepTest, ARunThatCannotBeMadeIsARowWithItsReason)
{
    std::ofstream(dir / "bad.xml") << "<sweep name=\"bad\" scenario=\"" << CARRIER_SOURCE_DIR
                                   << "/scenarios/sweeps/approach_and_launch.xml\">\n"
                                      "  <param name=\"wind_speed\" values=\"150 10\"/>\n"
                                      "</sweep>\n";
    std::string output;
    EXPECT_EQ(shell(bench_path() + " check " + (dir / "bad.xml").string(), &output), 2);
    EXPECT_NE(output.find("bad.xml:2: wind_speed=150: the scenario refuses it"), std::string::npos) << output;
    EXPECT_EQ(shell(bench_path() + " sweep " + (dir / "bad.xml").string() + " --quiet --out " + (dir / "bad").string(), &output),
              1)
        << output;
    const std::string csv = read_file(dir / "bad/results.csv");
    EXPECT_NE(csv.find("\n0,150,failed,"), std::string::npos) << csv;
    EXPECT_NE(csv.find("speed"), std::string::npos) << csv;
    EXPECT_NE(csv.find("\n1,10,"), std::string::npos) << csv;
    EXPECT_EQ(csv.find("\n1,10,failed"), std::string::npos) << csv;
}

}  // namespace
