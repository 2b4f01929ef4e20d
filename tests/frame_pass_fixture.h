// The per-frame user-data pass set up with the bench's own host services: a
// ship selected and tracked, and one user-data message as the connection
// delivers it (40-byte header, 88-byte record). Shared by the allocation test
// and the benchmark of the pass.
#pragma once

#include "host/host.h"
#include "module/host_services.h"
#include "sim/dispatch.h"
#include "state/module_state.h"

struct FramePassFixture {
    host::Host host{host::HostOptions{}};
    alignas(8) unsigned char message[40 + sizeof(UserAircraftData)] = {};
    CarrierEntry savedCarrier;

    FramePassFixture()
    {
        host.install_services(&ImportTable);
        host::World::set(host.world().user(), *host::find_sim_var("MAGVAR"), -0.18);
        host::World::set(host.world().user(), *host::find_sim_var("STATIC CG TO GROUND"), 2.0);
        moduleState = get_or_create_module_state();
        if (!moduleState->carrier) create_state_records(moduleState);
        savedCarrier = *moduleState->carrier;
        CarrierEntry& c = *moduleState->carrier;
        c.CarrierType = CARRIER_TYPE_SHIP;
        c.valid = 1;
        c.GS_Angle = 3.5;
        c.RunwayAngle = 9.0;
        c.ILS_Xcoord = -6, c.ILS_Ycoord = 19, c.ILS_Zcoord = -90;
        c.TCN_Xcoord = 20, c.TCN_Ycoord = 50, c.TCN_Zcoord = 10;
        c.deckLatitude = 0.6422, c.deckLongitude = 1.3155, c.deckHeading = 1.5708, c.deckAltitude = 0.0;
        carrierFound = 1;
        carrierDataReceived = 1;
        lockMessagePending = 0;

        auto* header = reinterpret_cast<SIMCONNECT_RECV_SIMOBJECT_DATA*>(message);
        header->dwSize = sizeof message;
        header->dwID = SIMCONNECT_RECV_ID_SIMOBJECT_DATA;
        header->dwRequestID = 0;
        header->dwentrynumber = header->dwoutof = 1;
        header->dwDefineCount = 12;
        UserAircraftData* user = record();
        user->planeAltitude = 0.4;
        user->planeLatitude = 0.6410;
        user->planeLongitude = -1.3190;
        user->planeHeadingTrue = 1.41;
    }

    ~FramePassFixture()
    {
        carrierFound = 0;
        carrierDataReceived = 0;
        *moduleState->carrier = savedCarrier;
        approachSolution = ApproachSolution{};
    }

    UserAircraftData* record() { return reinterpret_cast<UserAircraftData*>(message + 40); }

    // One pass: the message handed to the dispatch procedure.
    void pass() { dispatch_procedure(reinterpret_cast<SIMCONNECT_RECV*>(message), sizeof message, nullptr); }
};
