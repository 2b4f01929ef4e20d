// The SimConnect server of the emulated host: the other end of the client
// library (libSimConnect.so) that the module calls. It keeps the connection's
// declarations, produces every data record from the World, queues messages and
// hands them to the client's dispatch procedure when the host runs a frame.
//
// What is emulated:
//   - one client connection (Open, Close, CallDispatch); OPEN is the first message;
//   - data definitions of INT32, INT64, FLOAT32, FLOAT64 and STRING256 datums,
//     resolved against the variable registry (sim_vars.h) and the units table
//     (units.h) when they are added;
//   - RequestDataOnSimObject with periods NEVER (cancels), ONCE, VISUAL_FRAME
//     and SIM_FRAME (both: one message per frame()), SECOND (simulated time,
//     set_time); a repeated request id replaces the earlier request;
//   - RequestDataOnSimObjectType for USER, ALL, AIRCRAFT, HELICOPTER, BOAT and
//     GROUND within a radius around the user aircraft (sphere of 6371000 m);
//   - SetDataOnSimObject into the world's variables;
//   - system events (EVENT) and ObjectAdded/ObjectRemoved (EVENT_OBJECT_ADDREMOVE)
//     for objects added or removed through this server;
//   - input bindings, input groups and notification groups, driven by press_input;
//   - AI objects: create (ASSIGNED_OBJECT_ID), release control, remove;
//   - screen texts (recorded, not drawn);
//   - exceptions (EXCEPTION) for calls the server refuses after accepting them;
//   - fault injection on any call by its SimConnect function name.
// What is not: request flags (CHANGED, TAGGED), origin/interval/limit, tagged
// data, client data areas, facilities, menus, up events of input bindings,
// input group priorities, sim events raised by TransmitClientEvent.
//
// Every call the client makes goes on the timeline (kind "simconnect"), every
// delivered message too (kind "dispatch"), except the per-frame data messages,
// which are only counted unless set_record_frame_messages(true).
//
// Exceptions: dwSendID is the send id the server gave the refused call (the
// "send_id" field of its timeline record); dwIndex is the position of the
// offending argument, 1 for the first argument after the handle, 0 when no
// single argument is at fault.
//
// Threading: none. The host calls frame()/deliver() and the client calls the
// SimConnect functions on one thread, one at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/world/sim_vars.h"
#include "host/simconnect/simconnect_backend.h"
#include "host/record/timeline.h"
#include "host/world/world.h"

namespace host {

// One datum of a data definition, resolved when it was added.
struct DataDatum {
    std::string name;             // as the client passed it
    std::string unit;             // as the client passed it ("" for none)
    SIMCONNECT_DATATYPE type;     // INT32, INT64, FLOAT32, FLOAT64 or STRING256
    const SimVarInfo* var;        // null: refused at add time, the datum's bytes stay zero
    double to_base;               // value_in_base = value_in_unit * to_base (1 for text)
    size_t offset;                // bytes from the start of the record
    size_t size;                  // bytes: 4, 8 or 256
};

struct DataDefinition {
    std::vector<DataDatum> datums;  // in the order they were added
    size_t size = 0;                // bytes of the whole record
};

// An active RequestDataOnSimObject.
struct DataRequest {
    DWORD request_id = 0;
    DWORD define_id = 0;
    DWORD object_id = 0;  // as the client gave it: 0 is the user aircraft
    SIMCONNECT_PERIOD period = SIMCONNECT_PERIOD_NEVER;
    double next_due_s = 0.0;  // SECOND: simulated time of the next message
    DWORD send_id = 0;        // the request's send id, named by the exception when its object goes
};

struct InputBinding {
    DWORD group = 0;
    std::string definition;  // as the client passed it
    std::string normalised;  // lower case, no blanks around "+"
    DWORD down_event = 0;
    DWORD down_value = 0;
    DWORD up_event = SIMCONNECT_UNUSED;
    DWORD up_value = 0;
    bool maskable = false;
};

struct ShownText {
    double t = 0.0;       // simulated time when the client sent it, seconds
    int64_t frame = 0;
    DWORD type = 0;       // SIMCONNECT_TEXT_TYPE
    std::string color;    // "red", "green", "yellow" or "other"
    float seconds = 0.0f; // display duration
    std::string text;
};

class SimConnectServer : public SimConnectBackend {
public:
    // Messages handed to the dispatch procedure by one deliver() at most; the
    // rest stay queued (a client that answers every message with a new one
    // would otherwise never return).
    static constexpr size_t MAX_MESSAGES_PER_DELIVERY = 10000;
    static constexpr DWORD MAX_RADIUS_M = 200000;
    static constexpr const char* APPLICATION_NAME = "Carrier Emulated Host";

    SimConnectServer(World& world, Timeline& timeline);
    ~SimConnectServer() override;
    SimConnectServer(const SimConnectServer&) = delete;
    SimConnectServer& operator=(const SimConnectServer&) = delete;

    // Makes this server the one the client library forwards to (detach: none).
    void attach();
    void detach();

    // [host side] ---------------------------------------------------------------
    // Simulated time in seconds, for the SECOND period.
    void set_time(double seconds) { time_s_ = seconds; }
    double time() const { return time_s_; }

    // Queues one data message for every SIM_FRAME and VISUAL_FRAME request,
    // and for ONCE and due SECOND requests, then delivers everything queued.
    void frame();
    // Hands the queued messages, in order, to the dispatch procedure, including
    // those queued meanwhile, up to MAX_MESSAGES_PER_DELIVERY (a timeline event
    // "simconnect_error" when the cap is hit). Returns the number delivered.
    // Nothing happens before the client handed its dispatch procedure over.
    size_t deliver();

    // Queues EVENT to every subscriber of the system event `name` (compared
    // without regard to case). "ObjectAdded" and "ObjectRemoved" come only from
    // add_object/remove_object; naming them here is refused (timeline
    // "simconnect_error"). Returns the number of messages queued.
    size_t fire_system_event(const std::string& name);

    // Adds an object to the world at (lat_rad, lon_rad), east-positive, heading
    // true in radians, moving at speed_mps ("AIRSPEED TRUE"), and notifies the
    // "ObjectAdded" subscribers. Returns its id, or 0 (timeline
    // "simconnect_error") for ObjectKind::User (the world has exactly one user
    // aircraft) or a position that is not finite or beyond a pole.
    uint32_t add_object(ObjectKind kind, const std::string& title, double lat_rad, double lon_rad,
                        double heading_rad, double speed_mps, double altitude_m = 0.0);
    // Removes an object (not the user) and notifies the "ObjectRemoved"
    // subscribers. False when there is no such object.
    bool remove_object(uint32_t id);

    // The kind of object AI creation makes for a container title; titles
    // without an entry make ObjectKind::Aircraft.
    void set_container_kind(const std::string& title, ObjectKind kind) { container_kinds_[title] = kind; }

    // The user pressed (or, for a joystick button, released) the input
    // `definition`: every binding with that definition (case and blanks around
    // "+" ignored) in an input group that is on, whose down event is in a
    // notification group, gets an EVENT with that group, the down event and
    // dwData = `value`. Recorded on the timeline (kind "input") either way.
    // Returns whether an event was queued.
    bool press_input(const std::string& definition, DWORD value);

    // Makes the next `count` calls of `call_name` ("SimConnect_Open",
    // "SimConnect_AIRemoveObject", ...) fail with `result` without any other
    // effect; count -1: every call from now on; 0: clears. False (and nothing
    // armed) for a name that is not a SimConnect function of this library.
    bool fail_call(const std::string& call_name, int count, HRESULT result = E_FAIL);
    // The SimConnect functions of this library, the names fail_call takes.
    static std::vector<std::string> call_names();

    // Records every per-frame data message on the timeline too.
    void set_record_frame_messages(bool on) { record_frame_messages_ = on; }

    // Lean runs (a sweep's): the client's SetDataOnSimObject calls that the
    // server takes (about one a frame) are not written on the timeline; a
    // refused one still is. Whether quiet or not, `watch` (when given) sees
    // the definition, object and values of every record the server took, as
    // it takes it.
    using DataSetWatch = std::function<void(DWORD define_id, DWORD object_id, const std::vector<double>& values)>;
    void set_quiet_data_sets(bool quiet) { quiet_data_sets_ = quiet; }
    void set_data_set_watch(DataSetWatch watch) { data_set_watch_ = std::move(watch); }

    // [queries] -------------------------------------------------------------------
    bool is_open() const { return open_; }
    const std::string& client_name() const { return client_name_; }
    bool has_dispatch() const { return dispatch_ != nullptr; }
    const std::map<DWORD, DataRequest>& requests() const { return requests_; }
    const DataDefinition* definition(DWORD define_id) const;
    bool input_group_on(DWORD group) const;
    const std::vector<InputBinding>& bindings() const { return bindings_; }
    // Client event id -> sim event name ("" for a private client event).
    const std::map<DWORD, std::string>& mapped_events() const { return mapped_events_; }
    // Client event ids subscribed to the system event `name`.
    std::vector<DWORD> subscribers(const std::string& name) const;
    const std::vector<ShownText>& texts() const { return texts_; }
    // Per-frame data messages delivered, by request id.
    const std::map<DWORD, uint64_t>& frame_message_counts() const { return frame_message_counts_; }
    // Messages delivered, by message id (SIMCONNECT_RECV_ID).
    uint64_t delivered_count(DWORD recv_id) const;
    size_t pending_messages() const { return queue_.size() - queue_head_; }
    // The send id of the latest call the client made (0 before any call).
    DWORD last_send_id() const { return send_id_; }

    // [SimConnectBackend] ------------------------------------------------------
    HRESULT open(HANDLE* handle, const char* name, HWND window, DWORD user_event, HANDLE event,
                 DWORD config_index) override;
    HRESULT close(HANDLE handle) override;
    HRESULT call_dispatch(HANDLE handle, DispatchProc proc, void* context) override;
    HRESULT subscribe_to_system_event(HANDLE handle, DWORD event_id, const char* name) override;
    HRESULT map_client_event_to_sim_event(HANDLE handle, DWORD event_id, const char* name) override;
    HRESULT map_input_event_to_client_event(HANDLE handle, DWORD group_id, const char* definition, DWORD down_event,
                                            DWORD down_value, DWORD up_event, DWORD up_value, BOOL maskable) override;
    HRESULT set_input_group_state(HANDLE handle, DWORD group_id, DWORD state) override;
    HRESULT add_client_event_to_notification_group(HANDLE handle, DWORD group_id, DWORD event_id,
                                                   BOOL maskable) override;
    HRESULT add_to_data_definition(HANDLE handle, DWORD define_id, const char* datum_name, const char* units_name,
                                   SIMCONNECT_DATATYPE type, float epsilon, DWORD datum_id) override;
    HRESULT request_data_on_sim_object(HANDLE handle, DWORD request_id, DWORD define_id, DWORD object_id,
                                       SIMCONNECT_PERIOD period, DWORD flags, DWORD origin, DWORD interval,
                                       DWORD limit) override;
    HRESULT request_data_on_sim_object_type(HANDLE handle, DWORD request_id, DWORD define_id, DWORD radius_m,
                                            SIMCONNECT_SIMOBJECT_TYPE type) override;
    HRESULT set_data_on_sim_object(HANDLE handle, DWORD define_id, DWORD object_id, DWORD flags,
                                   DWORD array_count, DWORD unit_size, const void* data) override;
    HRESULT ai_create_simulated_object(HANDLE handle, const char* title, const SIMCONNECT_DATA_INITPOSITION& position,
                                       DWORD request_id) override;
    HRESULT ai_release_control(HANDLE handle, DWORD object_id, DWORD request_id) override;
    HRESULT ai_remove_object(HANDLE handle, DWORD object_id, DWORD request_id) override;
    HRESULT text(HANDLE handle, SIMCONNECT_TEXT_TYPE type, float seconds, DWORD event_id, DWORD size,
                 const void* text) override;

private:
    struct Message {
        std::vector<uint8_t> bytes;  // the packed record, dwSize = bytes.size()
        nlohmann::json summary;      // what the "dispatch" timeline event shows
        bool per_frame = false;      // a SIM_FRAME/VISUAL_FRAME data message
        DWORD request_id = 0;
    };
    // The call being served: its send id and its timeline record.
    struct Call {
        const char* name;
        DWORD send_id;
        nlohmann::json args;
        nlohmann::json exceptions = nlohmann::json::array();
        std::string error;  // why the call itself was refused
    };
    struct Injection {
        int remaining = 0;  // -1: forever
        HRESULT result = E_FAIL;
    };

    Call begin_call(const char* name, nlohmann::json args);
    // Fault injection and the connection handle; true when the call may go on,
    // otherwise *result is what the call returns (already recorded).
    bool admit(Call& call, HANDLE handle, HRESULT* result);
    bool injected(Call& call, HRESULT* result);
    HRESULT finish(Call& call, HRESULT result);
    HRESULT refuse(Call& call, HRESULT result, std::string error);
    // Queues an EXCEPTION for the call.
    void raise(Call& call, SIMCONNECT_EXCEPTION code, DWORD index, std::string reason);

    void enqueue(Message message);
    // A zeroed record buffer of `size` bytes, reusing one a delivered message gave back.
    std::vector<uint8_t> record_buffer(size_t size);
    void recycle(std::vector<uint8_t>&& bytes);
    bool set_data_plainly(HANDLE handle, DWORD define_id, DWORD object_id, DWORD flags, DWORD array_count,
                          DWORD unit_size, const void* data);
    void apply_data(const DataDefinition& define, SimObject& object, const std::vector<double>& values);
    void queue_event(DWORD group, DWORD event_id, DWORD data);
    void queue_add_remove(DWORD event_id, const SimObject& object);
    void notify_add_remove(const char* system_event, const SimObject& object);
    // Builds the data record of `define` for `object` (SIMOBJECT_DATA or
    // _BYTYPE by `recv_id`); `object` null: the zeroed record.
    Message data_message(DWORD recv_id, DWORD request_id, DWORD define_id, const DataDefinition& define,
                         const SimObject* object, DWORD object_id, DWORD entry, DWORD out_of, bool summarise);
    void note_world_objects();
    bool object_ever_seen(DWORD client_object_id) const;
    void reset_connection();

    World& world_;
    Timeline& timeline_;

    // Connection.
    bool open_ = false;
    HANDLE handle_ = nullptr;
    uint32_t connections_ = 0;  // opened so far: each open gets a new handle
    std::string client_name_;
    DispatchProc dispatch_ = nullptr;
    void* context_ = nullptr;
    DWORD send_id_ = 0;

    // Declarations of the open connection.
    std::map<DWORD, DataDefinition> definitions_;
    std::map<DWORD, DataRequest> requests_;
    std::map<std::string, std::vector<DWORD>> system_subscriptions_;  // lower-case name -> client events
    std::map<DWORD, std::string> mapped_events_;
    std::vector<InputBinding> bindings_;
    std::map<DWORD, bool> input_groups_;        // group -> on
    std::map<DWORD, DWORD> notification_of_;    // client event -> notification group
    std::set<uint32_t> created_objects_;        // world ids of the client's AI objects

    // Messages.
    std::vector<Message> queue_;  // delivered up to queue_head_
    size_t queue_head_ = 0;
    static constexpr size_t MAX_SPARE_BUFFERS = 256;
    std::vector<std::vector<uint8_t>> spare_buffers_;  // record buffers of delivered messages
    std::vector<double> scratch_values_;               // set_data_plainly's decoded record
    bool delivering_ = false;
    bool record_frame_messages_ = false;
    bool quiet_data_sets_ = false;
    DataSetWatch data_set_watch_;
    std::map<DWORD, uint64_t> frame_message_counts_;
    std::map<DWORD, uint64_t> delivered_counts_;

    // Host side.
    double time_s_ = 0.0;
    std::set<uint32_t> seen_objects_;  // every world id the server has seen
    uint32_t noted_next_id_ = 0;       // world ids below this are in seen_objects_ (when they existed)
    std::map<std::string, ObjectKind> container_kinds_;
    std::map<std::string, Injection> injections_;
    std::vector<ShownText> texts_;
};

// Whether `definition` is an input the simulator can bind ("Shift+T",
// "joystick:0:button:3"); sets *why otherwise. Used by the configuration linter.
bool check_input_definition(std::string_view definition, std::string* why);

}  // namespace host
