// Loading the officer's sounds through the sound library.
#include "sound/sound_channel.h"

#include <tinyxml.h>

#include "config/sound_list.h"
#include "platform/process.h"
#include "state/module_state.h"

int32_t soundSlots[SOUND_SLOT_COUNT] = {};

int32_t load_sound_slot(SoundSlot slot, const std::string& path, int32_t group)
{
    if (path == "none") {
        soundSlots[slot] = 0;
    } else {
        const SoundLibrary* library = process_sound_library();
        soundSlots[slot] = library ? library->ordinal_30(path.c_str(), group) : 0;
    }
    return soundSlots[slot];
}

void load_sounds()
{
    TiXmlDocument document("./Gauges/ZEB_Parameters.xml");
    const std::string language = moduleState->carrier->Language;
    if (load_sound_list(document, language) != 1) return;
    const SoundLibrary* library = process_sound_library();
    if (!library) return;  // no sound library: the calls stay silent
    const int32_t soundGroup = library->ordinal_29();
    const SoundList& list = *moduleState->sounds;
    load_sound_slot(SOUND_WIRE1, list.Wire1, soundGroup);
    load_sound_slot(SOUND_WIRE2, list.Wire2, soundGroup);
    load_sound_slot(SOUND_WIRE3, list.Wire3, soundGroup);
    load_sound_slot(SOUND_WIRE4, list.Wire4, soundGroup);
    load_sound_slot(SOUND_CALL_BALL, list.CallBall, soundGroup);
    load_sound_slot(SOUND_TOO_HIGH, list.TooHigh, soundGroup);
    load_sound_slot(SOUND_TOO_LOW, list.TooLow, soundGroup);
    load_sound_slot(SOUND_LINE_UP, list.LineUp, soundGroup);
    load_sound_slot(SOUND_WAVE_OFF, list.WaveOff, soundGroup);
}

void play_sound_slot(SoundSlot slot)
{
    const int32_t sound = soundSlots[slot];
    if (sound == 0) return;
    const SoundLibrary* library = process_sound_library();
    if (library) library->ordinal_33(sound, 0);
}
