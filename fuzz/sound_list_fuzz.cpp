// Fuzzing the sound-list reader on arbitrary file contents, with the language
// of the bundled lists and with one that no list has.
#include <tinyxml.h>

#include "config/sound_list.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::InScratchRoot in_root;  // the module reads ./Gauges/...
    static fuzz::ModuleHost module;
    module.next_input();
    fuzz::write_file("Gauges/ZEB_Parameters.xml", data, size);
    for (const char* language : {"English", "none"}) {
        TiXmlDocument document("./Gauges/ZEB_Parameters.xml");
        load_sound_list(document, language);
    }
    return 0;
}
