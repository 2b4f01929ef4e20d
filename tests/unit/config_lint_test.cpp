// The configuration linter against small simulator roots: a clean pair of
// files, then one mistake at a time, each expected to give one finding on
// its line.
#include "host/build_paths.h"
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "host/bench/config_lint.h"

namespace {

namespace fs = std::filesystem;

const std::string PARAMETERS = R"(<Parameters>
  <Keyboard_Commands ToggleInput="Shift+T" RefuelInput="Shift+R"/>
  <WaveOff Dist_Check_WaveOff="0.3" GS_Error_Max="1.0" GS_Error_Min="-1.0" LOC_Error_Max="1.5" LOC_Error_Min="-1.5" WO_Duration="4"/>
  <Meatball Dist_Activation="1.0" Meatball_GS_Max="0.75" Meatball_GS_Min="-0.75" Meatball_Power="1" PowerLight_Duration="3"/>
  <Catapult Speed_Margin="15" Catapult_Lenght="90" Launch_Delay="2" Catapult_sound_file="cat.wav"
            Engine_Prop_Percent="90" Engine_Jet_Percent="85" Engine_Turbo_Percent="88" Other_Percent="80" Launch_Input="joystick:0:button:3"/>
  <LSO_Distance_Check Check_CallBall="0.75" Check_Altitude_1="0.6" Check_LOC_1="0.55" Check_Altitude_2="0.45" Check_LOC_2="0.4" Check_Altitude_3="0.25" Check_LOC_3="0.2"/>
  <LSO_Thresholds TooHigh_Angle="0.5" TooLow_Angle="-0.5" LOC_Angle="1.0"/>
</Parameters>
<SoundFileList>
  <SoundFiles Language="English" Wire1="s.wav" Wire2="s.wav" Wire3="s.wav" Wire4="s.wav" TooHigh="s.wav" TooLow="s.wav"
              LineUp="s.wav" CallBall="s.wav" WaveOff="none" Wire1_msg="1" Wire2_msg="2" Wire3_msg="3" Wire4_msg="4"
              TooHigh_msg="h" TooLow_msg="l" LineUp_msg="u" CallBall_msg="b" WaveOff_msg="w"/>
</SoundFileList>
)";

const std::string CARRIERS = R"(<CarrierList>
  <Carrier Frequency="112.70" Name="Ship" CarrierType="1" Sim_Name="Ship Title" Sim_Name_Helo="none" Language="English"
           Helo_Bearing="90" Helo_Distance="400" GS_Angle="3.5" RunwayAngle="9"
           ILS_Xcoord="-6" ILS_Ycoord="19" ILS_Zcoord="-90" TCN_Xcoord="20" TCN_Ycoord="50" TCN_Zcoord="10"/>
  <Site Frequency="114.30" Name="Field" CarrierType="2" FLOLS_Name="Lens" Language="none" GS_Angle="3.5" RunwayAngle="40"
        Alt="16" Lat_coord="36.6953" Lon_coord="-76.1353" Lat_FLOLS="36.69556" Lon_FLOLS="-76.13569"/>
</CarrierList>
)";

class ConfigLintTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char scratch[] = "/tmp/carrier_lint_XXXXXX";
        ASSERT_NE(mkdtemp(scratch), nullptr);
        root = scratch;
        fs::create_directory(root / "Gauges");
        std::ofstream(root / "cat.wav") << "x";
        std::ofstream(root / "s.wav") << "x";
    }
    void TearDown() override { fs::remove_all(root); }

    void write(const char* name, const std::string& text) { std::ofstream(root / "Gauges" / name) << text; }

    // Lints with `from` replaced by `to` in one of the files.
    host::LintReport lint_with(const char* file, const std::string& from, const std::string& to)
    {
        std::string parameters = PARAMETERS, carriers = CARRIERS;
        std::string& text = std::string(file) == "ZEB_Parameters.xml" ? parameters : carriers;
        const size_t at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        if (at != std::string::npos) text.replace(at, from.size(), to);
        write("ZEB_Parameters.xml", parameters);
        write("ZEB_Carrier.xml", carriers);
        return host::lint_configuration(root.string());
    }

    fs::path root;
};

std::string all(const host::LintReport& report)
{
    std::string out;
    for (const auto& f : report.findings) out += host::format_finding(f) + "\n";
    return out;
}

TEST_F(ConfigLintTest, CleanFilesGiveNoFinding)
{
    const auto report = lint_with("ZEB_Carrier.xml", "", "");
    EXPECT_TRUE(report.findings.empty()) << all(report);
    EXPECT_TRUE(report.passes(true));
}

struct Mistake {
    const char* file;
    const char* from;
    const char* to;
    int line;                 // of the finding
    host::LintLevel level;
    const char* message;      // a part of the finding's message
};

TEST_F(ConfigLintTest, EachMistakeGivesItsFinding)
{
    using L = host::LintLevel;
    const Mistake cases[] = {
        {"ZEB_Carrier.xml", "RunwayAngle=\"9\"", "RunwayAngel=\"9\"", 3, L::Warning, "RunwayAngel: did you mean RunwayAngle?"},
        {"ZEB_Carrier.xml", "RunwayAngle=\"9\"", "RunwayAngel=\"9\"", 2, L::Warning, "lacks RunwayAngle: the value of the carrier tuned before stays"},
        {"ZEB_Carrier.xml", "114.30", "112.7", 5, L::Warning, "has the frequency 112.7 MHz of the entry at line 2 (Ship): only the first is ever used"},
        {"ZEB_Carrier.xml", "112.70", "112.73", 2, L::Warning, "Frequency=112.73 MHz pairs with no TACAN channel"},
        {"ZEB_Carrier.xml", "Frequency=\"112.70\" ", "", 2, L::Warning, "no readable Frequency: it takes 0 MHz"},
        {"ZEB_Carrier.xml", "Frequency=\"114.30\" ", "", 5, L::Warning, "no readable Frequency: it takes the frequency of the entry before it"},
        {"ZEB_Carrier.xml", "Language=\"English\"", "Language=\"english\"", 2, L::Warning, "no sound list for it: every sound and text becomes \"none\" (did you mean \"English\"?"},
        {"ZEB_Carrier.xml", "GS_Angle=\"3.5\" RunwayAngle=\"9\"", "GS_Angle=\"30\" RunwayAngle=\"9\"", 3, L::Warning, "GS_Angle=30 deg is outside the plausible range 1 to 6"},
        {"ZEB_Carrier.xml", "RunwayAngle=\"40\"", "RunwayAngle=\"40\" Helo_Bearing=\"3\"", 5, L::Warning, "Helo_Bearing is not read for a fixed site"},
        {"ZEB_Carrier.xml", "CarrierType=\"1\"", "CarrierType=\"3\"", 2, L::Warning, "has CarrierType 3: not a ship (1) or a fixed site (2)"},
        {"ZEB_Carrier.xml", "Lon_FLOLS=\"-76.13569\"", "Lon_FLOLS=\"-76.2\"", 5, L::Warning, "the lens (Lat_FLOLS, Lon_FLOLS) is"},
        {"ZEB_Carrier.xml", "ILS_Ycoord=\"19\"", "ILS_Ycoord=\"high\"", 4, L::Warning, "ILS_Ycoord=\"high\" is not a number: the value of the carrier tuned before stays"},
        {"ZEB_Carrier.xml", "<CarrierList>", "<CarrierLists/><CarrierList>", 1, L::Warning, "unknown element CarrierLists: did you mean CarrierList?"},
        {"ZEB_Carrier.xml", CARRIERS.c_str(), "<CarrierList/>", 1, L::Error, "no <CarrierList> with an entry"},
        {"ZEB_Parameters.xml", "Catapult_Lenght=\"90\"", "Catapult_Length=\"90\"", 5, L::Warning, "Catapult_Length: did you mean Catapult_Lenght?"},
        {"ZEB_Parameters.xml", "Catapult_Lenght=\"90\"", "Catapult_Length=\"90\"", 5, L::Warning, "<Catapult> lacks Catapult_Lenght: the module keeps the start value 0"},
        {"ZEB_Parameters.xml", "Catapult_sound_file=\"cat.wav\"", "Catapult_sound_file=\"dog.wav\"", 5, L::Warning, "the sound file \"dog.wav\" does not exist"},
        {"ZEB_Parameters.xml", "Wire3=\"s.wav\"", "Wire3=\"gone.wav\"", 11, L::Warning, "Wire3: the sound file \"gone.wav\" does not exist"},
        {"ZEB_Parameters.xml", "Wire3=\"s.wav\" ", "", 11, L::Warning, "<SoundFiles> lacks Wire3: read as \"none\" (no sound for the call)"},
        {"ZEB_Parameters.xml", "Engine_Jet_Percent=\"85\"", "Engine_Jet_Percent=\"85.5\"", 6, L::Warning, "is a whole number: the module reads 85"},
        {"ZEB_Parameters.xml", "Launch_Delay=\"2\"", "Launch_Delay=\"2 s\"", 5, L::Warning, "the module reads 2 and ignores \"s\""},
        {"ZEB_Parameters.xml", "Check_CallBall=\"0.75\"", "Check_CallBall=\"1.2\"", 7, L::Warning, "Check_CallBall=1.2 nm is not inside Dist_Activation=1 nm"},
        {"ZEB_Parameters.xml", "GS_Error_Min=\"-1.0\"", "GS_Error_Min=\"1.0\"", 3, L::Warning, "GS_Error_Min=1 deg is outside the plausible range"},
        {"ZEB_Parameters.xml", "ToggleInput=\"Shift+T\"", "ToggleInput=\"Shift+Hyper+T\"", 2, L::Warning, "is not an input the simulator binds"},
        {"ZEB_Parameters.xml", "RefuelInput=\"Shift+R\"", "RefuelInput=\"R\"", 2, L::Warning, "RefuelInput=\"R\" binds nothing"},
        {"ZEB_Parameters.xml", "<Meatball ", "<MeatBall ", 4, L::Warning, "unknown element MeatBall: did you mean Meatball?"},
        {"ZEB_Parameters.xml", "<Meatball ", "<MeatBall ", 1, L::Error, "lacks <Meatball>: the module stops reading there"},
        {"ZEB_Parameters.xml", "<SoundFiles Language=\"English\"", "<SoundFiles Language=\"English\"/><SoundFiles Language=\"English\"", 11, L::Warning, "a second list for Language=\"English\" (first at line 11)"},
        {"ZEB_Parameters.xml", "<SoundFileList>", "<SoundFileList><Extra/>", 10, L::Warning, "<Extra> comes before the first <SoundFiles>: the module never searches it"},
        {"ZEB_Parameters.xml", "</Parameters>", "</Parameter>", 9, L::Error, "not well-formed XML"},
    };
    for (const Mistake& c : cases) {
        const auto report = lint_with(c.file, c.from, c.to);
        bool found = false;
        for (const auto& f : report.findings)
            found = found || (f.line == c.line && f.level == c.level && f.message.find(c.message) != std::string::npos &&
                              fs::path(f.file).filename() == c.file);
        EXPECT_TRUE(found) << c.file << ": " << c.from << " -> " << c.to << "\nexpected at line " << c.line << ": "
                           << c.message << "\ngot:\n" << all(report);
    }
}

TEST_F(ConfigLintTest, StrictnessDecidesWhetherWarningsPass)
{
    const auto report = lint_with("ZEB_Carrier.xml", "112.70", "112.73");
    EXPECT_EQ(report.errors(), 0u);
    EXPECT_EQ(report.warnings(), 1u) << all(report);
    EXPECT_TRUE(report.passes(false));
    EXPECT_FALSE(report.passes(true));
    EXPECT_NE(host::format_finding(report.findings[0], true).find(":2: error: "), std::string::npos);
    EXPECT_NE(host::format_finding(report.findings[0], false).find(":2: warning: "), std::string::npos);
}

TEST_F(ConfigLintTest, MissingFilesAreErrors)
{
    const auto report = host::lint_configuration(root.string());
    ASSERT_EQ(report.errors(), 2u) << all(report);
    EXPECT_NE(report.findings[0].message.find("cannot open"), std::string::npos);
}

TEST_F(ConfigLintTest, FixedSitesAreReadByName)
{
    write("ZEB_Carrier.xml", CARRIERS);
    const auto sites = host::read_fixed_sites(root.string());
    ASSERT_EQ(sites.size(), 1u);
    EXPECT_EQ(sites[0].name, "Field");
    EXPECT_DOUBLE_EQ(sites[0].latitude_deg, 36.6953);
    EXPECT_DOUBLE_EQ(sites[0].longitude_deg, -76.1353);
    EXPECT_DOUBLE_EQ(sites[0].runway_heading_deg, 40.0);
}

TEST(ConfigLintNames, NearestNameOnlyForLikelyTypos)
{
    const std::vector<std::string> known = {"RunwayAngle", "Catapult_Lenght", "GS_Angle", "Alt", "Language"};
    const struct {
        const char* name;
        const char* expected;
    } cases[] = {
        {"RunwayAngel", "RunwayAngle"}, {"Catapult_Length", "Catapult_Lenght"}, {"gs_angle", "GS_Angle"},
        {"Alt ", "Alt"},                {"Speed", ""},                          {"Lang", ""},
        {"Languag", "Language"},        {"XYZ", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(host::nearest_name(c.name, known), c.expected) << c.name;
}

TEST(ConfigLintNames, TacanPairing)
{
    const struct {
        double mhz;
        const char* channel;
    } cases[] = {
        {108.00, "17X"}, {108.05, "17Y"}, {108.45, "21Y"}, {112.20, "59X"}, {112.25, "59Y"}, {112.30, "70X"},
        {112.70, "74X"}, {117.95, "126Y"}, {107.95, ""},   {112.73, ""},    {118.00, ""},    {0.0, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(host::tacan_channel_name(c.mhz), c.channel) << c.mhz;
        EXPECT_EQ(host::pairs_with_tacan_channel(c.mhz), c.channel[0] != '\0') << c.mhz;
    }
}

// The bundled root has no mistakes the linter knows (its sound files are
// installed separately, so their absence is the only thing it may report).
TEST(ConfigLintBundled, BundledRootIsClean)
{
    const auto report = host::lint_configuration(std::string(CARRIER_SOURCE_DIR) + "/scenarios/simroot");
    EXPECT_EQ(report.errors(), 0u);
    for (const auto& f : report.findings)
        EXPECT_NE(f.message.find("does not exist"), std::string::npos) << host::format_finding(f);
}

}  // namespace
