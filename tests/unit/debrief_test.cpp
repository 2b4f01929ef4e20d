// The debrief's CSV row from the host's state, its per-frame cost, the plot
// files it draws and the progress line of long runs.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "allocation_counter.h"
#include "host/record/debrief.h"
#include "host/bench/run_progress.h"

namespace {

struct TempDir {
    std::filesystem::path path;
    TempDir()
    {
        char pattern[] = "/tmp/carrier_debrief_XXXXXX";
        path = mkdtemp(pattern);
    }
    ~TempDir() { std::filesystem::remove_all(path); }
};

std::string slurp(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> split(const std::string& line)
{
    std::vector<std::string> out;
    std::stringstream s(line);
    std::string cell;
    while (std::getline(s, cell, ',')) out.push_back(cell);
    if (!line.empty() && line.back() == ',') out.emplace_back();
    return out;
}

const host::SimVarInfo& var(const char* name) { return *host::find_sim_var(name); }

}  // namespace

TEST(Debrief, WritesOneRowPerFrameOfThePublishedValuesAndTheAircraftAllocatingNothing)
{
    TempDir dir;
    host::Host h(host::HostOptions{});
    IMPORT_TABLE imports{{PANELS_TABLE_ID, nullptr}, {0, nullptr}};
    h.install_services(&imports);
    // The published picture of an aircraft 1 nm behind a landing point at 36.8 N 75.4 W, runway 081.
    const double lat0 = 36.8 * M_PI / 180, lon0 = -75.4 * M_PI / 180, rwy = 81 * M_PI / 180;
    for (int i = 0; i < 21; ++i) {
        const ID id = host::Host::panel_table.register_named_variable(host::PUBLISHED_NAMES[i]);
        host::Host::panel_table.set_named_variable_value(id, 0.25 * i);
    }
    auto set = [&](const char* name, double v) {
        host::Host::panel_table.set_named_variable_value(host::Host::panel_table.register_named_variable(name), v);
    };
    set("TCN Valid", 1);
    set("Carrier_Is_Found", 1);
    set("CarrierType", 2);  // a fixed site: no ship frame
    set("RWY_True_Heading", rwy);
    set("ILS Lat", lat0);
    set("ILS Lon", -lon0);  // west-positive
    set("ILS Slant Range", 1.0);
    set("LOC Error", 0.5);
    host::SimObject& user = h.world().user();
    // 1852 m before the point along 081, 20 m to its right.
    const double north = -1852 * std::cos(rwy) - 20 * std::sin(rwy);
    const double east = -1852 * std::sin(rwy) + 20 * std::cos(rwy);
    host::World::set(user, var("PLANE LATITUDE"), lat0 + north / host::WORLD_RADIUS_M);
    host::World::set(user, var("PLANE LONGITUDE"), lon0 + east / (host::WORLD_RADIUS_M * std::cos(lat0)));
    host::World::set(user, var("PLANE ALTITUDE"), 152.4);
    host::World::set(user, var("AIRSPEED TRUE"), 140 * 1852.0 / 3600.0);
    host::World::set(user, var("INCIDENCE ALPHA"), 8.1 * M_PI / 180);
    host::World::set(user, var("TAILHOOK POSITION"), 100);

    auto debrief = std::make_shared<host::Debrief>();
    std::string error;
    ASSERT_TRUE(debrief->open(dir.path.string(), 200, "unit", &error)) << error;
    h.add_frame_observer(debrief);
    h.run_frames(1);
    const long before = allocations_so_far();
    h.run_frames(99);
    EXPECT_EQ(allocations_so_far() - before, 0) << "a debrief frame allocates nothing";
    ASSERT_TRUE(debrief->finish(h, &error)) << error;
    EXPECT_EQ(debrief->rows(), 100);

    std::ifstream csv(debrief->csv_path());
    std::string header, row, last;
    std::getline(csv, header);
    const auto columns = host::Debrief::csv_columns();
    ASSERT_EQ(split(header), columns);
    ASSERT_EQ(columns.size(), 2u + 21u + 13u);
    int rows = 0;
    while (std::getline(csv, row)) {
        ++rows;
        last = row;
    }
    EXPECT_EQ(rows, 100);
    const auto cells = split(last);
    ASSERT_EQ(cells.size(), columns.size());
    auto cell = [&](const std::string& name) {
        const size_t i = std::find(columns.begin(), columns.end(), name) - columns.begin();
        return cells.at(i);
    };
    EXPECT_EQ(std::stod(cell("frame")), 100);
    EXPECT_DOUBLE_EQ(std::stod(cell("t")), 100 / 30.0);
    for (const char* name : host::PUBLISHED_NAMES)
        EXPECT_EQ(std::stod(cell(name)), h.named_variable(name)) << name;  // shortest exact form
    EXPECT_EQ(cell("ship_x_m"), "") << "no ship followed";
    EXPECT_NEAR(std::stod(cell("aim_behind_m")), 1852, 0.5);
    EXPECT_NEAR(std::stod(cell("aim_right_m")), 20, 0.5);
    EXPECT_NEAR(std::stod(cell("altitude_ft")), 500, 1e-9);
    EXPECT_NEAR(std::stod(cell("airspeed_true_kt")), 140, 1e-9);
    EXPECT_NEAR(std::stod(cell("aoa_deg")), 8.1, 1e-9);
    EXPECT_EQ(cell("hook_pct"), "100");

    // Every frame was on the approach: one stretch of 100 samples.
    EXPECT_EQ(debrief->plot_data().points.size(), 100u);
    EXPECT_EQ(debrief->plot_data().breaks.size(), 1u);
    EXPECT_DOUBLE_EQ(debrief->plot_data().points[0].loc_error, 0.5);
}

TEST(Debrief, DrawsThePlotAsPngAndSvgWithOrWithoutData)
{
    TempDir dir;
    host::PlotData data;
    data.title = "Test #1";
    for (int i = 0; i < 200; ++i) {
        const double r = 3.0 - i * 0.015;
        data.points.push_back({r, 0.5 * std::sin(r * 4), std::cos(r * 3), 40 * std::sin(r * 4)});
    }
    data.breaks = {0, 120};
    data.meatball_published = true;
    data.calls = {{10, 0.75, "Call the ball", "red"}, {12, 0.6, "You're high, a very long text that is cut", "red"}};
    struct Case {
        const char* device;
        const char* file;
        std::string magic;
    };
    const Case cases[] = {{"pngcairo", "a.png", "\x89PNG\r\n\x1a\n"}, {"svgcairo", "a.svg", "<?xml"}};
    for (bool empty : {false, true}) {
        host::PlotData d = empty ? host::PlotData{} : data;
        for (const Case& c : cases) {
            const auto path = dir.path / c.file;
            std::string error;
            ASSERT_TRUE(host::draw_approach_plot(d, path.string(), c.device, &error)) << error;
            const std::string bytes = slurp(path);
            EXPECT_GT(bytes.size(), 2000u) << c.file;
            EXPECT_EQ(bytes.substr(0, c.magic.size()), c.magic) << c.file;
            if (std::string(c.device) == "svgcairo") {
                EXPECT_NE(bytes.find("<svg"), std::string::npos);
            }
        }
    }
    std::string error;
    EXPECT_FALSE(host::draw_approach_plot(data, (dir.path / "x.png").string(), "no-such-driver", &error));
    EXPECT_EQ(error, "PLplot has no \"no-such-driver\" driver (Debian package plplot-driver-cairo)");
    EXPECT_FALSE(host::draw_approach_plot(data, "/nonexistent/dir/x.png", "pngcairo", &error));
    EXPECT_EQ(error.rfind("cannot write /nonexistent/dir/x.png", 0), 0u) << error;
}

// A plot without a sample says why: the caller's cause when it has one,
// else what the frames showed, from the least to the most that happened.
TEST(Debrief, APlotWithoutApproachNamesItsReason)
{
    struct Case {
        double valid, found, range;
        std::string cause, reason;
    };
    const Case cases[] = {
        {0, 0, 14.2, "", "the TACAN never showed a valid channel"},
        {1, 0, 14.2, "", "the TACAN was tuned, its carrier never found"},
        {1, 1, 14.2, "", "never within 10 nm (closest 14.2 nm)"},
        {1, 1, 4.0, "", "never airborne in front of the landing area within 10 nm"},
        {0, 0, 14.2, "109.35 MHz: no entry in the carrier list", "109.35 MHz: no entry in the carrier list"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        host::Host h(host::HostOptions{});
        IMPORT_TABLE imports{{PANELS_TABLE_ID, nullptr}, {0, nullptr}};
        h.install_services(&imports);
        auto set = [&](const char* name, double v) {
            host::Host::panel_table.set_named_variable_value(host::Host::panel_table.register_named_variable(name), v);
        };
        set("TCN Valid", c.valid);
        set("Carrier_Is_Found", c.found);
        set("CarrierType", 2);
        set("ILS Slant Range", c.range);
        set("LOC Error", 0.5);
        // On the ground: within range, still no approach.
        host::World::set(h.world().user(), var("SIM ON GROUND"), 1);
        auto debrief = std::make_shared<host::Debrief>();
        std::string error;
        ASSERT_TRUE(debrief->open(dir.path.string(), 10, "unit", &error)) << error;
        h.add_frame_observer(debrief);
        h.run_frames(3);
        set("ILS Slant Range", c.range + 1.0);  // the least range is kept
        h.run_frames(3);
        ASSERT_TRUE(debrief->finish(h, &error, c.cause)) << error;
        EXPECT_TRUE(debrief->plot_data().points.empty());
        EXPECT_EQ(debrief->plot_data().no_approach, c.reason);
    }
}

// The range axis runs right to left; the grey "not published" label of a
// meatball that never showed still reads left to right.
TEST(Debrief, TheNotPublishedLabelReadsTheRightWayUp)
{
    TempDir dir;
    host::PlotData data;
    data.title = "t";
    for (int i = 0; i < 50; ++i) data.points.push_back({3.0 - i * 0.05, 0.1, 0.2, std::nan("")});
    data.breaks = {0};
    std::string error;
    const auto path = dir.path / "p.svg";
    ASSERT_TRUE(host::draw_approach_plot(data, path.string(), "svgcairo", &error)) << error;
    const std::string svg = slurp(path);
    const size_t grey = svg.find("<g style=\"fill:rgb(58.8");
    ASSERT_NE(grey, std::string::npos);
    const std::string group = svg.substr(grey, svg.find("</g>", grey) - grey);
    std::vector<double> xs;
    for (size_t at = group.find(" x=\""); at != std::string::npos; at = group.find(" x=\"", at + 1))
        xs.push_back(std::stod(group.substr(at + 4)));
    ASSERT_EQ(xs.size(), 13u) << group;  // "not published"
    for (size_t i = 1; i < xs.size(); ++i) EXPECT_GT(xs[i], xs[i - 1]) << i;
    EXPECT_EQ(group.find("transform"), std::string::npos) << group;
}

// A title or call in Latin-1 (an officer's text saved by an editor not set to
// UTF-8) is drawn with U+FFFD for the byte, as the timeline writes it; PLplot
// would drop the whole label otherwise.
TEST(Debrief, TextsThatAreNotUtf8AreDrawnWithTheReplacementCharacter)
{
    TempDir dir;
    auto plot = [&](const std::string& text, const char* file) {
        host::PlotData data;
        data.title = "Approach " + text;
        for (int i = 0; i < 50; ++i) data.points.push_back({3.0 - i * 0.05, 0.1, 0.2, 1.0});
        data.breaks = {0};
        data.calls = {{10, 1.5, "LSO: " + text, "green"}};
        std::string error;
        testing::internal::CaptureStderr();
        const bool drawn = host::draw_approach_plot(data, (dir.path / file).string(), "svgcairo", &error);
        const std::string complaints = testing::internal::GetCapturedStderr();
        EXPECT_TRUE(drawn) << error;
        EXPECT_EQ(complaints, "") << file;
        // The glyphs drawn: one <use> element each.
        const std::string svg = slurp(dir.path / file);
        size_t glyphs = 0;
        for (size_t at = svg.find("<use "); at != std::string::npos; at = svg.find("<use ", at + 1)) ++glyphs;
        return glyphs;
    };
    const size_t latin1 = plot("Appel\xE9 la boule", "latin1.svg");
    EXPECT_EQ(latin1, plot("Appel\xEF\xBF\xBD la boule", "replaced.svg"));
    // Two labels (the title and the call) of one glyph more than without the byte.
    EXPECT_EQ(latin1, plot("Appel la boule", "plain.svg") + 2);
}

TEST(RunProgress, SaysNothingForTheFirstSecondsThenReportsAtItsPace)
{
    using namespace std::chrono;
    struct Case {
        bool terminal;
        std::vector<double> wall_s;  // when updates come, seconds after the start
        int reports;
    };
    const Case cases[] = {
        {false, {0.5, 1.0, 2.9}, 0},             // a short run says nothing
        {false, {3.1, 4.0, 12.0, 13.2, 14.0}, 2}, // then every ten seconds on a file
        {true, {3.1, 3.5, 4.2, 5.3, 5.4}, 3},     // every second on a terminal
    };
    for (const Case& c : cases) {
        std::FILE* out = std::tmpfile();
        host::RunProgress progress(100.0, out, c.terminal);
        const auto start = host::RunProgress::Clock::now();
        for (double w : c.wall_s)
            progress.update(10.0, start + duration_cast<host::RunProgress::Clock::duration>(duration<double>(w)));
        progress.done();
        EXPECT_EQ(progress.reports(), c.reports);
        std::rewind(out);
        char text[512] = {};
        const size_t n = std::fread(text, 1, sizeof text - 1, out);
        std::fclose(out);
        if (c.reports) {
            EXPECT_NE(std::string(text, n).find("carrier-bench: t = 10 s of 100 s (10 %)"), std::string::npos);
            EXPECT_EQ(text[n - 1], '\n');
        } else {
            EXPECT_EQ(n, 0u);
        }
    }
}
