# Set-up, build, demo and tests. `make demo` and `make test` work on a fresh
# machine: missing Debian packages are installed first (apt-get, as root).

BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
JOBS       ?= 2
PACKAGES   := cmake ninja-build g++ pkg-config ccache libtinyxml-dev libcli11-dev \
              nlohmann-json3-dev libgtest-dev libbenchmark-dev libgeographiclib-dev libcairo2-dev libfontconfig-dev \
              clang libclang-rt-dev valgrind \
              libsndfile1-dev libsamplerate0-dev espeak-ng sox \
              libplplot-dev plplot-driver-cairo libfmt-dev parallel \
              chromium nodejs
SUDO       := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
CMAKE_ARGS := -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all deps build asan fuzz-build fuzz demo docs test bench bench-callgrind sounds clean

all: build

deps:
	@missing=""; for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "installing:$$missing"; \
	  $(SUDO) apt-get update -qq && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq $$missing; \
	fi
	@# npm: Debian's package, unless the installed node brings its own.
	@command -v npm >/dev/null 2>&1 || { $(SUDO) apt-get update -qq && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq npm; }
	@# playwright-core for the browser test, into tests/browser/node_modules; never a browser download.
	@[ tests/browser/node_modules/.package-lock.json -nt tests/browser/package-lock.json ] || \
	  PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --prefix tests/browser --no-audit --no-fund

$(BUILD)/build.ninja: CMakeLists.txt | deps
	cmake -S . -B $(BUILD) $(CMAKE_ARGS)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

$(ASAN_BUILD)/build.ninja: CMakeLists.txt | deps
	cmake -S . -B $(ASAN_BUILD) $(CMAKE_ARGS) -DCARRIER_SANITIZE=ON

asan: deps $(ASAN_BUILD)/build.ninja
	cmake --build $(ASAN_BUILD) -j $(JOBS)

# Builds only the bench and the module it loads, then runs the default scenario.
demo: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target carrier-bench carrier_ops
	@rm -rf runs/latest && mkdir -p runs/latest  # no snapshots left over from an earlier run
	$(BUILD)/carrier-bench run scenarios/default.xml --out runs/latest
	@echo "run directory: $(CURDIR)/runs/latest (timeline.jsonl, summary.txt, story.txt, audio.wav, approach.csv, approach.png, approach.svg, panel snapshots)"

# Writes the generated documentation (docs/variables.md) from the bench's tables.
docs: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target carrier-bench carrier_ops
	$(BUILD)/carrier-bench vars --markdown > docs/variables.md

test: build asan
	cd $(BUILD) && ctest --output-on-failure
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure

# The libFuzzer harnesses (fuzz/*_fuzz.cpp), built with clang. Each runs for
# FUZZ_SECONDS on a working corpus seeded from fuzz/corpus/<name>/; findings
# land in $(FUZZ_BUILD)/findings/<name>/. See docs/fuzzing.md.
$(FUZZ_BUILD)/build.ninja: CMakeLists.txt | deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) $(CMAKE_ARGS) -DCARRIER_FUZZ=ON

fuzz-build: deps $(FUZZ_BUILD)/build.ninja
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzzers

fuzz: fuzz-build
	@status=0; for src in fuzz/*_fuzz.cpp; do \
	  name=$$(basename $$src _fuzz.cpp); \
	  work=$(CURDIR)/$(FUZZ_BUILD)/corpus/$$name; found=$(CURDIR)/$(FUZZ_BUILD)/findings/$$name; \
	  mkdir -p $$work $$found; \
	  if [ -d fuzz/corpus/$$name ]; then cp -n fuzz/corpus/$$name/* $$work/; fi; \
	  echo "== $$name: $(FUZZ_SECONDS) s, log $(FUZZ_BUILD)/$$name.log"; \
	  $(FUZZ_BUILD)/$${name}_fuzz -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 -timeout=10 \
	    -rss_limit_mb=2048 -artifact_prefix=$$found/ $$work > $(FUZZ_BUILD)/$$name.log 2>&1 || status=1; \
	  grep -E "^#[0-9]+ +DONE|stat::number_of_executed_units|SUMMARY" $(FUZZ_BUILD)/$$name.log; \
	  if ls $$found | grep -q .; then echo "$$name: findings in $$found"; status=1; fi; \
	done; exit $$status

# The per-frame pass against its floor, whole runs, then a sweep's approaches per minute (a minute or so).
# Every benchmark runs and prints its figures; a missed target fails the
# command at the end, not before the benchmarks after it.
bench: build
	@status=0; \
	$(BUILD)/carrier_benchmarks || status=1; \
	$(BUILD)/carrier_whole_run $(BUILD)/carrier-bench benchmarks/scenarios || status=1; \
	$(BUILD)/carrier_sweep_speed $(BUILD)/carrier-bench $(CURDIR) || status=1; \
	exit $$status

# Instructions per frame of the frame loop and the module's share (callgrind, a minute or two).
bench-callgrind: build
	benchmarks/callgrind_per_frame.sh $(BUILD)

# Remakes the bundled sound files (espeak-ng and sox; see docs/configuration.md).
sounds: deps
	scripts/make_sounds.sh

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) runs
