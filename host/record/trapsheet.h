// What the judge of passes writes into a run directory:
//   - trapsheet.csv: one row per pass (time, carrier, aircraft, grade,
//     points, groove time, wire, wind over the deck, the deviations zone by
//     zone, the module's calls and the disagreements);
//   - passes.json: the same passes, machine-readable, with the trend samples
//     left out (docs/grading.md, "passes.json");
//   - trend-N.png: pass N as an LSO trend plot, glide-slope and line-up
//     deviation against range, the zones shaded, the module's calls marked.
// `read_passes` reads passes.json back (the greenie board, expectations).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "host/record/grading.h"
#include "host/record/story.h"

namespace host {

// The CSV's columns, in order.
std::vector<std::string> trapsheet_columns();
std::string trapsheet_csv(const std::vector<Pass>& passes);
// Adds a story line per pass, at the time the pass ended, in time order.
void add_pass_story(const std::vector<Pass>& passes, std::vector<StoryLine>* lines);
std::string passes_json(const std::vector<Pass>& passes, const std::string& scenario);

// A pass as passes.json keeps it.
struct PassSummary {
    int number = 0;
    double t = 0.0;
    std::string scenario, carrier, aircraft, grade, outcome, deviations;
    double points = 0.0;
    double groove_s = 0.0;
    int wire = 0;
    double wind_over_deck_kt = 0.0;
    std::vector<std::string> disagreements;
};
// Reads DIR/passes.json; nullopt with `error` ("FILE: what is wrong").
std::optional<std::vector<PassSummary>> read_passes(const std::string& dir, std::string* error);

// Draws pass `pass` as a trend plot into `path` (PLplot, pngcairo). False with `error`.
bool draw_trend_plot(const Pass& pass, const GradingConfig& config, const std::string& title, const std::string& path,
                     std::string* error);

// Writes trapsheet.csv, passes.json and a trend plot per pass into `dir`;
// the files written are appended to `written`.
bool write_pass_files(const std::vector<Pass>& passes, const GradingConfig& config, const std::string& scenario,
                      const std::string& dir, std::vector<std::string>* written, std::string* error);

}  // namespace host
