# Entry points for people and CI. Every target configures its build folder once, then builds incrementally.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
BUILD_TYPE ?= RelWithDebInfo
# WERROR=1 turns warnings into errors (CI does).
CMAKE_FLAGS := -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(if $(WERROR),-DZEPHRANE_WERROR=ON,)
SANITIZE_ENV := ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:abort_on_error=1 \
                UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
                LSAN_OPTIONS=report_objects=1

.PHONY: all build test test-stress test-sanitize test-tsan fuzz bench run package clean

all: build

build/CMakeCache.txt:
	cmake -S . -B build $(CMAKE_FLAGS)

build: build/CMakeCache.txt
	cmake --build build -j $(JOBS)

test: build
	cd build && ctest --output-on-failure -j $(JOBS)

# Only the load, churn, hostile-peer and start/stop tests (part of test as well).
test-stress: build
	cd build && ctest --output-on-failure -L stress

build-sanitize/CMakeCache.txt:
	cmake -S . -B build-sanitize $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Debug -DZEPHRANE_SANITIZE=ON

test-sanitize: build-sanitize/CMakeCache.txt
	cmake --build build-sanitize -j $(JOBS)
	cd build-sanitize && $(SANITIZE_ENV) ctest --output-on-failure -j $(JOBS)

# The whole suite under ThreadSanitizer.
build-tsan/CMakeCache.txt:
	cmake -S . -B build-tsan $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Debug -DZEPHRANE_TSAN=ON

test-tsan: build-tsan/CMakeCache.txt
	cmake --build build-tsan -j $(JOBS)
	cd build-tsan && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$(CURDIR)/tests/tsan.supp ctest --output-on-failure -j $(JOBS)

# Each libFuzzer target runs FUZZ_SECONDS on a scratch corpus seeded from fuzz/corpus/<target>.
FUZZ_SECONDS ?= 60
FUZZERS := SerializerFuzzer BridgeFuzzer
build-fuzz/CMakeCache.txt:
	CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZEPHRANE_FUZZ=ON

fuzz: build-fuzz/CMakeCache.txt
	cmake --build build-fuzz -j $(JOBS)
	@for target in $(FUZZERS); do \
	  seeds=fuzz/corpus/$$(echo $$target | sed 's/Fuzzer$$//' | tr A-Z a-z); \
	  scratch=build-fuzz/corpus-$$target; mkdir -p $$scratch; \
	  echo "fuzzing $$target for $(FUZZ_SECONDS) s"; \
	  build-fuzz/fuzz/$$target -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	    -artifact_prefix=build-fuzz/ $$scratch $$seeds || exit 1; \
	done

# The benchmarks start bridges of their own: keep them off the machine's DNS-SD (no bus to reach).
bench: build
	DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent/zephrane-bench-bus build/bench/zephrane_bench
	DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent/zephrane-bench-bus build/bench/zephrane_bridge_figures

# The stand-in simulator flying its circuit with the bridge started; a status line each second until Ctrl-C,
# which stops the bridge and unloads the plug-in.
run: build
	build/tools/simhost/simhost --plugin build/Zephrane/lin_x64/Zephrane.xpl --start

# The plug-in in the folder layout X-Plane loads: dist/Zephrane/lin_x64/Zephrane.xpl.
package: build
	rm -rf dist/Zephrane
	mkdir -p dist/Zephrane/lin_x64
	cp build/Zephrane/lin_x64/Zephrane.xpl dist/Zephrane/lin_x64/

clean:
	rm -rf build build-sanitize build-tsan build-fuzz dist
