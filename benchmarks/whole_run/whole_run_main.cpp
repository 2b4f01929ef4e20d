// The whole-run benchmark: runs carrier-bench over the soak, boat and flown
// scenarios of benchmarks/scenarios, each in its own process, and reports
// wall and CPU time, speed over real time, peak memory and the timeline's
// size (and for the flown world what the aircraft did: approaches, wires
// caught, launches), then checks the bench's targets.
//
//   carrier_whole_run CARRIER_BENCH SCENARIO_DIR [--keep DIR]
//
// Speed targets are judged on CPU time (user + system) as well as on wall
// time: on a shared machine the wall clock also counts other people's work.
// Exit status 1 when a target is missed.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Outcome {
    std::string name;
    double simulated_s = 0;
    double wall_s = 0;
    double cpu_s = 0;
    long peak_kib = 0;
    uintmax_t timeline_bytes = 0;
    size_t timeline_lines = 0;
    // The flown aircraft's events on the timeline.
    size_t approaches = 0, wires = 0, launches = 0, calls = 0;
    bool ok = false;
};

bool has(const std::string& line, const char* text) { return line.find(text) != std::string::npos; }

// Lines, and the flown aircraft's approaches, wires caught and launches (the
// "flight" events) and the officer's calls (screen texts starting "LSO:").
void read_timeline(const fs::path& path, Outcome& o)
{
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        ++o.timeline_lines;
        if (has(line, "\"kind\":\"flight\"")) {
            o.approaches += has(line, "\"what\":\"approach\"");
            o.wires += has(line, "\"what\":\"wire\"");
            o.launches += has(line, "\"what\":\"airborne\"");
        } else if (has(line, "\"kind\":\"text\"") && has(line, "\"LSO:")) {
            ++o.calls;
        }
    }
}

Outcome run_one(const std::string& bench, const fs::path& scenario, double simulated_s, const fs::path& out_dir)
{
    Outcome o;
    o.name = scenario.stem().string();
    o.simulated_s = simulated_s;
    const fs::path run_dir = out_dir / o.name;
    const auto start = std::chrono::steady_clock::now();
    std::fflush(stdout);  // or the child would print what is buffered once more
    const pid_t pid = fork();
    if (pid < 0) return o;
    if (pid == 0) {
        if (!std::freopen("/dev/null", "w", stdout)) _exit(127);
        execl(bench.c_str(), bench.c_str(), "run", scenario.c_str(), "--out", run_dir.c_str(), "--quiet",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) < 0) return o;
    o.wall_s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    o.cpu_s = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
              static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    o.peak_kib = usage.ru_maxrss;
    const fs::path timeline = run_dir / "timeline.jsonl";
    std::error_code ec;
    o.timeline_bytes = fs::file_size(timeline, ec);
    if (!ec) read_timeline(timeline, o);
    o.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0 && !ec;
    return o;
}

int misses = 0;

void check(bool met, const char* what, double value, const char* unit, const char* target)
{
    std::printf("  %-44s %10.1f %-4s %-12s %s\n", what, value, unit, target, met ? "met" : "MISSED");
    if (!met) ++misses;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s CARRIER_BENCH SCENARIO_DIR [--keep DIR]\n", argv[0]);
        return 2;
    }
    const std::string bench = argv[1];
    const fs::path scenarios = argv[2];
    fs::path out_dir;
    bool keep = argc >= 5 && std::string(argv[3]) == "--keep";
    if (keep) {
        out_dir = argv[4];
        fs::create_directories(out_dir);
    } else {
        char pattern[] = "/tmp/carrier-whole-run-XXXXXX";
        if (!mkdtemp(pattern)) {
            std::perror("mkdtemp");
            return 2;
        }
        out_dir = pattern;
    }

    struct Case {
        const char* file;
        double simulated_s;
    };
    const Case cases[] = {{"soak_1h.xml", 3600},   {"soak_10min.xml", 600},  {"boats_10.xml", 600},
                          {"boats_100.xml", 600},  {"boats_1000.xml", 600}, {"flown_1h.xml", 3600},
                          {"flown_10min.xml", 600}};
    std::vector<Outcome> outcomes;
    std::printf("Whole runs at 60 frames/s, six gauges, the carrier tuned (carrier-bench run --quiet);\n"
                "flown_*: the aircraft flown round approach, trap, catapult, launch:\n");
    std::printf("  %-14s %8s %8s %8s %9s %9s %9s %12s %10s\n", "scenario", "sim s", "wall s", "cpu s", "x real",
                "x real cpu", "peak MiB", "timeline MB", "lines");
    for (const Case& c : cases) {
        const Outcome o = run_one(bench, scenarios / c.file, c.simulated_s, out_dir);
        outcomes.push_back(o);
        if (!o.ok) {
            std::printf("  %-14s FAILED (carrier-bench did not finish cleanly)\n", o.name.c_str());
            ++misses;
            continue;
        }
        std::printf("  %-14s %8.0f %8.2f %8.2f %9.0f %9.0f %9.1f %12.1f %10zu\n", o.name.c_str(), o.simulated_s,
                    o.wall_s, o.cpu_s, o.simulated_s / o.wall_s, o.simulated_s / o.cpu_s, o.peak_kib / 1024.0,
                    static_cast<double>(o.timeline_bytes) / 1e6, o.timeline_lines);
        if (o.approaches)
            std::printf("  %-14s %zu approaches, %zu wires caught, %zu launches, %zu calls of the officer\n", "",
                        o.approaches, o.wires, o.launches, o.calls);
        if (!keep) fs::remove_all(out_dir / o.name);
    }
    if (!keep) fs::remove_all(out_dir);

    const Outcome& hour = outcomes[0];
    const Outcome& ten = outcomes[1];
    const Outcome& boats = outcomes[4];
    std::printf("Targets:\n");
    if (hour.ok) {
        check(hour.simulated_s / hour.cpu_s >= 2000, "one hour: speed over real time (CPU)", hour.simulated_s / hour.cpu_s,
              "x", ">= 2000");
        check(hour.simulated_s / hour.wall_s >= 2000, "one hour: speed over real time (wall)",
              hour.simulated_s / hour.wall_s, "x", ">= 2000");
        check(hour.peak_kib <= 64 * 1024, "one hour: peak memory", hour.peak_kib / 1024.0, "MiB", "<= 64");
    }
    if (hour.ok && ten.ok) {
        const double spread = 100.0 * std::abs(static_cast<double>(hour.peak_kib - ten.peak_kib)) /
                              static_cast<double>(ten.peak_kib);
        check(spread <= 10.0, "peak memory, one hour against ten minutes", spread, "%", "<= 10");
    }
    if (boats.ok)
        check(boats.simulated_s / boats.cpu_s >= 300, "1000 boats: speed over real time (CPU)",
              boats.simulated_s / boats.cpu_s, "x", ">= 300");
    const Outcome& flown = outcomes[5];
    const Outcome& flown_ten = outcomes[6];
    if (flown.ok) {
        check(flown.simulated_s / flown.cpu_s >= 1000, "flown hour: speed over real time (CPU)",
              flown.simulated_s / flown.cpu_s, "x", ">= 1000");
        check(flown.simulated_s / flown.wall_s >= 1000, "flown hour: speed over real time (wall)",
              flown.simulated_s / flown.wall_s, "x", ">= 1000");
        // Every approach ends on a wire and in a launch, again and again.
        check(flown.approaches >= 25 && flown.wires == flown.approaches && flown.launches == flown.approaches,
              "flown hour: approaches that trapped and launched", static_cast<double>(std::min(flown.wires, flown.launches)),
              "", ">= 25, all");
    }
    if (flown.ok && flown_ten.ok) {
        const double spread = 100.0 * std::abs(static_cast<double>(flown.peak_kib - flown_ten.peak_kib)) /
                              static_cast<double>(flown_ten.peak_kib);
        check(spread <= 10.0, "flown: peak memory, one hour against ten minutes", spread, "%", "<= 10");
    }
    std::printf(misses ? "%d target(s) missed\n" : "all targets met\n", misses);
    return misses ? 1 : 0;
}
