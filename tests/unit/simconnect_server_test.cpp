// The emulated SimConnect server, driven through the client library's own
// SimConnect_* functions with a dispatch procedure that keeps every message.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "host/simconnect/simconnect_server.h"
#include "state/module_state.h"

namespace {

using namespace host;

constexpr double DEG = M_PI / 180.0;
constexpr size_t HEADER = 40;  // SIMOBJECT_DATA header bytes

struct Message {
    std::vector<uint8_t> bytes;
    DWORD id() const { return reinterpret_cast<const SIMCONNECT_RECV*>(bytes.data())->dwID; }
    template <typename T>
    T as() const
    {
        T record{};
        std::memcpy(&record, bytes.data(), std::min(sizeof(T), bytes.size()));
        return record;
    }
    // The record after the 40-byte header of a data message.
    template <typename T>
    T data() const
    {
        EXPECT_EQ(bytes.size(), HEADER + sizeof(T));
        T record{};
        std::memcpy(&record, bytes.data() + HEADER, std::min(sizeof(T), bytes.size() - HEADER));
        return record;
    }
};

class SimConnectServerTest : public ::testing::Test {
protected:
    World world;
    Timeline timeline;
    SimConnectServer server{world, timeline};
    HANDLE h = nullptr;
    std::vector<Message> received;
    std::function<void(const SIMCONNECT_RECV&)> on_message;

    static void dispatch(SIMCONNECT_RECV* data, DWORD size, void* context)
    {
        auto* self = static_cast<SimConnectServerTest*>(context);
        EXPECT_EQ(data->dwSize, size);
        const auto* bytes = reinterpret_cast<const uint8_t*>(data);
        self->received.push_back(Message{{bytes, bytes + size}});
        if (self->on_message) self->on_message(*data);
    }

    void SetUp() override { server.attach(); }

    void connect()
    {
        ASSERT_EQ(SimConnect_Open(&h, "Carrier ZEB Gauge", nullptr, 0, nullptr, 0), S_OK);
        ASSERT_EQ(SimConnect_CallDispatch(h, dispatch, this), S_OK);
        server.deliver();
        ASSERT_EQ(received.size(), 1u);
        ASSERT_EQ(received[0].id(), SIMCONNECT_RECV_ID_OPEN);
        received.clear();
    }

    std::vector<Message> take()
    {
        server.deliver();
        return std::exchange(received, {});
    }

    void add(DWORD define, const char* name, const char* unit, SIMCONNECT_DATATYPE type = SIMCONNECT_DATATYPE_FLOAT64)
    {
        ASSERT_EQ(SimConnect_AddToDataDefinition(h, define, name, unit, type, 0.0f, SIMCONNECT_UNUSED), S_OK);
    }

    // The module's records, as it declares them on the open message.
    void declare_module_definitions()
    {
        add(0, "Plane Altitude", "nmiles");
        add(0, "Plane Latitude", "radians");
        add(0, "Plane Longitude", "radians");
        add(0, "PLANE HEADING DEGREES TRUE", "radians");
        add(0, "BRAKE INDICATOR", "percent");
        add(0, "ENG1 N1 RPM", "percent");
        add(0, "GENERAL ENG1 THROTTLE LEVER POSITION", "percent");
        add(0, "AMBIENT WIND Z", "knots");
        add(0, "GROUND VELOCITY", "meters per second");
        add(0, "SIM ON GROUND", "number", SIMCONNECT_DATATYPE_INT32);
        add(0, "CABLE CAUGHT BY TAILHOOK", "number", SIMCONNECT_DATATYPE_INT32);
        add(0, "TAILHOOK POSITION", "percent");
        add(2, "TITLE", nullptr, SIMCONNECT_DATATYPE_STRING256);
        add(2, "Plane Altitude", "nmiles");
        add(2, "Plane Latitude", "radians");
        add(2, "Plane Longitude", "radians");
        add(2, "PLANE HEADING DEGREES TRUE", "radians");
        add(2, "AIRSPEED TRUE", "meters per second");
        add(2, "ROTATION VELOCITY BODY Y", "meters per second");
        for (const char* shield : {"BLAST SHIELD POSITION:1", "BLAST SHIELD POSITION:2", "BLAST SHIELD POSITION:3",
                                   "BLAST SHIELD POSITION:4"})
            add(2, shield, "percent");
        add(1, "TITLE", nullptr, SIMCONNECT_DATATYPE_STRING256);
        add(1, "Plane Latitude", "radians");
        add(1, "Plane Longitude", "radians");
        ASSERT_EQ(server.pending_messages(), 0u) << "a module datum was refused";
    }

    void set(SimObject& object, const char* name, double base) { World::set(object, *find_sim_var(name), base); }
    double get(const SimObject& object, const char* name) { return World::get(object, *find_sim_var(name)); }

    // A boat `distance_m` from the user aircraft on true course `course_rad`.
    uint32_t boat_at(const std::string& title, double course_rad, double distance_m,
                     ObjectKind kind = ObjectKind::Boat)
    {
        double lat = 0, lon = 0;
        sphere_destination(get(world.user(), "PLANE LATITUDE"), get(world.user(), "PLANE LONGITUDE"), course_rad,
                           distance_m, &lat, &lon);
        return server.add_object(kind, title, lat, lon, 0.0, 0.0);
    }
};

TEST_F(SimConnectServerTest, ConnectionLifecycleAndHandleChecks)
{
    connect();
    EXPECT_EQ(server.client_name(), "Carrier ZEB Gauge");
    HANDLE second = nullptr;
    EXPECT_EQ(SimConnect_Open(&second, "other", nullptr, 0, nullptr, 0), E_FAIL);
    int bogus = 0;
    EXPECT_EQ(SimConnect_SetInputGroupState(&bogus, 0, 1), E_FAIL);
    EXPECT_EQ(SimConnect_Close(h), S_OK);
    EXPECT_FALSE(server.is_open());
    EXPECT_EQ(SimConnect_SetInputGroupState(h, 0, 1), E_FAIL);
    server.detach();
    EXPECT_EQ(SimConnect_Open(&second, "again", nullptr, 0, nullptr, 0), E_FAIL);  // no server attached
}

TEST_F(SimConnectServerTest, UserAircraftRecordCarriesWorldValuesInRequestedUnits)
{
    connect();
    declare_module_definitions();
    SimObject& user = world.user();
    set(user, "PLANE ALTITUDE", 0.25 * 1852.0);
    set(user, "PLANE LATITUDE", 0.7);
    set(user, "PLANE LONGITUDE", -1.2);
    set(user, "PLANE HEADING DEGREES TRUE", 3.0);
    set(user, "BRAKE INDICATOR", 40.0);
    set(user, "ENG1 N1 RPM", 95.0);
    set(user, "GENERAL ENG1 THROTTLE LEVER POSITION", 80.0);
    set(user, "AMBIENT WIND Z", 10.0);  // m/s
    set(user, "GROUND VELOCITY", 70.0);
    set(user, "SIM ON GROUND", 1.0);
    set(user, "CABLE CAUGHT BY TAILHOOK", -2.7);  // truncation goes toward zero
    set(user, "TAILHOOK POSITION", 100.0);
    ASSERT_EQ(SimConnect_RequestDataOnSimObject(h, 0, 0, SIMCONNECT_OBJECT_ID_USER, SIMCONNECT_PERIOD_SIM_FRAME, 0, 0,
                                                0, 0),
              S_OK);
    server.frame();
    server.frame();
    ASSERT_EQ(received.size(), 2u);
    const auto header = received[0].as<SIMCONNECT_RECV_SIMOBJECT_DATA>();
    EXPECT_EQ(header.dwID, SIMCONNECT_RECV_ID_SIMOBJECT_DATA);
    EXPECT_EQ(header.dwSize, HEADER + sizeof(UserAircraftData));
    EXPECT_EQ(header.dwRequestID, 0u);
    EXPECT_EQ(header.dwObjectID, World::USER_OBJECT_ID);
    EXPECT_EQ(header.dwentrynumber, 1u);
    EXPECT_EQ(header.dwoutof, 1u);
    EXPECT_EQ(header.dwDefineCount, 12u);
    const auto data = received[0].data<UserAircraftData>();
    EXPECT_DOUBLE_EQ(data.planeAltitude, 0.25);
    EXPECT_DOUBLE_EQ(data.planeLatitude, 0.7);
    EXPECT_DOUBLE_EQ(data.planeLongitude, -1.2);
    EXPECT_DOUBLE_EQ(data.planeHeadingTrue, 3.0);
    EXPECT_DOUBLE_EQ(data.brakeIndicator, 40.0);
    EXPECT_DOUBLE_EQ(data.eng1N1Rpm, 95.0);
    EXPECT_DOUBLE_EQ(data.eng1ThrottlePosition, 80.0);
    EXPECT_NEAR(data.ambientWindZ, 10.0 * 3600.0 / 1852.0, 1e-9);
    EXPECT_DOUBLE_EQ(data.groundVelocity, 70.0);
    EXPECT_EQ(data.simOnGround, 1);
    EXPECT_EQ(data.cableCaught, -2);
    EXPECT_DOUBLE_EQ(data.tailhookPosition, 100.0);
    // Per-frame messages are counted, not recorded.
    EXPECT_EQ(server.frame_message_counts().at(0), 2u);
    auto data_records = [&] {
        std::vector<nlohmann::json> out;
        for (const TimelineEvent* e : timeline.of_kind("dispatch"))
            if (e->data["id"] == SIMCONNECT_RECV_ID_SIMOBJECT_DATA) out.push_back(e->data);
        return out;
    };
    EXPECT_TRUE(data_records().empty());
    server.set_record_frame_messages(true);
    server.frame();
    ASSERT_EQ(data_records().size(), 1u);
    EXPECT_EQ(data_records()[0]["data"][9], 1);
}

TEST_F(SimConnectServerTest, CarrierRecordAndTitleBytes)
{
    connect();
    declare_module_definitions();
    const uint32_t ship = server.add_object(ObjectKind::Boat, "CVN-70", 0.3, -0.4, 1.5, 12.0, 20.0);
    SimObject& object = *world.find(ship);
    set(object, "ROTATION VELOCITY BODY Y", 0.02);
    for (int i = 1; i <= 4; ++i) set(object, ("BLAST SHIELD POSITION:" + std::to_string(i)).c_str(), 10.0 * i);
    ASSERT_EQ(SimConnect_RequestDataOnSimObject(h, 2, 2, ship, SIMCONNECT_PERIOD_SIM_FRAME, 0, 0, 0, 0), S_OK);
    server.frame();
    ASSERT_EQ(received.size(), 1u);
    const auto data = received[0].data<CarrierObjectData>();
    EXPECT_STREQ(data.title, "CVN-70");
    EXPECT_TRUE(std::all_of(data.title + 6, data.title + 256, [](char c) { return c == 0; }));
    EXPECT_DOUBLE_EQ(data.planeAltitude, 20.0 / 1852.0);
    EXPECT_DOUBLE_EQ(data.planeLatitude, 0.3);
    EXPECT_DOUBLE_EQ(data.planeLongitude, -0.4);
    EXPECT_DOUBLE_EQ(data.planeHeadingTrue, 1.5);
    EXPECT_DOUBLE_EQ(data.airspeedTrue, 12.0);
    EXPECT_DOUBLE_EQ(data.rotationVelocityBodyY, 0.02);
    for (int i = 0; i < 4; ++i) EXPECT_DOUBLE_EQ(data.blastShield[i], 10.0 * (i + 1));

    // A title of 256 characters or more fills the field with no terminator.
    object.title = std::string(300, 'X');
    received.clear();
    server.frame();
    ASSERT_EQ(received.size(), 1u);
    const auto cut = received[0].data<CarrierObjectData>();
    EXPECT_EQ(std::string(cut.title, 256), std::string(256, 'X'));
    EXPECT_DOUBLE_EQ(cut.planeLatitude, 0.3);
}

TEST_F(SimConnectServerTest, RequestPeriodsAndReplacement)
{
    connect();
    declare_module_definitions();
    const uint32_t a = server.add_object(ObjectKind::Boat, "A", 0.1, 0.1, 0, 0);
    const uint32_t b = server.add_object(ObjectKind::Boat, "B", 0.2, 0.2, 0, 0);
    auto sends = [&](DWORD request) {
        server.frame();
        int n = 0;
        for (const Message& m : std::exchange(received, {}))
            n += m.id() == SIMCONNECT_RECV_ID_SIMOBJECT_DATA &&
                 m.as<SIMCONNECT_RECV_SIMOBJECT_DATA>().dwRequestID == request;
        return n;
    };
    auto request = [&](DWORD id, DWORD object, SIMCONNECT_PERIOD period) {
        ASSERT_EQ(SimConnect_RequestDataOnSimObject(h, id, 2, object, period, 0, 0, 0, 0), S_OK);
    };
    request(2, a, SIMCONNECT_PERIOD_SIM_FRAME);
    request(2, b, SIMCONNECT_PERIOD_SIM_FRAME);  // replaces the request on A
    server.frame();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].as<SIMCONNECT_RECV_SIMOBJECT_DATA>().dwObjectID, b);
    EXPECT_STREQ(received[0].data<CarrierObjectData>().title, "B");
    received.clear();

    request(2, b, SIMCONNECT_PERIOD_NEVER);
    EXPECT_EQ(sends(2), 0);
    request(5, a, SIMCONNECT_PERIOD_ONCE);
    EXPECT_EQ(sends(5), 1);
    EXPECT_EQ(sends(5), 0);
    server.set_time(10.0);
    request(6, a, SIMCONNECT_PERIOD_SECOND);
    EXPECT_EQ(sends(6), 1);
    server.set_time(10.5);
    EXPECT_EQ(sends(6), 0);
    server.set_time(11.0);
    EXPECT_EQ(sends(6), 1);

    // An object that is gone: its standing request is answered once with an
    // unrecognised-id exception naming the request, then nothing more comes;
    // a new request naming it is answered with the same exception.
    request(7, a, SIMCONNECT_PERIOD_SIM_FRAME);
    const DWORD request7 = server.last_send_id();
    ASSERT_TRUE(server.remove_object(a));
    EXPECT_EQ(server.delivered_count(SIMCONNECT_RECV_ID_EXCEPTION), 0u);
    server.frame();
    ASSERT_EQ(server.delivered_count(SIMCONNECT_RECV_ID_EXCEPTION), 1u);
    const Message& gone = received.back();
    ASSERT_EQ(gone.id(), SIMCONNECT_RECV_ID_EXCEPTION);
    EXPECT_EQ(gone.as<SIMCONNECT_RECV_EXCEPTION>().dwException, static_cast<DWORD>(SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID));
    EXPECT_EQ(gone.as<SIMCONNECT_RECV_EXCEPTION>().dwSendID, request7);
    received.clear();
    EXPECT_EQ(sends(7), 0);
    EXPECT_EQ(server.delivered_count(SIMCONNECT_RECV_ID_EXCEPTION), 1u);
    request(8, a, SIMCONNECT_PERIOD_SIM_FRAME);
    server.frame();
    EXPECT_EQ(server.delivered_count(SIMCONNECT_RECV_ID_EXCEPTION), 2u);
    EXPECT_EQ(sends(8), 0);
}

TEST_F(SimConnectServerTest, BoatListFiltersByTypeAndRadius)
{
    connect();
    declare_module_definitions();
    set(world.user(), "PLANE LATITUDE", 0.6);
    set(world.user(), "PLANE LONGITUDE", -1.3);
    const uint32_t far_boat = boat_at("Far", 0.0, 150000.0);
    boat_at("Beyond", 1.0, 200500.0);
    boat_at("Jet", 2.0, 1000.0, ObjectKind::Aircraft);
    const uint32_t near_boat = boat_at("Near", 3.0, 5000.0);
    received.clear();

    ASSERT_EQ(SimConnect_RequestDataOnSimObjectType(h, 1, 1, 200000, SIMCONNECT_SIMOBJECT_TYPE_BOAT), S_OK);
    const std::vector<Message> list = take();
    ASSERT_EQ(list.size(), 2u);
    const uint32_t ids[] = {far_boat, near_boat};  // ascending object id, not distance
    const char* titles[] = {"Far", "Near"};
    for (DWORD k = 0; k < 2; ++k) {
        const auto header = list[k].as<SIMCONNECT_RECV_SIMOBJECT_DATA_BYTYPE>();
        EXPECT_EQ(header.dwID, SIMCONNECT_RECV_ID_SIMOBJECT_DATA_BYTYPE);
        EXPECT_EQ(header.dwRequestID, 1u);
        EXPECT_EQ(header.dwentrynumber, k + 1);
        EXPECT_EQ(header.dwoutof, 2u);
        EXPECT_EQ(header.dwObjectID, ids[k]);
        const auto entry = list[k].data<BoatListEntry>();
        EXPECT_STREQ(entry.title, titles[k]);
        EXPECT_DOUBLE_EQ(entry.planeLatitude, get(*world.find(ids[k]), "PLANE LATITUDE"));
    }

    ASSERT_EQ(SimConnect_RequestDataOnSimObjectType(h, 1, 1, 4000, SIMCONNECT_SIMOBJECT_TYPE_BOAT), S_OK);
    const std::vector<Message> none = take();
    ASSERT_EQ(none.size(), 1u);
    const auto header = none[0].as<SIMCONNECT_RECV_SIMOBJECT_DATA_BYTYPE>();
    EXPECT_EQ(header.dwentrynumber, 0u);
    EXPECT_EQ(header.dwoutof, 0u);
    EXPECT_EQ(none[0].data<BoatListEntry>().title[0], 0);

    ASSERT_EQ(SimConnect_RequestDataOnSimObjectType(h, 9, 1, 4000, SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT), S_OK);
    EXPECT_EQ(take().size(), 2u);  // the user aircraft and the jet
}

TEST_F(SimConnectServerTest, RefusedCallsRaiseExceptions)
{
    connect();
    declare_module_definitions();
    add(3, "VELOCITY BODY Z", "Meters per second");
    auto define = [&](const char* name, const char* unit) {
        return SimConnect_AddToDataDefinition(h, 9, name, unit, SIMCONNECT_DATATYPE_FLOAT64, 0, SIMCONNECT_UNUSED);
    };
    struct Case {
        const char* what;
        std::function<HRESULT()> call;
        SIMCONNECT_EXCEPTION exception;
        DWORD index;
    };
    const Case cases[] = {
        {"request on unknown definition",
         [&] { return SimConnect_RequestDataOnSimObject(h, 0, 42, 0, SIMCONNECT_PERIOD_SIM_FRAME, 0, 0, 0, 0); },
         SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, 2},
        {"request on unknown object",
         [&] { return SimConnect_RequestDataOnSimObject(h, 0, 0, 999, SIMCONNECT_PERIOD_SIM_FRAME, 0, 0, 0, 0); },
         SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, 3},
        {"radius above 200000 m",
         [&] { return SimConnect_RequestDataOnSimObjectType(h, 1, 1, 200001, SIMCONNECT_SIMOBJECT_TYPE_BOAT); },
         SIMCONNECT_EXCEPTION_OUT_OF_BOUNDS, 3},
        {"by type on unknown definition",
         [&] { return SimConnect_RequestDataOnSimObjectType(h, 1, 42, 1000, SIMCONNECT_SIMOBJECT_TYPE_BOAT); },
         SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, 2},
        {"unknown variable",
         [&] { return define("PLANE ALTITUDES", "feet"); },
         SIMCONNECT_EXCEPTION_NAME_UNRECOGNIZED, 2},
        {"unknown unit",
         [&] { return define("PLANE ALTITUDE", "furlongs"); },
         SIMCONNECT_EXCEPTION_NAME_UNRECOGNIZED, 3},
        {"unit of another dimension",
         [&] { return define("PLANE ALTITUDE", "degrees"); },
         SIMCONNECT_EXCEPTION_ERROR, 3},
        {"record size mismatch",
         [&] { double v[2] = {}; return SimConnect_SetDataOnSimObject(h, 3, 0, 0, 0, sizeof v, v); },
         SIMCONNECT_EXCEPTION_ERROR, 5},
        {"set data on unknown object",
         [&] { double v = 1; return SimConnect_SetDataOnSimObject(h, 3, 999, 0, 0, sizeof v, &v); },
         SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, 2},
        {"unknown system event",
         [&] { return SimConnect_SubscribeToSystemEvent(h, 0, "SimStarted"); },
         SIMCONNECT_EXCEPTION_NAME_UNRECOGNIZED, 2},
        {"too many modifiers",
         [&] { return SimConnect_MapInputEventToClientEvent(h, 0, "Shift+Ctrl+Alt+X", 1, 0, SIMCONNECT_UNUSED, 0, 0); },
         SIMCONNECT_EXCEPTION_NAME_UNRECOGNIZED, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.call(), S_OK);  // accepted, then refused asynchronously
        const std::vector<Message> messages = take();
        ASSERT_EQ(messages.size(), 1u);
        const auto exception = messages[0].as<SIMCONNECT_RECV_EXCEPTION>();
        EXPECT_EQ(exception.dwID, SIMCONNECT_RECV_ID_EXCEPTION);
        EXPECT_EQ(exception.dwException, static_cast<DWORD>(c.exception));
        EXPECT_EQ(exception.dwSendID, server.last_send_id());
        EXPECT_EQ(exception.dwIndex, c.index);
    }
    EXPECT_TRUE(server.requests().empty());
    EXPECT_TRUE(server.bindings().empty());
}

TEST_F(SimConnectServerTest, InputsReachTheClientOnlyThroughAnActiveGroup)
{
    connect();
    ASSERT_EQ(SimConnect_MapInputEventToClientEvent(h, 0, "Shift+T", 1, 0, SIMCONNECT_UNUSED, 0, 0), S_OK);
    ASSERT_EQ(SimConnect_MapInputEventToClientEvent(h, 0, "joystick:0:button:3", 3, 0, SIMCONNECT_UNUSED, 0, 0), S_OK);
    ASSERT_EQ(SimConnect_MapInputEventToClientEvent(h, 0, "F2", 2, 0, SIMCONNECT_UNUSED, 0, 0), S_OK);
    ASSERT_EQ(SimConnect_SetInputGroupState(h, 0, SIMCONNECT_STATE_OFF), S_OK);
    for (DWORD event : {1u, 3u}) ASSERT_EQ(SimConnect_AddClientEventToNotificationGroup(h, 0, event, 0), S_OK);
    EXPECT_FALSE(server.press_input("Shift+T", 0));
    EXPECT_TRUE(take().empty());

    ASSERT_EQ(SimConnect_SetInputGroupState(h, 0, SIMCONNECT_STATE_ON), S_OK);
    EXPECT_TRUE(server.press_input("shift + t", 0));
    EXPECT_TRUE(server.press_input("joystick:0:button:3", 1));
    EXPECT_FALSE(server.press_input("F2", 0));  // event 2 is in no notification group
    EXPECT_FALSE(server.press_input("Shift+Y", 0));
    const std::vector<Message> events = take();
    ASSERT_EQ(events.size(), 2u);
    const auto key = events[0].as<SIMCONNECT_RECV_EVENT>();
    EXPECT_EQ(key.dwID, SIMCONNECT_RECV_ID_EVENT);
    EXPECT_EQ(key.uGroupID, 0u);
    EXPECT_EQ(key.uEventID, 1u);
    EXPECT_EQ(key.dwData, 0u);
    const auto button = events[1].as<SIMCONNECT_RECV_EVENT>();
    EXPECT_EQ(button.uEventID, 3u);
    EXPECT_EQ(button.dwData, 1u);
    EXPECT_EQ(timeline.of_kind("input").size(), 5u);  // every press is recorded
}

TEST_F(SimConnectServerTest, SystemEventsReachSubscribers)
{
    connect();
    ASSERT_EQ(SimConnect_SubscribeToSystemEvent(h, 0, "SimStart"), S_OK);
    EXPECT_EQ(server.fire_system_event("simstart"), 1u);
    EXPECT_EQ(server.fire_system_event("ObjectAdded"), 0u);  // only from add_object
    const std::vector<Message> events = take();
    ASSERT_EQ(events.size(), 1u);
    const auto event = events[0].as<SIMCONNECT_RECV_EVENT>();
    EXPECT_EQ(event.uGroupID, SIMCONNECT_UNUSED);
    EXPECT_EQ(event.uEventID, 0u);
}

TEST_F(SimConnectServerTest, AiObjectLifecycle)
{
    connect();
    ASSERT_EQ(SimConnect_SubscribeToSystemEvent(h, 4, "ObjectAdded"), S_OK);
    ASSERT_EQ(SimConnect_SubscribeToSystemEvent(h, 5, "ObjectRemoved"), S_OK);
    world.add_known_title("SH-60 Seahawk");
    server.set_container_kind("SH-60 Seahawk", ObjectKind::Helicopter);
    const size_t objects_before = world.objects().size();

    SIMCONNECT_DATA_INITPOSITION position{10.0, -20.0, 100.0, 0.0, 0.0, 90.0, 1, 20};
    EXPECT_EQ(SimConnect_AICreateSimulatedObject(h, "Unknown Helo", position, 1), E_FAIL);
    EXPECT_EQ(world.objects().size(), objects_before);
    EXPECT_TRUE(take().empty());

    ASSERT_EQ(SimConnect_AICreateSimulatedObject(h, "SH-60 Seahawk", position, 1), S_OK);
    std::vector<Message> messages = take();
    ASSERT_EQ(messages.size(), 2u);
    const auto assigned = messages[0].as<SIMCONNECT_RECV_ASSIGNED_OBJECT_ID>();
    EXPECT_EQ(assigned.dwID, SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID);
    EXPECT_EQ(assigned.dwRequestID, 1u);
    const DWORD id = assigned.dwObjectID;
    const auto added = messages[1].as<SIMCONNECT_RECV_EVENT_OBJECT_ADDREMOVE>();
    EXPECT_EQ(added.dwID, SIMCONNECT_RECV_ID_EVENT_OBJECT_ADDREMOVE);
    EXPECT_EQ(added.uEventID, 4u);
    EXPECT_EQ(added.dwData, id);
    EXPECT_EQ(added.eObjType, SIMCONNECT_SIMOBJECT_TYPE_HELICOPTER);

    SimObject* helo = world.find(id);
    ASSERT_NE(helo, nullptr);
    EXPECT_DOUBLE_EQ(get(*helo, "PLANE LATITUDE"), 10.0 * DEG);
    EXPECT_DOUBLE_EQ(get(*helo, "PLANE LONGITUDE"), -20.0 * DEG);
    EXPECT_NEAR(get(*helo, "PLANE ALTITUDE"), 30.48, 1e-9);
    EXPECT_DOUBLE_EQ(get(*helo, "PLANE HEADING DEGREES TRUE"), M_PI / 2);
    EXPECT_NEAR(get(*helo, "AIRSPEED TRUE"), 20 * 1852.0 / 3600.0, 1e-9);
    EXPECT_TRUE(helo->ai_controlled);
    ASSERT_EQ(SimConnect_AIReleaseControl(h, id, 1), S_OK);
    EXPECT_FALSE(helo->ai_controlled);

    const uint32_t ship = server.add_object(ObjectKind::Boat, "CVN-70", 0, 0, 0, 0);
    take();
    EXPECT_EQ(SimConnect_AIRemoveObject(h, ship, 1), E_FAIL);  // not the client's object
    ASSERT_EQ(SimConnect_AIRemoveObject(h, id, 1), S_OK);
    EXPECT_EQ(world.find(id), nullptr);
    EXPECT_EQ(SimConnect_AIRemoveObject(h, id, 1), E_FAIL);
    messages = take();
    ASSERT_EQ(messages.size(), 1u);
    const auto removed = messages[0].as<SIMCONNECT_RECV_EVENT_OBJECT_ADDREMOVE>();
    EXPECT_EQ(removed.uEventID, 5u);
    EXPECT_EQ(removed.dwData, id);
}

TEST_F(SimConnectServerTest, FaultInjectionOnceCountedAndForever)
{
    EXPECT_FALSE(server.fail_call("SimConnect_Opne", 1));
    ASSERT_TRUE(server.fail_call("SimConnect_Open", 1));
    EXPECT_EQ(SimConnect_Open(&h, "Carrier ZEB Gauge", nullptr, 0, nullptr, 0), E_FAIL);
    EXPECT_FALSE(server.is_open());
    connect();

    world.add_known_title("FLOLS");
    const SIMCONNECT_DATA_INITPOSITION position{};
    ASSERT_TRUE(server.fail_call("SimConnect_AICreateSimulatedObject", 2));
    EXPECT_EQ(SimConnect_AICreateSimulatedObject(h, "FLOLS", position, 0), E_FAIL);
    EXPECT_EQ(SimConnect_AICreateSimulatedObject(h, "FLOLS", position, 0), E_FAIL);
    EXPECT_TRUE(take().empty());  // a failed call has no effect
    ASSERT_EQ(SimConnect_AICreateSimulatedObject(h, "FLOLS", position, 0), S_OK);
    const DWORD id = take().at(0).as<SIMCONNECT_RECV_ASSIGNED_OBJECT_ID>().dwObjectID;

    const HRESULT custom = static_cast<HRESULT>(0x80070057u);
    ASSERT_TRUE(server.fail_call("SimConnect_AIRemoveObject", -1, custom));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(SimConnect_AIRemoveObject(h, id, 0), custom);
    EXPECT_NE(world.find(id), nullptr);
    const auto last = timeline.of_kind("simconnect").back()->data;
    EXPECT_EQ(last["call"], "SimConnect_AIRemoveObject");
    EXPECT_EQ(last["result"], custom);
    EXPECT_EQ(last["error"], "injected fault");
    ASSERT_TRUE(server.fail_call("SimConnect_AIRemoveObject", 0));
    EXPECT_EQ(SimConnect_AIRemoveObject(h, id, 0), S_OK);
}

TEST_F(SimConnectServerTest, SetDataWritesVelocitiesAndFuelLevels)
{
    connect();
    add(3, "VELOCITY BODY Z", "Meters per second");
    add(4, "VELOCITY BODY X", "knots");
    add(5, "VELOCITY BODY Z", "Meters per second");
    const char* tanks[] = {"FUEL TANK LEFT MAIN LEVEL",  "FUEL TANK RIGHT MAIN LEVEL", "FUEL TANK LEFT AUX LEVEL",
                           "FUEL TANK RIGHT AUX LEVEL",  "FUEL TANK CENTER LEVEL",     "FUEL TANK CENTER2 LEVEL",
                           "FUEL TANK CENTER3 LEVEL",    "FUEL TANK LEFT TIP LEVEL",   "FUEL TANK RIGHT TIP LEVEL",
                           "FUEL TANK EXTERNAL1 LEVEL",  "FUEL TANK EXTERNAL2 LEVEL"};
    for (const char* tank : tanks) add(6, tank, "Percent");

    double speed = 42.5;
    ASSERT_EQ(SimConnect_SetDataOnSimObject(h, 3, 0, 0, 0, sizeof speed, &speed), S_OK);
    EXPECT_DOUBLE_EQ(get(world.user(), "VELOCITY BODY Z"), 42.5);
    EXPECT_DOUBLE_EQ(get(world.user(), "AIRSPEED TRUE"), 0.0);  // only AI objects move by airspeed
    double knots = 10.0;
    ASSERT_EQ(SimConnect_SetDataOnSimObject(h, 4, 0, 0, 0, sizeof knots, &knots), S_OK);
    EXPECT_NEAR(get(world.user(), "VELOCITY BODY X"), 10.0 * 1852.0 / 3600.0, 1e-12);

    double levels[11];
    for (int i = 0; i < 11; ++i) levels[i] = 9.0 * i;
    ASSERT_EQ(SimConnect_SetDataOnSimObject(h, 6, 0, 0, 0, sizeof levels, levels), S_OK);
    for (int i = 0; i < 11; ++i) EXPECT_DOUBLE_EQ(get(world.user(), tanks[i]), 9.0 * i) << tanks[i];
    levels[10] = 100.0;  // the same record as eleven units of one double
    ASSERT_EQ(SimConnect_SetDataOnSimObject(h, 6, 0, 0, 11, sizeof(double), levels), S_OK);
    EXPECT_DOUBLE_EQ(get(world.user(), tanks[10]), 100.0);

    const uint32_t helo = server.add_object(ObjectKind::Helicopter, "Helo", 0, 0, 0, 0);
    double helo_speed = 15.0;
    ASSERT_EQ(SimConnect_SetDataOnSimObject(h, 5, helo, 0, 0, sizeof helo_speed, &helo_speed), S_OK);
    EXPECT_DOUBLE_EQ(get(*world.find(helo), "VELOCITY BODY Z"), 15.0);
    EXPECT_DOUBLE_EQ(get(*world.find(helo), "AIRSPEED TRUE"), 15.0);
    EXPECT_EQ(take().size(), 0u);  // no exception anywhere
}

TEST_F(SimConnectServerTest, CallsTextsAndDeliveryCapAreRecorded)
{
    connect();
    char message[] = "TACAN tuned on CVN-70 -Lock on-";
    ASSERT_EQ(SimConnect_Text(h, SIMCONNECT_TEXT_TYPE_PRINT_YELLOW, 5.0f, 0, sizeof message, message), S_OK);
    ASSERT_EQ(server.texts().size(), 1u);
    EXPECT_EQ(server.texts()[0].text, message);
    const auto text = timeline.of_kind("text").back()->data;
    EXPECT_EQ(text["color"], "yellow");
    EXPECT_EQ(text["seconds"], 5.0);
    const auto call = timeline.of_kind("simconnect").back()->data;
    EXPECT_EQ(call["call"], "SimConnect_Text");
    EXPECT_EQ(call["args"]["text"], message);
    EXPECT_EQ(call["result"], S_OK);

    // A client that answers every message with a new request is cut off.
    add(1, "TITLE", "", SIMCONNECT_DATATYPE_STRING256);
    on_message = [&](const SIMCONNECT_RECV&) {
        SimConnect_RequestDataOnSimObjectType(h, 1, 1, 1, SIMCONNECT_SIMOBJECT_TYPE_BOAT);
    };
    ASSERT_EQ(SimConnect_RequestDataOnSimObjectType(h, 1, 1, 1, SIMCONNECT_SIMOBJECT_TYPE_BOAT), S_OK);
    EXPECT_EQ(server.deliver(), SimConnectServer::MAX_MESSAGES_PER_DELIVERY);
    EXPECT_EQ(server.pending_messages(), 1u);
    EXPECT_EQ(timeline.of_kind("simconnect_error").size(), 1u);
    on_message = nullptr;
}

}  // namespace
