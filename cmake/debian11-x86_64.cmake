# Release build of the Linux module against a Debian 11 tree (glibc 2.31, GCC 10's libstdc++), so that it
# loads on every Linux from Ubuntu 20.04 and Debian 11 on. The host's clang compiles and links against the
# tree's headers, C library and GCC 10 runtime; libstdc++ and libgcc go inside the module as in every build.
# ZEPHRANE_DEBIAN11_TREE names the tree (made by tools/package/make_debian11_tree.sh).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

if(NOT ZEPHRANE_DEBIAN11_TREE)
  message(FATAL_ERROR "ZEPHRANE_DEBIAN11_TREE must name the Debian 11 tree to build against")
endif()
# try_compile projects configure with this file too: hand them the tree.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ZEPHRANE_DEBIAN11_TREE)

set(ZEPHRANE_TRIPLET x86_64-linux-gnu)
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET ${ZEPHRANE_TRIPLET})
set(CMAKE_CXX_COMPILER_TARGET ${ZEPHRANE_TRIPLET})
set(CMAKE_SYSROOT ${ZEPHRANE_DEBIAN11_TREE})

# The tree's GCC 10 installation provides libstdc++, libgcc and the start files (the compile flags reach the
# link lines too).
set(CMAKE_C_FLAGS_INIT "--gcc-toolchain=${ZEPHRANE_DEBIAN11_TREE}/usr")
set(CMAKE_CXX_FLAGS_INIT "--gcc-toolchain=${ZEPHRANE_DEBIAN11_TREE}/usr")

set(CMAKE_FIND_ROOT_PATH ${ZEPHRANE_DEBIAN11_TREE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
