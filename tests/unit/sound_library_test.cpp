// The bench's emulated sound library: loading with libsndfile (resampled to
// the track's rate), the six ordinals on the timeline, and the mixed track.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "host/panel/sound_library.h"

namespace {

namespace fs = std::filesystem;

class SoundLibraryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/carrier_sound_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        fs::create_directories(dir / "Gauges/Sounds");
    }
    void TearDown() override { fs::remove_all(dir); }

    // A sine tone file: `seconds` long at `rate` with `channels` channels.
    std::string tone(const std::string& name, int rate, int channels, double seconds, double amplitude = 0.5)
    {
        const fs::path path = dir / "Gauges/Sounds" / name;
        SF_INFO info{};
        info.samplerate = rate;
        info.channels = channels;
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
        EXPECT_NE(f, nullptr);
        const sf_count_t frames = static_cast<sf_count_t>(std::llround(seconds * rate));
        std::vector<float> data(static_cast<size_t>(frames * channels));
        for (sf_count_t i = 0; i < frames; ++i)
            for (int c = 0; c < channels; ++c)
                data[static_cast<size_t>(i * channels + c)] = static_cast<float>(amplitude * std::sin(2 * M_PI * 440.0 * i / rate));
        sf_writef_float(f, data.data(), frames);
        sf_close(f);
        return "Gauges/Sounds/" + name;
    }

    std::vector<float> read_back(const fs::path& path, SF_INFO* info)
    {
        SNDFILE* f = sf_open(path.c_str(), SFM_READ, info);
        EXPECT_NE(f, nullptr);
        std::vector<float> samples(static_cast<size_t>(info->frames));
        sf_readf_float(f, samples.data(), info->frames);
        sf_close(f);
        return samples;
    }

    static double peak(const std::vector<float>& s, double from_s, double to_s)
    {
        double p = 0.0;
        const size_t a = static_cast<size_t>(from_s * host::SoundLibraryEmulation::TRACK_RATE);
        const size_t b = std::min(s.size(), static_cast<size_t>(to_s * host::SoundLibraryEmulation::TRACK_RATE));
        for (size_t i = a; i < b; ++i) p = std::max(p, std::fabs(static_cast<double>(s[i])));
        return p;
    }

    fs::path dir;
    host::Timeline timeline;
};

}  // namespace

TEST_F(SoundLibraryTest, LoadsResampleToTheTrackRateAndFailuresYieldZeroWithTheReason)
{
    host::SoundLibraryEmulation library(timeline, dir.string());
    const SoundLibrary* table = library.activate();
    const std::string same = tone("same.wav", 16000, 1, 0.5);
    const std::string other = tone("other.wav", 22050, 2, 0.5);
    EXPECT_EQ(table->ordinal_29(), 1);
    EXPECT_EQ(table->ordinal_29(), 2);
    EXPECT_EQ(table->ordinal_30(same.c_str(), 2), 1);
    EXPECT_EQ(table->ordinal_30(other.c_str(), 2), 2);
    EXPECT_NEAR(library.duration_s(1), 0.5, 1e-9);
    EXPECT_NEAR(library.duration_s(2), 0.5, 2.0 / 16000);  // resampled from 22050 Hz stereo
    EXPECT_NEAR(peak(library.sound(2)->samples, 0.1, 0.4), 0.5, 0.02);

    std::ofstream(dir / "Gauges/Sounds/junk.wav") << "not a sound file";
    for (const char* bad : {"Gauges/Sounds/none.wav", "Gauges/Sounds/junk.wav", "", "Gauges/Sounds"})
        EXPECT_EQ(table->ordinal_30(bad, 2), 0) << bad;

    const auto events = timeline.of_kind("sound");
    ASSERT_EQ(events.size(), 8u);
    EXPECT_EQ(events[3]->data["path"], other);
    EXPECT_EQ(events[3]->data["group"], 2);
    EXPECT_EQ(events[3]->data["result"], 2);
    for (size_t i = 4; i < 8; ++i) {
        EXPECT_EQ(events[i]->data["result"], 0);
        EXPECT_FALSE(events[i]->data.value("reason", "").empty()) << i;
    }
    EXPECT_NE(events[4]->data["reason"].get<std::string>().find("no such file"), std::string::npos);
}

TEST_F(SoundLibraryTest, PlayQueryRestartStopAndReleaseAreBookedAtTheSimulationTime)
{
    host::SoundLibraryEmulation library(timeline, dir.string());
    const SoundLibrary* table = library.activate();
    const int32_t h = table->ordinal_30(tone("a.wav", 16000, 1, 1.0).c_str(), 0);
    ASSERT_EQ(h, 1);
    struct Step {
        double t;
        int ordinal;
        int32_t value;
        int32_t playing;  // what 28 answers right after
    } steps[] = {
        {0.5, 28, 0, 0}, {1.0, 33, 0, 1}, {1.9, 28, 0, 1}, {2.0, 28, 0, 0},  // played out after 1 s
        {3.0, 33, 0, 1}, {3.5, 33, 0, 1},                                   // started over at 3.5
        {4.2, 48, 0, 0},                                                    // stopped
        {5.0, 48, 1, 1},                                                    // restarted
        {5.5, 50, 0, 0},                                                    // released: stops
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.t);
        timeline.set_clock(s.t, 0);
        if (s.ordinal == 33) table->ordinal_33(h, s.value);
        if (s.ordinal == 48) table->ordinal_48(h, s.value);
        if (s.ordinal == 50) table->ordinal_50(h);
        if (s.ordinal != 50) {
            EXPECT_EQ(table->ordinal_28(h), s.playing);
        }
    }
    table->ordinal_33(h, 0);  // a released handle plays nothing, and the timeline says why
    table->ordinal_33(0, 0);
    table->ordinal_33(77, 0);
    const auto events = timeline.of_kind("sound");
    EXPECT_EQ(events[events.size() - 4]->data["action"], "released: the handle is no longer valid");
    EXPECT_EQ(events[events.size() - 3]->data["refused"], "handle was released");
    EXPECT_EQ(events[events.size() - 2]->data["refused"], "handle 0 is no sound");
    EXPECT_EQ(events.back()->data["refused"], "unknown handle");

    ASSERT_EQ(library.playbacks().size(), 4u);
    const std::vector<float> track = library.mix(6.0);
    EXPECT_EQ(track.size(), 6u * 16000);
    EXPECT_LT(peak(track, 0.0, 0.99), 1e-6);
    EXPECT_GT(peak(track, 1.0, 2.0), 0.45);
    EXPECT_LT(peak(track, 2.01, 2.99), 1e-6);
    EXPECT_GT(peak(track, 3.0, 3.5), 0.45);
    EXPECT_GT(peak(track, 3.5, 4.2), 0.45);
    EXPECT_LT(peak(track, 4.21, 4.99), 1e-6);  // cut at the stop, not played out to 4.5
    EXPECT_LT(peak(track, 5.51, 6.0), 1e-6);   // cut at the release
}

TEST_F(SoundLibraryTest, TheTrackClipsOverlapsRunsPastTheEndAndIsSilentWhenNothingPlayed)
{
    host::SoundLibraryEmulation library(timeline, dir.string());
    const SoundLibrary* table = library.activate();
    const fs::path out = dir / "audio.wav";
    std::string error;
    ASSERT_TRUE(library.write_track(out.string(), 2.5, &error)) << error;
    SF_INFO info{};
    std::vector<float> silent = read_back(out, &info);
    EXPECT_EQ(info.samplerate, 16000);
    EXPECT_EQ(info.channels, 1);
    EXPECT_EQ(info.frames, 40000);
    EXPECT_EQ(peak(silent, 0, 2.5), 0.0);

    const int32_t loud = table->ordinal_30(tone("loud.wav", 8000, 1, 1.0, 0.9).c_str(), 0);
    const int32_t also = table->ordinal_30(tone("also.wav", 8000, 1, 1.0, 0.9).c_str(), 0);
    timeline.set_clock(0.25, 0);
    table->ordinal_33(loud, 0);
    table->ordinal_33(also, 0);  // two in phase: 1.8 before clipping
    timeline.set_clock(2.0, 0);
    table->ordinal_33(loud, 0);  // plays on past the run's end
    ASSERT_TRUE(library.write_track(out.string(), 2.5, &error)) << error;
    std::vector<float> track = read_back(out, &info);
    EXPECT_EQ(info.frames, 3 * 16000);
    // Written a second at a time, the file is the whole mix, sample for sample
    // (to 16-bit resolution), across the block boundaries the sounds span.
    const std::vector<float> whole = library.mix(2.5);
    ASSERT_EQ(whole.size(), track.size());
    for (size_t i = 0; i < whole.size(); ++i) ASSERT_NEAR(track[i], whole[i], 1.0 / 16384) << "sample " << i;
    EXPECT_LT(peak(track, 0, 0.24), 1e-4);
    EXPECT_GT(peak(track, 0.25, 1.25), 0.99);
    EXPECT_LE(peak(track, 0.25, 1.25), 1.0);
    EXPECT_GT(peak(track, 2.5, 2.99), 0.85);
    EXPECT_FALSE(library.write_track((dir / "no/such/dir/a.wav").string(), 1.0, &error));
    EXPECT_NE(error.find("no/such/dir"), std::string::npos);
}

// A header's claim of length does not set the memory: samples are decoded in
// blocks, a sound longer than the limit or with nothing to decode is refused,
// and the other sounds still load.
TEST_F(SoundLibraryTest, TheDecodedDataNotTheHeaderBoundsASound)
{
    // 0.1 s of 8 channels at 48 kHz as FLAC, its STREAMINFO patched to claim
    // `claim_s` seconds (36 bits of total samples at byte 21.4).
    auto flac = [&](const std::string& name, double seconds, uint64_t claim_s) {
        const fs::path path = dir / "Gauges/Sounds" / name;
        SF_INFO info{};
        info.samplerate = 48000;
        info.channels = 8;
        info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
        SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
        EXPECT_NE(f, nullptr);
        std::vector<float> data(static_cast<size_t>(seconds * 48000) * 8, 0.25f);
        sf_writef_float(f, data.data(), static_cast<sf_count_t>(data.size() / 8));
        sf_close(f);
        if (claim_s) {
            std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
            unsigned char bytes[8];
            file.seekg(18);
            file.read(reinterpret_cast<char*>(bytes), 8);
            uint64_t word = 0;
            for (unsigned char b : bytes) word = word << 8 | b;
            word = (word & ~((uint64_t{1} << 36) - 1)) | (claim_s * 48000);
            for (int i = 7; i >= 0; --i, word >>= 8) bytes[i] = static_cast<unsigned char>(word & 0xFF);
            file.seekp(18);
            file.write(reinterpret_cast<const char*>(bytes), 8);
        }
        return "Gauges/Sounds/" + name;
    };
    const std::string claims = flac("claims.flac", 0.1, 600);  // 921 MB of floats if believed
    const std::string empty = tone("empty.wav", 16000, 1, 0.0);
    const std::string too_long = tone("long.wav", 8000, 1, host::MAX_SOUND_SECONDS + 1.0);
    const std::string good = tone("good.wav", 16000, 1, 0.25);

    host::SoundLibraryEmulation library(timeline, dir.string());
    const SoundLibrary* table = library.activate();
    struct rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    const int32_t handle = table->ordinal_30(claims.c_str(), 1);
    getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 100 * 1024) << "KB of peak memory for a 0.1 s sound";
    ASSERT_EQ(handle, 1);
    EXPECT_NEAR(library.duration_s(handle), 0.1, 0.01);
    EXPECT_NEAR(peak(library.sound(handle)->samples, 0.02, 0.08), 0.25, 0.01);

    EXPECT_EQ(table->ordinal_30(empty.c_str(), 1), 0);
    EXPECT_EQ(table->ordinal_30(too_long.c_str(), 1), 0);
    EXPECT_EQ(table->ordinal_30(good.c_str(), 1), 2);
    const auto events = timeline.of_kind("sound");
    ASSERT_EQ(events.size(), 4u);
    EXPECT_NE(events[1]->data.value("reason", "").find("not a usable sound (no samples)"), std::string::npos)
        << events[1]->data.dump();
    EXPECT_NE(events[2]->data.value("reason", "").find("longer than 120 s"), std::string::npos) << events[2]->data.dump();
}
