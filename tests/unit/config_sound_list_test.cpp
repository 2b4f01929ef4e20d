// The officer's sound-list reader against small parameters files written into
// a scratch simulator root.
#include <gtest/gtest.h>
#include <tinyxml.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "config/sound_list.h"
#include "host/process_services.h"
#include "scratch_root.h"
#include "state/module_state.h"

namespace {

// Attribute name and the SoundList field it must land in.
const std::pair<const char*, std::string SoundList::*> FIELDS[] = {
    {"Wire1", &SoundList::Wire1}, {"Wire2", &SoundList::Wire2}, {"Wire3", &SoundList::Wire3},
    {"Wire4", &SoundList::Wire4}, {"TooHigh", &SoundList::TooHigh}, {"TooLow", &SoundList::TooLow},
    {"LineUp", &SoundList::LineUp}, {"CallBall", &SoundList::CallBall}, {"WaveOff", &SoundList::WaveOff},
    {"Wire1_msg", &SoundList::Wire1_msg}, {"Wire2_msg", &SoundList::Wire2_msg},
    {"Wire3_msg", &SoundList::Wire3_msg}, {"Wire4_msg", &SoundList::Wire4_msg},
    {"TooHigh_msg", &SoundList::TooHigh_msg}, {"TooLow_msg", &SoundList::TooLow_msg},
    {"LineUp_msg", &SoundList::LineUp_msg}, {"CallBall_msg", &SoundList::CallBall_msg},
    {"WaveOff_msg", &SoundList::WaveOff_msg},
};

// A list whose every value is "<tag>:<attribute>", so both the list chosen and
// the field each value went to can be checked.
std::string list(const std::string& element, const char* language, const std::string& tag)
{
    std::string text = "<" + element + (language ? std::string(" Language=\"") + language + "\"" : "");
    for (const auto& [name, field] : FIELDS) text += std::string(" ") + name + "=\"" + tag + ":" + name + "\"";
    return text + "/>";
}

class SoundListTest : public ScratchRootTest {
protected:
    void SetUp() override
    {
        ScratchRootTest::SetUp();
        moduleState = get_or_create_module_state();
        if (!moduleState->sounds) create_state_records(moduleState);
        for (const auto& [name, field] : FIELDS) moduleState->sounds->*field = std::string("previous:") + name;
        moduleState->sounds->soundReloadNeeded = 1;
    }

    static void write_lists(const std::vector<std::string>& lists)
    {
        std::ofstream out("Gauges/ZEB_Parameters.xml");
        out << "<?xml version=\"1.0\"?>\n<Parameters/>\n<SoundFileList>\n";
        for (const std::string& l : lists) out << "  " << l << "\n";
        out << "</SoundFileList>\n";
    }
    static int load(const std::string& language)
    {
        TiXmlDocument document("./Gauges/ZEB_Parameters.xml");
        return load_sound_list(document, language);
    }
    // The tag of the list the record holds, "none" when every text is "none",
    // "mixed" when the texts are not one list's, each in its own field.
    static std::string loaded_tag()
    {
        const SoundList& sounds = *moduleState->sounds;
        const std::string& first = sounds.*FIELDS[0].second;
        const std::string tag = first.substr(0, first.find(':'));
        for (const auto& [name, field] : FIELDS)
            if (sounds.*field != (tag == "none" ? tag : tag + ":" + name)) return "mixed";
        return tag;
    }

};

TEST_F(SoundListTest, LanguageSelectsTheFirstExactlyEqualList)
{
    struct Case {
        std::vector<std::string> lists;
        const char* language;
        const char* expected;  // tag of the list read; "none" for no match
    };
    const Case cases[] = {
        {{list("SoundFiles", "English", "en"), list("SoundFiles", "French", "fr")}, "English", "en"},
        {{list("SoundFiles", "English", "en"), list("Voices", "French", "fr")}, "French", "fr"},
        {{list("SoundFiles", "English", "en1"), list("SoundFiles", "English", "en2")}, "English", "en1"},
        {{list("SoundFiles", "english", "lower")}, "English", "none"},
        {{list("SoundFiles", "English ", "blank")}, "English", "none"},
        {{list("SoundFiles", "Eng", "short")}, "English", "none"},
        {{list("SoundFiles", nullptr, "bare")}, "", "none"},  // no Language: no language's list
        {{list("SoundFiles", "", "empty")}, "", "empty"},
        // Elements before the first SoundFiles are not searched.
        {{list("Voices", "French", "early"), list("SoundFiles", "English", "en")}, "French", "none"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lists.front() + " / " + c.language);
        write_lists(c.lists);
        EXPECT_EQ(load(c.language), std::string(c.expected) == "none" ? 0 : 1);
        EXPECT_EQ(loaded_tag(), c.expected);
        EXPECT_EQ(moduleState->sounds->soundReloadNeeded, 1);  // the carrier lookup's business
    }
    EXPECT_TRUE(errorLines.empty());
}

TEST_F(SoundListTest, AbsentValueOfAFoundListReadsNone)
{
    write_lists({R"(<SoundFiles Language="English" Wire3="w3.wav" Wire3_msg="LSO: &quot;Three wire&quot;"/>)"});
    EXPECT_EQ(load("English"), 1);
    const SoundList& s = *moduleState->sounds;
    EXPECT_EQ(s.Wire3 + "|" + s.Wire3_msg + "|" + s.Wire1 + "|" + s.CallBall_msg,
              "w3.wav|LSO: \"Three wire\"|none|none");
}

TEST_F(SoundListTest, MissingFileOrSectionLeavesTheListsAlone)
{
    const std::pair<const char*, int> cases[] = {
        {nullptr, 1},  // no file
        {"<Parameters><SoundFiles Language=\"English\"/></Parameters>", 2},
        {"<SoundFileList><Voices Language=\"English\"/></SoundFileList>", 2},
    };
    for (const auto& [text, result] : cases) {
        SCOPED_TRACE(text ? text : "no file");
        std::filesystem::remove("Gauges/ZEB_Parameters.xml");
        if (text) std::ofstream("Gauges/ZEB_Parameters.xml") << text;
        errorLines.clear();

        EXPECT_EQ(load("English"), result);
        const std::vector<std::string> expected =
            result == 1 ? std::vector<std::string>{"erreur lors du chargement", "error #2 : Failed to open file"}
                        : std::vector<std::string>{"no node found"};
        EXPECT_EQ(errorLines, expected);
        EXPECT_EQ(loaded_tag(), "previous");
    }
}

}  // namespace
