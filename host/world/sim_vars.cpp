// The simulator-variable registry of the emulated host: one row per A:
// variable that the module or the bench reads or writes, in index order, with
// its dimension (values are kept in the dimension's base unit, units.h) and the
// value a new world object starts with.
#include "host/world/sim_vars.h"

#include <cctype>
#include <numbers>
#include <unordered_map>

namespace host {
namespace {

constexpr double KNOT_MPS = 1852.0 / 3600.0;

struct SimVarRow {
    const char* name;      // canonical upper-case name, ":N" for an indexed entry
    Dimension dimension;
    double default_value;  // base units
};

// The table, in index order. Index = row number; keep new rows at the end only
// if something persists indices (nothing does today: worlds are built from it).
// clang-format off
constexpr SimVarRow ROWS[] = {
    // Position and attitude.
    {"PLANE ALTITUDE",                      Dimension::Length,  0.0},
    {"PLANE LATITUDE",                      Dimension::Angle,   0.0},
    {"PLANE LONGITUDE",                     Dimension::Angle,   0.0},  // east-positive, as the simulator
    {"PLANE HEADING DEGREES TRUE",          Dimension::Angle,   0.0},
    {"PLANE HEADING DEGREES MAGNETIC",      Dimension::Angle,   0.0},
    {"PLANE PITCH DEGREES",                 Dimension::Angle,   0.0},
    {"PLANE BANK DEGREES",                  Dimension::Angle,   0.0},
    {"MAGVAR",                              Dimension::Angle,   0.0},
    // Brakes and engine.
    {"BRAKE INDICATOR",                     Dimension::Percent, 0.0},
    {"BRAKE PARKING INDICATOR",             Dimension::Number,  0.0},
    {"ENG1 N1 RPM",                         Dimension::Percent, 0.0},
    {"GENERAL ENG1 THROTTLE LEVER POSITION",Dimension::Percent, 0.0},
    {"ENGINE TYPE",                         Dimension::Number,  1.0},  // 0 piston, 1 jet, 2 none, 3 helo turbine, 5 turboprop
    // Air and ground speeds.
    // Wind (written by the world when it has a wind or a flown aircraft):
    // Z the component from ahead along the aircraft's axis (a headwind is
    // positive), X the component from the right; the direction is where the
    // wind blows from, true.
    {"AMBIENT WIND Z",                      Dimension::Speed,   0.0},
    {"AMBIENT WIND X",                      Dimension::Speed,   0.0},
    {"AMBIENT WIND DIRECTION",              Dimension::Angle,   0.0},
    {"AMBIENT WIND VELOCITY",               Dimension::Speed,   0.0},
    {"AIRSPEED INDICATED",                  Dimension::Speed,   0.0},
    {"GROUND VELOCITY",                     Dimension::Speed,   0.0},
    {"SURFACE RELATIVE GROUND SPEED",       Dimension::Speed,   0.0},
    {"AIRSPEED TRUE",                       Dimension::Speed,   0.0},
    {"VERTICAL SPEED",                      Dimension::Speed,   0.0},
    {"VELOCITY BODY X",                     Dimension::Speed,   0.0},
    {"VELOCITY BODY Y",                     Dimension::Speed,   0.0},
    {"VELOCITY BODY Z",                     Dimension::Speed,   0.0},
    // The module asks for the yaw rate in "meters per second", so
    // the registry files it under Speed. The stored number is the yaw rate as
    // the simulator reports it, radians per second (the world turns boats by
    // it); "meters per second" has factor 1, so the module gets that number.
    {"ROTATION VELOCITY BODY Y",            Dimension::Speed,   0.0},
    // Deck state.
    {"SIM ON GROUND",                       Dimension::Number,  0.0},
    {"CABLE CAUGHT BY TAILHOOK",            Dimension::Number,  0.0},  // wire number, 0 none
    {"TAILHOOK POSITION",                   Dimension::Percent, 0.0},
    {"LAUNCHBAR POSITION",                  Dimension::Percent, 0.0},
    {"HOLDBACK BAR INSTALLED",              Dimension::Number,  0.0},
    {"TITLE",                               Dimension::Text,    0.0},  // the text lives in the world object
    {"BLAST SHIELD POSITION:1",             Dimension::Percent, 0.0},
    {"BLAST SHIELD POSITION:2",             Dimension::Percent, 0.0},
    {"BLAST SHIELD POSITION:3",             Dimension::Percent, 0.0},
    {"BLAST SHIELD POSITION:4",             Dimension::Percent, 0.0},
    // Airframe (defaults: a carrier jet of about 15 t, stall speed 120 kt).
    {"STATIC CG TO GROUND",                 Dimension::Length,  2.0},
    {"INCIDENCE ALPHA",                     Dimension::Angle,   0.0},
    {"GEAR RIGHT POSITION",                 Dimension::Percent, 100.0},
    {"IS GEAR RETRACTABLE",                 Dimension::Number,  1.0},
    {"TOTAL WEIGHT",                        Dimension::Mass,    15000.0},
    {"MAX GROSS WEIGHT",                    Dimension::Mass,    23000.0},
    {"DESIGN SPEED VS0",                    Dimension::Speed,   120.0 * KNOT_MPS},
    // Navigation receivers.
    {"NAV ACTIVE FREQUENCY:1",              Dimension::Frequency, 110.50},
    {"NAV ACTIVE FREQUENCY:2",              Dimension::Frequency, 113.90},
    {"NAV DME:1",                           Dimension::Length,  0.0},
    {"NAV DME:2",                           Dimension::Length,  0.0},
    {"NAV HAS DME:1",                       Dimension::Number,  0.0},
    {"NAV HAS DME:2",                       Dimension::Number,  0.0},
    {"NAV HAS NAV:1",                       Dimension::Number,  0.0},
    {"NAV HAS NAV:2",                       Dimension::Number,  0.0},
    {"NAV RELATIVE BEARING TO STATION:1",   Dimension::Angle,   0.0},
    {"NAV RELATIVE BEARING TO STATION:2",   Dimension::Angle,   0.0},
    // Fuel, in the order of the module's DEF_FUEL_TANKS record (half full).
    {"FUEL TANK LEFT MAIN LEVEL",           Dimension::Percent, 50.0},
    {"FUEL TANK RIGHT MAIN LEVEL",          Dimension::Percent, 50.0},
    {"FUEL TANK LEFT AUX LEVEL",            Dimension::Percent, 50.0},
    {"FUEL TANK RIGHT AUX LEVEL",           Dimension::Percent, 50.0},
    {"FUEL TANK CENTER LEVEL",              Dimension::Percent, 50.0},
    {"FUEL TANK CENTER2 LEVEL",             Dimension::Percent, 50.0},
    {"FUEL TANK CENTER3 LEVEL",             Dimension::Percent, 50.0},
    {"FUEL TANK LEFT TIP LEVEL",            Dimension::Percent, 50.0},
    {"FUEL TANK RIGHT TIP LEVEL",           Dimension::Percent, 50.0},
    {"FUEL TANK EXTERNAL1 LEVEL",           Dimension::Percent, 50.0},
    {"FUEL TANK EXTERNAL2 LEVEL",           Dimension::Percent, 50.0},
};

// Other names the panel language uses for table rows.
struct AliasRow {
    const char* alias;
    const char* name;
};
constexpr AliasRow ALIASES[] = {
    {"NAV1 ACTIVE FREQUENCY", "NAV ACTIVE FREQUENCY:1"},
    {"NAV2 ACTIVE FREQUENCY", "NAV ACTIVE FREQUENCY:2"},
};
// clang-format on

// Upper-cases `name`, drops surrounding blanks and blanks next to the index
// colon, and reduces inner runs of blanks to one ("nav dme : 1" -> "NAV DME:1").
std::string normalise(std::string_view name)
{
    std::string out;
    out.reserve(name.size());
    bool pendingBlank = false;
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (std::isspace(u)) {
            pendingBlank = !out.empty();
            continue;
        }
        if (c == ':') pendingBlank = false;
        if (pendingBlank && out.back() != ':') out.push_back(' ');
        pendingBlank = false;
        out.push_back(static_cast<char>(std::toupper(u)));
    }
    return out;
}

struct Registry {
    std::vector<SimVarInfo> vars;
    std::unordered_map<std::string, int> byName;  // normalised name or alias -> index

    Registry()
    {
        vars.reserve(std::size(ROWS));
        for (const SimVarRow& row : ROWS) {
            const int index = static_cast<int>(vars.size());
            vars.push_back(SimVarInfo{row.name, row.dimension, index, row.default_value});
            byName.emplace(row.name, index);
        }
        for (const AliasRow& alias : ALIASES) byName.emplace(alias.alias, byName.at(alias.name));
    }
};

const Registry& registry()
{
    static const Registry instance;
    return instance;
}

}  // namespace

const SimVarInfo* find_sim_var(std::string_view name)
{
    const Registry& reg = registry();
    const auto it = reg.byName.find(normalise(name));
    if (it == reg.byName.end()) return nullptr;
    return &reg.vars[static_cast<size_t>(it->second)];
}

const std::vector<SimVarInfo>& all_sim_vars() { return registry().vars; }

std::vector<std::pair<std::string, std::string>> sim_var_aliases()
{
    std::vector<std::pair<std::string, std::string>> out;
    for (const AliasRow& alias : ALIASES) out.emplace_back(alias.alias, alias.name);
    return out;
}

}  // namespace host
