// The module's SimConnect connection, inputs and command events, on the real
// module library in the emulated host.
#include "scenario_fixture.h"

using namespace scenario_test;

namespace {

// "Call arg=value ..." for the arguments that identify a declaration.
std::string describe(const host::TimelineEvent& e)
{
    const auto& a = e.data["args"];
    std::string s = e.data["call"].get<std::string>();
    for (const char* key : {"event", "name", "group", "definition", "down_event", "down_value", "up_event",
                            "maskable", "state", "define", "datum", "unit", "type", "request", "object", "period",
                            "radius"}) {
        if (a.contains(key)) s += std::string(" ") + key + "=" + a[key].dump();
    }
    return s;
}

const char* const BOAT_WORLD = R"(
<world>
  <boat title="Carrier Nimitz CVN-68" latitude="36.80" longitude="-75.40" heading="90" speed="20"/>
</world>)";

}  // namespace

TEST(Connection, DeclaresEverythingInOrderOnTheOpenMessageAndStartsTheRequestsOnSimStart)
{
    TempRoot root;
    PathRun run(root.scenario(std::string(BOAT_WORLD) + R"(
<run rate="10" end="1">
  <event time="0.5"><boat title="Carrier Kitty Hawk CV-63" latitude="36.5" longitude="-75.2"/></event>
</run>)"));
    ASSERT_TRUE(run.result.ok) << run.error << run.result.error;
    const auto& events = run.timeline().events();

    // Calls made while the open message is handled: from the open dispatch to SimStart.
    const long open = find_event(run.timeline(), "dispatch", "id", 2);
    const long sim_start = find_event(run.timeline(), "system_event", "name", "SimStart");
    ASSERT_GE(open, 0);
    ASSERT_GT(sim_start, open);
    std::vector<std::string> declared;
    for (long i = open; i < sim_start; ++i)
        if (events[i].kind == "simconnect") declared.push_back(describe(events[i]));

    std::vector<std::string> expected = {
        R"(SimConnect_SubscribeToSystemEvent event=0 name="SimStart")",
        R"(SimConnect_SubscribeToSystemEvent event=4 name="ObjectAdded")",
        R"(SimConnect_SubscribeToSystemEvent event=5 name="ObjectRemoved")",
        R"(SimConnect_MapClientEventToSimEvent event=1 name="")",
        R"(SimConnect_MapClientEventToSimEvent event=2 name="")",
        R"(SimConnect_MapClientEventToSimEvent event=3 name="")",
        R"(SimConnect_MapInputEventToClientEvent group=0 definition="Shift+T" down_event=1 down_value=0 up_event=4294967295 maskable=false)",
        R"(SimConnect_MapInputEventToClientEvent group=0 definition="Shift+R" down_event=2 down_value=0 up_event=4294967295 maskable=false)",
        R"(SimConnect_MapInputEventToClientEvent group=0 definition="joystick:0:button:3" down_event=3 down_value=0 up_event=4294967295 maskable=false)",
        R"(SimConnect_SetInputGroupState group=0 state=0)",
        R"(SimConnect_AddClientEventToNotificationGroup event=1 group=0 maskable=false)",
        R"(SimConnect_AddClientEventToNotificationGroup event=2 group=0 maskable=false)",
        R"(SimConnect_AddClientEventToNotificationGroup event=3 group=0 maskable=false)",
    };
    struct Datum {
        int define;
        const char* name;
        const char* unit;  // null: none
        int type;
    };
    const Datum datums[] = {
        {0, "Plane Altitude", "nmiles", 4}, {0, "Plane Latitude", "radians", 4}, {0, "Plane Longitude", "radians", 4},
        {0, "PLANE HEADING DEGREES TRUE", "radians", 4}, {0, "BRAKE INDICATOR", "percent", 4},
        {0, "ENG1 N1 RPM", "percent", 4}, {0, "GENERAL ENG1 THROTTLE LEVER POSITION", "percent", 4},
        {0, "AMBIENT WIND Z", "knots", 4}, {0, "GROUND VELOCITY", "meters per second", 4},
        {0, "SIM ON GROUND", "number", 1}, {0, "CABLE CAUGHT BY TAILHOOK", "number", 1},
        {0, "TAILHOOK POSITION", "percent", 4},
        {2, "TITLE", nullptr, 9}, {2, "Plane Altitude", "nmiles", 4}, {2, "Plane Latitude", "radians", 4},
        {2, "Plane Longitude", "radians", 4}, {2, "PLANE HEADING DEGREES TRUE", "radians", 4},
        {2, "AIRSPEED TRUE", "meters per second", 4}, {2, "ROTATION VELOCITY BODY Y", "meters per second", 4},
        {2, "BLAST SHIELD POSITION:1", "percent", 4}, {2, "BLAST SHIELD POSITION:2", "percent", 4},
        {2, "BLAST SHIELD POSITION:3", "percent", 4}, {2, "BLAST SHIELD POSITION:4", "percent", 4},
        {1, "TITLE", nullptr, 9}, {1, "Plane Latitude", "radians", 4}, {1, "Plane Longitude", "radians", 4},
        {3, "VELOCITY BODY Z", "Meters per second", 4}, {4, "VELOCITY BODY X", "Meters per second", 4},
        {5, "VELOCITY BODY Z", "Meters per second", 4},
    };
    for (const Datum& d : datums)
        expected.push_back("SimConnect_AddToDataDefinition define=" + std::to_string(d.define) + " datum=\"" + d.name +
                           "\" unit=" + (d.unit ? "\"" + std::string(d.unit) + "\"" : "null") +
                           " type=" + std::to_string(d.type));
    for (const char* tank : {"LEFT MAIN", "RIGHT MAIN", "LEFT AUX", "RIGHT AUX", "CENTER", "CENTER2", "CENTER3",
                             "LEFT TIP", "RIGHT TIP", "EXTERNAL1", "EXTERNAL2"})
        expected.push_back(std::string("SimConnect_AddToDataDefinition define=6 datum=\"FUEL TANK ") + tank +
                           " LEVEL\" unit=\"Percent\" type=4");
    EXPECT_EQ(declared, expected);

    // SimStart: user data every frame, ship data for object 0, the boat list, inputs on.
    std::vector<std::string> started;
    for (size_t i = sim_start; i < events.size() && started.size() < 4; ++i)
        if (events[i].kind == "simconnect") started.push_back(describe(events[i]));
    const std::vector<std::string> expected_start = {
        "SimConnect_RequestDataOnSimObject define=0 request=0 object=0 period=3",
        "SimConnect_RequestDataOnSimObject define=2 request=2 object=0 period=3",
        "SimConnect_RequestDataOnSimObjectType define=1 type=4 request=1 radius=200000",
        "SimConnect_SetInputGroupState group=0 state=1",
    };
    EXPECT_EQ(started, expected_start);

    // The boat added at 0.5 s renews the boat-list request.
    const auto boat_requests = calls(run.timeline(), "SimConnect_RequestDataOnSimObjectType");
    ASSERT_EQ(boat_requests.size(), 2u);
    EXPECT_GE(boat_requests[1]->t, 0.5);
}

TEST(Connection, OneCharacterInputsAreNotBoundAndAFailedOpenLeavesTheModuleRunning)
{
    TempRoot root;
    root.patch("ZEB_Parameters.xml", "ToggleInput=\"Shift+T\"", "ToggleInput=\"T\"");
    root.patch("ZEB_Parameters.xml", "RefuelInput=\"Shift+R\"", "RefuelInput=\"\"");
    {
        PathRun run(root.scenario(R"(<run rate="10" end="0.5"/>)"));
        ASSERT_TRUE(run.result.ok) << run.error << run.result.error;
        const auto bound = calls(run.timeline(), "SimConnect_MapInputEventToClientEvent");
        ASSERT_EQ(bound.size(), 1u);
        EXPECT_EQ(bound[0]->data["args"]["definition"], "joystick:0:button:3");
    }
    {
        // No simulator answers: no dispatch procedure, nothing but the panel works.
        const std::string path = root.scenario(R"(<world><fail call="SimConnect_Open" count="1"/></world>
<panel><gauge name="Tacan_Navigation"/></panel><run rate="10" end="1"/>)");
        PathRun run(path);
        ASSERT_TRUE(run.result.ok) << run.error << run.result.error;
        EXPECT_TRUE(calls(run.timeline(), "SimConnect_CallDispatch").empty());
        EXPECT_EQ(calls(run.timeline(), "SimConnect_Open").size(), 1u);
        EXPECT_GE(find_event(run.timeline(), "lvar", "name", "LSO_is_Off_VC"), 0);
        EXPECT_TRUE(run.host->has_named_variable("TCN Valid"));
    }
}

TEST(DeckCommands, KeyboardInputsActOnAnyValueButtonInputsOnlyWhenPressed)
{
    TempRoot root;
    // Refuel on a joystick button; toggle stays on the keyboard.
    root.patch("ZEB_Parameters.xml", "RefuelInput=\"Shift+R\"", "RefuelInput=\"joystick:1:button:2\"");
    PathRun run(root.scenario(R"(
<world>
  <set var="SIM ON GROUND" unit="bool" value="1"/>
  <set var="BRAKE PARKING INDICATOR" unit="bool" value="1"/>
</world>
<run rate="10" end="3">
  <event time="0.1"><input definition="Shift+T" value="1"/></event>
  <event time="0.5"><input definition="Shift+T" value="0"/></event>
  <event time="1.0"><input definition="joystick:1:button:2" value="0"/></event>
  <event time="1.5"><input definition="joystick:1:button:2" value="1"/></event>
  <event time="2.0"><set var="BRAKE PARKING INDICATOR" unit="bool" value="0"/>
                    <input definition="joystick:1:button:2" value="1"/></event>
</run>)"));
    ASSERT_TRUE(run.result.ok) << run.error << run.result.error;

    // Before SimStart the inputs are off: the press at 0.1 s (frame 1) does nothing.
    std::vector<std::pair<double, std::string>> texts;
    for (const auto* e : run.timeline().of_kind("text")) texts.emplace_back(e->t, e->data["text"].get<std::string>());
    std::vector<std::string> shown;
    for (const auto& [t, text] : texts) shown.push_back(text);
    const std::vector<std::string> expected = {"Animation is toggled!", "Refuelling is done!",
                                               "Refuelling can't be done!"};
    EXPECT_EQ(shown, expected);

    // The toggle flipped the animation switch; the refuel wrote 99.9 % to eleven tanks.
    const long toggled = find_event(run.timeline(), "lvar", "name", "ZEB_Command1");
    ASSERT_GE(toggled, 0);
    EXPECT_EQ(run.timeline().events()[toggled].data["value"], 1.0);
    const auto writes = calls(run.timeline(), "SimConnect_SetDataOnSimObject");
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0]->data["args"]["define"], 6);
    EXPECT_EQ(writes[0]->data["args"]["unit_size"], 88);
    ASSERT_EQ(writes[0]->data["args"]["values"].size(), 11u);
    for (const auto& v : writes[0]->data["args"]["values"]) EXPECT_DOUBLE_EQ(v.get<double>(), 99.9);
}

TEST(CommandEvents, OnlyTheModulesSevenIdsActAndTheCatapultCommandWritesBothBodyVelocities)
{
    TempRoot root;
    PathRun run(root.scenario(R"(
<run rate="10" end="1">
  <event time="0.3"><key event="0x11100"/><key event="0x11108"/></event>
  <event time="0.6"><key event="0x11103"/></event>
</run>)"));
    ASSERT_TRUE(run.result.ok) << run.error << run.result.error;
    const auto writes = calls(run.timeline(), "SimConnect_SetDataOnSimObject");
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_GE(writes[0]->t, 0.5);  // nothing from the two neighbouring ids
    EXPECT_EQ(writes[0]->data["args"]["define"], 3);
    EXPECT_EQ(writes[1]->data["args"]["define"], 4);
    for (const auto* w : writes) {
        EXPECT_EQ(w->data["args"]["object"], 0);
        EXPECT_EQ(w->data["args"]["unit_size"], 8);
        EXPECT_EQ(w->data["args"]["values"][0], 0.0);  // no launch runs: both speeds are 0
    }
    // The neighbouring ids caused nothing: each key event is followed directly
    // by the next action or frame, not by anything the module did.
    const auto& events = run.timeline().events();
    const long below = find_event(run.timeline(), "key", "id", "0x11100");
    ASSERT_GE(below, 0);
    ASSERT_LT(below + 2, static_cast<long>(events.size()));
    EXPECT_EQ(events[below + 1].kind, "scenario");
    EXPECT_EQ(events[below + 2].kind, "key");
    EXPECT_EQ(events[below + 2].data["id"], "0x11108");
    for (long i = below + 3; i < static_cast<long>(events.size()) && events[i].t < 0.35; ++i)
        EXPECT_TRUE(events[i].kind == "gauge_service" || events[i].kind == "named" || events[i].kind == "dispatch")
            << events[i].kind;
}
