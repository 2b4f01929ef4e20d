// The scenario's actions on the world and the panel: simulator variables,
// the user aircraft, boats, decks, replayed tracks, the mouse and snapshots.
// Each parser checks its element and returns the action the run applies.
#include "host/scenario/scenario_reader.h"
#include "host/scenario/track_replay.h"

#include "host/panel/gauge_panel.h"
#include "host/panel/panel_drawing.h"

namespace host::scenario_detail {

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
    world.rehearse = [=](Rehearsal& rehearsal) {
        SimObject* target = object.empty() ? &rehearsal.world.user() : rehearsal.boat(object);
        if (target) target->values[index] = value;
    };
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
    // Rehearsed: the boat's heading, speed and yaw rate (where it is matters
    // not to a flown approach, which starts relative to it).
    world.rehearse = [=](Rehearsal& rehearsal) {
        SimObject* boat = nullptr;
        if (action == "add") {
            boat = rehearsal.world.find(rehearsal.world.add(ObjectKind::Boat, title));
            if (!ref.empty()) rehearsal.refs[ref] = boat->id;
            World::set(*boat, var("PLANE LATITUDE"), lat ? *lat * M_PI / 180.0 : 0.0);
            World::set(*boat, var("PLANE LONGITUDE"), lon ? *lon * M_PI / 180.0 : 0.0);
            World::set(*boat, var("PLANE HEADING DEGREES TRUE"), heading ? *heading * M_PI / 180.0 : 0.0);
            World::set(*boat, var("AIRSPEED TRUE"), speed ? *speed * 1852.0 / 3600.0 : 0.0);
        } else {
            if (ref.empty()) {
                boat = rehearsal.boat(title);
            } else if (auto it = rehearsal.refs.find(ref); it != rehearsal.refs.end()) {
                boat = rehearsal.world.find(it->second);
            }
            if (!boat) return;
            if (action == "remove") {
                rehearsal.world.remove(boat->id);
                return;
            }
            if (heading) World::set(*boat, var("PLANE HEADING DEGREES TRUE"), *heading * M_PI / 180.0);
            if (speed) World::set(*boat, var("AIRSPEED TRUE"), *speed * 1852.0 / 3600.0);
        }
        if (yaw) World::set(*boat, var("ROTATION VELOCITY BODY Y"), *yaw * M_PI / 180.0);
    };
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
namespace {
// The boat an action finds by title or by ref (either may be empty).
ActionWorld boat_needed(const std::string& title, const std::string& ref)
{
    ActionWorld world;
    if (!title.empty()) world.needs_titles = {title};
    if (!ref.empty()) world.needs_refs = {ref};
    return world;
}
}  // namespace

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
            }, boat_needed(title, ref)};
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
            }, boat_needed(object, ref)};
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

}  // namespace host::scenario_detail
