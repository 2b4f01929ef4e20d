// `carrier-bench sweep` (see sweep.h).
#include "host/bench/sweep.h"

#include <dlfcn.h>
#include <malloc.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <tinyxml.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <vector>

#include "config/xml_file.h"
#include "host/bench/sweep_file.h"
#include "host/bench/sweep_results.h"
#include "host/bench/sweep_run.h"
#include "host/panel/sound_library.h"
#include "host/record/printf_text.h"
#include "host/scenario/scenario.h"

namespace fs = std::filesystem;

namespace host {
namespace {

volatile sig_atomic_t interrupted = 0;

void on_interrupt(int) { interrupted = 1; }

std::string shell_quote(const std::string& text)
{
    if (!text.empty() && text.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-./=:+,") ==
                             std::string::npos)
        return text;
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string absolute(const std::string& path)
{
    std::error_code ec;
    const fs::path p = fs::absolute(path, ec);
    return ec ? path : p.lexically_normal().string();
}

// The sweep, its base scenario read once, and its simulator root.
struct LoadedSweep {
    SweepBase base;
    std::unique_ptr<TiXmlDocument> document;
};

bool load(const std::string& path, LoadedSweep& out, std::string* error)
{
    auto sweep = load_sweep(path, error);
    if (!sweep) return false;
    out.base.sweep = std::move(*sweep);
    out.document = std::make_unique<TiXmlDocument>(out.base.sweep.scenario_path.c_str());
    if (!load_xml_file(*out.document)) {
        *error = out.base.sweep.scenario_path + ":" + std::to_string(std::max(1, out.document->ErrorRow())) + ": " +
                 out.document->ErrorDesc();
        return false;
    }
    TiXmlDocument copy(*out.document);
    auto scenario = load_scenario_document(copy, out.base.sweep.scenario_path, error);
    if (!scenario) return false;
    out.base.document = out.document.get();
    out.base.sim_root = scenario->sim_root;
    // Every run's passes are graded against the bundled grading file.
    auto grading = load_grading(default_grading_path(), error);
    if (!grading) return false;
    out.base.grading = std::move(*grading);
    return true;
}

std::string default_out(const std::string& sweep_path) { return "runs/sweeps/" + fs::path(sweep_path).stem().string(); }

bool finish_outputs(const std::string& out_dir, bool quiet, uint64_t expected, int* status, const SweepFile* sweep,
                    std::vector<std::string> errors = {})
{
    const std::vector<SweepRunResult> results = read_results(out_dir, &errors, sweep);
    for (const std::string& e : errors) std::fprintf(stderr, "carrier-bench: %s\n", e.c_str());
    std::string error;
    if (!write_sweep_outputs(results, out_dir, &error)) {
        std::fprintf(stderr, "carrier-bench: %s\n", error.c_str());
        *status = 2;
        return false;
    }
    size_t failed = 0;
    for (const SweepRunResult& r : results) failed += r.outcome == "failed";
    if (!quiet) std::fputs(results_summary(results).c_str(), stdout);
    std::printf("\n%zu runs -> %s/results.csv, summary.txt, plots (*.png)\n", results.size(), out_dir.c_str());
    if (expected && results.size() < expected)
        std::fprintf(stderr, "carrier-bench: %llu of %llu runs have no result yet\n",
                     static_cast<unsigned long long>(expected - results.size()), static_cast<unsigned long long>(expected));
    *status = failed || !errors.empty() || (expected && results.size() < expected) ? 1 : 0;
    return true;
}

// The sweep's own record in its directory: its file and run count (for
// --collect, which needs nothing but the directory).
void write_sweep_record(const SweepFile& sweep, const std::string& out_dir)
{
    if (FILE* f = std::fopen((fs::path(out_dir) / "sweep.txt").c_str(), "w")) {
        std::fprintf(f, "sweep %s\nfile %s\nruns %llu\n", sweep.name.c_str(), absolute(sweep.path).c_str(),
                     static_cast<unsigned long long>(run_count(sweep)));
        std::fclose(f);
    }
}

// What sweep.txt tells: the sweep file and its run count (0 when not told).
struct SweepRecord {
    std::string file;
    uint64_t runs = 0;
};

// Reads DIR/sweep.txt; a line it cannot read is an error "FILE:LINE: ..."
// and is skipped. No file: nothing known, no error (a directory of results
// gathered by hand).
SweepRecord read_sweep_record(const std::string& out_dir, std::vector<std::string>* errors)
{
    SweepRecord record;
    const std::string path = (fs::path(out_dir) / "sweep.txt").string();
    FILE* f = std::fopen(path.c_str(), "r");
    if (!f) return record;
    char buffer[8192];
    for (int number = 1; std::fgets(buffer, sizeof buffer, f); ++number) {
        std::string line(buffer);
        if (!line.empty() && line.back() == '\n') line.pop_back();
        const auto bad = [&](const std::string& what) { errors->push_back(printf_text("%s:%d: %s", path.c_str(), number, what.c_str())); };
        if (line.rfind("runs ", 0) == 0) {
            const std::string n = line.substr(5);
            char* end = nullptr;
            errno = 0;
            const unsigned long long runs = std::strtoull(n.c_str(), &end, 10);
            if (n.empty() || n.find_first_not_of("0123456789") != std::string::npos || errno != 0 ||
                runs > SWEEP_MAX_RUNS)
                bad("\"" + n + "\" is not a run count (0 to " + std::to_string(SWEEP_MAX_RUNS) + ")");
            else
                record.runs = runs;
        } else if (line.rfind("file ", 0) == 0) {
            record.file = line.substr(5);
        } else if (!line.empty() && line.rfind("sweep ", 0) != 0) {
            bad("\"" + line.substr(0, 40) + "\" is not a line of a sweep's record (sweep, file, runs)");
        }
    }
    std::fclose(f);
    return record;
}

std::string signal_reason(int sig)
{
    const char* name = sigabbrev_np(sig);
    return printf_text("crashed: signal %d (SIG%s)", sig, name ? name : "?");
}

class Progress {
public:
    Progress(uint64_t total, uint64_t done_before, bool show)
        : total_(total), before_(done_before), show_(show), start_(std::chrono::steady_clock::now())
    {
    }
    void update(uint64_t done, bool last = false)
    {
        if (!show_) return;
        const auto now = std::chrono::steady_clock::now();
        if (!last && now - shown_ < std::chrono::milliseconds(250)) return;
        shown_ = now;
        const double seconds = std::chrono::duration<double>(now - start_).count();
        const uint64_t here = done - before_;
        const double rate = seconds > 0 ? here / seconds : 0.0;
        std::string left = "?";
        if (rate > 0) {
            const double s = (total_ - done) / rate;
            left = s < 90 ? printf_text("%.0f s", s) : s < 5400 ? printf_text("%.0f min", s / 60) : printf_text("%.1f h", s / 3600);
        }
        std::fprintf(stderr, "\rsweep: %llu/%llu runs (%.0f %%), %.1f runs/s, about %s left   ",
                     static_cast<unsigned long long>(done), static_cast<unsigned long long>(total_),
                     total_ ? 100.0 * done / total_ : 100.0, rate, left.c_str());
        if (last) std::fputc('\n', stderr);
        std::fflush(stderr);
    }

private:
    uint64_t total_, before_;
    bool show_;
    std::chrono::steady_clock::time_point start_, shown_{};
};

// A run's memory comes from the top of the heap it inherits. A page the run
// writes first costs it a page fault, and on a virtual machine faults are
// what a forked run spends most on after its own work. So the parent sets
// the heap's top aside before it forks (16 MiB, grown and freed but never
// written) and marks it for huge pages: a run's first write there maps 2 MiB
// at once. Large blocks (the timeline's buffer, the judge's samples) come
// from there too, not from maps of their own.
void reserve_run_heap()
{
    constexpr size_t SIZE = 16u << 20;
    constexpr uintptr_t HUGE_PAGE = 2u << 20;
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 512 << 20);  // the freed top stays
    char* block = static_cast<char*>(std::malloc(SIZE));
    if (!block) return;
    // Whole huge pages only, past the page that holds the free block's header.
    const uintptr_t begin = (reinterpret_cast<uintptr_t>(block) + 4096 + HUGE_PAGE - 1) & ~(HUGE_PAGE - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(block) + SIZE) & ~(HUGE_PAGE - 1);
    std::free(block);
    if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

// The parent's own use of the heap after the runs: glibc's defaults again.
void release_run_heap()
{
    mallopt(M_MMAP_THRESHOLD, 128 << 10);
    mallopt(M_TRIM_THRESHOLD, 128 << 10);
    malloc_trim(0);
}

int run_pool(LoadedSweep& loaded, const std::string& out_dir, const SweepOptions& options)
{
    const SweepFile& sweep = loaded.base.sweep;
    const uint64_t total = run_count(sweep);
    std::vector<uint64_t> todo;
    for (uint64_t i = 0; i < total; ++i) {
        std::error_code ec;
        if (!fs::exists(result_path(out_dir, i), ec)) todo.push_back(i);
    }
    if (todo.size() < total)
        std::printf("%llu of %llu runs already done in %s: running the other %zu\n",
                    static_cast<unsigned long long>(total - todo.size()), static_cast<unsigned long long>(total),
                    out_dir.c_str(), todo.size());
    // The module is loaded once here: every forked run finds it mapped.
    void* module = dlopen(options.module_path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        std::fprintf(stderr, "carrier-bench: cannot load the module: %s\n", dlerror());
        return 2;
    }
    loaded.base.module = module;
    // The sounds' lengths are read once here too, not in every run.
    preload_sound_lengths(loaded.base.sim_root, SoundLibraryEmulation::TRACK_RATE);
    reserve_run_heap();
    const std::string scratch = (fs::path(out_dir) / "scratch").string();
    const int jobs = options.jobs > 0 ? options.jobs : std::max(1, static_cast<int>(sysconf(_SC_NPROCESSORS_ONLN)));

    struct sigaction action {};
    action.sa_handler = on_interrupt;
    sigemptyset(&action.sa_mask);
    struct sigaction old_int {}, old_term {};
    sigaction(SIGINT, &action, &old_int);
    sigaction(SIGTERM, &action, &old_term);
    // The parent sleeps until a run ends (SIGCHLD, held pending while it
    // works), a run's time is up, the progress line is due or it is
    // interrupted; it does not poll.
    sigset_t child_ended, old_mask;
    sigemptyset(&child_ended);
    sigaddset(&child_ended, SIGCHLD);
    sigprocmask(SIG_BLOCK, &child_ended, &old_mask);

    // What the parent does between forks allocates nothing: every page it
    // writes while a run shares it is copied, for the parent and the run.
    struct Child {
        pid_t pid = 0;  // 0: a free slot
        uint64_t index = 0;
        std::chrono::steady_clock::time_point started{};
        bool killed_for_time = false;
    };
    std::vector<Child> slots(static_cast<size_t>(jobs));
    size_t running = 0;
    // A result file's path, made on the stack (result_path's form).
    auto have_result = [&](uint64_t index) {
        char path[PATH_MAX];
        const int n = std::snprintf(path, sizeof path, "%s/results/run_%06llu.json", out_dir.c_str(),
                                    static_cast<unsigned long long>(index));
        return n > 0 && static_cast<size_t>(n) < sizeof path ? access(path, F_OK) == 0
                                                             : fs::exists(result_path(out_dir, index));
    };
    Progress progress(total, total - todo.size(), !options.quiet && isatty(fileno(stderr)));
    uint64_t done = total - todo.size();
    size_t next = 0;
    std::string error;
    auto record_failure = [&](uint64_t index, const std::string& reason) {
        if (!write_result(failed_result(sweep, index, reason), result_path(out_dir, index), &error))
            std::fprintf(stderr, "carrier-bench: %s\n", error.c_str());
    };
    const auto limit =
        std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(sweep.timeout));
    std::fflush(stdout);  // nothing buffered is inherited (a run ends with _exit, which writes none of it)
    std::fflush(stderr);
    while ((next < todo.size() && !interrupted) || running > 0) {
        for (Child& slot : slots) {
            if (interrupted || next == todo.size()) break;
            if (slot.pid != 0) continue;
            const uint64_t index = todo[next++];
            const pid_t pid = fork();
            if (pid == 0) {
                signal(SIGINT, SIG_DFL);
                signal(SIGTERM, SIG_DFL);
                sigprocmask(SIG_SETMASK, &old_mask, nullptr);
                std::string child_error;
                const SweepRunResult r = run_variation(loaded.base, index, options.module_path, scratch);
                const bool ok = write_result(r, result_path(out_dir, index), &child_error);
                if (!ok) std::fprintf(stderr, "carrier-bench: %s\n", child_error.c_str());
                std::fflush(stderr);
                _exit(ok ? 0 : 3);
            }
            if (pid < 0) {
                record_failure(index, std::string("cannot start the run: ") + std::strerror(errno));
                ++done;
                continue;
            }
            slot = Child{pid, index, std::chrono::steady_clock::now(), false};
            ++running;
        }
        int status = 0;
        const pid_t pid = waitpid(-1, &status, WNOHANG);
        if (pid > 0) {
            auto it = std::find_if(slots.begin(), slots.end(), [&](const Child& c) { return c.pid == pid; });
            if (it == slots.end()) continue;
            const Child child = *it;
            it->pid = 0;
            --running;
            const bool have = have_result(child.index);
            if (!have && !interrupted) {
                if (child.killed_for_time) record_failure(child.index, printf_text("timed out after %.0f s", sweep.timeout));
                else if (WIFSIGNALED(status)) record_failure(child.index, signal_reason(WTERMSIG(status)));
                else record_failure(child.index, printf_text("exited with status %d without a result", WEXITSTATUS(status)));
            }
            if (have || !interrupted) ++done;
            progress.update(done);
            continue;
        }
        const auto now = std::chrono::steady_clock::now();
        auto wake = now + std::chrono::milliseconds(250);  // the progress line
        for (Child& child : slots) {
            if (child.pid == 0) continue;
            if (!child.killed_for_time && now - child.started > limit) {
                child.killed_for_time = true;
                kill(child.pid, SIGKILL);
            }
            if (!child.killed_for_time) wake = std::min(wake, child.started + limit + std::chrono::milliseconds(1));
            if (interrupted) kill(child.pid, SIGTERM);
        }
        if (running > 0) {
            const auto wait = std::chrono::duration_cast<std::chrono::nanoseconds>(std::max(wake - now, {}));
            const timespec timeout{static_cast<time_t>(wait.count() / 1000000000), static_cast<long>(wait.count() % 1000000000)};
            sigtimedwait(&child_ended, nullptr, &timeout);  // a run ended, the time is up, or a signal came
        }
        progress.update(done);
    }
    progress.update(done, true);
    release_run_heap();
    sigprocmask(SIG_SETMASK, &old_mask, nullptr);
    sigaction(SIGINT, &old_int, nullptr);
    sigaction(SIGTERM, &old_term, nullptr);
    std::error_code ec;
    fs::remove_all(scratch, ec);
    if (interrupted) {
        std::fprintf(stderr, "carrier-bench: interrupted: %llu of %llu runs done in %s; the same command resumes\n",
                     static_cast<unsigned long long>(done), static_cast<unsigned long long>(total), out_dir.c_str());
        return 130;
    }
    int status = 0;
    finish_outputs(out_dir, options.quiet, total, &status, &sweep);
    return status;
}

}  // namespace

bool is_sweep_file(const std::string& path)
{
    TiXmlDocument doc(path.c_str());
    return load_xml_file(doc) && doc.RootElement() && std::strcmp(doc.RootElement()->Value(), "sweep") == 0;
}

int sweep_command(const SweepOptions& options)
{
    if (!options.collect_dir.empty()) {
        // The sweep file, when its record names one that still reads, gives
        // the parameters of a run whose result is unreadable.
        std::vector<std::string> errors;
        const SweepRecord record = read_sweep_record(options.collect_dir, &errors);
        std::string ignored;
        const std::optional<SweepFile> sweep = record.file.empty() ? std::nullopt : load_sweep(record.file, &ignored);
        int status = 0;
        finish_outputs(options.collect_dir, options.quiet, record.runs, &status, sweep ? &*sweep : nullptr,
                       std::move(errors));
        return status;
    }
    if (options.sweep_path.empty()) {
        std::fprintf(stderr, "carrier-bench: sweep: give a sweep file, or --collect DIR\n");
        return 2;
    }
    LoadedSweep loaded;
    std::string error;
    if (!load(options.sweep_path, loaded, &error)) {
        std::fprintf(stderr, "carrier-bench: %s\n", error.c_str());
        return 2;
    }
    const std::string out_dir = absolute(options.out_dir.empty() ? default_out(options.sweep_path) : options.out_dir);
    std::error_code ec;
    fs::create_directories(fs::path(out_dir) / "results", ec);
    if (ec) {
        std::fprintf(stderr, "carrier-bench: cannot create %s: %s\n", out_dir.c_str(), ec.message().c_str());
        return 2;
    }
    const uint64_t total = run_count(loaded.base.sweep);
    if (options.run_one >= 0) {
        if (static_cast<uint64_t>(options.run_one) >= total) {
            std::fprintf(stderr, "carrier-bench: the sweep has runs 0 to %llu\n", static_cast<unsigned long long>(total - 1));
            return 2;
        }
        const auto index = static_cast<uint64_t>(options.run_one);
        if (fs::exists(result_path(out_dir, index), ec)) return 0;  // done before
        const std::string scratch = (fs::path(out_dir) / ("scratch_" + std::to_string(getpid()))).string();
        const SweepRunResult r = run_variation(loaded.base, index, options.module_path, scratch);
        fs::remove_all(scratch, ec);
        if (!write_result(r, result_path(out_dir, index), &error)) {
            std::fprintf(stderr, "carrier-bench: %s\n", error.c_str());
            return 2;
        }
        return r.outcome == "failed" ? 1 : 0;
    }
    write_sweep_record(loaded.base.sweep, out_dir);
    if (options.plan) {
        const std::string jobs_path = (fs::path(out_dir) / "jobs.txt").string();
        FILE* f = std::fopen(jobs_path.c_str(), "w");
        if (!f) {
            std::fprintf(stderr, "carrier-bench: cannot write %s\n", jobs_path.c_str());
            return 2;
        }
        const std::string head = shell_quote(absolute(options.bench_path)) + " --module " +
                                 shell_quote(absolute(options.module_path)) + " sweep " +
                                 shell_quote(absolute(options.sweep_path)) + " --out " + shell_quote(out_dir) + " --run-one ";
        for (uint64_t i = 0; i < total; ++i) std::fprintf(f, "%s%llu\n", head.c_str(), static_cast<unsigned long long>(i));
        if (std::fclose(f) != 0) {
            std::fprintf(stderr, "carrier-bench: cannot write %s\n", jobs_path.c_str());
            return 2;
        }
        std::printf("%llu runs -> %s\nthen: %s sweep --collect %s\n", static_cast<unsigned long long>(total),
                    jobs_path.c_str(), shell_quote(absolute(options.bench_path)).c_str(), shell_quote(out_dir).c_str());
        return 0;
    }
    if (!options.quiet)
        std::printf("Sweep %s: %llu runs of %s into %s\n", loaded.base.sweep.name.c_str(),
                    static_cast<unsigned long long>(total), loaded.base.sweep.scenario_path.c_str(), out_dir.c_str());
    return run_pool(loaded, out_dir, options);
}

}  // namespace host
