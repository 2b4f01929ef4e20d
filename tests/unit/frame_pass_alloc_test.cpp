// The per-frame user-data pass (record copy, the three geometry operations)
// allocates nothing, run with the bench's own host services.
#include <gtest/gtest.h>

#include "allocation_counter.h"
#include "tests/frame_pass_fixture.h"

TEST(FramePass, TheUserDataPassAllocatesNothing)
{
    FramePassFixture fixture;
    fixture.pass();  // the first pass compiles the two expressions in the host's calculator
    ASSERT_EQ(approachSolution.tcnValid, 1);

    const long before = allocations_so_far();
    for (int i = 0; i < 1000; ++i) {
        fixture.record()->planeLatitude = 0.6410 + i * 1e-6;
        fixture.pass();
    }
    EXPECT_EQ(allocations_so_far() - before, 0);
    EXPECT_EQ(approachSolution.tcnValid, 1);
    EXPECT_GT(approachSolution.tcnSlantRange, 0.0);
}
