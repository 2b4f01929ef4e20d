// Shortest round-trip text of doubles, fast: the digits come from fmt's
// Dragonbox (the shortest digits that read back as the same double), the
// layout is written here. Two layouts:
//   format_shortest   as std::to_chars(first, last, value) writes it: fixed
//                     or scientific, whichever is shorter (fixed on a tie);
//   format_json       as the timeline's JSON has always written numbers
//                     (nlohmann's layout): "1.0" for integral values, fixed
//                     for decimal exponents from -4 to 15, otherwise
//                     "d.ddde+XX"; NaN and infinities are not handled here.
// Both write at most NUMBER_TEXT_MAX characters and return the end.
#pragma once

#include <cstddef>

namespace host {

constexpr size_t NUMBER_TEXT_MAX = 32;

char* format_shortest(char* out, double value);
char* format_json(char* out, double value);

}  // namespace host
