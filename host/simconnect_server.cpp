// The emulated SimConnect server: declarations, records produced from the
// world, message queue and delivery, fault injection and call recording.
//
// Index: [helpers] [connection and recording] [delivery] [host side]
//        [events and inputs] [data definitions and requests] [AI objects and texts]
#include "host/simconnect_server.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>
#include <string_view>

namespace host {
namespace {

// [helpers] -------------------------------------------------------------------

constexpr DWORD RECORD_VERSION = 4;  // dwVersion of every record the server sends
constexpr size_t DATA_HEADER_BYTES = 40;  // SIMOBJECT_DATA up to dwData
static_assert(sizeof(SIMCONNECT_RECV_SIMOBJECT_DATA) == DATA_HEADER_BYTES + sizeof(DWORD));

constexpr double DEG_RAD = std::numbers::pi / 180.0;
constexpr double FOOT_M = 0.3048;
constexpr double KNOT_MPS = 1852.0 / 3600.0;

constexpr std::string_view CALL_NAMES[] = {
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
constexpr std::string_view SYSTEM_EVENTS[] = {
    "1sec",          "4sec",           "6hz",       "aircraftloaded",        "crashed",
    "crashreset",    "flightloaded",   "flightsaved", "flightplanactivated", "flightplandeactivated",
    "frame",         "objectadded",    "objectremoved", "pause",             "paused",
    "pauseframe",    "positionchanged", "sim",      "simstart",              "simstop",
    "sound",         "unpaused",       "view",      "weathermodechanged",
};

// Key names an input definition may end with, besides one character and F1-F24.
constexpr std::string_view KEY_NAMES[] = {
    "space", "enter",  "return", "tab",     "esc",      "escape", "backspace", "delete",
    "del",   "insert", "ins",    "home",    "end",      "pageup", "pagedown",  "pgup",
    "pgdn",  "up",     "down",   "left",    "right",    "pause",  "minus",     "plus",
};

std::string lower(std::string_view text)
{
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string trim(std::string_view text)
{
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
    return std::string(text.substr(begin, end - begin));
}

nlohmann::json text_arg(const char* text) { return text ? nlohmann::json(text) : nlohmann::json(nullptr); }

bool is_digits(std::string_view text)
{
    return !text.empty() && text.size() <= 4 &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// An input definition in the form bindings are compared in: lower case, each
// "+"-separated part trimmed ("Ctrl + Shift + N" -> "ctrl+shift+n").
std::string normalise_input(std::string_view definition)
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
bool valid_input(const std::string& normalised, std::string* why)
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
double distance_m(double lat1, double lon1, double lat2, double lon2)
{
    const double s_lat = std::sin((lat2 - lat1) / 2.0);
    const double s_lon = std::sin((lon2 - lon1) / 2.0);
    const double a = s_lat * s_lat + std::cos(lat1) * std::cos(lat2) * s_lon * s_lon;
    return 2.0 * WORLD_RADIUS_M * std::asin(std::min(1.0, std::sqrt(a)));
}

DWORD object_type_of(ObjectKind kind)
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

const char* kind_name(ObjectKind kind)
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
bool type_covers(DWORD type, ObjectKind kind)
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
size_t datum_size(SIMCONNECT_DATATYPE type)
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

int32_t to_int32(double v)
{
    if (std::isnan(v)) return 0;
    v = std::trunc(v);
    if (v <= static_cast<double>(std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
    if (v >= static_cast<double>(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(v);
}

int64_t to_int64(double v)
{
    if (std::isnan(v)) return 0;
    v = std::trunc(v);
    constexpr double LIMIT = 9223372036854775808.0;  // 2^63
    if (v < -LIMIT) return std::numeric_limits<int64_t>::min();
    if (v >= LIMIT) return std::numeric_limits<int64_t>::max();
    return static_cast<int64_t>(v);
}

float to_float32(double v)
{
    if (v > FLT_MAX) return std::numeric_limits<float>::infinity();
    if (v < -FLT_MAX) return -std::numeric_limits<float>::infinity();
    return static_cast<float>(v);
}

template <typename T>
void put(uint8_t* out, T value)
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
void write_datum(uint8_t* out, const DataDatum& datum, const SimObject* object, nlohmann::json* values)
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
double read_datum(const uint8_t* in, SIMCONNECT_DATATYPE type)
{
    switch (type) {
    case SIMCONNECT_DATATYPE_INT32: return take<int32_t>(in);
    case SIMCONNECT_DATATYPE_INT64: return static_cast<double>(take<int64_t>(in));
    case SIMCONNECT_DATATYPE_FLOAT32: return take<float>(in);
    default: return take<double>(in);
    }
}

template <typename Record>
std::vector<uint8_t> record_bytes(Record record, SIMCONNECT_RECV_ID id)
{
    record.dwSize = sizeof(Record);
    record.dwVersion = RECORD_VERSION;
    record.dwID = id;
    std::vector<uint8_t> bytes(sizeof(Record));
    std::memcpy(bytes.data(), &record, sizeof(Record));
    return bytes;
}

SimConnectServer* attachedServer = nullptr;  // the server the client library forwards to

}  // namespace

// [connection and recording] ---------------------------------------------------

SimConnectServer::SimConnectServer(World& world, Timeline& timeline) : world_(world), timeline_(timeline) {}

SimConnectServer::~SimConnectServer() { detach(); }

void SimConnectServer::attach()
{
    attachedServer = this;
    simconnect_emulation_attach(this);
}

void SimConnectServer::detach()
{
    if (attachedServer != this) return;  // another server took over since
    attachedServer = nullptr;
    simconnect_emulation_attach(nullptr);
}

SimConnectServer::Call SimConnectServer::begin_call(const char* name, nlohmann::json args)
{
    note_world_objects();
    return Call{name, ++send_id_, std::move(args), nlohmann::json::array(), std::string()};
}

bool SimConnectServer::injected(Call& call, HRESULT* result)
{
    auto it = injections_.find(call.name);
    if (it == injections_.end() || it->second.remaining == 0) return false;
    if (it->second.remaining > 0) --it->second.remaining;
    call.error = "injected fault";
    *result = finish(call, it->second.result);
    return true;
}

bool SimConnectServer::admit(Call& call, HANDLE handle, HRESULT* result)
{
    if (injected(call, result)) return false;
    if (!open_) {
        *result = refuse(call, E_FAIL, "the connection is not open");
        return false;
    }
    if (handle != handle_) {
        *result = refuse(call, E_FAIL, "unknown connection handle");
        return false;
    }
    return true;
}

HRESULT SimConnectServer::finish(Call& call, HRESULT result)
{
    nlohmann::json record = {{"call", call.name}, {"send_id", call.send_id}, {"args", std::move(call.args)},
                             {"result", result}};
    if (!call.exceptions.empty()) record["exceptions"] = std::move(call.exceptions);
    if (!call.error.empty()) record["error"] = call.error;
    timeline_.add("simconnect", std::move(record));
    return result;
}

HRESULT SimConnectServer::refuse(Call& call, HRESULT result, std::string error)
{
    call.error = std::move(error);
    return finish(call, result);
}

void SimConnectServer::raise(Call& call, SIMCONNECT_EXCEPTION code, DWORD index, std::string reason)
{
    SIMCONNECT_RECV_EXCEPTION record{};
    record.dwException = code;
    record.dwSendID = call.send_id;
    record.dwIndex = index;
    Message message;
    message.bytes = record_bytes(record, SIMCONNECT_RECV_ID_EXCEPTION);
    message.summary = {{"id", SIMCONNECT_RECV_ID_EXCEPTION}, {"exception", code}, {"send_id", call.send_id},
                       {"index", index}, {"call", call.name}, {"reason", reason}};
    enqueue(std::move(message));
    call.exceptions.push_back({{"exception", code}, {"index", index}, {"reason", std::move(reason)}});
}

bool SimConnectServer::fail_call(const std::string& call_name, int count, HRESULT result)
{
    if (std::find(std::begin(CALL_NAMES), std::end(CALL_NAMES), call_name) == std::end(CALL_NAMES)) {
        timeline_.add("simconnect_error", {{"error", "fail_call: no SimConnect function named " + call_name}});
        return false;
    }
    if (count == 0)
        injections_.erase(call_name);
    else
        injections_[call_name] = Injection{count < 0 ? -1 : count, result};
    return true;
}

void SimConnectServer::reset_connection()
{
    open_ = false;
    handle_ = nullptr;
    dispatch_ = nullptr;
    context_ = nullptr;
    definitions_.clear();
    requests_.clear();
    system_subscriptions_.clear();
    mapped_events_.clear();
    bindings_.clear();
    input_groups_.clear();
    notification_of_.clear();
    created_objects_.clear();
    queue_.clear();
}

HRESULT SimConnectServer::open(HANDLE* handle, const char* name, HWND window, DWORD user_event, HANDLE event,
                               DWORD config_index)
{
    Call call = begin_call("SimConnect_Open",
                           {{"name", text_arg(name)}, {"user_event", user_event}, {"config_index", config_index}});
    HRESULT result;
    if (injected(call, &result)) return result;
    if (!handle) return refuse(call, E_FAIL, "no handle out-pointer");
    if (open_) return refuse(call, E_FAIL, "a client is already connected");
    reset_connection();
    open_ = true;
    ++connections_;
    handle_ = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x5C000000u + connections_));
    client_name_ = name ? name : "";
    *handle = handle_;

    SIMCONNECT_RECV_OPEN record{};
    std::strncpy(record.szApplicationName, APPLICATION_NAME, sizeof record.szApplicationName - 1);
    record.dwApplicationVersionMajor = 1;
    record.dwSimConnectVersionMajor = 10;
    Message message;
    message.bytes = record_bytes(record, SIMCONNECT_RECV_ID_OPEN);
    message.summary = {{"id", SIMCONNECT_RECV_ID_OPEN}, {"name", APPLICATION_NAME}};
    enqueue(std::move(message));
    return finish(call, S_OK);
}

HRESULT SimConnectServer::close(HANDLE handle)
{
    Call call = begin_call("SimConnect_Close", nlohmann::json::object());
    HRESULT result;
    if (!admit(call, handle, &result)) return result;
    reset_connection();
    return finish(call, S_OK);
}

HRESULT SimConnectServer::call_dispatch(HANDLE handle, DispatchProc proc, void* context)
{
    Call call = begin_call("SimConnect_CallDispatch",
                           {{"procedure", proc != nullptr}, {"context", context != nullptr}});
    HRESULT result;
    if (!admit(call, handle, &result)) return result;
    if (!proc) return refuse(call, E_FAIL, "no dispatch procedure");
    dispatch_ = proc;
    context_ = context;
    return finish(call, S_OK);
}

// [delivery] -------------------------------------------------------------------

void SimConnectServer::enqueue(Message message) { queue_.push_back(std::move(message)); }

size_t SimConnectServer::deliver()
{
    if (delivering_ || !dispatch_) return 0;
    delivering_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{delivering_};

    size_t delivered = 0;
    while (!queue_.empty() && dispatch_) {
        if (delivered == MAX_MESSAGES_PER_DELIVERY) {
            timeline_.add("simconnect_error", {{"error", "dispatch stopped after " +
                                                             std::to_string(MAX_MESSAGES_PER_DELIVERY) +
                                                             " messages in one frame"},
                                               {"pending", queue_.size()}});
            break;
        }
        Message message = std::move(queue_.front());
        queue_.pop_front();
        const DWORD id = take<DWORD>(message.bytes.data() + 8);  // SIMCONNECT_RECV::dwID
        ++delivered_counts_[id];
        if (message.per_frame) ++frame_message_counts_[message.request_id];
        if (!message.per_frame || record_frame_messages_) timeline_.add("dispatch", message.summary);
        ++delivered;
        dispatch_(reinterpret_cast<SIMCONNECT_RECV*>(message.bytes.data()), static_cast<DWORD>(message.bytes.size()),
                  context_);
    }
    return delivered;
}

uint64_t SimConnectServer::delivered_count(DWORD recv_id) const
{
    auto it = delivered_counts_.find(recv_id);
    return it == delivered_counts_.end() ? 0 : it->second;
}

SimConnectServer::Message SimConnectServer::data_message(DWORD recv_id, DWORD request_id, DWORD define_id,
                                                         const DataDefinition& define, const SimObject* object,
                                                         DWORD object_id, DWORD entry, DWORD out_of, bool summarise)
{
    Message message;
    message.request_id = request_id;
    message.bytes.assign(DATA_HEADER_BYTES + define.size, 0);
    SIMCONNECT_RECV_SIMOBJECT_DATA header{};
    header.dwSize = static_cast<DWORD>(message.bytes.size());
    header.dwVersion = RECORD_VERSION;
    header.dwID = recv_id;
    header.dwRequestID = request_id;
    header.dwObjectID = object_id;
    header.dwDefineID = define_id;
    header.dwFlags = 0;
    header.dwentrynumber = entry;
    header.dwoutof = out_of;
    header.dwDefineCount = static_cast<DWORD>(define.datums.size());
    std::memcpy(message.bytes.data(), &header, DATA_HEADER_BYTES);

    nlohmann::json values = nlohmann::json::array();
    uint8_t* data = message.bytes.data() + DATA_HEADER_BYTES;
    for (const DataDatum& datum : define.datums)
        write_datum(data + datum.offset, datum, object, summarise ? &values : nullptr);
    if (summarise)
        message.summary = {{"id", recv_id}, {"request", request_id}, {"object", object_id}, {"define", define_id},
                           {"entry", entry},  {"outof", out_of},       {"data", std::move(values)}};
    else
        message.summary = {{"id", recv_id}, {"request", request_id}, {"object", object_id}};
    return message;
}

// [host side] ------------------------------------------------------------------

void SimConnectServer::note_world_objects()
{
    for (const auto& [id, object] : world_.objects()) seen_objects_.insert(id);
}

bool SimConnectServer::object_ever_seen(DWORD client_object_id) const
{
    return client_object_id == SIMCONNECT_OBJECT_ID_USER || seen_objects_.count(client_object_id) > 0;
}

void SimConnectServer::frame()
{
    note_world_objects();
    std::vector<DWORD> finished;
    for (auto& [id, request] : requests_) {
        bool due = false;
        bool per_frame = false;
        switch (request.period) {
        case SIMCONNECT_PERIOD_VISUAL_FRAME:
        case SIMCONNECT_PERIOD_SIM_FRAME: due = per_frame = true; break;
        case SIMCONNECT_PERIOD_ONCE:
            due = true;
            finished.push_back(id);
            break;
        case SIMCONNECT_PERIOD_SECOND:
            if (time_s_ >= request.next_due_s) {
                due = true;
                request.next_due_s += 1.0;
                if (request.next_due_s <= time_s_) request.next_due_s = time_s_ + 1.0;  // no catching up
            }
            break;
        default: break;
        }
        if (!due) continue;
        const auto define = definitions_.find(request.define_id);
        const SimObject* object = world_.find_for_client(request.object_id);
        if (define == definitions_.end() || !object) continue;  // the object is gone: nothing is sent
        Message message = data_message(SIMCONNECT_RECV_ID_SIMOBJECT_DATA, id, request.define_id, define->second, object,
                                       object->id, 1, 1, !per_frame || record_frame_messages_);
        message.per_frame = per_frame;
        enqueue(std::move(message));
    }
    for (DWORD id : finished) requests_.erase(id);
    deliver();
}

size_t SimConnectServer::fire_system_event(const std::string& name)
{
    const std::string key = lower(trim(name));
    if (key == "objectadded" || key == "objectremoved") {
        timeline_.add("simconnect_error",
                      {{"error", "system event " + name + " comes from add_object/remove_object only"}});
        return 0;
    }
    if (std::find(std::begin(SYSTEM_EVENTS), std::end(SYSTEM_EVENTS), key) == std::end(SYSTEM_EVENTS)) {
        timeline_.add("simconnect_error", {{"error", "unknown system event " + name}});
        return 0;
    }
    const std::vector<DWORD> events = subscribers(key);
    for (DWORD event_id : events) queue_event(SIMCONNECT_UNUSED, event_id, 0);
    timeline_.add("system_event", {{"name", name}, {"events", events}});
    return events.size();
}

uint32_t SimConnectServer::add_object(ObjectKind kind, const std::string& title, double lat_rad, double lon_rad,
                                      double heading_rad, double speed_mps, double altitude_m)
{
    if (kind == ObjectKind::User) {
        timeline_.add("simconnect_error", {{"error", "add_object: the world has one user aircraft already"}});
        return 0;
    }
    if (!std::isfinite(lat_rad) || !std::isfinite(lon_rad) || !std::isfinite(heading_rad) ||
        !std::isfinite(speed_mps) || !std::isfinite(altitude_m) || std::fabs(lat_rad) > std::numbers::pi / 2) {
        timeline_.add("simconnect_error", {{"error", "add_object: position out of range for " + title}});
        return 0;
    }
    const uint32_t id = world_.add(kind, title);
    SimObject& object = *world_.find(id);
    World::set(object, *find_sim_var("PLANE LATITUDE"), lat_rad);
    World::set(object, *find_sim_var("PLANE LONGITUDE"), lon_rad);
    World::set(object, *find_sim_var("PLANE HEADING DEGREES TRUE"), heading_rad);
    World::set(object, *find_sim_var("AIRSPEED TRUE"), speed_mps);
    World::set(object, *find_sim_var("PLANE ALTITUDE"), altitude_m);
    seen_objects_.insert(id);
    timeline_.add("object", {{"event", "added"}, {"object", id}, {"object_kind", kind_name(kind)}, {"title", title}});
    notify_add_remove("objectadded", object);
    return id;
}

bool SimConnectServer::remove_object(uint32_t id)
{
    const SimObject* object = world_.find(id);
    if (!object || object->kind == ObjectKind::User) return false;
    const SimObject gone = *object;
    world_.remove(id);
    created_objects_.erase(id);
    timeline_.add("object",
                  {{"event", "removed"}, {"object", id}, {"object_kind", kind_name(gone.kind)}, {"title", gone.title}});
    notify_add_remove("objectremoved", gone);
    return true;
}

const DataDefinition* SimConnectServer::definition(DWORD define_id) const
{
    auto it = definitions_.find(define_id);
    return it == definitions_.end() ? nullptr : &it->second;
}

bool SimConnectServer::input_group_on(DWORD group) const
{
    auto it = input_groups_.find(group);
    return it != input_groups_.end() && it->second;
}

std::vector<DWORD> SimConnectServer::subscribers(const std::string& name) const
{
    auto it = system_subscriptions_.find(lower(trim(name)));
    return it == system_subscriptions_.end() ? std::vector<DWORD>{} : it->second;
}

// [events and inputs] ----------------------------------------------------------

void SimConnectServer::queue_event(DWORD group, DWORD event_id, DWORD data)
{
    SIMCONNECT_RECV_EVENT record{};
    record.uGroupID = group;
    record.uEventID = event_id;
    record.dwData = data;
    Message message;
    message.bytes = record_bytes(record, SIMCONNECT_RECV_ID_EVENT);
    message.summary = {{"id", SIMCONNECT_RECV_ID_EVENT}, {"group", group}, {"event", event_id}, {"data", data}};
    enqueue(std::move(message));
}

void SimConnectServer::queue_add_remove(DWORD event_id, const SimObject& object)
{
    SIMCONNECT_RECV_EVENT_OBJECT_ADDREMOVE record{};
    record.uGroupID = SIMCONNECT_UNUSED;
    record.uEventID = event_id;
    record.dwData = object.id;
    record.eObjType = object_type_of(object.kind);
    Message message;
    message.bytes = record_bytes(record, SIMCONNECT_RECV_ID_EVENT_OBJECT_ADDREMOVE);
    message.summary = {{"id", SIMCONNECT_RECV_ID_EVENT_OBJECT_ADDREMOVE}, {"event", event_id}, {"object", object.id},
                       {"object_type", record.eObjType}};
    enqueue(std::move(message));
}

void SimConnectServer::notify_add_remove(const char* system_event, const SimObject& object)
{
    for (DWORD event_id : subscribers(system_event)) queue_add_remove(event_id, object);
}

bool SimConnectServer::press_input(const std::string& definition, DWORD value)
{
    const std::string key = normalise_input(definition);
    nlohmann::json events = nlohmann::json::array();
    for (const InputBinding& binding : bindings_) {
        if (binding.normalised != key || !input_group_on(binding.group)) continue;
        auto group = notification_of_.find(binding.down_event);
        if (group == notification_of_.end()) continue;  // nobody asked to be notified
        queue_event(group->second, binding.down_event, value);
        events.push_back({{"group", group->second}, {"event", binding.down_event}});
    }
    const bool queued = !events.empty();
    timeline_.add("input", {{"definition", definition}, {"value", value}, {"events", std::move(events)}});
    return queued;
}

HRESULT SimConnectServer::subscribe_to_system_event(HANDLE handle, DWORD event_id, const char* name)
{
    Call call = begin_call("SimConnect_SubscribeToSystemEvent", {{"event", event_id}, {"name", text_arg(name)}});
    HRESULT result;
    if (!admit(call, handle, &result)) return result;
    const std::string key = name ? lower(trim(name)) : std::string();
    if (std::find(std::begin(SYSTEM_EVENTS), std::end(SYSTEM_EVENTS), key) == std::end(SYSTEM_EVENTS)) {
        raise(call, SIMCONNECT_EXCEPTION_NAME_UNRECOGNIZED, 2, "unknown system event");
        return finish(call, S_OK);
    }
    std::vector<DWORD>& events = system_subscriptions_[key];
    if (std::find(events.begin(), events.end(), event_id) == events.end()) events.push_back(event_id);
    return finish(call, S_OK);
}

HRESULT SimConnectServer::map_client_event_to_sim_event(HANDLE handle, DWORD event_id, const char* name)
{
    Call call = begin_call("SimConnect_MapClientEventToSimEvent", {{"event", event_id}, {"name", text_arg(name)}});
    HRESULT result;
    if (!admit(call, handle, &result)) return result;
    if (mapped_events_.count(event_id)) {
        raise(call, SIMCONNECT_EXCEPTION_ERROR, 1, "client event already mapped");
        return finish(call, S_OK);
    }
    mapped_events_[event_id] = name ? name : "";
    return finish(call, S_OK);
}

HRESULT SimConnectServer::map_input_event_to_client_event(HANDLE handle, DWORD group_id, const char* definition,
                                                          DWORD down_event, DWORD down_value, DWORD up_event,
                                                          DWORD up_value, BOOL maskable)
{
    Call call = begin_call("SimConnect_MapInputEventToClientEvent",
                           {{"group", group_id},
                            {"definition", text_arg(definition)},
                            {"down_event", down_event},
                            {"down_value", down_value},
                            {"up_event", up_event},
                            {"up_value", up_value},
                            {"maskable", maskable != 0}});
    HRESULT result;
    if (!admit(call, handle, &result)) return result;
    const std::string normalised = normalise_input(definition ? definition : "");
    std::string why;
    if (!valid_input(normalised, &why)) {
        raise(call, SIMCONNECT_EXCEPTION_NAME_UNRECOGNIZED, 2, "input definition: " + why);
        return finish(call, S_OK);
    }
    InputBinding binding{group_id,   definition ? definition : "", normalised, down_event,
                         down_value, up_event,                     up_value,   maskable != 0};
    auto same = std::find_if(bindings_.begin(), bindings_.end(), [&](const InputBinding& b) {
        return b.group == group_id && b.normalised == normalised;
    });
    if (same != bindings_.end())
        *same = std::move(binding);  // a new mapping of the same input in the group replaces the old one
    else
        bindings_.push_back(std::move(binding));
    input_groups_.emplace(group_id, false);  // a new input group starts off
    return finish(call, S_OK);
}

HRESULT SimConnectServer::set_input_group_state(HANDLE handle, DWORD group_id, DWORD state)
{
    Call call = begin_call("SimConnect_SetInputGroupState", {{"group", group_id}, {"state", state}});
    HRESULT result;
    if (!admit(call, handle, &result)) return result;
    if (state != SIMCONNECT_STATE_OFF && state != SIMCONNECT_STATE_ON) {
        raise(call, SIMCONNECT_EXCEPTION_ERROR, 2, "state is neither off (0) nor on (1)");
        return finish(call, S_OK);
    }
    input_groups_[group_id] = state == SIMCONNECT_STATE_ON;
    return finish(call, S_OK);
}

HRESULT SimConnectServer::add_client_event_to_notification_group(HANDLE handle, DWORD group_id, DWORD event_id,
                                                                 BOOL maskable)
{
    Call call = begin_call("SimConnect_AddClientEventToNotificationGroup",
                           {{"group", group_id}, {"event", event_id}, {"maskable", maskable != 0}});
    HRESULT result;
    if (!admit(call, handle, &result)) return result;
    notification_of_[event_id] = group_id;
    return finish(call, S_OK);
}

// [data definitions and requests] ------------------------------------------------

HRESULT SimConnectServer::add_to_data_definition(HANDLE handle, DWORD define_id, const char* datum_name,
                                                 const char* units_name, SIMCONNECT_DATATYPE type, float epsilon,
                                                 DWORD datum_id)
{
    Call call = begin_call("SimConnect_AddToDataDefinition", {{"define", define_id},
                                                              {"datum", text_arg(datum_name)},
                                                              {"unit", text_arg(units_name)},
                                                              {"type", static_cast<DWORD>(type)},
                                                              {"epsilon", epsilon},
                                                              {"datum_id", datum_id}});
    HRESULT result;
    if (!admit(call, handle, &result)) return result;

    const size_t size = datum_size(type);
    if (size == 0) {
        // Without a known size the datum cannot even hold its place in the record.
        raise(call, SIMCONNECT_EXCEPTION_ERROR, 4, "data type not supported");
        return finish(call, S_OK);
    }
    DataDatum datum{datum_name ? datum_name : "", units_name ? units_name : "", type, nullptr, 1.0, 0, size};
    // A refused datum keeps its place (zero bytes) so that the record keeps the
    // layout the client declared; the exception tells what went wrong.
    const SimVarInfo* var = find_sim_var(datum.name);
    const std::string unit = trim(datum.unit);
    if (!var) {
        raise(call, SIMCONNECT_EXCEPTION_NAME_UNRECOGNIZED, 2, "unknown variable");
    } else if (var->dimension == Dimension::Text) {
        if (type != SIMCONNECT_DATATYPE_STRING256)
            raise(call, SIMCONNECT_EXCEPTION_ERROR, 4, "a text variable needs STRING256");
        else if (!unit.empty())
            raise(call, SIMCONNECT_EXCEPTION_ERROR, 3, "a text variable takes no unit");
        else
            datum.var = var;
    } else if (type == SIMCONNECT_DATATYPE_STRING256) {
        raise(call, SIMCONNECT_EXCEPTION_ERROR, 4, "a numeric variable cannot be read as STRING256");
    } else if (const std::optional<UnitInfo> info = find_unit(unit); !info) {
        raise(call, SIMCONNECT_EXCEPTION_NAME_UNRECOGNIZED, 3, unit.empty() ? "no unit" : "unknown unit");
    } else if (info->dimension != var->dimension) {
        raise(call, SIMCONNECT_EXCEPTION_ERROR, 3,
              std::string("unit of ") + dimension_name(info->dimension) + " for a variable of " +
                  dimension_name(var->dimension));
    } else {
        datum.var = var;
        datum.to_base = info->to_base;
    }
    DataDefinition& define = definitions_[define_id];
    datum.offset = define.size;
    define.size += size;
    define.datums.push_back(std::move(datum));
    return finish(call, S_OK);
}

HRESULT SimConnectServer::request_data_on_sim_object(HANDLE handle, DWORD request_id, DWORD define_id,
                                                     DWORD object_id, SIMCONNECT_PERIOD period, DWORD flags,
                                                     DWORD origin, DWORD interval, DWORD limit)
{
    Call call = begin_call("SimConnect_RequestDataOnSimObject", {{"request", request_id},
                                                                 {"define", define_id},
                                                                 {"object", object_id},
                                                                 {"period", static_cast<DWORD>(period)},
                                                                 {"flags", flags},
                                                                 {"origin", origin},
                                                                 {"interval", interval},
                                                                 {"limit", limit}});
    HRESULT result;
    if (!admit(call, handle, &result)) return result;
    if (!definitions_.count(define_id))
        raise(call, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, 2, "unknown data definition");
    else if (!object_ever_seen(object_id))
        raise(call, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, 3, "unknown object");
    else if (period > SIMCONNECT_PERIOD_SECOND)
        raise(call, SIMCONNECT_EXCEPTION_ERROR, 4, "unknown period");
    else if (flags != 0)
        raise(call, SIMCONNECT_EXCEPTION_ERROR, 5, "request flags are not emulated");
    else if (origin != 0 || interval != 0 || limit != 0)
        raise(call, SIMCONNECT_EXCEPTION_ERROR, origin != 0 ? 6 : interval != 0 ? 7 : 8,
              "origin, interval and limit are not emulated");
    else if (period == SIMCONNECT_PERIOD_NEVER)
        requests_.erase(request_id);
    else
        requests_[request_id] = DataRequest{request_id, define_id, object_id, period, time_s_};
    return finish(call, S_OK);
}

HRESULT SimConnectServer::request_data_on_sim_object_type(HANDLE handle, DWORD request_id, DWORD define_id,
                                                          DWORD radius_m, SIMCONNECT_SIMOBJECT_TYPE type)
{
    Call call = begin_call("SimConnect_RequestDataOnSimObjectType", {{"request", request_id},
                                                                     {"define", define_id},
                                                                     {"radius", radius_m},
                                                                     {"type", static_cast<DWORD>(type)}});
    HRESULT result;
    if (!admit(call, handle, &result)) return result;
    const auto define = definitions_.find(define_id);
    if (define == definitions_.end()) {
        raise(call, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, 2, "unknown data definition");
        return finish(call, S_OK);
    }
    if (radius_m > MAX_RADIUS_M) {
        raise(call, SIMCONNECT_EXCEPTION_OUT_OF_BOUNDS, 3, "radius above 200000 m");
        return finish(call, S_OK);
    }
    if (type > SIMCONNECT_SIMOBJECT_TYPE_GROUND) {
        raise(call, SIMCONNECT_EXCEPTION_ERROR, 4, "unknown object type");
        return finish(call, S_OK);
    }

    static const SimVarInfo& lat = *find_sim_var("PLANE LATITUDE");
    static const SimVarInfo& lon = *find_sim_var("PLANE LONGITUDE");
    const SimObject& user = world_.user();
    std::vector<const SimObject*> found;  // ascending object id: the world's map order
    for (const auto& [id, object] : world_.objects()) {
        if (!type_covers(type, object.kind)) continue;
        const bool near = type == SIMCONNECT_SIMOBJECT_TYPE_USER ||
                          distance_m(World::get(user, lat), World::get(user, lon), World::get(object, lat),
                                     World::get(object, lon)) <= radius_m;
        if (near) found.push_back(&object);
    }
    const DWORD count = static_cast<DWORD>(found.size());
    for (DWORD k = 0; k < count; ++k)
        enqueue(data_message(SIMCONNECT_RECV_ID_SIMOBJECT_DATA_BYTYPE, request_id, define_id, define->second, found[k],
                             found[k]->id, k + 1, count, true));
    if (count == 0)  // "none found": entry 0 of 0, with the definition's record zeroed
        enqueue(data_message(SIMCONNECT_RECV_ID_SIMOBJECT_DATA_BYTYPE, request_id, define_id, define->second, nullptr,
                             0, 0, 0, true));
    return finish(call, S_OK);
}

HRESULT SimConnectServer::set_data_on_sim_object(HANDLE handle, DWORD define_id, DWORD object_id, DWORD flags,
                                                 DWORD array_count, DWORD unit_size, const void* data)
{
    Call call = begin_call("SimConnect_SetDataOnSimObject", {{"define", define_id},
                                                             {"object", object_id},
                                                             {"flags", flags},
                                                             {"count", array_count},
                                                             {"unit_size", unit_size}});
    HRESULT result;
    if (!admit(call, handle, &result)) return result;
    const auto found = definitions_.find(define_id);
    SimObject* object = world_.find_for_client(object_id);
    const uint64_t total = static_cast<uint64_t>(unit_size) * std::max<DWORD>(array_count, 1);
    if (found == definitions_.end()) {
        raise(call, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, 1, "unknown data definition");
        return finish(call, S_OK);
    }
    const DataDefinition& define = found->second;
    if (!object)
        raise(call, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, 2, "unknown object");
    else if (flags != 0)
        raise(call, SIMCONNECT_EXCEPTION_ERROR, 3, "tagged data is not emulated");
    else if (total != define.size)
        raise(call, SIMCONNECT_EXCEPTION_ERROR, 5,
              "record of " + std::to_string(total) + " bytes for a definition of " + std::to_string(define.size));
    else if (!data)
        raise(call, SIMCONNECT_EXCEPTION_ERROR, 6, "no data");
    if (!call.exceptions.empty()) return finish(call, S_OK);

    // Decode everything first: a record is taken whole or not at all.
    const auto* bytes = static_cast<const uint8_t*>(data);
    std::vector<double> values(define.datums.size(), 0.0);
    nlohmann::json shown = nlohmann::json::array();
    for (size_t i = 0; i < define.datums.size(); ++i) {
        const DataDatum& datum = define.datums[i];
        if (datum.type == SIMCONNECT_DATATYPE_STRING256) {
            shown.push_back(nullptr);
            if (datum.var) {
                raise(call, SIMCONNECT_EXCEPTION_ERROR, 1, datum.name + " cannot be written");
                break;
            }
            continue;
        }
        values[i] = read_datum(bytes + datum.offset, datum.type);
        shown.push_back(values[i]);
        if (datum.var && !std::isfinite(values[i])) {
            raise(call, SIMCONNECT_EXCEPTION_ERROR, 6, datum.name + " is not a finite number");
            break;
        }
    }
    call.args["values"] = std::move(shown);
    if (!call.exceptions.empty()) return finish(call, S_OK);

    static const SimVarInfo* velocity_z = find_sim_var("VELOCITY BODY Z");
    static const SimVarInfo* airspeed = find_sim_var("AIRSPEED TRUE");
    for (size_t i = 0; i < define.datums.size(); ++i) {
        const DataDatum& datum = define.datums[i];
        if (!datum.var || datum.type == SIMCONNECT_DATATYPE_STRING256) continue;  // refused when added
        const double base = values[i] * datum.to_base;
        World::set(*object, *datum.var, base);
        // An AI object moves along its heading at its true airspeed (World::advance).
        if (datum.var == velocity_z && object->kind != ObjectKind::User) World::set(*object, *airspeed, base);
    }
    return finish(call, S_OK);
}

// [AI objects and texts] -----------------------------------------------------------

HRESULT SimConnectServer::ai_create_simulated_object(HANDLE handle, const char* title,
                                                     const SIMCONNECT_DATA_INITPOSITION& position, DWORD request_id)
{
    Call call = begin_call("SimConnect_AICreateSimulatedObject", {{"title", text_arg(title)},
                                                                  {"latitude", position.Latitude},
                                                                  {"longitude", position.Longitude},
                                                                  {"altitude", position.Altitude},
                                                                  {"pitch", position.Pitch},
                                                                  {"bank", position.Bank},
                                                                  {"heading", position.Heading},
                                                                  {"on_ground", position.OnGround},
                                                                  {"airspeed", position.Airspeed},
                                                                  {"request", request_id}});
    HRESULT result;
    if (!admit(call, handle, &result)) return result;
    if (!title || !world_.knows_title(title)) return refuse(call, E_FAIL, "no container with this title");
    const double numbers[] = {position.Latitude, position.Longitude, position.Altitude,
                              position.Pitch,    position.Bank,      position.Heading};
    if (!std::all_of(std::begin(numbers), std::end(numbers), [](double v) { return std::isfinite(v); }) ||
        std::fabs(position.Latitude) > 90.0)
        return refuse(call, E_FAIL, "initial position out of range");

    const auto kind = container_kinds_.find(title);
    const ObjectKind object_kind = kind == container_kinds_.end() ? ObjectKind::Aircraft : kind->second;
    const uint32_t id = world_.add(object_kind, title);
    SimObject& object = *world_.find(id);
    const double heading_rad = std::fmod(std::fmod(position.Heading, 360.0) + 360.0, 360.0) * DEG_RAD;
    World::set(object, *find_sim_var("PLANE LATITUDE"), position.Latitude * DEG_RAD);
    World::set(object, *find_sim_var("PLANE LONGITUDE"), std::remainder(position.Longitude, 360.0) * DEG_RAD);
    World::set(object, *find_sim_var("PLANE ALTITUDE"), position.Altitude * FOOT_M);
    World::set(object, *find_sim_var("PLANE PITCH DEGREES"), position.Pitch * DEG_RAD);
    World::set(object, *find_sim_var("PLANE BANK DEGREES"), position.Bank * DEG_RAD);
    World::set(object, *find_sim_var("PLANE HEADING DEGREES TRUE"), heading_rad);
    World::set(object, *find_sim_var("SIM ON GROUND"), position.OnGround != 0 ? 1.0 : 0.0);
    World::set(object, *find_sim_var("AIRSPEED TRUE"), position.Airspeed * KNOT_MPS);
    object.ai_controlled = true;
    created_objects_.insert(id);
    seen_objects_.insert(id);
    timeline_.add("object",
                  {{"event", "created"}, {"object", id}, {"object_kind", kind_name(object_kind)}, {"title", title}});

    SIMCONNECT_RECV_ASSIGNED_OBJECT_ID record{};
    record.dwRequestID = request_id;
    record.dwObjectID = id;
    Message message;
    message.bytes = record_bytes(record, SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID);
    message.summary = {{"id", SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID}, {"request", request_id}, {"object", id}};
    enqueue(std::move(message));
    notify_add_remove("objectadded", object);
    return finish(call, S_OK);
}

HRESULT SimConnectServer::ai_release_control(HANDLE handle, DWORD object_id, DWORD request_id)
{
    Call call = begin_call("SimConnect_AIReleaseControl", {{"object", object_id}, {"request", request_id}});
    HRESULT result;
    if (!admit(call, handle, &result)) return result;
    SimObject* object = world_.find(object_id);
    if (!object || !created_objects_.count(object_id)) {
        raise(call, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, 1, "not an AI object of this client");
        return finish(call, S_OK);
    }
    object->ai_controlled = false;
    return finish(call, S_OK);
}

HRESULT SimConnectServer::ai_remove_object(HANDLE handle, DWORD object_id, DWORD request_id)
{
    Call call = begin_call("SimConnect_AIRemoveObject", {{"object", object_id}, {"request", request_id}});
    HRESULT result;
    if (!admit(call, handle, &result)) return result;
    if (!world_.find(object_id) || !created_objects_.count(object_id))
        return refuse(call, E_FAIL, "not an AI object of this client");
    remove_object(object_id);
    return finish(call, S_OK);
}

HRESULT SimConnectServer::text(HANDLE handle, SIMCONNECT_TEXT_TYPE type, float seconds, DWORD event_id, DWORD size,
                               const void* message)
{
    Call call = begin_call("SimConnect_Text", {{"type", static_cast<DWORD>(type)},
                                               {"seconds", seconds},
                                               {"event", event_id},
                                               {"size", size}});
    HRESULT result;
    if (!admit(call, handle, &result)) return result;
    if (!message || size == 0) return refuse(call, E_FAIL, "no text");
    const char* chars = static_cast<const char*>(message);
    const size_t length = static_cast<size_t>(std::find(chars, chars + size, '\0') - chars);
    const std::string shown(chars, length);
    call.args["text"] = shown;
    const char* color = type == SIMCONNECT_TEXT_TYPE_PRINT_RED      ? "red"
                        : type == SIMCONNECT_TEXT_TYPE_PRINT_GREEN  ? "green"
                        : type == SIMCONNECT_TEXT_TYPE_PRINT_YELLOW ? "yellow"
                                                                    : "other";
    nlohmann::json event = {
        {"text", shown}, {"type", static_cast<DWORD>(type)}, {"color", color}, {"seconds", seconds}};
    if (length == size) event["unterminated"] = true;  // no zero within the given size
    timeline_.add("text", std::move(event));
    texts_.push_back(ShownText{timeline_.time(), timeline_.frame(), static_cast<DWORD>(type), color, seconds, shown});
    return finish(call, S_OK);
}

bool check_input_definition(std::string_view definition, std::string* why)
{
    return valid_input(normalise_input(definition), why);
}

}  // namespace host
