// The judge's grading file, notation, grades and disagreements, passes.json
// read back, and the greenie board gathered from run directories.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "host/bench/greenie.h"
#include "host/bench/sweep_run.h"
#include "host/record/grading.h"
#include "host/record/trapsheet.h"

namespace {

using host::Deviation;
using host::Zone;

struct TempDir {
    std::filesystem::path path;
    TempDir()
    {
        char pattern[] = "/tmp/carrier_grading_XXXXXX";
        path = mkdtemp(pattern);
    }
    ~TempDir() { std::filesystem::remove_all(path); }
    std::string write(const std::string& name, const std::string& text) const
    {
        std::filesystem::create_directories((path / name).parent_path());
        std::ofstream(path / name) << text;
        return (path / name).string();
    }
};

int& at(host::Pass& p, Zone z, Deviation d) { return p.deviations[static_cast<int>(z)][static_cast<int>(d)]; }

TEST(GradingFile, TheBundledFileHoldsTheDocumentedDefaults)
{
    std::string error;
    const auto c = host::load_grading(host::default_grading_path(), &error);
    ASSERT_TRUE(c) << error;
    const host::GradingConfig defaults;
    EXPECT_EQ(c->zone_start_nm, defaults.zone_start_nm);
    EXPECT_EQ(c->glide_deg, defaults.glide_deg);
    EXPECT_EQ(c->lineup_deg, defaults.lineup_deg);
    EXPECT_EQ(c->aoa_deg, defaults.aoa_deg);
    EXPECT_EQ(c->ideal_groove_min_s, defaults.ideal_groove_min_s);
    EXPECT_EQ(c->ideal_groove_max_s, defaults.ideal_groove_max_s);
    EXPECT_EQ(c->cut_zones, defaults.cut_zones);
    EXPECT_EQ(c->cut_deviations, defaults.cut_deviations);
    EXPECT_EQ(c->deck_for("/x/nimitz.xml").target_wires, std::vector<int>{3});
    EXPECT_EQ(c->deck_for("/x/other.xml").model, "*");
    EXPECT_DOUBLE_EQ(c->aircraft_for("User Aircraft").on_speed_deg, 9.2);
}

TEST(GradingFile, ABadFileIsRefusedWithItsFileAndLine)
{
    const struct {
        const char* body;
        const char* message;
    } cases[] = {
        {"<grading>\n<zones X=\"0.75\" IM=\"0.8\"/>\n</grading>", ":2: zone X begins farther out than zone IM"},
        {"<grading>\n\n<magnitudes kind=\"line_up\" little=\"1\" reasonable=\"0.5\" lot=\"2\"/>\n</grading>",
         ":3: the magnitudes grow"},
        {"<grading>\n<groove hold=\"9\"/>\n</grading>", ":2: hold=\"9\" is outside 0 to 5"},
        {"<grading>\n<groove hold=\"soon\"/>\n</grading>", ":2: hold=\"soon\" is not a number"},
        {"<grading>\n<deck model=\"nimitz\" target_wires=\"3 5\"/>\n</grading>", ":2: target wire \"5\" is not 1 to 4"},
        {"<grading>\n<cut zones=\"IC XX\"/>\n</grading>", ":2: \"XX\" is no zone"},
        {"<grading>\n<aircraft title=\"F-14\"/>\n</grading>", ":2: <aircraft> needs on_speed"},
        {"<grading>\n<zones Y=\"1\"/>\n</grading>", ":2: <zones> has no attribute \"Y\""},
        {"<grading>\n<wind/>\n</grading>", ":2: <wind> is not a grading element"},
        {"<grading>\n<groove_time ideal_min=\"20\" ideal_max=\"15\"/>\n</grading>", ":2: ideal_min is more than ideal_max"},
        {"<grading>\n<zones X=\"0.75\"\n", ":2: "},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body);
        const std::string path = dir.write("grading.xml", c.body);
        std::string error;
        EXPECT_FALSE(host::load_grading(path, &error));
        EXPECT_EQ(error.rfind(path + c.message, 0), 0u) << error;
    }
    std::string error;
    EXPECT_FALSE(host::load_grading((dir.path / "none.xml").string(), &error));
    EXPECT_NE(error.find("none.xml:0: cannot open"), std::string::npos) << error;
}

TEST(Grading, ZonesFollowTheRangeFromTheRamp)
{
    const host::GradingConfig c;  // X 0.75, IM 0.5, IC 0.25, AR 0.08 nm
    const struct {
        double range_nm;
        Zone zone;
    } cases[] = {{0.9, Zone::X}, {0.5, Zone::IM}, {0.499, Zone::IM}, {0.25, Zone::IC}, {0.0801, Zone::IC},
                 {0.08, Zone::AR}, {0.0, Zone::AR}, {-0.01, Zone::IW}};
    for (const auto& k : cases) EXPECT_EQ(host::zone_at(c, k.range_nm), k.zone) << k.range_nm;
}

TEST(Grading, DeviationsAreWrittenAsTheOfficerWritesThem)
{
    host::Pass p;
    EXPECT_EQ(host::deviation_text(p.deviations), "");
    at(p, Zone::X, Deviation::LO) = 1;
    at(p, Zone::IM, Deviation::LUL) = 2;
    at(p, Zone::IC, Deviation::F) = 3;
    at(p, Zone::IW, Deviation::SLO) = 1;
    at(p, Zone::X, Deviation::LUR) = 2;
    EXPECT_EQ(host::deviation_text(p.deviations), "(LO)X LURX LULIM _F_IC (SLO)IW");
}

TEST(Grading, GradesFollowTheOutcomeTheDeviationsTheWireAndTheGrooveTime)
{
    const host::GradingConfig c;  // weights 1 2 4, OK <= 3, (OK) <= 6, ideal groove 22-28 s
    auto trap = [](int wire, double groove) {
        host::Pass p;
        p.outcome = host::Outcome::Trap;
        p.wire = wire;
        p.groove_s = groove;
        p.target_wires = 1u << 3;
        return p;
    };
    host::Pass clean = trap(3, 25);
    EXPECT_EQ(host::grade_pass(c, clean), "_OK_");
    EXPECT_EQ(host::grade_pass(c, trap(2, 25)), "OK") << "not a target wire";
    EXPECT_EQ(host::grade_pass(c, trap(3, 15)), "OK") << "a short groove";
    host::Pass ok = trap(3, 25);
    at(ok, Zone::X, Deviation::LO) = 1;
    at(ok, Zone::IM, Deviation::LUL) = 2;
    EXPECT_EQ(host::grade_pass(c, ok), "OK");
    at(ok, Zone::IC, Deviation::F) = 1;
    EXPECT_EQ(host::grade_pass(c, ok), "(OK)");
    at(ok, Zone::X, Deviation::HI) = 3;
    EXPECT_EQ(host::grade_pass(c, ok), "\u2014");
    host::Pass high_in_close = trap(3, 25);
    at(high_in_close, Zone::IC, Deviation::HI) = 3;
    EXPECT_EQ(host::grade_pass(c, high_in_close), "(OK)") << "HI is no cut deviation";
    host::Pass low_at_ramp = trap(3, 25);
    at(low_at_ramp, Zone::AR, Deviation::LO) = 3;
    EXPECT_EQ(host::grade_pass(c, low_at_ramp), "C");
    host::Pass low_at_start = trap(3, 25);
    at(low_at_start, Zone::X, Deviation::LO) = 3;
    EXPECT_EQ(host::grade_pass(c, low_at_start), "(OK)") << "X is no cut zone";

    const struct {
        host::Outcome outcome;
        const char* grade;
        double points;
    } outcomes[] = {{host::Outcome::WaveOff, "WO", 1}, {host::Outcome::OwnWaveOff, "OWO", 1},
                    {host::Outcome::Bolter, "B", 2.5}, {host::Outcome::Ditched, "C", 0}};
    for (const auto& o : outcomes) {
        host::Pass p = clean;
        p.outcome = o.outcome;
        EXPECT_EQ(host::grade_pass(c, p), o.grade);
        EXPECT_EQ(host::grade_points(o.grade), o.points);
    }
}

TEST(Grading, GradeOrderForExpectations)
{
    EXPECT_TRUE(host::grade_at_least("_OK_", "OK"));
    EXPECT_TRUE(host::grade_at_least("OK", "OK"));
    EXPECT_FALSE(host::grade_at_least("(OK)", "OK"));
    EXPECT_FALSE(host::grade_at_least("B", "(OK)"));
    EXPECT_TRUE(host::grade_at_least("B", "---"));
    EXPECT_TRUE(host::grade_at_least("OWO", "WO"));
    EXPECT_FALSE(host::grade_at_least("C", "WO"));
    EXPECT_FALSE(host::grade_at_least("great", "C"));
    EXPECT_FALSE(host::grade_at_least("OK", "fine"));
    EXPECT_EQ(host::grade_points("-"), 2.0);
}

TEST(Grading, TheModulesCallsAgainstTheJudge)
{
    auto call = [](const char* text, double range, Zone zone) {
        host::ModuleCall c;
        c.text = text;
        c.range_nm = range;
        c.zone = zone;
        return c;
    };
    host::Pass p;
    // A high called where the judge saw the glide slope held.
    p.calls = {call("LSO: You're high", 0.62, Zone::X), call("LSO: Call the ball", 0.7, Zone::X)};
    auto d = host::disagreements(p);
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0], "\"LSO: You're high\" called at 0.62 nm (X) where the judge saw on glide slope");
    // The judge saw it low: that is said.
    at(p, Zone::X, Deviation::LO) = 1;
    EXPECT_NE(host::disagreements(p)[0].find("where the judge saw low"), std::string::npos);
    // Seen high in the zone before the call: borne out.
    p = host::Pass{};
    p.calls = {call("OA : Vous \xC3\xAAtes haut", 0.45, Zone::IM)};
    at(p, Zone::X, Deviation::HI) = 2;
    EXPECT_TRUE(host::disagreements(p).empty());
    // A low at the ramp with no call; a little one needs none.
    at(p, Zone::AR, Deviation::LO) = 3;
    at(p, Zone::IC, Deviation::LUR) = 1;
    d = host::disagreements(p);
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0], "_LO_ at AR with no call");
    // A line-up call answers either side; in the wires no call is wanted.
    p = host::Pass{};
    at(p, Zone::IC, Deviation::LUR) = 2;
    at(p, Zone::IW, Deviation::HI) = 3;
    p.calls = {call("LSO: Check your line-up", 0.2, Zone::IC)};
    EXPECT_TRUE(host::disagreements(p).empty());
}

host::Pass graded(int number, const char* grade, int wire)
{
    host::Pass p;
    p.number = number;
    p.grade = grade;
    p.points = host::grade_points(grade);
    p.wire = wire;
    p.outcome = wire ? host::Outcome::Trap : host::Outcome::Bolter;
    p.carrier = "Carrier, \"Nimitz\"";
    at(p, Zone::IM, Deviation::LUL) = 2;
    p.deviation_text = host::deviation_text(p.deviations);
    p.disagreements = {"LUL at IM with no call"};
    return p;
}

TEST(Trapsheet, PassesAreWrittenAndReadBackAndTheCsvQuotesItsCells)
{
    TempDir dir;
    const std::vector<host::Pass> passes = {graded(1, "OK", 3), graded(2, "B", 0)};
    const std::string csv = host::trapsheet_csv(passes);
    EXPECT_NE(csv.find("1,0.00,\"Carrier, \"\"Nimitz\"\"\",,OK,4,trap,0.0,3,"), std::string::npos) << csv;
    EXPECT_NE(csv.find(",LULIM,,LULIM,,,,,LUL at IM with no call\n"), std::string::npos) << csv;
    dir.write("run/passes.json", host::passes_json(passes, "test"));
    std::string error;
    const auto read = host::read_passes((dir.path / "run").string(), &error);
    ASSERT_TRUE(read) << error;
    ASSERT_EQ(read->size(), 2u);
    EXPECT_EQ((*read)[1].grade, "B");
    EXPECT_EQ((*read)[1].points, 2.5);
    EXPECT_EQ((*read)[0].deviations, "LULIM");
    EXPECT_EQ((*read)[0].disagreements, passes[0].disagreements);

    dir.write("bad/passes.json", "{\"passes\":[{\"pass\":1,\"t\":0,\"grade\":\"great\"}]}");
    EXPECT_FALSE(host::read_passes((dir.path / "bad").string(), &error));
    EXPECT_NE(error.find("\"great\" is no grade"), std::string::npos) << error;
}

TEST(Trapsheet, APassIsToldInTheStoryWhenItEnded)
{
    host::Pass trap = graded(1, "OK", 3);
    trap.groove_s = 17.2;
    trap.t_end = 50.0;
    at(trap, Zone::X, Deviation::LO) = 1;
    trap.deviation_text = host::deviation_text(trap.deviations);
    host::Pass bolter = graded(2, "B", 0);
    bolter.groove_s = 25.0;
    bolter.t_end = 150.0;
    bolter.deviation_text.clear();
    std::vector<host::StoryLine> lines = {{10.0, "tuned"}, {100.0, "airborne"}};
    host::add_pass_story({trap, bolter}, &lines);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1].text, "pass 1: OK, 3-wire, groove 17 s: (LO)X LULIM");
    EXPECT_EQ(lines[3].text, "pass 2: B, bolter, groove 25 s");
}

TEST(Greenie, RunsAndDirectoriesOfRunsMakeOneBoard)
{
    TempDir dir;
    dir.write("single/passes.json", host::passes_json({graded(1, "_OK_", 3)}, "one"));
    dir.write("sweep/b/passes.json", host::passes_json({graded(1, "C", 3), graded(2, "WO", 0)}, "two"));
    dir.write("sweep/a/passes.json", host::passes_json({graded(1, "(OK)", 2)}, "three"));
    std::string error;
    const auto board = host::gather_greenie({(dir.path / "single").string(), (dir.path / "sweep").string()}, &error);
    ASSERT_TRUE(board) << error;
    ASSERT_EQ(board->rows.size(), 3u);
    EXPECT_EQ(std::filesystem::path(board->rows[1].name).filename(), "a") << "the runs of a sweep in name order";
    EXPECT_EQ(board->passes, 4);
    EXPECT_DOUBLE_EQ(board->average_points, (5.0 + 3.0 + 0.0 + 1.0) / 4.0);
    const std::string text = host::greenie_text(*board);
    EXPECT_NE(text.find("4 passes, average 2.25 points"), std::string::npos) << text;
    const std::string png = (dir.path / "board.png").string();
    ASSERT_TRUE(host::draw_greenie(*board, png, &error)) << error;
    EXPECT_GT(std::filesystem::file_size(png), 1000u);

    dir.write("deep/x/y/passes.json", host::passes_json({}, "four"));
    EXPECT_FALSE(host::gather_greenie({(dir.path / "deep").string()}, &error)) << "runs two levels down are not searched";
    EXPECT_NE(error.find("neither a run directory"), std::string::npos) << error;
    EXPECT_FALSE(host::gather_greenie({(dir.path / "missing").string()}, &error));
}

// A sweep's directory: a row per run, named by its values, with every pass
// its result file graded; the first pass carries the run's outcome and wire.
TEST(Greenie, ASweepsDirectoryIsARowPerRun)
{
    TempDir dir;
    std::filesystem::create_directories(dir.path / "sw/results");
    auto result = [](uint64_t index, double wind, std::vector<host::SweepPass> passes, const char* outcome, int wire) {
        host::SweepRunResult r;
        r.index = index;
        r.sweep = "wind";
        r.names = {"wind_speed"};
        r.values = {wind};
        r.outcome = outcome;
        r.wire = wire;
        r.passes = std::move(passes);
        return r;
    };
    std::string error;
    const std::string results = (dir.path / "sw").string();
    ASSERT_TRUE(host::write_result(result(0, 0, {{"WO", 1.0}, {"OK", 4.0}}, "wave-off", 0),
                                   host::result_path(results, 0), &error)) << error;
    ASSERT_TRUE(host::write_result(result(1, 5, {{"_OK_", 5.0}}, "trap", 3), host::result_path(results, 1), &error))
        << error;
    const auto board = host::gather_greenie({results}, &error);
    ASSERT_TRUE(board) << error;
    ASSERT_EQ(board->rows.size(), 2u);
    EXPECT_EQ(board->rows[0].name, results + " run 0: wind_speed=0");
    EXPECT_EQ(board->rows[1].name, results + " run 1: wind_speed=5");
    ASSERT_EQ(board->rows[0].passes.size(), 2u);
    EXPECT_EQ(board->rows[0].passes[0].grade, "WO");
    EXPECT_EQ(board->rows[0].passes[0].outcome, "wave-off");
    EXPECT_EQ(board->rows[0].passes[1].grade, "OK");
    EXPECT_EQ(board->rows[0].passes[1].outcome, "");
    EXPECT_EQ(board->rows[1].passes[0].wire, 3);
    EXPECT_EQ(board->passes, 3);
    EXPECT_DOUBLE_EQ(board->average_points, (1.0 + 4.0 + 5.0) / 3.0);
}

}  // namespace
