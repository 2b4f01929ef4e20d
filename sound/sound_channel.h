// The officer's sounds: loaded through the external sound library for the
// current carrier's language into nine slots.
#pragma once

#include <cstdint>
#include <string>

// Slots in load order (slot numbers 1..9 of the sound lists, 0-based here): Wire1..Wire4, CallBall, TooHigh, TooLow, LineUp, WaveOff.
enum SoundSlot {
    SOUND_WIRE1 = 0,
    SOUND_WIRE2,
    SOUND_WIRE3,
    SOUND_WIRE4,
    SOUND_CALL_BALL,
    SOUND_TOO_HIGH,
    SOUND_TOO_LOW,
    SOUND_LINE_UP,
    SOUND_WAVE_OFF,
    SOUND_SLOT_COUNT,
};

// Sound handles of the slots; 0 means no sound.
extern int32_t soundSlots[SOUND_SLOT_COUNT];

// Reads the sound list of the current carrier's language and, when it was
// found, loads its nine files as one batch. Nothing happens without the
// sound library.
void load_sounds();

// Loads `path` into `slot` ("none" empties the slot without calling the
// library); returns the slot's new handle.
int32_t load_sound_slot(SoundSlot slot, const std::string& path, int32_t group);

// Plays the slot's sound from its start (ordinal 33 with the handle and 0);
// a slot of 0, or no sound library, plays nothing.
void play_sound_slot(SoundSlot slot);
