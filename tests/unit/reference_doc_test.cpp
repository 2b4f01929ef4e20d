// docs/reference.md against the code it describes. The names come from the
// module itself: its gauge table, the named variables its gauges register
// when they run, the string literals of its sources (panel variables, key
// events, SimConnect declarations, the configuration readers' elements and
// attributes) and the bundled configuration files. A name the module gains
// and the page lacks, or a bundled value that changes, fails here.
#include "host/build_paths.h"
#include <gtest/gtest.h>
#include <tinyxml.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "catapult/catapult.h"
#include "fake_panels.h"
#include "module/gauge_registry.h"
#include "module_reset.h"
#include "platform/gauge_interface.h"
#include "state/module_state.h"

extern "C" GAUGESLINKAGE Linkage;

namespace {

namespace fs = std::filesystem;

const fs::path SOURCE_DIR = CARRIER_SOURCE_DIR;

std::string read_file(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

const std::string& reference()
{
    static const std::string text = read_file(SOURCE_DIR / "docs/reference.md");
    return text;
}

std::vector<std::string> reference_lines()
{
    std::vector<std::string> lines;
    std::istringstream in(reference());
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// One C++ source split into its string literals and the code around them
// (comments, literals and preprocessor lines left out), so that a name in a
// comment neither counts nor hides a missing one.
struct SourceParts {
    std::vector<std::string> literals;
    std::string code;
};

SourceParts split_source(const std::string& text)
{
    SourceParts parts;
    size_t i = 0;
    bool lineStart = true;
    while (i < text.size()) {
        const char c = text[i];
        if (lineStart && c == '#') {  // a preprocessor line: #include "..." names no interface
            while (i < text.size() && text[i] != '\n') ++i;
            continue;
        }
        if (c == '\n') lineStart = true;
        else if (!std::isspace(static_cast<unsigned char>(c))) lineStart = false;
        if (text.compare(i, 2, "//") == 0) {
            while (i < text.size() && text[i] != '\n') ++i;
        } else if (text.compare(i, 2, "/*") == 0) {
            const size_t end = text.find("*/", i + 2);
            i = end == std::string::npos ? text.size() : end + 2;
        } else if (c == '"' || c == '\'') {
            std::string literal;
            for (++i; i < text.size() && text[i] != c; ++i) {
                if (text[i] == '\\' && i + 1 < text.size()) ++i;
                literal += text[i];
            }
            ++i;
            if (c == '"') parts.literals.push_back(literal);
            parts.code += ' ';
        } else {
            parts.code += c;
            ++i;
        }
    }
    return parts;
}

// Every module source (what a port to a real host ships), split.
std::vector<SourceParts> module_sources()
{
    std::vector<SourceParts> sources;
    for (const char* dir : {"module", "state", "config", "sim", "geo", "landing", "catapult", "gauges", "sound"})
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(SOURCE_DIR / dir)) {
            const std::string ext = entry.path().extension().string();
            if (ext == ".cpp" || ext == ".h") sources.push_back(split_source(read_file(entry.path())));
        }
    return sources;
}

bool in_reference_quoted(const std::string& name) { return reference().find("`" + name + "`") != std::string::npos; }

TEST(ReferenceDoc, ListsEveryGaugeOfTheGaugeTableWithItsSize)
{
    int gauges = 0;
    for (GAUGEHDR* const* g = Linkage.gauge_header_ptrs; *g; ++g, ++gauges) {
        const std::string row = "| `" + std::string((*g)->gauge_name) + "` | " + std::to_string((*g)->size_x_mm) + " |";
        EXPECT_NE(reference().find(row), std::string::npos) << "no gauge row " << row;
    }
    EXPECT_GT(gauges, 0);
}

TEST(ReferenceDoc, ListsEveryNamedVariableTheGaugesAndTheLaunchPublish)
{
    reset_module_values();
    std::set<std::string> names;
    {
        FakePanels panels;
        // Every gauge installed and updated once (on copies of the headers:
        // Close_Subpanel marks its own header), then one catapult stroke
        // started and stepped.
        for (GAUGEHDR* const* g = Linkage.gauge_header_ptrs; *g; ++g) {
            GAUGEHDR copy = **g;
            if (!copy.gauge_callback) continue;
            copy.gauge_callback(&copy, PANEL_SERVICE_PRE_INSTALL, 0);
            copy.gauge_callback(&copy, PANEL_SERVICE_PRE_UPDATE, 0);
        }
        moduleState->catapult->Catapult_Lenght = 90.0;
        catapult_begin_launch();
        catapult_launch_progress();
        for (const auto& [name, id] : panels.namedIds) names.insert(name);
    }
    reset_module_values();

    ASSERT_FALSE(names.empty()) << "no gauge registered a named variable";
    for (const std::string& name : names) EXPECT_TRUE(in_reference_quoted(name)) << "named variable " << name;
}

// "(A:NAME, unit)", "(L:NAME, unit)", "(>L:NAME, unit)", "(P:NAME, unit)"
// and "(>K:NAME)" in the module's expressions, listed as `A:NAME` and so on.
TEST(ReferenceDoc, ListsEveryVariableAndKeyEventOfTheModulesExpressions)
{
    const std::regex token(R"(\(>?([ALPK]):([^,)]+))");
    std::set<std::string> names;
    for (const SourceParts& source : module_sources())
        for (const std::string& literal : source.literals)
            for (std::sregex_iterator m(literal.begin(), literal.end(), token), end; m != end; ++m) {
                std::string name = (*m)[2].str();
                while (!name.empty() && name.back() == ' ') name.pop_back();
                names.insert((*m)[1].str() + ":" + name);
            }
    ASSERT_FALSE(names.empty());
    for (const std::string& name : names) EXPECT_TRUE(in_reference_quoted(name)) << "panel variable " << name;
}

// Key events the module raises or handles by number (0x1xxxx in its code).
TEST(ReferenceDoc, ListsEveryKeyEventTheModuleUsesByNumber)
{
    std::string upperDoc = reference();
    std::transform(upperDoc.begin(), upperDoc.end(), upperDoc.begin(), [](unsigned char c) { return std::toupper(c); });
    const std::regex id(R"(\b0[xX]1[0-9A-Fa-f]{4}(?![0-9A-Fa-f]))");
    std::set<std::string> ids;
    for (const SourceParts& source : module_sources())
        for (std::sregex_iterator m(source.code.begin(), source.code.end(), id), end; m != end; ++m) {
            std::string upper = m->str();
            std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
            ids.insert(upper);
        }
    ASSERT_FALSE(ids.empty());
    for (const std::string& key : ids) EXPECT_NE(upperDoc.find(key), std::string::npos) << "key event " << key;
}

// The connection's client name, system events, input notation and every
// variable and unit of its data definitions.
TEST(ReferenceDoc, ListsEveryNameTheSimConnectConnectionDeclares)
{
    const SourceParts connection = split_source(read_file(SOURCE_DIR / "sim/connection.cpp"));
    int names = 0;
    for (const std::string& literal : connection.literals) {
        if (literal.empty()) continue;  // the private client events' empty name
        ++names;
        EXPECT_TRUE(in_reference_quoted(literal)) << "SimConnect name " << literal;
    }
    EXPECT_GT(names, 0);
}

// Every element and attribute name the three configuration readers look up.
TEST(ReferenceDoc, ListsEveryElementAndAttributeTheConfigurationReadersAccept)
{
    const std::regex identifier("[A-Za-z_][A-Za-z0-9_]*");
    int names = 0;
    for (const char* reader : {"config/parameters.cpp", "config/carrier_list.cpp", "config/sound_list.cpp"})
        for (const std::string& literal : split_source(read_file(SOURCE_DIR / reader)).literals) {
            if (!std::regex_match(literal, identifier)) continue;  // messages and paths
            ++names;
            EXPECT_TRUE(in_reference_quoted(literal)) << reader << ": " << literal;
        }
    EXPECT_GT(names, 0);
}

// Each attribute of the bundled files has a row "| `Attribute` | ..." whose
// cells hold its value as written (one row per attribute, a column per
// section, language or entry).
TEST(ReferenceDoc, ShowsEveryBundledValueAsShipped)
{
    const std::vector<std::string> lines = reference_lines();
    auto has_value = [&](const std::string& attribute, const std::string& value) {
        const std::string row = "| `" + attribute + "` |";
        const std::string cell = "| " + value + " |";
        for (const std::string& line : lines)
            if (line.rfind(row, 0) == 0 && line.find(cell) != std::string::npos) return true;
        return false;
    };
    int values = 0;
    for (const char* file : {"ZEB_Parameters.xml", "ZEB_Carrier.xml"}) {
        TiXmlDocument document((SOURCE_DIR / "scenarios/simroot/Gauges" / file).string());
        ASSERT_TRUE(document.LoadFile()) << file;
        std::vector<const TiXmlElement*> pending;
        for (const TiXmlElement* top = document.FirstChildElement(); top; top = top->NextSiblingElement())
            pending.push_back(top);
        while (!pending.empty()) {
            const TiXmlElement* element = pending.back();
            pending.pop_back();
            for (const TiXmlAttribute* a = element->FirstAttribute(); a; a = a->Next(), ++values)
                EXPECT_TRUE(has_value(a->Name(), a->Value()))
                    << file << ": " << element->Value() << " " << a->Name() << "=\"" << a->Value() << "\"";
            for (const TiXmlElement* child = element->FirstChildElement(); child; child = child->NextSiblingElement())
                pending.push_back(child);
        }
    }
    EXPECT_GT(values, 0);
}

}  // namespace
