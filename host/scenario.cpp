// Reading, validating and running scenario files.
//
// Index: [parsing helpers] [actions] [document] [running]
#include "host/scenario.h"
#include "host/track_replay.h"

#include "host/gauge_panel.h"
#include "host/panel_drawing.h"

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

#include "host/config_lint.h"
#include "host/environment.h"
#include "host/flown_aircraft.h"

namespace host {
namespace {

// [parsing helpers] -------------------------------------------------------------
struct ParseError {
    std::string message;
    int line;
};

// The range of a number a scenario gives, with its unit for the message.
// docs/scenarios.md lists every attribute's range.
struct Range {
    double low, high;
    const char* unit;
};
constexpr Range ANY_NUMBER{-1e15, 1e15, ""};          // values, without a range of their own
constexpr Range LATITUDE{-90.0, 90.0, " degrees"};
constexpr Range LONGITUDE{-180.0, 180.0, " degrees"};
constexpr Range ANGLE{-360.0, 360.0, " degrees"};     // headings, bearings
constexpr Range SCENARIO_TIME{0.0, 86400.0, " s"};    // end, event times, local time: one day
constexpr Range FRAME_NUMBER{0.0, 1e8, ""};
constexpr Range AIRCRAFT_ALTITUDE{-2000.0, 100000.0, " ft"};
constexpr Range AIRCRAFT_SPEED{0.0, 2000.0, " kn"};
constexpr Range BOAT_SPEED{0.0, 100.0, " kn"};
constexpr Range VERTICAL_SPEED{-30000.0, 30000.0, " ft/min"};
constexpr Range DISTANCE_NM{0.0, 10800.0, " nm"};     // half the earth's circumference
constexpr Range YAW_RATE{-180.0, 180.0, " degrees/s"};
constexpr Range FAIL_COUNT{-1.0, 1e6, " calls"};

std::string format_number(double value)
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
            if (!ok) fail(e, std::string("<") + e->Value() + "> has an unknown attribute \"" + a->Name() + "\"");
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

const SimVarInfo& var(const char* name) { return *find_sim_var(name); }

SimObject* boat_by_title(Host& host, const std::string& title)
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

std::optional<Place> find_place(Host& host, const std::string& name, std::string* error)
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

// [actions] ----------------------------------------------------------------------
// <set var="NAME" unit="UNIT" value="V"/>: a simulator variable of the user aircraft.
ScenarioAction parse_set(const Reader& r, const TiXmlElement* e)
{
    r.only(e, {"var", "unit", "value", "object"});
    const std::string name = r.text(e, "var");
    const SimVarInfo* info = find_sim_var(name);
    if (!info) r.fail(e, "unknown simulator variable \"" + name + "\"");
    if (info->dimension == Dimension::Text) r.fail(e, "\"" + name + "\" is a text; it cannot be set here");
    const std::string unit = r.text(e, "unit");
    const double value = r.to_base(e, r.required_number(e, "value"), unit, info->dimension);
    const std::string object = r.text(e, "object", false, "");
    const int index = info->index;
    ActionWorld world;
    if (!object.empty()) world.needs_titles.push_back(object);
    return {"set " + name + " = " + r.text(e, "value") + " " + unit, e->Row(),
            [=](Host& host, std::string* error) {
                SimObject* target = &host.world().user();
                if (!object.empty()) {
                    target = boat_by_title(host, object);
                    if (!target) {
                        *error = "no boat titled \"" + object + "\"";
                        return false;
                    }
                }
                target->values[index] = value;
                return true;
            },
            world};
}

// <aircraft .../>: the user aircraft's position, attitude and path.
ScenarioAction parse_aircraft(const Reader& r, const TiXmlElement* e)
{
    r.only(e, {"latitude", "longitude", "altitude", "heading", "speed", "vertical_speed", "on_ground",
               "relative_to", "bearing", "distance", "moving"});
    const auto lat = r.number(e, "latitude", LATITUDE);
    const auto lon = r.number(e, "longitude", LONGITUDE);
    const auto alt = r.number(e, "altitude", AIRCRAFT_ALTITUDE);
    const auto heading = r.number(e, "heading", ANGLE);
    const auto speed = r.number(e, "speed", AIRCRAFT_SPEED);
    const auto vs = r.number(e, "vertical_speed", VERTICAL_SPEED);
    const auto on_ground = r.flag(e, "on_ground");
    const auto moving = r.flag(e, "moving");
    const std::string relative_to = r.text(e, "relative_to", false, "");
    const auto bearing = r.number(e, "bearing", ANGLE);
    const auto distance = r.number(e, "distance", DISTANCE_NM);
    if (!relative_to.empty() && (!bearing || !distance))
        r.fail(e, "relative_to needs bearing (degrees from the boat's or the site's heading) and distance (nm)");
    if (relative_to.empty() && (bearing || distance)) r.fail(e, "bearing and distance need relative_to");
    ActionWorld world;
    world.needs_place = relative_to;
    return {"aircraft", e->Row(), [=](Host& host, std::string* error) {
                SimObject& user = host.world().user();
                host.world().leave_deck();  // placed by the scenario, not by a deck
                if (lat) World::set(user, var("PLANE LATITUDE"), *lat * M_PI / 180.0);
                if (lon) World::set(user, var("PLANE LONGITUDE"), *lon * M_PI / 180.0);
                if (!relative_to.empty()) {
                    const auto place = find_place(host, relative_to, error);
                    if (!place) return false;
                    const double course = place->heading + *bearing * M_PI / 180.0;
                    double la = 0, lo = 0;
                    sphere_destination(place->latitude, place->longitude, course, *distance * 1852.0, &la, &lo);
                    World::set(user, var("PLANE LATITUDE"), la);
                    World::set(user, var("PLANE LONGITUDE"), lo);
                }
                if (alt) World::set(user, var("PLANE ALTITUDE"), *alt * 0.3048);
                if (heading) World::set(user, var("PLANE HEADING DEGREES TRUE"), *heading * M_PI / 180.0);
                if (speed) {
                    World::set(user, var("GROUND VELOCITY"), *speed * 1852.0 / 3600.0);
                    World::set(user, var("AIRSPEED TRUE"), *speed * 1852.0 / 3600.0);
                }
                if (vs) World::set(user, var("VERTICAL SPEED"), *vs * 0.3048 / 60.0);
                if (on_ground) World::set(user, var("SIM ON GROUND"), *on_ground ? 1.0 : 0.0);
                if (moving) user.follows_path = *moving;
                else if (speed || vs) user.follows_path = true;
                return true;
            },
            world};
}

// <boat title=... latitude longitude heading speed [yaw_rate] [action=add|move|remove]/>
// Boats named by a scenario's "ref" attribute: scenario-wide, by object id.
using BoatRefs = std::shared_ptr<std::map<std::string, uint32_t>>;

ScenarioAction parse_boat(const Reader& r, const TiXmlElement* e, const BoatRefs& refs)
{
    r.only(e, {"action", "title", "ref", "latitude", "longitude", "heading", "speed", "yaw_rate", "relative_to",
               "bearing", "distance"});
    const std::string action = r.text(e, "action", false, "add");
    const std::string ref = r.text(e, "ref", false, "");
    const std::string title = r.text(e, "title", action == "add" || ref.empty(), "");
    if (action != "add" && action != "move" && action != "remove")
        r.fail(e, "boat action must be add, move or remove, not \"" + action + "\"");
    const auto lat = r.number(e, "latitude", LATITUDE);
    const auto lon = r.number(e, "longitude", LONGITUDE);
    const auto heading = r.number(e, "heading", ANGLE);
    const auto speed = r.number(e, "speed", BOAT_SPEED);
    const auto yaw = r.number(e, "yaw_rate", YAW_RATE);
    const std::string relative_to = r.text(e, "relative_to", false, "");
    const auto bearing = r.number(e, "bearing", ANGLE);
    const auto distance = r.number(e, "distance", DISTANCE_NM);
    if (action == "add" && relative_to.empty() && (!lat || !lon))
        r.fail(e, "a new boat needs latitude and longitude (or relative_to, bearing, distance)");
    if (!relative_to.empty() && (!bearing || !distance)) r.fail(e, "relative_to needs bearing and distance");
    auto find = [=](Host& host) -> SimObject* {
        if (ref.empty()) return boat_by_title(host, title);
        auto it = refs->find(ref);
        return it == refs->end() ? nullptr : host.world().find(it->second);
    };
    const std::string which = ref.empty() ? "titled \"" + title + "\"" : "with ref \"" + ref + "\"";
    ActionWorld world;
    if (action == "add") {
        world.adds_title = title;
        world.adds_ref = ref;
    } else if (ref.empty()) {
        world.needs_titles.push_back(title);
    } else {
        world.needs_refs.push_back(ref);
    }
    world.needs_place = relative_to;
    return {action + " boat " + (ref.empty() ? title : ref), e->Row(), [=](Host& host, std::string* error) {
                SimObject* boat = nullptr;
                if (action == "remove") {
                    boat = find(host);
                    if (!boat) {
                        *error = "no boat " + which + " to remove";
                        return false;
                    }
                    host.simconnect().remove_object(boat->id);
                    return true;
                }
                double la = lat ? *lat * M_PI / 180.0 : 0.0, lo = lon ? *lon * M_PI / 180.0 : 0.0;
                if (!relative_to.empty()) {
                    const auto place = find_place(host, relative_to, error);
                    if (!place) return false;
                    sphere_destination(place->latitude, place->longitude, place->heading + *bearing * M_PI / 180.0,
                                       *distance * 1852.0, &la, &lo);
                }
                if (action == "add") {
                    const uint32_t id = host.simconnect().add_object(
                        ObjectKind::Boat, title, la, lo, heading ? *heading * M_PI / 180.0 : 0.0,
                        speed ? *speed * 1852.0 / 3600.0 : 0.0, 0.0);
                    if (id == 0) {
                        *error = "the simulator refused the boat " + title + " (see the simconnect_error event)";
                        return false;
                    }
                    boat = host.world().find(id);
                    if (!ref.empty()) (*refs)[ref] = id;
                } else {
                    boat = find(host);
                    if (!boat) {
                        *error = "no boat " + which + " to move";
                        return false;
                    }
                    if (lat || !relative_to.empty()) World::set(*boat, var("PLANE LATITUDE"), la);
                    if (lon || !relative_to.empty()) World::set(*boat, var("PLANE LONGITUDE"), lo);
                    if (heading) World::set(*boat, var("PLANE HEADING DEGREES TRUE"), *heading * M_PI / 180.0);
                    if (speed) World::set(*boat, var("AIRSPEED TRUE"), *speed * 1852.0 / 3600.0);
                }
                if (boat && yaw) World::set(*boat, var("ROTATION VELOCITY BODY Y"), *yaw * M_PI / 180.0);
                return true;
            },
            world};
}

// <deck ship="TITLE" | ref="REF" x="M" z="M" [heading="DEG"] [bow stern half_width]/>:
// the user aircraft stands on a boat's deck at (x starboard, z forward) metres
// in the boat's frame, heading `heading` degrees from the boat's; the deck's
// edges in the same frame (defaults of DeckArea).
ScenarioAction parse_deck(const Reader& r, const TiXmlElement* e, const BoatRefs& refs)
{
    r.only(e, {"ship", "ref", "x", "z", "heading", "bow", "stern", "half_width"});
    const std::string title = r.text(e, "ship", false, "");
    const std::string ref = r.text(e, "ref", false, "");
    if (title.empty() == ref.empty()) r.fail(e, "<deck> names its boat by ship (a title) or by ref, one of them");
    const double x = r.required_number(e, "x");
    const double z = r.required_number(e, "z");
    const double heading = r.number(e, "heading").value_or(0.0);
    DeckArea area;
    area.bow_m = r.number(e, "bow").value_or(area.bow_m);
    area.stern_m = r.number(e, "stern").value_or(area.stern_m);
    area.half_width_m = r.number(e, "half_width").value_or(area.half_width_m);
    if (!(area.stern_m < area.bow_m) || !(area.half_width_m > 0.0))
        r.fail(e, "the deck needs stern < bow and a positive half_width (metres)");
    if (z > area.bow_m || z < area.stern_m || std::fabs(x) > area.half_width_m)
        r.fail(e, "the aircraft's place (x, z) is not on the deck");
    const std::string which = ref.empty() ? "titled \"" + title + "\"" : "with ref \"" + ref + "\"";
    return {"on deck of " + (ref.empty() ? title : ref), e->Row(), [=](Host& host, std::string* error) {
                SimObject* boat = nullptr;
                if (ref.empty()) {
                    boat = boat_by_title(host, title);
                } else if (auto it = refs->find(ref); it != refs->end()) {
                    boat = host.world().find(it->second);
                }
                if (!boat || !host.world().place_on_deck(boat->id, x, z, heading * M_PI / 180.0, area)) {
                    *error = "no boat " + which + " for the deck";
                    return false;
                }
                return true;
            }};
}

// <replay track="FILE.csv" [object="boat title" | ref="boat ref"] [from="track seconds"]/>:
// the user aircraft (or a boat) follows a recorded track from the moment the
// action is applied. The track is read and checked with the scenario.
ScenarioAction parse_replay(const Reader& r, const TiXmlElement* e, const BoatRefs& refs)
{
    r.only(e, {"track", "object", "ref", "from"});
    const std::filesystem::path base = std::filesystem::absolute(r.path()).parent_path();
    const std::string file = r.text(e, "track");
    const std::string path = (base / file).lexically_normal().string();
    const std::string object = r.text(e, "object", false, "");
    const std::string ref = r.text(e, "ref", false, "");
    if (!object.empty() && !ref.empty()) r.fail(e, "a replay drives one object: give object or ref, not both");
    std::vector<std::string> errors;
    auto read = read_track(path, &errors);
    if (!read) {
        std::string message = "the track " + file + " cannot be replayed:";
        for (const std::string& line : errors) message += "\n  " + line;
        r.fail(e, message);
    }
    const auto track = std::make_shared<const Track>(std::move(*read));
    const auto from = r.number(e, "from");
    if (from && (*from < track->rows.front().time_s || *from > track->rows.back().time_s))
        r.fail(e, "from must lie within the track's times");
    const double track_from = from.value_or(track->rows.front().time_s);
    const std::string what = ref.empty() ? (object.empty() ? "the user aircraft" : object) : "ref " + ref;
    return {"replay " + file + " on " + what, e->Row(), [=](Host& host, std::string* error) {
                uint32_t id = World::USER_OBJECT_ID;
                if (!ref.empty()) {
                    auto it = refs->find(ref);
                    if (it == refs->end() || !host.world().find(it->second)) {
                        *error = "no boat with ref \"" + ref + "\" to replay";
                        return false;
                    }
                    id = it->second;
                } else if (!object.empty()) {
                    SimObject* boat = boat_by_title(host, object);
                    if (!boat) {
                        *error = "no boat titled \"" + object + "\" to replay";
                        return false;
                    }
                    id = boat->id;
                }
                auto replay = std::make_shared<TrackReplay>(track, id, host.sim_time(), track_from);
                replay->apply(host);
                host.add_frame_observer(replay);
                return true;
            }};
}

// <click gauge=NAME (x=.. y=.. | area=N) [placement=K] [flags=..] [count=N]/>
// <hover gauge=NAME (x=.. y=.. | area=N) [placement=K]/>
// The mouse on a placed gauge, in the gauge's own pixels (host/gauge_panel).
ScenarioAction parse_mouse(const Reader& r, const TiXmlElement* e)
{
    const std::string kind = e->Value();
    if (kind == "click") r.only(e, {"gauge", "x", "y", "area", "placement", "flags", "count"});
    else r.only(e, {"gauge", "x", "y", "area", "placement"});
    MouseTarget target;
    target.gauge = r.text(e, "gauge");
    auto whole = [&](const char* attr, double lo, double hi) -> std::optional<int> {
        auto v = r.number(e, attr);
        if (!v) return std::nullopt;
        if (*v != std::floor(*v) || *v < lo || *v > hi)
            r.fail(e, std::string("attribute \"") + attr + "\" must be a whole number from " +
                          std::to_string(static_cast<long>(lo)) + " to " + std::to_string(static_cast<long>(hi)));
        return static_cast<int>(*v);
    };
    const auto x = whole("x", -100000, 100000), y = whole("y", -100000, 100000);
    target.area = whole("area", 1, 256).value_or(0);
    target.placement = whole("placement", 0, 1000).value_or(0);
    if (target.area == 0 && (!x || !y)) r.fail(e, "<" + kind + "> needs x and y, or an area number");
    if (target.area != 0 && (x || y)) r.fail(e, "<" + kind + "> takes x and y or an area, not both");
    target.point = {x.value_or(0), y.value_or(0)};
    if (kind == "click") {
        if (e->Attribute("flags")) target.flags = r.unsigned_number(e, "flags");
        const int count = whole("count", 1, 1000).value_or(1);
        return {"click " + target.gauge, e->Row(), [=](Host& host, std::string* error) {
                    for (int i = 0; i < count; ++i)
                        if (!click_gauge(host, target, error)) return false;
                    return true;
                }};
    }
    return {"hover " + target.gauge, e->Row(), [=](Host& host, std::string* error) {
                std::string text;
                return hover_gauge(host, target, &text, error);
            }};
}

// <snapshot [name=STEM]/>: PNG pictures of the placed gauges (host/panel_drawing).
ScenarioAction parse_snapshot(const Reader& r, const TiXmlElement* e)
{
    r.only(e, {"name"});
    const std::string name = r.text(e, "name", false, "");
    for (char c : name)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.'))
            r.fail(e, "a snapshot name uses letters, digits, '_', '-' and '.' only");
    return {"snapshot " + name, e->Row(), [=](Host& host, std::string* error) {
                return write_panel_snapshot(host, name, error);
            }};
}

// [flown world] ---------------------------------------------------------------------
// The wind, VOR-DME stations, decks, ships steering into the wind and the
// flown aircraft (docs/scenarios.md, "The flown world").
double ranged(const Reader& r, const TiXmlElement* e, const char* attr, double lo, double hi, double fallback)
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

bool flag(const Reader& r, const TiXmlElement* e, const char* attr, bool fallback)
{
    const double v = ranged(r, e, attr, 0.0, 1.0, fallback ? 1.0 : 0.0);
    if (v != 0.0 && v != 1.0) r.fail(e, std::string("attribute \"") + attr + "\" is 0 or 1");
    return v == 1.0;
}

constexpr double KT = 1852.0 / 3600.0;
constexpr double RAD = M_PI / 180.0;

FlownAircraft& flown(Host& host)
{
    FlownAircraft& f = FlownAircraft::of(host.world());
    f.set_timeline(&host.timeline());
    f.set_wave_off_light(&host.panel_variables(), host.panel_variables().slot("WaveOffLight"));
    return f;
}

Environment& environment(Host& host)
{
    Environment& env = Environment::of(host.world());
    env.set_timeline(&host.timeline());
    return env;
}

ScenarioAction parse_wind(const Reader& r, const TiXmlElement* e)
{
    r.only(e, {"from", "speed"});
    const double from = ranged(r, e, "from", 0.0, 360.0, NAN) * RAD;
    const double speed = ranged(r, e, "speed", 0.0, 100.0, NAN) * KT;
    return {"wind from " + r.text(e, "from") + " at " + r.text(e, "speed") + " kt", e->Row(),
            [=](Host& host, std::string*) {
                host.world().wind() = WorldWind{from, speed};
                environment(host);
                return true;
            }};
}

ScenarioAction parse_station(const Reader& r, const TiXmlElement* e)
{
    r.only(e, {"ident", "frequency", "latitude", "longitude", "altitude", "range", "dme"});
    NavStation st;
    st.ident = r.text(e, "ident");
    st.frequency_mhz = ranged(r, e, "frequency", 108.0, 117.95, NAN);
    st.lat = ranged(r, e, "latitude", -90.0, 90.0, NAN) * RAD;
    st.lon = ranged(r, e, "longitude", -180.0, 180.0, NAN) * RAD;
    st.altitude_m = ranged(r, e, "altitude", -1000.0, 30000.0, 0.0) * 0.3048;
    st.range_m = ranged(r, e, "range", 1.0, 300.0, 130.0) * 1852.0;
    st.dme = flag(r, e, "dme", true);
    return {"station " + st.ident, e->Row(), [=](Host& host, std::string*) {
                environment(host).add_station(st);
                return true;
            }};
}

// A deck model: a bundled name (scenarios/decks/NAME.xml) or a file relative to the scenario.
ScenarioAction parse_deck_model(const Reader& r, const TiXmlElement* e)
{
    r.only(e, {"boat", "model"});
    const std::string boat = r.text(e, "boat");
    const std::string model = r.text(e, "model");
    namespace fs = std::filesystem;
    const fs::path file = model.find('/') == std::string::npos && fs::path(model).extension() != ".xml"
                              ? fs::path(CARRIER_SOURCE_DIR) / "scenarios/decks" / (model + ".xml")
                              : fs::absolute(r.path()).parent_path() / model;
    std::string error;
    auto deck = load_deck(file.string(), &error);
    if (!deck) r.fail(e, "deck model \"" + model + "\": " + error);
    auto shared = std::make_shared<const DeckModel>(std::move(*deck));
    return {"deck " + model + " on " + boat, e->Row(), [=](Host& host, std::string* err) {
                SimObject* b = boat_by_title(host, boat);
                if (!b) {
                    *err = "no boat titled \"" + boat + "\"";
                    return false;
                }
                flown(host).attach_deck(b->id, shared);
                return true;
            }, ActionWorld{"", "", {boat}, {}, ""}};
}

ScenarioAction parse_turn_into_wind(const Reader& r, const TiXmlElement* e)
{
    r.only(e, {"boat", "rate", "wind_over_deck", "along"});
    const std::string boat = r.text(e, "boat");
    const double rate = ranged(r, e, "rate", 0.1, 5.0, 1.0) * RAD;
    std::optional<double> wod;
    if (e->Attribute("wind_over_deck")) wod = ranged(r, e, "wind_over_deck", 0.0, 60.0, NAN) * KT;
    const std::string along = r.text(e, "along", false, "angled");
    if (along != "angled" && along != "axial") r.fail(e, "along is \"angled\" (the landing area) or \"axial\"");
    return {"turn " + boat + " into the wind", e->Row(), [=](Host& host, std::string* err) {
                SimObject* b = boat_by_title(host, boat);
                if (!b) {
                    *err = "no boat titled \"" + boat + "\"";
                    return false;
                }
                const DeckModel* deck = flown(host).deck_of(b->id);
                if (along == "angled" && !deck) {
                    *err = "the boat has no deck model for along=\"angled\" (attach one with <deck_model>)";
                    return false;
                }
                SteeredShip ship;
                ship.boat_id = b->id;
                ship.rate = rate;
                ship.offset = along == "angled" ? deck->landing_angle_deg * RAD : 0.0;
                ship.wind_over_deck_mps = wod;
                environment(host).steer(ship);
                return true;
            }, ActionWorld{"", "", {boat}, {}, ""}};
}

ScenarioAction parse_flight(const Reader& r, const TiXmlElement* e)
{
    const std::string action = r.text(e, "action", false, "approach");
    if (action == "go_around") {
        r.only(e, {"action"});
        return {"flight go around", e->Row(), [](Host& host, std::string*) {
                    flown(host).go_around("scenario");
                    return true;
                }};
    }
    if (action == "controls") {
        r.only(e, {"action", "hook", "gear", "throttle"});
        std::optional<bool> hook, gear;
        if (e->Attribute("hook")) hook = flag(r, e, "hook", false);
        if (e->Attribute("gear")) gear = flag(r, e, "gear", true);
        std::optional<double> throttle;
        if (e->Attribute("throttle")) throttle = ranged(r, e, "throttle", 0.0, 100.0, NAN);
        return {"flight controls", e->Row(), [=](Host& host, std::string*) {
                    FlownAircraft& f = flown(host);
                    if (hook) f.set_hook(*hook);
                    if (gear) f.set_gear(*gear);
                    if (throttle) f.set_throttle(*throttle);
                    return true;
                }};
    }
    if (action == "catapult") {
        r.only(e, {"action", "deck", "number", "throttle"});
        const std::string boat = r.text(e, "deck");
        const double number = ranged(r, e, "number", 1.0, 4.0, NAN);
        if (number != std::floor(number)) r.fail(e, "a catapult number is 1, 2, 3 or 4");
        const double throttle = ranged(r, e, "throttle", 0.0, 100.0, 0.0);
        return {"flight on catapult " + r.text(e, "number"), e->Row(), [=](Host& host, std::string* err) {
                    SimObject* b = boat_by_title(host, boat);
                    if (!b) {
                        *err = "no boat titled \"" + boat + "\"";
                        return false;
                    }
                    FlownAircraft& f = flown(host);
                    f.set_throttle(throttle);
                    return f.place_on_catapult(host.world(), b->id, static_cast<int>(number), err);
                }, ActionWorld{"", "", {boat}, {}, ""}};
    }
    if (action != "approach") r.fail(e, "flight action must be approach, go_around, catapult or controls, not \"" + action + "\"");
    r.only(e, {"action", "deck", "site", "distance", "right", "altitude", "speed", "gs_angle", "aim_offset", "hook",
               "gear", "wave_off_on_lights", "runway_length", "runway_width", "aim_point"});
    const bool to_site = e->Attribute("site") != nullptr;
    if (to_site && e->Attribute("deck")) r.fail(e, "a flight approach goes to a deck or to a site, not both");
    if (!to_site && !e->Attribute("deck"))
        r.fail(e, "a flight approach needs a deck (a boat title) or a site (a fixed site of the carrier list)");
    if (!to_site)
        for (const char* runway_attr : {"runway_length", "runway_width", "aim_point"})
            if (e->Attribute(runway_attr))
                r.fail(e, std::string("\"") + runway_attr + "\" belongs to an approach to a site, not to a deck");
    const std::string boat = to_site ? r.text(e, "site") : r.text(e, "deck");
    RunwaySite runway;
    if (to_site) {
        runway.name = boat;
        runway.length_m = ranged(r, e, "runway_length", 800.0, 5000.0, 2400.0);
        runway.width_m = ranged(r, e, "runway_width", 20.0, 100.0, 45.0);
        runway.aim_point_m = ranged(r, e, "aim_point", 0.0, 1000.0, 300.0);
        if (runway.aim_point_m > runway.length_m - 600.0)
            r.fail(e, "the aim point lies at most runway_length - 600 m from the threshold (room to stop)");
        r.name_fixed_site(boat, e->Row());
    }
    ApproachStart start;
    start.distance_nm = ranged(r, e, "distance", 0.3, 20.0, 4.0);
    start.right_m = ranged(r, e, "right", -5000.0, 5000.0, 0.0);
    if (e->Attribute("altitude")) start.altitude_m = ranged(r, e, "altitude", 50.0, 20000.0, NAN) * 0.3048;
    start.plan.speed_mps = ranged(r, e, "speed", 100.0, 250.0, 140.0) * KT;
    start.plan.gs_angle_deg = ranged(r, e, "gs_angle", 2.0, 6.0, 3.5);
    start.plan.aim_offset_m = ranged(r, e, "aim_offset", -60.0, 150.0, 0.0);
    start.hook_down = flag(r, e, "hook", true);
    start.gear_down = flag(r, e, "gear", true);
    start.wave_off_on_lights = flag(r, e, "wave_off_on_lights", false);
    for (const TiXmlElement* d = e->FirstChildElement(); d; d = d->NextSiblingElement()) {
        if (std::string(d->Value()) != "deviation") r.fail(d, "a <flight> holds only <deviation> elements");
        r.only(d, {"from", "to", "glide", "line"});
        if (start.plan.deviation_count == ApproachPlan::MAX_DEVIATIONS)
            r.fail(d, "a flight has at most " + std::to_string(ApproachPlan::MAX_DEVIATIONS) + " deviations");
        ApproachDeviation dev;
        dev.from_nm = ranged(r, d, "from", 0.0, 20.0, NAN);
        dev.to_nm = ranged(r, d, "to", 0.0, 20.0, NAN);
        if (dev.to_nm >= dev.from_nm) r.fail(d, "a deviation runs from a distance down to a smaller one");
        dev.glide_deg = ranged(r, d, "glide", -3.0, 3.0, 0.0);
        dev.line_deg = ranged(r, d, "line", -10.0, 10.0, 0.0);
        start.plan.deviations[static_cast<size_t>(start.plan.deviation_count++)] = dev;
    }
    if (to_site) {
        return {"flight approach to the site " + boat, e->Row(), [=](Host& host, std::string* err) {
                    for (const FixedSite& site : read_fixed_sites(host.options().sim_root)) {
                        if (site.name != boat) continue;
                        if (!(site.altitude_ft >= -1500.0 && site.altitude_ft <= 30000.0)) {
                            *err = "the fixed site \"" + boat + "\" has an elevation outside -1500 to 30000 ft";
                            return false;
                        }
                        RunwaySite placed = runway;
                        placed.lat = site.latitude_deg * RAD;
                        placed.lon = std::remainder(site.longitude_deg * RAD, 2.0 * M_PI);
                        placed.altitude_m = site.altitude_ft * 0.3048;
                        placed.heading = std::fmod(std::fmod(site.runway_heading_deg, 360.0) + 360.0, 360.0) * RAD;
                        return flown(host).begin_site_approach(host.world(), placed, start, err);
                    }
                    *err = "no fixed site \"" + boat + "\" in the carrier list";
                    return false;
                }, ActionWorld{"", "", {}, {}, boat}};
    }
    return {"flight approach to " + boat, e->Row(), [=](Host& host, std::string* err) {
                SimObject* b = boat_by_title(host, boat);
                if (!b) {
                    *err = "no boat titled \"" + boat + "\"";
                    return false;
                }
                return flown(host).begin_approach(host.world(), b->id, start, err);
            }, ActionWorld{"", "", {boat}, {}, ""}};
}

std::optional<ScenarioAction> parse_flown_world_action(const Reader& r, const TiXmlElement* e, const std::string& kind)
{
    if (kind == "wind") return parse_wind(r, e);
    if (kind == "station") return parse_station(r, e);
    if (kind == "deck_model") return parse_deck_model(r, e);
    if (kind == "turn_into_wind") return parse_turn_into_wind(r, e);
    if (kind == "flight") return parse_flight(r, e);
    return std::nullopt;
}

ScenarioAction parse_action(const Reader& r, const TiXmlElement* e, const BoatRefs& refs)
{
    const std::string kind0 = e->Value();
    if (kind0 == "click" || kind0 == "hover") return parse_mouse(r, e);
    if (kind0 == "snapshot") return parse_snapshot(r, e);
    const std::string kind = e->Value();
    if (kind == "deck") return parse_deck(r, e, refs);
    if (kind == "replay") return parse_replay(r, e, refs);
    if (auto flown_action = parse_flown_world_action(r, e, kind)) return std::move(*flown_action);
    if (kind == "set") return parse_set(r, e);
    if (kind == "aircraft") return parse_aircraft(r, e);
    if (kind == "boat") return parse_boat(r, e, refs);
    if (kind == "key") {
        r.only(e, {"event", "value"});
        const std::string event = r.text(e, "event");
        uint32_t id = 0;
        if (auto named = find_key_event(event)) {
            id = *named;
        } else {
            const bool numeric = !event.empty() && std::isdigit(static_cast<unsigned char>(event[0]));
            if (!numeric) r.fail(e, "unknown key event \"" + event + "\"");
            if (!Reader::parse_uint32(event, &id))
                r.fail(e, "key event \"" + event + "\" is not a number from 0 to 0xFFFFFFFF");
        }
        const uint32_t value = e->Attribute("value") ? r.unsigned_number(e, "value") : 0;
        return {"key " + event, e->Row(), [=](Host& host, std::string*) {
                    host.trigger_key_event(id, value, "scenario");
                    return true;
                }};
    }
    if (kind == "lvar") {
        r.only(e, {"name", "unit", "value"});
        const std::string name = r.text(e, "name");
        const std::string unit = r.text(e, "unit", false, "number");
        if (!find_unit(unit)) r.fail(e, "unknown unit \"" + unit + "\"");
        const double value = r.required_number(e, "value");
        return {"lvar " + name, e->Row(), [=](Host& host, std::string*) {
                    host.set_panel_variable(name, unit, value, "scenario");
                    return true;
                }};
    }
    if (kind == "input") {
        r.only(e, {"definition", "value"});
        const std::string definition = r.text(e, "definition");
        const uint32_t value = e->Attribute("value") ? r.unsigned_number(e, "value") : 1;
        return {"input " + definition, e->Row(), [=](Host& host, std::string*) {
                    host.simconnect().press_input(definition, value);
                    return true;
                }};
    }
    if (kind == "system_event") {
        r.only(e, {"name"});
        const std::string name = r.text(e, "name");
        return {"system event " + name, e->Row(), [=](Host& host, std::string*) {
                    host.simconnect().fire_system_event(name);
                    return true;
                }};
    }
    if (kind == "fail") {
        r.only(e, {"call", "count"});
        const std::string call = r.text(e, "call");
        if (call.rfind("SimConnect_", 0) != 0) r.fail(e, "fail call names a SimConnect function, not \"" + call + "\"");
        const double count = e->Attribute("count") ? r.required_number(e, "count", FAIL_COUNT) : 1.0;
        if (count != std::floor(count)) r.fail(e, "count is a number of calls, or -1 for from now on");
        return {"fail " + call, e->Row(), [=](Host& host, std::string*) {
                    host.simconnect().fail_call(call, static_cast<int>(count));
                    return true;
                }};
    }
    if (kind == "container") {
        r.only(e, {"title"});
        const std::string title = r.text(e, "title");
        return {"container " + title, e->Row(), [=](Host& host, std::string*) {
                    host.world().add_known_title(title);
                    return true;
                }};
    }
    if (kind == "panel_lights") {
        r.only(e, {"on"});
        const auto on_flag = r.flag(e, "on");
        if (!on_flag) r.fail(e, "<panel_lights> needs the attribute \"on\"");
        const bool on = *on_flag;
        return {"panel lights", e->Row(), [=](Host& host, std::string*) {
                    host.set_panel_lights(on);
                    return true;
                }};
    }
    if (kind == "note") {
        r.only(e, {"text"});
        const std::string text = r.text(e, "text");
        return {"note", e->Row(), [=](Host& host, std::string*) {
                    host.timeline().add("note", {{"text", text}});
                    return true;
                }};
    }
    r.fail(e, "unknown action <" + kind + ">");
}

// [document] ------------------------------------------------------------------------
Scenario parse_document(const Reader& r, TiXmlDocument& doc)
{
    Scenario s;
    s.path = r.path();
    const TiXmlElement* root = doc.RootElement();
    if (!root || std::string(root->Value()) != "runscript") r.fail(root, "the top element must be <runscript>");
    r.only(root, {"name"});
    s.name = r.text(root, "name", false, std::filesystem::path(r.path()).stem().string());

    std::error_code base_ec;
    const std::filesystem::path base = std::filesystem::absolute(r.path(), base_ec).parent_path();
    if (base_ec) r.fail(root, "cannot find the scenario's folder: " + base_ec.message());
    const BoatRefs refs = std::make_shared<std::map<std::string, uint32_t>>();
    bool have_run = false;
    bool have_root = false;
    for (const TiXmlElement* e = root->FirstChildElement(); e; e = e->NextSiblingElement()) {
        const std::string kind = e->Value();
        if (kind == "description") {
            s.description = e->GetText() ? e->GetText() : "";
        } else if (kind == "simulator") {
            r.only(e, {"root", "local_time", "sim_start", "sound_library"});
            const std::string root_text = r.text(e, "root");
            if (root_text.empty()) r.fail(e, "the simulator root is empty; give the directory that holds Gauges/");
            const std::filesystem::path root_path = base / root_text;
            // File-system errors (a name too long, a symlink loop, no
            // permission) are errors of this line, not of the program.
            std::error_code ec;
            const bool is_dir = std::filesystem::is_directory(root_path, ec);
            if (ec == std::errc::no_such_file_or_directory)
                r.fail(e, "the simulator root " + root_path.string() + " does not exist");
            if (ec && ec != std::errc::not_a_directory)
                r.fail(e, "the simulator root " + root_path.string() + " cannot be reached: " + ec.message());
            if (!is_dir) r.fail(e, "the simulator root " + root_path.string() + " is not a directory");
            s.sim_root = std::filesystem::canonical(root_path, ec).string();
            if (ec) r.fail(e, "the simulator root " + root_path.string() + " cannot be resolved: " + ec.message());
            if (auto t = r.number(e, "local_time", SCENARIO_TIME)) s.local_time = *t;
            if (auto a = r.flag(e, "sim_start")) s.auto_sim_start = *a;
            if (auto a = r.flag(e, "sound_library")) s.sound_library = *a;
            have_root = true;
        } else if (kind == "panel") {
            r.only(e, {});
            for (const TiXmlElement* g = e->FirstChildElement(); g; g = g->NextSiblingElement()) {
                if (std::string(g->Value()) != "gauge") r.fail(g, "a <panel> holds only <gauge> elements");
                r.only(g, {"name", "parameters"});
                s.panel.push_back({r.text(g, "name"), r.text(g, "parameters", false, ""), g->Row()});
            }
        } else if (kind == "world") {
            r.only(e, {});
            for (const TiXmlElement* a = e->FirstChildElement(); a; a = a->NextSiblingElement())
                s.setup.push_back(parse_action(r, a, refs));
        } else if (kind == "run") {
            if (have_run) r.fail(e, "a scenario has one <run>");
            have_run = true;
            r.only(e, {"rate", "end", "dt"});
            if (auto rate = r.number(e, "rate")) s.frame_rate = *rate;
            if (auto dt = r.number(e, "dt")) {
                if (*dt <= 0) r.fail(e, "dt must be positive");
                s.frame_rate = 1.0 / *dt;
            }
            if (s.frame_rate <= 0 || s.frame_rate > 1000) r.fail(e, "rate must be between 0 and 1000 frames per second");
            s.end_time = r.required_number(e, "end", SCENARIO_TIME);
            for (const TiXmlElement* ev = e->FirstChildElement(); ev; ev = ev->NextSiblingElement()) {
                if (std::string(ev->Value()) != "event") r.fail(ev, "a <run> holds only <event> elements");
                r.only(ev, {"name", "time", "frame", "condition", "repeat"});
                ScenarioEvent event;
                event.name = r.text(ev, "name", false, "event at line " + std::to_string(ev->Row()));
                event.line = ev->Row();
                event.time = r.number(ev, "time", SCENARIO_TIME);
                if (auto frame = r.number(ev, "frame", FRAME_NUMBER)) {
                    if (event.time) r.fail(ev, "an event has a time or a frame, not both");
                    if (*frame != std::floor(*frame)) r.fail(ev, "frame is a whole number of frames");
                    event.time = *frame / s.frame_rate;
                    event.frame = *frame;
                }
                if (ev->Attribute("condition")) event.condition = ev->Attribute("condition");
                if (!event.time && !event.condition) r.fail(ev, "an event needs a time, a frame or a condition");
                event.repeat = r.flag(ev, "repeat").value_or(false);
                for (const TiXmlElement* a = ev->FirstChildElement(); a; a = a->NextSiblingElement())
                    event.actions.push_back(parse_action(r, a, refs));
                s.events.push_back(std::move(event));
            }
        } else {
            r.fail(e, "unknown element <" + kind + ">");
        }
    }
    if (!have_root) r.fail(root, "the scenario names no <simulator root=\"...\">");
    if (!have_run) r.fail(root, "the scenario has no <run>");
    if (!r.fixed_sites_named().empty()) {
        const std::vector<FixedSite> sites = read_fixed_sites(s.sim_root);
        for (const auto& [name, line] : r.fixed_sites_named()) {
            bool known = false;
            for (const FixedSite& site : sites) known = known || site.name == name;
            if (!known)
                throw ParseError{"no fixed site \"" + name + "\" (CarrierType 2) in the carrier list " +
                                     (std::filesystem::path(s.sim_root) / "Gauges" / "ZEB_Carrier.xml").string(),
                                 line};
        }
    }
    return s;
}

}  // namespace

std::optional<Scenario> load_scenario(const std::string& path, std::string* error)
{
    // A file that cannot be read is an error of its first line.
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (ec || !std::filesystem::exists(status)) {
        *error = path + ":1: cannot open the scenario file: " + (ec ? ec.message() : "no such file");
        return std::nullopt;
    }
    if (std::filesystem::is_directory(status)) {
        *error = path + ":1: cannot open the scenario file: it is a directory";
        return std::nullopt;
    }
    TiXmlDocument doc(path.c_str());
    errno = 0;
    if (!load_xml_file(doc)) {
        if (doc.ErrorId() == TiXmlBase::TIXML_ERROR_OPENING_FILE)
            *error = path + ":1: cannot open the scenario file" + (errno ? ": " + std::string(std::strerror(errno)) : "");
        else
            *error = path + ":" + std::to_string(doc.ErrorRow()) + ": " + doc.ErrorDesc();
        return std::nullopt;
    }
    try {
        Reader reader(path);
        Scenario scenario = parse_document(reader, doc);
        // Conditions are checked with the calculator of a throwaway host.
        struct NullCalculatorHost : CalculatorHost {
            double read_sim_var(int) override { return 0.0; }
            double local_time_seconds() override { return 0.0; }
            void panel_variable_stored(int, double) override {}
            void raise_key_event(uint32_t, uint32_t) override {}
            void calculator_error(std::string_view, std::string_view) override {}
        } null_host;
        PanelVariables panel_variables;
        Calculator checker(null_host, panel_variables);
        for (const ScenarioEvent& event : scenario.events) {
            std::string reason;
            if (event.condition && !checker.check(*event.condition, &reason)) {
                *error = path + ":" + std::to_string(event.line) + ": bad condition \"" + *event.condition + "\": " + reason;
                return std::nullopt;
            }
        }
        return scenario;
    } catch (const ParseError& e) {
        *error = path + ":" + std::to_string(e.line) + ": " + e.message;
        return std::nullopt;
    } catch (const std::exception& e) {
        // Whatever else goes wrong (the file system, memory) is still this
        // file's error, never an abort.
        *error = path + ":1: cannot read the scenario: " + e.what();
        return std::nullopt;
    }
}

int64_t last_frame_of(const Scenario& scenario)
{
    // The reader keeps end within a day and the rate at most 1000 frames/s;
    // a hand-built Scenario beyond that gives -1, not an undefined conversion.
    const double frames = std::round(scenario.end_time * scenario.frame_rate);
    if (!(frames >= 0.0 && frames <= 86400.0 * 1000.0)) return -1;
    return static_cast<int64_t>(frames);
}

HostOptions host_options_for(const Scenario& scenario, const std::string& module_path)
{
    HostOptions options;
    options.module_path = module_path;
    options.sim_root = scenario.sim_root;
    options.frame_rate = scenario.frame_rate;
    options.local_time_start = scenario.local_time;
    options.auto_sim_start = scenario.auto_sim_start;
    options.sound_library = scenario.sound_library;
    return options;
}

// [running] ----------------------------------------------------------------------------
namespace {
// Applies `actions` in order. A failed action is recorded and the next one
// still runs: one refused request does not cut the run short.
void apply_actions(Host& host, const std::vector<ScenarioAction>& actions, const std::string& path, RunResult& result)
{
    for (const ScenarioAction& action : actions) {
        std::string error;
        host.timeline().add("scenario", {{"action", action.description}, {"line", action.line}});
        if (!action.apply(host, &error)) {
            host.timeline().add("action_failed", {{"action", action.description}, {"line", action.line}, {"error", error}});
            result.failures.push_back(path + ":" + std::to_string(action.line) + ": " + error);
            if (result.error.empty()) result.error = result.failures.back();
        }
    }
}
}  // namespace

RunResult run_scenario(Scenario& scenario, Host& host, const std::function<void(double)>& progress)
{
    RunResult result;
    std::string error;
    if (!host.load(&error)) {
        result.error = error;
        return result;
    }
    // Every gauge must exist before anything runs.
    for (const PanelPlacement& p : scenario.panel) {
        bool found = false;
        for (GAUGEHDR* const* g = host.linkage()->gauge_header_ptrs; *g; ++g) found = found || p.gauge == (*g)->gauge_name;
        if (!found) {
            result.error = scenario.path + ":" + std::to_string(p.line) + ": the module has no gauge named \"" + p.gauge + "\"";
            return result;
        }
    }
    apply_actions(host, scenario.setup, scenario.path, result);
    if (!host.start(&error)) {
        result.error = error;
        return result;
    }
    for (const PanelPlacement& p : scenario.panel) {
        if (host.place_gauge(p.gauge, p.parameters, &error) < 0) {
            result.error = scenario.path + ":" + std::to_string(p.line) + ": " + error;
            return result;
        }
    }
    host.connect_gauges();

    const int64_t last_frame = last_frame_of(scenario);
    if (last_frame < 0) {
        result.error = scenario.path + ":1: the run's end and rate give more frames than a day at 1000 frames/s";
        return result;
    }
    double next_progress = 1.0;
    for (int64_t frame = 1; frame <= last_frame; ++frame) {
        const double t = static_cast<double>(frame) / scenario.frame_rate;
        host.timeline().set_clock(t, frame);  // actions are stamped with the frame they precede
        for (ScenarioEvent& event : scenario.events) {
            bool due = false;
            if (event.time) {
                due = !event.fired && *event.time <= t + 1e-9;
            }
            if (event.condition) {
                double value = 0.0;
                host.execute_calculator(event.condition->c_str(), &value, nullptr, nullptr);
                const bool now = value != 0.0;
                const bool rising = now && !event.last_condition;
                event.last_condition = now;
                if (event.time) due = due && now;
                else due = rising && (!event.fired || event.repeat);
            }
            if (!due) continue;
            event.fired = true;
            host.timeline().add("event", {{"name", event.name}, {"line", event.line}});
            apply_actions(host, event.actions, scenario.path, result);
        }
        host.step_frame();
        if (!write_periodic_snapshot(host, t, &error)) {
            result.error = error;
            return result;
        }
        if (progress && t + 1e-9 >= next_progress) {
            progress(t);
            next_progress = std::floor(t) + 1.0;
        }
    }
    host.stop();
    result.completed = true;
    result.ok = result.failures.empty();
    return result;
}

}  // namespace host
