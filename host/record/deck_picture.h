// The deck from above: DIR/deck.svg and DIR/deck.png, in the ship's own frame
// (X to starboard, Z towards the bow, metres from the ship's reference
// point), drawn from the deck model and the carrier list. They show the deck
// outline, the landing area with its centre line, the wires and the
// catapults; the carrier list's aim point, TACAN antenna and helicopter
// station converted from the entry's offsets; the flown track over the deck
// with touchdown, the wire caught and the stop; a scale and north. Ashore the
// picture is the runway in the site's frame (origin at the aim point, Z along
// the runway) with the lens and the aim point.
//
// An aim point off the landing area, or a TACAN antenna off the ship, is
// flagged in the picture; `check_offsets` gives the same findings to `lint`.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/host.h"
#include "host/world/deck.h"

namespace host {

// One entry of the carrier list, as the picture and the offset check read it.
struct CarrierPoints {
    std::string name;
    std::string sim_name;  // type 1: the ship's title
    int type = 0;          // 1 ship, 2 fixed site
    int line = 0;
    // Type 1, the ship's frame, metres.
    double ils_x = 0, ils_y = 0, ils_z = 0;
    double tcn_x = 0, tcn_y = 0, tcn_z = 0;
    double helo_bearing_deg = 0, helo_distance_m = 0;
    bool has_helo = false;  // Sim_Name_Helo other than "none"
    double runway_angle_deg = 0;
    // Type 2, degrees (east positive) and feet.
    double lat_deg = 0, lon_deg = 0, alt_ft = 0, runway_heading_deg = 0;
    double lens_lat_deg = 0, lens_lon_deg = 0;
    bool has_lens = false;  // FLOLS_Name other than "none"
};

// Reads every entry of a carrier list. Numbers outside plausible ranges
// (offsets beyond 2 km, angles beyond a turn) are left at 0 and named in
// `error` as "FILE:LINE: ..."; nullopt when the file cannot be read.
std::optional<std::vector<CarrierPoints>> read_carrier_points(const std::string& path, std::string* error);

// The ILS aim point's and the helicopter station's places in the ship's frame.
void helo_station(const CarrierPoints& entry, double* x, double* z);

// What is wrong with an entry's offsets on this deck: "the ILS aim point
// (X, Z) is off the landing area ..." and "the TACAN antenna (X, Z) is off
// the ship ...". Empty when both are where they belong.
std::vector<std::string> check_offsets(const DeckModel& deck, const CarrierPoints& entry);

// One frame of the flown aircraft in the frame of the deck it flies to.
struct TrackSample {
    float x, z;      // metres
    float t;         // seconds
    uint8_t on_ground;
    uint8_t wire;    // caught, 0 none
    uint8_t phase;   // FlightPhase
};

// Records the flown aircraft in its deck's frame every frame. The samples are
// reserved for the run's frames at `reserve`; past them nothing more is kept,
// so a frame never allocates.
class DeckTrack : public FrameObserver {
public:
    void reserve(int64_t frames);
    void frame_done(Host& host) override;

    const std::vector<TrackSample>& samples() const { return samples_; }
    // The deck of the last frame (a copy: the picture is drawn after the run).
    bool have_deck() const { return have_deck_; }
    const DeckModel& deck() const { return deck_; }
    bool ashore() const { return ashore_; }
    uint32_t boat_id() const { return boat_id_; }
    double heading_rad() const { return heading_; }  // the ship's (or runway's) true heading, last frame
    const ShipPose& pose() const { return pose_; }

private:
    std::vector<TrackSample> samples_;
    size_t capacity_ = 0;
    bool have_deck_ = false;
    bool ashore_ = false;
    uint32_t boat_id_ = 0;
    const DeckModel* deck_seen_ = nullptr;
    DeckModel deck_;
    ShipPose pose_;
    double heading_ = 0.0;
};

// Where on the track the story's moments are (indices in the samples, -1 none).
struct TrackMoments {
    long touchdown = -1;
    long wire = -1;
    int wire_number = 0;
    long stop = -1;
};
TrackMoments find_moments(const std::vector<TrackSample>& track);

struct DeckPicture {
    std::string title;
    DeckModel deck;
    bool ashore = false;
    std::optional<CarrierPoints> entry;  // the carrier list's entry of this ship or site
    double lens_x = 0, lens_z = 0;       // ashore: the lens in the site's frame
    bool have_lens = false;
    double heading_rad = 0.0;            // true heading of the frame's Z axis
    std::vector<TrackSample> track;
    std::vector<std::string> flags;      // offsets in the wrong place
};

// Draws the picture into `svg_path` and `png_path` (1000 x 900 pixels).
bool draw_deck_picture(const DeckPicture& picture, const std::string& svg_path, const std::string& png_path,
                       std::string* error);

// After a run: the picture of the deck `track` followed, with the entry of
// SIM_ROOT/Gauges/ZEB_Carrier.xml that names its ship (or site), drawn into
// DIR/deck.svg and DIR/deck.png. False with `error` when nothing was flown to
// a deck (no picture is drawn then) or a file cannot be written.
bool write_deck_picture(Host& host, const DeckTrack& track, const std::string& sim_root, const std::string& dir,
                        const std::string& title, std::string* error);

}  // namespace host
