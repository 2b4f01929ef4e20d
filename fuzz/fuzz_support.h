// Shared set-up of the fuzz harnesses: a scratch simulator root, entered as
// the working directory for each input (the module reads ./Gauges/... by
// fixed relative paths) and left again after it,
// and the bench's own host services installed for module code linked into the
// harness. Each harness is an ordinary libFuzzer target
// (LLVMFuzzerTestOneInput); fuzz/replay_main.cpp runs the same function over
// the committed corpora in the normal and sanitizer builds.
#pragma once

#include "host/build_paths.h"
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "host/host.h"
#include "module/host_services.h"
#include "state/module_state.h"

namespace fuzz {

// The scratch root (created once per process, removed at exit) holding
// Gauges/ with copies of the bundled configuration files.
inline const std::filesystem::path& scratch_root()
{
    static const std::filesystem::path root = [] {
        char pattern[] = "/tmp/carrier-fuzz-XXXXXX";
        const char* made = mkdtemp(pattern);
        if (!made) std::abort();
        const std::filesystem::path dir = made;
        std::filesystem::create_directories(dir / "Gauges");
        for (const char* name : {"ZEB_Carrier.xml", "ZEB_Parameters.xml"})
            std::filesystem::copy_file(std::string(CARRIER_SOURCE_DIR) + "/scenarios/simroot/Gauges/" + name,
                                       dir / "Gauges" / name, std::filesystem::copy_options::overwrite_existing);
        static const std::filesystem::path keep = dir;
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(keep, ec);
        });
        return dir;
    }();
    return root;
}

// Enters the scratch root for one input and goes back to the working
// directory the harness was started in afterwards: libFuzzer resolves the
// corpus folders, new inputs and artifacts it was given as relative paths
// against it.
class InScratchRoot {
public:
    InScratchRoot()
    {
        std::error_code ec;
        saved_ = std::filesystem::current_path(ec);
        std::filesystem::current_path(scratch_root());
    }
    ~InScratchRoot()
    {
        std::error_code ec;
        std::filesystem::current_path(saved_, ec);
    }
    InScratchRoot(const InScratchRoot&) = delete;
    InScratchRoot& operator=(const InScratchRoot&) = delete;

private:
    std::filesystem::path saved_;
};

// Writes `size` bytes to `path` (relative to the scratch root).
inline void write_file(const std::string& path, const uint8_t* data, size_t size)
{
    std::ofstream out(scratch_root() / path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

// The module's services for linked-in module code: a quiet bench host whose
// panel, process and SimConnect services are installed, renewed every
// `inputs_per_host` inputs so that its timeline stays small, and the central
// record with its sub-records.
class ModuleHost {
public:
    explicit ModuleHost(int inputs_per_host = 2000) : inputs_per_host_(inputs_per_host) {}

    host::Host& next_input()
    {
        scratch_root();
        if (!host_ || ++inputs_ >= inputs_per_host_) {
            inputs_ = 0;
            host_.reset();
            host::HostOptions options;
            options.echo_stderr = false;
            host_ = std::make_unique<host::Host>(options);
            host_->install_services(&ImportTable);
            ++generation_;
        }
        moduleState = get_or_create_module_state();
        if (!moduleState->carrier) create_state_records(moduleState);
        return *host_;
    }

    // Counts the hosts made so far: a new one needs a new connection.
    int generation() const { return generation_; }

private:
    std::unique_ptr<host::Host> host_;
    int generation_ = 0;
    int inputs_ = 0;
    int inputs_per_host_;
};

}  // namespace fuzz
