# Writes the bridge's version header (cmake -P): -DSOURCE_DIR=<repository> -DOUTPUT=<header>.
# The version is the last tag, else the VERSION file, and the commit is the short hash of HEAD, as the
# package's name has them; outside a git checkout the commit is empty. The header is rewritten only when it
# changes, so that a build without a new commit recompiles nothing.
execute_process(COMMAND git -C ${SOURCE_DIR} describe --tags --abbrev=0
  OUTPUT_VARIABLE version OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE described)
if(NOT described EQUAL 0 OR version STREQUAL "")
  file(READ ${SOURCE_DIR}/VERSION version)
  string(STRIP "${version}" version)
endif()
execute_process(COMMAND git -C ${SOURCE_DIR} rev-parse --short HEAD
  OUTPUT_VARIABLE commit OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE parsed)
if(NOT parsed EQUAL 0)
  set(commit "")
endif()
set(content "// Written by cmake/BridgeVersion.cmake at each build.\n#pragma once\n#define ZEPHRANE_VERSION \"${version}\"\n#define ZEPHRANE_COMMIT \"${commit}\"\n")
if(EXISTS ${OUTPUT})
  file(READ ${OUTPUT} previous)
endif()
if(NOT "${previous}" STREQUAL "${content}")
  file(WRITE ${OUTPUT} "${content}")
endif()
