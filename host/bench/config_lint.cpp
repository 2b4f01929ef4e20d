// The configuration linter. The readers it mirrors are config/parameters.cpp,
// config/carrier_list.cpp and config/sound_list.cpp; the tables below list
// what they read, with the range a sensible file keeps each value in.
//
// Index: [names and numbers] [tables] [parameters file] [sound lists]
//        [carrier list] [public]
#include "host/bench/config_lint.h"
#include "host/record/deck_picture.h"

#include "config/xml_number.h"

#include <tinyxml.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <set>

#include "host/simconnect/simconnect_server.h"
#include "host/xml_document.h"

namespace host {
namespace {

namespace fs = std::filesystem;

// [names and numbers] -----------------------------------------------------------
std::string lower(std::string_view text)
{
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// Optimal string alignment distance (edits and adjacent transpositions).
size_t edit_distance(const std::string& a, const std::string& b)
{
    const size_t n = a.size(), m = b.size();
    std::vector<std::vector<size_t>> d(n + 1, std::vector<size_t>(m + 1));
    for (size_t i = 0; i <= n; ++i) d[i][0] = i;
    for (size_t j = 0; j <= m; ++j) d[0][j] = j;
    for (size_t i = 1; i <= n; ++i) {
        for (size_t j = 1; j <= m; ++j) {
            const size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[n][m];
}

// How the module's number queries read a text: the number that begins it
// (leading blanks skipped, "%lf"), nothing when it does not begin with one.
struct ReadNumber {
    double value = 0.0;
    std::string rest;  // what follows the number, ignored by the module
};

std::optional<ReadNumber> read_number(const char* text)
{
    double value = 0.0;
    int used = 0;
    if (std::sscanf(text, "%lf%n", &value, &used) != 1) return std::nullopt;
    ReadNumber out{value, std::string(text + used)};
    while (!out.rest.empty() && std::isspace(static_cast<unsigned char>(out.rest.back()))) out.rest.pop_back();
    while (!out.rest.empty() && std::isspace(static_cast<unsigned char>(out.rest.front()))) out.rest.erase(0, 1);
    return out;
}

std::string number_text(double value)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", value);
    return buffer;
}

// [tables] ---------------------------------------------------------------------------
enum class Kind { Text, Double, Integer, Input, SoundFile };

struct AttrSpec {
    const char* name;
    Kind kind;
    double low;   // plausible range of a number, inclusive
    double high;
    const char* unit;
};

struct SectionSpec {
    const char* name;
    std::vector<AttrSpec> attributes;
};

constexpr double ANY = 1e300;

// The sections of Parameters, in the order the module reads them.
const std::vector<SectionSpec>& parameter_sections()
{
    static const std::vector<SectionSpec> sections = {
        {"Keyboard_Commands", {{"ToggleInput", Kind::Input, 0, 0, ""}, {"RefuelInput", Kind::Input, 0, 0, ""}}},
        {"WaveOff",
         {{"Dist_Check_WaveOff", Kind::Double, 0.05, 5, "nm"},
          {"GS_Error_Max", Kind::Double, 0.05, 10, "deg"},
          {"GS_Error_Min", Kind::Double, -10, -0.05, "deg"},
          {"LOC_Error_Max", Kind::Double, 0.05, 20, "deg"},
          {"LOC_Error_Min", Kind::Double, -20, -0.05, "deg"},
          {"WO_Duration", Kind::Double, 0.5, 60, "s"}}},
        {"Meatball",
         {{"Dist_Activation", Kind::Double, 0.1, 10, "nm"},
          {"Meatball_GS_Max", Kind::Double, 0.05, 10, "deg"},
          {"Meatball_GS_Min", Kind::Double, -10, -0.05, "deg"},
          {"Meatball_Power", Kind::Double, 0.1, 10, ""},
          {"PowerLight_Duration", Kind::Double, 0.5, 60, "s"}}},
        {"Catapult",
         {{"Speed_Margin", Kind::Double, 0, 100, "kt"},
          {"Catapult_Lenght", Kind::Double, 10, 500, "m"},
          {"Launch_Delay", Kind::Double, 0, 60, "s"},
          {"Catapult_sound_file", Kind::SoundFile, 0, 0, ""},
          {"Engine_Prop_Percent", Kind::Integer, 1, 110, "%"},
          {"Engine_Jet_Percent", Kind::Integer, 1, 110, "%"},
          {"Engine_Turbo_Percent", Kind::Integer, 1, 110, "%"},
          {"Other_Percent", Kind::Integer, 1, 110, "%"},
          {"Launch_Input", Kind::Input, 0, 0, ""}}},
        {"LSO_Distance_Check",
         {{"Check_CallBall", Kind::Double, 0.05, 10, "nm"},
          {"Check_Altitude_1", Kind::Double, 0.05, 10, "nm"},
          {"Check_LOC_1", Kind::Double, 0.05, 10, "nm"},
          {"Check_Altitude_2", Kind::Double, 0.05, 10, "nm"},
          {"Check_LOC_2", Kind::Double, 0.05, 10, "nm"},
          {"Check_Altitude_3", Kind::Double, 0.05, 10, "nm"},
          {"Check_LOC_3", Kind::Double, 0.05, 10, "nm"}}},
        {"LSO_Thresholds",
         {{"TooHigh_Angle", Kind::Double, 0.05, 10, "deg"},
          {"TooLow_Angle", Kind::Double, -10, -0.05, "deg"},
          {"LOC_Angle", Kind::Double, 0.05, 20, "deg"}}},
    };
    return sections;
}

const char* const SOUND_CALLS[] = {"Wire1", "Wire2", "Wire3", "Wire4", "TooHigh",
                                   "TooLow", "LineUp", "CallBall", "WaveOff"};

// Carrier list attributes. `types`: 1 read for ships, 2 for fixed sites, 3 both.
// `keeps`: an absent number keeps the previous carrier's value (read straight
// into the record) rather than reading as 0.
struct EntryAttr {
    const char* name;
    Kind kind;
    int types;
    double low;
    double high;
    const char* unit;
    bool keeps;
};

const std::vector<EntryAttr>& entry_attributes()
{
    static const std::vector<EntryAttr> attrs = {
        {"Frequency", Kind::Double, 3, 108.0, 117.95, "MHz", false},
        {"Name", Kind::Text, 3, 0, 0, "", false},
        {"CarrierType", Kind::Integer, 3, 1, 2, "", false},
        {"Sim_Name", Kind::Text, 1, 0, 0, "", false},
        {"Sim_Name_Helo", Kind::Text, 1, 0, 0, "", false},
        {"Language", Kind::Text, 3, 0, 0, "", false},
        {"Helo_Bearing", Kind::Double, 1, -360, 360, "deg", true},
        {"Helo_Distance", Kind::Double, 1, 0, 5000, "m", true},
        {"GS_Angle", Kind::Double, 3, 1, 6, "deg", true},
        {"RunwayAngle", Kind::Double, 3, -30, 360, "deg", true},  // per-type ranges below
        {"ILS_Xcoord", Kind::Double, 1, -200, 200, "m", true},
        {"ILS_Ycoord", Kind::Double, 1, -10, 150, "m", true},
        {"ILS_Zcoord", Kind::Double, 1, -300, 300, "m", true},
        {"TCN_Xcoord", Kind::Double, 1, -200, 200, "m", true},
        {"TCN_Ycoord", Kind::Double, 1, -10, 150, "m", true},
        {"TCN_Zcoord", Kind::Double, 1, -300, 300, "m", true},
        {"FLOLS_Name", Kind::Text, 2, 0, 0, "", false},
        {"Alt", Kind::Double, 2, -1500, 15000, "ft", false},
        {"Lat_coord", Kind::Double, 2, -90, 90, "deg", false},
        {"Lon_coord", Kind::Double, 2, -180, 180, "deg", false},
        {"Lat_FLOLS", Kind::Double, 2, -90, 90, "deg", true},
        {"Lon_FLOLS", Kind::Double, 2, -180, 180, "deg", true},
    };
    return attrs;
}

template <typename T>
std::vector<std::string> names_of(const std::vector<T>& rows)
{
    std::vector<std::string> out;
    for (const auto& row : rows) out.emplace_back(row.name);
    return out;
}

// [parameters file] ----------------------------------------------------------------
class Linter {
public:
    explicit Linter(std::string sim_root) : root_(std::move(sim_root)) {}

    LintReport run()
    {
        lint_parameters_file();
        lint_carrier_list();
        return std::move(report_);
    }

private:
    void add(const std::string& file, int line, LintLevel level, std::string message)
    {
        report_.findings.push_back({file, line, level, std::move(message)});
    }
    void warn(const std::string& file, int line, std::string message)
    {
        add(file, line, LintLevel::Warning, std::move(message));
    }

    std::string gauges_file(const char* name) const { return (fs::path(root_) / "Gauges" / name).string(); }

    // Loads `path`; an error finding when it cannot be read as XML.
    bool load(TiXmlDocument& doc, const std::string& path)
    {
        XmlLoadFailure failure;
        if (load_xml_document(doc, &failure)) return true;
        if (failure.cannot_open)
            add(path, 0, LintLevel::Error, "cannot open the file (" + failure.what + "): the module reads nothing from it");
        else
            add(path, failure.line, LintLevel::Error,
                "not well-formed XML (" + failure.what + "): the module reads nothing from it");
        return false;
    }

    // Reports an element name nobody reads, with the nearest known one.
    void unknown_element(const std::string& file, const TiXmlElement* e, const std::string& where,
                         const std::vector<std::string>& known)
    {
        std::string message = "unknown element <" + std::string(e->Value()) + "> in " + where + ": not read";
        const std::string near = nearest_name(e->Value(), known);
        if (!near.empty()) message = "unknown element " + std::string(e->Value()) + ": did you mean " + near + "? (" + where + ", not read)";
        warn(file, e->Row(), message);
    }

    void unknown_attribute(const std::string& file, const TiXmlElement* e, const TiXmlAttribute* a,
                           const std::vector<std::string>& known)
    {
        const std::string near = nearest_name(a->Name(), known);
        std::string message = "<" + std::string(e->Value()) + "> attribute " + a->Name();
        if (!near.empty())
            message = std::string(a->Name()) + ": did you mean " + near + "? (<" + e->Value() + "> attribute not read)";
        else
            message += " is not read by the module";
        warn(file, a->Row(), message);
    }

    // Checks a number attribute that is present; returns the number the module reads.
    std::optional<double> check_number(const std::string& file, const TiXmlElement* e, const TiXmlAttribute* a,
                                       Kind kind, double low, double high, const char* unit,
                                       const std::string& when_unread)
    {
        const auto read = read_number(a->Value());
        if (!read) {
            warn(file, a->Row(), std::string(a->Name()) + "=\"" + a->Value() + "\" is not a number: " + when_unread);
            return std::nullopt;
        }
        double value = read->value;
        if (!std::isfinite(value)) {
            warn(file, a->Row(), std::string(a->Name()) + "=\"" + a->Value() + "\" is not a finite number");
            return std::nullopt;
        }
        if (!read->rest.empty())
            warn(file, a->Row(), std::string(a->Name()) + "=\"" + a->Value() + "\": the module reads " +
                                     number_text(value) + " and ignores \"" + read->rest + "\"");
        if (kind == Kind::Integer) {
            if (value != std::trunc(value))
                warn(file, a->Row(), std::string(a->Name()) + "=\"" + a->Value() + "\" is a whole number: the module reads " +
                                         number_text(std::trunc(value)));
            value = std::trunc(value);
        }
        if (low > -ANY && (value < low || value > high))
            warn(file, a->Row(), std::string(a->Name()) + "=" + number_text(value) + (unit[0] ? std::string(" ") + unit : "") +
                                     " is outside the plausible range " + number_text(low) + " to " + number_text(high));
        return value;
    }

    void check_sound_file(const std::string& file, const TiXmlAttribute* a)
    {
        const std::string path = a->Value();
        if (path.empty() || path == "none") return;
        std::error_code ec;
        if (!fs::is_regular_file(fs::path(root_) / path, ec))
            warn(file, a->Row(), std::string(a->Name()) + ": the sound file \"" + path + "\" does not exist under " + root_);
    }

    const TiXmlAttribute* attribute(const TiXmlElement* e, const char* name)
    {
        for (const TiXmlAttribute* a = e->FirstAttribute(); a; a = a->Next())
            if (std::string(a->Name()) == name) return a;
        return nullptr;
    }

    void lint_section(const std::string& file, const TiXmlElement* e, const SectionSpec& rule,
                      std::map<std::string, double>& values)
    {
        const std::vector<std::string> known = names_of(rule.attributes);
        for (const TiXmlAttribute* a = e->FirstAttribute(); a; a = a->Next())
            if (std::find(known.begin(), known.end(), a->Name()) == known.end()) unknown_attribute(file, e, a, known);
        if (e->GetText()) warn(file, e->Row(), "<" + std::string(rule.name) + "> has element text: values are attributes; the text is not read");
        for (const AttrSpec& attr : rule.attributes) {
            const TiXmlAttribute* a = attribute(e, attr.name);
            const bool engine = std::string(attr.name).find("Percent") != std::string::npos;
            if (!a) {
                std::string what;
                switch (attr.kind) {
                case Kind::Input: what = "read as an empty text, so this input is not bound"; break;
                case Kind::SoundFile: what = "read as an empty text, so the catapult is silent"; break;
                case Kind::Text: what = "read as an empty text"; break;
                default:
                    what = engine ? "an aircraft of that engine type needs launch power above 0 % (any)"
                                  : "the module keeps the start value 0";
                }
                warn(file, e->Row(), "<" + std::string(rule.name) + "> lacks " + attr.name + ": " + what);
                continue;
            }
            if (attr.kind == Kind::Input) {
                const std::string text = a->Value();
                std::string why;
                if (text.size() <= 1)
                    warn(file, a->Row(), std::string(attr.name) + "=\"" + text + "\" binds nothing (one character or less)");
                else if (!check_input_definition(text, &why))
                    warn(file, a->Row(), std::string(attr.name) + "=\"" + text + "\" is not an input the simulator binds: " + why);
            } else if (attr.kind == Kind::SoundFile) {
                check_sound_file(file, a);
            } else if (attr.kind == Kind::Double || attr.kind == Kind::Integer) {
                const auto v = check_number(file, e, a, attr.kind, attr.low, attr.high, attr.unit,
                                            "the module keeps the start value 0");
                if (v) values[attr.name] = *v;
            }
        }
    }

    void lint_parameters_file()
    {
        const std::string file = gauges_file("ZEB_Parameters.xml");
        TiXmlDocument doc(file.c_str());
        if (!load(doc, file)) return;

        const std::vector<std::string> top_known = {"Parameters", "SoundFileList"};
        std::set<std::string> seen_top;
        const TiXmlElement* parameters = nullptr;
        for (const TiXmlElement* e = doc.FirstChildElement(); e; e = e->NextSiblingElement()) {
            const std::string name = e->Value();
            if (std::find(top_known.begin(), top_known.end(), name) == top_known.end()) {
                unknown_element(file, e, "the top level", top_known);
            } else if (!seen_top.insert(name).second) {
                warn(file, e->Row(), "a second <" + name + ">: only the first is read");
            } else if (name == "Parameters") {
                parameters = e;
            }
        }
        if (!parameters) {
            add(file, 0, LintLevel::Error, "no <Parameters> element: the module reads no parameters (\"no node found\")");
        } else {
            lint_parameters(file, parameters);
        }
        lint_sound_lists(file, doc);
    }

    void lint_parameters(const std::string& file, const TiXmlElement* parameters)
    {
        const auto& sections = parameter_sections();
        const std::vector<std::string> known = names_of(sections);
        std::map<std::string, const TiXmlElement*> first;
        for (const TiXmlElement* e = parameters->FirstChildElement(); e; e = e->NextSiblingElement()) {
            const std::string name = e->Value();
            if (std::find(known.begin(), known.end(), name) == known.end())
                unknown_element(file, e, "<Parameters>", known);
            else if (first.count(name))
                warn(file, e->Row(), "a second <" + name + ">: only the first is read");
            else
                first[name] = e;
        }
        std::map<std::string, double> values;
        for (size_t i = 0; i < sections.size(); ++i) {
            auto it = first.find(sections[i].name);
            if (it == first.end()) {
                std::string rest;
                for (size_t j = i + 1; j < sections.size(); ++j) rest += std::string(j == i + 1 ? "" : ", ") + sections[j].name;
                add(file, parameters->Row(), LintLevel::Error,
                    "<Parameters> lacks <" + std::string(sections[i].name) + ">: the module stops reading there (\"no node found\")" +
                        (rest.empty() ? std::string() : "; " + rest + " keep their start values"));
                return;
            }
            lint_section(file, it->second, sections[i], values);
        }
        // Relations between the values.
        const auto activation = values.find("Dist_Activation");
        if (activation != values.end()) {
            for (const char* check : {"Check_CallBall", "Check_Altitude_1", "Check_LOC_1", "Check_Altitude_2", "Check_LOC_2",
                                      "Check_Altitude_3", "Check_LOC_3"}) {
                auto v = values.find(check);
                if (v != values.end() && v->second >= activation->second)
                    warn(file, first["LSO_Distance_Check"]->Row(),
                         std::string(check) + "=" + number_text(v->second) + " nm is not inside Dist_Activation=" +
                             number_text(activation->second) + " nm: the officer is not watching there, the check never speaks");
            }
        }
        auto pair_order = [&](const char* high, const char* low, const char* section) {
            auto h = values.find(high), l = values.find(low);
            if (h != values.end() && l != values.end() && h->second <= l->second)
                warn(file, first[section]->Row(), std::string(high) + " is not above " + low + ": the window is empty");
        };
        pair_order("GS_Error_Max", "GS_Error_Min", "WaveOff");
        pair_order("LOC_Error_Max", "LOC_Error_Min", "WaveOff");
        pair_order("Meatball_GS_Max", "Meatball_GS_Min", "Meatball");
    }

    // [sound lists] ---------------------------------------------------------------------
    void lint_sound_lists(const std::string& file, TiXmlDocument& doc)
    {
        const TiXmlElement* list = doc.FirstChildElement("SoundFileList");
        if (!list) {
            warn(file, 0, "no <SoundFileList>: no carrier gets the officer's sounds or texts (\"no node found\" at every tuning)");
            return;
        }
        const TiXmlElement* first = list->FirstChildElement("SoundFiles");
        if (!first) {
            warn(file, list->Row(), "<SoundFileList> has no <SoundFiles>: the lists are never read (\"no node found\")");
            return;
        }
        for (const TiXmlElement* e = list->FirstChildElement(); e && e != first; e = e->NextSiblingElement())
            warn(file, e->Row(), "<" + std::string(e->Value()) +
                                     "> comes before the first <SoundFiles>: the module never searches it");
        std::vector<std::string> known = {"Language"};
        for (const char* call : SOUND_CALLS) known.emplace_back(call);
        for (const char* call : SOUND_CALLS) known.push_back(std::string(call) + "_msg");
        std::map<std::string, int> languages;
        for (const TiXmlElement* e = first; e; e = e->NextSiblingElement()) {
            for (const TiXmlAttribute* a = e->FirstAttribute(); a; a = a->Next())
                if (std::find(known.begin(), known.end(), a->Name()) == known.end()) unknown_attribute(file, e, a, known);
            const char* language = e->Attribute("Language");
            if (!language) {
                warn(file, e->Row(), "<" + std::string(e->Value()) + "> lacks Language: it matches no carrier");
            } else if (languages.count(language)) {
                warn(file, e->Row(), std::string("a second list for Language=\"") + language + "\" (first at line " +
                                         std::to_string(languages[language]) + "): only the first is ever used");
            } else {
                languages[language] = e->Row();
            }
            for (size_t i = 1; i < known.size(); ++i) {
                const TiXmlAttribute* a = attribute(e, known[i].c_str());
                if (!a) {
                    const bool message = known[i].size() > 4 && known[i].compare(known[i].size() - 4, 4, "_msg") == 0;
                    warn(file, e->Row(), "<" + std::string(e->Value()) + "> lacks " + known[i] + ": read as \"none\"" +
                                             (message ? " (the word none is shown with the call)" : " (no sound for the call)"));
                } else if (i <= std::size(SOUND_CALLS)) {
                    check_sound_file(file, a);
                }
            }
        }
        sound_languages_ = languages;
        have_sound_lists_ = true;
    }

    // [carrier list] --------------------------------------------------------------------
    void lint_carrier_list()
    {
        const std::string file = gauges_file("ZEB_Carrier.xml");
        TiXmlDocument doc(file.c_str());
        if (!load(doc, file)) return;
        const TiXmlElement* list = nullptr;
        for (const TiXmlElement* e = doc.FirstChildElement(); e; e = e->NextSiblingElement()) {
            if (std::string(e->Value()) != "CarrierList") unknown_element(file, e, "the top level", {"CarrierList"});
            else if (list) warn(file, e->Row(), "a second <CarrierList>: only the first is read");
            else list = e;
        }
        if (!list || !list->FirstChildElement()) {
            add(file, list ? list->Row() : 0, LintLevel::Error,
                "no <CarrierList> with an entry: no channel selects anything (\"no node found\")");
            return;
        }
        const auto& attrs = entry_attributes();
        const std::vector<std::string> known = names_of(attrs);
        std::map<float, std::pair<int, std::string>> frequencies;  // single precision, as compared
        float working = 0.0f;
        bool keyed_before = false;
        for (const TiXmlElement* e = list->FirstChildElement(); e; e = e->NextSiblingElement()) {
            const int row = e->Row();
            const char* name_text = e->Attribute("Name");
            const std::string label = "<" + std::string(e->Value()) + "> " + (name_text ? "\"" + std::string(name_text) + "\"" : "");
            int type = 0;
            if (const TiXmlAttribute* a = attribute(e, "CarrierType")) {
                if (auto v = check_number(file, e, a, Kind::Integer, -ANY, ANY, "", "read as 0")) type = static_cast<int>(
                    std::clamp(*v, -1e9, 1e9));
            }
            if (type != 1 && type != 2)
                warn(file, row, label + " has CarrierType " + std::to_string(type) +
                                    ": not a ship (1) or a fixed site (2); tuning it only renames the previous selection");
            const int type_bit = type == 1 ? 1 : type == 2 ? 2 : 0;
            for (const TiXmlAttribute* a = e->FirstAttribute(); a; a = a->Next()) {
                auto rule = std::find_if(attrs.begin(), attrs.end(), [&](const EntryAttr& r) { return a->Name() == std::string(r.name); });
                if (rule == attrs.end()) {
                    unknown_attribute(file, e, a, known);
                    continue;
                }
                if (type_bit && !(rule->types & type_bit)) {
                    warn(file, a->Row(), std::string(a->Name()) + " is not read for " +
                                             (type == 1 ? "a ship (CarrierType 1)" : "a fixed site (CarrierType 2)"));
                    continue;
                }
                if (rule->kind == Kind::Double && std::string(rule->name) != "Frequency") {
                    double low = rule->low, high = rule->high;
                    if (std::string(rule->name) == "RunwayAngle") {
                        low = type == 2 ? 0 : -30;
                        high = type == 2 ? 360 : 30;
                    }
                    check_number(file, e, a, Kind::Double, low, high, rule->unit,
                                 rule->keeps ? "the value of the carrier tuned before stays" : "read as 0");
                }
            }
            // Frequency, as the module compares it.
            std::optional<double> frequency;
            if (const TiXmlAttribute* a = attribute(e, "Frequency")) {
                frequency = check_number(file, e, a, Kind::Double, -ANY, ANY, "MHz", "");
                if (frequency && std::fabs(*frequency) < 1e30) {
                    working = static_cast<float>(*frequency);
                    keyed_before = true;
                    if (!pairs_with_tacan_channel(*frequency))
                        warn(file, a->Row(), "Frequency=" + number_text(*frequency) +
                                                 " MHz pairs with no TACAN channel: the TACAN radio cannot tune it");
                } else {
                    frequency.reset();
                }
            }
            if (!frequency)
                warn(file, row, label + " has no readable Frequency: it takes " +
                                    (keyed_before ? "the frequency of the entry before it and can never be reached"
                                                  : std::string("0 MHz, which no TACAN channel tunes")));
            const auto seen = frequencies.find(working);
            if (seen != frequencies.end())
                warn(file, row, label + " has the frequency " + number_text(working) + " MHz of the entry at line " +
                                    std::to_string(seen->second.first) + " (" + seen->second.second +
                                    "): only the first is ever used");
            else
                frequencies[working] = {row, name_text ? name_text : e->Value()};

            if (!type_bit) continue;
            for (const EntryAttr& rule : attrs) {
                if (!(rule.types & type_bit) || std::string(rule.name) == "Frequency" || std::string(rule.name) == "CarrierType")
                    continue;
                if (attribute(e, rule.name)) continue;
                std::string what;
                if (rule.kind == Kind::Text) what = "read as \"none\"";
                else if (rule.keeps || type == 1) what = "the value of the carrier tuned before stays (0 for the first)";
                else what = "read as 0";
                warn(file, row, label + " lacks " + rule.name + ": " + what);
            }
            check_language(file, e, label);
            if (type == 1) {
                const char* sim_name = e->Attribute("Sim_Name");
                if (sim_name && std::string(sim_name) == "none")
                    warn(file, row, label + " is a ship with Sim_Name \"none\": no boat has that title");
            }
            if (type == 2) check_lens_position(file, e, label);
        }
    }

    void check_language(const std::string& file, const TiXmlElement* e, const std::string& label)
    {
        const TiXmlAttribute* a = attribute(e, "Language");
        if (!a || !have_sound_lists_) return;
        const std::string language = a->Value();
        if (language == "none" || sound_languages_.count(language)) return;
        std::vector<std::string> names;
        for (const auto& [name, line] : sound_languages_) names.push_back(name);
        std::string message = label + " has Language \"" + language +
                              "\" but ZEB_Parameters.xml has no sound list for it: every sound and text becomes \"none\"";
        const std::string near = nearest_name(language, names);
        if (!near.empty()) message += " (did you mean \"" + near + "\"? case and blanks count)";
        warn(file, a->Row(), message);
    }

    void check_lens_position(const std::string& file, const TiXmlElement* e, const std::string& label)
    {
        double lat = 0, lon = 0, lat_f = 0, lon_f = 0;
        if (e->QueryDoubleAttribute("Lat_coord", &lat) != TIXML_SUCCESS ||
            e->QueryDoubleAttribute("Lon_coord", &lon) != TIXML_SUCCESS ||
            e->QueryDoubleAttribute("Lat_FLOLS", &lat_f) != TIXML_SUCCESS ||
            e->QueryDoubleAttribute("Lon_FLOLS", &lon_f) != TIXML_SUCCESS)
            return;
        const double rad = M_PI / 180.0;
        const double s1 = std::sin((lat_f - lat) * rad / 2), s2 = std::sin((lon_f - lon) * rad / 2);
        const double a = s1 * s1 + std::cos(lat * rad) * std::cos(lat_f * rad) * s2 * s2;
        const double metres = 2 * 6371000.0 * std::asin(std::min(1.0, std::sqrt(a)));
        if (metres > 1000.0)
            warn(file, e->Row(), label + ": the lens (Lat_FLOLS, Lon_FLOLS) is " + number_text(std::round(metres)) +
                                     " m from the aim point (Lat_coord, Lon_coord); it normally stands beside it");
    }

    std::string root_;
    LintReport report_;
    std::map<std::string, int> sound_languages_;
    bool have_sound_lists_ = false;
};

// Every TACAN channel's frequency in hundredths of MHz.
std::vector<std::pair<int, std::string>> channel_table()
{
    std::vector<std::pair<int, std::string>> out;
    for (int c = 17; c <= 126; ++c) {
        if (c > 59 && c < 70) continue;
        for (int y = 0; y <= 1; ++y) {
            const int n = (c <= 59 ? (5 * c + 5315) : (5 * c + 5265)) * 2 + 5 * y;
            out.emplace_back(n, std::to_string(c) + (y ? "Y" : "X"));
        }
    }
    return out;
}

}  // namespace

// [public] ---------------------------------------------------------------------------
size_t LintReport::errors() const
{
    return std::count_if(findings.begin(), findings.end(), [](const LintFinding& f) { return f.level == LintLevel::Error; });
}

size_t LintReport::warnings() const { return findings.size() - errors(); }

LintReport lint_configuration(const std::string& sim_root, const std::vector<KnownDeck>& decks)
{
    LintReport report = Linter(sim_root).run();
    if (decks.empty()) return report;
    const std::string path = sim_root + "/Gauges/ZEB_Carrier.xml";
    std::string problems;  // unreadable numbers: the linter above has named them already
    const auto entries = read_carrier_points(path, &problems);
    if (!entries) return report;
    for (const CarrierPoints& e : *entries) {
        if (e.type != 1) continue;
        for (const KnownDeck& d : decks) {
            if (d.title != e.sim_name) continue;
            for (const std::string& what : check_offsets(d.deck, e))
                report.findings.push_back({path, e.line, LintLevel::Warning,
                                           "\"" + e.name + "\": " + what + " (deck model \"" + d.deck.name + "\")"});
            break;
        }
    }
    return report;
}

std::string format_finding(const LintFinding& finding, bool strict)
{
    const bool error = finding.level == LintLevel::Error || strict;
    return finding.file + ":" + std::to_string(finding.line) + ": " + (error ? "error: " : "warning: ") + finding.message;
}

std::string nearest_name(std::string_view name, const std::vector<std::string>& known)
{
    const std::string wanted = lower(name);
    std::string best;
    size_t best_distance = std::string::npos;
    for (const std::string& candidate : known) {
        const size_t d = edit_distance(wanted, lower(candidate));
        if (d < best_distance) {
            best_distance = d;
            best = candidate;
        }
    }
    const size_t allowed = std::max<size_t>(1, std::min<size_t>(3, wanted.size() / 4));
    return best_distance <= allowed ? best : std::string();
}

bool pairs_with_tacan_channel(double mhz) { return !tacan_channel_name(mhz).empty(); }

std::string tacan_channel_name(double mhz)
{
    static const auto table = channel_table();
    const float wanted = static_cast<float>(mhz);
    for (const auto& [hundredths, name] : table)
        if (static_cast<float>(hundredths / 100.0) == wanted) return name;
    return {};
}

std::vector<FixedSite> read_fixed_sites(const std::string& sim_root, std::string* error)
{
    std::vector<FixedSite> sites;
    const std::string file = (fs::path(sim_root) / "Gauges" / "ZEB_Carrier.xml").string();
    TiXmlDocument doc(file.c_str());
    XmlLoadFailure failure;
    if (!load_xml_document(doc, &failure)) {
        if (error)
            *error = file + ":" + std::to_string(failure.line) + ": " +
                     (failure.cannot_open ? "cannot open the carrier list: " : "") + failure.what;
        return sites;
    }
    const TiXmlElement* list = doc.FirstChildElement("CarrierList");
    if (!list) return sites;
    for (const TiXmlElement* e = list->FirstChildElement(); e; e = e->NextSiblingElement()) {
        int type = 0;
        query_int32_attribute(e, "CarrierType", &type);
        const char* name = e->Attribute("Name");
        if (type != 2 || !name) continue;
        FixedSite site;
        site.name = name;
        site.line = e->Row();
        e->QueryDoubleAttribute("Lat_coord", &site.latitude_deg);
        e->QueryDoubleAttribute("Lon_coord", &site.longitude_deg);
        e->QueryDoubleAttribute("Alt", &site.altitude_ft);
        e->QueryDoubleAttribute("RunwayAngle", &site.runway_heading_deg);
        const bool sound = std::isfinite(site.latitude_deg) && std::fabs(site.latitude_deg) <= 90.0 &&
                           std::isfinite(site.longitude_deg) && std::fabs(site.longitude_deg) <= 360.0 &&
                           std::isfinite(site.altitude_ft) && std::isfinite(site.runway_heading_deg) &&
                           std::fabs(site.runway_heading_deg) <= 720.0;
        if (sound) sites.push_back(site);
    }
    return sites;
}

}  // namespace host
