// Reader of the officer's sound lists in the SoundFileList section of
// "./Gauges/ZEB_Parameters.xml".
#include "config/sound_list.h"

#include <tinyxml.h>

#include "config/xml_file.h"

#include "config/parameters.h"
#include "state/module_state.h"

namespace {

// The eighteen texts of a list, in the order they are copied.
struct SoundAttribute {
    const char* name;
    std::string SoundList::*field;
};

constexpr SoundAttribute SOUND_ATTRIBUTES[] = {
    {"Wire1", &SoundList::Wire1},
    {"Wire2", &SoundList::Wire2},
    {"Wire3", &SoundList::Wire3},
    {"Wire4", &SoundList::Wire4},
    {"TooHigh", &SoundList::TooHigh},
    {"TooLow", &SoundList::TooLow},
    {"LineUp", &SoundList::LineUp},
    {"CallBall", &SoundList::CallBall},
    {"WaveOff", &SoundList::WaveOff},
    {"Wire1_msg", &SoundList::Wire1_msg},
    {"Wire2_msg", &SoundList::Wire2_msg},
    {"Wire3_msg", &SoundList::Wire3_msg},
    {"Wire4_msg", &SoundList::Wire4_msg},
    {"TooHigh_msg", &SoundList::TooHigh_msg},
    {"TooLow_msg", &SoundList::TooLow_msg},
    {"LineUp_msg", &SoundList::LineUp_msg},
    {"CallBall_msg", &SoundList::CallBall_msg},
    {"WaveOff_msg", &SoundList::WaveOff_msg},
};

// Exact match: same length, same bytes, no case folding or trimming. A list
// without a Language attribute belongs to no language.
bool has_language(const TiXmlElement* list, const std::string& language)
{
    const char* value = list->Attribute("Language");
    return value && language == value;
}

}  // namespace

int load_sound_list(TiXmlDocument& document, const std::string& language)
{
    // An unreadable file leaves the current lists in place and still counts
    // as found, so the caller reloads whatever the record already names.
    if (!load_xml_file(document)) {
        report_load_failure(document);
        return 1;
    }

    // The search starts at the first SoundFiles element and goes on through
    // every following sibling element, whatever its name.
    const TiXmlElement* list =
        TiXmlHandle(&document).FirstChildElement("SoundFileList").FirstChildElement("SoundFiles").ToElement();
    if (!list) {
        report_missing_node();
        return 2;
    }
    while (list && !has_language(list, language)) list = list->NextSiblingElement();

    SoundList& sounds = *moduleState->sounds;
    if (!list) {
        for (const SoundAttribute& attribute : SOUND_ATTRIBUTES) sounds.*attribute.field = "none";
        return 0;
    }
    // "none" also stands in for an absent attribute: that call stays silent.
    for (const SoundAttribute& attribute : SOUND_ATTRIBUTES) {
        const char* value = list->Attribute(attribute.name);
        sounds.*attribute.field = value ? value : "none";
    }
    return 1;
}
