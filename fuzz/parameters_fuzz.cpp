// Fuzzing the parameters reader on arbitrary file contents.
#include <tinyxml.h>

#include "config/parameters.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::InScratchRoot in_root;  // the module reads ./Gauges/...
    static fuzz::ModuleHost module;
    module.next_input();
    fuzz::write_file("Gauges/ZEB_Parameters.xml", data, size);
    TiXmlDocument document("./Gauges/ZEB_Parameters.xml");
    load_parameters_file(document);
    return 0;
}
