// The parameters file reader against small files written into a scratch
// simulator root, and the bundled parameters file of the bench's simulator.
#include "host/build_paths.h"
#include <gtest/gtest.h>
#include <tinyxml.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "config/xml_number.h"
#include "config/parameters.h"
#include "config/sound_list.h"
#include "host/process_services.h"
#include "scratch_root.h"
#include "state/module_state.h"
#include "tests/unit/fake_panels.h"

namespace {

constexpr double OLD = -999.0;  // a value no file gives: "not read"
const char* const OLD_TEXT = "old";

// One complete file, every value distinct so that a value stored into the
// wrong field shows.
const std::vector<std::string> SECTIONS = {
    R"(<Keyboard_Commands ToggleInput="Shift+T" RefuelInput="Shift+R"/>)",
    R"(<WaveOff Dist_Check_WaveOff="0.3" GS_Error_Max="1.1" GS_Error_Min="-1.2" LOC_Error_Max="1.5" LOC_Error_Min="-1.6" WO_Duration="4"/>)",
    R"(<Meatball Dist_Activation="1.0" Meatball_GS_Max="0.75" Meatball_GS_Min="-0.8" Meatball_Power="1.3" PowerLight_Duration="3"/>)",
    R"(<Catapult Speed_Margin="15" Catapult_Lenght="90" Launch_Delay="2" Catapult_sound_file="cat.wav" Engine_Prop_Percent="91" )"
    R"(Engine_Jet_Percent="90.7" Engine_Turbo_Percent="88" Other_Percent="80" Launch_Input="joystick:0:button:3"/>)",
    R"(<LSO_Distance_Check Check_CallBall="0.75" Check_Altitude_1="0.6" Check_LOC_1="0.55" Check_Altitude_2="0.45" )"
    R"(Check_LOC_2="0.4" Check_Altitude_3="0.25" Check_LOC_3="0.2"/>)",
    R"(<LSO_Thresholds TooHigh_Angle="0.5" TooLow_Angle="-0.55" LOC_Angle="1.2"/>)",
};

class ParametersFileTest : public ScratchRootTest {
protected:
    void SetUp() override
    {
        ScratchRootTest::SetUp();
        moduleState = get_or_create_module_state();
        if (!moduleState->commands) create_state_records(moduleState);
        fill_records(OLD);
    }

    static void fill_records(double v)
    {
        *moduleState->commands = {OLD_TEXT, OLD_TEXT};
        *moduleState->lights = {v, v, v, v, v, v, v, v, v, v, v};
        *moduleState->lso = {v, v, v, v, v, v, v, v, v, v, 7.0};
        *moduleState->catapult = {OLD_TEXT, OLD_TEXT, v, v, v};
        EnginePowerPercent = -1;
    }
    static void write_file(const std::vector<std::string>& sections, const char* root = "Parameters")
    {
        std::ofstream out("Gauges/ZEB_Parameters.xml");
        out << "<?xml version=\"1.0\"?>\n<" << root << ">\n";
        for (const std::string& section : sections) out << "  " << section << "\n";
        out << "</" << root << ">\n<SoundFileList><SoundFiles Language=\"English\"/></SoundFileList>\n";
    }
    static int load()
    {
        TiXmlDocument document("./Gauges/ZEB_Parameters.xml");
        return load_parameters_file(document);
    }

    FakePanels fake;
};

TEST_F(ParametersFileTest, CompleteFileFillsEveryFieldOfItsRecord)
{
    write_file(SECTIONS);
    fake.results["(A:ENGINE TYPE, enum)"] = 1;  // jet
    ASSERT_EQ(load(), 0);
    EXPECT_TRUE(errorLines.empty());

    const LightParameters& l = *moduleState->lights;
    const LsoParameters& o = *moduleState->lso;
    const CatapultParameters& c = *moduleState->catapult;
    // WO_Duration comes with WaveOff but sits after the Meatball values.
    const std::pair<double, double> read[] = {
        {l.Dist_Check_WaveOff, 0.3}, {l.GS_Error_Max, 1.1}, {l.GS_Error_Min, -1.2}, {l.LOC_Error_Max, 1.5},
        {l.LOC_Error_Min, -1.6}, {l.Dist_Activation, 1.0}, {l.Meatball_GS_Max, 0.75}, {l.Meatball_GS_Min, -0.8},
        {l.Meatball_Power, 1.3}, {l.WO_Duration, 4}, {l.PowerLight_Duration, 3}, {c.Speed_Margin, 15},
        {c.Catapult_Lenght, 90}, {c.Launch_Delay, 2}, {o.Check_CallBall, 0.75}, {o.Check_Altitude_1, 0.6},
        {o.Check_LOC_1, 0.55}, {o.Check_Altitude_2, 0.45}, {o.Check_LOC_2, 0.4}, {o.Check_Altitude_3, 0.25},
        {o.Check_LOC_3, 0.2}, {o.TooHigh_Angle, 0.5}, {o.TooLow_Angle, -0.55}, {o.LOC_Angle, 1.2},
        {o.ApproachGaugeSetting, 0.0}};
    for (const auto& [actual, expected] : read) EXPECT_DOUBLE_EQ(actual, expected);
    EXPECT_EQ(moduleState->commands->ToggleInput, "Shift+T");
    EXPECT_EQ(moduleState->commands->RefuelInput, "Shift+R");
    EXPECT_EQ(c.Catapult_sound_file, "cat.wav");
    EXPECT_EQ(c.Launch_Input, "joystick:0:button:3");
    EXPECT_EQ(EnginePowerPercent, 90);  // "90.7" read as an integer
}

TEST_F(ParametersFileTest, UnreadableFileWritesTwoLinesAndChangesNothing)
{
    const char* const texts[] = {"", "<Parameters><WaveOff WO_Duration=\"4\"></Parameters>", nullptr};
    for (const char* text : texts) {
        SCOPED_TRACE(text ? text : "no file");
        std::filesystem::remove("Gauges/ZEB_Parameters.xml");
        if (text) std::ofstream("Gauges/ZEB_Parameters.xml") << text;
        errorLines.clear();
        TiXmlDocument expected("./Gauges/ZEB_Parameters.xml");
        ASSERT_FALSE(expected.LoadFile());

        EXPECT_EQ(load(), 1);
        EXPECT_EQ(errorLines, (std::vector<std::string>{"erreur lors du chargement",
                                                        "error #" + std::to_string(expected.ErrorId()) + " : " +
                                                            expected.ErrorDesc()}));
        EXPECT_EQ(moduleState->lights->WO_Duration, OLD);
        EXPECT_EQ(moduleState->lso->ApproachGaugeSetting, 7.0);
        EXPECT_TRUE(fake.executed.empty());
    }
    EXPECT_EQ(errorLines.back(), "error #2 : Failed to open file");  // the missing file, last
}

// A missing section stops the reading there: earlier sections are read, later
// ones keep their values, and the power-light setting is not reset. Index 6
// stands for a file whose root is not Parameters.
TEST_F(ParametersFileTest, MissingSectionStopsReadingAtThatSection)
{
    const std::function<bool()> sectionRead[] = {
        [] { return moduleState->commands->RefuelInput == "Shift+R"; },
        [] { return moduleState->lights->WO_Duration == 4.0 && moduleState->lights->GS_Error_Max == 1.1; },
        [] { return moduleState->lights->PowerLight_Duration == 3.0; },
        [] { return moduleState->catapult->Launch_Input == "joystick:0:button:3" && EnginePowerPercent == 91; },
        [] { return moduleState->lso->Check_LOC_3 == 0.2; },
        [] { return moduleState->lso->LOC_Angle == 1.2; },
    };
    for (size_t missing = 0; missing <= SECTIONS.size(); ++missing) {
        SCOPED_TRACE("missing section " + std::to_string(missing));
        std::vector<std::string> present = SECTIONS;
        if (missing < SECTIONS.size()) present.erase(present.begin() + missing);
        write_file(present, missing < SECTIONS.size() ? "Parameters" : "Settings");
        fill_records(OLD);
        errorLines.clear();

        EXPECT_EQ(load(), 2);
        EXPECT_EQ(errorLines, std::vector<std::string>{"no node found"});
        for (size_t i = 0; i < SECTIONS.size(); ++i)
            EXPECT_EQ(sectionRead[i](), i < missing && missing < SECTIONS.size()) << "section " << i;
        EXPECT_EQ(moduleState->lso->ApproachGaugeSetting, 7.0);
    }
}

TEST_F(ParametersFileTest, EngineTypeChoosesThePowerAttribute)
{
    // {host's engine type, or -1 when it gives none; EnginePowerPercent}
    const std::pair<int, int32_t> cases[] = {{0, 91}, {1, 90}, {5, 88}, {2, 80}, {3, 80}, {-1, 91}};
    write_file(SECTIONS);
    for (const auto& [engineType, expected] : cases) {
        SCOPED_TRACE(engineType);
        fake.results.clear();
        fake.executed.clear();
        if (engineType >= 0) fake.results["(A:ENGINE TYPE, enum)"] = engineType;
        EXPECT_EQ(load(), 0);
        EXPECT_EQ(EnginePowerPercent, expected);
        EXPECT_EQ(fake.executed, std::vector<std::string>{"(A:ENGINE TYPE, enum)"});
    }
}

TEST_F(ParametersFileTest, AttributeValuesAndDuplicateSections)
{
    // Leading blanks skipped, trailing text ignored; non-numeric and absent
    // values keep the field; texts whole with entities decoded, absent ones
    // empty. A second WaveOff is ignored, and a comment that reads like a
    // section name does not hide that section.
    std::vector<std::string> sections = SECTIONS;
    sections[0] = R"(<Keyboard_Commands ToggleInput="Ctrl+Shift+n &amp; more"/>)";
    sections[1] = R"(<WaveOff Dist_Check_WaveOff=" 0.35" GS_Error_Max="1.25deg" GS_Error_Min="low" LOC_Error_Max=""/>)";
    sections[3] = R"(<Catapult Engine_Jet_Percent=" 85.5 percent"/>)";
    sections.insert(sections.begin() + 2, {R"(<WaveOff WO_Duration="9" LOC_Error_Min="9"/>)", "<!--Meatball-->"});
    write_file(sections);
    fake.results["(A:ENGINE TYPE, enum)"] = 1;

    EXPECT_EQ(load(), 0);
    EXPECT_EQ(moduleState->commands->ToggleInput, "Ctrl+Shift+n & more");
    EXPECT_EQ(moduleState->commands->RefuelInput, "");
    const LightParameters& l = *moduleState->lights;
    EXPECT_DOUBLE_EQ(l.Dist_Check_WaveOff, 0.35);
    EXPECT_DOUBLE_EQ(l.GS_Error_Max, 1.25);
    for (double kept : {l.GS_Error_Min, l.LOC_Error_Max, l.LOC_Error_Min, l.WO_Duration}) EXPECT_EQ(kept, OLD);
    EXPECT_DOUBLE_EQ(l.Dist_Activation, 1.0);
    EXPECT_EQ(EnginePowerPercent, 85);
    EXPECT_EQ(moduleState->catapult->Catapult_Lenght, OLD);
    EXPECT_EQ(moduleState->catapult->Catapult_sound_file, "");
}

// Whole numbers as "%d" reads them, with numbers beyond the 32-bit range
// held at its ends instead of "%d"'s undefined result.
TEST(WholeNumberAttribute, ReadsAsPercentDWithinTheRange)
{
    struct Case { const char* text; bool read; int32_t value; };
    const Case cases[] = {
        {"85", true, 85},           {" \t\n-12x", true, -12},      {"+7.9", true, 7},
        {"2147483647", true, INT32_MAX},   {"2147483648", true, INT32_MAX},
        {"-2147483648", true, INT32_MIN},  {"-99999999999999999999", true, INT32_MIN},
        {"99999999999999999999999", true, INT32_MAX},
        {"", false, 5}, {"-", false, 5}, {"abc", false, 5}, {"- 3", false, 5}, {".5", false, 5},
    };
    for (const Case& c : cases) {
        TiXmlElement element("Catapult");
        element.SetAttribute("Engine_Jet_Percent", c.text);
        int32_t value = 5;
        EXPECT_EQ(query_int32_attribute(&element, "Engine_Jet_Percent", &value), c.read) << c.text;
        EXPECT_EQ(value, c.value) << c.text;
    }
    TiXmlElement element("Catapult");
    int32_t value = 5;
    EXPECT_FALSE(query_int32_attribute(&element, "Engine_Jet_Percent", &value));
    EXPECT_EQ(value, 5);
}

// The bundled file: every value present and numeric, the officer's checks
// inside the lens range and closing in, and a complete English sound list.
TEST_F(ParametersFileTest, BundledFileIsComplete)
{
#ifndef CARRIER_SOURCE_DIR
    GTEST_SKIP() << "source directory unknown";
#else
    std::filesystem::current_path(std::filesystem::path(CARRIER_SOURCE_DIR) / "scenarios/simroot");
    fill_records(std::nan(""));
    ASSERT_EQ(load(), 0);
    EXPECT_TRUE(errorLines.empty());
    const LightParameters& l = *moduleState->lights;
    const LsoParameters& o = *moduleState->lso;
    const CatapultParameters& c = *moduleState->catapult;
    for (double v : {l.Dist_Check_WaveOff, l.GS_Error_Max, l.GS_Error_Min, l.LOC_Error_Max, l.LOC_Error_Min,
                     l.Dist_Activation, l.Meatball_GS_Max, l.Meatball_GS_Min, l.Meatball_Power, l.WO_Duration,
                     l.PowerLight_Duration, o.Check_CallBall, o.Check_Altitude_1, o.Check_LOC_1, o.Check_Altitude_2,
                     o.Check_LOC_2, o.Check_Altitude_3, o.Check_LOC_3, o.TooHigh_Angle, o.TooLow_Angle, o.LOC_Angle,
                     c.Speed_Margin, c.Catapult_Lenght, c.Launch_Delay})
        EXPECT_FALSE(std::isnan(v));
    EXPECT_LT(o.Check_CallBall, l.Dist_Activation);
    EXPECT_TRUE(o.Check_CallBall > o.Check_Altitude_1 && o.Check_Altitude_1 > o.Check_Altitude_2 &&
                o.Check_Altitude_2 > o.Check_Altitude_3 && o.Check_LOC_1 > o.Check_LOC_2 &&
                o.Check_LOC_2 > o.Check_LOC_3);
    EXPECT_TRUE(l.Meatball_GS_Min < 0.0 && l.Meatball_GS_Max > 0.0);
    const KeyboardCommands& k = *moduleState->commands;
    for (const std::string* input : {&k.ToggleInput, &k.RefuelInput, &c.Launch_Input, &c.Catapult_sound_file})
        EXPECT_GT(input->size(), 1u);
    EXPECT_GT(EnginePowerPercent, 0);

    TiXmlDocument document("./Gauges/ZEB_Parameters.xml");
    ASSERT_EQ(load_sound_list(document, "English"), 1);
    const SoundList& s = *moduleState->sounds;
    for (const std::string* text : {&s.Wire1, &s.Wire2, &s.Wire3, &s.Wire4, &s.TooHigh, &s.TooLow, &s.LineUp,
                                    &s.CallBall, &s.WaveOff, &s.Wire1_msg, &s.Wire2_msg, &s.Wire3_msg, &s.Wire4_msg,
                                    &s.TooHigh_msg, &s.TooLow_msg, &s.LineUp_msg, &s.CallBall_msg, &s.WaveOff_msg})
        EXPECT_NE(*text, "none");
#endif
}

}  // namespace
