// The bundled default scenario as one story, end to end with the real
// module: the radio's knobs tune the carrier, the officer calls the approach
// in order, the hook catches the wire it crosses, the catapult launches the
// aircraft at the end speed of the launch model, and the printed story of
// the bench tells all of it.
#include "host/build_paths.h"
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "host/world/deck.h"
#include "host/world/flown_aircraft.h"
#include "host/record/story.h"
#include "scenario_fixture.h"

namespace {

using scenario_test::source_path;

const char* const SHIP = "Carrier Nimitz CVN-68";

double user_var(host::Host& h, const char* name)
{
    return host::World::get(h.world().user(), *host::find_sim_var(name));
}

// Every frame, after the world moved: the hook tip along the landing line
// and above the deck, and what the catapult's launch model reads.
struct HookRecorder : host::FrameObserver {
    struct Sample {
        int64_t frame;
        double tip_s, tip_h;  // metres from the ramp along the landing line; above the deck
        bool hook_down;
        double climb_mps;  // vertical speed
        double wind_z_mps, ground_mps;
    };
    std::vector<Sample> samples;

    void world_moved(host::Host& h) override
    {
        host::World& world = h.world();
        const host::SimObject* ship = nullptr;
        for (const auto& [id, object] : world.objects())
            if (object.kind == host::ObjectKind::Boat && object.title == SHIP) ship = &object;
        host::FlownAircraft& flown = host::FlownAircraft::of(world);
        const host::DeckModel* deck = ship ? flown.deck_of(ship->id) : nullptr;
        if (!deck) return;
        auto ship_var = [&](const char* name) { return host::World::get(*ship, *host::find_sim_var(name)); };
        const host::ShipPose pose{ship_var("PLANE LATITUDE"), ship_var("PLANE LONGITUDE"), ship_var("PLANE ALTITUDE"),
                                  ship_var("PLANE HEADING DEGREES TRUE"), 0.0, 0.0};
        const host::AircraftState& a = flown.state();
        double x = 0, z = 0, s = 0, c = 0;
        host::world_to_ship(pose, a.lat, a.lon, &x, &z);
        deck->ship_to_line(x, z, &s, &c);
        const double course = pose.heading - deck->landing_angle_deg * M_PI / 180.0;
        const auto& p = flown.params();
        const double wheels = a.altitude_m - p.cg_height_m - (pose.altitude_m + deck->height_m);
        samples.push_back({h.frame(), s - p.hook_arm_m * std::cos(a.heading - course),
                           std::max(0.0, wheels - p.hook_drop_m), a.hook > 0.95, a.vertical_mps,
                           user_var(h, "AMBIENT WIND Z"),
                           user_var(h, "GROUND VELOCITY")});
    }
    const Sample* at(int64_t frame) const
    {
        for (const Sample& s : samples)
            if (s.frame == frame) return &s;
        return nullptr;
    }
};

class DefaultStory : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        std::string error;
        auto scenario = host::load_scenario(source_path("scenarios/default.xml"), &error);
        ASSERT_TRUE(scenario) << error;
        host::HostOptions options = host::host_options_for(*scenario, CARRIER_MODULE_PATH);
        options.private_copy = true;
        options.echo_stderr = false;
        host_ = new host::Host(options);
        recorder_ = std::make_shared<HookRecorder>();
        host_->add_frame_observer(recorder_);
        result_ = host::run_scenario(*scenario, *host_);
    }
    static void TearDownTestSuite()
    {
        delete host_;
        recorder_.reset();
    }
    static const host::Timeline& timeline() { return host_->timeline(); }
    // The first "flight" event saying `what`, or null.
    static const host::TimelineEvent* flight(const std::string& what)
    {
        for (const auto* e : timeline().of_kind("flight"))
            if (e->data.value("what", "") == what) return e;
        return nullptr;
    }

    static host::Host* host_;
    static std::shared_ptr<HookRecorder> recorder_;
    static host::RunResult result_;
};
host::Host* DefaultStory::host_ = nullptr;
std::shared_ptr<HookRecorder> DefaultStory::recorder_;
host::RunResult DefaultStory::result_;

TEST_F(DefaultStory, TheRadioKnobsTuneTheShipAndTheOfficerCallsTheApproachInOrder)
{
    ASSERT_TRUE(result_.ok) << result_.error;
    // The clicks: the radio raises the NAV1 set key with each channel's BCD frequency.
    std::vector<double> tunings;
    for (const auto* e : timeline().of_kind("key"))
        if (e->data.value("name", "") == "NAV1_RADIO_SET" && e->data.value("source", "") == "module")
            tunings.push_back(e->data.value("value", 0.0));
    EXPECT_EQ(tunings, (std::vector<double>{0x11150, 0x11250, 0x11260, 0x11270}));  // 52X 72X 73X 74X
    const auto texts = timeline().of_kind("text");
    long locked = -1;
    for (size_t i = 0; i < texts.size(); ++i)
        if (texts[i]->data.value("text", "") == "TACAN tuned on CVN-68 Nimitz -Lock on-") locked = static_cast<long>(i);
    ASSERT_GE(locked, 0);

    // The officer's checks that spoke, with the approach distance when each was raised.
    struct Call {
        std::string id, text;
        double range;
    };
    std::vector<Call> made;
    double range = NAN;
    const auto& events = timeline().events();
    for (size_t i = 0; i < events.size(); ++i) {
        const auto& e = events[i];
        if (e.kind == "named" && e.data.value("name", "") == "ILS Slant Range") range = e.data.value("value", NAN);
        if (e.kind != "key" || e.data.value("source", "") != "module") continue;
        const std::string id = e.data.value("id", "");
        if (id < "0x11104" || id > "0x11107") continue;
        for (size_t j = i + 1; j < events.size() && events[j].frame == e.frame; ++j)
            if (events[j].kind == "text") {
                made.push_back({id, events[j].data.value("text", ""), range});
                break;
            }
    }
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"0x11104", "LSO: Call the ball"},
        {"0x11105", "LSO: You're high"},
        {"0x11106", "LSO: Check your line-up"},
        {"0x11107", "LSO: Three wire, nice"},
    };
    ASSERT_EQ(made.size(), expected.size());
    const double distance[] = {0.75, 0.60, 0.40, 0.05};  // the checks' distances; the wire on deck
    for (size_t i = 0; i < made.size(); ++i) {
        EXPECT_EQ(made[i].id, expected[i].first) << i;
        EXPECT_EQ(made[i].text, expected[i].second) << i;
        EXPECT_LE(made[i].range, distance[i]) << i;
        EXPECT_GT(made[i].range, distance[i] - 0.05) << i;
    }
    // The second line-up check found too much angle of attack: the power light.
    std::vector<double> power;
    for (const auto* e : timeline().of_kind("lvar"))
        if (e->data.value("name", "") == "PowerLight") power.push_back(e->data.value("value", 0.0));
    EXPECT_EQ(power, (std::vector<double>{1, 0}));
}

TEST_F(DefaultStory, TheWireCaughtIsTheOneTheHookTipCrossedAtThePendantHeight)
{
    ASSERT_TRUE(result_.ok) << result_.error;
    const auto* wire = flight("wire");
    ASSERT_TRUE(wire);
    const int caught = static_cast<int>(wire->data.value("wire", 0.0));
    EXPECT_EQ(flight("bolter"), nullptr);

    std::string error;
    const auto deck = host::load_deck(source_path("scenarios/decks/nimitz.xml"), &error);
    ASSERT_TRUE(deck) << error;
    // The tip went over each wire between two frames: the wire caught is the
    // first one it crossed at most the pendant height above the deck, and it
    // crossed that one in the frame of the catch. The height at a crossing:
    // the tip's height in the frame before, less its sink to the wire (the
    // frame of the catch already stands on the deck).
    int crossed_low = 0;
    int64_t crossing_frame = -1;
    for (int number = 1; number <= 4; ++number) {
        const double distance = deck->wires[number - 1];
        for (size_t i = 1; i < recorder_->samples.size(); ++i) {
            const auto &a = recorder_->samples[i - 1], &b = recorder_->samples[i];
            if (!a.hook_down || !(a.tip_s < distance && b.tip_s >= distance)) continue;
            const double h = a.tip_h + a.climb_mps / 30.0 * (distance - a.tip_s) / (b.tip_s - a.tip_s);
            if (h <= deck->pendant_height_m + 0.02) {
                crossed_low = number;
                crossing_frame = b.frame;
            }
            break;
        }
        if (crossed_low) break;
    }
    EXPECT_EQ(caught, crossed_low);
    EXPECT_EQ(crossing_frame, wire->frame);
    const auto* arrested = flight("arrested");
    ASSERT_TRUE(arrested);
    EXPECT_NEAR(arrested->data.value("runout_m", 0.0), deck->runout_m, 2.0);
}

TEST_F(DefaultStory, TheCatapultLaunchEndsAirborneAtTheEndSpeedOfTheLaunchModel)
{
    ASSERT_TRUE(result_.ok) << result_.error;
    // The stroke starts with Catapult_State 2 and ends with 0.
    double stroke_start = NAN, stroke_end = NAN;
    for (const auto* e : timeline().of_kind("lvar")) {
        if (e->data.value("name", "") != "Catapult_State") continue;
        const double v = e->data.value("value", -1.0);
        if (v == 2.0 && std::isnan(stroke_start)) stroke_start = e->t;
        if (v == 0.0 && !std::isnan(stroke_start) && std::isnan(stroke_end)) stroke_end = e->t;
    }
    ASSERT_FALSE(std::isnan(stroke_end));
    const HookRecorder::Sample* start = nullptr;
    for (const auto& s : recorder_->samples)
        if (s.frame == std::llround(stroke_start * 30.0)) start = &s;
    ASSERT_TRUE(start);
    // 1.5 x stall speed x sqrt(weight fraction) + the 15 kt margin, less the
    // wind along the aircraft at the start of the stroke, in m/s.
    const double launch_kt = 1.5 * 120.0 * std::sqrt(15000.0 / 23000.0) + 15.0;
    const double end_speed = (launch_kt - start->wind_z_mps / 0.514444) * 0.514444;
    const double acceleration =
        ((end_speed - start->ground_mps) * start->ground_mps + 0.5 * std::pow(end_speed - start->ground_mps, 2)) / 90.0;

    double last_command = NAN;
    for (const auto* e : timeline().of_kind("simconnect"))
        if (e->data.value("call", "") == "SimConnect_SetDataOnSimObject" && e->data["args"].value("define", -1) == 3)
            last_command = e->data["args"]["values"][0].get<double>();
    // The stroke ends on the first update whose target speed reaches the end speed.
    EXPECT_LT(last_command, end_speed);
    EXPECT_GT(last_command, end_speed - acceleration / 30.0 - 0.05);
    EXPECT_NEAR(stroke_end - stroke_start, (end_speed - start->ground_mps) / acceleration, 2.0 / 30.0);

    const auto* airborne = flight("airborne");
    ASSERT_TRUE(airborne);
    EXPECT_GT(airborne->t, stroke_start);
    EXPECT_NEAR(airborne->data.value("ground_speed_mps", 0.0), last_command, 0.01);
    EXPECT_EQ(user_var(*host_, "SIM ON GROUND"), 0.0);
    EXPECT_EQ(user_var(*host_, "HOLDBACK BAR INSTALLED"), 0.0);  // parted by the stroke
    EXPECT_GT(user_var(*host_, "VERTICAL SPEED"), 0.0);
}

TEST_F(DefaultStory, TheStoryTellsTheRunAndTheBenchPrintsTheSameStory)
{
    ASSERT_TRUE(result_.ok) << result_.error;
    const std::string story = host::format_story(host::story_lines(timeline()));
    // In this order, each after the one before.
    const char* const moments[] = {
        "TACAN radio: 4 knob clicks, channel 74X: NAV1 tuned to 112.70 MHz",
        "carrier tuned and locked: \"TACAN tuned on CVN-68 Nimitz -Lock on-\"",
        "FLOLS valid",
        "officer, 0.75 nm from the deck: call the ball: \"LSO: Call the ball\"",
        "officer, 0.60 nm from the deck: altitude check 1: \"LSO: You're high\"",
        "officer, 0.55 nm from the deck: line-up check 1, no call",
        "power light on",
        "officer, 0.40 nm from the deck: line-up check 2: \"LSO: Check your line-up\"",
        "touchdown",
        "wire 3 caught",
        "wire report, wire 3: \"LSO: Three wire, nice\"",
        "stopped: 100 m of run-out",
        "on catapult 1",
        "\"OK for Launch!\"",
        "catapult fired",
        "end of the stroke: end speed 1",
        "airborne off the deck",
    };
    size_t at = 0;
    for (const char* moment : moments) {
        const size_t found = story.find(moment, at);
        ASSERT_NE(found, std::string::npos) << moment << "\n" << story;
        at = found;
    }
    EXPECT_EQ(story.find("bolter"), std::string::npos);

    // The bench streams the timeline and tells the story from its small copy:
    // the same lines, and the story at the end of what it prints.
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("story_run_" + std::to_string(getpid()));
    const std::string bench = (std::filesystem::path(CARRIER_MODULE_PATH).parent_path() / "carrier-bench").string();
    const std::string out = (dir / "stdout.txt").string();
    std::filesystem::create_directories(dir);
    const int status = std::system((bench + " run " + source_path("scenarios/default.xml") + " --quiet --out " +
                                    dir.string() + " >" + out + " 2>&1")
                                       .c_str());
    auto read = [](const std::filesystem::path& path) {
        std::ifstream in(path);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    };
    const std::string printed = read(out);
    EXPECT_EQ(WEXITSTATUS(status), 0) << printed;
    // The bench adds the line of its own grading of the pass, at the trap,
    // and ends the story with the table of the scenario's expectations.
    std::string told = read(dir / "story.txt");
    const size_t pass_line = told.find("    98.80  pass 1: ");
    ASSERT_NE(pass_line, std::string::npos) << told;
    EXPECT_NE(told.find(", 3-wire, groove ", pass_line), std::string::npos) << told;
    EXPECT_NE(printed.find(told), std::string::npos) << printed;
    EXPECT_GT(printed.find("Debrief -> "), printed.find(told)) << printed;
    told.erase(pass_line, told.find('\n', pass_line) + 1 - pass_line);
    EXPECT_EQ(told.substr(0, story.size()), story);
    EXPECT_EQ(told.substr(story.size()).rfind("Expectations:\n", 0), 0u) << told;
    EXPECT_NE(told.find("  10 of 10 met\n"), std::string::npos) << told;
    EXPECT_EQ(printed.find("What happened"), std::string::npos) << "the whole summary only with --verbose";
    for (const char* file : {"timeline.jsonl", "summary.txt", "audio.wav", "approach.csv", "approach.png",
                             "tuned-003s-Radio_TACAN_ARN52B.png", "left-086s-Aircraft_Carrier_Indicator.png"})
        EXPECT_TRUE(std::filesystem::exists(dir / file)) << file;
    std::filesystem::remove_all(dir);
}

}  // namespace
