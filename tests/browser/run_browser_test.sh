#!/bin/sh
# The debrief page in a real browser: runs the default scenario into
# BUILD/browser-run with the bench, then opens its debrief.html in the system
# Chromium through playwright-core (tests/browser/debrief_page_test.js).
#   tests/browser/run_browser_test.sh SOURCE_DIR BUILD_DIR
# playwright-core is installed into tests/browser/node_modules by `make deps`
# (npm ci); when it is missing it is installed here. No browser is ever
# downloaded: the test drives /usr/bin/chromium, and a missing one fails.
set -eu
src=$1
build=$2
if [ ! -x /usr/bin/chromium ]; then
  echo "error: /usr/bin/chromium is missing: install the Debian package chromium (make deps)" >&2
  exit 2
fi
if ! command -v node >/dev/null 2>&1; then
  echo "error: node is missing: install the Debian packages nodejs and npm (make deps)" >&2
  exit 2
fi
if [ ! -d "$src/tests/browser/node_modules/playwright-core" ]; then
  PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --prefix "$src/tests/browser" --no-audit --no-fund
fi
out=$build/browser-run
rm -rf "$out"
mkdir -p "$out"
"$build/carrier-bench" run "$src/scenarios/default.xml" --out "$out" --quiet > "$out/bench.log" 2>&1 || {
  echo "error: the default scenario did not run (see $out/bench.log)" >&2
  exit 1
}
PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 node "$src/tests/browser/debrief_page_test.js" "$out"
