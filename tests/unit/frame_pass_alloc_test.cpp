// The per-frame user-data pass (record copy, the three geometry operations)
// allocates nothing, run with the bench's own host services.
#include <gtest/gtest.h>

#include "allocation_counter.h"
#include "host/host.h"
#include "module/host_services.h"
#include "sim/dispatch.h"
#include "state/module_state.h"

TEST(FramePass, TheUserDataPassAllocatesNothing)
{
    host::Host host{host::HostOptions{}};
    host.install_services(&ImportTable);
    host::World::set(host.world().user(), *host::find_sim_var("MAGVAR"), -0.18);
    moduleState = get_or_create_module_state();
    if (!moduleState->carrier) create_state_records(moduleState);
    CarrierEntry saved = *moduleState->carrier;
    CarrierEntry& c = *moduleState->carrier;
    c.CarrierType = CARRIER_TYPE_SHIP;
    c.valid = 1;
    c.GS_Angle = 3.5;
    c.RunwayAngle = 9.0;
    c.ILS_Zcoord = -90;
    c.TCN_Xcoord = 20;
    c.deckLatitude = 0.6422, c.deckLongitude = 1.3155, c.deckHeading = 1.5708;
    carrierFound = 1;
    carrierDataReceived = 1;
    lockMessagePending = 0;

    alignas(8) unsigned char message[40 + sizeof(UserAircraftData)] = {};
    auto* header = reinterpret_cast<SIMCONNECT_RECV_SIMOBJECT_DATA*>(message);
    header->dwSize = sizeof message;
    header->dwID = SIMCONNECT_RECV_ID_SIMOBJECT_DATA;
    header->dwRequestID = 0;
    header->dwentrynumber = header->dwoutof = 1;
    auto* user = reinterpret_cast<UserAircraftData*>(message + 40);
    user->planeAltitude = 0.4;
    user->planeLongitude = -1.3190;

    // First pass compiles the two expressions in the host's calculator.
    user->planeLatitude = 0.6410;
    dispatch_procedure(reinterpret_cast<SIMCONNECT_RECV*>(message), sizeof message, nullptr);
    ASSERT_EQ(approachSolution.tcnValid, 1);

    const long before = allocations_so_far();
    for (int i = 0; i < 1000; ++i) {
        user->planeLatitude = 0.6410 + i * 1e-6;
        dispatch_procedure(reinterpret_cast<SIMCONNECT_RECV*>(message), sizeof message, nullptr);
    }
    EXPECT_EQ(allocations_so_far() - before, 0);
    EXPECT_EQ(approachSolution.tcnValid, 1);
    EXPECT_GT(approachSolution.tcnSlantRange, 0.0);

    carrierFound = 0;
    carrierDataReceived = 0;
    *moduleState->carrier = saved;
    approachSolution = ApproachSolution{};
}
