// The user aircraft on a ship's deck: riding with the ship, moved over the
// ground by the body velocities a client writes (a catapult stroke), and its
// free flight after it left the deck.
//
// Frames: the ship's frame has X to starboard and Z forward; a heading h turns
// the frame's forward axis to the true course h. Body velocities are speeds
// over the ground along (Z) and across (X, starboard positive) the aircraft's
// heading, so a ship's speed is not added to what a client writes.
#include <cmath>

#include "host/world/world.h"

namespace host {
namespace {

const SimVarInfo& var(const char* name) { return *find_sim_var(name); }

// Speed over the deck, written by a client, above which the hold-back bar parts.
constexpr double HOLDBACK_RELEASE_MPS = 0.5;

double wrap_two_pi(double angle)
{
    angle = std::fmod(angle, 2.0 * M_PI);
    return angle < 0.0 ? angle + 2.0 * M_PI : angle;
}

struct Vec {
    double x, z;  // starboard / forward of some frame, or east / north
};

// `v` given in a frame turned by `angle` from the frame wanted, expressed in
// the frame wanted (both with X to the right of Z).
Vec turn(Vec v, double angle)
{
    const double s = std::sin(angle), c = std::cos(angle);
    return {v.x * c + v.z * s, -v.x * s + v.z * c};
}

}  // namespace

bool World::place_on_deck(uint32_t ship, double x_m, double z_m, double heading_offset, const DeckArea& area)
{
    const SimObject* boat = find(ship);
    if (!boat || boat->kind != ObjectKind::Boat) return false;
    deck_ = DeckState{};
    deck_.ship = ship;
    deck_.area = area;
    deck_.x_m = x_m;
    deck_.z_m = z_m;
    deck_.heading_offset = heading_offset;
    SimObject& aircraft = user();
    aircraft.follows_path = false;
    set(aircraft, var("SIM ON GROUND"), 1.0);
    advance_deck(0.0);  // position, heading and speeds at once
    return true;
}

void World::advance_deck(double dt)
{
    static const SimVarInfo& lat = var("PLANE LATITUDE");
    static const SimVarInfo& lon = var("PLANE LONGITUDE");
    static const SimVarInfo& alt = var("PLANE ALTITUDE");
    static const SimVarInfo& heading = var("PLANE HEADING DEGREES TRUE");
    static const SimVarInfo& airspeed = var("AIRSPEED TRUE");
    static const SimVarInfo& ground_velocity = var("GROUND VELOCITY");
    static const SimVarInfo& surface_speed = var("SURFACE RELATIVE GROUND SPEED");
    static const SimVarInfo& body_x = var("VELOCITY BODY X");
    static const SimVarInfo& body_z = var("VELOCITY BODY Z");
    static const SimVarInfo& vertical_speed = var("VERTICAL SPEED");
    static const SimVarInfo& on_ground = var("SIM ON GROUND");
    static const SimVarInfo& parking_brake = var("BRAKE PARKING INDICATOR");
    static const SimVarInfo& holdback = var("HOLDBACK BAR INSTALLED");

    SimObject& aircraft = user();
    const bool written = deck_.velocity_written;
    deck_.velocity_written = false;

    if (deck_.free_flight) {
        const double h = get(aircraft, heading);
        if (written) {
            const Vec ground = turn({get(aircraft, body_x), get(aircraft, body_z)}, h);
            deck_.east_mps = ground.x;
            deck_.north_mps = ground.z;
        }
        const double speed = std::hypot(deck_.east_mps, deck_.north_mps);
        if (speed > 0.0 && dt > 0.0) {
            double lat2 = 0, lon2 = 0;
            sphere_destination(get(aircraft, lat), get(aircraft, lon), std::atan2(deck_.east_mps, deck_.north_mps),
                               speed * dt, &lat2, &lon2);
            set(aircraft, lat, lat2);
            set(aircraft, lon, lon2);
        }
        set(aircraft, alt, get(aircraft, alt) + get(aircraft, vertical_speed) * dt);
        const Vec body = turn({deck_.east_mps, deck_.north_mps}, -h);
        set(aircraft, body_x, body.x);
        set(aircraft, body_z, body.z);
        set(aircraft, ground_velocity, speed);
        set(aircraft, surface_speed, speed);
        return;
    }

    SimObject* ship = find(deck_.ship);
    if (deck_.ship == 0 || !ship) {
        deck_.ship = 0;  // the ship went away: the aircraft stays where it is
        return;
    }
    const double ship_heading = get(*ship, heading);
    const double ship_speed = get(*ship, airspeed);
    const double offset = deck_.heading_offset;

    if (written) {
        // Over the ground in the ship's frame, less the ship's own velocity.
        const Vec ground = turn({get(aircraft, body_x), get(aircraft, body_z)}, offset);
        deck_.rel_x_mps = ground.x;
        deck_.rel_z_mps = ground.z - ship_speed;
        // Pulled along the deck, the aircraft parts its hold-back bar.
        if (std::hypot(deck_.rel_x_mps, deck_.rel_z_mps) > HOLDBACK_RELEASE_MPS) set(aircraft, holdback, 0.0);
    } else if (get(aircraft, parking_brake) != 0.0) {
        deck_.rel_x_mps = 0.0;
        deck_.rel_z_mps = 0.0;
    }
    deck_.x_m += deck_.rel_x_mps * dt;
    deck_.z_m += deck_.rel_z_mps * dt;

    // Position from the ship's, heading with the ship's.
    const double reach = std::hypot(deck_.x_m, deck_.z_m);
    double lat2 = get(*ship, lat), lon2 = get(*ship, lon);
    if (reach > 0.0)
        sphere_destination(get(*ship, lat), get(*ship, lon), ship_heading + std::atan2(deck_.x_m, deck_.z_m), reach,
                           &lat2, &lon2);
    set(aircraft, lat, lat2);
    set(aircraft, lon, lon2);
    const double h = wrap_two_pi(ship_heading + offset);
    set(aircraft, heading, h);

    const Vec ground_ship{deck_.rel_x_mps, deck_.rel_z_mps + ship_speed};
    const Vec body = turn(ground_ship, -offset);
    const double ground_speed = std::hypot(ground_ship.x, ground_ship.z);
    const double deck_speed = std::hypot(deck_.rel_x_mps, deck_.rel_z_mps);
    set(aircraft, body_x, body.x);
    set(aircraft, body_z, body.z);
    set(aircraft, ground_velocity, ground_speed);
    set(aircraft, surface_speed, deck_speed);

    const DeckArea& area = deck_.area;
    const bool on_deck = deck_.z_m <= area.bow_m && deck_.z_m >= area.stern_m && std::fabs(deck_.x_m) <= area.half_width_m;
    set(aircraft, on_ground, on_deck ? 1.0 : 0.0);
    if (on_deck) return;

    // Off the edge: airborne, flying on at the ground velocity it had.
    const Vec ground_world = turn(ground_ship, ship_heading);
    set(aircraft, surface_speed, ground_speed);
    deck_.free_flight = true;
    deck_.east_mps = ground_world.x;
    deck_.north_mps = ground_world.z;
    if (deck_observer_)
        deck_observer_(DeckEvent{"left_deck", deck_.ship, ground_speed, deck_speed, deck_.x_m, deck_.z_m});
    deck_.ship = 0;
}

}  // namespace host
