// The approach picture relative to the moving deck: the ILS aim point and the
// TACAN antenna placed from the ship's live position, the aircraft's course,
// range and errors to them, and their validity. Results in approachSolution.
#pragma once

// ILS reference point, radial, slant range, glide-slope and localiser errors.
// Makes the pass's two calculator evaluations (magnetic variation, CG height).
void compute_ils_solution();
// TACAN point, radial, course deviation, TO/FROM and slant range.
void compute_tacan_solution();
// TACAN and ILS validity; clears the solution when the carrier is lost or out
// of range.
void update_validity();
// Sets every value that a lost carrier or a retuning clears to 0.
void clear_approach_solution();
