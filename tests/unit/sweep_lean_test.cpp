// What a sweep's lean run leans on: the SimConnect server leaves the
// module's SetDataOnSimObject calls off the timeline but still hands every
// record it takes to the run's watch (the catapult's end speed comes from
// there), and a host uses the module handle the sweep's parent opened.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/build_paths.h"
#include "host/host.h"
#include "host/simconnect/simconnect_server.h"

namespace {

using namespace host;

TEST(SweepLeanRun, QuietDataSetsLeaveTheTimelineButReachTheWatch)
{
    World world;
    Timeline timeline;
    SimConnectServer server{world, timeline};
    server.attach();
    HANDLE h = nullptr;
    ASSERT_EQ(SimConnect_Open(&h, "Carrier ZEB Gauge", nullptr, 0, nullptr, 0), S_OK);
    ASSERT_EQ(SimConnect_AddToDataDefinition(h, 3, "VELOCITY BODY Z", "Meters per second", SIMCONNECT_DATATYPE_FLOAT64,
                                             0.0f, SIMCONNECT_UNUSED),
              S_OK);
    struct Seen {
        DWORD define, object;
        std::vector<double> values;
    };
    std::vector<Seen> seen;
    server.set_data_set_watch(
        [&](DWORD define, DWORD object, const std::vector<double>& values) { seen.push_back({define, object, values}); });
    auto set_calls = [&] {
        size_t n = 0;
        for (const TimelineEvent* e : timeline.of_kind("simconnect")) n += e->data.value("call", "") == "SimConnect_SetDataOnSimObject";
        return n;
    };

    double speed = 42.5;
    ASSERT_EQ(SimConnect_SetDataOnSimObject(h, 3, 0, 0, 0, sizeof speed, &speed), S_OK);
    EXPECT_EQ(set_calls(), 1u);  // recorded as ever while not quiet
    server.set_quiet_data_sets(true);
    speed = 61.0;
    ASSERT_EQ(SimConnect_SetDataOnSimObject(h, 3, 0, 0, 0, sizeof speed, &speed), S_OK);
    EXPECT_EQ(set_calls(), 1u);
    EXPECT_DOUBLE_EQ(World::get(world.user(), *find_sim_var("VELOCITY BODY Z")), 61.0);  // taken all the same
    // A record the server refuses is still on the timeline, and not a command.
    double nan_speed = std::nan("");
    ASSERT_EQ(SimConnect_SetDataOnSimObject(h, 3, 0, 0, 0, sizeof nan_speed, &nan_speed), S_OK);
    EXPECT_EQ(set_calls(), 2u);
    // One taken through the checked path (taken whenever a fault is armed
    // for any call), which records every call.
    ASSERT_TRUE(server.fail_call("SimConnect_Text", 1));
    speed = 70.25;
    ASSERT_EQ(SimConnect_SetDataOnSimObject(h, 3, 0, 0, 0, sizeof speed, &speed), S_OK);
    EXPECT_EQ(set_calls(), 3u);

    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].values, std::vector<double>{42.5});
    EXPECT_EQ(seen[1].define, 3u);
    EXPECT_EQ(seen[1].object, 0u);
    EXPECT_EQ(seen[1].values, std::vector<double>{61.0});
    EXPECT_EQ(seen[2].values, std::vector<double>{70.25});
    SimConnect_Close(h);
    server.detach();
}

TEST(SweepLeanRun, AHostUsesTheModuleHandleItIsGiven)
{
    // A handle of another library: the host looks for the module's records
    // in it (and finds none) instead of opening the module's file itself.
    void* other = dlopen("libm.so.6", RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(other, nullptr);
    HostOptions options;
    options.module_path = CARRIER_MODULE_PATH;
    options.module_handle = other;
    options.echo_stderr = false;
    std::string error;
    {
        Host host(options);
        EXPECT_FALSE(host.load(&error));
        EXPECT_NE(error.find("exports no ImportTable"), std::string::npos) << error;
    }
    dlclose(other);
}

}  // namespace
