// The emulated external sound library ("pax_sound_gauge"), reached by the
// module through six ordinals, and the run's audio track.
//
// Ordinals, as this host gives them meaning:
//   29 ()                  opens a load group: returns a new group number 1, 2, ...
//   30 (path, group)       loads a sound file (path relative to the simulator
//                          root, as the configuration writes it; any format
//                          libsndfile reads, mixed down to mono and resampled
//                          to the track's rate). Returns a new handle 1, 2, ...
//                          or 0 for a missing or unreadable file (the reason
//                          goes on the timeline). Group 0 means no group.
//   33 (handle, value)     plays the sound from its start at the current
//                          simulation time; a sound already playing starts over.
//   28 (handle)            1 while the sound is playing, else 0.
//   48 (handle, value)     value 1: stops the sound and plays it again from its
//                          start; any other value: stops it.
//   50 (handle)            releases the handle: its sound stops, the timeline
//                          says so, and later calls with it are refused (and
//                          recorded as refused).
// Every call goes on the timeline as a "sound" event with its arguments and
// result. Handle 0 and unknown handles play nothing.
//
// The audio track mixes every played sound in at the simulation time it
// started (cut where it was stopped or started over), at one sample rate,
// and clips the sum to full scale before it is written as 16-bit PCM WAV.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/record/timeline.h"
#include "platform/process.h"

namespace host {

class SoundLibraryEmulation {
public:
    static constexpr int TRACK_RATE = 16000;  // samples per second of the track and of every loaded sound

    // `root` is the directory relative paths are opened from (the simulator
    // root); empty: the working directory.
    SoundLibraryEmulation(Timeline& timeline, std::string root);
    ~SoundLibraryEmulation();
    SoundLibraryEmulation(const SoundLibraryEmulation&) = delete;
    SoundLibraryEmulation& operator=(const SoundLibraryEmulation&) = delete;

    // Makes this library the one the C table acts on, and returns the table.
    const SoundLibrary* activate();
    // The library the C table acts on (null when none).
    static SoundLibraryEmulation* active();

    // The six ordinals.
    int32_t is_playing(int32_t handle);                  // 28
    int32_t open_group();                                // 29
    int32_t load(const char* path, int32_t group);       // 30
    void play(int32_t handle, int32_t value);            // 33
    void restart_or_stop(int32_t handle, int32_t value); // 48
    void release(int32_t handle);                        // 50

    struct Sound {
        std::string path;
        int32_t group = 0;
        std::vector<float> samples;  // mono, TRACK_RATE (none when only lengths are kept)
        size_t length = 0;           // samples at TRACK_RATE
        bool released = false;
    };
    struct Playback {
        int32_t handle;
        double start_s;       // simulation time it started
        double stop_s = -1;   // when it was stopped or started over; -1: played out
    };

    // Keeps only each loaded sound's length, not its samples: the module sees
    // the same handles and playing times, the audio track stays silent, and a
    // file is decoded and resampled once per process, not at each load (runs
    // that write no audio, e.g. a sweep's, whose parent reads them ahead).
    void set_lengths_only(bool on) { lengths_only_ = on; }

    const std::vector<Playback>& playbacks() const { return playbacks_; }
    const Sound* sound(int32_t handle) const;
    double duration_s(int32_t handle) const;

    // Samples in the track: at least `length_s` long, longer when a sound plays past it.
    size_t track_length(double length_s) const;
    // Mixes samples [first, first + out.size()) of the track into `out`,
    // clipped to [-1, 1] (NaN to silence).
    bool mix_range(size_t first, std::vector<float>& out) const;  // false: nothing plays in it (all zeros)
    // The whole track (tests; write_track mixes in blocks, so memory does not
    // grow with the run's length).
    std::vector<float> mix(double length_s) const;
    // Writes the mixed track as mono 16-bit WAV. False with `error`.
    bool write_track(const std::string& path, double length_s, std::string* error) const;

private:
    Sound* usable(int32_t handle, int ordinal, nlohmann::json& record);
    void stop_running(int32_t handle, double now_s);
    double now() const { return timeline_.time(); }
    bool lengths_only_ = false;

    Timeline& timeline_;
    std::string root_;
    std::vector<Sound> sounds_;  // handle h is sounds_[h - 1]
    std::vector<Playback> playbacks_;
    int32_t groups_ = 0;
};

// Reads a sound file as mono samples at `rate` (mixing channels down and
// resampling when the file differs). False with `error` naming the file.
bool read_sound_file(const std::string& path, int rate, std::vector<float>* samples, std::string* error);
// The number of samples read_sound_file gives for the file, remembered by
// the process after the first time (a process forked later inherits it);
// false with `error` when the file is not a usable sound.
bool read_sound_length(const std::string& path, int rate, size_t* length, std::string* error);
// Reads the lengths of every sound file under `dir` (wav, ogg, flac) ahead.
void preload_sound_lengths(const std::string& dir, int rate);

}  // namespace host
