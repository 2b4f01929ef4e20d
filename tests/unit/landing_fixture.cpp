#include "landing_fixture.h"

FakeSoundLibrary* FakeSoundLibrary::current = nullptr;

namespace {
int32_t fake_28(int32_t s)
{
    FakeSoundLibrary::current->calls.push_back({28, "", s, 0});
    return FakeSoundLibrary::current->playing;
}
int32_t fake_29()
{
    FakeSoundLibrary& f = *FakeSoundLibrary::current;
    f.calls.push_back({29, "", 0, 0});
    return f.nextGroup++;
}
int32_t fake_30(const char* path, int32_t group)
{
    FakeSoundLibrary& f = *FakeSoundLibrary::current;
    f.calls.push_back({30, path, group, 0});
    return std::string(path).find("missing") != std::string::npos ? 0 : f.nextHandle++;
}
void fake_33(int32_t s, int32_t v) { FakeSoundLibrary::current->calls.push_back({33, "", s, v}); }
void fake_48(int32_t s, int32_t v) { FakeSoundLibrary::current->calls.push_back({48, "", s, v}); }
void fake_50(int32_t s) { FakeSoundLibrary::current->calls.push_back({50, "", s, 0}); }
}  // namespace

const SoundLibrary FakeSoundLibrary::table = {fake_28, fake_29, fake_30, fake_33, fake_48, fake_50};

// Every value the landing aids keep, back to its start value.
static void reset_landing_values()
{
    flolsValid = waveOffCheckDone = waveOffLightOn = powerLightOn = 0;
    lsoOn = lsoActive = callBallDone = wireReported = 0;
    for (int i = 0; i < 3; ++i) altitudeCheckDone[i] = lineUpCheckDone[i] = 0;
    flightDeckState = 0;
    for (int32_t& slot : soundSlots) slot = 0;
    approachSolution = ApproachSolution{};
}

void LandingTest::SetUp()
{
    host.install_services(&ImportTable);
    ASSERT_EQ(SimConnect_Open(&simConnectHandle, "Carrier ZEB Gauge", nullptr, 0, nullptr, 0), S_OK);
    panels = new FakePanels;  // replaces the host's panel table; the SimConnect server stays
    FakeSoundLibrary::current = &sounds;
    hooks.sound_library = [] { return &FakeSoundLibrary::table; };
    host::set_process_hooks(&hooks);

    moduleState = get_or_create_module_state();
    if (!moduleState->carrier) create_state_records(moduleState);
    savedCarrier = *moduleState->carrier;
    savedLights = *moduleState->lights;
    savedLso = *moduleState->lso;
    savedSounds = *moduleState->sounds;
    savedUser = *moduleState->userAircraft;
    reset_landing_values();

    LightParameters& l = *moduleState->lights;
    l = LightParameters{0.75, 1.0, -1.0, 1.5, -1.5, 1.0, 0.8, -0.6, 1.0, 4.0, 3.0};
    LsoParameters& o = *moduleState->lso;
    o = LsoParameters{0.75, 0.6, 0.55, 0.45, 0.4, 0.25, 0.2, 0.5, -0.5, 1.0, 9.5};
    SoundList& s = *moduleState->sounds;
    s.Wire1_msg = "w1", s.Wire2_msg = "w2", s.Wire3_msg = "w3", s.Wire4_msg = "w4";
    s.TooHigh_msg = "high", s.TooLow_msg = "low", s.LineUp_msg = "lineup", s.CallBall_msg = "ball";
    s.WaveOff_msg = "waveoff";
    for (int i = 0; i < SOUND_SLOT_COUNT; ++i) soundSlots[i] = 11 + i;  // slot n holds handle 10 + n
}

void LandingTest::TearDown()
{
    host::set_process_hooks(nullptr);
    FakeSoundLibrary::current = nullptr;
    delete panels;
    SimConnect_Close(simConnectHandle);
    simConnectHandle = nullptr;
    *moduleState->carrier = savedCarrier;
    *moduleState->lights = savedLights;
    *moduleState->lso = savedLso;
    *moduleState->sounds = savedSounds;
    *moduleState->userAircraft = savedUser;
    reset_landing_values();
}

void LandingTest::deliver()
{
    while (delivered < panels->keyEvents.size()) {
        const FakePanels::KeyEvent e = panels->keyEvents[delivered++];
        handle_command_event(e.id, e.value, nullptr);
    }
}

std::vector<std::string> LandingTest::executed_with(const std::string& part) const
{
    std::vector<std::string> out;
    for (const std::string& code : panels->executed)
        if (code.find(part) != std::string::npos) out.push_back(code);
    return out;
}

std::vector<std::string> LandingTest::texts()
{
    std::vector<std::string> out;
    for (const host::ShownText& t : host.simconnect().texts()) {
        char seconds[16];
        std::snprintf(seconds, sizeof seconds, "%.1f", t.seconds);
        out.push_back(t.color + " " + seconds + " " + t.text);
    }
    return out;
}

std::vector<int32_t> LandingTest::played() const
{
    std::vector<int32_t> out;
    for (const FakeSoundLibrary::Call& c : sounds.of(33)) {
        EXPECT_EQ(c.b, 0) << "ordinal 33's second argument";
        out.push_back(c.a);
    }
    return out;
}
