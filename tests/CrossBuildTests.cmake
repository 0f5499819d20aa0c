# The unit-test programs of the cross builds, Windows and the Mac; CTest does not run them. The Windows ones
# run under Wine (or on Windows) through tests/windows/run_windows_tests.sh, which also checks the module and
# runs simhost.exe with it. The Mac ones are built, so that they compile and link against the Mac's headers
# and libraries, but cannot run here. The suites that drive POSIX tools, the DNS-SD daemons or simhost as a
# child process (the integration and DNS-SD tests) belong to the Linux build.
if(WIN32)
  set(ZEPHRANE_CROSS_TESTS windows_tests)
  set(ZEPHRANE_CROSS_TEST_DIR ${CMAKE_BINARY_DIR}/windows-tests)
else()
  set(ZEPHRANE_CROSS_TESTS mac_tests)
  set(ZEPHRANE_CROSS_TEST_DIR ${CMAKE_BINARY_DIR}/mac-tests)
endif()

# GoogleTest from the sources the distribution ships, built with the cross compiler. Its own code is
# compiled without our warning flags.
set(ZEPHRANE_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources for the cross builds")
if(NOT EXISTS ${ZEPHRANE_GTEST_SOURCE_DIR}/CMakeLists.txt)
  message(WARNING "No GoogleTest sources in ${ZEPHRANE_GTEST_SOURCE_DIR}: the unit tests are not built")
  return()
endif()
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
get_directory_property(zephrane_compile_options COMPILE_OPTIONS)
set_directory_properties(PROPERTIES COMPILE_OPTIONS "")
add_subdirectory(${ZEPHRANE_GTEST_SOURCE_DIR} googletest EXCLUDE_FROM_ALL)
set_directory_properties(PROPERTIES COMPILE_OPTIONS "${zephrane_compile_options}")

file(GLOB ZEPHRANE_TEST_SUPPORT CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/support/*.cpp)
add_library(zephrane_test_support STATIC ${ZEPHRANE_TEST_SUPPORT})
target_include_directories(zephrane_test_support PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/support)
target_link_libraries(zephrane_test_support PUBLIC zephrane_core gtest)

# Every test program lands in one folder, where the Windows script finds them.
add_custom_target(${ZEPHRANE_CROSS_TESTS})
function(zephrane_add_test_suite name folder)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp)
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE zephrane_test_support zephrane_core gtest)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${ZEPHRANE_CROSS_TEST_DIR})
  add_dependencies(${ZEPHRANE_CROSS_TESTS} ${name})
endfunction()

zephrane_add_test_suite(test_base base)
zephrane_add_test_suite(test_io io)
zephrane_add_test_suite(test_thread thread)
zephrane_add_test_suite(test_serialization serialization)
zephrane_add_test_suite(test_file file)
zephrane_add_test_suite(test_distant distant)
zephrane_add_test_suite(test_discovery discovery)
# The plug-in's code, linked straight against simhost's XPLM objects.
zephrane_add_test_suite(test_plugin plugin)
target_link_libraries(test_plugin PRIVATE zephrane_plugin_objects zephrane_simhost_xplm)
# X-Plane's dataref list, as the Linux suite reads it (the check skips where the file cannot be read).
set(ZEPHRANE_XPLANE_DATAREFS ${CMAKE_SOURCE_DIR}/../shared/xplane-datarefs.tsv CACHE FILEPATH
    "X-Plane's dataref list (name, type, units; tab-separated)")
target_compile_definitions(test_plugin PRIVATE ZEPHRANE_XPLANE_DATAREFS="${ZEPHRANE_XPLANE_DATAREFS}")
