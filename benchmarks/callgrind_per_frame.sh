#!/bin/sh
# Instructions per frame of the bench's frame loop, and the module's share:
# callgrind over the one- and two-minute soaks (60 frames/s), the difference
# divided by the 3600 frames between them (set-up and shut-down cancel out).
#   benchmarks/callgrind_per_frame.sh [BUILD_DIR]
set -e
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for s in 60s 120s; do
  valgrind --tool=callgrind --callgrind-out-file="$work/$s.out" "$build/carrier-bench" run \
    "$here/scenarios/soak_$s.xml" --out "$work/run_$s" --quiet >/dev/null 2>"$work/$s.log"
done
python3 "$here/callgrind_split.py" "$work/60s.out" "$work/120s.out" 3600
