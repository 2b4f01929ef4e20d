// The user aircraft on a ship's deck in the emulated world: riding with the
// ship, moved over the ground by written body velocities, stopped by the
// parking brake, airborne past the deck's edge; and the <deck> action's checks.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "host/scenario/scenario.h"
#include "host/world/world.h"

namespace {

using namespace host;

const SimVarInfo& var(const char* name) { return *find_sim_var(name); }

class WorldDeckTest : public ::testing::Test {
protected:
    World world;
    uint32_t ship = 0;
    std::vector<DeckEvent> events;

    void SetUp() override
    {
        ship = world.add(ObjectKind::Boat, "Carrier");
        SimObject& boat = *world.find(ship);
        World::set(boat, var("PLANE LATITUDE"), 0.64);
        World::set(boat, var("PLANE LONGITUDE"), -1.31);
        World::set(boat, var("PLANE HEADING DEGREES TRUE"), M_PI / 2);  // east
        World::set(boat, var("AIRSPEED TRUE"), 15.0);
        world.set_deck_observer([this](const DeckEvent& e) { events.push_back(e); });
    }
    double user(const char* name) { return World::get(world.user(), var(name)); }
    void write_body(double forward, double starboard)
    {
        World::set(world.user(), var("VELOCITY BODY Z"), forward);
        World::set(world.user(), var("VELOCITY BODY X"), starboard);
        world.note_body_velocity_written();
    }
    // Metres from the ship's reference point to the aircraft, along and across the ship.
    void deck_offset(double* forward, double* starboard)
    {
        const SimObject& boat = *world.find(ship);
        const double dlat = user("PLANE LATITUDE") - World::get(boat, var("PLANE LATITUDE"));
        const double dlon = user("PLANE LONGITUDE") - World::get(boat, var("PLANE LONGITUDE"));
        const double north = dlat * WORLD_RADIUS_M, east = dlon * WORLD_RADIUS_M * std::cos(0.64);
        *forward = east;     // the ship heads east
        *starboard = -north;
    }
};

}  // namespace

TEST_F(WorldDeckTest, HeldOnTheDeckTheAircraftRidesWithTheShip)
{
    ASSERT_TRUE(world.place_on_deck(ship, 5.0, 95.0, -0.157, DeckArea{}));
    for (int i = 0; i < 30; ++i) world.advance(0.1);
    double forward = 0, starboard = 0;
    deck_offset(&forward, &starboard);
    EXPECT_NEAR(forward, 95.0, 0.05);
    EXPECT_NEAR(starboard, 5.0, 0.05);
    EXPECT_NEAR(user("PLANE HEADING DEGREES TRUE"), M_PI / 2 - 0.157, 1e-12);
    EXPECT_DOUBLE_EQ(user("GROUND VELOCITY"), 15.0);
    EXPECT_DOUBLE_EQ(user("SURFACE RELATIVE GROUND SPEED"), 0.0);
    EXPECT_EQ(user("SIM ON GROUND"), 1.0);
    // The ship's velocity seen along and across the angled aircraft.
    EXPECT_NEAR(user("VELOCITY BODY Z"), 15.0 * std::cos(0.157), 1e-9);
    EXPECT_NEAR(user("VELOCITY BODY X"), 15.0 * std::sin(0.157), 1e-9);  // pointing to port
    EXPECT_FALSE(world.place_on_deck(world.add(ObjectKind::Aircraft, "Plane"), 0, 0, 0, DeckArea{}));
}

TEST_F(WorldDeckTest, WrittenBodyVelocitiesAreOverTheGroundAndTheAircraftLeavesTheBowAtThatSpeed)
{
    ASSERT_TRUE(world.place_on_deck(ship, 0.0, 100.0, 0.0, DeckArea{}));
    World::set(world.user(), var("HOLDBACK BAR INSTALLED"), 1.0);
    write_body(40.0, 0.0);  // 25 m/s over the deck
    world.advance(1.0);
    EXPECT_DOUBLE_EQ(user("GROUND VELOCITY"), 40.0);
    EXPECT_DOUBLE_EQ(user("SURFACE RELATIVE GROUND SPEED"), 25.0);
    EXPECT_EQ(user("HOLDBACK BAR INSTALLED"), 0.0);  // parted by the pull
    EXPECT_DOUBLE_EQ(world.deck().z_m, 125.0);
    world.advance(1.0);  // no write: the velocity over the deck is kept
    EXPECT_DOUBLE_EQ(world.deck().z_m, 150.0);
    EXPECT_TRUE(events.empty());
    world.advance(1.0);  // past the bow at 165 m
    ASSERT_EQ(events.size(), 1u);
    EXPECT_STREQ(events[0].what, "left_deck");
    EXPECT_DOUBLE_EQ(events[0].ground_speed_mps, 40.0);
    EXPECT_DOUBLE_EQ(events[0].deck_speed_mps, 25.0);
    EXPECT_EQ(user("SIM ON GROUND"), 0.0);

    // Free flight: on at 40 m/s over the ground, eastwards.
    const double lon = user("PLANE LONGITUDE");
    world.advance(1.0);
    EXPECT_NEAR((user("PLANE LONGITUDE") - lon) * WORLD_RADIUS_M * std::cos(user("PLANE LATITUDE")), 40.0, 1e-3);
    EXPECT_DOUBLE_EQ(user("GROUND VELOCITY"), 40.0);
    EXPECT_EQ(world.deck().ship, 0u);
    EXPECT_EQ(events.size(), 1u);
}

TEST_F(WorldDeckTest, TheParkingBrakeStopsTheAircraftOnTheDeckBetweenWritesAndTheEdgesCount)
{
    ASSERT_TRUE(world.place_on_deck(ship, 0.0, 0.0, M_PI / 2, DeckArea{100, -100, 10}));  // facing starboard
    World::set(world.user(), var("BRAKE PARKING INDICATOR"), 1.0);
    // 5 m/s over the ground towards the ship's starboard and nothing along
    // the ship: the ship's 15 m/s is not added, so it falls behind on the deck.
    write_body(5.0, 0.0);
    world.advance(1.0);
    EXPECT_NEAR(world.deck().x_m, 5.0, 1e-12);
    EXPECT_NEAR(world.deck().z_m, -15.0, 1e-12);
    world.advance(1.0);  // braked, nothing written: stays
    EXPECT_NEAR(world.deck().x_m, 5.0, 1e-12);
    EXPECT_DOUBLE_EQ(user("SURFACE RELATIVE GROUND SPEED"), 0.0);
    EXPECT_DOUBLE_EQ(user("GROUND VELOCITY"), 15.0);

    // Given the ship's speed across its axis (to its port: the ship's forward),
    // it moves straight to starboard over the deck and off the side.
    World::set(world.user(), var("BRAKE PARKING INDICATOR"), 0.0);
    write_body(6.0, -15.0);
    world.advance(1.0);
    EXPECT_NEAR(world.deck().x_m, 11.0, 1e-12);
    EXPECT_EQ(user("SIM ON GROUND"), 0.0);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_NEAR(events[0].deck_speed_mps, 6.0, 1e-12);

    // A scenario placing the aircraft elsewhere takes it off the deck.
    world.leave_deck();
    EXPECT_FALSE(world.deck().free_flight);
}

TEST(DeckAction, BadDeckPlacesAreRefusedWithTheFileAndLine)
{
    char pattern[] = "/tmp/carrier-deck-XXXXXX";
    const std::filesystem::path dir = mkdtemp(pattern);
    std::filesystem::create_directories(dir / "root/Gauges");
    const std::string head = "<?xml version=\"1.0\"?>\n<runscript>\n<simulator root=\"root\"/>\n<world>\n";
    const std::pair<std::string, std::string> cases[] = {
        {"<deck x=\"0\" z=\"0\"/>", "by ship"},
        {"<deck ship=\"A\" ref=\"a\" x=\"0\" z=\"0\"/>", "by ship"},
        {"<deck ship=\"A\" z=\"0\"/>", "needs the attribute \"x\""},
        {"<deck ship=\"A\" x=\"0\" z=\"170\"/>", "not on the deck"},
        {"<deck ship=\"A\" x=\"39\" z=\"0\"/>", "not on the deck"},
        {"<deck ship=\"A\" x=\"0\" z=\"0\" bow=\"-10\" stern=\"10\"/>", "stern < bow"},
        {"<deck ship=\"A\" x=\"0\" z=\"0\" half_width=\"0\"/>", "half_width"},
        {"<deck ship=\"A\" x=\"0\" z=\"0\" speed=\"3\"/>", "unknown attribute"},
    };
    for (const auto& [element, words] : cases) {
        const std::string path = (dir / "s.xml").string();
        std::ofstream(path) << head << element << "\n</world>\n<run end=\"1\"/>\n</runscript>\n";
        std::string error;
        EXPECT_FALSE(host::load_scenario(path, &error).has_value()) << element;
        EXPECT_EQ(error.rfind(path + ":5:", 0), 0u) << error;
        EXPECT_NE(error.find(words), std::string::npos) << error;
    }
    std::filesystem::remove_all(dir);
}
