// Replaying a recorded flight: a CSV track of time, position, altitude,
// heading, speed, gear, hook and on-ground (recorded in any simulator) drives
// the user aircraft or a boat frame by frame. The file format is documented in
// docs/scenarios.md ("Replayed tracks").
//
// A track is read and checked whole before anything runs: every bad line gets
// "FILE:LINE: what is wrong". Between two rows every value is interpolated
// linearly (longitude and heading the short way round), except on-ground and
// the wire, which keep the earlier row's value until the next row.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/host.h"

namespace host {

// One row of a track, in the world's base units.
struct TrackSample {
    double time_s = 0.0;     // track time, seconds
    double latitude = 0.0;   // radians, north positive
    double longitude = 0.0;  // radians, east positive
    double altitude_m = 0.0;
    double heading = 0.0;    // radians, true, 0 to 2π
    double speed_mps = 0.0;  // true airspeed
    double gear_pct = 0.0;   // right main gear, 0 up, 100 down
    double hook_pct = 0.0;   // tailhook, 0 up, 100 down
    double on_ground = 0.0;  // 0 or 1
    double aoa = 0.0;        // radians (column aoa_deg; 0 when absent)
    double pitch = 0.0;      // radians (column pitch_deg)
    double bank = 0.0;       // radians (column bank_deg)
    double wire = 0.0;       // arresting wire caught, 0 none, 1 to 4 (column wire)
};

struct Track {
    std::string path;
    std::vector<TrackSample> rows;  // time strictly increasing, at least one row
    bool has_aoa = false;
    bool has_pitch = false;
    bool has_bank = false;
    bool has_wire = false;
};

// The most errors a track reader reports before it gives up.
constexpr size_t MAX_TRACK_ERRORS = 10;
// The most rows a track may hold.
constexpr size_t MAX_TRACK_ROWS = 1000000;
// The longest line of a track file, characters.
constexpr size_t MAX_TRACK_LINE = 4096;

// Reads a track from `text`; `path` names the file in the errors. On a bad
// track returns nullopt and fills `errors` with "PATH:LINE: ..." lines (at
// most MAX_TRACK_ERRORS).
std::optional<Track> parse_track(std::string_view text, const std::string& path, std::vector<std::string>* errors);
// Reads a track file (at most 256 MiB).
std::optional<Track> read_track(const std::string& path, std::vector<std::string>* errors);

// What the track says at track time `t`: before the first row the first row,
// after the last the last. `hint` (start at 0) remembers where the previous
// lookup was, so that a replay moving forward costs a step, not a search.
// The rates are those of the segment around `t` (0 outside the track).
struct TrackState {
    TrackSample at;
    double ground_speed_mps = 0.0;    // great-circle distance of the segment over its time
    double vertical_speed_mps = 0.0;
    double yaw_rate = 0.0;            // radians per second, positive to the right
};
TrackState sample_track(const Track& track, double t, size_t* hint);

// Drives one world object (the user aircraft, or a boat by its object id)
// from a track, starting at host time `start_s` with track time `track_from`
// (the first row's time unless a scenario says otherwise). After the track's
// last row the object holds that row.
class TrackReplay : public FrameObserver {
public:
    TrackReplay(std::shared_ptr<const Track> track, uint32_t object_id, double start_s, double track_from);

    // Places the object where the track says it is at the host's time now.
    void apply(Host& host);
    void world_moved(Host& host) override { apply(host); }

    bool finished() const { return finished_; }
    double track_time(double host_time_s) const { return track_from_ + (host_time_s - start_s_); }

private:
    std::shared_ptr<const Track> track_;
    uint32_t object_id_;
    double start_s_;
    double track_from_;
    size_t hint_ = 0;
    bool finished_ = false;
    bool lost_ = false;  // the object left the world
};

}  // namespace host
