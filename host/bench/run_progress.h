// A progress line on the standard error stream for runs that take a while:
// nothing for the first few seconds of wall time, then about once a second
// "carrier-bench: t = 1234 s of 3600 s (34 %), 5 s elapsed". On a terminal the
// line is rewritten in place; otherwise each report is its own line, every
// ten seconds of wall time.
#pragma once

#include <chrono>
#include <cstdio>

namespace host {

class RunProgress {
public:
    using Clock = std::chrono::steady_clock;

    // `end_s`: the run's simulated length; `quiet_for_s`: wall seconds before the first report.
    RunProgress(double end_s, std::FILE* out, bool terminal, double quiet_for_s = 3.0);
    ~RunProgress() { done(); }

    // The run reached simulated time `t_s`; `now` for tests.
    void update(double t_s) { update(t_s, Clock::now()); }
    void update(double t_s, Clock::time_point now);
    // Ends the line (on a terminal) once anything was shown.
    void done();

    int reports() const { return reports_; }

private:
    double end_s_;
    std::FILE* out_;
    bool terminal_;
    double quiet_for_s_;
    Clock::time_point start_;
    double next_report_s_;  // wall seconds since start
    int reports_ = 0;
    bool open_line_ = false;
};

}  // namespace host
