// The progress line of long runs.
#include "host/bench/run_progress.h"

namespace host {

RunProgress::RunProgress(double end_s, std::FILE* out, bool terminal, double quiet_for_s)
    : end_s_(end_s), out_(out), terminal_(terminal), quiet_for_s_(quiet_for_s), start_(Clock::now()),
      next_report_s_(quiet_for_s)
{
}

void RunProgress::update(double t_s, Clock::time_point now)
{
    const double wall = std::chrono::duration<double>(now - start_).count();
    if (wall < next_report_s_ || !out_) return;
    next_report_s_ = wall + (terminal_ ? 1.0 : 10.0);
    const double percent = end_s_ > 0 ? 100.0 * t_s / end_s_ : 100.0;
    std::fprintf(out_, "%scarrier-bench: t = %.0f s of %.0f s (%.0f %%), %.0f s elapsed%s", terminal_ ? "\r" : "",
                 t_s, end_s_, percent, wall, terminal_ ? "" : "\n");
    std::fflush(out_);
    open_line_ = terminal_;
    ++reports_;
}

void RunProgress::done()
{
    if (open_line_ && out_) {
        std::fputc('\n', out_);
        std::fflush(out_);
    }
    open_line_ = false;
}

}  // namespace host
