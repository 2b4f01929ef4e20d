// Sweep files (see sweep_file.h and docs/sweeps.md).
#include "host/bench/sweep_file.h"

#include <tinyxml.h>

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <set>

#include "config/xml_file.h"
#include "host/bench/config_lint.h"
#include "host/scenario/scenario.h"

namespace fs = std::filesystem;

namespace host {
namespace {

struct SweepError {
    std::string message;
    int line;
};

[[noreturn]] void fail(const TiXmlElement* e, const std::string& message) { throw SweepError{message, e ? e->Row() : 1}; }

// A number of an attribute, checked for form and range.
double number(const TiXmlElement* e, const char* name, double low, double high)
{
    const char* text = e->Attribute(name);
    if (!text) fail(e, std::string("missing attribute ") + name);
    const char* end = text + std::strlen(text);
    while (*text == ' ') ++text;
    double value = 0.0;
    const auto [ptr, ec] = std::from_chars(text, end, value);
    if (ec != std::errc() || ptr == text || (ptr != end && std::strspn(ptr, " ") != static_cast<size_t>(end - ptr)) ||
        !std::isfinite(value))
        fail(e, std::string(name) + "=\"" + e->Attribute(name) + "\" is not a number");
    if (value < low || value > high)
        fail(e, std::string(name) + "=" + value_text(value) + " is outside " + value_text(low) + " to " + value_text(high));
    return value;
}

// Values of a list "0, 5, 10" (commas or spaces between them).
std::vector<double> number_list(const TiXmlElement* e, const char* name)
{
    std::vector<double> out;
    const std::string text = e->Attribute(name);
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == ',' || text[i] == '\t' || text[i] == '\n')) ++i;
        if (i == text.size()) break;
        size_t j = i;
        while (j < text.size() && text[j] != ' ' && text[j] != ',' && text[j] != '\t' && text[j] != '\n') ++j;
        double value = 0.0;
        const auto [ptr, ec] = std::from_chars(text.data() + i, text.data() + j, value);
        if (ec != std::errc() || ptr != text.data() + j || !std::isfinite(value))
            fail(e, std::string(name) + ": \"" + text.substr(i, j - i) + "\" is not a number");
        out.push_back(value);
        i = j;
    }
    if (out.empty()) fail(e, std::string(name) + " lists no value");
    return out;
}

void only(const TiXmlElement* e, std::initializer_list<const char*> allowed)
{
    for (const TiXmlAttribute* a = e->FirstAttribute(); a; a = a->Next()) {
        bool known = false;
        for (const char* name : allowed) known = known || std::strcmp(name, a->Name()) == 0;
        if (!known) fail(e, std::string("unknown attribute ") + a->Name() + " of <" + e->Value() + ">");
    }
}

// "world/flight/deviation[2]@glide"; nullopt when it is not of that form.
std::optional<AttributePath> parse_path(const std::string& text)
{
    const size_t at = text.rfind('@');
    if (at == std::string::npos || at + 1 == text.size()) return std::nullopt;
    AttributePath path;
    path.attribute = text.substr(at + 1);
    const std::string steps = text.substr(0, at);
    size_t i = 0;
    while (i <= steps.size() && !steps.empty()) {
        size_t j = steps.find('/', i);
        if (j == std::string::npos) j = steps.size();
        std::string step = steps.substr(i, j - i);
        PathStep s;
        const size_t open = step.find('[');
        if (open != std::string::npos) {
            if (step.back() != ']') return std::nullopt;
            const std::string inside = step.substr(open + 1, step.size() - open - 2);
            step.resize(open);
            const size_t eq = inside.find('=');
            if (eq != std::string::npos) {
                s.match_attribute = inside.substr(0, eq);
                s.match_value = inside.substr(eq + 1);
                if (s.match_attribute.empty()) return std::nullopt;
            } else {
                int n = 0;
                const auto [ptr, ec] = std::from_chars(inside.data(), inside.data() + inside.size(), n);
                if (ec != std::errc() || ptr != inside.data() + inside.size() || n < 1) return std::nullopt;
                s.index = n;
            }
        }
        if (step.empty()) return std::nullopt;
        s.name = step;
        path.steps.push_back(s);
        i = j + 1;
    }
    return path;
}

struct Shorthand {
    const char* name;
    const char* path;
    const char* removes;  // or null
};

// The known names (docs/sweeps.md lists them with their units).
constexpr Shorthand SHORTHANDS[] = {
    {"wind_speed", "world/wind@speed", nullptr},
    {"wind_from", "world/wind@from", nullptr},
    {"ship_speed", "world/boat@speed", "world/turn_into_wind@wind_over_deck"},
    {"ship_heading", "world/boat@heading", nullptr},
    {"wind_over_deck", "world/turn_into_wind@wind_over_deck", nullptr},
    {"start_range", "world/flight@distance", nullptr},
    {"start_offset", "world/flight@right", nullptr},
    {"start_altitude", "world/flight@altitude", nullptr},
    {"approach_speed", "world/flight@speed", nullptr},
    {"glide_slope", "world/flight@gs_angle", nullptr},
    {"aim_offset", "world/flight@aim_offset", nullptr},
    {"glide_error", "world/flight/deviation@glide", nullptr},
    {"line_error", "world/flight/deviation@line", nullptr},
    {"error_from", "world/flight/deviation@from", nullptr},
    {"error_to", "world/flight/deviation@to", nullptr},
    {"correction", "world/flight@correct_s", nullptr},
    {"weight", "world/set[var=TOTAL WEIGHT]@value", nullptr},
};

void parse_target(const TiXmlElement* e, SweepParameter& p)
{
    if (p.name == "seed") {
        p.target = ParameterTarget::Seed;
        return;
    }
    for (const Shorthand& s : SHORTHANDS) {
        if (p.name != s.name) continue;
        p.path = *parse_path(s.path);
        if (s.removes) p.removes.push_back(*parse_path(s.removes));
        if (p.name == "weight") {
            p.creates_set_var = "TOTAL WEIGHT";
            p.creates_set_unit = "kilograms";
        }
        return;
    }
    const size_t colon = p.name.find(':');
    std::string path_text = p.name;
    if (colon != std::string::npos) {
        p.target = ParameterTarget::Config;
        p.config_file = p.name.substr(0, colon);
        path_text = p.name.substr(colon + 1);
        const fs::path file(p.config_file);
        if (p.config_file.empty() || file.is_absolute())
            fail(e, "a configuration parameter names a file of the simulator root, e.g. Gauges/ZEB_Parameters.xml:WaveOff@WO_Duration");
        for (const auto& part : file)
            if (part == "..") fail(e, "the configuration file " + p.config_file + " leaves the simulator root");
    }
    auto path = parse_path(path_text);
    if (!path) {
        std::string known;
        for (const Shorthand& s : SHORTHANDS) known += std::string(known.empty() ? "" : ", ") + s.name;
        fail(e, "unknown parameter \"" + p.name + "\": give one of " + known +
                    ", seed, an attribute path such as world/flight@speed, or FILE:PATH@ATTRIBUTE");
    }
    if (p.target == ParameterTarget::Scenario && path->steps.empty())
        fail(e, "parameter \"" + p.name + "\": attributes of <runscript> itself are not varied");
    p.path = *path;
}

SweepParameter parse_parameter(const TiXmlElement* e)
{
    only(e, {"name", "values", "from", "to", "step", "distribution", "min", "max", "mean", "sd", "count"});
    SweepParameter p;
    p.line = e->Row();
    if (!e->Attribute("name") || !*e->Attribute("name")) fail(e, "a <param> needs a name");
    p.name = e->Attribute("name");
    if (p.name.find_first_of(",\"\n") != std::string::npos) fail(e, "a parameter's name has no comma, quote or line end");
    parse_target(e, p);

    const bool list = e->Attribute("values") != nullptr;
    const bool grid = e->Attribute("from") || e->Attribute("to") || e->Attribute("step");
    const bool random = e->Attribute("distribution") != nullptr;
    if (list + grid + random != 1) fail(e, "a <param> has values=\"...\", or from/to/step, or a distribution, exactly one");
    if (!random && (e->Attribute("count") || e->Attribute("min") || e->Attribute("max") || e->Attribute("mean") ||
                    e->Attribute("sd")))
        fail(e, "count, min, max, mean and sd belong to a distribution");
    if (list) {
        p.values = number_list(e, "values");
    } else if (grid) {
        const double from = number(e, "from", -1e9, 1e9);
        const double to = number(e, "to", -1e9, 1e9);
        const double step = number(e, "step", 0.0, 1e9);
        if (step <= 0.0) fail(e, "step must be positive");
        if (to < from) fail(e, "a grid runs from a value up to a larger one");
        const double steps = std::floor((to - from) / step + 1e-9);
        if (steps + 1 > static_cast<double>(SWEEP_MAX_RUNS)) fail(e, "the grid has too many values");
        for (int64_t k = 0; k <= static_cast<int64_t>(steps); ++k) p.values.push_back(from + static_cast<double>(k) * step);
    } else {
        if (p.target == ParameterTarget::Seed) fail(e, "seeds are a list or a grid, not a distribution");
        const std::string kind = e->Attribute("distribution");
        p.count = static_cast<int>(number(e, "count", 1, 1e6));
        if (p.count != number(e, "count", 1, 1e6)) fail(e, "count is a whole number");
        if (kind == "uniform") {
            if (e->Attribute("mean") || e->Attribute("sd")) fail(e, "a uniform distribution has min and max");
            p.distribution = Distribution::Uniform;
            p.a = number(e, "min", -1e9, 1e9);
            p.b = number(e, "max", -1e9, 1e9);
            if (p.b < p.a) fail(e, "max is below min");
        } else if (kind == "normal") {
            p.distribution = Distribution::Normal;
            p.a = number(e, "mean", -1e9, 1e9);
            p.b = number(e, "sd", 0.0, 1e9);
            if (e->Attribute("min")) p.low = number(e, "min", -1e9, 1e9);
            if (e->Attribute("max")) p.high = number(e, "max", -1e9, 1e9);
            if (p.high < p.low) fail(e, "max is below min");
        } else {
            fail(e, "unknown distribution \"" + kind + "\" (uniform or normal)");
        }
    }
    if (p.target == ParameterTarget::Seed)
        for (double s : p.values)
            if (s < 0 || s > 9007199254740992.0 || s != std::floor(s)) fail(e, "a seed is a whole number from 0");
    return p;
}

SweepFile parse_sweep(const TiXmlDocument& doc, const std::string& path)
{
    SweepFile sweep;
    sweep.path = path;
    const TiXmlElement* root = doc.RootElement();
    if (!root || std::strcmp(root->Value(), "sweep") != 0) fail(root, "the top element must be <sweep>");
    only(root, {"name", "scenario", "seed", "timeout"});
    sweep.name = root->Attribute("name") ? root->Attribute("name") : fs::path(path).stem().string();
    if (!root->Attribute("scenario") || !*root->Attribute("scenario"))
        fail(root, "a sweep names its base scenario: <sweep scenario=\"FILE\">");
    std::error_code ec;
    const fs::path base = fs::absolute(path, ec).parent_path();
    sweep.scenario_path = (base / root->Attribute("scenario")).lexically_normal().string();
    if (!fs::is_regular_file(sweep.scenario_path, ec))
        fail(root, "the base scenario " + sweep.scenario_path + " is not a file");
    if (root->Attribute("seed")) {
        const double seed = number(root, "seed", 0, 9007199254740992.0);
        if (seed != std::floor(seed)) fail(root, "the seed is a whole number");
        sweep.seed = static_cast<uint64_t>(seed);
    }
    if (root->Attribute("timeout")) sweep.timeout = number(root, "timeout", 1, 86400);
    std::set<std::string> names;
    for (const TiXmlElement* e = root->FirstChildElement(); e; e = e->NextSiblingElement()) {
        const std::string kind = e->Value();
        if (kind == "description") {
            sweep.description = e->GetText() ? e->GetText() : "";
        } else if (kind == "param") {
            SweepParameter p = parse_parameter(e);
            if (!names.insert(p.name).second) fail(e, "parameter \"" + p.name + "\" is given twice");
            sweep.parameters.push_back(std::move(p));
        } else {
            fail(e, "unknown element <" + kind + "> (a sweep holds <description> and <param>)");
        }
    }
    if (sweep.parameters.empty()) fail(root, "the sweep varies nothing: add a <param>");
    double runs = 1;
    for (const SweepParameter& p : sweep.parameters) runs *= static_cast<double>(p.size());
    if (runs > static_cast<double>(SWEEP_MAX_RUNS))
        fail(root, "the sweep has " + value_text(runs) + " runs, more than " + std::to_string(SWEEP_MAX_RUNS));
    return sweep;
}

// splitmix64: the seed's own generator, the same on every machine.
uint64_t mix(uint64_t& state)
{
    uint64_t z = (state += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

double unit_draw(uint64_t& state) { return static_cast<double>(mix(state) >> 11) * 0x1.0p-53; }

TiXmlElement* find_step(TiXmlElement* parent, const PathStep& step)
{
    int seen = 0;
    for (TiXmlElement* e = parent->FirstChildElement(step.name.c_str()); e; e = e->NextSiblingElement(step.name.c_str())) {
        if (!step.match_attribute.empty()) {
            const char* v = e->Attribute(step.match_attribute.c_str());
            if (v && step.match_value == v) return e;
        } else if (++seen == step.index) {
            return e;
        }
    }
    return nullptr;
}

std::string path_text(const AttributePath& path)
{
    std::string out;
    for (const PathStep& s : path.steps) {
        if (!out.empty()) out += '/';
        out += s.name;
        if (!s.match_attribute.empty()) out += "[" + s.match_attribute + "=" + s.match_value + "]";
        else if (s.index != 1) out += "[" + std::to_string(s.index) + "]";
    }
    return out;
}

TiXmlElement* resolve(TiXmlElement* root, const AttributePath& path)
{
    TiXmlElement* e = root;
    for (const PathStep& s : path.steps) {
        e = find_step(e, s);
        if (!e) return nullptr;
    }
    return e;
}

bool set_attribute(TiXmlElement* root, const SweepParameter& p, double value, std::string* error)
{
    TiXmlElement* e = resolve(root, p.path);
    if (!e && !p.creates_set_var.empty()) {
        // The shorthand's <set> goes before the first <flight>, which reads it when placed.
        TiXmlElement* world = root->FirstChildElement("world");
        if (world) {
            TiXmlElement set("set");
            set.SetAttribute("var", p.creates_set_var.c_str());
            set.SetAttribute("unit", p.creates_set_unit.c_str());
            set.SetAttribute("value", "0");
            TiXmlElement* flight = world->FirstChildElement("flight");
            TiXmlNode* added = flight ? world->InsertBeforeChild(flight, set) : world->InsertEndChild(set);
            e = added ? added->ToElement() : nullptr;
        }
    }
    if (!e) {
        *error = "parameter \"" + p.name + "\": no element " + path_text(p.path) + " in " +
                 (p.target == ParameterTarget::Config ? p.config_file : std::string("the base scenario"));
        return false;
    }
    e->SetAttribute(p.path.attribute.c_str(), value_text(value).c_str());
    for (const AttributePath& r : p.removes)
        if (TiXmlElement* other = resolve(root, r)) other->RemoveAttribute(r.attribute.c_str());
    return true;
}

}  // namespace

std::string value_text(double value)
{
    char text[32];
    const auto [ptr, ec] = std::to_chars(text, text + sizeof text, value);
    return ec == std::errc() ? std::string(text, ptr) : std::string("nan");
}

std::optional<SweepFile> load_sweep(const std::string& path, std::string* error)
{
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) {
        *error = path + ":1: cannot open the sweep file: " + (fs::exists(path, ec) ? "not a file" : "no such file");
        return std::nullopt;
    }
    TiXmlDocument doc(path.c_str());
    if (!load_xml_file(doc)) {
        *error = path + ":" + std::to_string(doc.ErrorId() == TiXmlBase::TIXML_ERROR_OPENING_FILE ? 1 : doc.ErrorRow()) +
                 ": " + doc.ErrorDesc();
        return std::nullopt;
    }
    try {
        return parse_sweep(doc, path);
    } catch (const SweepError& e) {
        *error = path + ":" + std::to_string(e.line) + ": " + e.message;
    } catch (const std::exception& e) {
        *error = path + ":1: cannot read the sweep: " + e.what();
    }
    return std::nullopt;
}

uint64_t run_count(const SweepFile& sweep)
{
    uint64_t runs = 1;
    for (const SweepParameter& p : sweep.parameters) runs *= p.size();
    return runs;
}

double draw(const SweepParameter& p, uint64_t seed, int k)
{
    // Each draw has its own stream: the seed, the parameter's name and k.
    uint64_t state = seed * 0x9e3779b97f4a7c15ULL;
    for (unsigned char c : p.name) state = (state ^ c) * 0x100000001b3ULL;
    state ^= static_cast<uint64_t>(k) * 0xd1b54a32d192ed03ULL;
    mix(state);
    if (p.distribution == Distribution::Uniform) return p.a + (p.b - p.a) * unit_draw(state);
    // Box-Muller.
    const double u1 = 1.0 - unit_draw(state);  // (0, 1]
    const double u2 = unit_draw(state);
    const double z = std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * M_PI * u2);
    return std::clamp(p.a + p.b * z, p.low, p.high);
}

Variation variation_of(const SweepFile& sweep, uint64_t index)
{
    Variation v;
    v.index = index;
    v.seed = sweep.seed;
    std::vector<uint64_t> digits(sweep.parameters.size());
    uint64_t rest = index;
    for (size_t i = sweep.parameters.size(); i-- > 0;) {
        const uint64_t n = sweep.parameters[i].size();
        digits[i] = rest % n;
        rest /= n;
    }
    for (size_t i = 0; i < sweep.parameters.size(); ++i)
        if (sweep.parameters[i].target == ParameterTarget::Seed)
            v.seed = static_cast<uint64_t>(sweep.parameters[i].values[digits[i]]);
    for (size_t i = 0; i < sweep.parameters.size(); ++i) {
        const SweepParameter& p = sweep.parameters[i];
        v.values.push_back(p.distribution == Distribution::None ? p.values[digits[i]]
                                                                 : draw(p, v.seed, static_cast<int>(digits[i])));
    }
    return v;
}

bool apply_to_scenario(const SweepFile& sweep, const Variation& v, TiXmlDocument& doc, std::string* error)
{
    TiXmlElement* root = doc.RootElement();
    if (!root) {
        *error = "the base scenario has no top element";
        return false;
    }
    for (size_t i = 0; i < sweep.parameters.size(); ++i) {
        const SweepParameter& p = sweep.parameters[i];
        if (p.target == ParameterTarget::Scenario && !set_attribute(root, p, v.values[i], error)) return false;
    }
    return true;
}

bool changes_configuration(const SweepFile& sweep)
{
    for (const SweepParameter& p : sweep.parameters)
        if (p.target == ParameterTarget::Config) return true;
    return false;
}

bool make_config_root(const SweepFile& sweep, const Variation& v, const std::string& base_root,
                      const std::string& scratch, std::string* error)
{
    std::error_code ec;
    fs::remove_all(scratch, ec);
    fs::create_directories(scratch, ec);
    if (ec) {
        *error = "cannot create " + scratch + ": " + ec.message();
        return false;
    }
    // Every changed file, by name, with its parameters applied.
    std::set<std::string> files;
    for (const SweepParameter& p : sweep.parameters)
        if (p.target == ParameterTarget::Config) files.insert(fs::path(p.config_file).lexically_normal().string());
    // The directories on the way to a changed file are made; anything else is a link.
    std::set<std::string> dirs;
    for (const std::string& f : files)
        for (fs::path d = fs::path(f).parent_path(); !d.empty(); d = d.parent_path()) dirs.insert(d.string());
    std::vector<fs::path> todo{fs::path()};
    while (!todo.empty()) {
        const fs::path rel = todo.back();
        todo.pop_back();
        for (const fs::directory_entry& entry : fs::directory_iterator(fs::path(base_root) / rel, ec)) {
            const fs::path child = rel / entry.path().filename();
            if (dirs.count(child.string())) {
                fs::create_directory(fs::path(scratch) / child, ec);
                todo.push_back(child);
            } else if (!files.count(child.string())) {
                fs::create_symlink(entry.path(), fs::path(scratch) / child, ec);
            }
            if (ec) {
                *error = "cannot make " + (fs::path(scratch) / child).string() + ": " + ec.message();
                return false;
            }
        }
        if (ec) {
            *error = "cannot read " + (fs::path(base_root) / rel).string() + ": " + ec.message();
            return false;
        }
    }
    for (const std::string& f : files) {
        const std::string source = (fs::path(base_root) / f).string();
        TiXmlDocument doc(source.c_str());
        if (!load_xml_file(doc) || !doc.RootElement()) {
            *error = source + ":" + std::to_string(doc.ErrorRow()) + ": " + doc.ErrorDesc();
            return false;
        }
        for (size_t i = 0; i < sweep.parameters.size(); ++i) {
            const SweepParameter& p = sweep.parameters[i];
            if (p.target != ParameterTarget::Config || fs::path(p.config_file).lexically_normal().string() != f) continue;
            if (!set_attribute(doc.RootElement(), p, v.values[i], error)) return false;
        }
        const std::string target = (fs::path(scratch) / f).string();
        if (!doc.SaveFile(target.c_str())) {
            *error = "cannot write " + target;
            return false;
        }
    }
    return true;
}

std::vector<std::string> check_sweep(const SweepFile& sweep)
{
    std::vector<std::string> problems;
    TiXmlDocument base(sweep.scenario_path.c_str());
    std::string error;
    if (!load_xml_file(base)) {
        problems.push_back(sweep.scenario_path + ":" + std::to_string(base.ErrorRow()) + ": " + base.ErrorDesc());
        return problems;
    }
    auto scenario = load_scenario_document(base, sweep.scenario_path, &error);
    if (!scenario) {
        problems.push_back(error);
        return problems;
    }
    // Each parameter's values, one at a time, the others at their first value.
    const Variation first = variation_of(sweep, 0);
    const std::string scratch = (fs::temp_directory_path() / ("carrier-sweep-check-" + std::to_string(getpid()))).string();
    for (size_t i = 0; i < sweep.parameters.size(); ++i) {
        const SweepParameter& p = sweep.parameters[i];
        if (p.target == ParameterTarget::Seed) continue;
        std::vector<double> values = p.values;
        if (p.distribution != Distribution::None)
            for (int k = 0; k < p.count; ++k) values.push_back(draw(p, first.seed, k));
        // The smallest and the largest are enough: the scenario's ranges are intervals.
        const auto [lo, hi] = std::minmax_element(values.begin(), values.end());
        for (double value : {*lo, *hi}) {
            Variation v = first;
            v.values[i] = value;
            const std::string where = sweep.path + ":" + std::to_string(p.line) + ": " + p.name + "=" + value_text(value) + ": ";
            TiXmlDocument doc(base);
            if (!apply_to_scenario(sweep, v, doc, &error)) {
                problems.push_back(where + error);
                break;
            }
            if (p.target == ParameterTarget::Config) {
                if (!make_config_root(sweep, v, scenario->sim_root, scratch, &error)) {
                    problems.push_back(where + error);
                    break;
                }
                // The changed root must pass the configuration lint (its errors only).
                for (const LintFinding& f : lint_configuration(scratch).findings)
                    if (f.level == LintLevel::Error) problems.push_back(where + format_finding(f));
                continue;
            }
            if (!load_scenario_document(doc, sweep.scenario_path, &error)) {
                problems.push_back(where + "the scenario refuses it: " + error);
                break;
            }
        }
    }
    std::error_code ec;
    fs::remove_all(scratch, ec);
    return problems;
}

}  // namespace host
