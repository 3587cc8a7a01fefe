# Front door of the build: every target configures and builds as needed.
BUILD_DIR ?= build
BUILD_TYPE ?= Release
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=

.PHONY: all build configure run test test-sanitize fuzz bench clean

all: build

$(BUILD_DIR)/CMakeCache.txt:
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_FLAGS)

configure: $(BUILD_DIR)/CMakeCache.txt

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

# Validates the bundled samples with the bundled reference database.
run: build
	./scripts/run-samples.sh $(BUILD_DIR)

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

# The whole test suite built with AddressSanitizer and UndefinedBehaviorSanitizer (GCC):
# any report aborts the test that caused it, and so fails the run. GCC leaves a double
# converted out of an integer's range out of its "undefined" group, so it is asked for; its
# maybe-uninitialized warning misfires inside the library's own headers under the address
# sanitizer, so it is left to the ordinary build. The window is built too: its tests run
# offscreen and cost a minute and a half of building.
SANITIZE_DIR ?= build-asan
SANITIZE_FLAGS ?= -O1 -g -fsanitize=float-cast-overflow -Wno-maybe-uninitialized
SANITIZE_ENV ?= ASAN_OPTIONS=detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1:abort_on_error=1 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1:abort_on_error=1

test-sanitize:
	cmake -S . -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="$(SANITIZE_FLAGS)" \
	  -DVERDALIA_SANITIZE=ON $(CMAKE_FLAGS)
	cmake --build $(SANITIZE_DIR) -j $(JOBS)
	cd $(SANITIZE_DIR) && $(SANITIZE_ENV) ctest --output-on-failure -j $(JOBS)

# libFuzzer harnesses (clang), each run FUZZ_SECONDS on a copy of its seed corpus, one after
# the other; any crash, hang, leak or sanitizer report fails the target and leaves its input
# in $(FUZZ_DIR)/artifacts.
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZERS ?= fuzz_physical_logical fuzz_definitions fuzz_numbers fuzz_access

fuzz:
	cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
	  -DVERDALIA_FUZZ=ON -DVERDALIA_SANITIZE=ON -DVERDALIA_BUILD_GUI=OFF -DVERDALIA_BUILD_TESTS=OFF
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target $(FUZZERS)
	./tests/fuzz/run-fuzzers.sh $(FUZZ_DIR) $(FUZZ_SECONDS) $(FUZZERS)

# Whole-file timings of generated files beside `wc -l`, the window from click to filled grid,
# then the micro-benchmarks of the hot paths. Results: bench/results/latest.csv and the printed tables.
bench: build
	./bench/run-bench.sh $(BUILD_DIR)
	./bench/window-bench.sh $(BUILD_DIR)
	$(BUILD_DIR)/verdalia-microbench --benchmark_min_time=0.2

clean:
	rm -rf $(BUILD_DIR)
