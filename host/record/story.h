// The run told as a story: what a pilot and a landing signal officer would
// say happened, one line per moment, with times. Carrier tuned (channel and
// frequency) and locked (the module's tuning text), each of the officer's
// checks and calls with the range to the deck, the landing lights coming on
// and going off, touchdown, the wire caught or the bolter, the catapult shot
// (end speed, stroke time) and the aircraft airborne.
//
// The story reads only the timeline: the whole of it (a memory timeline, as
// in tests) or the bench's small copy of a streamed one (host/run_summary's
// filter). The copy has no per-frame named variables, so the bench records
// the range at each of the officer's checks as a "range" event in the copy
// (story_wants_range, record_range); on a whole timeline the last "ILS
// Slant Range" before the check is used.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "host/record/timeline.h"

namespace host {

// A NAV set key's BCD value in MHz (0x11270 is 112.70); NaN when it is not
// BCD or outside 0 .. 0xFFFFF.
double bcd_mhz(double raw);

struct StoryLine {
    double t = 0.0;
    std::string text;
    // A reason why no carrier was selected (so no approach was judged or plotted).
    bool no_carrier = false;
};

// Whether a timeline line is one of the officer's checks raised by the
// module (command events 0x11102 and 0x11104 to 0x11107): the moment whose
// range to the deck the story tells. Plain text search, no allocation.
bool story_wants_range(std::string_view kind, std::string_view line);

// Adds a "range" event ("nm": the approach distance) at (t, frame) to `copy`.
void record_range(Timeline& copy, double t, int64_t frame, double range_nm);

// The TACAN channel ("74X") of a VHF frequency paired with it, "" when none is.
std::string tacan_channel(double mhz);

std::vector<StoryLine> story_lines(const Timeline& timeline);

// "Story of the run ..." and one indented line per moment.
std::string format_story(const std::vector<StoryLine>& lines);

}  // namespace host
