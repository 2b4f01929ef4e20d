#!/usr/bin/env bash
# Runs every bundled scenario with the bench of this checkout and with the
# bench of an earlier revision, and compares what the runs wrote: the
# timelines, stories and summaries must be byte-identical. Used to show that a
# change that should not alter behaviour (a move, a split) did not.
#
#   scripts/compare_runs.sh [REV]      REV defaults to HEAD~1
#
# The earlier revision is built in a temporary git worktree (ccache makes the
# second build cheap); BASE_BENCH=path/to/carrier-bench uses a bench already
# built from REV instead. Exit status 0: identical; 1: a difference (listed);
# 2: a build or a run failed.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
rev=${1:-HEAD~1}
work=$(mktemp -d /tmp/compare_runs.XXXXXX)
trap 'git -C "$root" worktree remove --force "$work/base" >/dev/null 2>&1 || true; rm -rf "$work"' EXIT

build_bench() {  # SOURCE_DIR BUILD_DIR
    cmake -S "$1" -B "$2" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$2" -j "${JOBS:-2}" --target carrier-bench carrier_ops >/dev/null
}

# Every run goes into the same directory, so that nothing differs by path.
run_all() {  # BENCH RESULTS_DIR
    local bench=$1 results=$2 out=$work/run
    mkdir -p "$results"
    for scenario in scenarios/*.xml; do
        name=$(basename "$scenario" .xml)
        rm -rf "$out" && mkdir -p "$out"
        if ! "$bench" run "$scenario" --out "$out" --quiet >"$results/$name.stdout" 2>&1; then
            echo "$name: the run failed with $1 (see $results/$name.stdout)"; return 2
        fi
        for file in timeline.jsonl story.txt summary.txt; do
            [ -f "$out/$file" ] && cp "$out/$file" "$results/$name.$file"
        done
    done
}

git worktree add --detach "$work/base" "$rev" >/dev/null 2>&1
base_bench=${BASE_BENCH:-}
if [ -z "$base_bench" ]; then
    echo "building $rev in a worktree"
    build_bench "$work/base" "$work/base/build" || { echo "the build of $rev failed"; exit 2; }
    base_bench=$work/base/build/carrier-bench
fi
echo "building this checkout"
build_bench "$root" "$root/${BUILD:-build}" || { echo "the build of this checkout failed"; exit 2; }

# The earlier revision's scenarios are the ones both runs read.
(cd "$work/base" && run_all "$base_bench" "$work/before") || exit 2
(cd "$work/base" && run_all "$root/${BUILD:-build}/carrier-bench" "$work/after") || exit 2

status=0
for file in "$work"/before/*.{timeline.jsonl,story.txt,summary.txt}; do
    name=$(basename "$file")
    if [ ! -f "$work/after/$name" ]; then echo "missing after: $name"; status=1
    elif ! cmp -s "$file" "$work/after/$name"; then echo "differs: $name"; status=1
    else echo "identical: $name ($(wc -c <"$file") bytes)"; fi
done
exit $status
