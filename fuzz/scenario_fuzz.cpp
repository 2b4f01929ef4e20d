// Fuzzing the scenario reader: arbitrary bytes as a scenario file. Every
// input must end in a scenario or in a "FILE:LINE: ..." error, never in a
// crash or an exception.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_support.h"
#include "host/scenario/scenario.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::filesystem::path& root = fuzz::scratch_root();
    // The simulator roots the seeds name, so that inputs get past <simulator>.
    static const bool roots = [&] {
        std::error_code ec;
        for (const char* name : {"simroot", "data", "root"}) std::filesystem::create_directory(root / name, ec);
        return true;
    }();
    (void)roots;
    fuzz::write_file("scenario.xml", data, size);
    const std::string path = (root / "scenario.xml").string();
    std::string error;
    const auto scenario = host::load_scenario(path, &error);
    if (!scenario && error.rfind(path + ":", 0) != 0) std::abort();  // every refusal names the file
    return 0;
}
