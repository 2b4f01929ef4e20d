// The bench's frame loop in the steady state: with the carrier tuned, the
// host and the module allocate nothing per frame, and the timeline streams.
#include "host/build_paths.h"
#include <cstdio>

#include "scenario_fixture.h"
#include "tests/unit/allocation_counter.h"

using scenario_test::source_path;

TEST(FrameLoop, ATunedRunAllocatesNothingPerFrame)
{
    std::string error;
    auto scenario = host::load_scenario(source_path("benchmarks/scenarios/soak_60s.xml"), &error);
    ASSERT_TRUE(scenario) << error;
    host::HostOptions options = host::host_options_for(*scenario, CARRIER_MODULE_PATH);
    options.private_copy = true;
    options.echo_stderr = false;
    host::Host host(options);
    ASSERT_TRUE(host.timeline().open_file("/dev/null", &error)) << error;

    // From 20 s (tuned at 2 s, the helicopter placed, the picture published
    // every frame) to 50 s.
    long at_20 = -1, at_50 = -1;
    int64_t frame_20 = 0, frame_50 = 0;
    uint64_t named_20 = 0, named_50 = 0;
    const auto result = host::run_scenario(*scenario, host, [&](double t) {
        if (at_20 < 0 && t >= 20.0) {
            at_20 = allocations_so_far();
            frame_20 = host.frame();
            named_20 = host.timeline().count("named");
        }
        if (at_50 < 0 && t >= 50.0) {
            at_50 = allocations_so_far();
            frame_50 = host.frame();
            named_50 = host.timeline().count("named");
        }
    });
    ASSERT_TRUE(result.ok) << result.error;
    ASSERT_GE(at_20, 0);
    ASSERT_GE(at_50, 0);
    const int64_t frames = frame_50 - frame_20;
    ASSERT_EQ(frames, 1800);
    // The window is busy: named variables change every frame.
    EXPECT_GT(named_50 - named_20, static_cast<uint64_t>(frames));
    EXPECT_EQ(host.timeline().count("text"), 2u) << "the start text and the lock-on text";
    std::printf("allocations over %lld steady frames: %ld (%.3f per frame)\n", static_cast<long long>(frames),
                at_50 - at_20, static_cast<double>(at_50 - at_20) / static_cast<double>(frames));
    EXPECT_EQ(at_50 - at_20, 0);
}
