// Flight-deck models of the ships the user aircraft lands on: deck height,
// the angled landing area with its arresting wires, the catapults, and the
// geometry that relates a point of the world to the moving ship. One file per
// class of ship (scenarios/decks/*.xml, see docs/scenarios.md "Flown aircraft").
//
// The ship's frame is the carrier list's: origin at the ship's reference point
// (centre, waterline), X to starboard, Y up, Z forward, metres. Along the
// landing line, `s` is measured from the ramp forward and `c` to the right of
// the line.
#pragma once

#include <array>
#include <optional>
#include <string>

namespace host {

struct DeckCatapult {
    int number = 0;            // 1..4
    double x_m = 0.0, z_m = 0.0;  // start of the stroke, ship's frame
    double heading_deg = 0.0;  // relative to the ship's heading, positive to starboard
    double stroke_m = 94.0;    // length of the stroke
};

struct DeckModel {
    std::string name;
    std::string path;                 // the file it came from
    double height_m = 19.0;           // flight deck above the ship's reference point
    double bow_z_m = 166.0;           // forward end of the deck
    double stern_z_m = -166.0;        // after end of the deck
    double width_m = 40.0;            // width of the axial deck, centred on X = 0
    // The landing area, angled to port.
    double landing_angle_deg = 9.0;   // to the left of the ship's heading
    double ramp_x_m = 5.0, ramp_z_m = -160.0;  // where the landing line leaves the ramp
    double landing_length_m = 220.0;  // from the ramp to the end of the angled deck
    double landing_width_m = 30.0;
    double touchdown_m = 71.0;        // along the line: where the wheels meet the deck on the glide slope
    double runout_m = 100.0;          // pay-out of an arresting wire
    double pendant_height_m = 0.1;    // a hook tip at most this high above the deck catches a wire
    std::array<double, 4> wires{45.0, 57.0, 69.0, 81.0};  // along the line, wire 1..4
    int catapult_count = 0;
    std::array<DeckCatapult, 4> catapults{};

    const DeckCatapult* catapult(int number) const;
    // The ship's frame position of a point of the landing line.
    void line_to_ship(double s, double c, double* x, double* z) const;
    void ship_to_line(double x, double z, double* s, double* c) const;
    // How fast the ship's-frame point (x, z) moves to the right of the
    // landing line (m/s, negative: to the left) while the ship yaws at
    // `yaw_rate` (rad/s, positive to starboard) about its reference point.
    // Behind the ship a turn to starboard swings the line to the left.
    double line_swing(double yaw_rate, double x, double z) const;
    // Whether a ship's-frame point lies on the flight deck (axial deck or landing area).
    bool on_deck(double x, double z) const;
    // The wire (1..4) a hook tip catches moving from s0 to s1 along the line
    // with heights h0, h1 above the deck (a crossing below the pendant height), or 0.
    int wire_crossed(double s0, double h0, double s1, double h1) const;
};

// Reads a deck file; on a bad file nullopt with `error` "FILE:LINE: message".
std::optional<DeckModel> load_deck(const std::string& path, std::string* error);

// The arresting run-out: the wire's engine stops the aircraft like a spring
// over a quarter period, so the pay-out is exactly `runout_m` whatever the
// engagement speed and the deceleration grows as the wire pays out.
struct Arrestment {
    double engage_speed_mps = 0.0;  // speed over the deck at the catch
    double runout_m = 100.0;
    // Pay-out and speed over the deck `t` seconds after the catch.
    double payout(double t) const;
    double speed(double t) const;
    double stop_time() const;       // seconds from the catch to the stop
};

// Where a ship is: reference point, heading, speed through the water, yaw rate.
struct ShipPose {
    double lat = 0.0, lon = 0.0;  // radians, east-positive
    double altitude_m = 0.0;
    double heading = 0.0;         // true, radians
    double speed_mps = 0.0;
    double yaw_rate = 0.0;        // radians per second
};

// Local conversions between the world and a ship's frame (flat near the ship:
// good to centimetres within a few kilometres, to metres at 20 km).
void world_to_ship(const ShipPose& ship, double lat, double lon, double* x, double* z);
void ship_to_world(const ShipPose& ship, double x, double z, double* lat, double* lon);

}  // namespace host
