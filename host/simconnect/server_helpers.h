// The SimConnect server's own helpers, shared by its two halves
// (simconnect_server.cpp: the connection, delivery and the host's side;
// simconnect_requests.cpp: the client's declarations and requests): the
// calls' names, system events and key names, datum encoding, input
// definitions and record building. Internal to host/simconnect/.
#pragma once

#include "host/simconnect/simconnect_server.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>
#include <string_view>

namespace host::server_detail {

// [helpers] -------------------------------------------------------------------

inline constexpr DWORD RECORD_VERSION = 4;  // dwVersion of every record the server sends
inline constexpr size_t DATA_HEADER_BYTES = 40;  // SIMOBJECT_DATA up to dwData
static_assert(sizeof(SIMCONNECT_RECV_SIMOBJECT_DATA) == DATA_HEADER_BYTES + sizeof(DWORD));

inline constexpr double DEG_RAD = std::numbers::pi / 180.0;
inline constexpr double FOOT_M = 0.3048;
inline constexpr double KNOT_MPS = 1852.0 / 3600.0;

inline constexpr std::string_view CALL_NAMES[] = {
    "SimConnect_Open",
    "SimConnect_Close",
    "SimConnect_CallDispatch",
    "SimConnect_SubscribeToSystemEvent",
    "SimConnect_MapClientEventToSimEvent",
    "SimConnect_MapInputEventToClientEvent",
    "SimConnect_SetInputGroupState",
    "SimConnect_AddClientEventToNotificationGroup",
    "SimConnect_AddToDataDefinition",
    "SimConnect_RequestDataOnSimObject",
    "SimConnect_RequestDataOnSimObjectType",
    "SimConnect_SetDataOnSimObject",
    "SimConnect_AICreateSimulatedObject",
    "SimConnect_AIReleaseControl",
    "SimConnect_AIRemoveObject",
    "SimConnect_Text",
};

// System events a client may subscribe to, lower case.
inline constexpr std::string_view SYSTEM_EVENTS[] = {
    "1sec",          "4sec",           "6hz",       "aircraftloaded",        "crashed",
    "crashreset",    "flightloaded",   "flightsaved", "flightplanactivated", "flightplandeactivated",
    "frame",         "objectadded",    "objectremoved", "pause",             "paused",
    "pauseframe",    "positionchanged", "sim",      "simstart",              "simstop",
    "sound",         "unpaused",       "view",      "weathermodechanged",
};

// Key names an input definition may end with, besides one character and F1-F24.
inline constexpr std::string_view KEY_NAMES[] = {
    "space", "enter",  "return", "tab",     "esc",      "escape", "backspace", "delete",
    "del",   "insert", "ins",    "home",    "end",      "pageup", "pagedown",  "pgup",
    "pgdn",  "up",     "down",   "left",    "right",    "pause",  "minus",     "plus",
};

inline std::string lower(std::string_view text)
{
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

inline std::string trim(std::string_view text)
{
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
    return std::string(text.substr(begin, end - begin));
}

inline nlohmann::json text_arg(const char* text) { return text ? nlohmann::json(text) : nlohmann::json(nullptr); }

inline bool is_digits(std::string_view text)
{
    return !text.empty() && text.size() <= 4 &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// An input definition in the form bindings are compared in: lower case, each
// "+"-separated part trimmed ("Ctrl + Shift + N" -> "ctrl+shift+n").
inline std::string normalise_input(std::string_view definition)
{
    std::string out;
    size_t start = 0;
    while (true) {
        const size_t plus = definition.find('+', start);
        const std::string_view part =
            definition.substr(start, plus == std::string_view::npos ? std::string_view::npos : plus - start);
        out += lower(trim(part));
        if (plus == std::string_view::npos) break;
        out += '+';
        start = plus + 1;
    }
    return out;
}

// Whether a normalised definition is a keyboard combination (at most two of
// shift, ctrl, alt, then a key) or "joystick:N:button:M". Sets *why otherwise.
inline bool valid_input(const std::string& normalised, std::string* why)
{
    if (normalised.rfind("joystick", 0) == 0) {
        // joystick:N:button:M
        std::vector<std::string_view> fields;
        std::string_view rest(normalised);
        size_t colon;
        while ((colon = rest.find(':')) != std::string_view::npos) {
            fields.push_back(rest.substr(0, colon));
            rest.remove_prefix(colon + 1);
        }
        fields.push_back(rest);
        if (fields.size() == 4 && fields[0] == "joystick" && is_digits(fields[1]) && fields[2] == "button" &&
            is_digits(fields[3]))
            return true;
        *why = "a joystick input reads joystick:N:button:M";
        return false;
    }
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        const size_t plus = normalised.find('+', start);
        parts.push_back(normalised.substr(start, plus == std::string::npos ? std::string::npos : plus - start));
        if (plus == std::string::npos) break;
        start = plus + 1;
    }
    const std::string& key = parts.back();
    std::set<std::string> modifiers;
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        if (parts[i] != "shift" && parts[i] != "ctrl" && parts[i] != "alt") {
            *why = "\"" + parts[i] + "\" is not a modifier (Shift, Ctrl, Alt)";
            return false;
        }
        if (!modifiers.insert(parts[i]).second) {
            *why = "modifier \"" + parts[i] + "\" given twice";
            return false;
        }
    }
    if (modifiers.size() > 2) {
        *why = "more than two modifiers";
        return false;
    }
    const bool one_char = key.size() == 1 && std::isgraph(static_cast<unsigned char>(key[0]));
    bool function_key = false;
    if (key.size() >= 2 && key[0] == 'f' && is_digits(std::string_view(key).substr(1))) {
        const int n = std::stoi(key.substr(1));
        function_key = n >= 1 && n <= 24;
    }
    const bool named = std::find(std::begin(KEY_NAMES), std::end(KEY_NAMES), key) != std::end(KEY_NAMES);
    if (!one_char && !function_key && !named) {
        *why = key.empty() ? std::string("no key after the modifiers") : "\"" + key + "\" is not a key name";
        return false;
    }
    return true;
}

// Great-circle distance on the world sphere, metres; radians in.
inline double distance_m(double lat1, double lon1, double lat2, double lon2)
{
    const double s_lat = std::sin((lat2 - lat1) / 2.0);
    const double s_lon = std::sin((lon2 - lon1) / 2.0);
    const double a = s_lat * s_lat + std::cos(lat1) * std::cos(lat2) * s_lon * s_lon;
    return 2.0 * WORLD_RADIUS_M * std::asin(std::min(1.0, std::sqrt(a)));
}

inline DWORD object_type_of(ObjectKind kind)
{
    switch (kind) {
    case ObjectKind::User: return SIMCONNECT_SIMOBJECT_TYPE_USER;
    case ObjectKind::Boat: return SIMCONNECT_SIMOBJECT_TYPE_BOAT;
    case ObjectKind::Aircraft: return SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT;
    case ObjectKind::Helicopter: return SIMCONNECT_SIMOBJECT_TYPE_HELICOPTER;
    case ObjectKind::Ground: return SIMCONNECT_SIMOBJECT_TYPE_GROUND;
    }
    return SIMCONNECT_SIMOBJECT_TYPE_ALL;
}

inline const char* kind_name(ObjectKind kind)
{
    switch (kind) {
    case ObjectKind::User: return "user";
    case ObjectKind::Boat: return "boat";
    case ObjectKind::Aircraft: return "aircraft";
    case ObjectKind::Helicopter: return "helicopter";
    case ObjectKind::Ground: return "ground";
    }
    return "unknown";
}

// Whether a by-type request for `type` covers an object of `kind`. The user
// aircraft counts as an aircraft.
inline bool type_covers(DWORD type, ObjectKind kind)
{
    switch (type) {
    case SIMCONNECT_SIMOBJECT_TYPE_USER: return kind == ObjectKind::User;
    case SIMCONNECT_SIMOBJECT_TYPE_ALL: return true;
    case SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT: return kind == ObjectKind::Aircraft || kind == ObjectKind::User;
    case SIMCONNECT_SIMOBJECT_TYPE_HELICOPTER: return kind == ObjectKind::Helicopter;
    case SIMCONNECT_SIMOBJECT_TYPE_BOAT: return kind == ObjectKind::Boat;
    case SIMCONNECT_SIMOBJECT_TYPE_GROUND: return kind == ObjectKind::Ground;
    default: return false;
    }
}

// Bytes of a datum of `type`; 0 for a type the server does not carry.
inline size_t datum_size(SIMCONNECT_DATATYPE type)
{
    switch (type) {
    case SIMCONNECT_DATATYPE_INT32:
    case SIMCONNECT_DATATYPE_FLOAT32: return 4;
    case SIMCONNECT_DATATYPE_INT64:
    case SIMCONNECT_DATATYPE_FLOAT64: return 8;
    case SIMCONNECT_DATATYPE_STRING256: return 256;
    default: return 0;
    }
}

inline int32_t to_int32(double v)
{
    if (std::isnan(v)) return 0;
    v = std::trunc(v);
    if (v <= static_cast<double>(std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
    if (v >= static_cast<double>(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(v);
}

inline int64_t to_int64(double v)
{
    if (std::isnan(v)) return 0;
    v = std::trunc(v);
    constexpr double LIMIT = 9223372036854775808.0;  // 2^63
    if (v < -LIMIT) return std::numeric_limits<int64_t>::min();
    if (v >= LIMIT) return std::numeric_limits<int64_t>::max();
    return static_cast<int64_t>(v);
}

inline float to_float32(double v)
{
    if (v > FLT_MAX) return std::numeric_limits<float>::infinity();
    if (v < -FLT_MAX) return -std::numeric_limits<float>::infinity();
    return static_cast<float>(v);
}

template <typename T>
inline void put(uint8_t* out, T value)
{
    std::memcpy(out, &value, sizeof value);
}

template <typename T>
T take(const uint8_t* in)
{
    T value;
    std::memcpy(&value, in, sizeof value);
    return value;
}

// Writes one datum of `object` at `out` (datum.size bytes, already zero) and
// appends its value to `values` when given.
inline void write_datum(uint8_t* out, const DataDatum& datum, const SimObject* object, nlohmann::json* values)
{
    if (!datum.var || !object) {
        if (values) values->push_back(nullptr);
        return;
    }
    if (datum.type == SIMCONNECT_DATATYPE_STRING256) {
        // At most 256 bytes: a title of 256 characters or more has no terminator.
        const size_t n = std::min<size_t>(object->title.size(), 256);
        std::memcpy(out, object->title.data(), n);
        if (values) values->push_back(object->title.substr(0, n));
        return;
    }
    const double v = World::get(*object, *datum.var) / datum.to_base;
    switch (datum.type) {
    case SIMCONNECT_DATATYPE_INT32:
        put(out, to_int32(v));
        if (values) values->push_back(to_int32(v));
        break;
    case SIMCONNECT_DATATYPE_INT64:
        put(out, to_int64(v));
        if (values) values->push_back(to_int64(v));
        break;
    case SIMCONNECT_DATATYPE_FLOAT32:
        put(out, to_float32(v));
        if (values) values->push_back(to_float32(v));
        break;
    default:
        put(out, v);
        if (values) values->push_back(v);
        break;
    }
}

// Reads one numeric datum from a client record, in the datum's unit.
inline double read_datum(const uint8_t* in, SIMCONNECT_DATATYPE type)
{
    switch (type) {
    case SIMCONNECT_DATATYPE_INT32: return take<int32_t>(in);
    case SIMCONNECT_DATATYPE_INT64: return static_cast<double>(take<int64_t>(in));
    case SIMCONNECT_DATATYPE_FLOAT32: return take<float>(in);
    default: return take<double>(in);
    }
}

template <typename Record>
inline std::vector<uint8_t> record_bytes(Record record, SIMCONNECT_RECV_ID id)
{
    record.dwSize = sizeof(Record);
    record.dwVersion = RECORD_VERSION;
    record.dwID = id;
    std::vector<uint8_t> bytes(sizeof(Record));
    std::memcpy(bytes.data(), &record, sizeof(Record));
    return bytes;
}

}  // namespace host::server_detail
