#!/bin/sh
# Instructions per frame of the bench's frame loop, and the module's share:
# callgrind over the one- and two-minute soaks (60 frames/s), the difference
# divided by the 3600 frames between them (set-up and shut-down cancel out).
# Then the same over the two- and four-minute flown-world runs (7200 frames
# between them), with what the flown aircraft's world step (flight model,
# autopilot, deck, wires, catapult) costs per frame.
#   benchmarks/callgrind_per_frame.sh [BUILD_DIR]
set -e
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
profile() {
  valgrind --tool=callgrind --callgrind-out-file="$work/$1$2.out" "$build/carrier-bench" run \
    "$here/scenarios/$1.xml" --out "$work/run_$1$2" --quiet $2 >/dev/null 2>"$work/$1.log"
}
# Inclusive instructions of the function whose name starts with $2 in profile $1.
inclusive() {
  callgrind_annotate --inclusive=yes --threshold=100 "$work/$1.out" 2>/dev/null |
    grep -m1 -F "$2" | awk '{gsub(",", "", $1); print $1}'
}
for s in soak_60s soak_120s flown_2min flown_4min; do profile $s; done
for s in soak_60s soak_120s; do profile $s --no-debrief; done
echo "soak (the carrier tuned, the aircraft following the ship):"
python3 "$here/callgrind_split.py" "$work/soak_60s.out" "$work/soak_120s.out" 3600
echo "the same without the debrief (no approach.csv, no plot):"
python3 "$here/callgrind_split.py" "$work/soak_60s--no-debrief.out" "$work/soak_120s--no-debrief.out" 3600
echo "flown world (approach, trap, catapult, launch):"
python3 "$here/callgrind_split.py" "$work/flown_2min.out" "$work/flown_4min.out" 7200
short=$(inclusive flown_2min "host::FlownAircraft::step(")
long=$(inclusive flown_4min "host::FlownAircraft::step(")
echo "the flown aircraft's step: $(( (${long:-0} - ${short:-0}) / 7200 )) instructions per frame"
