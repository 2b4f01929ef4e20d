// Fuzzing the carrier-list reader on arbitrary file contents: looked up for
// frequency 0 (an entry without Frequency matches it) and for the first
// Frequency the text names, so that entries are read as well as skipped.
#include <tinyxml.h>

#include <cstdlib>
#include <string>

#include "config/carrier_list.h"
#include "fuzz_support.h"
#include "geo/numeric.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::InScratchRoot in_root;  // the module reads ./Gauges/...
    static fuzz::ModuleHost module;
    module.next_input();
    fuzz::write_file("Gauges/ZEB_Carrier.xml", data, size);

    const std::string text(reinterpret_cast<const char*>(data), size);
    float named = 0.0f;
    const size_t at = text.find("Frequency=\"");
    if (at != std::string::npos) named = to_single_precision(std::strtod(text.c_str() + at + 11, nullptr));
    for (float frequency : {0.0f, named}) {
        TiXmlDocument document("./Gauges/ZEB_Carrier.xml");
        load_carrier_entry(document, frequency);
    }
    return 0;
}
