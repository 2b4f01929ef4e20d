// Reader of the parameters file "./Gauges/ZEB_Parameters.xml": the input
// definitions, the light and officer thresholds and the catapult values.
//
// Index: [shared error lines] [attribute helpers] [load_parameters_file]
#include "config/parameters.h"

#include <tinyxml.h>

#include "config/xml_file.h"
#include "config/xml_number.h"

#include <string>

#include "module/host_services.h"
#include "platform/process.h"
#include "state/module_state.h"

// [shared error lines] ----------------------------------------------------------

void report_load_failure(const TiXmlDocument& document)
{
    process_error_line("erreur lors du chargement");
    const std::string line =
        "error #" + std::to_string(document.ErrorId()) + " : " + document.ErrorDesc();
    process_error_line(line.c_str());
}

void report_missing_node() { process_error_line("no node found"); }

// [attribute helpers] --------------------------------------------------------------
namespace {

// Engine types of "(A:ENGINE TYPE, enum)" that have their own power attribute.
constexpr int32_t ENGINE_TYPE_PISTON = 0;
constexpr int32_t ENGINE_TYPE_JET = 1;
constexpr int32_t ENGINE_TYPE_TURBOPROP = 5;

// A section is the first element of that name under Parameters, looked up
// from the root every time so that one missing section does not hide the
// ones before it. Elements only: a comment or text that happens to read like
// a section name must not stand in for the section.
const TiXmlElement* find_section(TiXmlDocument& document, const char* name)
{
    return TiXmlHandle(&document).FirstChildElement("Parameters").FirstChildElement(name).ToElement();
}

// Text attributes are stored whole, entities decoded. An absent one becomes
// an empty text: no input is mapped for it and no sound is loaded from it.
void read_text(const TiXmlElement* section, const char* name, std::string& field)
{
    const char* value = section->Attribute(name);
    field = value ? value : "";
}

// Numbers take the value that begins the attribute text ("%lf"); an absent
// attribute or one that does not start with a number leaves `field` as it was.
void read_double(const TiXmlElement* section, const char* name, double& field)
{
    section->QueryDoubleAttribute(name, &field);
}

// The engine power a launch needs depends on the user aircraft's engine type
// at load time: piston, jet and turboprop have their own attribute, every
// other type (none, helicopter turbine, rocket...) shares Other_Percent.
const char* engine_power_attribute()
{
    int32_t engineType = 0;  // stays 0 (piston) when the host cannot evaluate it
    execute_calculator_code("(A:ENGINE TYPE, enum)", nullptr, &engineType, nullptr);
    switch (engineType) {
    case ENGINE_TYPE_PISTON: return "Engine_Prop_Percent";
    case ENGINE_TYPE_JET: return "Engine_Jet_Percent";
    case ENGINE_TYPE_TURBOPROP: return "Engine_Turbo_Percent";
    default: return "Other_Percent";
    }
}

}  // namespace

// [load_parameters_file] -------------------------------------------------------------

int load_parameters_file(TiXmlDocument& document)
{
    if (!load_xml_file(document)) {
        report_load_failure(document);
        return 1;
    }

    const TiXmlElement* section = find_section(document, "Keyboard_Commands");
    if (!section) {
        report_missing_node();
        return 2;
    }
    KeyboardCommands& commands = *moduleState->commands;
    read_text(section, "ToggleInput", commands.ToggleInput);
    read_text(section, "RefuelInput", commands.RefuelInput);

    // WO_Duration belongs to this section in the file but sits after the
    // Meatball values in LightParameters.
    section = find_section(document, "WaveOff");
    if (!section) {
        report_missing_node();
        return 2;
    }
    LightParameters& lights = *moduleState->lights;
    read_double(section, "Dist_Check_WaveOff", lights.Dist_Check_WaveOff);
    read_double(section, "GS_Error_Max", lights.GS_Error_Max);
    read_double(section, "GS_Error_Min", lights.GS_Error_Min);
    read_double(section, "LOC_Error_Max", lights.LOC_Error_Max);
    read_double(section, "LOC_Error_Min", lights.LOC_Error_Min);
    read_double(section, "WO_Duration", lights.WO_Duration);

    section = find_section(document, "Meatball");
    if (!section) {
        report_missing_node();
        return 2;
    }
    read_double(section, "Dist_Activation", lights.Dist_Activation);
    read_double(section, "Meatball_GS_Max", lights.Meatball_GS_Max);
    read_double(section, "Meatball_GS_Min", lights.Meatball_GS_Min);
    read_double(section, "Meatball_Power", lights.Meatball_Power);
    read_double(section, "PowerLight_Duration", lights.PowerLight_Duration);

    section = find_section(document, "Catapult");
    if (!section) {
        report_missing_node();
        return 2;
    }
    CatapultParameters& catapult = *moduleState->catapult;
    read_double(section, "Speed_Margin", catapult.Speed_Margin);
    read_double(section, "Catapult_Lenght", catapult.Catapult_Lenght);
    read_double(section, "Launch_Delay", catapult.Launch_Delay);
    read_text(section, "Catapult_sound_file", catapult.Catapult_sound_file);
    // Integer query, as "%d" reads: a text of 85.5 gives 85.
    query_int32_attribute(section, engine_power_attribute(), &EnginePowerPercent);
    read_text(section, "Launch_Input", catapult.Launch_Input);

    section = find_section(document, "LSO_Distance_Check");
    if (!section) {
        report_missing_node();
        return 2;
    }
    LsoParameters& lso = *moduleState->lso;
    read_double(section, "Check_CallBall", lso.Check_CallBall);
    read_double(section, "Check_Altitude_1", lso.Check_Altitude_1);
    read_double(section, "Check_LOC_1", lso.Check_LOC_1);
    read_double(section, "Check_Altitude_2", lso.Check_Altitude_2);
    read_double(section, "Check_LOC_2", lso.Check_LOC_2);
    read_double(section, "Check_Altitude_3", lso.Check_Altitude_3);
    read_double(section, "Check_LOC_3", lso.Check_LOC_3);

    section = find_section(document, "LSO_Thresholds");
    if (!section) {
        report_missing_node();
        return 2;
    }
    read_double(section, "TooHigh_Angle", lso.TooHigh_Angle);
    read_double(section, "TooLow_Angle", lso.TooLow_Angle);
    read_double(section, "LOC_Angle", lso.LOC_Angle);

    // The approach control gauge sets its own threshold after this (its
    // pre-install service); until then the power light stays disabled.
    lso.ApproachGaugeSetting = 0.0;
    return 0;
}
