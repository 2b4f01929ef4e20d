// The run's debrief: while the scenario runs, one CSV row per frame of the
// approach picture the panel saw (the twenty-one named variables the
// navigation gauge publishes, the aircraft's position relative to the deck,
// its speeds and angle of attack); at the end, a plot of glide-slope error,
// localiser error and meatball position against the range to the deck, with
// the screen texts (the officer's calls) marked at the range where they came,
// drawn with PLplot as PNG and SVG. Files and columns: docs/timeline.md
// ("Debrief files").
//
// Per frame the debrief allocates nothing: the plot's samples are reserved for
// the run's frame count when the CSV is opened, a row is formatted into a
// fixed buffer (cells that did not change since the last row are copied, not
// formatted again) and the CSV goes through a 1 MiB stdio buffer.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cmath>
#include <string>
#include <vector>

#include "host/host.h"

namespace host {

// The twenty-one names, in the order the navigation gauge publishes them.
extern const char* const PUBLISHED_NAMES[21];

// One frame's approach values as the plot uses them.
struct PlotPoint {
    double range_nm;  // "ILS Slant Range"
    double gs_error;  // degrees
    double loc_error; // degrees
    double meatball;  // -50 .. 50; NaN when not published
};

// A screen text, placed at the range where the aircraft was when it came.
struct CallMark {
    double t;
    double range_nm;
    std::string text;   // copied when the plot is drawn
    std::string color;  // "red", "green", "yellow", "other"
};

struct PlotData {
    std::vector<PlotPoint> points;
    std::vector<size_t> breaks;  // indices in points where a new stretch of approach starts
    std::vector<CallMark> calls;
    bool meatball_published = false;
    std::string title;
    // Why there is no sample, when there is none: written on the plot.
    std::string no_approach;
};

// Draws the plot into `path` with a PLplot device ("pngcairo", "svgcairo",
// "svg"). False with `error` when the device is missing or the file cannot be written.
bool draw_approach_plot(const PlotData& data, const std::string& path, const char* device, std::string* error);

class Debrief : public FrameObserver {
public:
    // Only frames closer than this (nautical miles) go into the plot.
    static constexpr double PLOT_RANGE_NM = 10.0;
    // The most plot samples kept. When they are full, every other one is
    // dropped and from then on every other approach frame is sampled (and so
    // on), so memory stays the same however long the run is; every frame still
    // goes into the CSV. The plot is 1200 pixels wide: 6000 samples are five
    // a pixel, and they bound what drawing the curves costs at the end of a
    // run (the drawing library's stroke of a 20000-sample curve took 8 MB).
    static constexpr size_t MAX_PLOT_POINTS = 6000;
    // A range that moves more than this (nautical miles) from one frame to
    // the next starts a new stretch of approach: the aircraft was placed
    // elsewhere (the next approach of a scenario), it did not fly there.
    static constexpr double RANGE_JUMP_NM = 0.2;

    Debrief() = default;
    ~Debrief() override;
    Debrief(const Debrief&) = delete;
    Debrief& operator=(const Debrief&) = delete;

    // Creates DIR/approach.csv and writes its header; `frames` is the number
    // of frames the run will have (the plot's samples are reserved for them).
    bool open(const std::string& dir, int64_t frames, const std::string& title, std::string* error);
    void frame_done(Host& host) override;
    // Writes out the CSV's rows (every one whole) and closes it.
    bool close_csv(std::string* error);
    // Closes the CSV and draws DIR/approach.png and DIR/approach.svg. A
    // plot without samples says why: `cause` when the caller knows it (the
    // run's own reason, e.g. a frequency with no carrier-list entry), else
    // what the frames showed (see no_approach_reason).
    bool finish(Host& host, std::string* error, const std::string& cause = {});
    // Why the frames gave no plot sample, from what they showed: the TACAN
    // never valid, the carrier never found, never within range (with the
    // closest range seen), or never airborne in front of the landing area.
    std::string no_approach_reason() const;

    // The CSV's columns, in order.
    static std::vector<std::string> csv_columns();
    const std::string& csv_path() const { return csv_path_; }
    const std::string& png_path() const { return png_path_; }
    const std::string& svg_path() const { return svg_path_; }
    const PlotData& plot_data() const { return plot_; }
    int64_t rows() const { return rows_; }

private:
    struct PendingCall {
        size_t text_index;
        double t;
        double range_nm;
    };
    // The CSV's cells in order; a cell whose value has the same bits as in
    // the last row is copied from that row's text instead of formatted again.
    static constexpr size_t COLUMNS = 36;
    static constexpr size_t CELL_CHARS = 32;  // the longest shortest form of a double is 24
    struct CellCache {
        uint64_t bits = 0;
        uint8_t size = 0;
        bool valid = false;
        char text[CELL_CHARS];
    };
    void cell(double value);
    void integer_cell(int64_t value);
    void empty_cell();

    std::FILE* csv_ = nullptr;
    std::vector<char> buffer_;
    std::string csv_path_, png_path_, svg_path_;
    char line_[4096];
    size_t used_ = 0;
    size_t column_ = 0;
    CellCache cells_[COLUMNS];
    bool published_set_[21] = {};  // a name once published stays published
    int name_ids_[21] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};  // registration indices
    int64_t rows_ = 0;
    size_t plot_stride_ = 1;   // approach frames per plot sample
    size_t plot_phase_ = 0;    // approach frames since the last sample
    bool in_approach_ = false;
    double last_range_ = 0.0;  // of the last approach frame
    size_t texts_seen_ = 0;
    // What the frames showed, for a plot without samples.
    bool seen_valid_ = false;   // the TACAN valid
    bool seen_found_ = false;   // ... and the carrier found
    double closest_nm_ = HUGE_VAL;  // the least ILS range while found
    std::vector<PendingCall> pending_calls_;
    std::vector<std::string> names_;  // PUBLISHED_NAMES as strings, for the host's lookups
    PlotData plot_;
};

}  // namespace host
