// The bench's own landing signal officer: an independent judge of every pass
// the flown aircraft makes at a deck. It follows the frames and reads the
// world's truth only (the aircraft, its hook tip, the moving deck, the angle
// of attack of the flight model), never what the module publishes, except
// the wave-off lights, which tell the module's wave-off from the pilot's own.
//
// A pass begins when the aircraft enters the groove (within the grading
// file's groove range of the ramp, near the landing line, descending) and
// ends at a trap, a bolter, a wave-off or a ditching. In each zone of the
// groove (X, IM, IC, AR, IW) the judge notes the glide-slope (HI, LO),
// line-up (LUL, LUR) and angle-of-attack (F, SLO) deviations held for a
// moment, at three magnitudes, and grades the pass in the notation of US
// Navy LSO training. Beside the deviations it lists the module's officer
// calls (screen texts) with the range where they came, and where the two
// disagree. Thresholds: the grading file (docs/grading.md).
//
// Per frame the judge allocates nothing: the passes, their samples and calls
// live in storage reserved when it is opened; the texts are made at finish().
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/host.h"

namespace host {

struct ApproachTruth;
struct DeckModel;

enum class Zone { X, IM, IC, AR, IW };
constexpr int ZONE_COUNT = 5;
const char* zone_name(Zone zone);

// The six deviations. HI/LO: the hook above/below the glide path to the
// deck's landing area; LUL/LUR: left/right of the moving centre line; F/SLO:
// angle of attack below/above the aircraft's on-speed value.
enum class Deviation { HI, LO, LUL, LUR, F, SLO };
constexpr int DEVIATION_COUNT = 6;
const char* deviation_name(Deviation d);

// 0 none, 1 a little "(LO)", 2 reasonable "LO", 3 a lot "_LO_".
using Magnitude = int;

struct AircraftGrading {
    std::string title;        // a part of the aircraft's title; "*" any aircraft
    double on_speed_deg = 9.2;  // on-speed angle of attack
};

struct DeckGrading {
    std::string model;        // the deck file's name without ".xml" ("nimitz")
    std::vector<int> target_wires{3};
    double glide_slope_deg = 3.5;
};

// Everything the judge measures against; the defaults are the bundled
// grading file's (scenarios/decks/grading.xml, docs/grading.md).
struct GradingConfig {
    std::string path;
    // Where each zone begins, nautical miles from the ramp; IW begins at the
    // ramp and lasts to touchdown. X begins where the groove does.
    std::array<double, 4> zone_start_nm{0.75, 0.5, 0.25, 0.08};  // X, IM, IC, AR
    double groove_lateral_deg = 10.0;  // at most this far off the line to enter the groove
    double hold_s = 0.5;               // a deviation counts when held this long within a zone
    double floor_m = 30.0;             // the shortest distance an angle is measured over
    // Magnitude thresholds, degrees: a little, reasonable, a lot.
    std::array<double, 3> glide_deg{0.3, 0.6, 1.0};
    std::array<double, 3> lineup_deg{0.5, 1.0, 2.0};
    std::array<double, 3> aoa_deg{0.5, 1.0, 1.5};
    double ideal_groove_min_s = 22.0, ideal_groove_max_s = 28.0;
    // The grade of a trap: the sum of its deviations' weights.
    std::array<int, 3> weights{1, 2, 4};
    int ok_max = 3;    // at most this: OK
    int fair_max = 6;  // at most this: (OK); more: no grade
    // A cut pass: a deviation of magnitude a lot of these kinds in these zones.
    std::array<bool, ZONE_COUNT> cut_zones{false, false, true, true, false};
    std::array<bool, DEVIATION_COUNT> cut_deviations{false, true, true, true, false, true};
    std::vector<AircraftGrading> aircraft{{"*", 9.2}};
    std::vector<DeckGrading> decks{{"*", {3}, 3.5}};

    const AircraftGrading& aircraft_for(const std::string& title) const;
    const DeckGrading& deck_for(const std::string& deck_path) const;
};

// The bundled grading file, beside the deck models.
std::string default_grading_path();
// Reads a grading file; on a bad file nullopt with `error` "FILE:LINE: what is wrong".
std::optional<GradingConfig> load_grading(const std::string& path, std::string* error);

enum class Outcome { Trap, Bolter, WaveOff, OwnWaveOff, Ditched };
const char* outcome_name(Outcome outcome);

// Grades, best first: _OK_ OK (OK) B — WO OWO C (— is "no grade"; "---"
// and "-" are read as it). `grade_rank` orders them
// (0 the best; -1 for a text that is no grade), `grade_points` gives their
// points, `grade_at_least` is what an expectation `grade="OK"` asks.
extern const char* const GRADES[8];
int grade_rank(const std::string& grade);
double grade_points(const std::string& grade);
bool grade_at_least(const std::string& grade, const std::string& required);

// The fill colour of a grade as squadrons paint it on the greenie board
// (red, green, blue 0..1): the board and the debrief page.
struct GradeColour {
    double r, g, b;
};
GradeColour grade_colour(const std::string& grade);

// One of the module's officer calls during a pass.
struct ModuleCall {
    double t = 0.0;
    double range_nm = 0.0;  // from the ramp
    Zone zone = Zone::X;
    std::string text;       // filled at finish
    size_t text_index = 0;  // in the SimConnect server's shown texts
};

// One sample of the trend plot.
struct TrendSample {
    double range_nm;
    double glide_deg;
    double lineup_deg;
    double aoa_deg;  // from on-speed
};

struct Pass {
    int number = 0;
    double t_start = 0.0, t_end = 0.0;
    Outcome outcome = Outcome::Trap;
    int wire = 0;
    double groove_s = 0.0;
    double wind_over_deck_kt = 0.0;
    bool wave_off_lights = false;  // the module lit them during the pass
    unsigned target_wires = 0;     // bit n: wire n is a target wire of the deck
    std::array<std::array<Magnitude, DEVIATION_COUNT>, ZONE_COUNT> deviations{};
    // Filled at finish.
    std::string carrier, aircraft;
    std::string grade;
    double points = 0.0;
    std::string deviation_text;  // "(LO)X LULIM _F_IC"
    std::vector<ModuleCall> calls;
    std::vector<std::string> disagreements;
    std::vector<TrendSample> samples;

    // "pass 1: OK, 3-wire, groove 17 s: (LO)X LULIM"
    std::string story_line() const;
};

// The zone at `range_nm` from the ramp (negative: past it): X from the
// groove's start (or farther), IM, IC, AR to the ramp, IW beyond.
Zone zone_at(const GradingConfig& config, double range_nm);
// The LSO's writing of a pass's deviations, zone by zone.
// One deviation as the LSO writes it, without its zone: (LO) a little
// (magnitude 1 or less), LO reasonable, _LO_ a lot.
std::string deviation_written(Deviation d, Magnitude m);
std::string deviation_text(const std::array<std::array<Magnitude, DEVIATION_COUNT>, ZONE_COUNT>& deviations);
// The grade of a finished pass and why.
std::string grade_pass(const GradingConfig& config, const Pass& pass);
// Which deviation a call text names: HI, LO, LUL (a line-up call, either
// side), or -1 for a call that is none of these (the ball, a wire, a wave-off).
int call_deviation(const std::string& text);
// The disagreements between the module's calls and the judge's deviations.
std::vector<std::string> disagreements(const Pass& pass);

class PassJudge : public FrameObserver {
public:
    static constexpr size_t MAX_PASSES = 256;
    static constexpr size_t MAX_CALLS = 1024;      // over all passes
    static constexpr size_t MAX_SAMPLES = 60000;   // trend samples over all passes

    explicit PassJudge(GradingConfig config);
    void frame_done(Host& host) override;
    // Ends the run: an unfinished pass is dropped; the texts, grades and
    // disagreements are made.
    void finish(Host& host);

    const GradingConfig& config() const { return config_; }
    const std::vector<Pass>& passes() const { return passes_; }
    bool in_pass() const { return active_; }

private:
    void begin_pass(Host& host, const ApproachTruth& truth);
    void end_pass(Host& host, Outcome outcome, int wire, double t_end);
    void measure(double dt, Zone zone, const double values[3]);

    GradingConfig config_;
    std::vector<Pass> passes_;
    std::vector<ModuleCall> calls_;        // all passes' calls, in order
    std::vector<size_t> call_pass_;        // the pass index of each call
    std::vector<TrendSample> samples_;     // all passes' samples, in order
    std::vector<size_t> sample_pass_;
    bool active_ = false;
    bool touched_down_ = false;
    double t_touchdown_ = 0.0;
    int approaches_ = 0;
    int wave_off_slot_ = -1;
    size_t texts_seen_ = 0;
    double last_t_ = 0.0;
    Zone zone_ = Zone::X;
    double on_speed_deg_ = 9.2;
    const DeckModel* graded_deck_ = nullptr;     // the deck whose grading is cached
    const DeckGrading* deck_grading_ = nullptr;
    uint32_t boat_id_ = 0;
    // Held time of each deviation at each magnitude, within the zone.
    std::array<std::array<double, 3>, DEVIATION_COUNT> held_{};
    int sample_phase_ = 0;
};

}  // namespace host
