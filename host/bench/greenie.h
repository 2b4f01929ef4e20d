// `carrier-bench greenie RUNDIR...`: the greenie board of several runs, a
// grid of passes coloured by grade as squadrons paint it (a row per run, a
// column per pass), as text and as a PNG, with the average points. A
// directory without passes.json is searched one level down for run
// directories (the runs of a test or a sweep).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "host/record/trapsheet.h"

namespace host {

struct GreenieRow {
    std::string name;  // the run directory, as given or found
    std::vector<PassSummary> passes;
};

struct GreenieBoard {
    std::vector<GreenieRow> rows;
    int passes = 0;
    double average_points = 0.0;  // over every pass; 0 with none
};


std::optional<GreenieBoard> gather_greenie(const std::vector<std::string>& dirs, std::string* error);
std::string greenie_text(const GreenieBoard& board);
// Draws the board into `path` (PNG, cairo). False with `error`.
bool draw_greenie(const GreenieBoard& board, const std::string& path, std::string* error);

}  // namespace host
