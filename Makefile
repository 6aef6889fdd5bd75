# Quintrel: the two commands of the quick start, plus benchmarks.
#   make run    Release build, then the main job on the bundled example
#   make test   Debug build with AddressSanitizer/UBSan, then every test; then the tests over
#               real files kept outside the repository (../shared/corpus), when present
#   make bench  Release build of the benchmarks, then run them
#   make fuzz   clang build of the libFuzzer targets, each run FUZZ_SECONDS over its corpus
#               (FUZZ_TARGETS="a b" runs only those)
#   make soak   the Debug build's processes sharing one module for SOAK_SECONDS, then a
#               writer killed at random moments for as long
#   make install PREFIX=DIR   Release build installed (stripped) under DIR (default /usr/local)
#   make package              Release build and its Debian package, build/release/quintrel_*.deb

JOBS ?= $(shell nproc 2>/dev/null || echo 2)
RELEASE := build/release
DEBUG   := build/debug
BENCH   := build/bench
FUZZ    := build/fuzz
FUZZ_SECONDS ?= 60
FUZZ_CXX ?= clang++
FUZZ_TARGETS ?= $(basename $(notdir $(wildcard fuzz/*.cpp)))
SOAK_SECONDS ?= 300
PREFIX ?= /usr/local

.PHONY: all deps run test bench fuzz soak install package clean

all: run

deps:
	@scripts/install-deps

$(RELEASE)/build.ninja: | deps
	cmake -S . -B $(RELEASE) -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUINTREL_TESTS=OFF

run: deps $(RELEASE)/build.ninja
	scripts/build-settled $(RELEASE) -j $(JOBS)
	@scripts/run-example $(RELEASE)/quintrel

install: deps $(RELEASE)/build.ninja
	scripts/build-settled $(RELEASE) -j $(JOBS)
	cmake --install $(RELEASE) --prefix "$(PREFIX)" --strip

package: deps $(RELEASE)/build.ninja
	scripts/build-settled $(RELEASE) -j $(JOBS)
	cd $(RELEASE) && cpack -G DEB
	@ls $(RELEASE)/quintrel_*.deb

$(DEBUG)/build.ninja: | deps
	cmake -S . -B $(DEBUG) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUINTREL_SANITIZE=ON -DQUINTREL_WERROR=ON

test: deps $(DEBUG)/build.ninja
	scripts/build-settled $(DEBUG) -j $(JOBS)
	cd $(DEBUG) && ctest --output-on-failure -j $(JOBS) -LE corpus-extra
	@echo "== real files outside the repository (ctest -L corpus-extra)"
	@cd $(DEBUG) && ctest --output-on-failure -j $(JOBS) -L corpus-extra; status=$$?; \
	  grep -h "^corpus-extra:" Testing/Temporary/LastTest.log | sort -u; exit $$status

$(BENCH)/build.ninja: | deps
	cmake -S . -B $(BENCH) -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUINTREL_TESTS=OFF -DQUINTREL_BENCH=ON

bench: deps $(BENCH)/build.ninja
	scripts/build-settled $(BENCH) -j $(JOBS)
	@for b in $(BENCH)/bench_*; do [ -x "$$b" ] && "$$b" || true; done

# Each target fuzz/NAME.cpp runs over the seeds of fuzz/corpus/NAME (without a "fuzz_"
# prefix or "_fuzzer" suffix) when that folder exists, with fuzz/NAME.dict when present.
# New inputs go to $(FUZZ)/corpus/NAME, findings to $(FUZZ)/artifacts; the starting folders
# stay as committed. A target that does not build or finds something fails the run, after
# the others have had their turn.
$(FUZZ)/build.ninja: | deps
	@command -v $(FUZZ_CXX) >/dev/null || { echo "make fuzz: $(FUZZ_CXX) not found; the fuzz targets need clang" >&2; exit 1; }
	cmake -S . -B $(FUZZ) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=$(FUZZ_CXX) \
	  -DQUINTREL_TESTS=OFF -DQUINTREL_FUZZ=ON -DQUINTREL_SANITIZE=ON

fuzz: deps $(FUZZ)/build.ninja
	@status=0; scripts/build-settled $(FUZZ) -j $(JOBS) --target $(FUZZ_TARGETS) -- -k 0 || status=1; \
	for name in $(FUZZ_TARGETS); do \
	  if [ ! -x $(FUZZ)/$$name ]; then echo "== $$name: not built" >&2; status=1; continue; fi; \
	  seeds=fuzz/corpus/$$(echo $$name | sed -e 's/^fuzz_//' -e 's/_fuzzer$$//'); \
	  [ -d $$seeds ] || seeds=; \
	  dict=; [ -f fuzz/$$name.dict ] && dict=-dict=fuzz/$$name.dict; \
	  mkdir -p $(FUZZ)/corpus/$$name $(FUZZ)/artifacts; \
	  echo "== $$name: $(FUZZ_SECONDS) s over $${seeds:-an empty corpus}"; \
	  /usr/bin/time -f "== $$name: %U s user + %S s system CPU in %e s" \
	  $(FUZZ)/$$name -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
	    -artifact_prefix=$(FUZZ)/artifacts/$$name- $$dict $(FUZZ)/corpus/$$name $$seeds || status=1; \
	done; exit $$status

# Processes of the command line, the translation editor's controller and the translator
# sharing one module (tests/cli/soak_cli_test.cpp), then a writer killed at random moments
# (tests/storage/kill_test.cpp), each for SOAK_SECONDS; `make test` runs both for seconds.
soak: deps $(DEBUG)/build.ninja
	scripts/build-settled $(DEBUG) -j $(JOBS) --target test_cli test_storage quintrel
	cd $(DEBUG) && QUINTREL_SOAK_SECONDS=$(SOAK_SECONDS) ./test_cli --gtest_filter='SoakCliTest.*'
	cd $(DEBUG) && QUINTREL_KILL_SECONDS=$(SOAK_SECONDS) ./test_storage --gtest_filter='Kill.*'

clean:
	rm -rf build
