// Deck models: reading a deck file, the landing-line geometry, the wires and
// the run-out.
#include "host/world/deck.h"

#include <tinyxml.h>

#include <cmath>
#include <cstdlib>
#include <functional>

#include "host/world/world.h"
#include "host/xml_document.h"

namespace host {
namespace {

constexpr double DEG = M_PI / 180.0;

struct DeckError {
    std::string message;
    int line;
};

// Attribute reader with ranges; every failure names the element's line.
struct DeckReader {
    [[noreturn]] static void fail(const TiXmlElement* e, const std::string& message) { throw DeckError{message, e ? e->Row() : 0}; }

    static void only(const TiXmlElement* e, std::initializer_list<const char*> allowed)
    {
        for (const TiXmlAttribute* a = e->FirstAttribute(); a; a = a->Next()) {
            bool ok = false;
            for (const char* name : allowed) ok = ok || std::string(name) == a->Name();
            if (!ok) fail(e, std::string("<") + e->Value() + "> has an unknown attribute \"" + a->Name() + "\"");
        }
    }

    // The attribute as a number in [lo, hi]; `fallback` when absent (required when it is NaN).
    static double number(const TiXmlElement* e, const char* attr, double lo, double hi, double fallback)
    {
        const char* v = e->Attribute(attr);
        if (!v) {
            if (std::isnan(fallback)) fail(e, std::string("<") + e->Value() + "> needs the attribute \"" + attr + "\"");
            return fallback;
        }
        char* end = nullptr;
        const double value = std::strtod(v, &end);
        while (end && *end == ' ') ++end;
        if (end == v || *end != '\0' || !std::isfinite(value))
            fail(e, std::string("attribute \"") + attr + "\" is not a number: \"" + v + "\"");
        if (value < lo || value > hi)
            fail(e, std::string("attribute \"") + attr + "\" = " + v + " is outside " + std::to_string(lo) + " .. " +
                        std::to_string(hi));
        return value;
    }
};

DeckModel parse_deck(const TiXmlElement* root)
{
    using R = DeckReader;
    if (std::string(root->Value()) != "deck") R::fail(root, "the top element must be <deck>");
    R::only(root, {"name", "height", "bow", "stern", "width"});
    DeckModel d;
    d.name = root->Attribute("name") ? root->Attribute("name") : "deck";
    d.height_m = R::number(root, "height", 0.0, 100.0, d.height_m);
    d.bow_z_m = R::number(root, "bow", 10.0, 500.0, d.bow_z_m);
    d.stern_z_m = R::number(root, "stern", -500.0, -10.0, d.stern_z_m);
    d.width_m = R::number(root, "width", 5.0, 120.0, d.width_m);
    bool have_landing = false;
    std::array<bool, 4> have_wire{};
    for (const TiXmlElement* e = root->FirstChildElement(); e; e = e->NextSiblingElement()) {
        const std::string kind = e->Value();
        if (kind == "landing_area") {
            if (have_landing) R::fail(e, "a deck has one <landing_area>");
            have_landing = true;
            R::only(e, {"angle", "ramp_x", "ramp_z", "length", "width", "touchdown", "runout", "pendant_height"});
            d.landing_angle_deg = R::number(e, "angle", 0.0, 20.0, NAN);
            d.ramp_x_m = R::number(e, "ramp_x", -100.0, 100.0, NAN);
            d.ramp_z_m = R::number(e, "ramp_z", d.stern_z_m - 20.0, d.bow_z_m, NAN);
            d.landing_length_m = R::number(e, "length", 50.0, 400.0, NAN);
            d.landing_width_m = R::number(e, "width", 5.0, 60.0, d.landing_width_m);
            d.touchdown_m = R::number(e, "touchdown", 0.0, d.landing_length_m, NAN);
            d.runout_m = R::number(e, "runout", 30.0, 200.0, d.runout_m);
            d.pendant_height_m = R::number(e, "pendant_height", 0.0, 1.0, d.pendant_height_m);
        } else if (kind == "wire") {
            if (!have_landing) R::fail(e, "<wire> comes after <landing_area>");
            R::only(e, {"number", "distance"});
            const double n = R::number(e, "number", 1.0, 4.0, NAN);
            if (n != std::floor(n)) R::fail(e, "a wire number is 1, 2, 3 or 4");
            const int i = static_cast<int>(n) - 1;
            if (have_wire[i]) R::fail(e, "wire " + std::to_string(i + 1) + " is given twice");
            have_wire[i] = true;
            d.wires[i] = R::number(e, "distance", 0.0, d.landing_length_m, NAN);
        } else if (kind == "catapult") {
            R::only(e, {"number", "x", "z", "heading", "stroke"});
            const double n = R::number(e, "number", 1.0, 4.0, NAN);
            if (n != std::floor(n)) R::fail(e, "a catapult number is 1, 2, 3 or 4");
            DeckCatapult c;
            c.number = static_cast<int>(n);
            if (d.catapult(c.number)) R::fail(e, "catapult " + std::to_string(c.number) + " is given twice");
            c.x_m = R::number(e, "x", -100.0, 100.0, NAN);
            c.z_m = R::number(e, "z", d.stern_z_m, d.bow_z_m, NAN);
            c.heading_deg = R::number(e, "heading", -20.0, 20.0, 0.0);
            c.stroke_m = R::number(e, "stroke", 20.0, 150.0, c.stroke_m);
            d.catapults[static_cast<size_t>(d.catapult_count++)] = c;
        } else {
            R::fail(e, "unknown element <" + kind + "> in a deck");
        }
    }
    if (!have_landing) R::fail(root, "the deck has no <landing_area>");
    for (int i = 0; i < 4; ++i)
        if (!have_wire[i]) R::fail(root, "the deck has no wire " + std::to_string(i + 1));
    for (int i = 1; i < 4; ++i)
        if (d.wires[i] <= d.wires[i - 1]) R::fail(root, "the wires must lie one after the other, 1 nearest the ramp");
    for (int i = 0; i < d.catapult_count; ++i)
        if (!d.on_deck(d.catapults[i].x_m, d.catapults[i].z_m))
            R::fail(root, "catapult " + std::to_string(d.catapults[i].number) + " does not start on the deck");
    return d;
}

}  // namespace

const DeckCatapult* DeckModel::catapult(int number) const
{
    for (int i = 0; i < catapult_count; ++i)
        if (catapults[static_cast<size_t>(i)].number == number) return &catapults[static_cast<size_t>(i)];
    return nullptr;
}

void DeckModel::line_to_ship(double s, double c, double* x, double* z) const
{
    const double a = landing_angle_deg * DEG;
    // Along: (-sin a, cos a); right of the line: (cos a, sin a).
    *x = ramp_x_m - s * std::sin(a) + c * std::cos(a);
    *z = ramp_z_m + s * std::cos(a) + c * std::sin(a);
}

void DeckModel::ship_to_line(double x, double z, double* s, double* c) const
{
    const double a = landing_angle_deg * DEG;
    const double dx = x - ramp_x_m, dz = z - ramp_z_m;
    *s = -dx * std::sin(a) + dz * std::cos(a);
    *c = dx * std::cos(a) + dz * std::sin(a);
}

double DeckModel::line_swing(double yaw_rate, double x, double z) const
{
    // The point's velocity in the ship's axes is yaw_rate * (z, -x); the
    // line's right is (cos a, sin a).
    const double a = landing_angle_deg * DEG;
    return yaw_rate * (z * std::cos(a) - x * std::sin(a));
}

bool DeckModel::on_deck(double x, double z) const
{
    if (std::fabs(x) <= width_m / 2 && z >= stern_z_m && z <= bow_z_m) return true;
    double s = 0, c = 0;
    ship_to_line(x, z, &s, &c);
    return s >= 0.0 && s <= landing_length_m && std::fabs(c) <= landing_width_m / 2;
}

int DeckModel::wire_crossed(double s0, double h0, double s1, double h1) const
{
    if (!(s1 > s0)) return 0;
    for (int i = 0; i < 4; ++i) {
        const double w = wires[static_cast<size_t>(i)];
        if (w <= s0 || w > s1) continue;
        const double h = h0 + (h1 - h0) * (w - s0) / (s1 - s0);
        if (h <= pendant_height_m) return i + 1;
    }
    return 0;
}

std::optional<DeckModel> load_deck(const std::string& path, std::string* error)
{
    TiXmlDocument doc(path.c_str());
    XmlLoadFailure failure;
    if (!load_xml_document(doc, &failure)) {
        *error = path + ":" + std::to_string(failure.line) + ": " +
                 (failure.cannot_open ? "cannot open the deck file: " : "") + failure.what;
        return std::nullopt;
    }
    if (!doc.RootElement()) {
        *error = path + ":1: the deck file is empty";
        return std::nullopt;
    }
    try {
        DeckModel d = parse_deck(doc.RootElement());
        d.path = path;
        return d;
    } catch (const DeckError& e) {
        *error = path + ":" + std::to_string(e.line) + ": " + e.message;
        return std::nullopt;
    }
}

double Arrestment::payout(double t) const
{
    if (engage_speed_mps <= 0.0) return 0.0;
    const double w = engage_speed_mps / runout_m;
    return t >= stop_time() ? runout_m : runout_m * std::sin(w * t);
}

double Arrestment::speed(double t) const
{
    if (engage_speed_mps <= 0.0) return 0.0;
    const double w = engage_speed_mps / runout_m;
    return t >= stop_time() ? 0.0 : engage_speed_mps * std::cos(w * t);
}

double Arrestment::stop_time() const
{
    return engage_speed_mps <= 0.0 ? 0.0 : M_PI / 2.0 * runout_m / engage_speed_mps;
}

void world_to_ship(const ShipPose& ship, double lat, double lon, double* x, double* z)
{
    const double north = (lat - ship.lat) * WORLD_RADIUS_M;
    const double east = std::remainder(lon - ship.lon, 2.0 * M_PI) * WORLD_RADIUS_M * std::cos(0.5 * (lat + ship.lat));
    const double sh = std::sin(ship.heading), ch = std::cos(ship.heading);
    *x = east * ch - north * sh;
    *z = east * sh + north * ch;
}

void ship_to_world(const ShipPose& ship, double x, double z, double* lat, double* lon)
{
    const double sh = std::sin(ship.heading), ch = std::cos(ship.heading);
    const double east = x * ch + z * sh;
    const double north = -x * sh + z * ch;
    *lat = ship.lat + north / WORLD_RADIUS_M;
    *lon = std::remainder(ship.lon + east / (WORLD_RADIUS_M * std::cos(0.5 * (*lat + ship.lat))), 2.0 * M_PI);
}

}  // namespace host
