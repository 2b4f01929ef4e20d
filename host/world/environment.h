// The world around the ships: the wind as the user aircraft feels it, VOR-DME
// stations that the NAV receivers tune, and ships that steer into the wind.
// Added to a world by the first scenario element that needs it; every frame
// it writes the user aircraft's wind components and NAV receiver variables.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/world/world.h"

namespace host {

struct NavStation {
    std::string ident;
    double frequency_mhz = 0.0;
    double lat = 0.0, lon = 0.0;  // radians, east-positive
    double altitude_m = 0.0;
    double range_m = 130.0 * 1852.0;  // reception range
    bool dme = true;                  // a DME with the VOR
};

// A ship that keeps its heading `offset` to the right of the wind's direction
// (the landing area's angle, so that the wind blows down the angled deck),
// turning at most `rate` rad/s, and, with a wind over the deck asked for, makes
// the speed through the water that gives it.
struct SteeredShip {
    uint32_t boat_id = 0;
    double rate = 1.0 * M_PI / 180.0;
    double offset = 0.0;
    std::optional<double> wind_over_deck_mps;
    bool steady = false;  // on the heading (reported once on the timeline)
};

class Timeline;

class Environment : public WorldProcess {
public:
    static constexpr int ORDER = 30;  // after the flown aircraft: the wind and the receivers see where it is
    // The world's environment, added when missing.
    static Environment& of(World& world);

    int order() const override { return ORDER; }
    void step(World& world, double dt) override;

    void add_station(NavStation station) { stations_.push_back(std::move(station)); }
    const std::vector<NavStation>& stations() const { return stations_; }
    void steer(SteeredShip ship);
    void set_timeline(Timeline* timeline) { timeline_ = timeline; }

private:
    std::vector<NavStation> stations_;
    std::vector<SteeredShip> steered_;
    Timeline* timeline_ = nullptr;
};

// The station NAV receiver tuned to `frequency_mhz` receives at the position,
// or null: the nearest in range among those on the frequency.
const NavStation* station_received(const std::vector<NavStation>& stations, double frequency_mhz, double lat,
                                   double lon, double* distance_m);

// The user aircraft's wind components for its heading: from ahead and from the right.
void wind_components(const WorldWind& wind, double heading, double* from_ahead, double* from_right);

}  // namespace host
