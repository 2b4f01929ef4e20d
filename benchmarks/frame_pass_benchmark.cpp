// The per-frame user-data pass (record copy, the three geometry operations
// and the light logic) with the bench's own host services, against a floor:
// the same number of libm calls of the same kinds that one pass makes.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "tests/frame_pass_fixture.h"

namespace {

void BM_UserDataPass(benchmark::State& state)
{
    FramePassFixture fixture;
    UserAircraftData* user = fixture.record();
    double step = 0.0;
    for (auto _ : state) {
        user->planeLatitude = 0.6410 + step;  // the aircraft closes in a little every pass
        step = step < 1e-3 ? step + 1e-7 : 0.0;
        fixture.pass();
        benchmark::DoNotOptimize(approachSolution);
    }
    state.counters["tcn_valid"] = approachSolution.tcnValid;
}
BENCHMARK(BM_UserDataPass);

// One pass calls, in all: sin 25, cos 35, atan2 9, asin 4, acos 2, sqrt 4 and
// tan 1 (80 calls: two deck points placed by course and distance, two initial
// courses, two great-circle distances, two slant ranges, the glide-slope angle,
// two signed folds and the aim-point shift), and pow 1 (the meatball).
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
        acc += std::pow(x[71], 1.0 + x[72]);
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

}  // namespace

BENCHMARK_MAIN();
