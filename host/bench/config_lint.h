// The configuration linter: reads a simulator root's parameters file and
// carrier list the way the module reads them and reports, with file and line,
// everything the module would silently ignore, replace or never reach:
// unknown elements and attributes (with the nearest known name), attributes an
// entry lacks (and what the module then uses), numbers the module cannot read,
// frequencies that pair with no TACAN channel, duplicate frequencies and
// languages, carrier languages without a sound list, missing sound files and
// values outside plausible ranges.
//
// Errors are what keeps the module from reading a file (not well-formed,
// a missing section); everything else is a warning.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "host/world/deck.h"

namespace host {

enum class LintLevel { Warning, Error };

struct LintFinding {
    std::string file;  // as opened: SIMROOT/Gauges/...
    int line = 0;      // 0 when the finding is about the whole file
    LintLevel level = LintLevel::Warning;
    std::string message;
};

struct LintReport {
    std::vector<LintFinding> findings;  // in file order, parameters file first
    size_t errors() const;
    size_t warnings() const;
    // Whether the configuration passes: no errors, and no warnings either when `strict`.
    bool passes(bool strict) const { return errors() == 0 && (!strict || warnings() == 0); }
};

// A deck model known for the ship of this title (a scenario's <deck_model>,
// or `lint --deck TITLE=MODEL`).
struct KnownDeck {
    std::string title;
    DeckModel deck;
};

// Lints SIM_ROOT/Gauges/ZEB_Parameters.xml and SIM_ROOT/Gauges/ZEB_Carrier.xml.
// A carrier whose Sim_Name has a deck model in `decks` also gets its offsets
// checked on that deck: an aim point off the landing area, a TACAN antenna
// off the ship.
LintReport lint_configuration(const std::string& sim_root, const std::vector<KnownDeck>& decks = {});

// "FILE:LINE: warning: message" ("error:" for errors, and for warnings when `strict`).
std::string format_finding(const LintFinding& finding, bool strict = false);

// The known name closest to `name` (case-insensitive edit distance with
// transpositions), or "" when none is close enough to be a likely typo.
std::string nearest_name(std::string_view name, const std::vector<std::string>& known);

// Whether `mhz` is the VHF frequency of a TACAN channel (17X-59Y, 70X-126Y),
// compared in single precision as the module compares frequencies.
bool pairs_with_tacan_channel(double mhz);
// The channel's name ("74X") of a paired frequency, "" for any other.
std::string tacan_channel_name(double mhz);

// A fixed landing site of the carrier list (CarrierType 2).
struct FixedSite {
    std::string name;
    double latitude_deg = 0.0;   // north positive
    double longitude_deg = 0.0;  // east positive
    double altitude_ft = 0.0;
    double runway_heading_deg = 0.0;  // true
    int line = 0;
};

// The fixed sites of SIM_ROOT/Gauges/ZEB_Carrier.xml, in file order; empty
// when the file cannot be read, and then `error` (when given) says why as
// "FILE:LINE: what".
std::vector<FixedSite> read_fixed_sites(const std::string& sim_root, std::string* error = nullptr);

}  // namespace host
