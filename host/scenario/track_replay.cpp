// Track files: reading, checking, interpolating and replaying them.
//
// Index: [columns] [reading] [interpolation] [replay]
#include "host/scenario/track_replay.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace host {
namespace {

constexpr double DEG = M_PI / 180.0;
constexpr double FEET_M = 0.3048;
constexpr double KNOT_MPS = 1852.0 / 3600.0;

// [columns] ------------------------------------------------------------------
// Every column a track may have: its name, whether it must be there, the
// accepted range in the file's units, whether only whole numbers go, the
// factor to base units and where the value goes.
struct Column {
    const char* name;
    bool required;
    double min;
    double max;
    bool whole;
    double to_base;
    double TrackSample::*field;
    bool Track::*present;  // null for required columns
};

// clang-format off
const Column COLUMNS[] = {
    {"time_s",        true,  0.0,     1.0e7,    false, 1.0,      &TrackSample::time_s,     nullptr},
    {"latitude_deg",  true,  -90.0,   90.0,     false, DEG,      &TrackSample::latitude,   nullptr},
    {"longitude_deg", true,  -180.0,  180.0,    false, DEG,      &TrackSample::longitude,  nullptr},
    {"altitude_ft",   true,  -2000.0, 100000.0, false, FEET_M,   &TrackSample::altitude_m, nullptr},
    {"heading_deg",   true,  0.0,     360.0,    false, DEG,      &TrackSample::heading,    nullptr},
    {"speed_kt",      true,  0.0,     2000.0,   false, KNOT_MPS, &TrackSample::speed_mps,  nullptr},
    {"gear_pct",      true,  0.0,     100.0,    false, 1.0,      &TrackSample::gear_pct,   nullptr},
    {"hook_pct",      true,  0.0,     100.0,    false, 1.0,      &TrackSample::hook_pct,   nullptr},
    {"on_ground",     true,  0.0,     1.0,      true,  1.0,      &TrackSample::on_ground,  nullptr},
    {"aoa_deg",       false, -90.0,   90.0,     false, DEG,      &TrackSample::aoa,        &Track::has_aoa},
    {"pitch_deg",     false, -90.0,   90.0,     false, DEG,      &TrackSample::pitch,      &Track::has_pitch},
    {"bank_deg",      false, -180.0,  180.0,    false, DEG,      &TrackSample::bank,       &Track::has_bank},
    {"wire",          false, 0.0,     4.0,      true,  1.0,      &TrackSample::wire,       &Track::has_wire},
};
// clang-format on

std::string_view trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

// Splits `line` at commas into trimmed fields.
void split(std::string_view line, std::vector<std::string_view>* fields)
{
    fields->clear();
    size_t from = 0;
    for (;;) {
        const size_t comma = line.find(',', from);
        fields->push_back(trim(line.substr(from, comma == std::string_view::npos ? std::string_view::npos : comma - from)));
        if (comma == std::string_view::npos) return;
        from = comma + 1;
    }
}

bool parse_number(std::string_view text, double* value)
{
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *value);
    return ec == std::errc() && end == text.data() + text.size() && std::isfinite(*value);
}

// A field as the user should see it in a message: at most 40 bytes, control
// bytes and the invisible byte-order mark written as \xNN escapes.
std::string quoted(std::string_view s)
{
    static const char HEX[] = "0123456789ABCDEF";
    std::string out = "\"";
    const std::string_view shown = s.substr(0, 40);
    for (size_t i = 0; i < shown.size(); ++i) {
        const auto byte = static_cast<unsigned char>(shown[i]);
        if (shown.substr(i, 3) == "\xEF\xBB\xBF") {
            out += "\\xEF\\xBB\\xBF";
            i += 2;
        } else if (byte < 0x20 || byte == 0x7F) {
            out += "\\x";
            out += HEX[byte >> 4];
            out += HEX[byte & 15];
        } else {
            out += shown[i];
        }
    }
    if (s.size() > 40) out += "...";
    return out + "\"";
}

std::string format_number(double v)
{
    std::ostringstream out;
    out << v;
    return out.str();
}

// [reading] ------------------------------------------------------------------
class TrackParser {
public:
    TrackParser(const std::string& path, std::vector<std::string>* errors) : path_(path), errors_(errors) {}

    bool full() const { return errors_->size() >= MAX_TRACK_ERRORS; }

    void error(size_t line, const std::string& message)
    {
        if (!full()) errors_->push_back(path_ + ":" + std::to_string(line) + ": " + message);
    }

    // The header: every name known, none twice, every required one there.
    bool header(size_t line, const std::vector<std::string_view>& names, Track* track)
    {
        const size_t before = errors_->size();
        order_.clear();
        for (size_t i = 0; i < names.size(); ++i) {
            const Column* found = nullptr;
            for (const Column& c : COLUMNS)
                if (names[i] == c.name) found = &c;
            if (!found) {
                std::string known;
                for (const Column& c : COLUMNS) known += std::string(known.empty() ? "" : ", ") + c.name;
                error(line, "unknown column " + quoted(names[i]) + " (columns: " + known + ")");
                continue;
            }
            if (std::find(order_.begin(), order_.end(), found) != order_.end()) {
                error(line, "column " + quoted(names[i]) + " given twice");
                continue;
            }
            order_.push_back(found);
            if (found->present) track->*(found->present) = true;
        }
        for (const Column& c : COLUMNS)
            if (c.required && std::find(order_.begin(), order_.end(), &c) == order_.end())
                error(line, std::string("the header lacks the column \"") + c.name + "\"");
        columns_ = names.size();
        return errors_->size() == before;
    }

    // One data row; appended to the track when it is good.
    void row(size_t line, const std::vector<std::string_view>& fields, Track* track)
    {
        if (fields.size() != columns_) {
            error(line, std::to_string(fields.size()) + " fields; the header has " + std::to_string(columns_));
            return;
        }
        TrackSample sample;
        bool good = true;
        for (size_t i = 0; i < fields.size(); ++i) {
            const Column& c = *order_[i];
            double v = 0.0;
            if (!parse_number(fields[i], &v)) {
                error(line, std::string(c.name) + ": " + quoted(fields[i]) + " is not a number");
                good = false;
                continue;
            }
            if (v < c.min || v > c.max || (c.whole && v != std::floor(v))) {
                error(line, std::string(c.name) + ": " + quoted(fields[i]) + " is outside " + format_number(c.min) +
                                " to " + format_number(c.max) + (c.whole ? " (whole numbers)" : ""));
                good = false;
                continue;
            }
            sample.*(c.field) = v * c.to_base;
        }
        if (!good) return;
        if (sample.heading >= 2.0 * M_PI) sample.heading -= 2.0 * M_PI;  // 360 is north
        if (!track->rows.empty() && !(sample.time_s > track->rows.back().time_s)) {
            error(line, "time_s " + format_number(sample.time_s) + " does not come after the previous row's " +
                            format_number(track->rows.back().time_s));
            return;
        }
        if (track->rows.size() >= MAX_TRACK_ROWS) {
            error(line, "more than " + std::to_string(MAX_TRACK_ROWS) + " rows");
            return;
        }
        track->rows.push_back(sample);
    }

private:
    const std::string& path_;
    std::vector<std::string>* errors_;
    std::vector<const Column*> order_;
    size_t columns_ = 0;
};

}  // namespace

std::optional<Track> parse_track(std::string_view text, const std::string& path, std::vector<std::string>* errors)
{
    // A spreadsheet's "CSV UTF-8" starts with a byte-order mark: not part of
    // the first column's name.
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    Track track;
    track.path = path;
    TrackParser parser(path, errors);
    const size_t before = errors->size();
    std::vector<std::string_view> fields;
    bool have_header = false;
    bool header_ok = false;
    size_t line_no = 0;
    size_t from = 0;
    while (from < text.size() && !parser.full()) {
        const size_t newline = text.find('\n', from);
        const size_t end = newline == std::string_view::npos ? text.size() : newline;
        const std::string_view line = text.substr(from, end - from);
        from = end + 1;
        ++line_no;
        if (line.size() > MAX_TRACK_LINE) {
            parser.error(line_no, "line longer than " + std::to_string(MAX_TRACK_LINE) + " characters");
            continue;
        }
        if (line.find('\0') != std::string_view::npos) {
            parser.error(line_no, "the line holds a NUL character; is this a text file?");
            continue;
        }
        const std::string_view body = trim(line);
        if (body.empty() || body.front() == '#') continue;
        split(body, &fields);
        if (!have_header) {
            have_header = true;
            header_ok = parser.header(line_no, fields, &track);
            if (!header_ok) break;  // rows cannot be read without their columns
            continue;
        }
        parser.row(line_no, fields, &track);
    }
    if (errors->size() == before) {
        if (!have_header) parser.error(std::max<size_t>(line_no, 1), "no header line (time_s,latitude_deg,...)");
        else if (track.rows.empty()) parser.error(std::max<size_t>(line_no, 1), "the track has no rows");
    }
    if (errors->size() != before) return std::nullopt;
    return track;
}

std::optional<Track> read_track(const std::string& path, std::vector<std::string>* errors)
{
    constexpr std::streamoff MAX_BYTES = 256ll * 1024 * 1024;
    std::error_code ec;
    if (std::filesystem::exists(path, ec) && !std::filesystem::is_regular_file(path, ec)) {
        errors->push_back(path + ": not a regular file");  // a device or a pipe could block the run
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        errors->push_back(path + ": cannot open the track file");
        return std::nullopt;
    }
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0 || size > MAX_BYTES) {
        errors->push_back(path + ": the track file is larger than 256 MiB or cannot be read");
        return std::nullopt;
    }
    in.seekg(0);
    std::string text(static_cast<size_t>(size), '\0');
    in.read(text.data(), size);
    if (!in) {
        errors->push_back(path + ": error while reading the track file");
        return std::nullopt;
    }
    return parse_track(text, path, errors);
}

// [interpolation] --------------------------------------------------------------
namespace {

// The signed short way from angle a to angle b, radians, in [-π, π).
double short_way(double a, double b) { return std::remainder(b - a, 2.0 * M_PI); }

double wrap_positive(double a)
{
    a = std::fmod(a, 2.0 * M_PI);
    return a < 0 ? a + 2.0 * M_PI : a;
}

double great_circle_m(double lat1, double lon1, double lat2, double lon2)
{
    const double s1 = std::sin((lat2 - lat1) / 2.0);
    const double s2 = std::sin((lon2 - lon1) / 2.0);
    const double h = s1 * s1 + std::cos(lat1) * std::cos(lat2) * s2 * s2;
    return 2.0 * WORLD_RADIUS_M * std::asin(std::sqrt(std::clamp(h, 0.0, 1.0)));
}

}  // namespace

TrackState sample_track(const Track& track, double t, size_t* hint)
{
    TrackState state;
    const std::vector<TrackSample>& rows = track.rows;
    if (rows.empty()) return state;
    if (!(t > rows.front().time_s)) {  // NaN too
        *hint = 0;
        state.at = rows.front();
        return state;
    }
    if (t >= rows.back().time_s) {
        *hint = rows.size() - 1;
        state.at = rows.back();
        return state;
    }
    // Find i with rows[i].time_s <= t < rows[i + 1].time_s, from the hint.
    size_t i = std::min(*hint, rows.size() - 2);
    if (rows[i].time_s > t) i = 0;
    if (rows[i + 1].time_s <= t) {
        // A few steps forward cover a replay; a jump falls back to a search.
        size_t steps = 0;
        while (i + 1 < rows.size() - 1 && rows[i + 1].time_s <= t && ++steps < 8) ++i;
        if (rows[i + 1].time_s <= t) {
            const auto it = std::upper_bound(rows.begin(), rows.end(), t,
                                             [](double v, const TrackSample& r) { return v < r.time_s; });
            i = static_cast<size_t>(it - rows.begin()) - 1;
        }
    }
    *hint = i;
    const TrackSample& a = rows[i];
    const TrackSample& b = rows[i + 1];
    const double span = b.time_s - a.time_s;
    const double f = (t - a.time_s) / span;
    auto mix = [f](double x, double y) { return x + (y - x) * f; };
    TrackSample& s = state.at;
    s = a;
    s.time_s = t;
    s.latitude = mix(a.latitude, b.latitude);
    s.longitude = std::remainder(a.longitude + short_way(a.longitude, b.longitude) * f, 2.0 * M_PI);
    s.altitude_m = mix(a.altitude_m, b.altitude_m);
    s.heading = wrap_positive(a.heading + short_way(a.heading, b.heading) * f);
    s.speed_mps = mix(a.speed_mps, b.speed_mps);
    s.gear_pct = mix(a.gear_pct, b.gear_pct);
    s.hook_pct = mix(a.hook_pct, b.hook_pct);
    s.aoa = mix(a.aoa, b.aoa);
    s.pitch = mix(a.pitch, b.pitch);
    s.bank = mix(a.bank, b.bank);
    // on_ground and wire: the earlier row's value (already in s).
    state.ground_speed_mps = great_circle_m(a.latitude, a.longitude, b.latitude, b.longitude) / span;
    state.vertical_speed_mps = (b.altitude_m - a.altitude_m) / span;
    state.yaw_rate = short_way(a.heading, b.heading) / span;
    return state;
}

// [replay] ---------------------------------------------------------------------
namespace {
const SimVarInfo& var(const char* name) { return *find_sim_var(name); }
}  // namespace

TrackReplay::TrackReplay(std::shared_ptr<const Track> track, uint32_t object_id, double start_s, double track_from)
    : track_(std::move(track)), object_id_(object_id), start_s_(start_s), track_from_(track_from)
{
}

void TrackReplay::apply(Host& host)
{
    static const SimVarInfo& lat = var("PLANE LATITUDE");
    static const SimVarInfo& lon = var("PLANE LONGITUDE");
    static const SimVarInfo& alt = var("PLANE ALTITUDE");
    static const SimVarInfo& heading_true = var("PLANE HEADING DEGREES TRUE");
    static const SimVarInfo& heading_magnetic = var("PLANE HEADING DEGREES MAGNETIC");
    static const SimVarInfo& magvar = var("MAGVAR");
    static const SimVarInfo& airspeed = var("AIRSPEED TRUE");
    static const SimVarInfo& ground_velocity = var("GROUND VELOCITY");
    static const SimVarInfo& surface_speed = var("SURFACE RELATIVE GROUND SPEED");
    static const SimVarInfo& vertical_speed = var("VERTICAL SPEED");
    static const SimVarInfo& yaw = var("ROTATION VELOCITY BODY Y");
    static const SimVarInfo& gear = var("GEAR RIGHT POSITION");
    static const SimVarInfo& hook = var("TAILHOOK POSITION");
    static const SimVarInfo& on_ground = var("SIM ON GROUND");
    static const SimVarInfo& aoa = var("INCIDENCE ALPHA");
    static const SimVarInfo& pitch = var("PLANE PITCH DEGREES");
    static const SimVarInfo& bank = var("PLANE BANK DEGREES");
    static const SimVarInfo& wire = var("CABLE CAUGHT BY TAILHOOK");

    if (lost_) return;
    SimObject* object = host.world().find(object_id_);
    if (!object) {
        lost_ = true;
        host.timeline().add("note", {{"text", "the replayed object left the world; its track stops"},
                                     {"track", track_->path}});
        return;
    }
    const double t = track_time(host.sim_time());
    const TrackState state = sample_track(*track_, t, &hint_);
    const TrackSample& s = state.at;
    if (!finished_ && t >= track_->rows.back().time_s) {
        finished_ = true;
        host.timeline().add("note", {{"text", "the replayed track ended"}, {"track", track_->path}});
    }
    SimObject& o = *object;
    World::set(o, lat, s.latitude);
    World::set(o, lon, s.longitude);
    World::set(o, alt, s.altitude_m);
    World::set(o, heading_true, s.heading);
    World::set(o, heading_magnetic, wrap_positive(s.heading - World::get(o, magvar)));
    World::set(o, airspeed, s.speed_mps);
    World::set(o, yaw, state.yaw_rate);
    if (o.kind != ObjectKind::User) return;  // a boat: position, heading and speed only
    o.follows_path = false;                  // the track moves it, not the world
    World::set(o, ground_velocity, state.ground_speed_mps);
    World::set(o, surface_speed, state.ground_speed_mps);
    World::set(o, vertical_speed, state.vertical_speed_mps);
    World::set(o, gear, s.gear_pct);
    World::set(o, hook, s.hook_pct);
    World::set(o, on_ground, s.on_ground);
    if (track_->has_aoa) World::set(o, aoa, s.aoa);
    if (track_->has_pitch) World::set(o, pitch, s.pitch);
    if (track_->has_bank) World::set(o, bank, s.bank);
    if (track_->has_wire) World::set(o, wire, s.wire);
}

}  // namespace host
