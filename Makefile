# The two commands of the README:
#   make run    build, then start Kreloed on the simulated Mac in build/mac, in this terminal
#   make test   build, then run every test
# Both first install what a fresh Debian machine is missing.

PACKAGES := cmake make g++ pkg-config libpugixml-dev libncurses-dev libgtest-dev libgmock-dev \
            nlohmann-json3-dev tmux python3 python3-fonttools clang-format
PRESET ?= default
JOBS ?= $(shell nproc)
APP := build/mac/Applications/Kreloed.app/Contents/MacOS/Kreloed

.PHONY: all packages deps configure build run test test-asan bench format clean

all: build

packages:
	@echo $(PACKAGES)

deps:
	@missing=$$(for p in $(PACKAGES); do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || echo $$p; \
	  done); \
	if [ -n "$$missing" ]; then \
	  if [ "$$(id -u)" = 0 ]; then \
	    echo "Installing:" $$missing; \
	    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $$missing; \
	  else \
	    echo "Missing packages. Install them with:"; \
	    echo "  sudo apt-get install -y" $$missing; exit 1; \
	  fi; \
	fi

configure: deps
	cmake --preset $(PRESET)

build: configure
	cmake --build --preset $(PRESET) -j $(JOBS)

run: PRESET = default
run: build
	MACSIM_FRONTEND=terminal $(APP)

test: build
	ctest --preset $(PRESET) -j $(JOBS)

test-asan:
	$(MAKE) test PRESET=asan

bench:
	$(MAKE) build PRESET=release
	build-release/bench/run-benchmarks

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build build-asan build-release
