// The emulated SimConnect server: the connection and call recording, fault
// injection, the message queue and its delivery, and the host's side (the
// frame's records produced from the world, system events, objects added and
// removed). The client's declarations and requests are in
// simconnect_requests.cpp.
//
// Index: [connection and recording] [delivery] [host side]
#include "host/simconnect/simconnect_server.h"
#include "host/simconnect/server_helpers.h"

namespace host {
namespace {

SimConnectServer* attachedServer = nullptr;  // the server the client library forwards to

}  // namespace

using namespace server_detail;

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

std::vector<std::string> SimConnectServer::call_names()
{
    return {std::begin(CALL_NAMES), std::end(CALL_NAMES)};
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
    queue_head_ = 0;
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

std::vector<uint8_t> SimConnectServer::record_buffer(size_t size)
{
    std::vector<uint8_t> bytes;
    if (!spare_buffers_.empty()) {
        bytes = std::move(spare_buffers_.back());
        spare_buffers_.pop_back();
    }
    bytes.assign(size, 0);
    return bytes;
}

void SimConnectServer::recycle(std::vector<uint8_t>&& bytes)
{
    if (spare_buffers_.size() < MAX_SPARE_BUFFERS) spare_buffers_.push_back(std::move(bytes));
}

size_t SimConnectServer::deliver()
{
    if (delivering_ || !dispatch_) return 0;
    delivering_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{delivering_};

    size_t delivered = 0;
    while (queue_head_ < queue_.size() && dispatch_) {
        if (delivered == MAX_MESSAGES_PER_DELIVERY) {
            timeline_.add("simconnect_error", {{"error", "dispatch stopped after " +
                                                             std::to_string(MAX_MESSAGES_PER_DELIVERY) +
                                                             " messages in one frame"},
                                               {"pending", pending_messages()}});
            break;
        }
        Message message = std::move(queue_[queue_head_++]);
        if (queue_head_ == queue_.size()) {
            // Drained: the queue's storage is kept for the next frame.
            queue_.clear();
            queue_head_ = 0;
        } else if (queue_head_ >= 1024 && queue_head_ * 2 >= queue_.size()) {
            queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(queue_head_));
            queue_head_ = 0;
        }
        const DWORD id = take<DWORD>(message.bytes.data() + 8);  // SIMCONNECT_RECV::dwID
        ++delivered_counts_[id];
        if (message.per_frame) ++frame_message_counts_[message.request_id];
        if (!message.per_frame || record_frame_messages_) timeline_.add("dispatch", message.summary);
        ++delivered;
        dispatch_(reinterpret_cast<SIMCONNECT_RECV*>(message.bytes.data()), static_cast<DWORD>(message.bytes.size()),
                  context_);
        recycle(std::move(message.bytes));
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
    message.bytes = record_buffer(DATA_HEADER_BYTES + define.size);
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

    uint8_t* data = message.bytes.data() + DATA_HEADER_BYTES;
    if (!summarise) {
        // A per-frame message nobody records: no summary.
        for (const DataDatum& datum : define.datums) write_datum(data + datum.offset, datum, object, nullptr);
        return message;
    }
    nlohmann::json values = nlohmann::json::array();
    for (const DataDatum& datum : define.datums) write_datum(data + datum.offset, datum, object, &values);
    message.summary = {{"id", recv_id}, {"request", request_id}, {"object", object_id}, {"define", define_id},
                       {"entry", entry},  {"outof", out_of},       {"data", std::move(values)}};
    return message;
}

// [host side] ------------------------------------------------------------------

void SimConnectServer::note_world_objects()
{
    // World ids are given out in increasing order and never again: only the
    // objects added since the last look can be new.
    if (world_.next_id() == noted_next_id_) return;
    const auto& objects = world_.objects();
    for (auto it = objects.lower_bound(noted_next_id_); it != objects.end(); ++it) seen_objects_.insert(it->first);
    noted_next_id_ = world_.next_id();
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
        if (define == definitions_.end()) continue;
        if (!object) {
            // The object is gone: the simulator answers once with an exception
            // naming the request and sends nothing more for it.
            SIMCONNECT_RECV_EXCEPTION record{};
            record.dwException = SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID;
            record.dwSendID = request.send_id;
            record.dwIndex = 3;
            Message gone;
            gone.bytes = record_bytes(record, SIMCONNECT_RECV_ID_EXCEPTION);
            gone.summary = {{"id", SIMCONNECT_RECV_ID_EXCEPTION}, {"exception", SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID},
                            {"send_id", request.send_id}, {"index", 3}, {"call", "SimConnect_RequestDataOnSimObject"},
                            {"reason", "the object of request " + std::to_string(id) + " no longer exists"}};
            enqueue(std::move(gone));
            finished.push_back(id);
            continue;
        }
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

}  // namespace host
