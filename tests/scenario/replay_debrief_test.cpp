// The bundled replayed-track scenario on the real module: the aircraft and
// the ship follow their tracks, the module sees that flight, and the debrief
// records it; a scenario with a bad track is refused before anything runs.
#include "host/build_paths.h"
#include <cmath>
#include <fstream>
#include <sstream>

#include "host/record/debrief.h"
#include "host/scenario/track_replay.h"
#include "scenario_fixture.h"

using scenario_test::source_path;
using scenario_test::TempRoot;

namespace {

std::vector<std::string> split(const std::string& line)
{
    std::vector<std::string> out;
    std::stringstream s(line);
    std::string cell;
    while (std::getline(s, cell, ',')) out.push_back(cell);
    if (!line.empty() && line.back() == ',') out.emplace_back();
    return out;
}

struct ReplayRun {
    std::unique_ptr<host::Host> host;
    std::shared_ptr<host::Debrief> debrief = std::make_shared<host::Debrief>();
    host::RunResult result;
    std::string error;
    TempRoot out;
    std::vector<std::string> columns = host::Debrief::csv_columns();
    std::vector<std::vector<std::string>> rows;  // every CSV row, by frame - 1

    ReplayRun()
    {
        auto scenario = host::load_scenario(source_path("scenarios/replay_track.xml"), &error);
        if (!scenario) return;
        host::HostOptions options = host::host_options_for(*scenario, CARRIER_MODULE_PATH);
        options.private_copy = true;
        options.echo_stderr = false;
        host = std::make_unique<host::Host>(options);
        const auto frames = static_cast<int64_t>(std::llround(scenario->end_time * scenario->frame_rate));
        if (!debrief->open(out.dir.string(), frames, scenario->name, &error)) return;
        host->add_frame_observer(debrief);
        result = host::run_scenario(*scenario, *host);
        if (!debrief->finish(*host, &error)) return;
        std::ifstream csv(debrief->csv_path());
        std::string line;
        std::getline(csv, line);
        if (split(line) != columns) error = "header differs: " + line;
        while (std::getline(csv, line)) rows.push_back(split(line));
    }

    double value(size_t row, const std::string& column) const
    {
        const size_t i = std::find(columns.begin(), columns.end(), column) - columns.begin();
        const std::string& cell = rows.at(row).at(i);
        return cell.empty() ? std::nan("") : std::stod(cell);
    }
};

// Frame at which the replayed approach is closest to `range_nm` (on the way in).
size_t frame_at_range(const ReplayRun& run, double range_nm)
{
    size_t best = 0;
    double best_miss = INFINITY;
    for (size_t i = 0; i < run.rows.size(); ++i) {
        const double miss = std::fabs(run.value(i, "ILS Slant Range") - range_nm);  // NaN before publication
        if (run.value(i, "on_ground") == 0 && miss < best_miss) {
            best = i;
            best_miss = miss;
        }
    }
    return best;
}

}  // namespace

TEST(ReplayedTrack, TheModuleSeesTheRecordedApproachAndTheDebriefRecordsIt)
{
    ReplayRun run;
    ASSERT_TRUE(run.error.empty()) << run.error;
    ASSERT_TRUE(run.result.ok) << run.result.error;
    ASSERT_EQ(run.rows.size(), 3000u);

    // The aircraft is where the track says, frame by frame (the track has 10 rows a second).
    std::vector<std::string> errors;
    const auto track = host::read_track(source_path("scenarios/tracks/cvn68_approach.csv"), &errors);
    ASSERT_TRUE(track);
    size_t hint = 0;
    for (size_t i : {30u, 1000u, 1999u, 2700u}) {
        const double t = run.value(i, "t");
        const auto expected = host::sample_track(*track, t, &hint).at;
        EXPECT_NEAR(run.value(i, "altitude_ft"), expected.altitude_m / 0.3048, 1e-6) << "t=" << t;
        EXPECT_NEAR(run.value(i, "airspeed_true_kt"), expected.speed_mps * 3600 / 1852, 1e-9) << "t=" << t;
    }

    // The recorded deviations, as the module computed them: on the slope and the line
    // at 2 nm; high by 0.9 degrees and 30 m right of the line at 0.75 nm.
    const size_t far = frame_at_range(run, 2.0), high = frame_at_range(run, 0.75);
    EXPECT_NEAR(run.value(far, "GS Error"), 0.0, 0.02);
    EXPECT_NEAR(run.value(far, "LOC Error"), 0.0, 0.05);
    EXPECT_NEAR(run.value(high, "GS Error"), 0.9, 0.02);
    EXPECT_LT(run.value(high, "LOC Error"), -1.0);  // right of the line: the course to the deck is left of it
    EXPECT_NEAR(run.value(high, "aim_right_m"), 30.0, 1.0);
    EXPECT_NEAR(run.value(high, "aim_behind_m"), 0.75 * 1852, 15.0);
    // Astern of the ship and to starboard, on the angled deck's extended line.
    EXPECT_LT(run.value(high, "ship_z_m"), -1000.0);
    EXPECT_GT(run.value(high, "ship_x_m"), 0.0);
    EXPECT_EQ(run.value(high, "CarrierType"), 1.0);

    // The last row is the panel's picture at the end: every published value as the host holds it.
    const size_t last = run.rows.size() - 1;
    for (const char* name : host::PUBLISHED_NAMES)
        EXPECT_EQ(run.value(last, name), run.host->named_variable(name)) << name;
    // On deck with wire 3 at the end; the ship followed its own track.
    EXPECT_EQ(run.value(last, "on_ground"), 1.0);
    EXPECT_EQ(run.value(last, "wire"), 3.0);
    EXPECT_NEAR(run.value(last, "ship_y_m"), (19.0 + 2.0), 0.01);  // CG on the 19 m deck

    // The tuning text is marked at the range where it came, about 3 nm out.
    const auto& calls = run.debrief->plot_data().calls;
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.front().text, "TACAN tuned on CVN-68 Nimitz -Lock on-");
    EXPECT_NEAR(calls.front().range_nm, 2.97, 0.03);
    EXPECT_TRUE(run.debrief->plot_data().meatball_published);

    // Both plot files are there and are what they say.
    std::ifstream png(run.debrief->png_path(), std::ios::binary), svg(run.debrief->svg_path());
    std::string png_head(8, '\0'), svg_head(5, '\0');
    png.read(png_head.data(), 8);
    svg.read(svg_head.data(), 5);
    EXPECT_EQ(png_head, "\x89PNG\r\n\x1a\n");
    EXPECT_EQ(svg_head, "<?xml");
    EXPECT_GT(std::filesystem::file_size(run.debrief->png_path()), 10000u);
}

TEST(ReplayedTrack, AScenarioWithABadTrackIsRefusedNamingTheTrackFileAndLine)
{
    TempRoot root;
    std::ofstream(root.dir / "bad.csv") << "time_s,latitude_deg,longitude_deg,altitude_ft,heading_deg,speed_kt,gear_pct,hook_pct,on_ground\n"
                                           "0,36.8,-75.4,1000,90,140,100,100,0\n"
                                           "1,36.8,-75.4,1000,90,fast,100,100,0\n";
    const std::string path = root.scenario("<world>\n<replay track=\"bad.csv\"/>\n</world>\n<run end=\"1\"/>");
    std::string error;
    EXPECT_FALSE(host::load_scenario(path, &error));
    EXPECT_EQ(error, path + ":5: the track bad.csv cannot be replayed:\n  " + (root.dir / "bad.csv").string() +
                         ":3: speed_kt: \"fast\" is not a number");

    struct Case {
        std::string body;
        std::string error;
    };
    const Case cases[] = {
        {"<world><replay/></world><run end=\"1\"/>", ":4: <replay> needs the attribute \"track\""},
        {"<world><replay track=\"none.csv\"/></world><run end=\"1\"/>", "none.csv: cannot open the track file"},
        {"<world><replay track=\"bad.csv\" object=\"a\" ref=\"b\"/></world><run end=\"1\"/>",
         ":4: a replay drives one object: give object or ref, not both"},
        {"<world><replay track=\"../../../scenarios/tracks/cvn68_ship.csv\" speed=\"2\"/></world><run end=\"1\"/>",
         ":4: <replay> has an unknown attribute \"speed\""},
    };
    for (const Case& c : cases) {
        const std::string p = root.scenario(c.body);
        EXPECT_FALSE(host::load_scenario(p, &error));
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
}

TEST(ReplayedTrack, AReplayOfABoatThatIsNotThereStopsTheRun)
{
    TempRoot root;
    std::filesystem::copy(source_path("scenarios/tracks/cvn68_ship.csv"), root.dir / "ship.csv");
    const std::string path = root.scenario("<run end=\"2\"><event time=\"1\"><replay track=\"ship.csv\" object=\"Nobody\"/></event></run>");
    scenario_test::PathRun run(path);
    ASSERT_TRUE(run.error.empty()) << run.error;
    EXPECT_FALSE(run.result.ok);
    EXPECT_EQ(run.result.error, path + ":4: no boat titled \"Nobody\" to replay");
}
