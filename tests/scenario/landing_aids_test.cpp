// The landing aids on the real module in the bench: the officer's calls with
// their sounds and texts, re-arming and skipped windows, the wave-off lights,
// the wire report and L:FlightDeck_State, an absent sound library, and a
// carrier whose language has no list.
#include <fstream>
#include <sstream>

#include "scenario_fixture.h"

using namespace scenario_test;

namespace {

// Values of one panel variable as written, in order.
std::vector<double> lvar_values(const host::Timeline& tl, const std::string& name)
{
    std::vector<double> out;
    for (const auto* e : tl.of_kind("lvar"))
        if (e->data.value("name", "") == name) out.push_back(e->data.value("value", 0.0));
    return out;
}

// Command events raised by the module with id `id`, as "value@frame".
std::vector<std::string> raised(const host::Timeline& tl, const std::string& id)
{
    std::vector<std::string> out;
    for (const auto* e : tl.of_kind("key"))
        if (e->data.value("id", "") == id)
            out.push_back(std::to_string(e->data.value("value", 0)) + "@" + std::to_string(e->frame));
    return out;
}

struct Call {
    double t;
    std::string text, color;
    double seconds;
    std::string sound;  // file played in the same frame, "" none
};

// Every red text with the file of the sound played in the same frame.
std::vector<Call> calls(const host::Timeline& tl)
{
    std::vector<Call> out;
    const auto sounds = tl.of_kind("sound");
    for (const auto* e : tl.of_kind("text")) {
        if (e->data.value("color", "") != "red" || e->data.value("text", "") == " ") continue;
        Call c{e->t, e->data.value("text", ""), "red", e->data.value("seconds", 0.0), ""};
        for (const auto* s : sounds)
            if (s->frame == e->frame && s->data.value("ordinal", 0) == 33) c.sound = s->data.value("path", "");
        out.push_back(c);
    }
    return out;
}

size_t ordinal_count(const host::Timeline& tl, int ordinal)
{
    size_t n = 0;
    for (const auto* e : tl.of_kind("sound")) n += e->data.value("ordinal", 0) == ordinal;
    return n;
}

std::string read_file(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The Kitty Hawk at rest, heading 045, landing line 035 (deck angled 10
// degrees); the aircraft `distance` nm out on the line at 120 kt on the
// 3.5 degree slope (`low_ft` below it), the TACAN tuned to 116.30 at 0.5 s.
std::string kitty_hawk_approach(double distance_nm, double low_ft, const std::string& events, double end_s,
                                const std::string& first_tuning = "", const std::string& gauge_parameters = "9.5")
{
    const double height_ft = distance_nm * 6076.1 * std::tan(3.5 * M_PI / 180) + 61 - low_ft;
    std::ostringstream s;
    s << R"(<world>
  <boat title="Carrier Kitty Hawk CV-63" latitude="36.50" longitude="-75.20" heading="45" speed="0"/>
  <boat title="Carrier Nimitz CVN-68" latitude="36.80" longitude="-75.40" heading="90" speed="0"/>
  <set var="STATIC CG TO GROUND" unit="meters" value="2.0"/>
  <aircraft relative_to="Carrier Kitty Hawk CV-63" bearing="170" distance=")"
      << distance_nm << R"(" altitude=")" << height_ft
      << R"(" heading="35" speed="120" vertical_speed="-743" on_ground="0"/>
</world>
<panel><gauge name="Tacan_Navigation" parameters="NAV1"/><gauge name="Approach_Ctrl" parameters=")"
      << gauge_parameters << R"("/></panel>
<run rate="10" end=")" << end_s << R"(">)" << first_tuning << R"(
  <event time="0.5"><key event="NAV1_RADIO_SET" value="0x11630"/></event>
)" << events << "</run>";
    return s.str();
}

class ScriptedApproach : public ::testing::Test {
protected:
    static void SetUpTestSuite() { run = new ScenarioRun("scenarios/scripted_approach.xml"); }
    static void TearDownTestSuite() { delete run; }
    static ScenarioRun* run;
};
ScenarioRun* ScriptedApproach::run = nullptr;

}  // namespace

TEST_F(ScriptedApproach, TheOfficerCallsEachCheckOnceWithItsSoundAndItsRedText)
{
    ASSERT_TRUE(run->result.ok) << run->error << run->result.error;
    const auto& tl = run->timeline();
    const std::string dir = "Gauges/Sounds/English/";
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"LSO: Call the ball", "callball.wav"},    {"LSO: You're high", "toohigh.wav"},
        {"LSO: Check your line-up", "lineup.wav"}, {"LSO: You're low, power!", "toolow.wav"},
        {"LSO: Three wire, nice", "wire3.wav"},
    };
    const auto made = calls(tl);
    ASSERT_EQ(made.size(), expected.size());
    for (size_t i = 0; i < made.size(); ++i) {
        EXPECT_EQ(made[i].text, expected[i].first) << i;
        EXPECT_EQ(made[i].sound, dir + expected[i].second) << i;
        EXPECT_EQ(made[i].seconds, i + 1 == made.size() ? 5.0 : 3.0) << i;
    }
    EXPECT_EQ(raised(tl, "0x11104").size(), 1u);
    const auto altitude = raised(tl, "0x11105");
    ASSERT_EQ(altitude.size(), 3u);
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(altitude[i].substr(0, 2), std::to_string(i + 1) + "@");
    EXPECT_EQ(raised(tl, "0x11107"), std::vector<std::string>{"3@7170"});  // the trap at 239 s
    EXPECT_EQ(lvar_values(tl, "FlightDeck_State"), (std::vector<double>{2, 1, 0}));
    EXPECT_EQ(lvar_values(tl, "FLOLS_is_valid"), (std::vector<double>{1, 0}));
    EXPECT_EQ(lvar_values(tl, "PowerLight"), (std::vector<double>{1, 0}));
    // Both tunings loaded the nine English sounds as one batch each.
    EXPECT_EQ(ordinal_count(tl, 29), 2u);
    EXPECT_EQ(ordinal_count(tl, 30), 18u);
}

TEST(LandingAids, WithoutTheSoundLibraryTheCallsAreSilentAndNothingElseChanges)
{
    TempRoot root;
    std::string text = read_file(source_path("scenarios/scripted_approach.xml"));
    const std::string from = "<simulator root=\"simroot\" local_time=\"50400\"/>";
    ASSERT_NE(text.find(from), std::string::npos);
    text.replace(text.find(from), from.size(), "<simulator root=\"simroot\" local_time=\"50400\" sound_library=\"0\"/>");
    const std::string path = (root.dir / "silent.xml").string();
    std::ofstream(path) << text;
    PathRun silent(path);
    ScenarioRun loud("scenarios/scripted_approach.xml");
    ASSERT_TRUE(silent.result.ok) << silent.error << silent.result.error;
    EXPECT_TRUE(silent.timeline().of_kind("sound").empty());
    EXPECT_FALSE(loud.timeline().of_kind("sound").empty());
    for (const char* kind : {"text", "key", "lvar", "named"}) {
        const auto a = silent.timeline().of_kind(kind), b = loud.timeline().of_kind(kind);
        ASSERT_EQ(a.size(), b.size()) << kind;
        for (size_t i = 0; i < a.size(); ++i) {
            EXPECT_EQ(a[i]->frame, b[i]->frame) << kind << " " << i;
            EXPECT_EQ(a[i]->data, b[i]->data) << kind << " " << i;
        }
    }
}

TEST(LandingAids, ACheckReArmsOnlyBeyondItsDistanceAndAJumpedWindowGivesNoCall)
{
    TempRoot root;
    // Two checks at equal distances; the aircraft is sent back to 0.95 nm, then
    // to 0.78 nm and, one frame later, to 0.70 nm, over the 0.75 nm window.
    root.patch("ZEB_Parameters.xml", "Check_LOC_1=\"0.55\"", "Check_LOC_1=\"0.6\"");
    const std::string back = R"(<aircraft relative_to="Carrier Kitty Hawk CV-63" bearing="170" distance=")";
    PathRun r(root.scenario(kitty_hawk_approach(1.2, 0,
        "  <event time=\"22\">" + back + "0.95\" altitude=\"410\"/></event>\n"
        "  <event frame=\"400\">" + back + "0.78\" altitude=\"350\"/></event>\n"
        "  <event frame=\"401\">" + back + "0.70\" altitude=\"320\"/></event>\n", 45)));
    ASSERT_TRUE(r.result.ok) << r.error << r.result.error;
    const auto& tl = r.timeline();
    const auto balls = raised(tl, "0x11104");
    ASSERT_EQ(balls.size(), 2u) << "first pass and after the jump back, not after the jumped window";
    EXPECT_GT(std::stoi(balls[1].substr(2)), 220);
    EXPECT_LT(std::stoi(balls[1].substr(2)), 400);
    // The same update raises the altitude check and then the line-up check at 0.6 nm.
    const auto& events = tl.events();
    long altitude = -1, lineup = -1;
    for (size_t i = 0; i < events.size() && lineup < 0; ++i) {
        if (events[i].kind != "key") continue;
        if (events[i].data.value("id", "") == "0x11105" && altitude < 0) altitude = static_cast<long>(i);
        if (events[i].data.value("id", "") == "0x11106") lineup = static_cast<long>(i);
    }
    ASSERT_GE(altitude, 0);
    ASSERT_GT(lineup, altitude);
    EXPECT_EQ(events[static_cast<size_t>(altitude)].frame, events[static_cast<size_t>(lineup)].frame);
    EXPECT_EQ(events[static_cast<size_t>(lineup)].data.value("value", 0), 1);
}

TEST(LandingAids, TheWaveOffLightsComeOnOnceAndGoOutAfterTheirTimeWithTheCallOnlyWhileWatched)
{
    for (bool gear_up : {false, true}) {
        SCOPED_TRACE(gear_up);
        TempRoot root;
        // 60 ft low on the slope: at 0.3 nm about 1.9 degrees below it.
        const std::string gear =
            gear_up ? "  <event time=\"0.2\"><set var=\"GEAR RIGHT POSITION\" unit=\"percent\" value=\"0\"/></event>\n"
                    : "";
        PathRun r(root.scenario(kitty_hawk_approach(0.5, 60, gear, 12)));
        ASSERT_TRUE(r.result.ok) << r.error << r.result.error;
        const auto& tl = r.timeline();
        ASSERT_EQ(raised(tl, "0x11102").size(), 1u);
        EXPECT_EQ(lvar_values(tl, "WaveOffLight"), (std::vector<double>{1, 0}));
        std::vector<double> times;
        for (const auto* e : tl.of_kind("lvar"))
            if (e->data.value("name", "") == "WaveOffLight") times.push_back(e->t);
        ASSERT_EQ(times.size(), 2u);
        EXPECT_GT(times[1] - times[0], 4.0);  // WO_Duration 4: the first pass after more than 4 s
        EXPECT_LE(times[1] - times[0], 4.0 + 0.1 + 1e-9);
        size_t waveoffs = 0;
        for (const Call& c : calls(tl)) {
            if (c.text != "LSO: Wave off, wave off!") continue;
            ++waveoffs;
            EXPECT_EQ(c.sound, "Gauges/Sounds/English/waveoff.wav");
            EXPECT_EQ(c.seconds, 3.0);
        }
        EXPECT_EQ(waveoffs, gear_up ? 0u : 1u);
    }
}

TEST(LandingAids, TheWireIsReportedOnAShipWithTheOfficerOnAndTheDeckStateFollows)
{
    struct Variant {
        const char* what;
        std::string extra;
        bool report;
        std::vector<double> states;
    } variants[] = {
        {"ship", "", true, {2, 1, 2, 0}},
        {"officer off", "  <event time=\"0.3\"><lvar name=\"LSO_is_Off_VC\" unit=\"bool\" value=\"1\"/></event>\n",
         false, {2, 0}},
        {"ashore", "  <event time=\"0.8\"><key event=\"NAV1_RADIO_SET\" value=\"0x11430\"/></event>\n", false, {2, 0}},
    };
    const std::string deck =
        "  <event time=\"1\"><set var=\"TAILHOOK POSITION\" unit=\"percent\" value=\"5\"/></event>\n"
        "  <event time=\"2\"><set var=\"TAILHOOK POSITION\" unit=\"percent\" value=\"100\"/></event>\n"
        "  <event time=\"3\"><aircraft speed=\"0\" vertical_speed=\"0\" on_ground=\"1\" moving=\"0\"/>"
        "<set var=\"CABLE CAUGHT BY TAILHOOK\" unit=\"number\" value=\"2\"/></event>\n"
        "  <event time=\"6\"><aircraft on_ground=\"0\"/>"
        "<set var=\"CABLE CAUGHT BY TAILHOOK\" unit=\"number\" value=\"0\"/></event>\n"
        "  <event time=\"8\"><set var=\"TAILHOOK POSITION\" unit=\"percent\" value=\"0\"/></event>\n";
    for (const Variant& v : variants) {
        SCOPED_TRACE(v.what);
        TempRoot root;
        PathRun r(root.scenario(kitty_hawk_approach(3.0, 0, v.extra + deck, 10)));
        ASSERT_TRUE(r.result.ok) << r.error << r.result.error;
        const auto& tl = r.timeline();
        EXPECT_EQ(lvar_values(tl, "FlightDeck_State"), v.states);
        EXPECT_EQ(raised(tl, "0x11107"), v.report ? std::vector<std::string>{"2@30"} : std::vector<std::string>{});
        size_t reports = 0;
        for (const Call& c : calls(tl)) {
            if (c.text != "LSO: Two wire, good pass") continue;
            ++reports;
            EXPECT_EQ(c.sound, "Gauges/Sounds/English/wire2.wav");
            EXPECT_EQ(c.seconds, 5.0);
        }
        EXPECT_EQ(reports, v.report ? 1u : 0u);
    }
}

TEST(LandingAids, ACarrierWhoseLanguageHasNoListShowsNoneAndKeepsThePreviousSounds)
{
    TempRoot root;
    root.patch("ZEB_Carrier.xml", "Sim_Name=\"Carrier Kitty Hawk CV-63\" Sim_Name_Helo=\"none\"\n           Language=\"English\"",
               "Sim_Name=\"Carrier Kitty Hawk CV-63\" Sim_Name_Helo=\"none\"\n           Language=\"Klingon\"");
    PathRun r(root.scenario(kitty_hawk_approach(
        1.0, 0, "", 12, "\n  <event time=\"0.2\"><key event=\"NAV1_RADIO_SET\" value=\"0x11270\"/></event>")));
    ASSERT_TRUE(r.result.ok) << r.error << r.result.error;
    const auto& tl = r.timeline();
    EXPECT_EQ(ordinal_count(tl, 29), 1u);  // the Nimitz's English batch only
    EXPECT_EQ(ordinal_count(tl, 30), 9u);
    const auto made = calls(tl);
    ASSERT_FALSE(made.empty());
    EXPECT_EQ(made[0].text, "none");
    EXPECT_EQ(made[0].sound, "Gauges/Sounds/English/callball.wav");
}

TEST(LandingAids, ThePowerLightComesOnAtALineUpCheckAboveTheGaugesAngleOfAttackOnly)
{
    struct Variant {
        const char* parameters;
        double alpha;
        bool lit;
    } variants[] = {{"9.5", 12.0, true}, {"9.5", 9.5, false}, {"", 30.0, false}, {"none", 30.0, false}};
    for (const Variant& v : variants) {
        SCOPED_TRACE(testing::Message() << v.parameters << " " << v.alpha);
        TempRoot root;
        const std::string alpha = "  <event time=\"0.2\"><set var=\"INCIDENCE ALPHA\" unit=\"degrees\" value=\"" +
                                  std::to_string(v.alpha) + "\"/></event>\n";
        // From 0.7 nm the line-up check at 0.55 nm comes after about 4.5 s; the light stays on 3 s.
        PathRun r(root.scenario(kitty_hawk_approach(0.7, 0, alpha, 12, "", v.parameters)));
        ASSERT_TRUE(r.result.ok) << r.error << r.result.error;
        EXPECT_EQ(raised(r.timeline(), "0x11106").size(), 2u);  // 0.55 and 0.4 nm
        const auto light = lvar_values(r.timeline(), "PowerLight");
        if (v.lit) {
            ASSERT_GE(light.size(), 2u);
            EXPECT_EQ(light[0], 1.0);
            EXPECT_EQ(light[1], 0.0);
        } else {
            EXPECT_TRUE(light.empty());
        }
    }
}
