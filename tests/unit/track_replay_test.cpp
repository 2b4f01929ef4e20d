// Track files: the reader's errors, the interpolation between rows and the
// replay driving world objects.
#include "host/build_paths.h"
#include <gtest/gtest.h>

#include <cmath>

#include "allocation_counter.h"
#include "host/scenario/track_replay.h"

using host::parse_track;
using host::sample_track;
using host::Track;

namespace {

constexpr double DEG = M_PI / 180.0;
const std::string HEADER = "time_s,latitude_deg,longitude_deg,altitude_ft,heading_deg,speed_kt,gear_pct,hook_pct,on_ground\n";

std::vector<std::string> errors_of(const std::string& text)
{
    std::vector<std::string> errors;
    const auto track = parse_track(text, "t.csv", &errors);
    EXPECT_EQ(track.has_value(), errors.empty());
    return errors;
}

Track good(const std::string& text)
{
    std::vector<std::string> errors;
    auto track = parse_track(text, "t.csv", &errors);
    EXPECT_TRUE(track) << (errors.empty() ? "" : errors.front());
    return track ? *track : Track{};
}

const host::SimVarInfo& var(const char* name) { return *host::find_sim_var(name); }

}  // namespace

TEST(TrackReader, NamesFileLineAndTheFaultOfEveryBadTrack)
{
    struct Case {
        const char* what;
        std::string text;
        std::string first_error;  // the whole first line reported
    };
    const std::string row = "0,36.8,-75.4,1000,90,140,100,100,0\n";
    const Case cases[] = {
        {"empty file", "", "t.csv:1: no header line (time_s,latitude_deg,...)"},
        {"comments only", "# nothing\n\n", "t.csv:2: no header line (time_s,latitude_deg,...)"},
        {"no rows", HEADER, "t.csv:1: the track has no rows"},
        {"unknown column", "time_s,latitude_deg,longitude_deg,altitude_ft,heading_deg,speed_kt,gear_pct,hook_pct,on_ground,flaps\n" + row,
         "t.csv:1: unknown column \"flaps\" (columns: time_s, latitude_deg, longitude_deg, altitude_ft, heading_deg, "
         "speed_kt, gear_pct, hook_pct, on_ground, aoa_deg, pitch_deg, bank_deg, wire)"},
        {"missing column", "time_s,latitude_deg,longitude_deg,altitude_ft,heading_deg,speed_kt,gear_pct,on_ground\n",
         "t.csv:1: the header lacks the column \"hook_pct\""},
        {"column twice", "time_s,time_s,latitude_deg,longitude_deg,altitude_ft,heading_deg,speed_kt,gear_pct,hook_pct,on_ground\n",
         "t.csv:1: column \"time_s\" given twice"},
        {"too few fields", HEADER + "0,36.8,-75.4\n", "t.csv:2: 3 fields; the header has 9"},
        {"too many fields", HEADER + "0,36.8,-75.4,1000,90,140,100,100,0,7\n", "t.csv:2: 10 fields; the header has 9"},
        {"not a number", HEADER + "0,36.8,-75.4,high,90,140,100,100,0\n", "t.csv:2: altitude_ft: \"high\" is not a number"},
        {"empty field", HEADER + "0,36.8,,1000,90,140,100,100,0\n", "t.csv:2: longitude_deg: \"\" is not a number"},
        {"number with trailing text", HEADER + "0,36.8,-75.4,1000ft,90,140,100,100,0\n",
         "t.csv:2: altitude_ft: \"1000ft\" is not a number"},
        {"infinite", HEADER + "0,36.8,-75.4,inf,90,140,100,100,0\n", "t.csv:2: altitude_ft: \"inf\" is not a number"},
        {"not a number at all", HEADER + "0,nan,-75.4,1000,90,140,100,100,0\n", "t.csv:2: latitude_deg: \"nan\" is not a number"},
        {"latitude beyond the pole", HEADER + "0,90.5,-75.4,1000,90,140,100,100,0\n",
         "t.csv:2: latitude_deg: \"90.5\" is outside -90 to 90"},
        {"longitude out of range", HEADER + "0,36.8,-181,1000,90,140,100,100,0\n",
         "t.csv:2: longitude_deg: \"-181\" is outside -180 to 180"},
        {"heading out of range", HEADER + "0,36.8,-75.4,1000,361,140,100,100,0\n",
         "t.csv:2: heading_deg: \"361\" is outside 0 to 360"},
        {"negative speed", HEADER + "0,36.8,-75.4,1000,90,-1,100,100,0\n", "t.csv:2: speed_kt: \"-1\" is outside 0 to 2000"},
        {"gear beyond 100", HEADER + "0,36.8,-75.4,1000,90,140,101,100,0\n", "t.csv:2: gear_pct: \"101\" is outside 0 to 100"},
        {"on_ground not 0 or 1", HEADER + "0,36.8,-75.4,1000,90,140,100,100,0.5\n",
         "t.csv:2: on_ground: \"0.5\" is outside 0 to 1 (whole numbers)"},
        {"negative time", HEADER + "-1,36.8,-75.4,1000,90,140,100,100,0\n", "t.csv:2: time_s: \"-1\" is outside 0 to 1e+07"},
        {"time standing still", HEADER + row + "# a comment\n" + row,
         "t.csv:4: time_s 0 does not come after the previous row's 0"},
        {"time going back", HEADER + "5,36.8,-75.4,1000,90,140,100,100,0\n" + row,
         "t.csv:3: time_s 0 does not come after the previous row's 5"},
        {"wire beyond 4", "time_s,latitude_deg,longitude_deg,altitude_ft,heading_deg,speed_kt,gear_pct,hook_pct,on_ground,wire\n"
                          "0,36.8,-75.4,1000,90,140,100,100,0,5\n",
         "t.csv:2: wire: \"5\" is outside 0 to 4 (whole numbers)"},
        {"binary data", HEADER + std::string("0,36.8,\0,1000\n", 14), "t.csv:2: the line holds a NUL character; is this a text file?"},
        {"overlong line", HEADER + std::string(5000, '1') + "\n", "t.csv:2: line longer than 4096 characters"},
        {"invisible bytes shown escaped", HEADER + "0,36.8,-75.4,\x7F\x01,90,140,100,100,0\n",
         "t.csv:2: altitude_ft: \"\\x7F\\x01\" is not a number"},
        {"byte-order mark past the start", HEADER + "0,36.8,-75.4,\xEF\xBB\xBF" "1000,90,140,100,100,0\n",
         "t.csv:2: altitude_ft: \"\\xEF\\xBB\\xBF1000\" is not a number"},
    };
    for (const Case& c : cases) {
        const auto errors = errors_of(c.text);
        ASSERT_FALSE(errors.empty()) << c.what;
        EXPECT_EQ(errors.front(), c.first_error) << c.what;
    }
}

TEST(TrackReader, SkipsTheByteOrderMarkASpreadsheetWritesFirst)
{
    const std::string row = "0,36.8,-75.4,1000,90,140,100,100,0\r\n";
    const Track t = good("\xEF\xBB\xBF" + HEADER + row);
    ASSERT_EQ(t.rows.size(), 1u);
    EXPECT_DOUBLE_EQ(t.rows[0].altitude_m, 304.8);
}

TEST(TrackReader, ReportsEveryBadRowUpToTheLimitAndNothingOfAGoodOne)
{
    std::string text = HEADER;
    for (int i = 0; i < 30; ++i) text += std::to_string(i) + ",36.8,-75.4,x,90,140,100,100,0\n";
    const auto errors = errors_of(text);
    ASSERT_EQ(errors.size(), host::MAX_TRACK_ERRORS);
    EXPECT_EQ(errors[0].rfind("t.csv:2: ", 0), 0u);
    EXPECT_EQ(errors[9].rfind("t.csv:11: ", 0), 0u);
    // Two faults on one row are both named.
    const auto two = errors_of(HEADER + "0,95,-75.4,x,90,140,100,100,0\n");
    ASSERT_EQ(two.size(), 2u);
    EXPECT_NE(two[0].find("latitude_deg"), std::string::npos);
    EXPECT_NE(two[1].find("altitude_ft"), std::string::npos);
}

TEST(TrackReader, ReadsColumnsInAnyOrderIntoBaseUnits)
{
    const Track t = good("# recorded elsewhere\r\n"
                         "hook_pct, on_ground ,time_s,latitude_deg,longitude_deg,altitude_ft,heading_deg,speed_kt,gear_pct,aoa_deg,wire\r\n"
                         "\r\n"
                         "50,1,+2.5,36.8,-75.4,1000,360,100,75,8.5,3\r\n");
    ASSERT_EQ(t.rows.size(), 1u);
    const host::TrackSample& s = t.rows[0];
    EXPECT_DOUBLE_EQ(s.time_s, 2.5);
    EXPECT_DOUBLE_EQ(s.latitude, 36.8 * DEG);
    EXPECT_DOUBLE_EQ(s.longitude, -75.4 * DEG);
    EXPECT_DOUBLE_EQ(s.altitude_m, 304.8);
    EXPECT_DOUBLE_EQ(s.heading, 0.0);  // 360 is north
    EXPECT_DOUBLE_EQ(s.speed_mps, 100 * 1852.0 / 3600.0);
    EXPECT_DOUBLE_EQ(s.gear_pct, 75);
    EXPECT_DOUBLE_EQ(s.hook_pct, 50);
    EXPECT_DOUBLE_EQ(s.on_ground, 1);
    EXPECT_DOUBLE_EQ(s.aoa, 8.5 * DEG);
    EXPECT_DOUBLE_EQ(s.wire, 3);
    EXPECT_TRUE(t.has_aoa);
    EXPECT_TRUE(t.has_wire);
    EXPECT_FALSE(t.has_pitch);
    EXPECT_FALSE(t.has_bank);
}

TEST(TrackReader, ReadsTheBundledTracks)
{
    for (const char* file : {"scenarios/tracks/cvn68_approach.csv", "scenarios/tracks/cvn68_ship.csv"}) {
        std::vector<std::string> errors;
        const auto track = host::read_track(std::string(CARRIER_SOURCE_DIR) + "/" + file, &errors);
        ASSERT_TRUE(track) << errors.front();
        EXPECT_GT(track->rows.size(), 100u) << file;
    }
    std::vector<std::string> errors;
    EXPECT_FALSE(host::read_track("/nonexistent/track.csv", &errors));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "/nonexistent/track.csv: cannot open the track file");
}

TEST(TrackInterpolation, MixesTheTwoRowsAroundTheTimeTheShortWayRound)
{
    // Across the date line and through north, with the gear coming down.
    const Track t = good(HEADER + "10,10,179.9,1000,359,100,0,0,0\n"
                                  "20,10.2,-179.9,2000,3,200,100,50,1\n"
                                  "30,10.4,-179.7,3000,3,200,100,50,1\n");
    size_t hint = 0;
    const auto mid = sample_track(t, 15.0, &hint);
    constexpr double TOL = 1e-9;  // radians; metres and percent to the same order
    EXPECT_NEAR(mid.at.latitude, 10.1 * DEG, TOL);
    EXPECT_NEAR(std::fabs(mid.at.longitude), 180.0 * DEG, TOL) << "the short way over the date line";
    EXPECT_NEAR(std::fabs(std::remainder(mid.at.heading, 2 * M_PI)), 1.0 * DEG, TOL) << "359 -> 3 passes north";
    EXPECT_NEAR(mid.at.altitude_m, 1500 * 0.3048, 1e-6);
    EXPECT_NEAR(mid.at.speed_mps, 150 * 1852.0 / 3600.0, 1e-9);
    EXPECT_NEAR(mid.at.gear_pct, 50, 1e-9);
    EXPECT_NEAR(mid.at.hook_pct, 25, 1e-9);
    EXPECT_EQ(mid.at.on_ground, 0.0) << "on-ground keeps the earlier row's value";
    EXPECT_NEAR(mid.vertical_speed_mps, 1000 * 0.3048 / 10.0, 1e-9);
    EXPECT_NEAR(mid.yaw_rate, 4.0 * DEG / 10.0, 1e-12);
    EXPECT_GT(mid.ground_speed_mps, 3000.0);  // about 31 km in 10 s
    EXPECT_LT(mid.ground_speed_mps, 3300.0);
    EXPECT_EQ(hint, 0u);

    const auto quarter = sample_track(t, 22.5, &hint);
    EXPECT_EQ(hint, 1u);
    EXPECT_NEAR(quarter.at.latitude, 10.25 * DEG, TOL);
    EXPECT_NEAR(quarter.at.longitude, -179.85 * DEG, TOL);
    EXPECT_EQ(quarter.at.on_ground, 1.0);

    // Exactly on a row, before the first and after the last: that row, no motion.
    EXPECT_NEAR(sample_track(t, 20.0, &hint).at.latitude, 10.2 * DEG, TOL);
    const auto before = sample_track(t, 0.0, &hint);
    EXPECT_DOUBLE_EQ(before.at.latitude, 10 * DEG);
    EXPECT_EQ(before.ground_speed_mps, 0.0);
    const auto after = sample_track(t, 99.0, &hint);
    EXPECT_DOUBLE_EQ(after.at.latitude, 10.4 * DEG);
    EXPECT_EQ(after.vertical_speed_mps, 0.0);
    // A jump back in time finds its segment again.
    EXPECT_NEAR(sample_track(t, 12.5, &hint).at.latitude, 10.05 * DEG, TOL);
    EXPECT_EQ(hint, 0u);
}

TEST(TrackInterpolation, FindsTheSegmentFarAheadOfTheHint)
{
    std::string text = HEADER;
    for (int i = 0; i <= 1000; ++i) text += std::to_string(i) + ",0," + std::to_string(i * 0.001) + ",0,90,0,0,0,0\n";
    const Track t = good(text);
    size_t hint = 0;
    EXPECT_NEAR(sample_track(t, 777.25, &hint).at.longitude, 0.77725 * DEG, 1e-12);
    EXPECT_EQ(hint, 777u);
}

TEST(TrackReplay, MovesTheAircraftAndABoatAsTheTrackSaysEveryFrame)
{
    host::HostOptions options;
    options.frame_rate = 10.0;
    host::Host h(options);
    const auto track = std::make_shared<const Track>(good(HEADER + "0,36.0,-75.0,1000,80,140,100,0,0\n"
                                                                   "2,36.01,-74.99,900,90,150,100,100,1\n"));
    host::World::set(h.world().user(), var("MAGVAR"), -10 * DEG);
    h.world().user().follows_path = true;  // the replay takes the aircraft from the world's own motion
    const uint32_t boat = h.world().add(host::ObjectKind::Boat, "ship");
    host::World::set(*h.world().find(boat), var("AIRSPEED TRUE"), 50.0);  // moving by itself before the replay

    auto plane = std::make_shared<host::TrackReplay>(track, host::World::USER_OBJECT_ID, 0.0, 0.0);
    auto ship = std::make_shared<host::TrackReplay>(track, boat, 0.0, 1.0);  // one second into the track
    plane->apply(h);
    h.add_frame_observer(plane);
    h.add_frame_observer(ship);

    h.run_frames(1);  // the first frame looks its variables up once
    const long before = allocations_so_far();
    h.run_frames(4);  // t = 0.5 s
    EXPECT_EQ(allocations_so_far() - before, 0) << "replaying allocates nothing per frame";

    const host::SimObject& u = h.world().user();
    constexpr double TOL = 1e-9;
    EXPECT_FALSE(u.follows_path);
    EXPECT_NEAR(host::World::get(u, var("PLANE LATITUDE")), 36.0025 * DEG, TOL);
    EXPECT_NEAR(host::World::get(u, var("PLANE LONGITUDE")), -74.9975 * DEG, TOL);
    EXPECT_NEAR(host::World::get(u, var("PLANE ALTITUDE")), 975 * 0.3048, 1e-6);
    EXPECT_NEAR(host::World::get(u, var("PLANE HEADING DEGREES TRUE")), 82.5 * DEG, TOL);
    EXPECT_NEAR(host::World::get(u, var("PLANE HEADING DEGREES MAGNETIC")), 92.5 * DEG, TOL);
    EXPECT_NEAR(host::World::get(u, var("AIRSPEED TRUE")), 142.5 * 1852.0 / 3600.0, 1e-9);
    EXPECT_NEAR(host::World::get(u, var("VERTICAL SPEED")), -100 * 0.3048 / 2.0, 1e-9);
    EXPECT_NEAR(host::World::get(u, var("TAILHOOK POSITION")), 25, 1e-9);
    EXPECT_EQ(host::World::get(u, var("SIM ON GROUND")), 0.0);
    const double gs = host::World::get(u, var("GROUND VELOCITY"));
    EXPECT_GT(gs, 700.0);  // about 1.4 km in 2 s
    EXPECT_LT(gs, 750.0);
    EXPECT_EQ(host::World::get(u, var("SURFACE RELATIVE GROUND SPEED")), gs);

    const host::SimObject& b = *h.world().find(boat);
    EXPECT_NEAR(host::World::get(b, var("PLANE LATITUDE")), 36.0075 * DEG, TOL) << "the boat follows its own start";
    EXPECT_NEAR(host::World::get(b, var("AIRSPEED TRUE")), 147.5 * 1852.0 / 3600.0, 1e-9);
    EXPECT_EQ(host::World::get(b, var("SIM ON GROUND")), 0.0) << "a boat gets no deck state";

    // At and after the track's end the last row holds, and the end is noted once.
    h.run_frames(20);
    EXPECT_TRUE(plane->finished());
    EXPECT_NEAR(host::World::get(u, var("PLANE LATITUDE")), 36.01 * DEG, TOL);
    EXPECT_EQ(host::World::get(u, var("SIM ON GROUND")), 1.0);
    EXPECT_EQ(host::World::get(u, var("GROUND VELOCITY")), 0.0);
    size_t ended = 0;
    for (const auto* e : h.timeline().of_kind("note")) ended += e->data.value("text", "") == "the replayed track ended";
    EXPECT_EQ(ended, 2u);  // one per replay
}

TEST(TrackReplay, StopsWhenItsBoatLeavesTheWorld)
{
    host::Host h(host::HostOptions{});
    const auto track = std::make_shared<const Track>(good(HEADER + "0,36,-75,0,90,20,0,0,0\n10,36.1,-75,0,90,20,0,0,0\n"));
    const uint32_t boat = h.world().add(host::ObjectKind::Boat, "ship");
    auto replay = std::make_shared<host::TrackReplay>(track, boat, 0.0, 0.0);
    h.add_frame_observer(replay);
    h.run_frames(2);
    h.world().remove(boat);
    h.run_frames(2);
    size_t stops = 0;
    for (const auto* e : h.timeline().of_kind("note"))
        stops += e->data.value("text", "") == "the replayed object left the world; its track stops";
    EXPECT_EQ(stops, 1u);
}
