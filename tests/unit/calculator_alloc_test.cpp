// Shows that evaluating a cached calculator expression allocates nothing, by
// counting every call of the global operator new while cached expressions run.
//
// The replacement operators below are defined weak: they count and forward to
// malloc/free, serve every test of this executable harmlessly, and give way to
// another test file's replacement if one is linked in (the test then notices
// that its counter does not move and skips itself).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "host/calculator.h"
#include "host/sim_vars.h"

namespace {
std::atomic<long> allocationCount{0};

void* counted_allocation(std::size_t size) noexcept
{
    allocationCount.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(size == 0 ? 1 : size);
}
}  // namespace

// clang-format off
__attribute__((weak)) void* operator new(std::size_t size)
{
    if (void* p = counted_allocation(size)) return p;
    throw std::bad_alloc();
}
__attribute__((weak)) void* operator new[](std::size_t size)
{
    if (void* p = counted_allocation(size)) return p;
    throw std::bad_alloc();
}
__attribute__((weak)) void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return counted_allocation(size); }
__attribute__((weak)) void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return counted_allocation(size); }
__attribute__((weak)) void operator delete(void* p) noexcept { std::free(p); }
__attribute__((weak)) void operator delete[](void* p) noexcept { std::free(p); }
__attribute__((weak)) void operator delete(void* p, std::size_t) noexcept { std::free(p); }
__attribute__((weak)) void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
__attribute__((weak)) void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
__attribute__((weak)) void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
// clang-format on

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

long allocations() { return allocationCount.load(std::memory_order_relaxed); }

TEST(CalculatorAllocation, CachedEvaluationAllocatesNothing)
{
    {
        const long before = allocations();
        void* volatile probe = ::operator new(16);
        ::operator delete(probe);
        if (allocations() == before) GTEST_SKIP() << "another operator new replacement is linked in";
    }

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

    const long before = allocations();
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
    const long allocated = allocations() - before;

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
