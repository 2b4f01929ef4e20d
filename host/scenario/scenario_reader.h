// The scenario reader's own helpers, shared by its parts (scenario.cpp: the
// document, validation and the run loop; scenario_actions.cpp: the actions on
// the world and the panel; scenario_flown.cpp: the flown world): the reader
// with its file-and-line errors, the ranges of numbers, places actions are put
// relative to, and the action parsers each part provides. Internal to
// host/scenario/.
#pragma once

#include "host/scenario/scenario.h"

#include "host/scenario/track_replay.h"

#include "host/panel/gauge_panel.h"
#include "host/panel/panel_drawing.h"

#include <tinyxml.h>

#include <cerrno>
#include <cctype>
#include <cmath>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <system_error>
#include <utility>
#include <vector>

#include "config/xml_file.h"

#include "host/bench/config_lint.h"
#include "host/world/environment.h"
#include "host/world/flown_aircraft.h"

namespace host::scenario_detail {

// [parsing helpers] -------------------------------------------------------------
struct ParseError {
    std::string message;
    int line;
    bool located = false;  // the message names its own FILE:LINE (another file the scenario reads)
};

// The range of a number a scenario gives, with its unit for the message.
// docs/scenarios.md lists every attribute's range.
struct Range {
    double low, high;
    const char* unit;
};
inline constexpr Range ANY_NUMBER{-1e15, 1e15, ""};          // values, without a range of their own
inline constexpr Range LATITUDE{-90.0, 90.0, " degrees"};
inline constexpr Range LONGITUDE{-180.0, 180.0, " degrees"};
inline constexpr Range ANGLE{-360.0, 360.0, " degrees"};     // headings, bearings
inline constexpr Range SCENARIO_TIME{0.0, 86400.0, " s"};    // end, event times, local time: one day
inline constexpr Range FRAME_NUMBER{0.0, 1e8, ""};
inline constexpr Range AIRCRAFT_ALTITUDE{-2000.0, 100000.0, " ft"};
inline constexpr Range AIRCRAFT_SPEED{0.0, 2000.0, " kn"};
inline constexpr Range BOAT_SPEED{0.0, 100.0, " kn"};
inline constexpr Range VERTICAL_SPEED{-30000.0, 30000.0, " ft/min"};
inline constexpr Range DISTANCE_NM{0.0, 10800.0, " nm"};     // half the earth's circumference
inline constexpr Range YAW_RATE{-180.0, 180.0, " degrees/s"};
inline constexpr Range FAIL_COUNT{-1.0, 1e6, " calls"};

inline std::string format_number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

class Reader {
public:
    explicit Reader(std::string path) : path_(std::move(path)) {}

    [[noreturn]] void fail(const TiXmlElement* e, const std::string& message) const
    {
        throw ParseError{message, e ? e->Row() : 1};
    }

    std::string text(const TiXmlElement* e, const char* attr, bool required = true,
                     const std::string& fallback = "") const
    {
        const char* v = e->Attribute(attr);
        if (!v) {
            if (required) fail(e, std::string("<") + e->Value() + "> needs the attribute \"" + attr + "\"");
            return fallback;
        }
        return v;
    }

    // A number within `range` (both ends included); absent gives nullopt.
    std::optional<double> number(const TiXmlElement* e, const char* attr, Range range = ANY_NUMBER) const
    {
        const char* v = e->Attribute(attr);
        if (!v) return std::nullopt;
        char* end = nullptr;
        const double value = std::strtod(v, &end);
        while (end && *end == ' ') ++end;
        if (end == v || (end && *end != '\0') || !std::isfinite(value))
            fail(e, std::string("attribute \"") + attr + "\" is not a number: \"" + v + "\"");
        if (value < range.low || value > range.high)
            fail(e, std::string("attribute \"") + attr + "\" must be between " + format_number(range.low) + " and " +
                        format_number(range.high) + range.unit + ", not " + v);
        return value;
    }

    // A flag: 0 or 1.
    std::optional<bool> flag(const TiXmlElement* e, const char* attr) const
    {
        const auto v = number(e, attr);
        if (v && *v != 0.0 && *v != 1.0)
            fail(e, std::string("attribute \"") + attr + "\" is a flag: 0 or 1, not " + e->Attribute(attr));
        if (!v) return std::nullopt;
        return *v == 1.0;
    }

    double required_number(const TiXmlElement* e, const char* attr, Range range = ANY_NUMBER) const
    {
        auto v = number(e, attr, range);
        if (!v) fail(e, std::string("<") + e->Value() + "> needs the attribute \"" + attr + "\"");
        return *v;
    }

    uint32_t unsigned_number(const TiXmlElement* e, const char* attr) const
    {
        const std::string v = text(e, attr);
        uint32_t value = 0;
        if (!parse_uint32(v, &value))
            fail(e, std::string("attribute \"") + attr + "\" is not an unsigned number (0 to 0xFFFFFFFF): \"" + v + "\"");
        return value;
    }

    // Decimal, hexadecimal (0x) or octal text of a value from 0 to 0xFFFFFFFF,
    // no sign, nothing after it.
    static bool parse_uint32(const std::string& v, uint32_t* out)
    {
        if (v.empty() || v[0] == '-' || v[0] == '+' || std::isspace(static_cast<unsigned char>(v[0]))) return false;
        errno = 0;
        char* end = nullptr;
        const unsigned long long value = std::strtoull(v.c_str(), &end, 0);
        if (*end != '\0' || errno == ERANGE || value > 0xFFFFFFFFull) return false;
        if (out) *out = static_cast<uint32_t>(value);
        return true;
    }

    // Checks that `e` carries no attribute outside `allowed`.
    void only(const TiXmlElement* e, std::initializer_list<const char*> allowed) const
    {
        for (const TiXmlAttribute* a = e->FirstAttribute(); a; a = a->Next()) {
            bool ok = false;
            for (const char* name : allowed) ok = ok || std::string(name) == a->Name();
            if (ok) continue;
            std::vector<std::string> known(allowed.begin(), allowed.end());
            const std::string near = nearest_name(a->Name(), known);
            fail(e, std::string("<") + e->Value() + "> has an unknown attribute \"" + a->Name() + "\"" +
                        (near.empty() ? "" : " (did you mean \"" + near + "\"?)"));
        }
    }

    // Converts `value` given in `unit` to the base unit of `dimension`.
    double to_base(const TiXmlElement* e, double value, const std::string& unit, Dimension dimension) const
    {
        auto info = find_unit(unit);
        if (!info) fail(e, "unknown unit \"" + unit + "\"");
        if (info->dimension != dimension)
            fail(e, "unit \"" + unit + "\" is not a unit of " + dimension_name(dimension));
        return value * info->to_base;
    }

    const std::string& path() const { return path_; }

    // Fixed sites actions name, checked against the carrier list once the
    // whole document (and so its simulator root) is read.
    void name_fixed_site(const std::string& name, int line) const { fixed_sites_named_.push_back({name, line}); }
    const std::vector<std::pair<std::string, int>>& fixed_sites_named() const { return fixed_sites_named_; }

private:
    std::string path_;
    mutable std::vector<std::pair<std::string, int>> fixed_sites_named_;
};

inline const SimVarInfo& var(const char* name) { return *find_sim_var(name); }

inline SimObject* boat_by_title(Host& host, const std::string& title)
{
    for (auto& [id, object] : host.world().objects())
        if (object.kind == ObjectKind::Boat && object.title == title) return host.world().find(id);
    return nullptr;
}

// A place actions are put relative to: a boat, or a fixed site of the carrier
// list (its aim point, with the runway's true heading as its heading).
struct Place {
    double latitude = 0.0;   // radians
    double longitude = 0.0;  // radians, east-positive
    double heading = 0.0;    // radians, true
};

inline std::optional<Place> find_place(Host& host, const std::string& name, std::string* error)
{
    if (const SimObject* boat = boat_by_title(host, name))
        return Place{World::get(*boat, var("PLANE LATITUDE")), World::get(*boat, var("PLANE LONGITUDE")),
                     World::get(*boat, var("PLANE HEADING DEGREES TRUE"))};
    for (const FixedSite& site : read_fixed_sites(host.options().sim_root)) {
        if (site.name == name)
            return Place{site.latitude_deg * M_PI / 180.0, site.longitude_deg * M_PI / 180.0,
                         site.runway_heading_deg * M_PI / 180.0};
    }
    *error = "no boat titled \"" + name + "\" and no fixed site of that name in the carrier list";
    return std::nullopt;
}

// Boats named by a scenario's "ref" attribute: scenario-wide, by object id.
using BoatRefs = std::shared_ptr<std::map<std::string, uint32_t>>;

// The wind, VOR-DME stations, decks, ships steering into the wind and the
// flown aircraft (docs/scenarios.md, "The flown world").
inline double ranged(const Reader& r, const TiXmlElement* e, const char* attr, double lo, double hi, double fallback)
{
    const auto v = r.number(e, attr);
    if (!v) {
        if (std::isnan(fallback)) r.fail(e, std::string("<") + e->Value() + "> needs the attribute \"" + attr + "\"");
        return fallback;
    }
    if (*v < lo || *v > hi)
        r.fail(e, std::string("attribute \"") + attr + "\" = " + r.text(e, attr) + " is outside " +
                      std::to_string(lo) + " .. " + std::to_string(hi));
    return *v;
}

inline bool flag(const Reader& r, const TiXmlElement* e, const char* attr, bool fallback)
{
    const double v = ranged(r, e, attr, 0.0, 1.0, fallback ? 1.0 : 0.0);
    if (v != 0.0 && v != 1.0) r.fail(e, std::string("attribute \"") + attr + "\" is 0 or 1");
    return v == 1.0;
}

inline constexpr double KT = 1852.0 / 3600.0;
inline constexpr double RAD = M_PI / 180.0;

inline FlownAircraft& flown(Host& host)
{
    FlownAircraft& f = FlownAircraft::of(host.world());
    f.set_timeline(&host.timeline());
    f.set_wave_off_light(&host.panel_variables(), host.panel_variables().slot("WaveOffLight"));
    return f;
}

inline Environment& environment(Host& host)
{
    Environment& env = Environment::of(host.world());
    env.set_timeline(&host.timeline());
    return env;
}

// The action parsers: one per element, each returning the action or failing
// the reader with the element's line. scenario_actions.cpp:
ScenarioAction parse_set(const Reader& r, const TiXmlElement* e);
ScenarioAction parse_aircraft(const Reader& r, const TiXmlElement* e);
ScenarioAction parse_boat(const Reader& r, const TiXmlElement* e, const BoatRefs& refs);
ScenarioAction parse_deck(const Reader& r, const TiXmlElement* e, const BoatRefs& refs);
ScenarioAction parse_replay(const Reader& r, const TiXmlElement* e, const BoatRefs& refs);
ScenarioAction parse_mouse(const Reader& r, const TiXmlElement* e);
ScenarioAction parse_snapshot(const Reader& r, const TiXmlElement* e);
// scenario_flown.cpp (docs/scenarios.md, "The flown world"):
ScenarioAction parse_wind(const Reader& r, const TiXmlElement* e);
ScenarioAction parse_station(const Reader& r, const TiXmlElement* e);
ScenarioAction parse_deck_model(const Reader& r, const TiXmlElement* e);
ScenarioAction parse_turn_into_wind(const Reader& r, const TiXmlElement* e);
ScenarioAction parse_flight(const Reader& r, const TiXmlElement* e);
std::optional<ScenarioAction> parse_flown_world_action(const Reader& r, const TiXmlElement* e, const std::string& kind);

}  // namespace host::scenario_detail
