// Loading the officer's sounds through the sound library: one batch per
// load_sounds, the slots in their order, "none" and unknown languages.
#include <gtest/gtest.h>

#include <fstream>

#include "landing_fixture.h"
#include "scratch_root.h"

namespace {

class SoundChannel : public ScratchRootTest {
protected:
    void SetUp() override
    {
        ScratchRootTest::SetUp();
        FakeSoundLibrary::current = &library;
        hooks.sound_library = [this]() -> const SoundLibrary* { return present ? &FakeSoundLibrary::table : nullptr; };
        moduleState = get_or_create_module_state();
        if (!moduleState->carrier) create_state_records(moduleState);
        savedCarrier = *moduleState->carrier;
        savedSounds = *moduleState->sounds;
        for (int i = 0; i < SOUND_SLOT_COUNT; ++i) soundSlots[i] = 50 + i;  // a previous carrier's sounds
        std::ofstream(root / "Gauges/ZEB_Parameters.xml") << R"(<Parameters/>
<SoundFileList>
  <SoundFiles Language="English" Wire1="w1.wav" Wire2="w2.wav" Wire3="w3.wav" Wire4="missing.wav"
      TooHigh="high.wav" TooLow="none" LineUp="" CallBall="ball.wav" WaveOff="wave.wav"
      Wire1_msg="m1" Wire2_msg="m2" Wire3_msg="m3" Wire4_msg="m4" TooHigh_msg="mh" TooLow_msg="ml"
      LineUp_msg="mu" CallBall_msg="mb" WaveOff_msg="mw"/>
  <Full Language="Full" Wire1="1" Wire2="2" Wire3="3" Wire4="4" TooHigh="5" TooLow="6" LineUp="7" CallBall="8"
      WaveOff="9"/>
</SoundFileList>)";
    }
    void TearDown() override
    {
        FakeSoundLibrary::current = nullptr;
        *moduleState->carrier = savedCarrier;
        *moduleState->sounds = savedSounds;
        for (int32_t& slot : soundSlots) slot = 0;
        ScratchRootTest::TearDown();
    }
    std::vector<int32_t> slots() const { return std::vector<int32_t>(soundSlots, soundSlots + SOUND_SLOT_COUNT); }

    FakeSoundLibrary library;
    bool present = true;
    CarrierEntry savedCarrier;
    SoundList savedSounds;
};

}  // namespace

TEST_F(SoundChannel, OneBatchLoadsTheSlotsInTheirOrderAndNoneStaysSilent)
{
    moduleState->carrier->Language = "English";
    load_sounds();
    ASSERT_EQ(library.of(29).size(), 1u);
    std::vector<std::string> paths;
    for (const auto& c : library.of(30)) {
        EXPECT_EQ(c.a, 7) << "the batch's group";
        paths.push_back(c.path);
    }
    // TooLow is "none": not loaded. The empty LineUp path is passed on.
    EXPECT_EQ(paths, (std::vector<std::string>{"w1.wav", "w2.wav", "w3.wav", "missing.wav", "ball.wav", "high.wav",
                                               "", "wave.wav"}));
    // Handles in load order; the missing file's 0, TooLow's 0.
    EXPECT_EQ(slots(), (std::vector<int32_t>{101, 102, 103, 0, 104, 105, 0, 106, 107}));
    EXPECT_EQ(moduleState->sounds->CallBall_msg, "mb");

    moduleState->carrier->Language = "Full";
    library.calls.clear();
    load_sounds();  // every reload is a batch of its own
    ASSERT_EQ(library.of(29).size(), 1u);
    std::string order;
    for (const auto& c : library.of(30)) {
        EXPECT_EQ(c.a, 8);
        order += c.path;
    }
    EXPECT_EQ(order, "123485679");  // Wire1..4, CallBall, TooHigh, TooLow, LineUp, WaveOff
    EXPECT_EQ(slots(), (std::vector<int32_t>{108, 109, 110, 111, 112, 113, 114, 115, 116}));
    EXPECT_TRUE(library.of(50).empty());  // previous handles are not released
}

TEST_F(SoundChannel, ALanguageWithoutAListKeepsThePreviousSoundsAndReadsNone)
{
    moduleState->carrier->Language = "english";  // no list: the match is exact
    load_sounds();
    EXPECT_TRUE(library.calls.empty());
    EXPECT_EQ(slots(), (std::vector<int32_t>{50, 51, 52, 53, 54, 55, 56, 57, 58}));
    EXPECT_EQ(moduleState->sounds->WaveOff_msg, "none");
    EXPECT_EQ(moduleState->sounds->Wire1, "none");
}

TEST_F(SoundChannel, AFileWithoutSoundListsLoadsNothing)
{
    std::ofstream(root / "Gauges/ZEB_Parameters.xml") << "<Parameters/>";
    moduleState->carrier->Language = "English";
    load_sounds();
    EXPECT_TRUE(library.calls.empty());
    EXPECT_EQ(errorLines, std::vector<std::string>{"no node found"});
    EXPECT_EQ(slots()[0], 50);
}

TEST_F(SoundChannel, WithoutTheLibraryTheSoundsAreSilentAndNothingElseChanges)
{
    present = false;
    moduleState->carrier->Language = "English";
    load_sounds();
    play_sound_slot(SOUND_CALL_BALL);
    EXPECT_TRUE(library.calls.empty());
    EXPECT_EQ(moduleState->sounds->CallBall_msg, "mb");  // the texts are still read
    EXPECT_EQ(load_sound_slot(SOUND_WIRE1, "w1.wav", 3), 0);
}

TEST_F(SoundChannel, PlayingUsesOrdinal33WithTheHandleAndZeroAndSkipsEmptySlots)
{
    soundSlots[SOUND_LINE_UP] = 0;
    play_sound_slot(SOUND_LINE_UP);
    play_sound_slot(SOUND_TOO_HIGH);
    ASSERT_EQ(library.calls.size(), 1u);
    EXPECT_EQ(library.calls[0].ordinal, 33);
    EXPECT_EQ(library.calls[0].a, 55);
    EXPECT_EQ(library.calls[0].b, 0);
    EXPECT_EQ(load_sound_slot(SOUND_WAVE_OFF, "none", 3), 0);
    EXPECT_EQ(library.calls.size(), 1u);  // "none" does not reach the library
    EXPECT_EQ(load_sound_slot(SOUND_WAVE_OFF, "None", 3), 101);  // case-sensitive
}
