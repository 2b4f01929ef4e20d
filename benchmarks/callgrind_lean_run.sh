#!/bin/sh
# Instructions of one lean run of a sweep (what a forked run executes, from
# the variation applied to the result read): callgrind over a one-run sweep
# of the bundled base scenario, counting only inside host::run_variation
# (the parent's set-up, the fork, the result file and the plots are not
# counted), split into the module's share and the host's, then the largest
# inclusive costs.
#   benchmarks/callgrind_lean_run.sh [BUILD_DIR] [WIND_KT]
set -e
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
wind=${2:-20}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat > "$work/one.xml" <<EOF
<sweep name="one lean run" scenario="$here/../scenarios/sweeps/approach_and_launch.xml">
  <param name="wind_speed" values="$wind"/>
</sweep>
EOF
valgrind --tool=callgrind --collect-atstart=no "--toggle-collect=host::run_variation*" \
  --callgrind-out-file="$work/cg.%p" "$build/carrier-bench" sweep "$work/one.xml" -j1 --quiet \
  --out "$work/out" >/dev/null 2>"$work/valgrind.log"
# The parent counts nothing (it never enters run_variation); the run does.
profile=$(grep -l "^totals: [1-9]" "$work"/cg.* | head -1)
echo "one lean run (wind $wind kt):"
python3 "$here/callgrind_split.py" "$profile"
callgrind_annotate --inclusive=yes --auto=no "$profile" 2>/dev/null |
  grep -E "^ *[0-9,]+ \(" |
  grep -E "GaugePanel::update|walk_gauge_elements\(host::PanelServices|SimConnectServer::frame|dispatch_procedure\(|World::advance\(|PassJudge::frame_done|Timeline::finish_line|load_xml_file|load_scenario_document" |
  sed -E 's/ \[[^]]*\]$//; s/^( *[0-9,]+ \( *[0-9.]+%\))  [^:]*:/\1  /' | grep -v EntryGuard | awk '!seen[substr($0, index($0, "%)") + 4)]++' | cut -c1-120
