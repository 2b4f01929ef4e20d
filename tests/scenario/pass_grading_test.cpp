// The bench's judge of passes on flown approaches with the real module: the
// bundled scenarios graded, each deviation put in each zone at each
// magnitude, the module's calls against the judge, and the frame path
// allocating nothing while a pass is judged.
#include "host/build_paths.h"
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "host/record/grading.h"
#include "host/record/trapsheet.h"
#include "scenario_fixture.h"
#include "tests/unit/allocation_counter.h"

namespace {

using scenario_test::source_path;

struct JudgedRun {
    std::unique_ptr<host::Host> host;
    std::shared_ptr<host::PassJudge> judge;
    host::RunResult result;
    std::string error;

    explicit JudgedRun(const std::string& path)
    {
        auto scenario = host::load_scenario(path, &error);
        if (!scenario) return;
        auto grading = host::load_grading(host::default_grading_path(), &error);
        if (!grading) return;
        host::HostOptions options = host::host_options_for(*scenario, CARRIER_MODULE_PATH);
        options.private_copy = true;
        options.echo_stderr = false;
        host = std::make_unique<host::Host>(options);
        judge = std::make_shared<host::PassJudge>(std::move(*grading));
        host->add_frame_observer(judge);
        result = host::run_scenario(*scenario, *host);
        judge->finish(*host);
    }
};

TEST(PassGrading, TheBundledScenariosAreGraded)
{
    struct Case {
        const char* scenario;
        const char* grade;
        host::Outcome outcome;
        int wire;
        std::vector<std::string> deviations;  // tokens the pass's text holds
    };
    const Case cases[] = {
        {"scenarios/default.xml", nullptr, host::Outcome::Trap, 3, {"HIX", "LULIM"}},
        {"scenarios/wave_off.xml", "WO", host::Outcome::WaveOff, 0, {"_HI_IM"}},
        {"scenarios/bolter.xml", "B", host::Outcome::Bolter, 0, {"_HI_AR"}},
        {"scenarios/on_speed.xml", "_OK_", host::Outcome::Trap, 3, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.scenario);
        JudgedRun run(source_path(c.scenario));
        ASSERT_TRUE(run.host) << run.error;
        ASSERT_EQ(run.judge->passes().size(), 1u);
        const host::Pass& pass = run.judge->passes()[0];
        if (c.grade) EXPECT_EQ(pass.grade, c.grade);
        EXPECT_EQ(pass.outcome, c.outcome);
        EXPECT_EQ(pass.wire, c.wire);
        for (const std::string& token : c.deviations)
            EXPECT_NE((" " + pass.deviation_text + " ").find(" " + token + " "), std::string::npos)
                << token << " in \"" << pass.deviation_text << "\"";
        if (c.deviations.empty()) EXPECT_EQ(pass.deviation_text, "");
        EXPECT_GT(pass.groove_s, 10.0);
        EXPECT_NEAR(pass.wind_over_deck_kt, 30.0, 1.5);
        EXPECT_EQ(pass.carrier, "Carrier Nimitz CVN-68");
    }
}

// A flown approach from 1 nm with one deviation between two distances of the
// glide-slope reference point (which lies 0.056 nm beyond the ramp).
std::string approach_with(const std::string& deviation)
{
    return R"(<panel><gauge name="Tacan_Navigation" parameters="NAV1"/><gauge name="Approach_Ctrl" parameters="9.5"/></panel>
<world>
  <wind from="45" speed="12"/>
  <boat title="Carrier Nimitz CVN-68" latitude="36.80" longitude="-75.40" heading="54" speed="18"/>
  <deck_model boat="Carrier Nimitz CVN-68" model="nimitz"/>
  <turn_into_wind boat="Carrier Nimitz CVN-68" rate="1.0" wind_over_deck="30"/>
  <flight deck="Carrier Nimitz CVN-68" distance="1.0" speed="140" hook="1" gear="1">)" +
           deviation + R"(</flight>
</world>
<run rate="30" end="34"><event name="tune" time="0.5"><key event="NAV1_RADIO_SET" value="0x11270"/></event></run>)";
}

TEST(PassGrading, EachDeviationInEachZoneAtEachMagnitudeIsWrittenAsTheOfficerWritesIt)
{
    // The window (reference-point nm) that puts a deviation into each zone,
    // and for each zone the glide (deg), line (deg) and speed (kt) offsets
    // the autopilot flies for a little, reasonable and a lot.
    struct ZoneCase {
        const char* zone;
        double from, to;
        double glide[3], line[3], speed[3];
    };
    const ZoneCase zones[] = {
        {"X", 0.80, 0.58, {0.45, 0.8, 1.5}, {0.75, 1.5, 3.0}, {3.5, 6.0, 11.0}},
        {"IM", 0.58, 0.31, {0.45, 0.8, 1.5}, {0.75, 1.5, 3.0}, {3.5, 6.0, 11.0}},
        {"IC", 0.33, 0.14, {0.4, 0.75, 1.4}, {0.7, 1.4, 2.6}, {3.5, 6.0, 11.0}},
        {"AR", 0.20, 0.05, {0.32, 0.6, 1.1}, {0.8, 1.5, 3.0}, {3.5, 6.0, 11.0}},
        // The wires are the last second of the groove: set up from in close.
        {"IW", 0.25, 0.0, {0.18, 0.38, 0.6}, {0.6, 1.2, 2.4}, {3.5, 5.5, 11.0}},
    };
    // Deviation name, attribute, sign of the offset.
    struct Kind {
        const char* name;
        const char* attribute;
        double sign;
    };
    const Kind kinds[] = {{"HI", "glide", 1}, {"LO", "glide", -1}, {"LUL", "line", 1},
                          {"LUR", "line", -1}, {"F", "speed", 1}, {"SLO", "speed", -1}};
    scenario_test::TempRoot root;
    int checked = 0;
    for (const ZoneCase& z : zones) {
        for (const Kind& k : kinds) {
            for (int m = 0; m < 3; ++m) {
                const double* values = std::string(k.attribute) == "glide" ? z.glide
                                       : std::string(k.attribute) == "line" ? z.line : z.speed;
                char deviation[160];
                std::snprintf(deviation, sizeof deviation, R"(<deviation from="%.2f" to="%.2f" %s="%.2f"/>)", z.from,
                              z.to, k.attribute, k.sign * values[m]);
                const std::string name = std::string(k.name) + z.zone;
                const std::string token = m == 0 ? "(" + std::string(k.name) + ")" + z.zone
                                          : m == 1 ? name : "_" + std::string(k.name) + "_" + z.zone;
                SCOPED_TRACE(std::string(deviation) + " wants " + token);
                JudgedRun run(root.scenario(approach_with(deviation)));
                ASSERT_TRUE(run.host) << run.error;
                ASSERT_EQ(run.judge->passes().size(), 1u);
                const std::string text = " " + run.judge->passes()[0].deviation_text + " ";
                EXPECT_NE(text.find(" " + token + " "), std::string::npos) << "got \"" << text << "\"";
                ++checked;
            }
        }
    }
    EXPECT_EQ(checked, 90);
}

// Low at the ramp: the module's checks are over by then, so it makes no call;
// the judge sees it and the trap sheet says so.
TEST(PassGrading, ALowAtTheRampWithNoCallIsADisagreementOnTheTrapSheet)
{
    scenario_test::TempRoot root;
    JudgedRun run(root.scenario(approach_with(R"(<deviation from="0.20" to="0.05" glide="-0.7"/>)")));
    ASSERT_TRUE(run.host) << run.error;
    ASSERT_EQ(run.judge->passes().size(), 1u);
    const host::Pass& pass = run.judge->passes()[0];
    EXPECT_EQ(pass.deviations[static_cast<int>(host::Zone::AR)][static_cast<int>(host::Deviation::LO)], 2)
        << pass.deviation_text;
    const std::string csv = host::trapsheet_csv(run.judge->passes());
    EXPECT_NE(csv.find("LO at AR with no call"), std::string::npos) << csv;

    // On the clean pass the module's calls and the judge agree.
    JudgedRun clean(source_path("scenarios/on_speed.xml"));
    ASSERT_EQ(clean.judge->passes().size(), 1u);
    EXPECT_TRUE(clean.judge->passes()[0].disagreements.empty());
}

// Counts the allocations made inside the judge's frame routine.
struct CountingJudge : host::FrameObserver {
    std::shared_ptr<host::PassJudge> judge;
    long allocations = 0;
    int64_t frames_in_pass = 0;
    void frame_done(host::Host& h) override
    {
        const bool was_in_pass = judge->in_pass();
        const long before = allocations_so_far();
        judge->frame_done(h);
        const long made = allocations_so_far() - before;
        if (was_in_pass && judge->in_pass()) {
            allocations += made;
            ++frames_in_pass;
        }
    }
};

TEST(PassGrading, JudgingAPassAllocatesNothingPerFrame)
{
    std::string error;
    auto scenario = host::load_scenario(source_path("scenarios/default.xml"), &error);
    ASSERT_TRUE(scenario) << error;
    auto grading = host::load_grading(host::default_grading_path(), &error);
    ASSERT_TRUE(grading) << error;
    host::HostOptions options = host::host_options_for(*scenario, CARRIER_MODULE_PATH);
    options.private_copy = true;
    options.echo_stderr = false;
    host::Host host(options);
    auto counting = std::make_shared<CountingJudge>();
    counting->judge = std::make_shared<host::PassJudge>(std::move(*grading));
    host.add_frame_observer(counting);
    host::run_scenario(*scenario, host);
    // The whole groove, with the module's calls and the deviations in it.
    EXPECT_GT(counting->frames_in_pass, 600);
    EXPECT_EQ(counting->allocations, 0);
}

}  // namespace
