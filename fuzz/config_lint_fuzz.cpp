// libFuzzer harness of the configuration linter: the input is a parameters
// file and a carrier list separated by a line "----", written into a scratch
// simulator root and linted. The linter must report, never crash.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "host/bench/config_lint.h"

namespace {

const std::filesystem::path& scratch_root()
{
    static const std::filesystem::path root = [] {
        char pattern[] = "/tmp/config_lint_fuzz_XXXXXX";
        const std::filesystem::path dir = mkdtemp(pattern);
        std::filesystem::create_directory(dir / "Gauges");
        return dir;
    }();
    return root;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t split = input.find("\n----\n");
    const std::string parameters = input.substr(0, split);
    const std::string carriers = split == std::string::npos ? std::string() : input.substr(split + 6);
    std::ofstream(scratch_root() / "Gauges" / "ZEB_Parameters.xml", std::ios::binary) << parameters;
    std::ofstream(scratch_root() / "Gauges" / "ZEB_Carrier.xml", std::ios::binary) << carriers;
    const host::LintReport report = host::lint_configuration(scratch_root().string());
    for (const host::LintFinding& finding : report.findings) (void)host::format_finding(finding, true);
    (void)host::read_fixed_sites(scratch_root().string());
    return 0;
}
