// make bench: approaches per minute. Before: each approach its own
// `carrier-bench run` (a process that loads the module, the default
// recording: timeline file, summary, story, audio track). After:
// `carrier-bench sweep -j2` (one parent with the module loaded, a forked lean
// run per approach). The figures per minute are for this machine's two
// cores: by CPU time (2 x 60 s over the CPU seconds an approach takes, what
// an idle machine gives) and by the wall clock (what this run got, other
// processes included). Peak memory is the largest process's; the page faults
// are all processes' (on a virtual machine each costs some microseconds).
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Measure {
    bool ok = false;
    double wall_s = 0.0, cpu_s = 0.0;
    long peak_kib = 0;
    long faults = 0;  // minor page faults (each a page the process touched first or copied)
};

Measure spawn(const std::vector<std::string>& args)
{
    Measure m;
    const auto start = std::chrono::steady_clock::now();
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid < 0) return m;
    if (pid == 0) {
        if (!std::freopen("/dev/null", "w", stdout) || !std::freopen("/dev/null", "w", stderr)) _exit(127);
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) < 0) return m;
    m.wall_s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // The child's time includes the runs it forked and waited for.
    m.cpu_s = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
              static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    m.peak_kib = usage.ru_maxrss;
    m.faults = usage.ru_minflt + usage.ru_majflt;
    m.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return m;
}

constexpr double CORES = 2.0;

void line(const char* what, size_t runs, const Measure& m)
{
    std::printf("  %-34s %5zu %8.2f %8.2f %9.1f %10.0f %10.0f %9.1f %10.0f\n", what, runs, m.wall_s, m.cpu_s,
                1000.0 * m.cpu_s / runs, CORES * 60.0 * runs / m.cpu_s, 60.0 * runs / m.wall_s, m.peak_kib / 1024.0,
                static_cast<double>(m.faults) / runs);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s CARRIER_BENCH SOURCE_DIR\n", argv[0]);
        return 2;
    }
    const std::string bench = argv[1];
    const fs::path source = argv[2];
    char pattern[] = "/tmp/carrier-sweep-speed-XXXXXX";
    if (!mkdtemp(pattern)) return 2;
    const fs::path out = pattern;
    const std::string base = (source / "scenarios/sweeps/approach_and_launch.xml").string();
    int misses = 0;

    std::printf("Approaches per minute (100 simulated s at 30 frames/s each, the officer on, a launch after):\n");
    std::printf("  %-34s %5s %8s %8s %9s %10s %10s %9s %10s\n", "", "runs", "wall s", "cpu s", "cpu ms/run", "/min (cpu)",
                "/min (wall)", "peak MiB", "faults/run");
    // Before: a process per approach, one after the other (the wall figure
    // is per core, so it is doubled for the two).
    constexpr size_t ONE_BY_ONE = 20;
    Measure before;
    before.ok = true;
    for (size_t i = 0; i < ONE_BY_ONE; ++i) {
        const Measure m = spawn({bench, "run", base, "--quiet", "--out", (out / "one").string()});
        before.ok = before.ok && m.ok;
        before.wall_s += m.wall_s / CORES;
        before.cpu_s += m.cpu_s;
        before.peak_kib = std::max(before.peak_kib, m.peak_kib);
        before.faults += m.faults;
    }
    if (before.ok) line("before: carrier-bench run each", ONE_BY_ONE, before);
    else std::printf("  before: carrier-bench run FAILED\n"), ++misses;

    const Measure small = spawn({bench, "sweep", (source / "scenarios/sweeps/wind_and_ship_speed.xml").string(), "-j2",
                                 "--quiet", "--out", (out / "small").string()});
    if (small.ok) line("after: sweep -j2 (bundled, 56)", 56, small);
    else std::printf("  after: the bundled sweep FAILED\n"), ++misses;
    const Measure big = spawn({bench, "sweep", (source / "benchmarks/sweeps/speed.xml").string(), "-j2", "--quiet",
                               "--out", (out / "big").string()});
    if (big.ok) line("after: sweep -j2 (speed.xml, 224)", 224, big);
    else std::printf("  after: speed.xml FAILED\n"), ++misses;
    fs::remove_all(out);

    std::printf("Targets:\n");
    auto check = [&](bool met, const char* what, double value, const char* target) {
        std::printf("  %-52s %10.0f %-10s %s\n", what, value, target, met ? "met" : "MISSED");
        if (!met) ++misses;
    };
    if (big.ok) {
        const double per_minute = CORES * 60.0 * 224 / big.cpu_s;
        check(per_minute >= 5000, "sweep: approaches per minute on two cores (CPU)", per_minute, ">= 5000");
        std::printf("  %-52s %10.0f (a shared machine's wall clock counts the others' work)\n",
                    "sweep: approaches per minute (wall, this run)", 60.0 * 224 / big.wall_s);
    }
    if (big.ok && small.ok) {
        const double spread = 100.0 * std::abs(static_cast<double>(big.peak_kib - small.peak_kib)) /
                              static_cast<double>(small.peak_kib);
        check(spread <= 10.0, "sweep: peak memory per process, 224 runs against 56 (%)", spread, "<= 10");
    }
    std::printf(misses ? "%d target(s) missed\n" : "all targets met\n", misses);
    return misses ? 1 : 0;
}
