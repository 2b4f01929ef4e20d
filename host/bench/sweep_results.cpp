// A sweep's results: results.csv, summary.txt and the plots (see sweep_results.h).
#include "host/bench/sweep_results.h"

#include <plplot.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <set>

#include "host/record/plot_setup.h"
#include "host/record/printf_text.h"

namespace fs = std::filesystem;

namespace host {
namespace {

constexpr double KNOTS_PER_MPS = 1.943844492;

std::string csv_text(const std::string& text)
{
    if (text.find_first_of(",\"\n") == std::string::npos) return text;
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c == '\n' ? ' ' : c;
    }
    return out + "\"";
}

std::string fixed(double v, int decimals)
{
    return std::isfinite(v) ? printf_text("%.*f", decimals, v) : std::string();
}

// The values of parameter `p` in the results, sorted, distinct.
std::vector<double> distinct_values(const std::vector<SweepRunResult>& results, size_t p)
{
    std::set<double> values;
    for (const SweepRunResult& r : results)
        if (p < r.values.size() && std::isfinite(r.values[p])) values.insert(r.values[p]);
    return {values.begin(), values.end()};
}

// A parameter's groups: its distinct values, or up to BINS bins of equal
// width when it has more than MAX_DISTINCT (a distribution's draws).
struct Groups {
    std::vector<double> edges;   // bins: lower edges and the last upper edge; empty for values
    std::vector<double> values;  // distinct values
    size_t count() const { return edges.empty() ? values.size() : edges.size() - 1; }
    size_t of(double v) const
    {
        if (edges.empty()) return static_cast<size_t>(std::lower_bound(values.begin(), values.end(), v) - values.begin());
        const size_t bins = edges.size() - 1;
        const double width = (edges.back() - edges.front()) / static_cast<double>(bins);
        const auto k = static_cast<size_t>(std::clamp((v - edges.front()) / width, 0.0, static_cast<double>(bins - 1)));
        return k;
    }
    std::string label(size_t k) const
    {
        if (edges.empty()) return value_text(values[k]);
        return printf_text("%.4g to %.4g", edges[k], edges[k + 1]);
    }
};

constexpr size_t MAX_DISTINCT = 12;
constexpr size_t BINS = 8;

Groups groups_of(const std::vector<SweepRunResult>& results, size_t p)
{
    Groups g;
    g.values = distinct_values(results, p);
    if (g.values.size() > MAX_DISTINCT) {
        const double lo = g.values.front(), hi = g.values.back();
        for (size_t k = 0; k <= BINS; ++k) g.edges.push_back(lo + (hi - lo) * static_cast<double>(k) / BINS);
    }
    return g;
}

// The parameters that take more than one value, in sweep order.
std::vector<size_t> varied(const std::vector<SweepRunResult>& results)
{
    std::vector<size_t> out;
    if (results.empty()) return out;
    for (size_t p = 0; p < results.front().names.size(); ++p)
        if (results.front().names[p] != "seed" && distinct_values(results, p).size() > 1) out.push_back(p);
    return out;
}

std::string tally_row(const std::string& label, const OutcomeTally& t, size_t label_width)
{
    const double mean_wire = t.trap ? t.wire_sum / static_cast<double>(t.trap) : NAN;
    const double groove = t.grooves ? t.groove_sum / static_cast<double>(t.grooves) : NAN;
    const double end_kt = t.end_speeds ? t.end_speed_sum / static_cast<double>(t.end_speeds) * KNOTS_PER_MPS : NAN;
    const double points = t.mean_points();
    return printf_text("  %-*s %5zu %5zu %6zu %8zu %8zu %10zu %6zu %9s %6zu %9s %9s %9s\n", static_cast<int>(label_width),
                       label.c_str(), t.runs, t.trap, t.bolter, t.wave_off, t.ditching, t.no_landing, t.failed,
                       std::isfinite(mean_wire) ? printf_text("%.2f", mean_wire).c_str() : "-", t.wave_off_lights,
                       std::isfinite(groove) ? printf_text("%.1f", groove).c_str() : "-",
                       std::isfinite(end_kt) ? printf_text("%.1f", end_kt).c_str() : "-",
                       std::isfinite(points) ? printf_text("%.2f", points).c_str() : "-");
}

std::string tally_header(const std::string& first, size_t width)
{
    return printf_text("  %-*s %5s %5s %6s %8s %8s %10s %6s %9s %6s %9s %9s %9s\n", static_cast<int>(width), first.c_str(),
                       "runs", "trap", "bolter", "wave-off", "ditching", "no landing", "failed", "mean wire", "WO lt",
                       "groove s", "end kt", "mean pts");
}

// --- plots --------------------------------------------------------------------------

bool begin_plot(const std::string& path, int width, int height, std::string* error)
{
    return begin_plot_page(path, "pngcairo", width, height,
                           {{0, 255, 255, 255}, {1, 0, 0, 0}, {2, 150, 150, 150}, {3, 20, 80, 200}, {4, 200, 30, 30},
                            {5, 20, 140, 40}, {6, 200, 140, 0}, {7, 120, 40, 160}},
                           error);
}

// Bars of `counts` in their pens, each labelled below the box (a text in the
// window would be clipped) and with its count above it; `outline` draws
// each bar's edge too (light bars). Ends the page.
void draw_bars(const char* const* labels, const double* counts, const int* pens, int n, const std::string& y_label,
               const std::string& title, bool outline)
{
    double top = 1.0;
    for (int i = 0; i < n; ++i) top = std::max(top, counts[i]);
    plvpor(0.1, 0.95, 0.15, 0.88);
    plwind(0.0, n, 0.0, top * 1.15);
    plcol0(1);
    plbox("bc", 0.0, 0, "bcnstv", 0.0, 0);
    pllab("", y_label.c_str(), plot_text(title).c_str());
    for (int i = 0; i < n; ++i) {
        PLFLT x[4] = {i + 0.15, i + 0.15, i + 0.85, i + 0.85};
        PLFLT y[4] = {0.0, counts[i], counts[i], 0.0};
        if (counts[i] > 0) {
            plcol0(pens[i]);
            plfill(4, x, y);
            plcol0(1);
            if (outline) plline(4, x, y);
        }
        plcol0(1);
        plmtex("b", 1.5, (i + 0.5) / n, 0.5, plot_text(labels[i]).c_str());
        plptex(i + 0.5, counts[i] + top * 0.02, 1.0, 0.0, 0.5, printf_text("%.0f", counts[i]).c_str());
    }
    plend();
}

// The bars of the outcomes: the wires caught, then every other outcome.
bool plot_outcomes(const std::vector<SweepRunResult>& results, const std::string& title, const std::string& path,
                   std::string* error)
{
    OutcomeTally t;
    for (const SweepRunResult& r : results) t.add(r);
    const char* labels[] = {"wire 1", "wire 2", "wire 3", "wire 4", "bolter", "wave-off", "ditching", "no landing", "failed"};
    const double counts[] = {double(t.wires[1]), double(t.wires[2]),   double(t.wires[3]),
                             double(t.wires[4]), double(t.bolter),     double(t.wave_off),
                             double(t.ditching), double(t.no_landing), double(t.failed)};
    const int pens[] = {5, 5, 5, 5, 6, 4, 3, 2, 7};
    constexpr int n = 9;
    if (!begin_plot(path, 1000, 600, error)) return false;
    draw_bars(labels, counts, pens, n, "runs", title + ": outcomes and wires (" + std::to_string(results.size()) + " runs)",
              false);
    return true;
}

// The bars of the grades of every pass, best first, and the runs without a
// graded pass, coloured as a greenie board paints them.
bool plot_grades(const std::vector<SweepRunResult>& results, const std::string& title, const std::string& path,
                 std::string* error)
{
    OutcomeTally t;
    size_t without = 0;
    for (const SweepRunResult& r : results) {
        t.add(r);
        without += r.passes.empty();
    }
    constexpr int n = 9;
    const char* labels[n] = {GRADES[0], GRADES[1], GRADES[2], GRADES[3], GRADES[4],
                             GRADES[5], GRADES[6], GRADES[7], "no pass"};
    double counts[n];
    for (int i = 0; i < 8; ++i) counts[i] = static_cast<double>(t.grades[i]);
    counts[8] = static_cast<double>(without);
    const int pens[n] = {8, 5, 9, 3, 10, 11, 11, 4, 2};
    if (!begin_plot(path, 1000, 600, error)) return false;
    plscol0(8, 0, 100, 30);     // _OK_: dark green
    plscol0(9, 230, 200, 0);    // (OK): yellow
    plscol0(10, 130, 80, 30);   // no grade: brown
    plscol0(11, 225, 225, 225); // wave-offs: white on the board, light grey here
    draw_bars(labels, counts, pens, n, "passes (runs for \"no pass\")",
              title + ": grades of every pass (" + std::to_string(t.passes) + " passes in " +
                  std::to_string(results.size()) + " runs)",
              true);
    return true;
}

// A grid of cells coloured by `value` (0..1 after scaling to [lo, hi]) against
// two parameters, each cell labelled with `label`.
bool plot_heat_map(const std::vector<SweepRunResult>& results, size_t px, size_t py, const std::string& title,
                   const std::string& subtitle, const std::string& legend, const std::function<double(const OutcomeTally&)>& value,
                   const std::function<std::string(const OutcomeTally&)>& label, const std::string& path,
                   bool high_is_good, std::string* error, double fixed_lo = NAN, double fixed_hi = NAN)
{
    const Groups gx = groups_of(results, px), gy = groups_of(results, py);
    const size_t nx = gx.count(), ny = gy.count();
    std::vector<OutcomeTally> cells(nx * ny);
    for (const SweepRunResult& r : results) cells[gy.of(r.values[py]) * nx + gx.of(r.values[px])].add(r);
    double lo = INFINITY, hi = -INFINITY;
    for (const OutcomeTally& c : cells) {
        const double v = c.runs ? value(c) : NAN;
        if (std::isfinite(v)) lo = std::min(lo, v), hi = std::max(hi, v);
    }
    if (!std::isfinite(lo)) lo = 0.0, hi = 1.0;
    if (std::isfinite(fixed_lo) && std::isfinite(fixed_hi)) lo = fixed_lo, hi = fixed_hi;
    if (hi - lo < 1e-9) hi = lo + 1.0;

    if (!begin_plot(path, 1100, 850, error)) return false;
    // Colour map 1: red (bad) through yellow to green (good).
    PLFLT pos[3] = {0.0, 0.5, 1.0};
    PLFLT red[3] = {0.85, 0.95, 0.15}, green[3] = {0.15, 0.85, 0.65}, blue[3] = {0.15, 0.2, 0.25};
    if (!high_is_good) std::swap(red[0], red[2]), std::swap(green[0], green[2]), std::swap(blue[0], blue[2]);
    plscmap1l(1, 3, pos, red, green, blue, nullptr);

    plvpor(0.12, 0.82, 0.12, 0.88);
    plwind(0.0, static_cast<double>(nx), 0.0, static_cast<double>(ny));
    plschr(0.0, nx > 10 || ny > 10 ? 0.55 : 0.7);
    for (size_t j = 0; j < ny; ++j)
        for (size_t i = 0; i < nx; ++i) {
            const OutcomeTally& c = cells[j * nx + i];
            PLFLT x[4] = {double(i), double(i), double(i + 1), double(i + 1)};
            PLFLT y[4] = {double(j), double(j + 1), double(j + 1), double(j)};
            const double v = c.runs ? value(c) : NAN;
            if (std::isfinite(v)) {
                plcol1((v - lo) / (hi - lo));
                plfill(4, x, y);
            }
            plcol0(1);
            plline(4, x, y);
            if (c.runs) {
                // The label's lines, one under the other.
                const std::string text = label(c);
                std::vector<std::string> lines;
                for (size_t start = 0; start <= text.size();) {
                    const size_t end = std::min(text.find('\n', start), text.size());
                    lines.push_back(text.substr(start, end - start));
                    start = end + 1;
                }
                for (size_t k = 0; k < lines.size(); ++k)
                    plptex(i + 0.5, j + 0.5 + 0.25 * ((lines.size() - 1) / 2.0 - k) - 0.08, 1.0, 0.0, 0.5,
                           plot_text(lines[k]).c_str());
            }
        }
    plschr(0.0, 0.8);
    plcol0(1);
    plbox("bc", 0.0, 0, "bc", 0.0, 0);
    for (size_t i = 0; i < nx; ++i) plmtex("b", 1.5, (i + 0.5) / nx, 0.5, plot_text(gx.label(i)).c_str());
    for (size_t j = 0; j < ny; ++j) plmtex("l", 1.0, (j + 0.5) / ny, 1.0, plot_text(gy.label(j)).c_str());
    plschr(0.0, 1.0);
    plmtex("b", 3.5, 0.5, 0.5, plot_text(results.front().names[px]).c_str());
    plmtex("l", 6.5, 0.5, 0.5, plot_text(results.front().names[py]).c_str());
    plmtex("t", 2.5, 0.5, 0.5, plot_text(title).c_str());
    plschr(0.0, 0.75);
    plmtex("t", 1.0, 0.5, 0.5, plot_text(subtitle).c_str());
    // The colour scale.
    plvpor(0.87, 0.9, 0.12, 0.88);
    plwind(0.0, 1.0, lo, hi);
    for (int k = 0; k < 50; ++k) {
        const double y0 = lo + (hi - lo) * k / 50.0, y1 = lo + (hi - lo) * (k + 1) / 50.0;
        PLFLT x[4] = {0, 0, 1, 1};
        PLFLT y[4] = {y0, y1, y1, y0};
        plcol1((k + 0.5) / 50.0);
        plfill(4, x, y);
    }
    plcol0(1);
    plschr(0.0, 0.7);
    plbox("bc", 0.0, 0, "bcmstv", 0.0, 0);
    plmtex("r", 4.5, 0.5, 0.5, plot_text(legend).c_str());
    plend();
    return true;
}

// With one parameter varying: the outcome rates against it.
bool plot_rates(const std::vector<SweepRunResult>& results, size_t p, const std::string& title, const std::string& path,
                std::string* error)
{
    const Groups g = groups_of(results, p);
    const size_t n = g.count();
    std::vector<OutcomeTally> cells(n);
    for (const SweepRunResult& r : results) cells[g.of(r.values[p])].add(r);
    if (!begin_plot(path, 1000, 600, error)) return false;
    plvpor(0.1, 0.8, 0.15, 0.88);
    plwind(-0.5, n - 0.5, 0.0, 1.05);
    plcol0(1);
    plbox("bc", 0.0, 0, "bcnstv", 0.0, 0);
    for (size_t i = 0; i < n; ++i) plmtex("b", 1.5, (i + 0.5) / n, 0.5, plot_text(g.label(i)).c_str());
    plmtex("b", 3.5, 0.5, 0.5, plot_text(results.front().names[p]).c_str());
    pllab("", "share of the runs", plot_text(title).c_str());
    struct Series {
        const char* name;
        size_t OutcomeTally::*field;
        int pen;
    };
    const Series series[] = {{"trap", &OutcomeTally::trap, 5},
                             {"bolter", &OutcomeTally::bolter, 6},
                             {"wave-off", &OutcomeTally::wave_off, 4},
                             {"ditching", &OutcomeTally::ditching, 3},
                             {"failed", &OutcomeTally::failed, 7}};
    int k = 0;
    for (const Series& s : series) {
        std::vector<PLFLT> xs, ys;
        for (size_t i = 0; i < n; ++i)
            if (cells[i].runs) {
                xs.push_back(static_cast<double>(i));
                ys.push_back(static_cast<double>(cells[i].*s.field) / static_cast<double>(cells[i].runs));
            }
        plcol0(s.pen);
        plwidth(2.0);
        if (xs.size() > 1) plline(static_cast<PLINT>(xs.size()), xs.data(), ys.data());
        plpoin(static_cast<PLINT>(xs.size()), xs.data(), ys.data(), 17);
        plwidth(1.0);
        plmtex("r", 1.5, 0.9 - 0.08 * k++, 0.0, s.name);
    }
    plend();
    return true;
}

bool write_file(const std::string& path, const std::string& text, std::string* error)
{
    FILE* file = std::fopen(path.c_str(), "w");
    if (file && std::fputs(text.c_str(), file) >= 0 && std::fclose(file) == 0) return true;
    if (file) std::fclose(file);
    *error = "cannot write " + path;
    return false;
}

}  // namespace

void OutcomeTally::add(const SweepRunResult& r)
{
    ++runs;
    if (r.outcome == "trap") {
        ++trap;
        ++wires[r.wire >= 1 && r.wire <= 4 ? r.wire : 0];
        wire_sum += r.wire;
    } else if (r.outcome == "bolter") {
        ++bolter;
    } else if (r.outcome == "wave-off") {
        ++wave_off;
    } else if (r.outcome == "ditching") {
        ++ditching;
    } else if (r.outcome == "failed") {
        ++failed;
    } else {
        ++no_landing;
    }
    if (r.wave_off_lights) ++wave_off_lights;
    if (std::isfinite(r.groove_s)) groove_sum += r.groove_s, ++grooves;
    if (std::isfinite(r.end_speed_mps)) end_speed_sum += r.end_speed_mps, ++end_speeds;
    for (const SweepPass& p : r.passes) {
        ++passes;
        points_sum += p.points;
        const int rank = grade_rank(p.grade);
        if (rank >= 0) ++grades[rank];
    }
}

std::vector<SweepRunResult> read_results(const std::string& out_dir, std::vector<std::string>* errors,
                                         const SweepFile* sweep)
{
    std::vector<SweepRunResult> out;
    std::error_code ec;
    std::vector<std::string> files;
    for (const fs::directory_entry& e : fs::directory_iterator(fs::path(out_dir) / "results", ec)) {
        const std::string name = e.path().filename().string();
        if (name.rfind("run_", 0) == 0 && e.path().extension() == ".json") files.push_back(e.path().string());
    }
    if (ec) errors->push_back((fs::path(out_dir) / "results").string() + ": " + ec.message());
    std::vector<std::pair<uint64_t, std::string>> unreadable;
    for (const std::string& f : files) {
        const int64_t named = result_index_of(f);
        if (named < 0) {
            errors->push_back(f + ": not a result file's name (run_NNNNNN.json)");
            continue;
        }
        std::string error;
        auto r = read_result(f, &error);
        if (r && r->index != static_cast<uint64_t>(named)) {
            error = f + ":1: the result of run " + std::to_string(r->index) + ", not of run " + std::to_string(named);
            r.reset();
        }
        if (r) {
            out.push_back(std::move(*r));
            continue;
        }
        errors->push_back(error);
        unreadable.emplace_back(static_cast<uint64_t>(named), error);
    }
    // An unreadable file is a failed run's row, never a hole: the values of
    // its parameters come from the sweep when it is known.
    for (const auto& [index, error] : unreadable) {
        SweepRunResult r;
        if (sweep && index < run_count(*sweep)) {
            r = failed_result(*sweep, index, "");
        } else {
            r.index = index;
            r.outcome = "failed";
            if (!out.empty()) {
                r.sweep = out.front().sweep;
                r.names = out.front().names;
                r.values.assign(r.names.size(), NAN);
            }
        }
        r.reason = "unreadable result: " + error;
        out.push_back(std::move(r));
    }
    std::sort(out.begin(), out.end(), [](const SweepRunResult& a, const SweepRunResult& b) { return a.index < b.index; });
    return out;
}

std::string results_csv(const std::vector<SweepRunResult>& results)
{
    std::string out = "run";
    if (!results.empty())
        for (const std::string& name : results.front().names) out += "," + csv_text(name);
    out += ",outcome,wire,wave_off_lights,groove_s,lockon_s,touchdown_sink_mps,engage_kt,end_speed_mps,"
           "passes,grade,points,last_grade,mean_points,calls,reason\n";
    for (const SweepRunResult& r : results) {
        out += std::to_string(r.index);
        for (double v : r.values) out += "," + (std::isfinite(v) ? value_text(v) : std::string());
        const SweepPass* first = r.first_pass();
        const SweepPass* last = r.last_pass();
        out += "," + csv_text(r.outcome) + "," + (r.wire ? std::to_string(r.wire) : std::string()) + "," +
               (r.wave_off_lights ? "1" : "0") + "," + fixed(r.groove_s, 2) + "," + fixed(r.lockon_s, 2) + "," +
               fixed(r.touchdown_sink_mps, 2) + "," + fixed(r.engage_kt, 1) + "," + fixed(r.end_speed_mps, 2) + "," +
               std::to_string(r.passes.size()) + "," + (first ? csv_text(first->grade) : std::string()) + "," +
               (first ? value_text(first->points) : std::string()) + "," + (last ? csv_text(last->grade) : std::string()) +
               "," + fixed(r.mean_points(), 2) + "," + csv_text(r.calls) + "," + csv_text(r.reason) + "\n";
    }
    return out;
}

std::string results_summary(const std::vector<SweepRunResult>& results)
{
    std::string out;
    OutcomeTally all;
    for (const SweepRunResult& r : results) all.add(r);
    out += printf_text("Sweep %s: %zu runs\n\n", results.empty() ? "" : results.front().sweep.c_str(), results.size());
    out += tally_header("", 3) + tally_row("all", all, 3);
    out += printf_text("  wires: 1: %zu, 2: %zu, 3: %zu, 4: %zu\n", all.wires[1], all.wires[2], all.wires[3], all.wires[4]);
    out += printf_text("  grades of every pass (%zu):", all.passes);
    for (int g = 0; g < 8; ++g) out += printf_text("%s %s: %zu", g ? "," : "", GRADES[g], all.grades[g]);
    out += "\n";
    for (size_t p : varied(results)) {
        const Groups g = groups_of(results, p);
        std::vector<OutcomeTally> cells(g.count());
        for (const SweepRunResult& r : results) cells[g.of(r.values[p])].add(r);
        size_t width = results.front().names[p].size();
        for (size_t k = 0; k < g.count(); ++k) width = std::max(width, g.label(k).size());
        out += "\nBy " + results.front().names[p] + ":\n" + tally_header(results.front().names[p], width);
        for (size_t k = 0; k < g.count(); ++k) out += tally_row(g.label(k), cells[k], width);
    }
    size_t failed = 0;
    for (const SweepRunResult& r : results)
        if (r.outcome == "failed" && failed++ < 10) out += printf_text("\nrun %llu failed: %s", (unsigned long long)r.index, r.reason.c_str());
    if (failed) out += printf_text("\n%zu failed run(s) in all (results.csv has every reason)\n", failed);
    return out;
}

bool write_sweep_outputs(const std::vector<SweepRunResult>& results, const std::string& out_dir, std::string* error)
{
    const fs::path dir(out_dir);
    if (!write_file((dir / "results.csv").string(), results_csv(results), error) ||
        !write_file((dir / "summary.txt").string(), results_summary(results), error))
        return false;
    if (results.empty()) return true;
    const std::string title = results.front().sweep;
    if (!plot_outcomes(results, title, (dir / "outcomes.png").string(), error)) return false;
    if (!plot_grades(results, title, (dir / "grades.png").string(), error)) return false;
    const std::vector<size_t> v = varied(results);
    if (v.size() >= 2) {
        // Each cell: the share trapped and the mean wire, then the runs of each other outcome.
        auto trap_label = [](const OutcomeTally& c) {
            std::string text = printf_text("%.0f%%", 100.0 * c.trap_rate());
            std::string other;
            if (c.trap) other += printf_text(" w%.1f", c.wire_sum / static_cast<double>(c.trap));
            if (c.bolter) other += printf_text(" B%zu", c.bolter);
            if (c.wave_off) other += printf_text(" WO%zu", c.wave_off);
            if (c.ditching) other += printf_text(" D%zu", c.ditching);
            if (c.no_landing) other += printf_text(" N%zu", c.no_landing);
            if (c.failed) other += printf_text(" F%zu", c.failed);
            return other.empty() ? text : text + "\n" + other.substr(1);
        };
        if (!plot_heat_map(results, v[0], v[1], title + ": share of the runs trapped",
                           "cells: % trapped, w mean wire; runs that ended in a Bolter, Wave-Off, Ditching, No landing, "
                           "Failed",
                           "share of the runs trapped", [](const OutcomeTally& c) { return c.trap_rate(); }, trap_label,
                           (dir / "heatmap.png").string(), true, error))
            return false;
        // Each cell: the mean points of its runs' passes (every pass), and how many.
        if (!plot_heat_map(results, v[0], v[1], title + ": mean points of the passes",
                           "cells: mean points of the passes of the cell's runs, and how many",
                           "mean points (_OK_ 5, OK 4, (OK) 3, B 2.5, \u2014 2, WO 1, C 0)",
                           [](const OutcomeTally& c) { return c.mean_points(); },
                           [](const OutcomeTally& c) {
                               return c.passes ? printf_text("%.2f\n%zu pass%s", c.mean_points(), c.passes,
                                                             c.passes == 1 ? "" : "es")
                                               : std::string("no pass");
                           },
                           (dir / "heatmap_points.png").string(), true, error, 0.0, 5.0))
            return false;
        bool launches = false;
        for (const SweepRunResult& r : results) launches = launches || std::isfinite(r.end_speed_mps);
        if (launches &&
            !plot_heat_map(results, v[0], v[1], title + ": catapult end speed (kt)",
                           "the last velocity command of the stroke, over the ground; mean of the cell's launches",
                           "end speed, kt",
                           [](const OutcomeTally& c) {
                               return c.end_speeds ? c.end_speed_sum / static_cast<double>(c.end_speeds) * KNOTS_PER_MPS : NAN;
                           },
                           [](const OutcomeTally& c) {
                               return c.end_speeds ? printf_text("%.1f", c.end_speed_sum / static_cast<double>(c.end_speeds) *
                                                                             KNOTS_PER_MPS)
                                                   : std::string("-");
                           },
                           (dir / "endspeed.png").string(), true, error))
            return false;
    } else if (v.size() == 1) {
        if (!plot_rates(results, v[0], title + ": outcomes against " + results.front().names[v[0]],
                        (dir / "outcome.png").string(), error))
            return false;
    }
    return true;
}

}  // namespace host
