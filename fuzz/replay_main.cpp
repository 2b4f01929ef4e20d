// Runs a fuzz harness's LLVMFuzzerTestOneInput over files and folders given
// on the command line (a corpus, the reproducers of fixed defects), once per
// file, in name order. Used by `make test` in the builds without libFuzzer:
// every committed input must run clean under the sanitizers.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv)
{
    namespace fs = std::filesystem;
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        std::error_code ec;
        const fs::path path = fs::absolute(argv[i], ec);
        if (fs::is_directory(path, ec)) {
            for (const auto& entry : fs::directory_iterator(path))
                if (entry.is_regular_file()) inputs.push_back(entry.path());
        } else if (fs::is_regular_file(path, ec)) {
            inputs.push_back(path);
        } else {
            std::fprintf(stderr, "replay: %s: not a file or folder\n", argv[i]);
            return 2;
        }
    }
    std::sort(inputs.begin(), inputs.end());
    // libFuzzer reads and writes relative corpus and artifact paths against
    // the working directory: a harness must leave it as it found it.
    const fs::path started_in = fs::current_path();
    for (const fs::path& path : inputs) {
        std::ifstream in(path, std::ios::binary);
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
        if (fs::current_path() != started_in) {
            std::fprintf(stderr, "replay: %s: the harness left the working directory %s\n", path.c_str(),
                         fs::current_path().c_str());
            return 3;
        }
    }
    std::printf("replayed %zu inputs\n", inputs.size());
    return inputs.empty() ? 1 : 0;
}
