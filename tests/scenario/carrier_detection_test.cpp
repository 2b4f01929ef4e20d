// Carrier selection on TACAN tuning, the ship's data stream, the helicopter
// and FLOLS objects and the published approach picture, on the real module.
#include <cmath>

#include "scenario_fixture.h"

using namespace scenario_test;

namespace {

constexpr double EARTH_M = 6371000.0;

// Great-circle distance (m) and initial course (deg) between two points in degrees.
void distance_course(double lat1, double lon1, double lat2, double lon2, double* distance_m, double* course_deg)
{
    const double p1 = lat1 * M_PI / 180, p2 = lat2 * M_PI / 180, dl = (lon2 - lon1) * M_PI / 180;
    const double a = std::sin((p2 - p1) / 2) * std::sin((p2 - p1) / 2) +
                     std::cos(p1) * std::cos(p2) * std::sin(dl / 2) * std::sin(dl / 2);
    *distance_m = 2 * EARTH_M * std::asin(std::sqrt(a));
    double c = std::atan2(std::sin(dl) * std::cos(p2), std::cos(p1) * std::sin(p2) - std::sin(p1) * std::cos(p2) * std::cos(dl));
    *course_deg = std::fmod(c * 180 / M_PI + 360.0, 360.0);
}

std::vector<const host::TimelineEvent*> between(const std::vector<const host::TimelineEvent*>& events, double from,
                                                double to)
{
    std::vector<const host::TimelineEvent*> out;
    for (const auto* e : events)
        if (e->t >= from && e->t < to) out.push_back(e);
    return out;
}

// Two ships of the same title (the second one nearer the aircraft), the
// aircraft 10 nm west of them, and the tunings of one session.
const char* const SESSION = R"(
<world>
  <container title="SH-60 Seahawk Plane Guard"/>
  <container title="FLOLS Ashore Fresnel Lens"/>
  <boat ref="far" title="Carrier Nimitz CVN-68" latitude="36.90" longitude="-75.60" heading="90" speed="20"/>
  <boat ref="near" title="Carrier Nimitz CVN-68" latitude="36.75" longitude="-75.80" heading="90" speed="20"/>
  <aircraft latitude="36.75" longitude="-76.00" altitude="2000" heading="90"/>
</world>
<panel><gauge name="Tacan_Navigation" parameters="NAV1"/></panel>
<run rate="10" end="18">
  <event time="0.5"><key event="NAV1_RADIO_SET" value="0x11270"/></event>
  <event time="3"><boat action="move" ref="near" yaw_rate="1.0"/></event>
  <event time="5"><boat action="move" ref="near" yaw_rate="0"/></event>
  <event time="7"><key event="NAV1_RADIO_SET" value="0x10980"/></event>
  <event time="9"><key event="NAV1_RADIO_SET" value="0x11000"/></event>
  <event time="11"><key event="NAV1_RADIO_SET" value="0x11430"/></event>
  <event time="13"><key event="NAV1_RADIO_SET" value="0x11270"/></event>
  <event time="15"><boat action="remove" ref="far"/></event>
  <event time="16"><boat action="remove" ref="near"/></event>
</run>)";

class CarrierSession : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        root = new TempRoot;
        run = new PathRun(root->scenario(SESSION), [](host::HostOptions& o) {
            o.record_every_named_set = true;
            o.record_frame_messages = true;
        });
    }
    static void TearDownTestSuite()
    {
        delete run;
        delete root;
    }
    static TempRoot* root;
    static PathRun* run;

    const host::Timeline& tl() const { return run->timeline(); }
    std::vector<const host::TimelineEvent*> texts() const { return tl().of_kind("text"); }
};
TempRoot* CarrierSession::root = nullptr;
PathRun* CarrierSession::run = nullptr;

}  // namespace

TEST_F(CarrierSession, RunsToTheEnd)
{
    ASSERT_TRUE(run->result.ok) << run->error << run->result.error;
}

TEST_F(CarrierSession, TuningASelectsTheNearestOfTwoSameTitledShipsAndLocksOn)
{
    // One tuning command per frequency change, raised by the navigation gauge.
    std::vector<double> tunes;
    for (const auto* e : tl().of_kind("key"))
        if (e->data["id"] == "0x11101") tunes.push_back(e->t);
    ASSERT_EQ(tunes.size(), 6u);  // the first frame (default frequency), then five tunings
    EXPECT_EQ(between(tl().of_kind("key"), 0.5, 3.0).size(), 2u);  // the radio key and one tuning

    // The nearer ship is object 3 (entry 2); its data stream starts on the tuning.
    const auto requests = between(calls(tl(), "SimConnect_RequestDataOnSimObject"), 0.5, 1.0);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0]->data["args"]["request"], 2);
    EXPECT_EQ(requests[0]->data["args"]["object"], 3);

    const auto shown = between(texts(), 0.5, 3.0);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0]->data["text"], "TACAN tuned on CVN-68 Nimitz -Lock on-");
    EXPECT_EQ(shown[0]->data["color"], "yellow");
    EXPECT_FLOAT_EQ(shown[0]->data["seconds"].get<float>(), 5.0f);
    // Shown on the first user-data frame that runs the geometry: two frames after the tuning.
    EXPECT_NEAR(shown[0]->t - tunes[1], 0.2, 1e-9);
}

TEST_F(CarrierSession, TheTuningUpdatePublishesNothingAndTheNextPublishesAllTwentyOne)
{
    long tune = -1;
    const auto& events = tl().events();
    for (size_t i = 0; i < events.size(); ++i)
        if (events[i].kind == "key" && events[i].data["id"] == "0x11101" && events[i].t > 0.5) {
            tune = static_cast<long>(i);
            break;
        }
    ASSERT_GE(tune, 0);
    const int64_t frame = events[tune].frame;
    std::vector<std::string> next;
    for (const auto& e : events) {
        if (e.kind != "named") continue;
        EXPECT_NE(e.frame, frame) << "published in the tuning update: " << e.data["name"];
        if (e.frame == frame + 1) next.push_back(e.data["name"]);
    }
    const std::vector<std::string> expected = {
        "TCN Valid",       "Carrier_Is_Found", "CarrierType",       "BRC",          "RWY_True_Heading",
        "RWY_Heading",     "GS Error",         "LOC Error",         "ILS_LOC_VALID", "ILS_GS_VALID",
        "Meatball_Position", "ILS Radial",     "TCN Radial",        "TCN CDI",      "TCN_TOFROM",
        "ILS True Radial", "TCN True Radial",  "ILS Slant Range",   "TCN Slant Range", "ILS Lat",
        "ILS Lon"};
    EXPECT_EQ(next, expected);
}

TEST_F(CarrierSession, TheHelicopterIsPlacedBesideTheShipReleasedAndKeptAtDeckSpeed)
{
    const auto creates = calls(tl(), "SimConnect_AICreateSimulatedObject");
    std::vector<const host::TimelineEvent*> helos;
    for (const auto* c : creates)
        if (c->data["args"]["title"] == "SH-60 Seahawk Plane Guard") helos.push_back(c);
    ASSERT_GE(helos.size(), 2u);
    const auto& first = helos[0]->data["args"];
    EXPECT_EQ(first["request"], 1);
    EXPECT_EQ(first["on_ground"], 1);
    EXPECT_EQ(first["airspeed"], 10);  // 20 kt = 10.29 m/s, truncated
    EXPECT_NEAR(first["heading"].get<double>(), 90.0, 1e-6);

    // The ship's position in the last ship-data message before the creation.
    double ship_lat = 0, ship_lon = 0;
    for (const auto* d : tl().of_kind("dispatch"))
        if (d->t <= helos[0]->t && d->data.value("request", -1) == 2 && d->data.contains("data")) {
            ship_lat = d->data["data"][2].get<double>() * 180 / M_PI;
            ship_lon = d->data["data"][3].get<double>() * 180 / M_PI;
        }
    ASSERT_NE(ship_lat, 0.0);
    double distance = 0, course = 0;
    distance_course(ship_lat, ship_lon, first["latitude"], first["longitude"], &distance, &course);
    EXPECT_NEAR(distance, 400.0, 0.5);  // Helo_Distance
    EXPECT_NEAR(course, 180.0, 0.05);   // ship heading 90 + Helo_Bearing 90

    // Released once its id is assigned, then driven at the ship's speed.
    const auto releases = calls(tl(), "SimConnect_AIReleaseControl");
    ASSERT_FALSE(releases.empty());
    EXPECT_EQ(releases[0]->data["args"]["request"], 1);
    const auto speeds = between(calls(tl(), "SimConnect_SetDataOnSimObject"), 0.0, 3.0);
    ASSERT_FALSE(speeds.empty());
    EXPECT_EQ(speeds[0]->data["args"]["define"], 5);
    EXPECT_EQ(speeds[0]->data["args"]["object"], releases[0]->data["args"]["object"]);
    EXPECT_NEAR(speeds.back()->data["args"]["values"][0].get<double>(), 20 * 1852.0 / 3600.0, 1e-6);
}

TEST_F(CarrierSession, TheHelicopterLeavesWhileTheShipTurnsAndComesBackWhenItRunsStraight)
{
    const auto removes = calls(tl(), "SimConnect_AIRemoveObject");
    const auto during_turn = between(removes, 3.0, 5.0);
    ASSERT_EQ(during_turn.size(), 1u);
    EXPECT_EQ(during_turn[0]->data["args"]["request"], 1);
    EXPECT_EQ(during_turn[0]->data["result"], 0);
    const auto creates = calls(tl(), "SimConnect_AICreateSimulatedObject");
    EXPECT_TRUE(between(creates, during_turn[0]->t, 5.0).empty());
    const auto again = between(creates, 5.0, 7.0);
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0]->data["args"]["title"], "SH-60 Seahawk Plane Guard");
}

TEST_F(CarrierSession, AShipNotAmongTheBoatsAndAFrequencyInNoEntryAreReportedInRed)
{
    const auto missing = between(texts(), 7.0, 9.0);
    ASSERT_EQ(missing.size(), 1u);
    EXPECT_EQ(missing[0]->data["text"], "TACAN tuned on CVN-71 Theodore Roosevelt");
    EXPECT_EQ(missing[0]->data["color"], "red");
    EXPECT_FLOAT_EQ(missing[0]->data["seconds"].get<float>(), 5.0f);
    // Retuning took the helicopter away.
    EXPECT_EQ(between(calls(tl(), "SimConnect_AIRemoveObject"), 7.0, 7.2).size(), 1u);

    const auto nothing = between(texts(), 9.0, 11.0);
    ASSERT_EQ(nothing.size(), 1u);
    EXPECT_EQ(nothing[0]->data["text"], " ");
    EXPECT_EQ(nothing[0]->data["color"], "red");
    EXPECT_FLOAT_EQ(nothing[0]->data["seconds"].get<float>(), 1.0f);

    // Published just before the 110.00 tuning: cleared results, kept radials.
    std::map<std::string, double> at;
    for (const auto* e : tl().of_kind("named"))
        if (e->t < 11.0) at[e->data["name"]] = e->data["value"];
    for (const char* cleared : {"TCN Valid", "Carrier_Is_Found", "BRC", "GS Error", "LOC Error", "TCN Slant Range",
                                "ILS Slant Range", "TCN CDI", "TCN_TOFROM", "ILS True Radial", "RWY_True_Heading"})
        EXPECT_EQ(at[cleared], 0.0) << cleared;
    EXPECT_NE(at["ILS Radial"], 0.0);
    EXPECT_NE(at["TCN Radial"], 0.0);
}

TEST_F(CarrierSession, AFixedSiteGetsItsFlolsObjectWhichTheNextTuningRemoves)
{
    const auto creates = between(calls(tl(), "SimConnect_AICreateSimulatedObject"), 11.0, 13.0);
    ASSERT_EQ(creates.size(), 1u);
    const auto& a = creates[0]->data["args"];
    EXPECT_EQ(a["title"], "FLOLS Ashore Fresnel Lens");
    EXPECT_EQ(a["request"], 0);
    EXPECT_DOUBLE_EQ(a["latitude"].get<double>(), 36.69556);
    EXPECT_DOUBLE_EQ(a["longitude"].get<double>(), -76.13569);
    EXPECT_NEAR(a["altitude"].get<double>(), 16.0, 1e-6);
    EXPECT_NEAR(a["heading"].get<double>(), 40.0, 1e-9);

    long assigned = -1;
    for (const auto* d : between(tl().of_kind("dispatch"), 11.0, 13.0))
        if (d->data["id"] == 12 && d->data["request"] == 0) assigned = d->data["object"];
    ASSERT_GT(assigned, 0);
    const auto removes = between(calls(tl(), "SimConnect_AIRemoveObject"), 13.0, 14.0);
    ASSERT_EQ(removes.size(), 1u);
    EXPECT_EQ(removes[0]->data["args"]["object"], assigned);
    EXPECT_EQ(removes[0]->data["args"]["request"], 0);
}

TEST_F(CarrierSession, LosingTheTrackedShipClearsTheCarrierAndTheSolutionAndNoOtherRemovalDoes)
{
    std::map<std::string, double> before_far, before_near, after_near;
    for (const auto* e : tl().of_kind("named")) {
        const double t = e->t;
        auto& target = t < 15.0 ? before_far : (t < 16.0 ? before_near : after_near);
        target[e->data["name"]] = e->data["value"];
    }
    // The other ship went at 15 s: still tracked.
    EXPECT_EQ(before_near["Carrier_Is_Found"], 1.0);
    EXPECT_EQ(before_near["TCN Valid"], 1.0);
    EXPECT_GT(before_near["TCN Slant Range"], 0.0);
    // The tracked ship went at 16 s: everything cleared, radials kept.
    EXPECT_EQ(after_near["Carrier_Is_Found"], 0.0);
    for (const char* cleared : {"TCN Valid", "TCN Slant Range", "ILS Slant Range", "GS Error", "LOC Error", "BRC",
                                "TCN_TOFROM", "ILS_GS_VALID", "ILS_LOC_VALID"})
        EXPECT_EQ(after_near[cleared], 0.0) << cleared;
    EXPECT_NE(after_near["TCN Radial"], 0.0);
    // And the helicopter went with it.
    EXPECT_EQ(between(calls(tl(), "SimConnect_AIRemoveObject"), 16.0, 16.2).size(), 1u);
}

TEST(CarrierFaults, RefusedHelicopterCreationAndRemovalAreTriedAgainOnTheNextShipFrame)
{
    TempRoot root;
    PathRun run(root.scenario(R"(
<world>
  <container title="SH-60 Seahawk Plane Guard"/>
  <boat title="Carrier Nimitz CVN-68" latitude="36.75" longitude="-75.80" heading="90" speed="20"/>
  <aircraft latitude="36.75" longitude="-76.00" altitude="2000" heading="90"/>
</world>
<panel><gauge name="Tacan_Navigation"/></panel>
<run rate="10" end="5">
  <event time="0.5"><fail call="SimConnect_AICreateSimulatedObject" count="1"/>
                    <key event="NAV1_RADIO_SET" value="0x11270"/></event>
  <event time="2"><fail call="SimConnect_AIRemoveObject" count="2"/>
                  <boat action="move" title="Carrier Nimitz CVN-68" yaw_rate="2"/></event>
</run>)"));
    ASSERT_TRUE(run.result.ok) << run.error << run.result.error;

    const auto creates = calls(run.timeline(), "SimConnect_AICreateSimulatedObject");
    ASSERT_GE(creates.size(), 2u);
    EXPECT_NE(creates[0]->data["result"], 0);
    EXPECT_EQ(creates[1]->data["result"], 0);
    EXPECT_NEAR(creates[1]->t - creates[0]->t, 0.1, 1e-9);  // the very next ship frame
    EXPECT_EQ(creates.size(), 2u);                           // and no more once it exists

    const auto removes = calls(run.timeline(), "SimConnect_AIRemoveObject");
    ASSERT_EQ(removes.size(), 3u);  // refused twice, then done; not tried again
    EXPECT_NE(removes[0]->data["result"], 0);
    EXPECT_NE(removes[1]->data["result"], 0);
    EXPECT_EQ(removes[2]->data["result"], 0);
    EXPECT_NEAR(removes[2]->t - removes[0]->t, 0.2, 1e-9);
    for (const auto* r : removes) EXPECT_EQ(r->data["args"]["object"], removes[2]->data["args"]["object"]);
}
