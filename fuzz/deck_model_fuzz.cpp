// Fuzzing the deck model reader: arbitrary bytes as a deck file. Every input
// ends in a deck or in a "FILE:LINE: ..." error; a deck that loads has finite
// dimensions, and its geometry gives finite answers.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz_support.h"
#include "host/world/deck.h"

namespace {

void require(bool condition, const char* what)
{
    if (condition) return;
    std::fprintf(stderr, "deck_model: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::write_file("deck.xml", data, size);
    const std::string path = (fuzz::scratch_root() / "deck.xml").string();
    std::string error;
    const auto deck = host::load_deck(path, &error);
    if (!deck) {
        require(error.rfind(path + ":", 0) == 0, "a refusal that does not name the file and line");
        return 0;
    }
    const host::DeckModel& d = *deck;
    for (double v : {d.height_m, d.bow_z_m, d.stern_z_m, d.width_m, d.landing_angle_deg, d.ramp_x_m, d.ramp_z_m,
                     d.landing_length_m, d.landing_width_m, d.touchdown_m, d.runout_m, d.pendant_height_m})
        require(std::isfinite(v), "a dimension that is not finite");
    for (double w : d.wires) require(std::isfinite(w), "a wire position that is not finite");
    require(d.catapult_count >= 0 && d.catapult_count <= 4, "a catapult count outside 0 to 4");
    for (int i = 0; i < d.catapult_count; ++i) {
        const host::DeckCatapult& c = d.catapults[static_cast<size_t>(i)];
        require(std::isfinite(c.x_m) && std::isfinite(c.z_m) && std::isfinite(c.heading_deg) && std::isfinite(c.stroke_m),
                "a catapult that is not finite");
        require(d.catapult(c.number) != nullptr, "a catapult that cannot be found by its number");
    }
    // The geometry over the deck: line and ship frames agree, answers finite.
    for (double s : {-50.0, 0.0, d.touchdown_m, d.landing_length_m}) {
        double x = 0.0, z = 0.0, s2 = 0.0, c2 = 0.0;
        d.line_to_ship(s, 3.0, &x, &z);
        d.ship_to_line(x, z, &s2, &c2);
        require(std::isfinite(x) && std::isfinite(z) && std::fabs(s2 - s) < 1e-6 && std::fabs(c2 - 3.0) < 1e-6,
                "the landing line and the ship's frame disagree");
        (void)d.on_deck(x, z);
    }
    const int wire = d.wire_crossed(0.0, 0.0, d.landing_length_m, 0.0);
    require(wire >= 0 && wire <= 4, "a wire number outside 0 to 4");
    host::Arrestment a;
    a.engage_speed_mps = 60.0;
    a.runout_m = d.runout_m;
    require(std::isfinite(a.stop_time()) && std::isfinite(a.payout(0.5)) && std::isfinite(a.speed(0.5)),
            "an arrestment on this deck that is not finite");
    return 0;
}
