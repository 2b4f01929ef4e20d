// The per-frame user-data pass (record copy and the three geometry
// operations) with the bench's own host services, against a floor: the same
// number of libm calls of the same kinds that one pass makes.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "geo/approach.h"
#include "host/host.h"
#include "module/host_services.h"
#include "sim/dispatch.h"
#include "state/module_state.h"

namespace {

// One user-data message as the connection delivers it: 40-byte header, 88-byte record.
struct UserDataMessage {
    alignas(8) unsigned char bytes[40 + sizeof(UserAircraftData)];
    UserAircraftData* record() { return reinterpret_cast<UserAircraftData*>(bytes + 40); }
};

struct PassFixture {
    host::Host host{host::HostOptions{}};
    UserDataMessage message{};

    PassFixture()
    {
        host.install_services(&ImportTable);
        World_set("MAGVAR", -0.18);
        World_set("STATIC CG TO GROUND", 2.0);
        moduleState = get_or_create_module_state();
        if (!moduleState->carrier) create_state_records(moduleState);
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

        auto* header = reinterpret_cast<SIMCONNECT_RECV_SIMOBJECT_DATA*>(message.bytes);
        header->dwSize = sizeof message.bytes;
        header->dwID = SIMCONNECT_RECV_ID_SIMOBJECT_DATA;
        header->dwRequestID = 0;
        header->dwentrynumber = 1;
        header->dwoutof = 1;
        header->dwDefineCount = 12;
        UserAircraftData* user = message.record();
        user->planeAltitude = 0.4;
        user->planeLatitude = 0.6410;
        user->planeLongitude = -1.3190;
        user->planeHeadingTrue = 1.41;
    }

    void World_set(const char* name, double value)
    {
        host::World::set(host.world().user(), *host::find_sim_var(name), value);
    }
};

void BM_UserDataPass(benchmark::State& state)
{
    PassFixture fixture;
    UserAircraftData* user = fixture.message.record();
    double step = 0.0;
    for (auto _ : state) {
        user->planeLatitude = 0.6410 + step;  // the aircraft closes in a little every pass
        step = step < 1e-3 ? step + 1e-7 : 0.0;
        dispatch_procedure(reinterpret_cast<SIMCONNECT_RECV*>(fixture.message.bytes), sizeof fixture.message.bytes,
                           nullptr);
        benchmark::DoNotOptimize(approachSolution);
    }
    state.counters["tcn_valid"] = approachSolution.tcnValid;
}
BENCHMARK(BM_UserDataPass);

// One pass calls, in all: sin 25, cos 35, atan2 9, asin 4, acos 2, sqrt 4 and
// tan 1 (80 calls: two deck points placed by course and distance, two initial
// courses, two great-circle distances, two slant ranges, the glide-slope angle,
// two signed folds and the aim-point shift).
void BM_LibmFloor(benchmark::State& state)
{
    std::vector<double> inputs(256);
    for (size_t i = 0; i < inputs.size(); ++i) inputs[i] = 0.1 + 0.37 * static_cast<double>(i) / 256.0;
    size_t k = 0;
    double sink = 0.0;
    for (auto _ : state) {
        const double* x = &inputs[k];
        k = (k + 80) & 127;
        double acc = 0.0;
        for (int i = 0; i < 25; ++i) acc += std::sin(x[i]);
        for (int i = 0; i < 35; ++i) acc += std::cos(x[i + 25]);
        for (int i = 0; i < 9; ++i) acc += std::atan2(x[i], x[i + 9]);
        for (int i = 0; i < 4; ++i) acc += std::asin(x[i + 40]);
        for (int i = 0; i < 2; ++i) acc += std::acos(x[i + 50]);
        for (int i = 0; i < 4; ++i) acc += std::sqrt(x[i + 60]);
        acc += std::tan(x[70]);
        sink += acc;
        benchmark::DoNotOptimize(sink);
    }
}
BENCHMARK(BM_LibmFloor);

// The host's two calculator evaluations of a pass, alone.
void BM_PassCalculatorEvaluations(benchmark::State& state)
{
    PassFixture fixture;
    double magvar = 0.0, cg = 0.0;
    for (auto _ : state) {
        execute_calculator_code("(A:MAGVAR, radians)", &magvar, nullptr, nullptr);
        execute_calculator_code("(A:STATIC CG TO GROUND, meters)", &cg, nullptr, nullptr);
        benchmark::DoNotOptimize(magvar);
        benchmark::DoNotOptimize(cg);
    }
}
BENCHMARK(BM_PassCalculatorEvaluations);

}  // namespace

BENCHMARK_MAIN();
