// The deck picture of bundled scenarios on the real module: the recorded
// track puts touchdown, the wire and the stop where the run's own flight
// events say, the pictures are written, and recording a frame allocates
// nothing.
#include "host/build_paths.h"

#include <cmath>

#include "host/record/deck_picture.h"
#include "scenario_fixture.h"
#include "tests/unit/allocation_counter.h"

using scenario_test::source_path;
using scenario_test::TempRoot;

namespace {

struct TrackedRun {
    std::unique_ptr<host::Host> host;
    std::shared_ptr<host::DeckTrack> track = std::make_shared<host::DeckTrack>();
    host::RunResult result;
    std::string error;
    std::string sim_root;

    explicit TrackedRun(const std::string& relative)
    {
        auto scenario = host::load_scenario(source_path(relative), &error);
        if (!scenario) return;
        sim_root = scenario->sim_root;
        host::HostOptions options = host::host_options_for(*scenario, CARRIER_MODULE_PATH);
        options.private_copy = true;
        options.echo_stderr = false;
        host = std::make_unique<host::Host>(options);
        track->reserve(host::last_frame_of(*scenario) + 1);
        host->add_frame_observer(track);
        result = host::run_scenario(*scenario, *host);
    }

    // The first "flight" event that says `what`.
    const nlohmann::json* flight(const char* what) const
    {
        for (const auto& e : host->timeline().events())
            if (e.kind == "flight" && e.data.value("what", "") == what) return &e.data;
        return nullptr;
    }
    // Metres along and right of the landing line of a sample.
    void along(long index, double* s, double* c) const
    {
        const host::TrackSample& p = track->samples().at(static_cast<size_t>(index));
        track->deck().ship_to_line(p.x, p.z, s, c);
    }
};

}  // namespace

TEST(DeckPictureRuns, TheTrackLandsWhereTheFlightEventsSay)
{
    struct Case {
        const char* scenario;
        int wire;         // caught, 0 none
        bool stops;
        bool ashore;
    } cases[] = {
        {"scenarios/default.xml", 3, true, false},
        {"scenarios/bolter.xml", 0, false, false},
        {"scenarios/fixed_site.xml", 0, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.scenario);
        TrackedRun run(c.scenario);
        ASSERT_TRUE(run.host) << run.error;
        ASSERT_TRUE(run.result.ok) << run.result.error;
        ASSERT_TRUE(run.track->have_deck());
        EXPECT_EQ(run.track->ashore(), c.ashore);
        const host::TrackMoments m = host::find_moments(run.track->samples());
        const nlohmann::json* touchdown = run.flight("touchdown");
        ASSERT_NE(touchdown, nullptr);
        ASSERT_GE(m.touchdown, 0);
        double s = 0, cross = 0;
        run.along(m.touchdown, &s, &cross);
        // The event gives the wheels' place from the ramp (or the threshold);
        // the track is the aircraft's reference point, a few metres ahead.
        EXPECT_NEAR(s, touchdown->value("along_m", NAN), 6.0);
        EXPECT_NEAR(cross, 0.0, 3.0) << "on the centre line";
        EXPECT_EQ(m.wire_number, c.wire);
        EXPECT_EQ(m.stop >= 0, c.stops);
        if (c.stops && !c.ashore) {
            double stop_s = 0, stop_c = 0;
            run.along(m.stop, &stop_s, &stop_c);
            const nlohmann::json* arrested = run.flight("arrested");
            ASSERT_NE(arrested, nullptr);
            // The wire pays out its run-out from where it was caught.
            double wire_s = 0, wire_c = 0;
            run.along(m.wire, &wire_s, &wire_c);
            EXPECT_NEAR(stop_s - wire_s, arrested->value("runout_m", NAN), 6.0);
        }
        if (c.stops && c.ashore) {
            double stop_s = 0, stop_c = 0;
            run.along(m.stop, &stop_s, &stop_c);
            const nlohmann::json* stopped = run.flight("stopped");
            ASSERT_NE(stopped, nullptr);
            EXPECT_NEAR(stop_s - run.track->deck().touchdown_m, stopped->value("beyond_aim_point_m", NAN), 6.0);
        }

        TempRoot out;
        std::string error;
        ASSERT_TRUE(host::write_deck_picture(*run.host, *run.track, run.sim_root, out.dir.string(), "t", &error))
            << error;
        EXPECT_GT(std::filesystem::file_size(out.dir / "deck.png"), 10000u);
        std::ifstream svg(out.dir / "deck.svg");
        const std::string text((std::istreambuf_iterator<char>(svg)), std::istreambuf_iterator<char>());
        EXPECT_NE(text.find("<svg"), std::string::npos);
    }
}

TEST(DeckPictureRuns, RecordingAFrameAllocatesNothing)
{
    TrackedRun run("scenarios/bolter.xml");
    ASSERT_TRUE(run.host) << run.error;
    host::DeckTrack track;
    track.reserve(300);
    track.frame_done(*run.host);  // the first frame copies the deck
    const long before = allocations_so_far();
    for (int i = 0; i < 500; ++i) track.frame_done(*run.host);  // past its reserve too
    EXPECT_EQ(allocations_so_far() - before, 0);
    EXPECT_EQ(track.samples().size(), 302u) << "kept to the reserve";
}
