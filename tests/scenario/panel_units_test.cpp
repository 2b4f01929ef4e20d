// The host's units together in the bench: the snapshot pictures take each
// gauge's size from its placement, also before the first update.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <utility>

#include "scenario_fixture.h"

namespace {

using namespace scenario_test;

// Width and height from a PNG file's header chunk; (0, 0) when unreadable.
std::pair<uint32_t, uint32_t> png_size(const std::filesystem::path& path)
{
    unsigned char b[24] = {};
    std::ifstream in(path, std::ios::binary);
    if (!in.read(reinterpret_cast<char*>(b), sizeof b)) return {0, 0};
    auto be = [&](int at) { return uint32_t{b[at]} << 24 | uint32_t{b[at + 1]} << 16 | uint32_t{b[at + 2]} << 8 | b[at + 3]; };
    return {be(16), be(20)};
}

TEST(PanelSnapshots, EachPictureHasItsGaugesSizeFromTheFirstUpdateOn)
{
    TempRoot root;
    const std::string out = (root.dir / "out").string();
    PathRun run(root.scenario(R"(<panel><gauge name="Radio_TACAN_ARN52B"/><gauge name="Aircraft_Carrier_Indicator"/><gauge name="Close_Subpanel"/></panel>
<run rate="10" end="1"><event time="0"><snapshot name="first"/></event><event time="0.5"><snapshot name="later"/></event></run>)"),
                [&](host::HostOptions& o) { o.snapshot_dir = out; });
    ASSERT_TRUE(run.result.ok) << run.error << run.result.error;
    const struct {
        const char* gauge;
        uint32_t width, height;  // the first element's bitmap at its position
    } cases[] = {{"Radio_TACAN_ARN52B", 400, 149}, {"Aircraft_Carrier_Indicator", 300, 300}, {"Close_Subpanel", 19, 19}};
    for (const char* stem : {"first", "later"})
        for (const auto& c : cases) {
            const auto size = png_size(std::filesystem::path(out) / (std::string(stem) + "-" + c.gauge + ".png"));
            EXPECT_EQ(size, std::make_pair(c.width, c.height)) << stem << " " << c.gauge;
        }
}

}  // namespace
