// The emulated sound library: the C table of ordinals, loading with
// libsndfile (resampling with libsamplerate), playback bookkeeping and the
// mixed audio track.
#include "host/panel/sound_library.h"

#include <samplerate.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <filesystem>

namespace host {
namespace {
SoundLibraryEmulation* activeLibrary = nullptr;

// C entry points of the table: each acts on the active library; with none
// they do nothing and answer 0.
int32_t ordinal_28(int32_t sound) { return activeLibrary ? activeLibrary->is_playing(sound) : 0; }
int32_t ordinal_29() { return activeLibrary ? activeLibrary->open_group() : 0; }
int32_t ordinal_30(const char* path, int32_t group) { return activeLibrary ? activeLibrary->load(path, group) : 0; }
void ordinal_33(int32_t sound, int32_t value)
{
    if (activeLibrary) activeLibrary->play(sound, value);
}
void ordinal_48(int32_t sound, int32_t value)
{
    if (activeLibrary) activeLibrary->restart_or_stop(sound, value);
}
void ordinal_50(int32_t sound)
{
    if (activeLibrary) activeLibrary->release(sound);
}

const SoundLibrary table = {ordinal_28, ordinal_29, ordinal_30, ordinal_33, ordinal_48, ordinal_50};
}  // namespace

bool read_sound_file(const std::string& path, int rate, std::vector<float>* samples, std::string* error)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) {
        *error = path + ": " + sf_strerror(nullptr);
        return false;
    }
    if (info.channels < 1 || info.samplerate < 1 || info.frames < 0 ||
        info.frames > static_cast<sf_count_t>(600) * info.samplerate) {
        sf_close(file);
        *error = path + ": not a usable sound (channels, rate or length out of range, at most 600 s)";
        return false;
    }
    std::vector<float> interleaved(static_cast<size_t>(info.frames) * static_cast<size_t>(info.channels));
    const sf_count_t got = sf_readf_float(file, interleaved.data(), info.frames);
    sf_close(file);
    if (got < 0) {
        *error = path + ": cannot decode the samples";
        return false;
    }
    std::vector<float> mono(static_cast<size_t>(got));
    for (sf_count_t i = 0; i < got; ++i) {
        float sum = 0.0f;
        for (int c = 0; c < info.channels; ++c) sum += interleaved[static_cast<size_t>(i * info.channels + c)];
        mono[static_cast<size_t>(i)] = sum / static_cast<float>(info.channels);
    }
    if (info.samplerate == rate || mono.empty()) {
        *samples = std::move(mono);
        return true;
    }
    const double ratio = static_cast<double>(rate) / info.samplerate;
    std::vector<float> out(static_cast<size_t>(std::ceil(mono.size() * ratio)) + 16);
    SRC_DATA data{};
    data.data_in = mono.data();
    data.input_frames = static_cast<long>(mono.size());
    data.data_out = out.data();
    data.output_frames = static_cast<long>(out.size());
    data.src_ratio = ratio;
    const int result = src_simple(&data, SRC_SINC_MEDIUM_QUALITY, 1);
    if (result != 0) {
        *error = path + ": cannot resample: " + src_strerror(result);
        return false;
    }
    out.resize(static_cast<size_t>(data.output_frames_gen));
    *samples = std::move(out);
    return true;
}

bool read_sound_length(const std::string& path, int rate, size_t* length, std::string* error)
{
    // The resampler's output length is not a formula of the input's (it is
    // one sample off rounding for some lengths): the file is decoded once and
    // its length kept, by path, size and modification time.
    struct Known {
        int rate;
        uintmax_t size;
        std::filesystem::file_time_type modified;
        size_t length;
    };
    static std::map<std::string, Known> known;
    std::error_code ec;
    const std::string key = std::filesystem::canonical(path, ec).string();  // one file by any of its paths
    const uintmax_t size = std::filesystem::file_size(path, ec);
    const auto modified = std::filesystem::last_write_time(path, ec);
    auto it = known.find(key);
    if (!ec && it != known.end() && it->second.rate == rate && it->second.size == size && it->second.modified == modified) {
        *length = it->second.length;
        return true;
    }
    std::vector<float> samples;
    if (!read_sound_file(path, rate, &samples, error)) return false;
    *length = samples.size();
    if (!ec) known[key] = Known{rate, size, modified, *length};
    return true;
}

void preload_sound_lengths(const std::string& dir, int rate)
{
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(dir, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        const std::string ext = it->path().extension().string();
        if (ext != ".wav" && ext != ".WAV" && ext != ".ogg" && ext != ".flac") continue;
        size_t length = 0;
        std::string error;
        read_sound_length(it->path().string(), rate, &length, &error);
    }
}

SoundLibraryEmulation::SoundLibraryEmulation(Timeline& timeline, std::string root)
    : timeline_(timeline), root_(std::move(root))
{
}

SoundLibraryEmulation::~SoundLibraryEmulation()
{
    if (activeLibrary == this) activeLibrary = nullptr;
}

const SoundLibrary* SoundLibraryEmulation::activate()
{
    activeLibrary = this;
    return &table;
}

SoundLibraryEmulation* SoundLibraryEmulation::active() { return activeLibrary; }

const SoundLibraryEmulation::Sound* SoundLibraryEmulation::sound(int32_t handle) const
{
    if (handle < 1 || handle > static_cast<int32_t>(sounds_.size())) return nullptr;
    return &sounds_[static_cast<size_t>(handle - 1)];
}

double SoundLibraryEmulation::duration_s(int32_t handle) const
{
    const Sound* s = sound(handle);
    return s ? static_cast<double>(s->length) / TRACK_RATE : 0.0;
}

// The sound of a handle the caller may use, or null with the reason in `record`.
SoundLibraryEmulation::Sound* SoundLibraryEmulation::usable(int32_t handle, int ordinal, nlohmann::json& record)
{
    if (handle < 1 || handle > static_cast<int32_t>(sounds_.size())) {
        record["refused"] = handle == 0 ? "handle 0 is no sound" : "unknown handle";
        return nullptr;
    }
    Sound& s = sounds_[static_cast<size_t>(handle - 1)];
    if (s.released) {
        record["refused"] = "handle was released";
        return nullptr;
    }
    record["path"] = s.path;
    return &s;
}

void SoundLibraryEmulation::stop_running(int32_t handle, double now_s)
{
    for (Playback& p : playbacks_)
        if (p.handle == handle && p.stop_s < 0 && p.start_s + duration_s(handle) > now_s) p.stop_s = now_s;
}

int32_t SoundLibraryEmulation::is_playing(int32_t handle)
{
    nlohmann::json record = {{"ordinal", 28}, {"handle", handle}};
    int32_t result = 0;
    if (usable(handle, 28, record)) {
        const double t = now();
        for (const Playback& p : playbacks_)
            if (p.handle == handle && p.stop_s < 0 && p.start_s <= t && t < p.start_s + duration_s(handle)) result = 1;
    }
    record["result"] = result;
    timeline_.add("sound", std::move(record));
    return result;
}

int32_t SoundLibraryEmulation::open_group()
{
    const int32_t group = ++groups_;
    timeline_.add("sound", {{"ordinal", 29}, {"result", group}});
    return group;
}

int32_t SoundLibraryEmulation::load(const char* path, int32_t group)
{
    nlohmann::json record = {{"ordinal", 30}, {"path", path ? nlohmann::json(path) : nlohmann::json(nullptr)},
                             {"group", group}};
    std::string reason;
    std::vector<float> samples;
    size_t length = 0;
    if (!path) {
        reason = "no path";
    } else if (*path == '\0') {
        reason = "empty path";
    } else {
        std::filesystem::path file(path);
        if (file.is_relative() && !root_.empty()) file = std::filesystem::path(root_) / file;
        std::error_code ec;
        if (!std::filesystem::is_regular_file(file, ec)) reason = "no such file: " + file.string();
        else if (lengths_only_) read_sound_length(file.string(), TRACK_RATE, &length, &reason);
        else if (read_sound_file(file.string(), TRACK_RATE, &samples, &reason)) length = samples.size();
    }
    int32_t handle = 0;
    if (reason.empty()) {
        sounds_.push_back(Sound{path, group, std::move(samples), length, false});
        handle = static_cast<int32_t>(sounds_.size());
        record["seconds"] = duration_s(handle);
    } else {
        record["reason"] = reason;
    }
    record["result"] = handle;
    timeline_.add("sound", std::move(record));
    return handle;
}

void SoundLibraryEmulation::play(int32_t handle, int32_t value)
{
    nlohmann::json record = {{"ordinal", 33}, {"handle", handle}, {"value", value}};
    if (usable(handle, 33, record)) {
        stop_running(handle, now());
        playbacks_.push_back(Playback{handle, now()});
        record["seconds"] = duration_s(handle);
    }
    timeline_.add("sound", std::move(record));
}

void SoundLibraryEmulation::restart_or_stop(int32_t handle, int32_t value)
{
    nlohmann::json record = {{"ordinal", 48}, {"handle", handle}, {"value", value}};
    if (usable(handle, 48, record)) {
        stop_running(handle, now());
        if (value == 1) playbacks_.push_back(Playback{handle, now()});
        record["action"] = value == 1 ? "restart" : "stop";
    }
    timeline_.add("sound", std::move(record));
}

void SoundLibraryEmulation::release(int32_t handle)
{
    nlohmann::json record = {{"ordinal", 50}, {"handle", handle}};
    if (Sound* s = usable(handle, 50, record)) {
        stop_running(handle, now());
        s->released = true;
        record["action"] = "released: the handle is no longer valid";
    }
    timeline_.add("sound", std::move(record));
}

size_t SoundLibraryEmulation::track_length(double length_s) const
{
    size_t length = static_cast<size_t>(std::llround(std::max(0.0, length_s) * TRACK_RATE));
    for (const Playback& p : playbacks_) {
        const size_t start = static_cast<size_t>(std::llround(p.start_s * TRACK_RATE));
        length = std::max(length, start + sound(p.handle)->samples.size());
    }
    return length;
}

bool SoundLibraryEmulation::mix_range(size_t first, std::vector<float>& out) const
{
    std::fill(out.begin(), out.end(), 0.0f);
    const size_t last = first + out.size();
    bool mixed = false;
    for (const Playback& p : playbacks_) {
        const std::vector<float>& samples = sound(p.handle)->samples;
        const size_t start = static_cast<size_t>(std::llround(p.start_s * TRACK_RATE));
        size_t count = samples.size();
        if (p.stop_s >= 0)
            count = std::min(count, static_cast<size_t>(std::llround(std::max(0.0, p.stop_s - p.start_s) * TRACK_RATE)));
        const size_t from = std::max(start, first), to = std::min(start + count, last);
        if (from < to) mixed = true;
        for (size_t i = from; i < to; ++i) out[i - first] += samples[i - start];
    }
    if (!mixed) return false;
    // Overlapping calls can sum past full scale; clip (NaN to silence) so the
    // 16-bit conversion never overflows.
    for (float& s : out) s = std::isnan(s) ? 0.0f : std::clamp(s, -1.0f, 1.0f);
    return true;
}

std::vector<float> SoundLibraryEmulation::mix(double length_s) const
{
    std::vector<float> track(track_length(length_s), 0.0f);
    mix_range(0, track);
    return track;
}

bool SoundLibraryEmulation::write_track(const std::string& path, double length_s, std::string* error) const
{
    SF_INFO info{};
    info.samplerate = TRACK_RATE;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) {
        *error = "cannot write " + path + ": " + sf_strerror(nullptr);
        return false;
    }
    // Clipped by mix_range; libsndfile scales floats in [-1, 1] to full 16-bit scale.
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    // One second at a time: memory stays the same however long the run was.
    const size_t length = track_length(length_s);
    // A second in which nothing plays is written as 16-bit zeros, without the
    // float conversion (the same bytes).
    std::vector<float> block(TRACK_RATE);
    const std::vector<short> silence(TRACK_RATE, 0);
    bool ok = true;
    for (size_t first = 0; first < length && ok; first += block.size()) {
        block.resize(std::min<size_t>(TRACK_RATE, length - first));
        const sf_count_t count = static_cast<sf_count_t>(block.size());
        if (mix_range(first, block))
            ok = sf_writef_float(file, block.data(), count) == count;
        else
            ok = sf_writef_short(file, silence.data(), count) == count;
    }
    sf_close(file);
    if (!ok) {
        *error = "error while writing " + path;
        return false;
    }
    return true;
}

}  // namespace host
