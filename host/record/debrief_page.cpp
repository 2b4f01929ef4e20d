#include "host/record/debrief_page.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "host/record/grading.h"
#include "host/record/printf_text.h"

namespace host {

namespace {

namespace fs = std::filesystem;

// Of one kind, at most this many timeline rows go into the page (the
// per-frame kinds have tens of thousands); the whole timeline is in
// timeline.jsonl beside it.
constexpr size_t MAX_ROWS_PER_KIND = 400;
// The approach plot of the page: the groove, the last this many nautical miles.
constexpr double GROOVE_NM = 1.2;
// The officer's zones of the groove, nautical miles of slant range.
struct Zone {
    double from_nm, to_nm;
    const char* name;
    const char* colour;
};
constexpr Zone ZONES[] = {
    {1.2, 0.75, "start", "#eef3fb"},
    {0.75, 0.45, "in the middle", "#e1ebf7"},
    {0.45, 0.2, "in close", "#d2e2f3"},
    {0.2, 0.0, "at the ramp", "#c3d8ee"},
};

bool read_file(const fs::path& path, std::string* out)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream s;
    s << in.rdbuf();
    *out = s.str();
    return true;
}

std::string base64(const std::string& bytes)
{
    static const char* const A = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const uint32_t v = (static_cast<uint8_t>(bytes[i]) << 16) | (static_cast<uint8_t>(bytes[i + 1]) << 8) |
                           static_cast<uint8_t>(bytes[i + 2]);
        out += A[(v >> 18) & 63];
        out += A[(v >> 12) & 63];
        out += A[(v >> 6) & 63];
        out += A[v & 63];
    }
    if (i + 1 == bytes.size()) {
        const uint32_t v = static_cast<uint8_t>(bytes[i]) << 16;
        out += A[(v >> 18) & 63];
        out += A[(v >> 12) & 63];
        out += "==";
    } else if (i + 2 == bytes.size()) {
        const uint32_t v = (static_cast<uint8_t>(bytes[i]) << 16) | (static_cast<uint8_t>(bytes[i + 1]) << 8);
        out += A[(v >> 18) & 63];
        out += A[(v >> 12) & 63];
        out += A[(v >> 6) & 63];
        out += '=';
    }
    return out;
}

// An <img> of a PNG of the run directory, inlined; "" when the file is missing.
std::string png_img(const fs::path& dir, const std::string& name, const std::string& alt, const char* cls = "")
{
    std::string bytes;
    if (!read_file(dir / name, &bytes) || bytes.size() < 8 || bytes.compare(1, 3, "PNG") != 0) return "";
    return "<img class=\"" + std::string(cls) + "\" alt=\"" + html_escape(alt) + "\" title=\"" + html_escape(name) +
           "\" src=\"data:image/png;base64," + base64(bytes) + "\">";
}

std::string not_available(const std::string& what)
{
    return "<p class=\"na\">not available: " + html_escape(what) + "</p>\n";
}

std::string num(double v, int decimals = 2)
{
    return printf_text("%.*f", decimals, v);
}

// A JSON value as HTML: an array of objects as a table, an object as a
// two-column table, anything else as text.
std::string json_html(const nlohmann::json& v, int depth = 0)
{
    if (depth > 6) return "<code>" + html_escape(v.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)) + "</code>";
    if (v.is_string()) return html_escape(v.get<std::string>());
    if (v.is_boolean()) return v.get<bool>() ? "<span class=\"pass\">yes</span>" : "<span class=\"fail\">no</span>";
    if (v.is_array() && !v.empty() && std::all_of(v.begin(), v.end(), [](const auto& e) { return e.is_object(); })) {
        std::vector<std::string> keys;
        for (const auto& e : v)
            for (auto it = e.begin(); it != e.end(); ++it)
                if (std::find(keys.begin(), keys.end(), it.key()) == keys.end()) keys.push_back(it.key());
        std::string out = "<table class=\"data\"><tr>";
        for (const auto& k : keys) out += "<th>" + html_escape(k) + "</th>";
        out += "</tr>\n";
        for (const auto& e : v) {
            out += "<tr>";
            for (const auto& k : keys) out += "<td>" + (e.contains(k) ? json_html(e[k], depth + 1) : "") + "</td>";
            out += "</tr>\n";
        }
        return out + "</table>";
    }
    if (v.is_array()) {
        std::string out = "<ul>";
        for (const auto& e : v) out += "<li>" + json_html(e, depth + 1) + "</li>";
        return out + "</ul>";
    }
    if (v.is_object()) {
        std::string out = "<table class=\"kv\">";
        for (auto it = v.begin(); it != v.end(); ++it)
            out += "<tr><th>" + html_escape(it.key()) + "</th><td>" + json_html(it.value(), depth + 1) + "</td></tr>\n";
        return out + "</table>";
    }
    // Ranges, times and points read to two decimals (the files keep every digit).
    if (v.is_number_float()) return html_escape(printf_text("%.2f", v.get<double>()));
    return html_escape(v.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
}

// The page's file, written piece by piece with +=; finish() says whether
// every piece reached the disk.
class PageFile {
public:
    explicit PageFile(const fs::path& path) : file_(path, std::ios::binary) {}
    PageFile& operator+=(std::string_view text)
    {
        file_.write(text.data(), static_cast<std::streamsize>(text.size()));
        return *this;
    }
    bool finish() { return file_.flush() && file_.good(); }

private:
    std::ofstream file_;
};

// The expectations, one row each, named first; `met` and `total` count them
// (both -1 when the file is not the bench's expectations.json, which is then
// shown as it is).
std::string expectations_html(const fs::path& dir, int* met, int* total)
{
    *met = *total = -1;
    std::string text;
    if (!read_file(dir / "expectations.json", &text))
        return not_available("the scenario's expectations (no expectations.json in the run directory)");
    const auto v = nlohmann::json::parse(text, nullptr, false);
    if (v.is_discarded()) return "<p class=\"fail\">expectations.json is not valid JSON</p>\n";
    if (!v.is_object() || !v.contains("expectations") || !v["expectations"].is_array()) return json_html(v) + "\n";
    *met = *total = 0;
    std::string rows;
    for (const auto& e : v["expectations"]) {
        if (!e.is_object()) continue;
        const bool ok = e.value("met", false);
        ++*total;
        if (ok) ++*met;
        auto field = [&](const char* key) { return e.contains(key) ? json_html(e[key], 1) : std::string(); };
        rows += std::string("<tr class=\"") + (ok ? "met" : "unmet") + "\"><td>" + field("name") + "</td><td>" +
                (ok ? "<span class=\"pass\">met</span>" : "<span class=\"fail\">not met</span>") + "</td><td>" +
                field("expected") + "</td><td>" + field("observed") + "</td><td>" + field("line") + "</td></tr>\n";
    }
    if (*total == 0) return "<p class=\"na\">the scenario states no expectations</p>\n";
    return "<table class=\"data\" id=\"expectations-table\"><tr><th>expectation</th><th>met</th><th>expected</th>"
           "<th>observed</th><th>line</th></tr>\n" +
           rows + "</table>\n";
}

// A grade as a badge in the greenie board's colours.
std::string grade_badge(const std::string& grade)
{
    const GradeColour c = grade_colour(grade);
    const bool light = 0.3 * c.r + 0.6 * c.g + 0.1 * c.b > 0.6;
    return printf_text("<span class=\"grade\" style=\"background:#%02x%02x%02x;color:%s\">",
                       static_cast<unsigned>(std::lround(255 * c.r)), static_cast<unsigned>(std::lround(255 * c.g)),
                       static_cast<unsigned>(std::lround(255 * c.b)), light ? "#111" : "#fff") +
           html_escape(grade) + "</span>";
}

// The deviations of one zone of passes.json ({"HI": 2, "LUL": 1}) among
// deviations [first, first + count), as the LSO writes them: "HI (LUL)".
std::string zone_deviations(const nlohmann::json& zones, const char* zone, int first, int count)
{
    std::string out;
    if (!zones.contains(zone) || !zones[zone].is_object()) return out;
    const nlohmann::json& z = zones[zone];
    for (int d = first; d < first + count && d < DEVIATION_COUNT; ++d) {
        const char* name = deviation_name(static_cast<Deviation>(d));
        if (!z.contains(name) || !z[name].is_number_integer()) continue;
        const int64_t m = z[name].get<int64_t>();
        out += (out.empty() ? "" : " ") + deviation_written(static_cast<Deviation>(d), static_cast<Magnitude>(std::clamp<int64_t>(m, 0, 3)));
    }
    return out;
}

// Writes the grade sheet of each pass of passes.json to `page`: the grade,
// the outcome, the deviations by zone, the module's calls beside the judge
// and where they disagree, the pass's trend plot. A file of another shape is
// shown as it is.
void passes_html(const fs::path& dir, PageFile& page)
{
    std::string text;
    if (!read_file(dir / "passes.json", &text))
        return void(page += not_available("the passes' grades (no passes.json in the run directory)"));
    const auto v = nlohmann::json::parse(text, nullptr, false);
    if (v.is_discarded()) return void(page += "<p class=\"fail\">passes.json is not valid JSON</p>\n");
    if (!v.is_object() || !v.contains("passes") || !v["passes"].is_array()) return void(page += json_html(v) + "\n");
    if (v["passes"].empty()) return void(page += "<p class=\"na\">no pass: the aircraft never entered the groove</p>\n");
    // The zone table's rows: glide slope (HI, LO), line-up (LUL, LUR), angle of attack (F, SLO).
    static const char* const KINDS[] = {"glide slope", "line-up", "angle of attack"};
    std::string out;
    for (const auto& p : v["passes"]) {
        if (!p.is_object()) continue;
        auto str = [&](const char* key) {
            return p.contains(key) && p[key].is_string() ? p[key].get<std::string>() : std::string();
        };
        auto number = [&](const char* key) { return p.contains(key) && p[key].is_number() ? p[key].get<double>() : NAN; };
        const int n = p.contains("pass") && p["pass"].is_number_integer() ? p["pass"].get<int>() : 0;
        const std::string grade = str("grade"), outcome = str("outcome");
        out += printf_text("<div class=\"pass-sheet\" id=\"pass-%d\"><h3>", n) + grade_badge(grade) +
               printf_text(" Pass %d", n);
        if (std::isfinite(number("points"))) out += ": " + num(number("points"), 1) + " points";
        out += "</h3>\n<p>";
        const double wire = number("wire");
        out += html_escape(outcome == "trap" && std::isfinite(wire) ? printf_text("trap, %.0f-wire", wire) : outcome);
        if (std::isfinite(number("groove_s"))) out += ", groove " + num(number("groove_s"), 1) + " s";
        if (std::isfinite(number("wind_over_deck_kt")))
            out += ", wind over the deck " + num(number("wind_over_deck_kt"), 1) + " kt";
        if (std::isfinite(number("t"))) out += ", in the groove at t=" + num(number("t"));
        if (!str("carrier").empty()) out += "; " + html_escape(str("carrier"));
        if (!str("aircraft").empty()) out += ", " + html_escape(str("aircraft"));
        out += "</p>\n<p class=\"lso\">" +
               (str("deviations").empty() ? std::string("no deviation") : html_escape(str("deviations"))) + "</p>\n";

        // Deviations by zone.
        const nlohmann::json zones = p.contains("zones") && p["zones"].is_object() ? p["zones"] : nlohmann::json::object();
        out += "<table class=\"data zones\"><tr><th></th>";
        for (int z = 0; z < ZONE_COUNT; ++z) out += std::string("<th>") + zone_name(static_cast<host::Zone>(z)) + "</th>";
        out += "</tr>\n";
        for (int k = 0; k < 3; ++k) {
            out += std::string("<tr><th>") + KINDS[k] + "</th>";
            for (int z = 0; z < ZONE_COUNT; ++z)
                out += "<td>" + html_escape(zone_deviations(zones, zone_name(static_cast<host::Zone>(z)), 2 * k, 2)) + "</td>";
            out += "</tr>\n";
        }
        out += "</table>\n";

        // The module's calls beside the judge.
        std::string rows;
        if (p.contains("calls") && p["calls"].is_array()) {
            for (const auto& c : p["calls"]) {
                if (!c.is_object()) continue;
                const std::string zone = c.contains("zone") && c["zone"].is_string() ? c["zone"].get<std::string>() : "";
                const std::string judge = zone_deviations(zones, zone.c_str(), 0, DEVIATION_COUNT);
                const double t = c.contains("t") && c["t"].is_number() ? c["t"].get<double>() : NAN;
                const double r = c.contains("range_nm") && c["range_nm"].is_number() ? c["range_nm"].get<double>() : NAN;
                rows += "<tr><td>" + num(t) + "</td><td>" + num(r) + "</td><td>" + html_escape(zone) + "</td><td>" +
                        (c.contains("text") ? json_html(c["text"], 1) : std::string()) + "</td><td>" +
                        (judge.empty() ? std::string("no deviation in that zone") : html_escape(judge)) +
                        "</td></tr>\n";
            }
        }
        if (rows.empty()) out += "<p class=\"na\">the module made no call during this pass</p>\n";
        else
            out += "<table class=\"data calls\"><tr><th>t (s)</th><th>range (nm)</th><th>zone</th><th>the module's "
                   "call</th><th>the judge in that zone</th></tr>\n" +
                   rows + "</table>\n";
        const bool disagree = p.contains("disagreements") && p["disagreements"].is_array() && !p["disagreements"].empty();
        if (disagree) {
            out += "<p class=\"fail\">Where the module and the judge disagree:</p><ul class=\"disagreements\">";
            for (const auto& d : p["disagreements"]) out += "<li>" + json_html(d, 1) + "</li>";
            out += "</ul>\n";
        } else {
            out += "<p class=\"pass\">The module's calls agree with the judge.</p>\n";
        }
        const std::string trend = png_img(dir, printf_text("trend-%d.png", n), "trend plot of the pass", "trend");
        if (!trend.empty()) out += trend + "\n";
        out += "</div>\n";
        page += out;  // a pass at a time: its picture need not wait for the others
        out.clear();
    }
}

std::vector<std::string> split(const std::string& line, char sep)
{
    std::vector<std::string> out(1);
    for (char c : line) {
        if (c == sep) out.emplace_back();
        else if (c != '\r') out.back() += c;
    }
    return out;
}

struct Event {
    double t = 0;
    std::string kind;
    nlohmann::json data;
};

struct Call {
    double t;
    std::string label;   // the screen text, or the sound file's name
    std::string colour;
    double range_nm = NAN;
};

// approach.csv's columns the page plots.
struct Sample {
    double t, range, gs, loc;
    bool approach;
};

// The samples of approach.csv in the groove (approach and within GROOVE_NM),
// in time order; a sample outside it is kept only as a break between two
// stretches (approach false), so that a long run costs the page no more than
// its grooves. `any_approach`: whether any row was an approach, at any range.
std::vector<Sample> read_samples(const fs::path& path, bool* any_approach)
{
    std::vector<Sample> out;
    *any_approach = false;
    std::ifstream in(path);
    std::string line;
    if (!std::getline(in, line)) return out;
    const auto cols = split(line, ',');
    auto col = [&](const char* name) {
        const auto it = std::find(cols.begin(), cols.end(), name);
        return it == cols.end() ? -1 : static_cast<int>(it - cols.begin());
    };
    const int ct = col("t"), cr = col("ILS Slant Range"), cg = col("GS Error"), cl = col("LOC Error"),
              cv = col("TCN Valid"), co = col("on_ground");
    if (ct < 0 || cr < 0 || cg < 0 || cl < 0 || cv < 0 || co < 0) return out;
    auto value = [](const std::vector<std::string>& cells, int c) {
        if (c >= static_cast<int>(cells.size()) || cells[static_cast<size_t>(c)].empty()) return static_cast<double>(NAN);
        char* end = nullptr;
        const double v = std::strtod(cells[static_cast<size_t>(c)].c_str(), &end);
        return *end == '\0' && std::isfinite(v) ? v : static_cast<double>(NAN);
    };
    while (std::getline(in, line)) {
        const auto cells = split(line, ',');
        Sample s{value(cells, ct), value(cells, cr), value(cells, cg), value(cells, cl), false};
        s.approach = value(cells, cv) == 1.0 && value(cells, co) != 1.0 && std::isfinite(s.range) &&
                     std::isfinite(s.gs) && std::isfinite(s.loc) && std::fabs(s.loc) < 90.0;
        *any_approach = *any_approach || s.approach;
        if (s.approach && s.range <= GROOVE_NM) out.push_back(s);
        else if (!out.empty() && out.back().approach) out.push_back({s.t, NAN, NAN, NAN, false});
    }
    return out;
}

// The page's plot of the groove: glide-slope and line-up errors against the
// range, the officer's zones as bands, the calls as markers with labels in
// rows that do not overlap.
std::string groove_svg(const std::vector<Sample>& samples, std::vector<Call>& calls)
{
    const double W = 1000, left = 70, right = 20, plot_w = W - left - right, panel_h = 170;
    auto px = [&](double range) { return left + (GROOVE_NM - range) / GROOVE_NM * plot_w; };
    // Calls in the groove, with their range from the sample nearest in time.
    std::vector<const Call*> shown;
    for (Call& c : calls) {
        const auto it = std::lower_bound(samples.begin(), samples.end(), c.t,
                                         [](const Sample& s, double t) { return s.t < t; });
        if (it != samples.end() && it->approach && it->range <= GROOVE_NM && std::fabs(it->t - c.t) < 0.1) {
            c.range_nm = it->range;
            shown.push_back(&c);
        }
    }
    std::vector<double> xs, widths;
    for (const Call* c : shown) {
        xs.push_back(px(c->range_nm) - 3);
        widths.push_back(7.0 * static_cast<double>(c->label.size()) + 8);
    }
    const std::vector<int> rows = label_rows(xs, widths);
    const int nrows = rows.empty() ? 1 : *std::max_element(rows.begin(), rows.end()) + 1;
    const double label_h = 18.0 * nrows + 10, top = 28 + label_h, H = top + 2 * panel_h + 30 + 40;
    std::string s = printf_text("<svg id=\"groove-plot\" xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 %.0f %.0f\" "
                                "width=\"%.0f\" height=\"%.0f\" font-family=\"sans-serif\" font-size=\"12\">\n",
                                W, H, W, H);
    s += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    s += "<text x=\"" + num(left, 0) + "\" y=\"18\" font-size=\"15\">The groove as the module saw it: GS and LOC errors against "
         "its range (nm), its officer's checks and calls</text>\n";
    const char* names[2] = {"GS error (deg)", "LOC error (deg)"};
    for (int p = 0; p < 2; ++p) {
        const double y0 = top + p * (panel_h + 15);
        double lim = p == 0 ? 1.0 : 2.0;
        for (const Sample& q : samples)
            if (q.approach && q.range <= GROOVE_NM) lim = std::max(lim, std::fabs(p == 0 ? q.gs : q.loc));
        lim = std::min(lim, p == 0 ? 10.0 : 20.0);
        auto py = [&](double v) { return y0 + panel_h / 2 - std::clamp(v / lim, -1.0, 1.0) * panel_h / 2; };
        for (const Zone& z : ZONES) {
            s += printf_text("<rect class=\"zone\" x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" fill=\"%s\"/>\n",
                             px(z.from_nm), y0, px(z.to_nm) - px(z.from_nm), panel_h, z.colour);
            if (p == 1)
                s += printf_text("<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"middle\" fill=\"#335\">%s</text>\n",
                                 (px(z.from_nm) + px(z.to_nm)) / 2, y0 + panel_h + 44, z.name);
        }
        s += printf_text("<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" fill=\"none\" stroke=\"#000\"/>\n",
                         left, y0, plot_w, panel_h);
        s += printf_text("<line x1=\"%.1f\" x2=\"%.1f\" y1=\"%.1f\" y2=\"%.1f\" stroke=\"#888\" stroke-dasharray=\"3 3\"/>\n",
                         left, left + plot_w, py(0), py(0));
        s += printf_text("<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"end\">%+.1f</text><text x=\"%.1f\" y=\"%.1f\" "
                         "text-anchor=\"end\">%+.1f</text>\n",
                         left - 4, y0 + 12, lim, left - 4, y0 + panel_h - 2, -lim);
        s += printf_text("<text transform=\"translate(16 %.1f) rotate(-90)\" text-anchor=\"middle\">%s</text>\n",
                         y0 + panel_h / 2, names[p]);
        // A point within half a pixel of the last one drawn is left out (a
        // long run's many approaches stay a small page).
        std::string path;
        bool pen = false;
        double last_range = NAN, last_x = NAN, last_y = NAN;
        for (const Sample& q : samples) {
            const bool in = q.approach && q.range <= GROOVE_NM;
            if (!in || (std::isfinite(last_range) && std::fabs(q.range - last_range) > 0.2)) pen = false;
            if (in) {
                const double x = px(q.range), y = py(p == 0 ? q.gs : q.loc);
                if (pen && std::fabs(x - last_x) < 0.5 && std::fabs(y - last_y) < 0.5) continue;
                path += printf_text("%s%.1f %.1f ", pen ? "L" : "M", x, y);
                pen = true;
                last_range = q.range;
                last_x = x;
                last_y = y;
            }
        }
        if (!path.empty()) s += "<path d=\"" + path + "\" fill=\"none\" stroke=\"#1040c0\" stroke-width=\"1.6\"/>\n";
    }
    const double bottom = top + 2 * panel_h + 15;
    for (size_t i = 0; i < shown.size(); ++i) {
        const Call& c = *shown[i];
        const double x = px(c.range_nm), ly = 28 + 18.0 * rows[i] + 14;
        const char* colour = c.colour == "red" ? "#c01010" : c.colour == "green" ? "#108010" : "#a07000";
        s += printf_text("<line class=\"call-line\" x1=\"%.1f\" x2=\"%.1f\" y1=\"%.1f\" y2=\"%.1f\" stroke=\"%s\" "
                         "stroke-dasharray=\"4 3\"/>\n",
                         x, x, ly + 3, bottom, colour);
        s += printf_text("<text class=\"call-label\" x=\"%.1f\" y=\"%.1f\" fill=\"%s\">", x - 3, ly, colour) +
             html_escape(c.label) + "</text>\n";
    }
    for (double r = 0; r <= GROOVE_NM + 1e-9; r += 0.2)
        s += printf_text("<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"middle\">%.1f</text>\n", px(r), bottom + 14, r);
    return s + "</svg>\n";
}

const char* const STYLE = R"(
body{font-family:sans-serif;margin:0;background:#f4f5f7;color:#111}
header{background:#14213d;color:#fff;padding:14px 24px}
header h1{margin:0 0 6px 0;font-size:24px}
.verdict{display:inline-block;padding:4px 12px;border-radius:4px;font-weight:bold}
.verdict.pass{background:#1f7a1f;color:#fff}.verdict.fail{background:#b01c1c;color:#fff}.verdict.unknown{background:#666;color:#fff}
nav{padding:6px 24px;background:#e4e7ec;font-size:14px}nav a{margin-right:14px}
section{background:#fff;margin:14px 24px;padding:10px 18px;border-radius:6px;box-shadow:0 1px 3px #0002}
h2{font-size:18px;margin:6px 0 10px}
pre{background:#f8f8f8;padding:8px;overflow-x:auto;font-size:13px}
.na{color:#777;font-style:italic}.pass{color:#1f7a1f;font-weight:bold}.fail{color:#b01c1c;font-weight:bold}
table{border-collapse:collapse;font-size:13px}td,th{border:1px solid #ccc;padding:2px 6px;text-align:left;vertical-align:top}
img{max-width:100%}.moment{display:inline-block;margin:4px 10px 10px 0;vertical-align:top}
.moment img{height:150px;margin-right:4px;border:1px solid #ccc}
#timebar{position:relative;height:64px;background:#eef;border:1px solid #99a;margin:8px 0}
.call-marker{position:absolute;top:4px;transform:translateX(-1px);border:none;border-left:2px solid #c01010;
 background:none;padding:0 0 0 3px;font-size:11px;cursor:pointer;white-space:nowrap;color:#800}
.call-marker:hover{background:#fdd}
#playhead{position:absolute;top:0;bottom:0;width:2px;background:#14213d}
#timeline-table td:nth-child(3){font-family:monospace;font-size:12px}
.grade{display:inline-block;min-width:3em;text-align:center;padding:2px 8px;border-radius:4px;border:1px solid #0003;font-weight:bold}
.pass-sheet{margin:8px 0 18px}.pass-sheet h3{margin:4px 0}.lso{font-family:monospace;font-size:15px}
tr.unmet td{background:#fde8e8}table.zones,table.calls{margin:8px 0}table.zones td{min-width:4em;font-family:monospace}img.trend{display:block;margin-top:8px}
)";

// Clicking a call's marker moves the player there and plays; the playhead
// follows the player; the kind filter hides every other kind's rows.
const char* const SCRIPT = R"(
(function(){
  var audio=document.getElementById('audio');
  var bar=document.getElementById('timebar');
  var head=document.getElementById('playhead');
  var length=parseFloat(bar?bar.dataset.length:'0');
  document.querySelectorAll('.call-marker').forEach(function(b){
    b.addEventListener('click',function(){
      if(!audio)return;
      audio.currentTime=parseFloat(b.dataset.t);
      var p=audio.play(); if(p&&p.catch)p.catch(function(){});
    });
  });
  // The markers' labels in rows, each in the first row where it clears the
  // labels already there (measured as drawn, so they never overlap).
  if(bar){
    var rows=[], barLeft=bar.getBoundingClientRect().left;
    bar.querySelectorAll('.call-marker').forEach(function(b){
      var r=b.getBoundingClientRect(), a=r.left-barLeft, z=a+r.width+4, row=0;
      for(;row<rows.length;row++){
        if(rows[row].every(function(s){return z<=s[0]||a>=s[1];}))break;
      }
      if(row===rows.length)rows.push([]);
      rows[row].push([a,z]);
      b.style.top=(2+15*row)+'px';
    });
    bar.style.height=Math.max(40,8+15*rows.length)+'px';
  }
  if(audio&&head&&length>0){
    audio.addEventListener('timeupdate',function(){head.style.left=(100*audio.currentTime/length)+'%';});
  }
  var filter=document.getElementById('kind-filter');
  if(filter){
    filter.addEventListener('change',function(){
      var k=filter.value, shown=0;
      document.querySelectorAll('#timeline-table tbody tr').forEach(function(r){
        var on=(k===''||r.dataset.kind===k); r.style.display=on?'':'none'; if(on)shown++;
      });
      document.getElementById('timeline-count').textContent=shown+' rows shown';
    });
  }
})();
)";

}  // namespace

std::string html_escape(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

std::vector<int> label_rows(const std::vector<double>& x, const std::vector<double>& width, double gap)
{
    std::vector<int> rows(x.size(), 0);
    std::vector<std::vector<std::pair<double, double>>> taken;  // per row: spans placed
    for (size_t i = 0; i < x.size(); ++i) {
        const double a = x[i], b = x[i] + (i < width.size() ? width[i] : 0.0);
        size_t r = 0;
        for (; r < taken.size(); ++r) {
            bool clear = true;
            for (const auto& [c, d] : taken[r])
                if (a < d + gap && c < b + gap) clear = false;
            if (clear) break;
        }
        if (r == taken.size()) taken.emplace_back();
        taken[r].emplace_back(a, b);
        rows[i] = static_cast<int>(r);
    }
    return rows;
}

double wav_seconds(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    char riff[12];
    if (!in.read(riff, 12) || std::string_view(riff, 4) != "RIFF" || std::string_view(riff + 8, 4) != "WAVE")
        return -1.0;
    uint32_t byte_rate = 0;
    for (int chunks = 0; chunks < 64; ++chunks) {
        char head[8];
        if (!in.read(head, 8)) return -1.0;
        const uint32_t size = static_cast<uint8_t>(head[4]) | (static_cast<uint8_t>(head[5]) << 8) |
                              (static_cast<uint8_t>(head[6]) << 16) | (static_cast<uint32_t>(static_cast<uint8_t>(head[7])) << 24);
        const std::string_view id(head, 4);
        if (id == "fmt ") {
            char fmt[16];
            if (size < 16 || !in.read(fmt, 16)) return -1.0;
            byte_rate = static_cast<uint8_t>(fmt[8]) | (static_cast<uint8_t>(fmt[9]) << 8) |
                        (static_cast<uint8_t>(fmt[10]) << 16) | (static_cast<uint32_t>(static_cast<uint8_t>(fmt[11])) << 24);
            in.seekg(size - 16 + (size & 1), std::ios::cur);
        } else if (id == "data") {
            return byte_rate > 0 ? static_cast<double>(size) / byte_rate : -1.0;
        } else {
            in.seekg(size + (size & 1), std::ios::cur);
        }
    }
    return -1.0;
}

bool write_debrief_page(const std::string& dir_text, std::string* error)
{
    const fs::path dir(dir_text);
    // The scenario's name and length from the summary's first line:
    // Scenario "NAME": 113.0 s at 30 frames/s, 3390 frames
    std::string summary, name = "(unnamed run)";
    double length = NAN;
    if (read_file(dir / "summary.txt", &summary)) {
        const size_t q0 = summary.find('"'), q1 = summary.find("\": ", q0 == std::string::npos ? 0 : q0 + 1);
        if (summary.rfind("Scenario \"", 0) == 0 && q1 != std::string::npos) {
            name = summary.substr(q0 + 1, q1 - q0 - 1);
            length = std::strtod(summary.c_str() + q1 + 3, nullptr);
        }
    }

    // The timeline: every event, the calls, the snapshots.
    std::vector<Event> events;
    std::map<std::string, size_t> kinds;
    {
        // Only what the page shows is kept: the first rows of each kind, and
        // every sound, text and snapshot (the calls and the moments). A long
        // run's timeline has millions of lines; the kinds of the others are
        // only counted, read from the line without parsing it when they can be.
        std::ifstream in(dir / "timeline.jsonl");
        std::string line;
        auto shown = [](const std::string& kind) { return kind == "sound" || kind == "text" || kind == "snapshot"; };
        while (std::getline(in, line)) {
            const std::string_view KEY = "\"kind\":\"";
            const size_t at = line.find(KEY);
            const size_t end = at == std::string::npos ? at : line.find('"', at + KEY.size());
            if (end != std::string::npos) {
                const std::string kind = line.substr(at + KEY.size(), end - at - KEY.size());
                const auto known = kinds.find(kind);
                if (known != kinds.end() && known->second >= MAX_ROWS_PER_KIND && !shown(kind) &&
                    kind.find('\\') == std::string::npos) {
                    ++known->second;
                    continue;
                }
            }
            auto d = nlohmann::json::parse(line, nullptr, false);
            if (d.is_discarded() || !d.is_object() || !d.contains("kind") || !d["kind"].is_string()) continue;
            Event e;
            e.t = d.value("t", 0.0);
            e.kind = d["kind"].get<std::string>();
            if (++kinds[e.kind] > MAX_ROWS_PER_KIND && !shown(e.kind)) continue;
            d.erase("t");
            d.erase("frame");
            d.erase("kind");
            e.data = std::move(d);
            events.push_back(std::move(e));
        }
    }
    // The calls: every sound the module played, named by the screen text of
    // the same moment when there is one; screen texts without a sound too.
    std::vector<Call> calls;
    for (const Event& e : events) {
        if (e.kind == "sound" && e.data.value("ordinal", 0) == 33) {
            const std::string path = e.data.value("path", std::string());
            calls.push_back({e.t, fs::path(path).stem().string(), "red"});
        }
    }
    for (const Event& e : events) {
        if (e.kind != "text") continue;
        const std::string text = e.data.value("text", std::string());
        if (text.find_first_not_of(' ') == std::string::npos) continue;
        auto same = std::find_if(calls.begin(), calls.end(), [&](const Call& c) { return std::fabs(c.t - e.t) < 1e-6; });
        if (same != calls.end()) {
            same->label = text;
            same->colour = e.data.value("color", std::string("red"));
        } else {
            calls.push_back({e.t, text, e.data.value("color", std::string("yellow"))});
        }
    }
    std::sort(calls.begin(), calls.end(), [](const Call& a, const Call& b) { return a.t < b.t; });

    // The verdict: the expectations' own when the scenario states some, else
    // whether every action succeeded and every event fired.
    int met = -1, total = -1;
    const std::string expectations = expectations_html(dir, &met, &total);
    std::string verdict = "no verdict", verdict_class = "unknown";
    if (total > 0) {
        verdict = met == total ? printf_text("%d of %d expectations met", met, total)
                               : printf_text("%d of %d expectations not met", total - met, total);
        verdict_class = met == total ? "pass" : "fail";
    } else if (!summary.empty()) {
        const bool bad = summary.find("never fired:") != std::string::npos ||
                         summary.find("Failed actions:") != std::string::npos;
        verdict = bad ? "the run did not go as scripted (see the summary)" : "ran as scripted";
        verdict_class = bad ? "fail" : "pass";
    }
    // The page goes to its file as it is made: a run of many passes inlines
    // many pictures, and the page need never be whole in memory.
    const fs::path out = dir / "debrief.html";
    PageFile h(out);
    h += "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n<title>Debrief: " + html_escape(name) +
         "</title>\n<style>" + STYLE + "</style></head><body>\n";
    h += "<header><h1 id=\"scenario-name\">" + html_escape(name) + "</h1><span id=\"verdict\" class=\"verdict " +
         verdict_class + "\">" + html_escape(verdict) + "</span>";
    if (std::isfinite(length)) h += " &nbsp; " + num(length, 1) + " s simulated";
    h += "</header>\n<nav><a href=\"#expectations\">expectations</a><a href=\"#grades\">grade sheet</a>"
         "<a href=\"#story\">story</a><a href=\"#approach\">approach</a><a href=\"#deck\">deck</a>"
         "<a href=\"#snapshots\">panel</a><a href=\"#audio-section\">audio</a><a href=\"#timeline\">timeline</a></nav>\n";

    h += "<section id=\"expectations\"><h2>Expectations</h2>\n" + expectations + "</section>\n";
    h += "<section id=\"grades\"><h2>Grade sheet of each pass</h2>\n";
    passes_html(dir, h);
    if (fs::exists(dir / "trapsheet.csv"))
        h += "<p>Every pass in one table: <a href=\"trapsheet.csv\">trapsheet.csv</a>.</p>\n";
    h += "</section>\n";

    std::string story;
    h += "<section id=\"story\"><h2>Story</h2>\n" +
         (read_file(dir / "story.txt", &story) ? "<pre>" + html_escape(story) + "</pre>\n" : not_available("story.txt")) +
         "</section>\n";

    h += "<section id=\"approach\"><h2>Approach</h2>\n";
    bool any_approach = false;
    const auto samples = read_samples(dir / "approach.csv", &any_approach);
    const std::string approach_png = png_img(dir, "approach.png", "approach plot of the whole run", "plot");
    if (any_approach)
        h += groove_svg(samples, calls) +
             "<p class=\"na\">The judge's zones and deviations, from the world's truth, are in each pass's trend plot "
             "in the grade sheet.</p>\n";
    else if (!approach_png.empty()) h += "<p class=\"na\">No approach to a deck in this run: the plot below says why.</p>\n";
    else h += not_available("no approach in approach.csv");
    h += approach_png.empty() ? not_available("approach.png") : "<h3>The whole approach</h3>\n" + approach_png + "\n";
    h += "</section>\n";

    const std::string deck_png = png_img(dir, "deck.png", "the deck from above with the flown track", "deck");
    h += "<section id=\"deck\"><h2>The deck from above</h2>\n" +
         (deck_png.empty() ? not_available("deck.png (nothing was flown to a deck or a runway)") : deck_png + "\n") +
         "</section>\n";

    h += "<section id=\"snapshots\"><h2>The panel at its moments</h2>\n";
    size_t moments = 0;
    for (const Event& e : events) {
        if (e.kind != "snapshot" || !e.data.contains("files") || !e.data["files"].is_array()) continue;
        ++moments;
        h += "<div class=\"moment\"><h3>" + html_escape(e.data.value("name", std::string())) + " at " + num(e.t) +
             " s</h3>";
        for (const auto& f : e.data["files"])
            if (f.is_string()) h += png_img(dir, f.get<std::string>(), f.get<std::string>(), "snapshot");
        h += "</div>\n";
    }
    if (moments == 0) h += not_available("no panel snapshots in this run");
    h += "</section>\n";

    h += "<section id=\"audio-section\"><h2>Audio track</h2>\n";
    const double audio_len = wav_seconds((dir / "audio.wav").string());
    if (audio_len > 0) {
        const double bar_len = std::max(audio_len, std::isfinite(length) ? length : 0.0);
        h += "<audio id=\"audio\" controls preload=\"auto\" src=\"audio.wav\"></audio> <span>" + num(audio_len, 1) +
             " s; click a call to play it from there</span>\n";
        h += "<div id=\"timebar\" data-length=\"" + num(bar_len, 3) + "\"><div id=\"playhead\"></div>\n";
        // The script puts the labels in rows as they are drawn.
        for (const Call& c : calls)
            h += printf_text("<button class=\"call-marker\" data-t=\"%.3f\" style=\"left:%.2f%%\" title=\"%.2f s\">",
                             c.t, 100.0 * c.t / bar_len, c.t) +
                 html_escape(c.label) + "</button>\n";
        h += "</div>\n";
    } else {
        h += not_available("audio.wav (the run had no sound library)");
    }
    h += "</section>\n";

    h += "<section id=\"timeline\"><h2>Timeline</h2>\n<label>kind <select id=\"kind-filter\"><option value=\"\">every "
         "kind</option>";
    for (const auto& [kind, count] : kinds)
        h += "<option value=\"" + html_escape(kind) + "\">" + html_escape(kind) + " (" + std::to_string(count) +
             ")</option>";
    h += "</select></label> <span id=\"timeline-count\"></span>\n";
    std::string notes;
    for (const auto& [kind, count] : kinds)
        if (count > MAX_ROWS_PER_KIND)
            notes += printf_text("%s: the first %zu of %zu; ", kind.c_str(), MAX_ROWS_PER_KIND, count);
    if (!notes.empty()) h += "<p class=\"na\">Rows shown of the busiest kinds: " + html_escape(notes) +
                             "every event is in timeline.jsonl.</p>\n";
    if (events.empty()) h += not_available("timeline.jsonl");
    h += "<table id=\"timeline-table\"><thead><tr><th>t (s)</th><th>kind</th><th>what</th></tr></thead><tbody>\n";
    std::map<std::string, size_t> written;
    for (const Event& e : events) {
        if (++written[e.kind] > MAX_ROWS_PER_KIND) continue;
        h += "<tr data-kind=\"" + html_escape(e.kind) + "\"><td>" + num(e.t) + "</td><td>" + html_escape(e.kind) +
             "</td><td>" + html_escape(e.data.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)) + "</td></tr>\n";
    }
    h += "</tbody></table></section>\n<script>" + std::string(SCRIPT) + "</script>\n</body></html>\n";

    if (!h.finish()) {
        *error = "cannot write " + out.string();
        return false;
    }
    return true;
}

}  // namespace host
