// Why a run went quiet: story lines that name the cause of a silent failure,
// once, at the moment it matters.
//   - a tuning to a frequency the carrier list has no entry for;
//   - a tuning to a ship entry whose Sim_Name is no boat within 200 km (with
//     the nearest titles seen, and a difference of case named as such);
//   - an officer's call shown while its sound did not load ("silent: ...");
//   - an AI object whose title is not installed (refused, retried N times);
//   - the aircraft in the sea or off the runway, as the run's verdict;
//   - a run that never tuned the radio.
#pragma once

#include <string>
#include <vector>

#include "host/record/story.h"

namespace host {

class Host;

struct BoatSeen {
    std::string title;
    double distance_km = 0.0;  // from the user aircraft at the end of the run
};

// The world's boats at the end of the run, nearest first.
std::vector<BoatSeen> boats_seen(Host& host);

// `timeline`: the run's timeline (whole, or the bench's copy).
std::vector<StoryLine> run_reasons(const Timeline& timeline, const std::string& sim_root,
                                   const std::vector<BoatSeen>& boats, double end_time);

}  // namespace host
