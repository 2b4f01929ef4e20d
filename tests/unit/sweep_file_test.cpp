// Sweep files: what the reader refuses (with the line), how parameters
// expand into runs, how a variation lands in the scenario and in a scratch
// simulator root, and the result files and CSV rows.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <tinyxml.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>

#include "host/bench/sweep_file.h"
#include "host/bench/sweep_results.h"
#include "host/bench/sweep_run.h"
#include "host/panel/sound_library.h"

namespace {

namespace fs = std::filesystem;

class SweepFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/carrier_sweep_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        write("base.xml", R"(<runscript name="base">
  <simulator root="."/>
  <world>
    <wind from="45" speed="12"/>
    <boat title="A" latitude="1" longitude="2" heading="60" speed="20"/>
    <turn_into_wind boat="A" wind_over_deck="30"/>
    <flight deck="A" distance="3">
      <deviation from="0.7" to="0.5" glide="0.8"/>
      <deviation from="0.5" to="0.3" line="1.6"/>
    </flight>
  </world>
  <run end="1"/>
</runscript>
)");
    }
    void TearDown() override { fs::remove_all(dir); }

    void write(const std::string& name, const std::string& text)
    {
        fs::create_directories((dir / name).parent_path());
        std::ofstream(dir / name) << text;
    }
    // A sweep of the base scenario with `params` (each on its own line from line 2).
    std::string sweep(const std::string& params, const std::string& attributes = "")
    {
        write("s.xml", "<sweep scenario=\"base.xml\"" + attributes + ">\n" + params + "\n</sweep>\n");
        return (dir / "s.xml").string();
    }

    fs::path dir;
};

TEST_F(SweepFileTest, RefusesBadFilesWithTheLine)
{
    const struct {
        const char* params;
        int line;
        const char* says;
    } cases[] = {
        {R"(<param name="wind_speed" values="1 2" from="0" to="3" step="1"/>)", 2, "exactly one"},
        {R"(<param name="wind_speed" from="0" to="3" step="0"/>)", 2, "step must be positive"},
        {R"(<param name="wind_speed" from="5" to="3" step="1"/>)", 2, "larger one"},
        {R"(<param name="wind_speed" values="1 x 3"/>)", 2, "\"x\" is not a number"},
        {R"(<param name="wind_speed" values=" , "/>)", 2, "lists no value"},
        {R"(<param name="wind_speed" distribution="gamma" count="3"/>)", 2, "unknown distribution"},
        {R"(<param name="wind_speed" distribution="uniform" min="5" max="1" count="3"/>)", 2, "max is below min"},
        {R"(<param name="wind_speed" distribution="normal" mean="5" sd="1" count="2.5"/>)", 2, "whole number"},
        {R"(<param name="wind_speed" values="1" count="3"/>)", 2, "belong to a distribution"},
        {R"(<param name="seed" distribution="uniform" min="1" max="5" count="3"/>)", 2, "seeds are a list"},
        {R"(<param name="seed" values="1.5"/>)", 2, "whole number"},
        {R"(<param name="windspeed" values="1"/>)", 2, "unknown parameter \"windspeed\""},
        {R"(<param name="Gauges/../x.xml:A@b" values="1"/>)", 2, "leaves the simulator root"},
        {"\n<param name=\"wind_speed\" values=\"1\"/>\n<param name=\"wind_speed\" values=\"2\"/>", 4, "given twice"},
        {"\n\n<step/>", 4, "unknown element <step>"},
        {"", 1, "varies nothing"},
        {R"(<param name="wind_speed" from="0" to="1e7" step="0.5"/>)", 2, "too many values"},
        {R"(<param name="wind_speed" from="0" to="1e6" step="1"/><param name="ship_speed" from="0" to="10" step="1"/>)", 1,
         "more than"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(host::load_sweep(sweep(c.params), &error)) << c.params;
        EXPECT_NE(error.find("s.xml:" + std::to_string(c.line) + ": "), std::string::npos) << c.params << "\n" << error;
        EXPECT_NE(error.find(c.says), std::string::npos) << c.params << "\n" << error;
    }
    std::string error;
    write("t.xml", "<sweep scenario=\"missing.xml\"><param name=\"wind_speed\" values=\"1\"/></sweep>");
    EXPECT_FALSE(host::load_sweep((dir / "t.xml").string(), &error));
    EXPECT_NE(error.find("t.xml:1: the base scenario"), std::string::npos) << error;
}

TEST_F(SweepFileTest, RunsAreEveryCombinationFirstParameterSlowest)
{
    std::string error;
    auto s = host::load_sweep(sweep(R"(<param name="wind_speed" from="0" to="1" step="0.1"/>
<param name="ship_speed" values="10, 20,30"/>)"),
                              &error);
    ASSERT_TRUE(s) << error;
    ASSERT_EQ(s->parameters[0].values.size(), 11u);  // the end of a grid is kept despite rounding
    EXPECT_NEAR(s->parameters[0].values.back(), 1.0, 1e-12);
    ASSERT_EQ(host::run_count(*s), 33u);
    const host::Variation v = host::variation_of(*s, 5);
    EXPECT_NEAR(v.values[0], 0.1, 1e-12);
    EXPECT_EQ(v.values[1], 30.0);
    EXPECT_EQ(host::variation_of(*s, 32).values, (std::vector<double>{s->parameters[0].values[10], 30.0}));
}

TEST_F(SweepFileTest, DistributionsAreSeededAndReproducible)
{
    std::string error;
    auto s = host::load_sweep(sweep(R"(<param name="start_offset" distribution="normal" mean="0" sd="30" min="-40" max="40" count="200"/>
<param name="approach_speed" distribution="uniform" min="130" max="150" count="3"/>
<param name="seed" values="1 2"/>)"),
                              &error);
    ASSERT_TRUE(s) << error;
    ASSERT_EQ(host::run_count(*s), 1200u);
    std::set<double> offsets_seed1, offsets_seed2;
    double sum = 0, sum2 = 0;
    bool clamped = false;
    for (uint64_t i = 0; i < host::run_count(*s); ++i) {
        const host::Variation v = host::variation_of(*s, i);
        EXPECT_EQ(v.seed, v.values[2]);
        EXPECT_GE(v.values[0], -40.0);
        EXPECT_LE(v.values[0], 40.0);
        EXPECT_GE(v.values[1], 130.0);
        EXPECT_LT(v.values[1], 150.0);
        clamped = clamped || std::fabs(v.values[0]) == 40.0;
        (v.seed == 1 ? offsets_seed1 : offsets_seed2).insert(v.values[0]);
        if (v.seed == 1 && i % 6 == 0) sum += v.values[0], sum2 += v.values[0] * v.values[0];
        EXPECT_EQ(host::variation_of(*s, i).values, v.values);  // the same draw every time
    }
    EXPECT_TRUE(clamped);
    EXPECT_GT(offsets_seed1.size(), 100u);  // draws, not one value again and again
    EXPECT_NE(offsets_seed1, offsets_seed2);  // another seed, other draws
    EXPECT_NEAR(sum / 200, 0.0, 6.0);
    EXPECT_NEAR(std::sqrt(sum2 / 200), 28.0, 6.0);  // about sd, a little less for the clamping
    // Pinned draws: a change of the generator would change every sweep's runs.
    EXPECT_DOUBLE_EQ(host::draw(s->parameters[1], 7, 0), host::draw(s->parameters[1], 7, 0));
    EXPECT_NE(host::draw(s->parameters[1], 7, 0), host::draw(s->parameters[1], 7, 1));
}

TEST_F(SweepFileTest, VariationsLandOnTheirAttributes)
{
    std::string error;
    auto s = host::load_sweep(sweep(R"(<param name="ship_speed" values="7"/>
<param name="world/flight/deviation[2]@line" values="-2.5"/>
<param name="world/boat[title=A]@heading" values="90"/>
<param name="weight" values="18000"/>
<param name="glide_error" values="0.25"/>)"),
                              &error);
    ASSERT_TRUE(s) << error;
    TiXmlDocument doc((dir / "base.xml").c_str());
    ASSERT_TRUE(doc.LoadFile());
    ASSERT_TRUE(host::apply_to_scenario(*s, host::variation_of(*s, 0), doc, &error)) << error;
    TiXmlElement* world = doc.RootElement()->FirstChildElement("world");
    TiXmlElement* boat = world->FirstChildElement("boat");
    EXPECT_STREQ(boat->Attribute("speed"), "7");
    EXPECT_STREQ(boat->Attribute("heading"), "90");
    // The ship's speed is the parameter's now, not the wind over the deck's.
    EXPECT_EQ(world->FirstChildElement("turn_into_wind")->Attribute("wind_over_deck"), nullptr);
    TiXmlElement* flight = world->FirstChildElement("flight");
    EXPECT_STREQ(flight->FirstChildElement("deviation")->Attribute("glide"), "0.25");
    EXPECT_STREQ(flight->FirstChildElement("deviation")->NextSiblingElement()->Attribute("line"), "-2.5");
    // The weight's <set> comes before the flight that reads it.
    TiXmlElement* set = world->FirstChildElement("set");
    ASSERT_NE(set, nullptr);
    EXPECT_STREQ(set->Attribute("var"), "TOTAL WEIGHT");
    EXPECT_STREQ(set->Attribute("value"), "18000");
    EXPECT_EQ(set->NextSiblingElement(), flight);

    auto missing = host::load_sweep(sweep(R"(<param name="world/flight/deviation[3]@line" values="1"/>)"), &error);
    ASSERT_TRUE(missing) << error;
    TiXmlDocument again((dir / "base.xml").c_str());
    ASSERT_TRUE(again.LoadFile());
    EXPECT_FALSE(host::apply_to_scenario(*missing, host::variation_of(*missing, 0), again, &error));
    EXPECT_NE(error.find("no element world/flight/deviation[3]"), std::string::npos) << error;
}

// "correction" is the autopilot's correction time constant of the approach:
// the attribute the scenario reader reads on <flight> (action "approach").
TEST_F(SweepFileTest, CorrectionIsTheApproachFlightsTimeConstant)
{
    std::string error;
    auto s = host::load_sweep(sweep(R"(<param name="correction" values="2 8"/>)"), &error);
    ASSERT_TRUE(s) << error;
    const host::SweepParameter& p = s->parameters[0];
    EXPECT_EQ(p.target, host::ParameterTarget::Scenario);
    ASSERT_EQ(p.path.steps.size(), 2u);
    EXPECT_EQ(p.path.steps[0].name, "world");
    EXPECT_EQ(p.path.steps[1].name, "flight");
    EXPECT_EQ(p.path.steps[1].index, 1);
    EXPECT_EQ(p.path.attribute, "correct_s");
    EXPECT_TRUE(p.removes.empty());
    TiXmlDocument doc((dir / "base.xml").c_str());
    ASSERT_TRUE(doc.LoadFile());
    ASSERT_TRUE(host::apply_to_scenario(*s, host::variation_of(*s, 1), doc, &error)) << error;
    const TiXmlElement* flight = doc.RootElement()->FirstChildElement("world")->FirstChildElement("flight");
    EXPECT_STREQ(flight->Attribute("correct_s"), "8");
    EXPECT_STREQ(flight->Attribute("distance"), "3");  // the rest of the flight as it was
    // The known names are offered for a misspelt one.
    EXPECT_FALSE(host::load_sweep(sweep(R"(<param name="corection" values="2"/>)"), &error));
    EXPECT_NE(error.find("error_to, correction"), std::string::npos) << error;
}

TEST_F(SweepFileTest, ConfigurationParametersGetTheirOwnRoot)
{
    write("root/Gauges/ZEB_Parameters.xml", "<Parameters>\n  <Catapult Catapult_Lenght=\"90\" Launch_Delay=\"2\"/>\n</Parameters>\n");
    write("root/Gauges/ZEB_Carrier.xml", "<CarrierList/>\n");
    write("root/Gauges/Sounds/a.wav", "x");
    std::string error;
    auto s = host::load_sweep(sweep(R"(<param name="Gauges/ZEB_Parameters.xml:Catapult@Catapult_Lenght" values="75 105"/>)"),
                              &error);
    ASSERT_TRUE(s) << error;
    ASSERT_TRUE(host::changes_configuration(*s));
    const std::string scratch = (dir / "scratch").string();
    ASSERT_TRUE(host::make_config_root(*s, host::variation_of(*s, 1), (dir / "root").string(), scratch, &error)) << error;
    TiXmlDocument changed((dir / "scratch/Gauges/ZEB_Parameters.xml").c_str());
    ASSERT_TRUE(changed.LoadFile());
    EXPECT_STREQ(changed.RootElement()->FirstChildElement("Catapult")->Attribute("Catapult_Lenght"), "105");
    EXPECT_STREQ(changed.RootElement()->FirstChildElement("Catapult")->Attribute("Launch_Delay"), "2");
    // The rest is the base root's, linked; the base file itself is unchanged.
    EXPECT_TRUE(fs::is_symlink(dir / "scratch/Gauges/ZEB_Carrier.xml"));
    EXPECT_TRUE(fs::is_symlink(dir / "scratch/Gauges/Sounds"));
    EXPECT_FALSE(fs::is_symlink(dir / "scratch/Gauges/ZEB_Parameters.xml"));
    std::ifstream base(dir / "root/Gauges/ZEB_Parameters.xml");
    EXPECT_NE(std::string(std::istreambuf_iterator<char>(base), {}).find("\"90\""), std::string::npos);
}

TEST_F(SweepFileTest, ResultFilesReadBackAndMakeTheirRows)
{
    host::SweepRunResult r;
    r.index = 12;
    r.sweep = "s";
    r.names = {"wind_speed", "Gauges/ZEB_Parameters.xml:Catapult@Catapult_Lenght"};
    r.values = {12.5, 90};
    r.outcome = "trap";
    r.wire = 3;
    r.groove_s = 18.25;
    r.lockon_s = NAN;
    r.end_speed_mps = 80.5;
    r.calls = "Call the ball; You're high, \"really\"";
    const std::string path = host::result_path(dir.string(), r.index);
    std::string error;
    ASSERT_TRUE(host::write_result(r, path, &error)) << error;
    EXPECT_EQ(fs::path(path).filename(), "run_000012.json");
    auto back = host::read_result(path, &error);
    ASSERT_TRUE(back) << error;
    EXPECT_EQ(back->values, r.values);
    EXPECT_EQ(back->wire, 3);
    EXPECT_TRUE(std::isnan(back->lockon_s));
    EXPECT_EQ(back->calls, r.calls);

    const std::string csv = host::results_csv({*back});
    EXPECT_EQ(csv,
              "run,wind_speed,Gauges/ZEB_Parameters.xml:Catapult@Catapult_Lenght,outcome,wire,wave_off_lights,groove_s,"
              "lockon_s,touchdown_sink_mps,engage_kt,end_speed_mps,passes,grade,points,last_grade,mean_points,calls,reason\n"
              "12,12.5,90,trap,3,0,18.25,,,,80.50,0,,,,,\"Call the ball; You're high, \"\"really\"\"\",\n");

    for (const char* bad : {"", "[]", "{\"index\":-1,\"parameters\":[],\"outcome\":\"trap\"}",
                            "{\"index\":1,\"outcome\":\"trap\"}", "{\"index\":1,\"parameters\":[]}"}) {
        std::ofstream(dir / "bad.json") << bad;
        EXPECT_FALSE(host::read_result((dir / "bad.json").string(), &error)) << bad;
        EXPECT_NE(error.find("bad.json:1: "), std::string::npos) << error;
    }
}

TEST_F(SweepFileTest, SummaryCountsOutcomesPerValue)
{
    std::vector<host::SweepRunResult> results;
    const struct {
        double wind;
        const char* outcome;
        int wire;
    } runs[] = {{0, "wave-off", 0}, {0, "trap", 2}, {10, "trap", 3}, {10, "trap", 4}, {10, "failed", 0}};
    uint64_t index = 0;
    for (const auto& run : runs) {
        host::SweepRunResult r;
        r.index = index++;
        r.sweep = "s";
        r.names = {"wind_speed", "ship_speed"};
        r.values = {run.wind, 20};
        r.outcome = run.outcome;
        r.wire = run.wire;
        results.push_back(r);
    }
    const std::string summary = host::results_summary(results);
    EXPECT_NE(summary.find("wires: 1: 0, 2: 1, 3: 1, 4: 1"), std::string::npos) << summary;
    EXPECT_NE(summary.find("By wind_speed:"), std::string::npos) << summary;
    EXPECT_EQ(summary.find("By ship_speed:"), std::string::npos) << summary;  // it does not vary
    // runs, trap, bolter, wave-off, ditching, no landing, failed, mean wire.
    EXPECT_NE(summary.find("  0              2     1      0        1        0          0      0      2.00"),
              std::string::npos)
        << summary;
    EXPECT_NE(summary.find("  10             3     2      0        0        0          0      1      3.50"),
              std::string::npos)
        << summary;
}

// A lean run keeps only each sound's length: it must be the length the
// full decode gives (the resampler's, one sample off rounding for some
// files), or the module's "is it still playing" answers change.
TEST_F(SweepFileTest, SoundLengthFromTheHeaderIsTheDecodedLength)
{
    const struct {
        int rate;
        int channels;
        sf_count_t frames;
    } cases[] = {{16000, 1, 16000}, {22050, 1, 48123}, {44100, 2, 99999}, {8000, 1, 777}, {11025, 1, 1}, {48000, 2, 0}};
    for (const auto& c : cases) {
        const std::string path = (dir / ("t" + std::to_string(c.rate) + ".wav")).string();
        SF_INFO info{};
        info.samplerate = c.rate;
        info.channels = c.channels;
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
        ASSERT_NE(f, nullptr);
        std::vector<float> data(static_cast<size_t>(c.frames * c.channels));
        for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<float>(0.3 * std::sin(0.01 * static_cast<double>(i)));
        sf_writef_float(f, data.data(), c.frames);
        sf_close(f);
        std::vector<float> samples;
        size_t length = 12345;
        std::string error;
        if (c.frames == 0) {
            // A sound that decodes to nothing is refused both ways, lengths only or not.
            EXPECT_FALSE(host::read_sound_file(path, 16000, &samples, &error));
            EXPECT_FALSE(host::read_sound_length(path, 16000, &length, &error));
            EXPECT_NE(error.find("no samples"), std::string::npos) << error;
            continue;
        }
        ASSERT_TRUE(host::read_sound_file(path, 16000, &samples, &error)) << error;
        ASSERT_TRUE(host::read_sound_length(path, 16000, &length, &error)) << error;
        EXPECT_EQ(length, samples.size()) << c.rate << " Hz, " << c.frames << " frames";
        // Through the library, as the module loads it, both ways.
        host::Timeline timeline;
        host::SoundLibraryEmulation full(timeline, dir.string()), lean(timeline, dir.string());
        lean.set_lengths_only(true);
        const std::string name = fs::path(path).filename().string();
        const int32_t a = full.load(name.c_str(), 0), b = lean.load(name.c_str(), 0);
        ASSERT_GT(a, 0);
        ASSERT_GT(b, 0);
        EXPECT_EQ(lean.duration_s(b), full.duration_s(a));
        EXPECT_TRUE(lean.sound(b)->samples.empty());
    }
}

}  // namespace
