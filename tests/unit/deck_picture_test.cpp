// The deck picture's geometry (offsets on the deck, the track's moments) and
// the carrier list's points as the picture and lint read them; the lint of
// offsets against a known deck.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "host/bench/config_lint.h"
#include "host/build_paths.h"
#include "host/record/deck_picture.h"
#include "host/world/flown_aircraft.h"

namespace fs = std::filesystem;

namespace {

host::DeckModel nimitz()
{
    std::string error;
    auto deck = host::load_deck(std::string(CARRIER_SOURCE_DIR) + "/scenarios/decks/nimitz.xml", &error);
    EXPECT_TRUE(deck) << error;
    return deck ? *deck : host::DeckModel{};
}

host::CarrierPoints ship(double ils_x, double ils_z, double tcn_x, double tcn_z)
{
    host::CarrierPoints e;
    e.type = 1;
    e.ils_x = ils_x, e.ils_z = ils_z, e.tcn_x = tcn_x, e.tcn_z = tcn_z;
    return e;
}

}  // namespace

TEST(DeckOffsets, AimPointOnTheLandingAreaAntennaOnTheShip)
{
    const host::DeckModel deck = nimitz();
    struct Case {
        const char* what;
        host::CarrierPoints entry;
        bool aim_flagged, antenna_flagged;
    };
    const Case cases[] = {
        {"the bundled CVN-68 offsets", ship(-6, -90, 20, 10), false, false},
        {"aim point to starboard of the angled deck", ship(30, -90, 20, 10), true, false},
        {"aim point astern of the ramp", ship(5, -200, 20, 10), true, false},
        {"aim point at the far end of the angled deck", ship(-35, 50, 20, 10), false, false},
        {"aim point past the end of the angled deck", ship(-45, 75, 20, 10), true, false},
        {"antenna on the island, outside the axial deck", ship(-6, -90, 30, 10), false, false},
        {"antenna far to starboard", ship(-6, -90, 60, 10), false, true},
        {"antenna ahead of the bow", ship(-6, -90, 0, 200), false, true},
        {"antenna on the angled deck's port side, beyond the axial deck", ship(-6, -90, -41, 35), false, false},
        {"both wrong (ILS given as the antenna's and back)", ship(20, 10, 300, -90), true, true},
    };
    for (const Case& c : cases) {
        const auto found = host::check_offsets(deck, c.entry);
        bool aim = false, antenna = false;
        for (const std::string& f : found) {
            aim |= f.find("ILS aim point") != std::string::npos && f.find("off the landing area") != std::string::npos;
            antenna |= f.find("TACAN antenna") != std::string::npos && f.find("off the ship") != std::string::npos;
        }
        EXPECT_EQ(aim, c.aim_flagged) << c.what;
        EXPECT_EQ(antenna, c.antenna_flagged) << c.what;
        EXPECT_EQ(found.size(), static_cast<size_t>(c.aim_flagged) + c.antenna_flagged) << c.what;
    }
    // A fixed site has no ship's offsets to check.
    host::CarrierPoints site = ship(500, 500, 500, 500);
    site.type = 2;
    EXPECT_TRUE(host::check_offsets(deck, site).empty());
}

TEST(DeckOffsets, HelicopterStationFromBearingAndDistance)
{
    host::CarrierPoints e;
    struct Case {
        double bearing, distance, x, z;
    } cases[] = {{90, 400, 400, 0}, {0, 300, 0, 300}, {180, 100, 0, -100}, {-90, 50, -50, 0}, {120, 450, 389.7, -225}};
    for (const Case& c : cases) {
        e.helo_bearing_deg = c.bearing;
        e.helo_distance_m = c.distance;
        double x = 0, z = 0;
        host::helo_station(e, &x, &z);
        EXPECT_NEAR(x, c.x, 0.1) << c.bearing;
        EXPECT_NEAR(z, c.z, 0.1) << c.bearing;
    }
}

class CarrierListFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        char scratch[] = "/tmp/carrier_deckpic_XXXXXX";
        ASSERT_NE(mkdtemp(scratch), nullptr);
        root = scratch;
        fs::copy(std::string(CARRIER_SOURCE_DIR) + "/scenarios/simroot", root, fs::copy_options::recursive);
    }
    void TearDown() override { fs::remove_all(root); }
    std::string list() const { return (root / "Gauges/ZEB_Carrier.xml").string(); }
    void patch(const std::string& from, const std::string& to) const
    {
        std::ifstream in(list());
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const size_t at = text.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        text.replace(at, from.size(), to);
        std::ofstream(list()) << text;
    }
    fs::path root;
};

TEST_F(CarrierListFiles, PointsAreReadAndNumbersOutOfRangeNamed)
{
    std::string error;
    auto entries = host::read_carrier_points(list(), &error);
    ASSERT_TRUE(entries);
    EXPECT_EQ(error, "");
    ASSERT_GE(entries->size(), 5u);
    const host::CarrierPoints& cvn68 = (*entries)[0];
    EXPECT_EQ(cvn68.sim_name, "Carrier Nimitz CVN-68");
    EXPECT_EQ(cvn68.type, 1);
    EXPECT_DOUBLE_EQ(cvn68.ils_z, -90);
    EXPECT_DOUBLE_EQ(cvn68.tcn_x, 20);
    EXPECT_TRUE(cvn68.has_helo);
    EXPECT_FALSE((*entries)[2].has_helo) << "Kitty Hawk places no helicopter";
    const host::CarrierPoints& site = (*entries)[4];
    EXPECT_EQ(site.type, 2);
    EXPECT_TRUE(site.has_lens);
    EXPECT_DOUBLE_EQ(site.lens_lon_deg, -76.13569);

    patch("ILS_Zcoord=\"-90\"", "ILS_Zcoord=\"-9e9\"");
    entries = host::read_carrier_points(list(), &error);
    ASSERT_TRUE(entries);
    EXPECT_DOUBLE_EQ((*entries)[0].ils_z, 0.0) << "an offset no ship has is not used";
    EXPECT_NE(error.find(list() + ":"), std::string::npos) << error;
    EXPECT_NE(error.find("ILS_Zcoord \"-9e9\""), std::string::npos) << error;

    EXPECT_FALSE(host::read_carrier_points((root / "missing.xml").string(), &error));
}

TEST_F(CarrierListFiles, LintFlagsOffsetsOnlyWhenTheDeckIsKnown)
{
    patch("ILS_Xcoord=\"-6\"", "ILS_Xcoord=\"30\"");
    auto flagged = [](const host::LintReport& r) {
        std::vector<const host::LintFinding*> out;
        for (const auto& f : r.findings)
            if (f.message.find("off the landing area") != std::string::npos) out.push_back(&f);
        return out;
    };
    EXPECT_TRUE(flagged(host::lint_configuration(root.string())).empty()) << "no deck model known";
    const host::LintReport other = host::lint_configuration(root.string(), {{"Carrier Kitty Hawk CV-63", nimitz()}});
    EXPECT_TRUE(flagged(other).empty()) << "a deck known only for another ship";
    const host::LintReport r = host::lint_configuration(root.string(), {{"Carrier Nimitz CVN-68", nimitz()}});
    const auto found = flagged(r);
    ASSERT_EQ(found.size(), 1u);
    int entry_line = 0;  // where the CVN-68 entry's element starts
    {
        std::ifstream in(list());
        std::string line;
        for (int n = 1; std::getline(in, line) && !entry_line; ++n)
            if (line.find("<Carrier Frequency=\"112.70\"") != std::string::npos) entry_line = n;
    }
    EXPECT_EQ(found[0]->line, entry_line) << "the CVN-68 entry's line";
    EXPECT_EQ(found[0]->level, host::LintLevel::Warning);
    EXPECT_NE(found[0]->message.find("CVN-68 Nimitz"), std::string::npos) << found[0]->message;
    EXPECT_FALSE(r.passes(true));
}

TEST(DeckTrackMoments, TouchdownWireAndStopAreFoundOnTheTrack)
{
    using P = host::FlightPhase;
    auto sample = [](float z, bool ground, int wire, P phase) {
        return host::TrackSample{0.0f, z, 0.0f, static_cast<uint8_t>(ground), static_cast<uint8_t>(wire),
                                 static_cast<uint8_t>(phase)};
    };
    // A trap: on final, touchdown, wire 3, the run-out, the stop, then placed
    // on a catapult (no second touchdown, no second stop).
    std::vector<host::TrackSample> trap = {
        sample(-300, false, 0, P::Approach), sample(-250, false, 0, P::Approach), sample(-90, true, 0, P::Rolling),
        sample(-85, true, 3, P::Arrested),   sample(-40, true, 3, P::Arrested),   sample(10, true, 3, P::Arrested),
        sample(10, true, 3, P::Arrested),    sample(10, true, 0, P::Parked),      sample(60, true, 0, P::OnCatapult),
        sample(60, true, 0, P::OnCatapult),  sample(120, true, 0, P::Stroke),
    };
    const host::TrackMoments m = host::find_moments(trap);
    EXPECT_EQ(m.touchdown, 2);
    EXPECT_EQ(m.wire, 3);
    EXPECT_EQ(m.wire_number, 3);
    EXPECT_EQ(m.stop, 6);

    // A bolter: touchdown, a roll without a wire, airborne again: no wire, no stop.
    std::vector<host::TrackSample> bolter = {
        sample(-200, false, 0, P::Approach), sample(-50, true, 0, P::Rolling), sample(-20, true, 0, P::Rolling),
        sample(30, false, 0, P::Climb),      sample(30.001f, false, 0, P::Climb),
    };
    const host::TrackMoments b = host::find_moments(bolter);
    EXPECT_EQ(b.touchdown, 1);
    EXPECT_EQ(b.wire, -1);
    EXPECT_EQ(b.stop, -1);

    // A wave-off never touches.
    const host::TrackMoments w = host::find_moments({sample(-900, false, 0, P::Approach), sample(-800, false, 0, P::Climb)});
    EXPECT_EQ(w.touchdown, -1);
}
