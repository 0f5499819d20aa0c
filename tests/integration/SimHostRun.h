// Shared by the integration tests: the built simhost and modules, and a simhost run with the bridge module
// loaded in strict mode (any XPLM call off the main thread aborts it, failing the test's exit check).
#pragma once

#include <string>
#include <vector>

#include "SimHostProcess.h"

inline const std::string SimHostProgram = ZEPHRANE_SIMHOST;
inline const std::string BridgeModule = ZEPHRANE_PLUGIN_MODULE;
inline const std::string OffThreadModule = ZEPHRANE_OFFTHREAD_PLUGIN;
inline const std::string ProbeModule = ZEPHRANE_PROBE_PLUGIN;

// A bound on every run, so that a test that loses its simhost never leaves it running for long.
inline const std::string RunLimitSeconds = "60";

inline std::vector<std::string> strictRun(std::vector<std::string> extra = {}) {
    std::vector<std::string> arguments{"--plugin", BridgeModule, "--strict", "--duration", RunLimitSeconds};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return arguments;
}

inline const std::string AlreadyStoppedWarning = "\nWARNING : bridge is already stopped\n";
inline const std::string DebugManagerLines =
    "WARNING: DebugManager instantiated but Debugs is compiled out.\n"
    "Constructor arguments: format='(null)', target='(null)', filter='debug'\n";
