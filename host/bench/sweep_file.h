// Sweep files: a base scenario and the parameters to vary over it. Each
// parameter is a list, a grid (from, to, step) or a seeded distribution
// (uniform or normal, with a count); the runs are every combination of the
// parameters' values, the first parameter varying slowest. The format is in
// docs/sweeps.md.
//
// A parameter names what it changes:
//   - a known name (wind_speed, ship_speed, start_offset, weight, ...: the
//     table in docs/sweeps.md), a shorthand for an attribute of the scenario;
//   - an attribute of the scenario by path from <runscript>, e.g.
//     "world/flight/deviation[2]@glide" (steps NAME, NAME[N] counted from 1 or
//     NAME[ATTR=VALUE]);
//   - an attribute of a configuration file of the simulator root,
//     "Gauges/ZEB_Parameters.xml:Catapult@Catapult_Lenght" (the path starts
//     below the file's top element);
//   - "seed": the seeds the distributions are drawn with.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class TiXmlDocument;

namespace host {

// One step of an element path: a name and which of the elements of that name.
struct PathStep {
    std::string name;
    int index = 1;             // the Nth element of that name (from 1)
    std::string match_attribute;  // or the first whose attribute ...
    std::string match_value;      // ... has this value
};

struct AttributePath {
    std::vector<PathStep> steps;
    std::string attribute;
};

enum class ParameterTarget { Scenario, Config, Seed };

enum class Distribution { None, Uniform, Normal };

struct SweepParameter {
    std::string name;  // as written: the column of results.csv
    int line = 0;
    ParameterTarget target = ParameterTarget::Scenario;
    std::string config_file;  // relative to the simulator root (Config)
    AttributePath path;
    // Shorthands that change more than one attribute: these are removed from
    // the scenario (ship_speed drops turn_into_wind's wind_over_deck, which
    // would set the speed itself).
    std::vector<AttributePath> removes;
    // A <set var=...> the shorthand adds to <world> (before the first
    // <flight>) when the scenario has none: weight.
    std::string creates_set_var;
    std::string creates_set_unit;

    std::vector<double> values;  // a list or a grid
    Distribution distribution = Distribution::None;
    double a = 0.0, b = 0.0;     // uniform: min, max; normal: mean, standard deviation
    double low = -1e300, high = 1e300;  // a normal draw is clamped to [low, high]
    int count = 0;               // draws of a distribution

    size_t size() const { return distribution == Distribution::None ? values.size() : static_cast<size_t>(count); }
};

struct SweepFile {
    std::string path;           // the sweep file
    std::string name;
    std::string description;
    std::string scenario_path;  // the base scenario, absolute
    uint64_t seed = 1;          // the distributions' seed when no "seed" parameter varies it
    double timeout = 300.0;     // wall seconds a run may take before it is stopped
    std::vector<SweepParameter> parameters;
};

// The most runs a sweep may have.
constexpr uint64_t SWEEP_MAX_RUNS = 10'000'000;

// Reads and checks a sweep file; nullopt with "FILE:LINE: what is wrong".
// The base scenario is not read here (see check_sweep).
std::optional<SweepFile> load_sweep(const std::string& path, std::string* error);

// The number of runs (the product of the parameters' sizes).
uint64_t run_count(const SweepFile& sweep);

// One run's values, one per parameter (for "seed", the seed).
struct Variation {
    uint64_t index = 0;
    std::vector<double> values;
    uint64_t seed = 1;
};
Variation variation_of(const SweepFile& sweep, uint64_t index);

// The value of a distribution's draw `k` with `seed` (reproducible on any
// machine: the generator and the transforms are this file's own).
double draw(const SweepParameter& p, uint64_t seed, int k);

// A number as it is written into an attribute and into results.csv: the
// shortest text that reads back the same.
std::string value_text(double value);

// Applies the scenario parameters of `v` to `doc` (the base scenario's
// document). False with `error` (without a file name) when a path names no
// element.
bool apply_to_scenario(const SweepFile& sweep, const Variation& v, TiXmlDocument& doc, std::string* error);

// Whether any parameter changes a configuration file.
bool changes_configuration(const SweepFile& sweep);

// Makes `scratch` a simulator root like `base_root` with the configuration
// parameters of `v` applied: changed files are written, everything else is
// linked. False with `error`.
bool make_config_root(const SweepFile& sweep, const Variation& v, const std::string& base_root,
                      const std::string& scratch, std::string* error);

// `carrier-bench check` of a sweep: the file, its base scenario, and every
// parameter's values applied one at a time to the base scenario (a value the
// scenario reader refuses is an error of the parameter's line). Lines
// "FILE:LINE: what is wrong"; empty when all is well.
std::vector<std::string> check_sweep(const SweepFile& sweep);

}  // namespace host
