// The per-frame user-data pass (record copy, the three geometry operations
// and the light logic) with the bench's own host services, against a floor: the libm
// calls that the compiled pass makes, with the arguments a real approach gave
// them (benchmarks/floor/README.md).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <string>

#include "benchmarks/floor/approach_libm_args.h"
#include "tests/frame_pass_fixture.h"

namespace {

// The aircraft on the approach to the fixture's ship (steaming east, deck
// angled 9 degrees to port): from 8 nm out to 0.3 nm on the 3.5 degree slope,
// a new point every pass. The carrier record keeps west-positive longitudes.
void place_on_approach(UserAircraftData* user, const CarrierEntry& deck, int step)
{
    constexpr int POINTS = 256;
    constexpr double NM = 1852.0, RADIUS = 6371000.0;
    const double d_nm = 8.0 - 7.7 * static_cast<double>(step % POINTS) / (POINTS - 1);
    const double course = deck.deckHeading - 9.0 * M_PI / 180.0;  // the landing line, flown inbound
    const double d = d_nm * NM / RADIUS;
    user->planeLatitude = deck.deckLatitude - d * std::cos(course);
    user->planeLongitude = -deck.deckLongitude - d * std::sin(course) / std::cos(deck.deckLatitude);
    user->planeAltitude = d_nm * std::tan(3.5 * M_PI / 180.0);  // nm
    user->planeHeadingTrue = course;
}

void BM_UserDataPass(benchmark::State& state)
{
    FramePassFixture fixture;
    UserAircraftData* user = fixture.record();
    int step = 0;
    for (auto _ : state) {
        place_on_approach(user, *moduleState->carrier, step++);
        fixture.pass();
        benchmark::DoNotOptimize(approachSolution);
    }
    state.counters["tcn_valid"] = approachSolution.tcnValid;
}
BENCHMARK(BM_UserDataPass);

// The compiled pass calls, in all: sincos 19, cos 10, atan2 9, asin 4, sin 2,
// acos 2, tan 1, and the meatball's pow 1 (48 calls; the compiler makes one sincos of a sine and a cosine
// of one angle; square roots are instructions). The floor makes the same calls
// with the arguments of 64 passes of a real approach, a pass's worth per round.
void BM_LibmFloor(benchmark::State& state)
{
    int k = 0;
    double sink = 0.0;
    for (auto _ : state) {
        double acc = 0.0;
        for (int i = 0; i < FLOOR_SINCOS_CALLS; ++i) {
            double s, c;
            sincos(floor_sincos_args[k][i], &s, &c);
            acc += s + c;
        }
        for (int i = 0; i < FLOOR_COS_CALLS; ++i) acc += std::cos(floor_cos_args[k][i]);
        for (int i = 0; i < FLOOR_ATAN2_CALLS; ++i) acc += std::atan2(floor_atan2_args[k][i][0], floor_atan2_args[k][i][1]);
        for (int i = 0; i < FLOOR_ASIN_CALLS; ++i) acc += std::asin(floor_asin_args[k][i]);
        for (int i = 0; i < FLOOR_SIN_CALLS; ++i) acc += std::sin(floor_sin_args[k][i]);
        for (int i = 0; i < FLOOR_ACOS_CALLS; ++i) acc += std::acos(floor_acos_args[k][i]);
        for (int i = 0; i < FLOOR_TAN_CALLS; ++i) acc += std::tan(floor_tan_args[k][i]);
        // The meatball's one power of the scaled glide-slope error.
        acc += std::pow(0.05 + 0.9 * (floor_asin_args[k][0] < 0 ? -floor_asin_args[k][0] : floor_asin_args[k][0]), 1.5);
        k = (k + 1) % FLOOR_PASSES;
        sink += acc;
        benchmark::DoNotOptimize(sink);
    }
}
BENCHMARK(BM_LibmFloor);

// The host's two calculator evaluations of a pass, alone.
void BM_PassCalculatorEvaluations(benchmark::State& state)
{
    FramePassFixture fixture;
    double magvar = 0.0, cg = 0.0;
    for (auto _ : state) {
        execute_calculator_code("(A:MAGVAR, radians)", &magvar, nullptr, nullptr);
        execute_calculator_code("(A:STATIC CG TO GROUND, meters)", &cg, nullptr, nullptr);
        benchmark::DoNotOptimize(magvar);
        benchmark::DoNotOptimize(cg);
    }
}
BENCHMARK(BM_PassCalculatorEvaluations);

// Prints the pass's time over the floor's after the table.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) ns_[run.benchmark_name()] = run.GetAdjustedCPUTime();
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        if (ns_.count("BM_UserDataPass") && ns_.count("BM_LibmFloor") && ns_["BM_LibmFloor"] > 0) {
            const double ratio = ns_["BM_UserDataPass"] / ns_["BM_LibmFloor"];
            std::printf("user-data pass over its libm floor (CPU time): %.2f (target <= 1.3: %s)\n", ratio,
                        ratio <= 1.3 ? "met" : "MISSED");
        }
    }

private:
    std::map<std::string, double> ns_;
};

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
