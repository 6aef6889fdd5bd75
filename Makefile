# Quintrel: the two commands of the quick start, plus benchmarks.
#   make run    Release build, then the main job on the bundled example
#   make test   Debug build with AddressSanitizer/UBSan, then every test
#   make bench  Release build of the benchmarks, then run them

JOBS ?= $(shell nproc 2>/dev/null || echo 2)
RELEASE := build/release
DEBUG   := build/debug
BENCH   := build/bench

.PHONY: all deps run test bench clean

all: run

deps:
	@scripts/install-deps

$(RELEASE)/build.ninja: | deps
	cmake -S . -B $(RELEASE) -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUINTREL_TESTS=OFF

run: deps $(RELEASE)/build.ninja
	cmake --build $(RELEASE) -j $(JOBS)
	@scripts/run-example $(RELEASE)/quintrel

$(DEBUG)/build.ninja: | deps
	cmake -S . -B $(DEBUG) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUINTREL_SANITIZE=ON -DQUINTREL_WERROR=ON

test: deps $(DEBUG)/build.ninja
	cmake --build $(DEBUG) -j $(JOBS)
	cd $(DEBUG) && ctest --output-on-failure -j $(JOBS)

$(BENCH)/build.ninja: | deps
	cmake -S . -B $(BENCH) -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUINTREL_TESTS=OFF -DQUINTREL_BENCH=ON

bench: deps $(BENCH)/build.ninja
	cmake --build $(BENCH) -j $(JOBS)
	@for b in $(BENCH)/bench_*; do [ -x "$$b" ] && "$$b" || true; done

clean:
	rm -rf build
