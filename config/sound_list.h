// The officer's sound lists, one per language, in the SoundFileList section of
// the parameters file.
#pragma once

#include <string>

class TiXmlDocument;

// Loads `document` (constructed with the parameters file's path, not yet
// loaded) and copies the list whose Language equals `language` exactly into
// the SoundList record. Returns 1 when found (and also when the file cannot be
// loaded, SoundList unchanged), 0 when no list has that language (every text
// set to "none"), 2 when SoundFileList or its SoundFiles child is missing.
int load_sound_list(TiXmlDocument& document, const std::string& language);
