// The judge of passes. Index: [names] [grading file] [grades] [judging] [texts]
#include "host/record/grading.h"

#include "config/xml_file.h"
#include "host/build_paths.h"
#include "host/record/printf_text.h"
#include "host/record/timeline.h"
#include "host/world/flown_aircraft.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace host {
namespace {

constexpr double DEG = M_PI / 180.0;
constexpr double NM = 1852.0;
constexpr double KNOT_MPS = 1852.0 / 3600.0;

}  // namespace

// [names] ----------------------------------------------------------------------
const char* zone_name(Zone zone)
{
    static const char* const names[ZONE_COUNT] = {"X", "IM", "IC", "AR", "IW"};
    return names[static_cast<int>(zone)];
}

const char* deviation_name(Deviation d)
{
    static const char* const names[DEVIATION_COUNT] = {"HI", "LO", "LUL", "LUR", "F", "SLO"};
    return names[static_cast<int>(d)];
}

const char* outcome_name(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Trap: return "trap";
    case Outcome::Bolter: return "bolter";
    case Outcome::WaveOff: return "wave-off";
    case Outcome::OwnWaveOff: return "own wave-off";
    case Outcome::Ditched: return "ditched";
    }
    return "";
}

// [grading file] -----------------------------------------------------------------
const AircraftGrading& GradingConfig::aircraft_for(const std::string& title) const
{
    for (const AircraftGrading& a : aircraft)
        if (a.title != "*" && title.find(a.title) != std::string::npos) return a;
    for (const AircraftGrading& a : aircraft)
        if (a.title == "*") return a;
    static const AircraftGrading fallback;
    return fallback;
}

const DeckGrading& GradingConfig::deck_for(const std::string& deck_path) const
{
    const std::string stem = std::filesystem::path(deck_path).stem().string();
    for (const DeckGrading& d : decks)
        if (d.model == stem) return d;
    for (const DeckGrading& d : decks)
        if (d.model == "*") return d;
    static const DeckGrading fallback{"*", {3}, 3.5};
    return fallback;
}

std::string default_grading_path() { return std::string(CARRIER_SOURCE_DIR) + "/scenarios/decks/grading.xml"; }

namespace {

struct GradingError {
    int line;
    std::string message;
};

[[noreturn]] void fail(const TiXmlElement* e, const std::string& message) { throw GradingError{e->Row(), message}; }

void only(const TiXmlElement* e, std::initializer_list<const char*> allowed)
{
    for (const TiXmlAttribute* a = e->FirstAttribute(); a; a = a->Next()) {
        bool known = false;
        for (const char* name : allowed) known = known || std::string(a->Name()) == name;
        if (!known) fail(e, std::string("<") + e->Value() + "> has no attribute \"" + a->Name() + "\"");
    }
}

// A number in [lo, hi]; `fallback` when absent (NaN: required).
double number(const TiXmlElement* e, const char* name, double lo, double hi, double fallback)
{
    const char* text = e->Attribute(name);
    if (!text) {
        if (std::isnan(fallback)) fail(e, std::string("<") + e->Value() + "> needs " + name);
        return fallback;
    }
    char* end = nullptr;
    const double v = std::strtod(text, &end);
    if (end == text || *end != '\0' || !std::isfinite(v))
        fail(e, std::string(name) + "=\"" + text + "\" is not a number");
    if (v < lo || v > hi)
        fail(e, printf_text("%s=\"%s\" is outside %g to %g", name, text, lo, hi));
    return v;
}

std::string text(const TiXmlElement* e, const char* name)
{
    const char* t = e->Attribute(name);
    if (!t || !*t) fail(e, std::string("<") + e->Value() + "> needs " + name);
    return t;
}

std::vector<std::string> words(const std::string& s)
{
    std::istringstream in(s);
    std::vector<std::string> out;
    for (std::string w; in >> w;) out.push_back(w);
    return out;
}

void magnitudes(const TiXmlElement* e, std::array<double, 3>* out, double hi)
{
    const double little = number(e, "little", 0.01, hi, (*out)[0]);
    const double reasonable = number(e, "reasonable", 0.01, hi, (*out)[1]);
    const double lot = number(e, "lot", 0.01, hi, (*out)[2]);
    if (!(little < reasonable && reasonable < lot)) fail(e, "the magnitudes grow: little < reasonable < lot");
    *out = {little, reasonable, lot};
}

GradingConfig parse(const TiXmlElement* root)
{
    GradingConfig c;
    if (std::string(root->Value()) != "grading") fail(root, "the root element is <grading>");
    only(root, {});
    bool aircraft_seen = false, decks_seen = false;
    for (const TiXmlElement* e = root->FirstChildElement(); e; e = e->NextSiblingElement()) {
        const std::string kind = e->Value();
        if (kind == "groove") {
            only(e, {"lateral", "hold", "floor"});
            c.groove_lateral_deg = number(e, "lateral", 1.0, 30.0, c.groove_lateral_deg);
            c.hold_s = number(e, "hold", 0.0, 5.0, c.hold_s);
            c.floor_m = number(e, "floor", 1.0, 500.0, c.floor_m);
        } else if (kind == "zones") {
            only(e, {"X", "IM", "IC", "AR"});
            const char* names[4] = {"X", "IM", "IC", "AR"};
            for (int i = 0; i < 4; ++i) c.zone_start_nm[i] = number(e, names[i], 0.0, 3.0, c.zone_start_nm[i]);
            for (int i = 0; i < 3; ++i)
                if (!(c.zone_start_nm[i] > c.zone_start_nm[i + 1]))
                    fail(e, std::string("zone ") + names[i] + " begins farther out than zone " + names[i + 1]);
            if (!(c.zone_start_nm[3] > 0.0)) fail(e, "zone AR begins before the ramp");
        } else if (kind == "magnitudes") {
            only(e, {"kind", "little", "reasonable", "lot"});
            const std::string of = text(e, "kind");
            if (of == "glide_slope") magnitudes(e, &c.glide_deg, 10.0);
            else if (of == "line_up") magnitudes(e, &c.lineup_deg, 20.0);
            else if (of == "angle_of_attack") magnitudes(e, &c.aoa_deg, 10.0);
            else fail(e, "kind=\"" + of + "\" is none of glide_slope, line_up, angle_of_attack");
        } else if (kind == "groove_time") {
            only(e, {"ideal_min", "ideal_max"});
            c.ideal_groove_min_s = number(e, "ideal_min", 0.0, 120.0, c.ideal_groove_min_s);
            c.ideal_groove_max_s = number(e, "ideal_max", 0.0, 120.0, c.ideal_groove_max_s);
            if (c.ideal_groove_min_s > c.ideal_groove_max_s) fail(e, "ideal_min is more than ideal_max");
        } else if (kind == "grades") {
            only(e, {"little", "reasonable", "lot", "ok", "fair"});
            const char* names[3] = {"little", "reasonable", "lot"};
            for (int i = 0; i < 3; ++i) c.weights[i] = static_cast<int>(number(e, names[i], 0, 100, c.weights[i]));
            c.ok_max = static_cast<int>(number(e, "ok", 0, 1000, c.ok_max));
            c.fair_max = static_cast<int>(number(e, "fair", 0, 1000, c.fair_max));
            if (c.ok_max > c.fair_max) fail(e, "ok is more than fair");
        } else if (kind == "cut") {
            only(e, {"zones", "deviations"});
            c.cut_zones.fill(false);
            c.cut_deviations.fill(false);
            for (const std::string& w : words(e->Attribute("zones") ? e->Attribute("zones") : "")) {
                int found = -1;
                for (int z = 0; z < ZONE_COUNT; ++z) found = w == zone_name(static_cast<Zone>(z)) ? z : found;
                if (found < 0) fail(e, "\"" + w + "\" is no zone (X IM IC AR IW)");
                c.cut_zones[found] = true;
            }
            for (const std::string& w : words(e->Attribute("deviations") ? e->Attribute("deviations") : "")) {
                int found = -1;
                for (int d = 0; d < DEVIATION_COUNT; ++d) found = w == deviation_name(static_cast<Deviation>(d)) ? d : found;
                if (found < 0) fail(e, "\"" + w + "\" is no deviation (HI LO LUL LUR F SLO)");
                c.cut_deviations[found] = true;
            }
        } else if (kind == "aircraft") {
            only(e, {"title", "on_speed"});
            if (!aircraft_seen) c.aircraft.clear();
            aircraft_seen = true;
            c.aircraft.push_back({text(e, "title"), number(e, "on_speed", 0.0, 30.0, NAN)});
        } else if (kind == "deck") {
            only(e, {"model", "target_wires", "glide_slope"});
            if (!decks_seen) c.decks.clear();
            decks_seen = true;
            DeckGrading d;
            d.model = text(e, "model");
            d.target_wires.clear();
            for (const std::string& w : words(text(e, "target_wires"))) {
                char* end = nullptr;
                const long wire = std::strtol(w.c_str(), &end, 10);
                if (*end != '\0' || wire < 1 || wire > 4) fail(e, "target wire \"" + w + "\" is not 1 to 4");
                d.target_wires.push_back(static_cast<int>(wire));
            }
            d.glide_slope_deg = number(e, "glide_slope", 2.0, 6.0, 3.5);
            c.decks.push_back(std::move(d));
        } else {
            fail(e, "<" + kind + "> is not a grading element");
        }
    }
    return c;
}

}  // namespace

std::optional<GradingConfig> load_grading(const std::string& path, std::string* error)
{
    TiXmlDocument doc(path.c_str());
    if (!load_xml_file(doc)) {
        if (doc.ErrorId() == TiXmlBase::TIXML_ERROR_OPENING_FILE)
            *error = path + ":0: cannot open the grading file";
        else
            *error = path + ":" + std::to_string(std::max(doc.ErrorRow(), 1)) + ": " + doc.ErrorDesc();
        return std::nullopt;
    }
    if (!doc.RootElement()) {
        *error = path + ":1: the grading file is empty";
        return std::nullopt;
    }
    try {
        GradingConfig c = parse(doc.RootElement());
        c.path = path;
        return c;
    } catch (const GradingError& e) {
        *error = path + ":" + std::to_string(e.line) + ": " + e.message;
        return std::nullopt;
    } catch (const std::exception& e) {
        *error = path + ":0: " + e.what();
        return std::nullopt;
    }
}

// [grades] ------------------------------------------------------------------------
const char* const GRADES[8] = {"_OK_", "OK", "(OK)", "B", "\u2014", "WO", "OWO", "C"};

int grade_rank(const std::string& grade)
{
    const std::string g = grade == "---" || grade == "-" ? GRADES[4] : grade;
    for (int i = 0; i < 8; ++i)
        if (g == GRADES[i]) return i;
    return -1;
}

double grade_points(const std::string& grade)
{
    static const double points[8] = {5.0, 4.0, 3.0, 2.5, 2.0, 1.0, 1.0, 0.0};
    const int rank = grade_rank(grade);
    return rank < 0 ? 0.0 : points[rank];
}

bool grade_at_least(const std::string& grade, const std::string& required)
{
    return grade_rank(grade) >= 0 && grade_rank(required) >= 0 && grade_points(grade) >= grade_points(required);
}

GradeColour grade_colour(const std::string& grade)
{
    switch (grade_rank(grade)) {
    case 0: return {0.05, 0.45, 0.10};  // _OK_: dark green
    case 1: return {0.20, 0.75, 0.25};  // OK: green
    case 2: return {0.98, 0.85, 0.15};  // (OK): yellow
    case 3: return {0.15, 0.40, 0.85};  // bolter: blue
    case 4: return {0.55, 0.35, 0.15};  // no grade: brown
    case 5:
    case 6: return {0.92, 0.92, 0.92};  // wave-offs: white
    case 7: return {0.85, 0.10, 0.10};  // cut: red
    }
    return {0.6, 0.6, 0.6};
}

std::string deviation_written(Deviation d, Magnitude m)
{
    const std::string name = deviation_name(d);
    if (m <= 1) return "(" + name + ")";
    if (m == 2) return name;
    return "_" + name + "_";
}

std::string deviation_text(const std::array<std::array<Magnitude, DEVIATION_COUNT>, ZONE_COUNT>& deviations)
{
    std::string out;
    for (int z = 0; z < ZONE_COUNT; ++z) {
        for (int d = 0; d < DEVIATION_COUNT; ++d) {
            const Magnitude m = deviations[z][d];
            if (m <= 0) continue;
            if (!out.empty()) out += ' ';
            out += deviation_written(static_cast<Deviation>(d), m);
            out += zone_name(static_cast<Zone>(z));
        }
    }
    return out;
}

std::string grade_pass(const GradingConfig& config, const Pass& pass)
{
    switch (pass.outcome) {
    case Outcome::Ditched: return "C";
    case Outcome::WaveOff: return "WO";
    case Outcome::OwnWaveOff: return "OWO";
    case Outcome::Bolter: return "B";
    case Outcome::Trap: break;
    }
    int sum = 0;
    bool any = false;
    for (int z = 0; z < ZONE_COUNT; ++z) {
        for (int d = 0; d < DEVIATION_COUNT; ++d) {
            const Magnitude m = pass.deviations[z][d];
            if (m <= 0) continue;
            any = true;
            if (m == 3 && config.cut_zones[z] && config.cut_deviations[d]) return "C";
            sum += config.weights[m - 1];
        }
    }
    const bool target = pass.wire >= 1 && pass.wire <= 4 && (pass.target_wires >> pass.wire & 1u) != 0;
    const bool ideal_groove = pass.groove_s >= config.ideal_groove_min_s && pass.groove_s <= config.ideal_groove_max_s;
    if (!any && target && ideal_groove) return "_OK_";
    if (sum <= config.ok_max) return "OK";
    if (sum <= config.fair_max) return "(OK)";
    return GRADES[4];
}

int call_deviation(const std::string& call)
{
    std::string t = call;
    for (char& ch : t) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    auto has = [&](const char* w) { return t.find(w) != std::string::npos; };
    if (has("wave off") || has("wave-off") || has("remettez") || has("wire") || has("brin") || has("ball") ||
        has("boule"))
        return -1;
    if (has("high") || has("haut")) return static_cast<int>(Deviation::HI);
    if (has("low") || has("bas") || has("power") || has("puissance")) return static_cast<int>(Deviation::LO);
    if (has("line") || has("align")) return static_cast<int>(Deviation::LUL);
    return -1;
}

std::vector<std::string> disagreements(const Pass& pass)
{
    std::vector<std::string> out;
    auto same_kind = [](int call_kind, int d) {
        return call_kind == static_cast<int>(Deviation::LUL) ? (d == 2 || d == 3) : call_kind == d;
    };
    // A call is borne out by a deviation of its kind in its zone or the one
    // before (the officer calls what he has seen).
    for (const ModuleCall& call : pass.calls) {
        const int kind = call_deviation(call.text);
        if (kind < 0) continue;
        const int z = static_cast<int>(call.zone);
        bool seen = false;
        for (int zone = std::max(0, z - 1); zone <= z; ++zone)
            for (int d = 0; d < DEVIATION_COUNT; ++d) seen = seen || (same_kind(kind, d) && pass.deviations[zone][d] > 0);
        if (seen) continue;
        std::string judged = kind == static_cast<int>(Deviation::LUL) ? "lined up" : "on glide slope";
        if (kind == 0 && pass.deviations[z][1] > 0) judged = "low";
        if (kind == 1 && pass.deviations[z][0] > 0) judged = "high";
        out.push_back(printf_text("\"%s\" called at %.2f nm (%s) where the judge saw %s", call.text.c_str(),
                                  call.range_nm, zone_name(call.zone), judged.c_str()));
    }
    // A glide-slope or line-up deviation of reasonable size or more, from
    // the start to the ramp, wants a call of its kind in its zone or next to it.
    for (int z = 0; z <= static_cast<int>(Zone::AR); ++z) {
        for (int d = 0; d < 4; ++d) {
            const Magnitude m = pass.deviations[z][d];
            if (m < 2) continue;
            bool called = false;
            for (const ModuleCall& call : pass.calls) {
                const int zone = static_cast<int>(call.zone);
                called = called || (same_kind(call_deviation(call.text), d) && zone >= z - 1 && zone <= z + 1);
            }
            if (called) continue;
            const std::string name = deviation_name(static_cast<Deviation>(d));
            out.push_back(printf_text("%s%s%s at %s with no call", m == 3 ? "_" : "", name.c_str(), m == 3 ? "_" : "",
                                      zone_name(static_cast<Zone>(z))));
        }
    }
    return out;
}

std::string Pass::story_line() const
{
    std::string line = printf_text("pass %d: %s", number, grade.c_str());
    if (outcome == Outcome::Trap) line += printf_text(", %d-wire", wire);
    else line += printf_text(", %s", outcome_name(outcome));
    line += printf_text(", groove %.0f s", groove_s);
    if (!deviation_text.empty()) line += ": " + deviation_text;
    return line;
}

// [judging] -------------------------------------------------------------------------
PassJudge::PassJudge(GradingConfig config) : config_(std::move(config))
{
    passes_.reserve(MAX_PASSES);
    calls_.reserve(MAX_CALLS);
    call_pass_.reserve(MAX_CALLS);
    samples_.reserve(MAX_SAMPLES);
    sample_pass_.reserve(MAX_SAMPLES);
}

void PassJudge::begin_pass(Host& host, const ApproachTruth& truth)
{
    if (passes_.size() == MAX_PASSES) return;
    active_ = true;
    touched_down_ = false;
    passes_.emplace_back();
    Pass& p = passes_.back();
    p.number = static_cast<int>(passes_.size());
    p.t_start = host.sim_time();
    boat_id_ = truth.boat_id;
    for (int wire : deck_grading_->target_wires) p.target_wires |= 1u << wire;
    on_speed_deg_ = config_.aircraft_for(host.world().user().title).on_speed_deg;
    // The wind over the deck at the start of the groove, along the landing line.
    const double course = truth.ship.heading - truth.deck->landing_angle_deg * DEG;
    const double air_east = host.world().wind().east_mps() - truth.ship.speed_mps * std::sin(truth.ship.heading);
    const double air_north = host.world().wind().north_mps() - truth.ship.speed_mps * std::cos(truth.ship.heading);
    p.wind_over_deck_kt = -(air_east * std::sin(course) + air_north * std::cos(course)) / KNOT_MPS;
    for (auto& h : held_) h.fill(0.0);
    zone_ = Zone::X;
    sample_phase_ = 0;
}

void PassJudge::end_pass(Host& host, Outcome outcome, int wire, double t_end)
{
    Pass& p = passes_.back();
    p.outcome = outcome;
    p.wire = wire;
    p.t_end = host.sim_time();
    p.groove_s = t_end - p.t_start;
    active_ = false;
}

void PassJudge::measure(double dt, Zone zone, const double values[3])
{
    if (zone != zone_) {
        for (auto& h : held_) h.fill(0.0);
        zone_ = zone;
    }
    Pass& p = passes_.back();
    const std::array<double, 3>* thresholds[3] = {&config_.glide_deg, &config_.lineup_deg, &config_.aoa_deg};
    // values: glide (up positive), line-up (left positive), angle of attack over on-speed.
    const Deviation positive[3] = {Deviation::HI, Deviation::LUL, Deviation::SLO};
    const Deviation negative[3] = {Deviation::LO, Deviation::LUR, Deviation::F};
    for (int k = 0; k < 3; ++k) {
        for (int sign = 0; sign < 2; ++sign) {
            const int d = static_cast<int>(sign == 0 ? positive[k] : negative[k]);
            const double v = sign == 0 ? values[k] : -values[k];
            for (int level = 0; level < 3; ++level) {
                double& held = held_[d][level];
                held = v >= (*thresholds[k])[level] ? held + dt : 0.0;
                if (held >= config_.hold_s - 1e-9)
                    p.deviations[static_cast<int>(zone)][d] = std::max(p.deviations[static_cast<int>(zone)][d], level + 1);
            }
        }
    }
}

Zone zone_at(const GradingConfig& config, double range_nm)
{
    if (range_nm > config.zone_start_nm[1]) return Zone::X;
    if (range_nm > config.zone_start_nm[2]) return Zone::IM;
    if (range_nm > config.zone_start_nm[3]) return Zone::IC;
    return range_nm >= 0.0 ? Zone::AR : Zone::IW;
}

void PassJudge::frame_done(Host& host)
{
    const double t = host.sim_time();
    const double dt = std::max(0.0, t - last_t_);
    last_t_ = t;
    FlownAircraft* flown = host.world().process<FlownAircraft>();
    ApproachTruth truth;
    const bool have = flown && flown->approach_truth(host.world(), &truth) && !truth.ashore && truth.deck;
    if (wave_off_slot_ < 0) wave_off_slot_ = host.panel_variables().find("WaveOffLight");
    const bool lights = wave_off_slot_ >= 0 && host.panel_variables().get(wave_off_slot_) > 0.5;

    // An approach placed anew ends the pass that was flying: it is dropped.
    if (active_ && (!have || truth.approaches != approaches_)) {
        passes_.pop_back();
        active_ = false;
    }
    if (have) approaches_ = truth.approaches;

    // The deviations of this frame: the hook against the glide path to its
    // touchdown point (the angle seen from that point), the aircraft against
    // the moving centre line (the angle seen from the far end of the landing
    // area, as the pilot lines up on it), both over at least the floor
    // distance; the angle of attack against on-speed.
    double range_m = 0.0, glide_dev = 0.0, line_dev = 0.0;
    if (have) {
        if (truth.deck != graded_deck_) {
            graded_deck_ = truth.deck;
            deck_grading_ = &config_.deck_for(truth.deck->path);
        }
        const double glide = deck_grading_->glide_slope_deg * DEG;
        const double target = truth.deck->touchdown_m - truth.hook_arm_m - truth.hook_drop_m / std::tan(glide);
        const double d = target - truth.hook_s_m;
        glide_dev = std::atan((truth.hook_h_m - d * std::tan(glide)) / std::max(d, config_.floor_m)) / DEG;
        line_dev = std::atan(-truth.c_m / std::max(truth.deck->landing_length_m - truth.s_m, config_.floor_m)) / DEG;
        range_m = -truth.s_m;
    }

    if (!active_ && have && truth.phase == FlightPhase::Approach) {
        const bool in_range = range_m > 0.0 && range_m <= config_.zone_start_nm[0] * NM;
        if (in_range && std::fabs(line_dev) <= config_.groove_lateral_deg && truth.vertical_mps < 0.0)
            begin_pass(host, truth);
    }

    const double range_nm = range_m / NM;
    if (active_) {
        Pass& p = passes_.back();
        if (lights) p.wave_off_lights = true;
        const RecoveryRecord& rec = *truth.recovery;
        if (truth.phase == FlightPhase::Approach) {
            const double values[3] = {glide_dev, line_dev, truth.alpha / DEG - on_speed_deg_};
            measure(dt, zone_at(config_, range_nm), values);
            if (samples_.size() < samples_.capacity()) {
                samples_.push_back({range_nm, values[0], values[1], values[2]});
                sample_pass_.push_back(passes_.size() - 1);
            }
        } else if (!touched_down_ && rec.touched_down) {
            touched_down_ = true;
            t_touchdown_ = t;
        }
        const double touchdown = touched_down_ ? t_touchdown_ : t;
        switch (truth.phase) {
        case FlightPhase::Approach:
        case FlightPhase::Rolling: break;
        case FlightPhase::Arrested:
        case FlightPhase::Parked:
        case FlightPhase::OnCatapult:
        case FlightPhase::Stroke: end_pass(host, Outcome::Trap, rec.wire, touchdown); break;
        case FlightPhase::Climb:
            if (rec.bolter) end_pass(host, Outcome::Bolter, 0, touchdown);
            else end_pass(host, p.wave_off_lights ? Outcome::WaveOff : Outcome::OwnWaveOff, 0, t);
            break;
        case FlightPhase::Ditched: end_pass(host, Outcome::Ditched, 0, touchdown); break;
        }
    }

    // The module's calls: texts that appeared in this frame during a pass
    // (or in the frame that ended it).
    const auto& texts = host.simconnect().texts();
    for (; texts_seen_ < texts.size(); ++texts_seen_) {
        if (passes_.empty() || calls_.size() == calls_.capacity() || !have) continue;
        if (!active_ && passes_.back().t_end != t) continue;
        ModuleCall call;
        call.t = texts[texts_seen_].t;
        call.range_nm = range_nm;
        call.zone = zone_at(config_, range_nm);
        call.text_index = texts_seen_;
        calls_.push_back(call);
        call_pass_.push_back(passes_.size() - 1);
    }
}

// [texts] ---------------------------------------------------------------------------
void PassJudge::finish(Host& host)
{
    if (active_) {
        passes_.pop_back();
        active_ = false;
    }
    const auto& texts = host.simconnect().texts();
    for (size_t i = 0; i < calls_.size(); ++i) {
        if (call_pass_[i] >= passes_.size()) continue;
        ModuleCall call = calls_[i];
        // The module's texts come from the designer's files, in whatever encoding
        // they were saved: the trap sheet, passes.json and the page want UTF-8.
        if (call.text_index < texts.size()) call.text = valid_utf8(texts[call.text_index].text);
        passes_[call_pass_[i]].calls.push_back(std::move(call));
    }
    for (size_t i = 0; i < samples_.size(); ++i)
        if (sample_pass_[i] < passes_.size()) passes_[sample_pass_[i]].samples.push_back(samples_[i]);
    const SimObject* boat = host.world().find(boat_id_);
    for (Pass& p : passes_) {
        p.carrier = boat ? valid_utf8(boat->title) : "";
        p.aircraft = valid_utf8(host.world().user().title);
        p.deviation_text = deviation_text(p.deviations);
        p.grade = grade_pass(config_, p);
        p.points = grade_points(p.grade);
        p.disagreements = disagreements(p);
    }
    calls_.clear();
    call_pass_.clear();
    samples_.clear();
    sample_pass_.clear();
}

}  // namespace host
