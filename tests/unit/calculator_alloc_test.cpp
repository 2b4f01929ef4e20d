// Shows that evaluating a cached calculator expression allocates nothing,
// with the counting operator new of allocation_counter.cpp.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "allocation_counter.h"
#include "host/panel/calculator.h"
#include "host/world/sim_vars.h"

namespace {

// A host that answers from fixed arrays and only counts what it is told.
struct QuietHost : host::CalculatorHost {
    std::vector<double> values;
    double timeSeconds = 43200.0;
    long stores = 0, keys = 0, errors = 0;

    QuietHost()
    {
        for (const host::SimVarInfo& var : host::all_sim_vars()) values.push_back(var.default_value);
    }
    double read_sim_var(int index) override { return values[static_cast<size_t>(index)]; }
    double local_time_seconds() override { return timeSeconds += 0.05; }
    void panel_variable_stored(int, double) override { ++stores; }
    void raise_key_event(uint32_t, uint32_t) override { ++keys; }
    void calculator_error(std::string_view, std::string_view) override { ++errors; }
};

// Expressions of every kind: reads with conversions, stores, key events,
// blocks, the environment value, and a bad one.
const char* const EXPRESSIONS[] = {
    "(A:TOTAL WEIGHT,kilogram) (A:MAX GROSS WEIGHT, kilogram) / sqrt (A:DESIGN SPEED VS0, knots) * 1.5 *",
    "(A:GEAR RIGHT POSITION, percent) 99 > (A:IS GEAR RETRACTABLE,bool) ! ||",
    "(A:LAUNCHBAR POSITION, percent) 50 > if{ 1 } els{ 0 }",
    "(A:NAV RELATIVE BEARING TO STATION:1, degrees) dnor ",
    "(A:Nav1 Active Frequency, MHz)",
    "(A:NAV DME:1, nmiles)",
    "(L:LSO_is_Off_VC, bool) ! (>L:LSO_is_Off_VC, bool)",
    "1 (>L:PowerLight, bool) (P:local time, seconds) (>L:Power_Timer,seconds)",
    "(P:local time, seconds) (L:Power_Timer,seconds) - ",
    "0 (>L:ReadyCatapult, bool) 0 (>L:G_Catapult, bool) 0 (>L:Catapult_State,enum)",
    "1 (>K:FREEZE_ATTITUDE_SET)",
    "(A:NO SUCH VARIABLE, bool)",
};

TEST(CalculatorAllocation, CachedEvaluationAllocatesNothing)
{
    QuietHost host;
    host::PanelVariables panel;
    host::Calculator calc(host, panel);
    // Copies at other addresses take the hashed lookup instead of the
    // address fast path; both must be allocation-free.
    std::vector<std::string> copies(std::begin(EXPRESSIONS), std::end(EXPRESSIONS));
    double f = 0;
    int32_t i = 0;
    const char* s = nullptr;
    for (const char* code : EXPRESSIONS) calc.execute(code, &f, &i, &s);  // compile
    const size_t cached = calc.cached_expressions();

    const long before = allocations_so_far();
    constexpr int ROUNDS = 2000;
    const auto start = std::chrono::steady_clock::now();
    for (int round = 0; round < ROUNDS; ++round) {
        for (const char* code : EXPRESSIONS) calc.execute(code, &f, &i, &s);
    }
    const auto middle = std::chrono::steady_clock::now();
    for (int round = 0; round < ROUNDS; ++round) {
        for (const std::string& code : copies) calc.execute(code.c_str(), &f, &i, &s);
    }
    const auto end = std::chrono::steady_clock::now();
    const long allocated = allocations_so_far() - before;

    EXPECT_EQ(allocated, 0);
    EXPECT_EQ(calc.cached_expressions(), cached);
    EXPECT_EQ(host.errors, 2L * ROUNDS + 1);
    EXPECT_GT(host.stores, 0);
    EXPECT_GT(host.keys, 0);

    const double evaluations = double(ROUNDS) * std::size(EXPRESSIONS);
    const auto ns = [&](auto a, auto b) {
        return std::chrono::duration<double, std::nano>(b - a).count() / evaluations;
    };
    std::printf("cached evaluation: %.0f ns (same address), %.0f ns (other address)\n", ns(start, middle),
                ns(middle, end));
}

}  // namespace
