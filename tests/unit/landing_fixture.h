// Subsystem fixture for the landing aids: the module's code against recording
// fakes of the panel services (FakePanels) and of the sound library, with the
// bench's SimConnect server attached so that screen texts are recorded.
// Command events raised by the code under test are recorded, not delivered;
// deliver() hands the new ones to the module's handler, as a host would.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "fake_panels.h"
#include "host/host.h"
#include "host/process_services.h"
#include "landing/approach_control.h"
#include "landing/landing_lights.h"
#include "sim/command_events.h"
#include "sound/sound_channel.h"
#include "state/module_state.h"

// Records every call of the six ordinals; loads return handles 101, 102, ...
// (0 for a path containing "missing").
struct FakeSoundLibrary {
    struct Call {
        int ordinal;
        std::string path;  // ordinal 30
        int32_t a = 0;     // handle, or the group for 30
        int32_t b = 0;     // second integer argument
    };
    std::vector<Call> calls;
    int32_t nextHandle = 101;
    int32_t nextGroup = 7;
    int32_t playing = 0;  // what ordinal 28 answers

    static FakeSoundLibrary* current;
    static const SoundLibrary table;

    std::vector<Call> of(int ordinal) const
    {
        std::vector<Call> out;
        for (const Call& c : calls)
            if (c.ordinal == ordinal) out.push_back(c);
        return out;
    }
};

class LandingTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Hands the command events raised since the last delivery to the handler.
    void deliver();
    // Expressions evaluated that contain `part`, in order.
    std::vector<std::string> executed_with(const std::string& part) const;
    // Screen texts shown, as "color seconds text".
    std::vector<std::string> texts();
    // Handles played with ordinal 33.
    std::vector<int32_t> played() const;

    host::Host host{host::HostOptions{}};
    FakePanels* panels = nullptr;
    FakeSoundLibrary sounds;
    host::ProcessHooks hooks;
    size_t delivered = 0;

    CarrierEntry savedCarrier;
    LightParameters savedLights{};
    LsoParameters savedLso{};
    SoundList savedSounds;
    UserAircraftData savedUser{};
};
