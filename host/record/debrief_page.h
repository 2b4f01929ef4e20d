// The debrief as one page: DIR/debrief.html, made after a run from the files
// the run wrote into DIR (summary.txt, story.txt, timeline.jsonl,
// approach.csv and .png, deck.png, the panel snapshots, audio.wav, and when
// present expectations.json, passes.json and trapsheet.csv). Images are
// inlined as data: URIs, the audio track is referenced by its relative path,
// the script is inline: the page opens from the run directory with no server
// and no network. Nothing the run writes depends on it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace host {

// Text for HTML element content and attribute values.
std::string html_escape(std::string_view text);

// Rows for labels along one axis so that none overlaps another: each label
// spans [x[i], x[i] + width[i]) and gets the lowest row in which it clears
// every label already placed there by `gap`. Labels are placed in the order
// given.
std::vector<int> label_rows(const std::vector<double>& x, const std::vector<double>& width, double gap = 4.0);

// The length of a PCM WAV file in seconds; negative when it is not one.
double wav_seconds(const std::string& path);

// Writes DIR/debrief.html. False with `error` when it cannot be written; a
// missing input file only makes its section say "not available".
bool write_debrief_page(const std::string& dir, std::string* error);

}  // namespace host
