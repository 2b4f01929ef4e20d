// The emulated SimConnect server, the client's side: events and input
// bindings, data definitions and requests, setting data on objects, AI
// objects and texts. Each call is checked, recorded and served against the
// world; the connection and delivery are in simconnect_server.cpp.
//
// Index: [events and inputs] [data definitions and requests] [AI objects and texts]
#include "host/simconnect/simconnect_server.h"
#include "host/simconnect/server_helpers.h"

namespace host {

using namespace server_detail;

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
    else if (period != SIMCONNECT_PERIOD_NEVER && !world_.find_for_client(object_id))
        raise(call, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, 3, "the object no longer exists");
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
        requests_[request_id] = DataRequest{request_id, define_id, object_id, period, time_s_, call.send_id};
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

// The usual call (nothing injected, everything known, a whole record of
// finite numbers), applied and recorded without building JSON. False: the
// general path below has to serve (and record) the call.
bool SimConnectServer::set_data_plainly(HANDLE handle, DWORD define_id, DWORD object_id, DWORD flags,
                                        DWORD array_count, DWORD unit_size, const void* data)
{
    if (!injections_.empty() || !open_ || handle != handle_ || flags != 0 || !data) return false;
    const auto found = definitions_.find(define_id);
    if (found == definitions_.end()) return false;
    SimObject* object = world_.find_for_client(object_id);
    if (!object) return false;
    const DataDefinition& define = found->second;
    if (static_cast<uint64_t>(unit_size) * std::max<DWORD>(array_count, 1) != define.size) return false;
    const auto* bytes = static_cast<const uint8_t*>(data);
    std::vector<double>& values = scratch_values_;
    values.resize(define.datums.size());
    for (size_t i = 0; i < define.datums.size(); ++i) {
        const DataDatum& datum = define.datums[i];
        if (datum.type == SIMCONNECT_DATATYPE_STRING256) return false;
        values[i] = read_datum(bytes + datum.offset, datum.type);
        if (datum.var && !std::isfinite(values[i])) return false;
    }
    note_world_objects();
    const DWORD send_id = ++send_id_;
    apply_data(define, *object, values);
    if (data_set_watch_) data_set_watch_(define_id, object_id, values);
    if (quiet_data_sets_) return true;
    Timeline::Line line = timeline_.event("simconnect");
    line.begin_object("args")
        .uinteger("count", array_count)
        .uinteger("define", define_id)
        .uinteger("flags", flags)
        .uinteger("object", object_id)
        .uinteger("unit_size", unit_size)
        .begin_array("values");
    for (double v : values) line.num({}, v);
    line.end().end().str("call", "SimConnect_SetDataOnSimObject").integer("result", S_OK).uinteger("send_id", send_id);
    return true;
}

void SimConnectServer::apply_data(const DataDefinition& define, SimObject& object, const std::vector<double>& values)
{
    static const SimVarInfo* velocity_z = find_sim_var("VELOCITY BODY Z");
    static const SimVarInfo* velocity_x = find_sim_var("VELOCITY BODY X");
    static const SimVarInfo* airspeed = find_sim_var("AIRSPEED TRUE");
    for (size_t i = 0; i < define.datums.size(); ++i) {
        const DataDatum& datum = define.datums[i];
        if (!datum.var || datum.type == SIMCONNECT_DATATYPE_STRING256) continue;  // refused when added
        const double base = values[i] * datum.to_base;
        World::set(object, *datum.var, base);
        // An AI object moves along its heading at its true airspeed (World::advance).
        if (datum.var == velocity_z && object.kind != ObjectKind::User) World::set(object, *airspeed, base);
        // The user aircraft on a deck moves by the body velocities written (world_deck.cpp).
        if ((datum.var == velocity_z || datum.var == velocity_x) && object.kind == ObjectKind::User)
            world_.note_body_velocity_written();
    }
}

HRESULT SimConnectServer::set_data_on_sim_object(HANDLE handle, DWORD define_id, DWORD object_id, DWORD flags,
                                                 DWORD array_count, DWORD unit_size, const void* data)
{
    if (set_data_plainly(handle, define_id, object_id, flags, array_count, unit_size, data)) return S_OK;
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

    apply_data(define, *object, values);
    if (data_set_watch_) data_set_watch_(define_id, object_id, values);
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
