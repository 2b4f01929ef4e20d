// Cost of the flown aircraft per frame: the point-mass step alone, and the
// world process (deck view, autopilot, touchdown and hook checks, the
// aircraft's variables) on final to a moving carrier.
#include "host/build_paths.h"
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

#include "host/world/flown_aircraft.h"

namespace {

constexpr double DEG = M_PI / 180.0;

void BM_FlightModelStep(benchmark::State& state)
{
    host::AircraftParams p;
    host::AircraftState s;
    s.airspeed_mps = 72.0;
    s.gamma = -3.5 * DEG;
    host::AircraftControls c;
    c.throttle = 40.0;
    c.bank = 0.05;
    for (auto _ : state) {
        host::step_aircraft(p, c, {3.0, -4.0}, 1.0 / 60, s);
        benchmark::DoNotOptimize(s);
    }
}
BENCHMARK(BM_FlightModelStep);

void BM_FlownAircraftOnFinal(benchmark::State& state)
{
    host::World world;
    const uint32_t boat = world.add(host::ObjectKind::Boat, "Carrier Nimitz CVN-68");
    host::SimObject& b = *world.find(boat);
    host::World::set(b, *host::find_sim_var("PLANE LATITUDE"), 36.8 * DEG);
    host::World::set(b, *host::find_sim_var("PLANE LONGITUDE"), -75.4 * DEG);
    host::World::set(b, *host::find_sim_var("AIRSPEED TRUE"), 10.0);
    std::string error;
    auto deck = host::load_deck(std::string(CARRIER_SOURCE_DIR) + "/scenarios/decks/nimitz.xml", &error);
    host::FlownAircraft& flown = host::FlownAircraft::of(world);
    flown.attach_deck(boat, std::make_shared<host::DeckModel>(*deck));
    host::ApproachStart start;
    start.distance_nm = 20.0;  // stays on final for the whole measurement
    flown.begin_approach(world, boat, start, &error);
    for (auto _ : state) flown.step(world, 1.0 / 60);
}
BENCHMARK(BM_FlownAircraftOnFinal);

}  // namespace
