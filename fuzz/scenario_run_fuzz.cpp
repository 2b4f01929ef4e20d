// Fuzzing whole runs: arbitrary bytes as a scenario file that names the
// bundled simulator root as "simroot"; a scenario that loads is run for at
// most MAX_FRAMES frames with the module loaded as the bench loads it. After
// the world moves and after every frame, every value of every object in the
// world must be finite. A refusal names the file.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "fuzz_support.h"
#include "host/host.h"
#include "host/scenario/scenario.h"
#include "host/world/sim_vars.h"

namespace {

constexpr double MAX_FRAMES = 90.0;

class FiniteWorld : public host::FrameObserver {
public:
    void world_moved(host::Host& host) override { check(host, "after the world moved"); }
    void frame_done(host::Host& host) override { check(host, "after the frame"); }

private:
    static void check(host::Host& host, const char* when)
    {
        for (const auto& [id, object] : host.world().objects()) {
            for (size_t i = 0; i < object.values.size(); ++i) {
                if (std::isfinite(object.values[i])) continue;
                std::fprintf(stderr, "scenario_run: frame %lld, %s: object %u (\"%s\") variable %zu is %g\n",
                             static_cast<long long>(host.frame()), when, id, object.title.c_str(), i,
                             object.values[i]);
                std::abort();
            }
        }
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::filesystem::path& root = fuzz::scratch_root();
    static const bool linked = [&] {
        std::error_code ec;
        std::filesystem::create_directory_symlink(std::string(CARRIER_SOURCE_DIR) + "/scenarios/simroot",
                                                  root / "simroot", ec);
        return true;
    }();
    (void)linked;
    fuzz::write_file("run.xml", data, size);
    const std::string path = (root / "run.xml").string();
    std::string error;
    auto scenario = host::load_scenario(path, &error);
    if (!scenario) {
        if (error.rfind(path + ":", 0) != 0) std::abort();  // every refusal names the file
        return 0;
    }
    if (scenario->end_time * scenario->frame_rate > MAX_FRAMES) scenario->end_time = MAX_FRAMES / scenario->frame_rate;

    host::HostOptions options = host::host_options_for(*scenario, CARRIER_MODULE_PATH);
    options.echo_stderr = false;
    host::Host host(options);
    host.add_frame_observer(std::make_shared<FiniteWorld>());
    const host::RunResult result = host::run_scenario(*scenario, host);
    if (!result.completed && result.error.empty()) std::abort();  // a run that stops says why
    return 0;
}
