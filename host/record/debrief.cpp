// The debrief: the per-frame approach CSV and the approach plot.
//
// Index: [columns] [recording] [plot]
#include "host/record/debrief.h"

#include "host/record/number_format.h"
#include "host/record/plot_setup.h"
#include "host/record/printf_text.h"

#include <plplot.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>

namespace host {

const char* const PUBLISHED_NAMES[21] = {
    "TCN Valid",       "Carrier_Is_Found", "CarrierType",   "BRC",           "RWY_True_Heading", "RWY_Heading",
    "GS Error",        "LOC Error",        "ILS_LOC_VALID", "ILS_GS_VALID",  "Meatball_Position", "ILS Radial",
    "TCN Radial",      "TCN CDI",          "TCN_TOFROM",    "ILS True Radial", "TCN True Radial", "ILS Slant Range",
    "TCN Slant Range", "ILS Lat",          "ILS Lon",
};

namespace {

constexpr double DEG = M_PI / 180.0;
constexpr double KNOT_MPS = 1852.0 / 3600.0;

// [columns] ------------------------------------------------------------------
// After "t" and "frame" and the published names.
const char* const OWN_COLUMNS[] = {
    "ship_x_m",        // aircraft in the followed ship's frame: starboard,
    "ship_y_m",        // up from the ship's reference point,
    "ship_z_m",        // towards the bow (the carrier list's ILS_*coord axes)
    "aim_behind_m",    // before the ILS reference point along the landing line
    "aim_right_m",     // right of the landing line, looking along it
    "altitude_ft",
    "airspeed_true_kt",
    "ground_speed_kt",
    "aoa_deg",
    "on_ground",
    "gear_pct",
    "hook_pct",
    "wire",
};

const SimVarInfo& var(const char* name) { return *find_sim_var(name); }

// The boat whose data the module asks for every frame: the carrier it follows.
const SimObject* followed_ship(Host& host)
{
    for (const auto& [id, request] : host.simconnect().requests()) {
        if (request.object_id == 0) continue;
        if (request.period != SIMCONNECT_PERIOD_SIM_FRAME && request.period != SIMCONNECT_PERIOD_VISUAL_FRAME) continue;
        const SimObject* object = host.world().find(request.object_id);
        if (object && object->kind == ObjectKind::Boat) return object;
    }
    return nullptr;
}

// North and east metres from (lat0, lon0) to (lat, lon), east-positive radians.
void local_offset(double lat0, double lon0, double lat, double lon, double* north, double* east)
{
    *north = (lat - lat0) * WORLD_RADIUS_M;
    *east = std::remainder(lon - lon0, 2.0 * M_PI) * WORLD_RADIUS_M * std::cos(lat0);
}

}  // namespace

std::vector<std::string> Debrief::csv_columns()
{
    static_assert(2 + std::size(PUBLISHED_NAMES) + std::size(OWN_COLUMNS) == COLUMNS);
    std::vector<std::string> columns = {"t", "frame"};
    for (const char* name : PUBLISHED_NAMES) columns.emplace_back(name);
    for (const char* name : OWN_COLUMNS) columns.emplace_back(name);
    return columns;
}

// [recording] ------------------------------------------------------------------
Debrief::~Debrief()
{
    if (csv_) std::fclose(csv_);
}

bool Debrief::open(const std::string& dir, int64_t frames, const std::string& title, std::string* error)
{
    namespace fs = std::filesystem;
    csv_path_ = (fs::path(dir) / "approach.csv").string();
    png_path_ = (fs::path(dir) / "approach.png").string();
    svg_path_ = (fs::path(dir) / "approach.svg").string();
    csv_ = std::fopen(csv_path_.c_str(), "w");
    if (!csv_) {
        *error = "cannot write " + csv_path_ + ": " + std::strerror(errno);
        return false;
    }
    buffer_.resize(1 << 20);
    std::setvbuf(csv_, buffer_.data(), _IOFBF, buffer_.size());
    const std::vector<std::string> columns = csv_columns();
    for (size_t i = 0; i < columns.size(); ++i) std::fprintf(csv_, "%s%s", i ? "," : "", columns[i].c_str());
    std::fputc('\n', csv_);
    names_.assign(std::begin(PUBLISHED_NAMES), std::end(PUBLISHED_NAMES));
    const size_t expected = static_cast<size_t>(std::clamp<int64_t>(frames + 1, 1, MAX_PLOT_POINTS));
    plot_.points.reserve(MAX_PLOT_POINTS);
    plot_.breaks.reserve(std::min<size_t>(expected, 4096));
    pending_calls_.reserve(1024);
    plot_.title = title;
    return true;
}

void Debrief::cell(double value)
{
    const size_t column = column_++;
    if (used_ + CELL_CHARS + 2 >= sizeof line_) return;  // cannot happen with these columns; never overflow
    if (used_) line_[used_++] = ',';
    if (std::isnan(value)) return;  // an empty cell
    if (column >= COLUMNS) {
        used_ = static_cast<size_t>(format_shortest(line_ + used_, value) - line_);
        return;
    }
    CellCache& c = cells_[column];
    uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    if (!c.valid || c.bits != bits) {
        c.size = static_cast<uint8_t>(format_shortest(c.text, value) - c.text);
        c.bits = bits;
        c.valid = true;
    }
    std::memcpy(line_ + used_, c.text, c.size);
    used_ += c.size;
}

void Debrief::integer_cell(int64_t value)
{
    ++column_;
    if (used_ + CELL_CHARS + 2 >= sizeof line_) return;
    if (used_) line_[used_++] = ',';
    used_ = static_cast<size_t>(std::to_chars(line_ + used_, line_ + sizeof line_ - 1, value).ptr - line_);
}

void Debrief::empty_cell()
{
    ++column_;
    if (used_ + 1 < sizeof line_) line_[used_++] = ',';
}

void Debrief::frame_done(Host& host)
{
    static const SimVarInfo& lat = var("PLANE LATITUDE");
    static const SimVarInfo& lon = var("PLANE LONGITUDE");
    static const SimVarInfo& alt = var("PLANE ALTITUDE");
    static const SimVarInfo& heading = var("PLANE HEADING DEGREES TRUE");
    static const SimVarInfo& airspeed = var("AIRSPEED TRUE");
    static const SimVarInfo& ground_velocity = var("GROUND VELOCITY");
    static const SimVarInfo& aoa = var("INCIDENCE ALPHA");
    static const SimVarInfo& on_ground = var("SIM ON GROUND");
    static const SimVarInfo& gear = var("GEAR RIGHT POSITION");
    static const SimVarInfo& hook = var("TAILHOOK POSITION");
    static const SimVarInfo& wire = var("CABLE CAUGHT BY TAILHOOK");
    if (!csv_) return;

    const double nan = std::nan("");
    double published[21];
    const PanelServices& services = host.panel_services();
    for (size_t i = 0; i < 21; ++i) {
        if (name_ids_[i] < 0) name_ids_[i] = services.named_index(names_[i]);  // by name until registered
        if (!published_set_[i] && name_ids_[i] >= 0) published_set_[i] = services.named_is_set(name_ids_[i]);
        published[i] = published_set_[i] ? services.named_value(name_ids_[i]) : nan;
    }
    enum { TCN_VALID = 0, FOUND = 1, TYPE = 2, RWY_TRUE = 4, GS = 6, LOC = 7, BALL = 10, ILS_RANGE = 17,
           ILS_LAT = 19, ILS_LON = 20 };

    used_ = 0;
    column_ = 0;
    line_[0] = '\0';
    cell(host.sim_time());
    integer_cell(host.frame());
    for (double v : published) cell(v);

    const SimObject& user = host.world().user();
    const double a_lat = World::get(user, lat), a_lon = World::get(user, lon), a_alt = World::get(user, alt);
    const bool found = published[FOUND] == 1.0;
    const SimObject* ship = found && published[TYPE] == 1.0 ? followed_ship(host) : nullptr;
    if (ship) {
        double north = 0, east = 0;
        local_offset(World::get(*ship, lat), World::get(*ship, lon), a_lat, a_lon, &north, &east);
        const double h = World::get(*ship, heading);
        cell(-north * std::sin(h) + east * std::cos(h));
        cell(a_alt - World::get(*ship, alt));
        cell(north * std::cos(h) + east * std::sin(h));
    } else {
        empty_cell();
        empty_cell();
        empty_cell();
    }
    if (found && !std::isnan(published[ILS_LAT]) && !std::isnan(published[ILS_LON]) && !std::isnan(published[RWY_TRUE])) {
        double north = 0, east = 0;
        local_offset(published[ILS_LAT], -published[ILS_LON], a_lat, a_lon, &north, &east);
        const double h = published[RWY_TRUE];
        cell(-(north * std::cos(h) + east * std::sin(h)));
        cell(-north * std::sin(h) + east * std::cos(h));
    } else {
        empty_cell();
        empty_cell();
    }
    cell(a_alt / 0.3048);
    cell(World::get(user, airspeed) / KNOT_MPS);
    cell(World::get(user, ground_velocity) / KNOT_MPS);
    cell(World::get(user, aoa) / DEG);
    cell(World::get(user, on_ground));
    cell(World::get(user, gear));
    cell(World::get(user, hook));
    cell(World::get(user, wire));
    line_[used_++] = '\n';
    std::fwrite(line_, 1, used_, csv_);
    ++rows_;

    // The plot's samples: the approach while airborne, in front of the landing area, within range.
    const double range = published[ILS_RANGE];
    if (published[TCN_VALID] == 1.0) {
        seen_valid_ = true;
        if (found) {
            seen_found_ = true;
            if (std::isfinite(range)) closest_nm_ = std::min(closest_nm_, range);
        }
    }
    const bool valid = published[TCN_VALID] == 1.0 && found && range < PLOT_RANGE_NM;
    const bool approach = valid && World::get(user, on_ground) == 0.0 && std::fabs(published[LOC]) < 90.0;
    if (approach) {
        if (in_approach_ && std::fabs(range - last_range_) > RANGE_JUMP_NM) in_approach_ = false;
        last_range_ = range;
        if (plot_.points.size() == MAX_PLOT_POINTS) {
            // Full: keep every other sample and sample half as often.
            for (size_t i = 0; 2 * i < plot_.points.size(); ++i) plot_.points[i] = plot_.points[2 * i];
            plot_.points.resize((plot_.points.size() + 1) / 2);
            for (size_t& b : plot_.breaks) b = (b + 1) / 2;
            plot_stride_ *= 2;
        }
        const bool sample = !in_approach_ || ++plot_phase_ >= plot_stride_;
        if (sample) {
            plot_phase_ = 0;
            if (!in_approach_ && plot_.breaks.size() < plot_.breaks.capacity()) plot_.breaks.push_back(plot_.points.size());
            plot_.points.push_back({range, published[GS], published[LOC], published[BALL]});
        }
        if (!std::isnan(published[BALL])) plot_.meatball_published = true;
        in_approach_ = true;
    } else {
        in_approach_ = false;
    }

    // Texts that appeared in this frame, placed at this frame's range.
    const auto& texts = host.simconnect().texts();
    for (; texts_seen_ < texts.size(); ++texts_seen_)
        if (valid && pending_calls_.size() < pending_calls_.capacity())
            pending_calls_.push_back({texts_seen_, texts[texts_seen_].t, range});
}

bool Debrief::close_csv(std::string* error)
{
    if (!csv_) {
        *error = "the debrief was not opened";
        return false;
    }
    const bool written = std::fflush(csv_) == 0 && !std::ferror(csv_);
    const bool closed = std::fclose(csv_) == 0;
    csv_ = nullptr;
    if (!written || !closed) {
        *error = "error while writing " + csv_path_;
        return false;
    }
    return true;
}

std::string Debrief::no_approach_reason() const
{
    if (!seen_valid_) return "the TACAN never showed a valid channel";
    if (!seen_found_) return "the TACAN was tuned, its carrier never found";
    if (!(closest_nm_ < PLOT_RANGE_NM))
        return std::isfinite(closest_nm_)
                   ? printf_text("never within %.0f nm (closest %.1f nm)", PLOT_RANGE_NM, closest_nm_)
                   : printf_text("never within %.0f nm", PLOT_RANGE_NM);
    return printf_text("never airborne in front of the landing area within %.0f nm", PLOT_RANGE_NM);
}

bool Debrief::finish(Host& host, std::string* error, const std::string& cause)
{
    if (!close_csv(error)) return false;
    plot_.no_approach = plot_.points.empty() ? (cause.empty() ? no_approach_reason() : cause) : std::string();
    const auto& texts = host.simconnect().texts();
    plot_.calls.clear();
    for (const PendingCall& p : pending_calls_)
        if (p.text_index < texts.size())
            plot_.calls.push_back({p.t, p.range_nm, texts[p.text_index].text, texts[p.text_index].color});
    return draw_approach_plot(plot_, png_path_, "pngcairo", error) &&
           draw_approach_plot(plot_, svg_path_, "svgcairo", error);
}

// [plot] -------------------------------------------------------------------------
namespace {

// The longest call text that fits the strip above the panels.
constexpr size_t CALL_LABEL_CHARS = 22;

// Colour map 0 entries used here.
enum Pen { WHITE = 0, BLACK = 1, GREY = 2, BLUE = 3, RED = 4, GREEN = 5, AMBER = 6, PURPLE = 7 };


Pen call_pen(const std::string& color)
{
    if (color == "red") return RED;
    if (color == "green") return GREEN;
    if (color == "yellow") return AMBER;
    return PURPLE;
}

// Symmetric y limit: the largest size beyond the last quarter mile, within [floor, cap].
double y_limit(const PlotData& data, double PlotPoint::*field, double floor, double cap)
{
    double m = 0.0;
    for (const PlotPoint& p : data.points)
        if (p.range_nm > 0.25 && std::isfinite(p.*field)) m = std::max(m, std::fabs(p.*field));
    return std::clamp(m * 1.15, floor, cap);
}

}  // namespace

bool draw_approach_plot(const PlotData& data, const std::string& path, const char* device, std::string* error)
{
    double x_max = 1.0;
    for (const PlotPoint& p : data.points) x_max = std::max(x_max, p.range_nm);
    x_max = std::min(std::ceil(x_max * 2.0) / 2.0, Debrief::PLOT_RANGE_NM);

    struct Panel {
        const char* label;
        double PlotPoint::*field;
        double limit;
        bool present;
    };
    const Panel panels[] = {
        {"GS error (deg)", &PlotPoint::gs_error, y_limit(data, &PlotPoint::gs_error, 1.0, 10.0), true},
        {"LOC error (deg)", &PlotPoint::loc_error, y_limit(data, &PlotPoint::loc_error, 2.0, 20.0), true},
        {"Meatball", &PlotPoint::meatball, 55.0, data.meatball_published},
    };

    if (!begin_plot_page(path, device, 1200, 1000,
                         {{WHITE, 255, 255, 255}, {BLACK, 0, 0, 0}, {GREY, 150, 150, 150}, {BLUE, 20, 80, 200},
                          {RED, 200, 30, 30}, {GREEN, 20, 140, 40}, {AMBER, 200, 140, 0}, {PURPLE, 120, 40, 160}},
                         error))
        return false;

    // Page: title; a strip with the calls' texts; three panels sharing the range axis.
    const double left = 0.09, right = 0.97;
    const double strip_top = 0.93, strip_bottom = 0.72;
    const double top = 0.70, bottom = 0.08, gap = 0.02;
    const double height = (top - bottom - 2 * gap) / 3.0;

    plvpor(left, right, strip_bottom, strip_top);
    plwind(x_max, 0.0, 0.0, 1.0);
    plcol0(BLACK);
    plschr(0.0, 1.0);
    const std::string title = data.points.empty() ? plot_text(data.title) + ": no approach" : plot_text(data.title);
    plmtex("t", 1.5, 0.5, 0.5, title.c_str());
    if (data.points.empty()) {
        // Why, in the strip the calls would use (the range axis runs right to left).
        plschr(0.0, 0.8);
        plptex(x_max / 2.0, 0.6, -1.0, 0.0, 0.5,
               (data.no_approach.empty() ? std::string("none within range") : plot_text(data.no_approach, 100)).c_str());
    }
    plschr(0.0, 0.5);
    for (const CallMark& call : data.calls) {
        if (call.range_nm > x_max || call.range_nm < 0) continue;
        plcol0(call_pen(call.color));
        // Upwards from the strip's foot, just beside the call's line.
        plptex(call.range_nm, 0.02, 0.0, 1.0, 0.0, plot_text(call.text, CALL_LABEL_CHARS).c_str());
    }
    plschr(0.0, 0.85);

    std::vector<double> xs, ys;
    for (int k = 0; k < 3; ++k) {
        const Panel& panel = panels[k];
        const double y1 = top - k * (height + gap), y0 = y1 - height;
        plvpor(left, right, y0, y1);
        plwind(x_max, 0.0, -panel.limit, panel.limit);  // range falls to the right, as the approach goes
        plcol0(BLACK);
        plbox(k == 2 ? "bcnst" : "bcst", 0.0, 0, "bcnstv", 0.0, 0);
        plmtex("l", 4.0, 0.5, 0.5, panel.label);
        // Zero line.
        plcol0(GREY);
        pllsty(2);
        const double zx[2] = {x_max, 0.0}, zy[2] = {0.0, 0.0};
        plline(2, zx, zy);
        pllsty(1);
        // The officer's calls.
        for (const CallMark& call : data.calls) {
            if (call.range_nm > x_max || call.range_nm < 0) continue;
            plcol0(call_pen(call.color));
            pllsty(3);
            const double cx[2] = {call.range_nm, call.range_nm}, cy[2] = {-panel.limit, panel.limit};
            plline(2, cx, cy);
            pllsty(1);
        }
        if (!panel.present) {
            plcol0(GREY);
            // The range axis runs right to left: text along -x reads left to right.
            plptex(x_max / 2.0, 0.0, -1.0, 0.0, 0.5, "not published");
            continue;
        }
        // The samples, one line per stretch of approach.
        plcol0(BLUE);
        plwidth(1.5);
        for (size_t b = 0; b < data.breaks.size(); ++b) {
            const size_t from = data.breaks[b];
            const size_t to = b + 1 < data.breaks.size() ? data.breaks[b + 1] : data.points.size();
            xs.clear();
            ys.clear();
            for (size_t i = from; i < to; ++i) {
                const double v = data.points[i].*panel.field;
                if (!std::isfinite(v)) continue;
                xs.push_back(data.points[i].range_nm);
                ys.push_back(std::clamp(v, -panel.limit * 2, panel.limit * 2));
            }
            if (xs.size() >= 2) plline(static_cast<PLINT>(xs.size()), xs.data(), ys.data());
            else if (xs.size() == 1) plpoin(1, xs.data(), ys.data(), 1);
        }
        plwidth(1.0);
    }
    plcol0(BLACK);
    plmtex("b", 3.2, 0.5, 0.5, "Range to the deck, ILS slant range (nm)");
    plend();

    std::error_code ec;
    if (std::filesystem::file_size(path, ec) == 0 || ec) {
        *error = "PLplot wrote nothing into " + path;
        return false;
    }
    return true;
}

}  // namespace host
