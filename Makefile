# Entry points for people and CI. Every target configures its build folder once, then builds incrementally.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
BUILD_TYPE ?= RelWithDebInfo
# WERROR=1 turns warnings into errors (CI does); given on the command line it also reaches a build folder
# that was configured before, so a reused folder cannot quietly build without it.
CMAKE_FLAGS := -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(if $(WERROR),-DZEPHRANE_WERROR=ON,)
werror_into = $(if $(WERROR),cmake -S . -B $(1) -DZEPHRANE_WERROR=ON >/dev/null,)
SANITIZE_ENV := ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:abort_on_error=1 \
                UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
                LSAN_OPTIONS=report_objects=1
# The Windows build needs MinGW-w64's POSIX-thread compiler; its tests need Wine.
MINGW_CXX := x86_64-w64-mingw32-g++-posix
HAVE_MINGW := $(shell command -v $(MINGW_CXX) >/dev/null 2>&1 && echo yes)
HAVE_WINE := $(shell command -v wine >/dev/null 2>&1 && echo yes)

.PHONY: all build test test-stress test-sanitize test-tsan fuzz bench run package clean windows test-windows

all: build

build/CMakeCache.txt:
	cmake -S . -B build $(CMAKE_FLAGS)

build: build/CMakeCache.txt
	$(call werror_into,build)
	cmake --build build -j $(JOBS)

# The Linux suite, then the Windows part (after it: both start bridges on port 21777).
test: build
	cd build && ctest --output-on-failure -j $(JOBS)
	@$(MAKE) --no-print-directory test-windows

# Only the load, churn, hostile-peer and start/stop tests (part of test as well).
test-stress: build
	cd build && ctest --output-on-failure -L stress

build-sanitize/CMakeCache.txt:
	cmake -S . -B build-sanitize $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Debug -DZEPHRANE_SANITIZE=ON

test-sanitize: build-sanitize/CMakeCache.txt
	$(call werror_into,build-sanitize)
	cmake --build build-sanitize -j $(JOBS)
	cd build-sanitize && $(SANITIZE_ENV) ctest --output-on-failure -j $(JOBS)

# The whole suite under ThreadSanitizer.
build-tsan/CMakeCache.txt:
	cmake -S . -B build-tsan $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Debug -DZEPHRANE_TSAN=ON

test-tsan: build-tsan/CMakeCache.txt
	$(call werror_into,build-tsan)
	cmake --build build-tsan -j $(JOBS)
	cd build-tsan && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$(CURDIR)/tests/tsan.supp ctest --output-on-failure -j $(JOBS)

# Each libFuzzer target runs FUZZ_SECONDS on a scratch corpus seeded from fuzz/corpus/<target>, with inputs
# of up to 64 KiB: the default 4 KiB never reaches long chains of nested records or long payloads.
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
	  build-fuzz/fuzz/$$target -max_total_time=$(FUZZ_SECONDS) -max_len=65536 -print_final_stats=1 \
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

# The plug-in in the folder layout X-Plane loads, dist/Zephrane/lin_x64/Zephrane.xpl and (where MinGW-w64
# is installed) dist/Zephrane/win_x64/Zephrane.xpl, zipped as dist/Zephrane.zip.
package: build
	rm -rf dist/Zephrane dist/Zephrane.zip
	mkdir -p dist/Zephrane/lin_x64
	cp build/Zephrane/lin_x64/Zephrane.xpl dist/Zephrane/lin_x64/
ifeq ($(HAVE_MINGW),yes)
	$(MAKE) --no-print-directory build-windows/CMakeCache.txt
	cmake --build build-windows -j $(JOBS) --target zephrane_xpl
	mkdir -p dist/Zephrane/win_x64
	cp build-windows/Zephrane/win_x64/Zephrane.xpl dist/Zephrane/win_x64/
else
	@echo "$(MINGW_CXX) is not installed: dist/Zephrane holds no Windows module (win_x64)"
endif
	cd dist && if command -v zip >/dev/null; then zip -qr Zephrane.zip Zephrane; \
	  else python3 -m zipfile -c Zephrane.zip Zephrane; fi
	@echo "dist/Zephrane.zip: $$(cd dist && find Zephrane -name '*.xpl' | sort | tr '\n' ' ')"

# The Windows build, cross-compiled with MinGW-w64 into build-windows: the module (also copied to
# dist/Zephrane/win_x64/Zephrane.xpl), simhost.exe beside its XPLM_64.dll, zephrane-client.exe and the unit
# tests (build-windows/windows-tests/*.exe).
WINDOWS_TARGETS := zephrane_xpl simhost zephrane-client windows_tests

build-windows/CMakeCache.txt:
	cmake -S . -B build-windows $(CMAKE_FLAGS) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake

ifeq ($(HAVE_MINGW),yes)
windows: build-windows/CMakeCache.txt
	cmake --build build-windows -j $(JOBS) --target $(WINDOWS_TARGETS)
	mkdir -p dist/Zephrane/win_x64
	cp build-windows/Zephrane/win_x64/Zephrane.xpl dist/Zephrane/win_x64/
else
windows:
	@echo "Windows build skipped: $(MINGW_CXX) (Debian g++-mingw-w64-x86-64-posix) is not installed"
endif

# The Windows unit tests under Wine, the module's exports and imports, and simhost.exe serving the Linux
# client (tests/windows/run_windows_tests.sh). One line says why when MinGW-w64 or Wine is missing.
ifeq ($(HAVE_MINGW)$(HAVE_WINE),yesyes)
test-windows: windows build
	@bash tests/windows/run_windows_tests.sh build-windows build/tools/client/zephrane-client; \
	  status=$$?; [ $$status -eq 77 ] || exit $$status
else
test-windows:
	@echo "Windows tests skipped: $(if $(HAVE_MINGW),,$(MINGW_CXX) )$(if $(HAVE_WINE),,wine )not installed"
endif

clean:
	rm -rf build build-sanitize build-tsan build-fuzz build-windows dist
