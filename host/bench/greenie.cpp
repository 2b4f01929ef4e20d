// The greenie board. Index: [gathering] [text] [picture]
#include "host/bench/greenie.h"

#include "host/bench/sweep_results.h"
#include "host/record/printf_text.h"

#include <cairo.h>

#include <algorithm>
#include <filesystem>
#include <memory>

namespace host {

// [gathering] ----------------------------------------------------------------------
std::optional<GreenieBoard> gather_greenie(const std::vector<std::string>& dirs, std::string* error)
{
    namespace fs = std::filesystem;
    GreenieBoard board;
    auto add = [&](const std::string& dir) -> bool {
        auto passes = read_passes(dir, error);
        if (!passes) return false;
        board.rows.push_back({dir, std::move(*passes)});
        return true;
    };
    for (const std::string& dir : dirs) {
        std::error_code ec;
        if (!fs::is_directory(dir, ec)) {
            *error = dir + ": no such run directory";
            return std::nullopt;
        }
        if (fs::exists(fs::path(dir) / "passes.json", ec)) {
            if (!add(dir)) return std::nullopt;
            continue;
        }
        // A sweep's directory: a row per run from its result file, named by
        // the run's values; an unreadable result is a row without passes.
        if (fs::is_directory(fs::path(dir) / "results", ec)) {
            std::vector<std::string> unreadable;
            const std::vector<SweepRunResult> results = read_results(dir, &unreadable);
            if (!results.empty()) {
                for (const SweepRunResult& r : results) {
                    GreenieRow row;
                    row.name = printf_text("%s run %llu:", dir.c_str(), static_cast<unsigned long long>(r.index));
                    for (size_t i = 0; i < r.names.size() && i < r.values.size(); ++i)
                        row.name += printf_text(" %s=%g", r.names[i].c_str(), r.values[i]);
                    for (size_t i = 0; i < r.passes.size(); ++i) {
                        PassSummary p;
                        p.number = static_cast<int>(i) + 1;
                        p.grade = r.passes[i].grade;
                        p.points = r.passes[i].points;
                        // The result file describes the first approach only.
                        if (i == 0) {
                            p.outcome = r.outcome;
                            p.wire = r.wire;
                        }
                        row.passes.push_back(std::move(p));
                    }
                    board.rows.push_back(std::move(row));
                }
                continue;
            }
        }
        std::vector<std::string> runs;
        for (const auto& entry : fs::directory_iterator(dir, ec))
            if (entry.is_directory() && fs::exists(entry.path() / "passes.json")) runs.push_back(entry.path().string());
        if (runs.empty()) {
            *error = dir + ": neither a run directory (passes.json), a sweep's directory (results/run_*.json) nor a directory of runs";
            return std::nullopt;
        }
        std::sort(runs.begin(), runs.end());
        for (const std::string& run : runs)
            if (!add(run)) return std::nullopt;
    }
    double points = 0.0;
    for (const GreenieRow& row : board.rows) {
        for (const PassSummary& p : row.passes) points += p.points;
        board.passes += static_cast<int>(row.passes.size());
    }
    board.average_points = board.passes ? points / board.passes : 0.0;
    return board;
}

// [text] -----------------------------------------------------------------------------
std::string greenie_text(const GreenieBoard& board)
{
    size_t width = 4;
    for (const GreenieRow& row : board.rows) width = std::max(width, row.name.size());
    std::string out = "Greenie board\n";
    for (const GreenieRow& row : board.rows) {
        out += "  " + row.name + std::string(width - row.name.size(), ' ') + " |";
        if (row.passes.empty()) out += " (no pass)";
        for (const PassSummary& p : row.passes) {
            std::string g = p.grade;
            out += " " + g + std::string(g == "\u2014" ? 4 : 5 - std::min<size_t>(5, g.size()), ' ');
        }
        out += "\n";
    }
    out += printf_text("%d passes, average %.2f points\n", board.passes, board.average_points);
    return out;
}

// [picture] -----------------------------------------------------------------------------
bool draw_greenie(const GreenieBoard& board, const std::string& path, std::string* error)
{
    size_t columns = 1;
    for (const GreenieRow& row : board.rows) columns = std::max(columns, row.passes.size());
    const double cell_w = 70, cell_h = 44, name_w = 300, top = 70, margin = 20, legend_h = 60;
    const int width = static_cast<int>(margin * 2 + name_w + cell_w * static_cast<double>(columns));
    const int height = static_cast<int>(top + cell_h * static_cast<double>(std::max<size_t>(board.rows.size(), 1)) +
                                        legend_h + margin);
    std::unique_ptr<cairo_surface_t, void (*)(cairo_surface_t*)> surface(
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, std::max(width, 720), height), cairo_surface_destroy);
    std::unique_ptr<cairo_t, void (*)(cairo_t*)> cr(cairo_create(surface.get()), cairo_destroy);
    cairo_t* c = cr.get();
    cairo_set_source_rgb(c, 0.12, 0.14, 0.18);
    cairo_paint(c);
    cairo_select_font_face(c, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(c, 20);
    cairo_set_source_rgb(c, 1, 1, 1);
    cairo_move_to(c, margin, 34);
    const std::string title =
        printf_text("Greenie board: %d passes, average %.2f points", board.passes, board.average_points);
    cairo_show_text(c, title.c_str());

    auto centred = [&](const std::string& text, double x, double y) {
        cairo_text_extents_t e;
        cairo_text_extents(c, text.c_str(), &e);
        cairo_move_to(c, x - e.width / 2 - e.x_bearing, y - e.height / 2 - e.y_bearing);
        cairo_show_text(c, text.c_str());
    };
    cairo_set_font_size(c, 12);
    for (size_t i = 0; i < columns; ++i)
        centred(std::to_string(i + 1), margin + name_w + cell_w * (static_cast<double>(i) + 0.5), top - 10);
    for (size_t r = 0; r < board.rows.size(); ++r) {
        const GreenieRow& row = board.rows[r];
        const double y = top + cell_h * static_cast<double>(r);
        cairo_set_source_rgb(c, 0.9, 0.9, 0.9);
        cairo_select_font_face(c, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
        cairo_set_font_size(c, 13);
        std::string name = std::filesystem::path(row.name).filename().string();
        if (name.empty()) name = row.name;
        if (!row.passes.empty() && !row.passes.front().scenario.empty()) name += " (" + row.passes.front().scenario + ")";
        if (name.size() > 40) name = name.substr(0, 37) + "...";
        cairo_move_to(c, margin, y + cell_h / 2 + 5);
        cairo_show_text(c, name.c_str());
        for (size_t i = 0; i < columns; ++i) {
            const double x = margin + name_w + cell_w * static_cast<double>(i);
            if (i >= row.passes.size()) {
                cairo_set_source_rgb(c, 0.22, 0.24, 0.28);
                cairo_rectangle(c, x + 2, y + 2, cell_w - 4, cell_h - 4);
                cairo_fill(c);
                continue;
            }
            const PassSummary& p = row.passes[i];
            const GradeColour colour = grade_colour(p.grade);
            cairo_set_source_rgb(c, colour.r, colour.g, colour.b);
            cairo_rectangle(c, x + 2, y + 2, cell_w - 4, cell_h - 4);
            cairo_fill(c);
            const bool dark = colour.r * 0.3 + colour.g * 0.59 + colour.b * 0.11 < 0.5;
            cairo_set_source_rgb(c, dark ? 1 : 0, dark ? 1 : 0, dark ? 1 : 0);
            cairo_select_font_face(c, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
            cairo_set_font_size(c, 14);
            centred(p.grade, x + cell_w / 2, y + cell_h / 2 - 6);
            cairo_select_font_face(c, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
            cairo_set_font_size(c, 10);
            centred(p.outcome == "trap" ? printf_text("%d-wire", p.wire) : p.outcome, x + cell_w / 2, y + cell_h / 2 + 10);
        }
    }
    // The legend.
    const double ly = top + cell_h * static_cast<double>(std::max<size_t>(board.rows.size(), 1)) + 20;
    cairo_set_font_size(c, 12);
    double lx = margin;
    for (const char* g : GRADES) {
        const GradeColour colour = grade_colour(g);
        cairo_set_source_rgb(c, colour.r, colour.g, colour.b);
        cairo_rectangle(c, lx, ly, 18, 18);
        cairo_fill(c);
        cairo_set_source_rgb(c, 0.9, 0.9, 0.9);
        const std::string label = printf_text("%s %g", g, grade_points(g));
        cairo_move_to(c, lx + 24, ly + 14);
        cairo_show_text(c, label.c_str());
        lx += 82;
    }
    cairo_surface_flush(surface.get());
    if (cairo_surface_write_to_png(surface.get(), path.c_str()) != CAIRO_STATUS_SUCCESS) {
        *error = "cannot write " + path;
        return false;
    }
    return true;
}

}  // namespace host
