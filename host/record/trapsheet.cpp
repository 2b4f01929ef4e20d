// The trap sheet, passes.json and the trend plots. Index: [csv] [json] [plot]
#include "host/record/trapsheet.h"

#include "host/record/plot_setup.h"
#include "host/record/printf_text.h"

#include <nlohmann/json.hpp>
#include <plplot.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace host {
namespace {

// A CSV cell, quoted when it holds a comma, a quote or a line end.
std::string cell(const std::string& text)
{
    if (text.find_first_of(",\"\n") == std::string::npos) return text;
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

std::string joined(const std::vector<std::string>& items, const char* separator)
{
    std::string out;
    for (const std::string& s : items) out += (out.empty() ? "" : separator) + s;
    return out;
}

std::string zone_text(const Pass& pass, int zone)
{
    std::array<std::array<Magnitude, DEVIATION_COUNT>, ZONE_COUNT> only{};
    only[zone] = pass.deviations[zone];
    return deviation_text(only);
}

std::string calls_text(const Pass& pass)
{
    std::vector<std::string> calls;
    for (const ModuleCall& c : pass.calls)
        calls.push_back(printf_text("%s @ %.2f nm (%s)", c.text.c_str(), c.range_nm, zone_name(c.zone)));
    return joined(calls, "; ");
}

bool write_file(const std::string& path, const std::string& text, std::string* error)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
    out.close();
    if (!out) {
        *error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace

// [csv] ---------------------------------------------------------------------------
std::vector<std::string> trapsheet_columns()
{
    return {"pass", "t_s", "carrier", "aircraft", "grade", "points", "outcome", "groove_s", "wire",
            "wind_over_deck_kt", "deviations", "X", "IM", "IC", "AR", "IW", "module_calls", "disagreements"};
}

std::string trapsheet_csv(const std::vector<Pass>& passes)
{
    std::string out = joined(trapsheet_columns(), ",") + "\n";
    for (const Pass& p : passes) {
        std::vector<std::string> row = {std::to_string(p.number),
                                        printf_text("%.2f", p.t_start),
                                        cell(p.carrier),
                                        cell(p.aircraft),
                                        cell(p.grade),
                                        printf_text("%g", p.points),
                                        outcome_name(p.outcome),
                                        printf_text("%.1f", p.groove_s),
                                        p.outcome == Outcome::Trap ? std::to_string(p.wire) : "",
                                        printf_text("%.1f", p.wind_over_deck_kt),
                                        cell(p.deviation_text)};
        for (int z = 0; z < ZONE_COUNT; ++z) row.push_back(cell(zone_text(p, z)));
        row.push_back(cell(calls_text(p)));
        row.push_back(cell(joined(p.disagreements, "; ")));
        out += joined(row, ",") + "\n";
    }
    return out;
}

void add_pass_story(const std::vector<Pass>& passes, std::vector<StoryLine>* lines)
{
    for (const Pass& p : passes) {
        auto at = std::upper_bound(lines->begin(), lines->end(), p.t_end,
                                   [](double t, const StoryLine& line) { return t < line.t; });
        lines->insert(at, StoryLine{p.t_end, p.story_line()});
    }
}

// [json] --------------------------------------------------------------------------
std::string passes_json(const std::vector<Pass>& passes, const std::string& scenario)
{
    nlohmann::json doc;
    doc["scenario"] = scenario;
    doc["grades"] = nlohmann::json::array();
    for (const char* g : GRADES) doc["grades"].push_back(g);
    doc["passes"] = nlohmann::json::array();
    for (const Pass& p : passes) {
        nlohmann::json j;
        j["pass"] = p.number;
        j["t"] = p.t_start;
        j["t_end"] = p.t_end;
        j["carrier"] = p.carrier;
        j["aircraft"] = p.aircraft;
        j["grade"] = p.grade;
        j["points"] = p.points;
        j["outcome"] = outcome_name(p.outcome);
        j["groove_s"] = p.groove_s;
        j["wire"] = p.wire;
        j["wind_over_deck_kt"] = p.wind_over_deck_kt;
        j["deviations"] = p.deviation_text;
        nlohmann::json zones = nlohmann::json::object();
        for (int z = 0; z < ZONE_COUNT; ++z) {
            nlohmann::json zone = nlohmann::json::object();
            for (int d = 0; d < DEVIATION_COUNT; ++d)
                if (p.deviations[z][d] > 0) zone[deviation_name(static_cast<Deviation>(d))] = p.deviations[z][d];
            zones[zone_name(static_cast<Zone>(z))] = zone;
        }
        j["zones"] = zones;
        j["calls"] = nlohmann::json::array();
        for (const ModuleCall& c : p.calls)
            j["calls"].push_back({{"t", c.t}, {"range_nm", c.range_nm}, {"zone", zone_name(c.zone)}, {"text", c.text}});
        j["disagreements"] = p.disagreements;
        doc["passes"].push_back(j);
    }
    return doc.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

std::optional<std::vector<PassSummary>> read_passes(const std::string& dir, std::string* error)
{
    const std::string path = (std::filesystem::path(dir) / "passes.json").string();
    std::ifstream in(path);
    if (!in) {
        *error = path + ": cannot open (not a run directory of this bench, or a run before the judge)";
        return std::nullopt;
    }
    try {
        const nlohmann::json doc = nlohmann::json::parse(in);
        std::vector<PassSummary> out;
        const std::string scenario = doc.value("scenario", "");
        for (const nlohmann::json& j : doc.at("passes")) {
            PassSummary p;
            p.number = j.at("pass").get<int>();
            p.t = j.at("t").get<double>();
            p.scenario = scenario;
            p.carrier = j.value("carrier", "");
            p.aircraft = j.value("aircraft", "");
            p.grade = j.at("grade").get<std::string>();
            if (grade_rank(p.grade) < 0) throw std::runtime_error("\"" + p.grade + "\" is no grade");
            p.points = grade_points(p.grade);
            p.outcome = j.value("outcome", "");
            p.deviations = j.value("deviations", "");
            p.groove_s = j.value("groove_s", 0.0);
            p.wire = j.value("wire", 0);
            p.wind_over_deck_kt = j.value("wind_over_deck_kt", 0.0);
            p.disagreements = j.value("disagreements", std::vector<std::string>{});
            out.push_back(std::move(p));
        }
        return out;
    } catch (const std::exception& e) {
        *error = path + ": " + e.what();
        return std::nullopt;
    }
}

// [plot] --------------------------------------------------------------------------
namespace {

enum Pen { WHITE = 0, BLACK = 1, GREY = 2, BLUE = 3, RED = 4, GREEN = 5, SHADE_A = 6, SHADE_B = 7, PURPLE = 8 };

}  // namespace

bool draw_trend_plot(const Pass& pass, const GradingConfig& config, const std::string& title, const std::string& path,
                     std::string* error)
{
    const double x_max = config.zone_start_nm[0] + 0.05;
    double x_min = 0.0;
    for (const TrendSample& s : pass.samples) x_min = std::min(x_min, s.range_nm);
    x_min = std::max(x_min, -0.1);
    struct Panel {
        const char* label;
        double TrendSample::*field;
        const std::array<double, 3>* thresholds;
        const char* up;
        const char* down;
    };
    const Panel panels[2] = {{"glide slope (deg)", &TrendSample::glide_deg, &config.glide_deg, "HI", "LO"},
                             {"line-up (deg)", &TrendSample::lineup_deg, &config.lineup_deg, "LUL", "LUR"}};

    if (!begin_plot_page(path, "pngcairo", 1200, 800,
                         {{WHITE, 255, 255, 255}, {BLACK, 0, 0, 0}, {GREY, 150, 150, 150}, {BLUE, 20, 80, 200},
                          {RED, 200, 30, 30}, {GREEN, 20, 140, 40}, {SHADE_A, 236, 236, 236}, {SHADE_B, 250, 250, 250},
                          {PURPLE, 120, 40, 160}},
                         error))
        return false;
    const double left = 0.09, right = 0.97;
    const double tops[2] = {0.86, 0.47}, bottoms[2] = {0.52, 0.13};
    // Zone edges, outermost first: X, IM, IC, AR, IW (IW beyond the ramp).
    const double edges[6] = {x_max, config.zone_start_nm[1], config.zone_start_nm[2], config.zone_start_nm[3], 0.0,
                             x_min};
    std::vector<double> xs, ys;
    for (int k = 0; k < 2; ++k) {
        const Panel& panel = panels[k];
        double limit = (*panel.thresholds)[2] * 1.6;
        for (const TrendSample& s : pass.samples) limit = std::max(limit, std::fabs(s.*panel.field) * 1.1);
        limit = std::min(limit, 10.0);
        plvpor(left, right, bottoms[k], tops[k]);
        plwind(x_max, x_min, -limit, limit);  // range falls to the right, as the approach goes
        // The zones, shaded in turn and named.
        for (int z = 0; z < ZONE_COUNT; ++z) {
            const double a = edges[z], b = edges[z + 1];
            if (a <= b) continue;
            const double fx[4] = {a, b, b, a}, fy[4] = {-limit, -limit, limit, limit};
            plcol0(z % 2 ? SHADE_B : SHADE_A);
            plfill(4, fx, fy);
            plcol0(GREY);
            plschr(0.0, 0.8);
            plptex((a + b) / 2.0, limit * 0.85, -1.0, 0.0, 0.5, zone_name(static_cast<Zone>(z)));
        }
        // The magnitude thresholds: a little, reasonable, a lot.
        plcol0(GREY);
        pllsty(2);
        for (double th : *panel.thresholds) {
            for (double sign : {1.0, -1.0}) {
                const double lx[2] = {x_max, x_min}, ly[2] = {sign * th, sign * th};
                plline(2, lx, ly);
            }
        }
        pllsty(1);
        const double zx[2] = {x_max, x_min}, zy[2] = {0.0, 0.0};
        plcol0(BLACK);
        plline(2, zx, zy);
        plschr(0.0, 0.85);
        plbox(k == 1 ? "bcnst" : "bcst", 0.0, 0, "bcnstv", 0.0, 0);
        plmtex("l", 4.0, 0.5, 0.5, panel.label);
        plmtex("r", 1.0, 0.9, 0.5, panel.up);
        plmtex("r", 1.0, 0.1, 0.5, panel.down);
        // The module's calls.
        for (const ModuleCall& c : pass.calls) {
            if (c.range_nm > x_max || c.range_nm < x_min) continue;
            plcol0(call_deviation(c.text) >= 0 ? RED : PURPLE);
            pllsty(3);
            const double cx[2] = {c.range_nm, c.range_nm}, cy[2] = {-limit, limit};
            plline(2, cx, cy);
            pllsty(1);
            if (k == 0) {
                plschr(0.0, 0.6);
                plptex(c.range_nm, -limit * 0.95, 0.0, 1.0, 0.0, plot_text(c.text).c_str());
            }
        }
        plcol0(BLUE);
        plwidth(2.0);
        xs.clear();
        ys.clear();
        for (const TrendSample& s : pass.samples) {
            xs.push_back(s.range_nm);
            ys.push_back(std::clamp(s.*panel.field, -limit, limit));
        }
        if (xs.size() >= 2) plline(static_cast<PLINT>(xs.size()), xs.data(), ys.data());
        plwidth(1.0);
    }
    plcol0(BLACK);
    plschr(0.0, 1.0);
    plvpor(left, right, bottoms[0], tops[0]);
    plwind(0, 1, 0, 1);
    plmtex("t", 3.0, 0.5, 0.5, plot_text(title).c_str());
    const std::string grade_line = pass.deviation_text.empty()
                                       ? pass.grade + "   " + outcome_name(pass.outcome)
                                       : pass.grade + "   " + outcome_name(pass.outcome) + "   " + pass.deviation_text;
    plmtex("t", 1.2, 0.5, 0.5, plot_text(grade_line).c_str());
    plvpor(left, right, bottoms[1], tops[1]);
    plwind(0, 1, 0, 1);
    plmtex("b", 3.2, 0.5, 0.5, "range from the ramp (nm)");
    plend();
    std::error_code ec;
    if (std::filesystem::file_size(path, ec) == 0 || ec) {
        *error = "PLplot wrote nothing into " + path + " (is plplot-driver-cairo installed?)";
        return false;
    }
    return true;
}

bool write_pass_files(const std::vector<Pass>& passes, const GradingConfig& config, const std::string& scenario,
                      const std::string& dir, std::vector<std::string>* written, std::string* error)
{
    namespace fs = std::filesystem;
    const std::string csv = (fs::path(dir) / "trapsheet.csv").string();
    const std::string json = (fs::path(dir) / "passes.json").string();
    if (!write_file(csv, trapsheet_csv(passes), error) || !write_file(json, passes_json(passes, scenario), error))
        return false;
    written->push_back(csv);
    written->push_back(json);
    for (const Pass& p : passes) {
        const std::string png = (fs::path(dir) / printf_text("trend-%d.png", p.number)).string();
        const std::string title = printf_text("%s: pass %d (t %.0f s)", scenario.c_str(), p.number, p.t_start);
        if (!draw_trend_plot(p, config, title, png, error)) return false;
        written->push_back(png);
    }
    return true;
}

}  // namespace host
