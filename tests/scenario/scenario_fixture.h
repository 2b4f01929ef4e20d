// Helpers for scenario tests: run a scenario file (or build a host by hand)
// against the real module library in the emulated host.
#pragma once

#include "host/build_paths.h"
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "host/scenario/scenario.h"

namespace scenario_test {

inline std::string source_path(const std::string& relative) { return std::string(CARRIER_SOURCE_DIR) + "/" + relative; }

// Loads and runs `relative` (from the source tree) in a fresh host with a
// private copy of the module; the host stays available for assertions.
struct ScenarioRun {
    std::unique_ptr<host::Host> host;
    host::RunResult result;
    std::string error;  // scenario loading error

    explicit ScenarioRun(const std::string& relative, bool quiet = true)
    {
        auto scenario = host::load_scenario(source_path(relative), &error);
        if (!scenario) return;
        host::HostOptions options = host::host_options_for(*scenario, CARRIER_MODULE_PATH);
        options.private_copy = true;
        options.echo_stderr = !quiet;
        host = std::make_unique<host::Host>(options);
        result = host::run_scenario(*scenario, *host);
    }

    const host::Timeline& timeline() const { return host->timeline(); }
};

// Index of the first event of `kind` whose data field `key` equals `value`, or -1.
inline long find_event(const host::Timeline& timeline, const std::string& kind, const std::string& key,
                       const nlohmann::json& value, size_t from = 0)
{
    const auto& events = timeline.events();
    for (size_t i = from; i < events.size(); ++i)
        if (events[i].kind == kind && events[i].data.contains(key) && events[i].data[key] == value)
            return static_cast<long>(i);
    return -1;
}

}  // namespace scenario_test

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace scenario_test {

// A private copy of the bundled simulator root in a temporary directory, with
// room for a scenario file next to it; removed at the end of the test.
struct TempRoot {
    std::filesystem::path dir;

    TempRoot()
    {
        char pattern[] = "/tmp/carrier-scenario-XXXXXX";
        dir = mkdtemp(pattern);
        std::filesystem::copy(source_path("scenarios/simroot"), dir / "simroot",
                              std::filesystem::copy_options::recursive);
    }
    ~TempRoot() { std::filesystem::remove_all(dir); }

    std::string gauges_file(const std::string& name) const { return (dir / "simroot/Gauges" / name).string(); }

    // Replaces the first occurrence of `from` in a file of Gauges/.
    void patch(const std::string& name, const std::string& from, const std::string& to) const
    {
        std::ifstream in(gauges_file(name));
        std::stringstream buffer;
        buffer << in.rdbuf();
        std::string text = buffer.str();
        const size_t at = text.find(from);
        ASSERT_NE(at, std::string::npos) << from << " not in " << name;
        text.replace(at, from.size(), to);
        std::ofstream(gauges_file(name)) << text;
    }

    // Writes a scenario whose <simulator> is this root; `body` is everything
    // after it inside <runscript>. Returns the scenario's path.
    std::string scenario(const std::string& body) const
    {
        const std::string path = (dir / "scenario.xml").string();
        std::ofstream(path) << "<?xml version=\"1.0\"?>\n<runscript name=\"test\">\n<simulator root=\"simroot\"/>\n"
                            << body << "\n</runscript>\n";
        return path;
    }
};

// Runs a scenario file given by absolute path in a fresh host.
struct PathRun {
    std::unique_ptr<host::Host> host;
    host::RunResult result;
    std::string error;

    explicit PathRun(const std::string& path, const std::function<void(host::HostOptions&)>& tweak = {})
    {
        auto scenario = host::load_scenario(path, &error);
        if (!scenario) return;
        host::HostOptions options = host::host_options_for(*scenario, CARRIER_MODULE_PATH);
        options.private_copy = true;
        options.echo_stderr = false;
        if (tweak) tweak(options);
        host = std::make_unique<host::Host>(options);
        result = host::run_scenario(*scenario, *host);
    }
    const host::Timeline& timeline() const { return host->timeline(); }
};

// The SimConnect calls on the timeline, in order, as "Name(args json)".
inline std::vector<const host::TimelineEvent*> calls(const host::Timeline& timeline, const std::string& name)
{
    std::vector<const host::TimelineEvent*> out;
    for (const auto* e : timeline.of_kind("simconnect"))
        if (e->data.value("call", "") == name) out.push_back(e);
    return out;
}

}  // namespace scenario_test
