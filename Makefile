# Set-up, build, demo and tests. `make demo` and `make test` work on a fresh
# machine: missing Debian packages are installed first (apt-get, as root).

BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= 2
PACKAGES   := cmake ninja-build g++ pkg-config ccache libtinyxml-dev libcli11-dev \
              nlohmann-json3-dev libgtest-dev libbenchmark-dev libgeographiclib-dev
SUDO       := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
CMAKE_ARGS := -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all deps build asan demo docs test bench clean

all: build

deps:
	@missing=""; for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "installing:$$missing"; \
	  $(SUDO) apt-get update -qq && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq $$missing; \
	fi

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
	@mkdir -p runs/latest
	$(BUILD)/carrier-bench run scenarios/default.xml --out runs/latest
	@echo "run directory: $(CURDIR)/runs/latest (timeline.jsonl, summary.txt)"

# Writes the generated documentation (docs/variables.md) from the bench's tables.
docs: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target carrier-bench carrier_ops
	$(BUILD)/carrier-bench vars --markdown > docs/variables.md

test: build asan
	cd $(BUILD) && ctest --output-on-failure
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure

bench: build
	$(BUILD)/carrier_benchmarks

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) runs
