// HostOptions: simhost's command line.
//   --plugin PATH   load this plug-in (repeatable, in order)
//   --start         choose "Start Zephrane bridge" once the plug-ins are enabled
//   --duration S    quit after S simulated seconds
//   --fps N         frames per second (default 60)
//   --prefs DIR     the simulator's preferences folder (default: preferences in the working folder)
//   --strict        abort at the first XPLM call off the main thread or against a rule of the SDK's headers
#pragma once

#include <optional>
#include <string>
#include <vector>

struct HostOptions {
    static constexpr int DefaultFramesPerSecond = 60;
    static constexpr int MaxFramesPerSecond = 1000;

    std::vector<std::string> plugins;
    bool start = false;
    std::optional<double> duration;
    int framesPerSecond = DefaultFramesPerSecond;
    // Empty: the default folder.
    std::string preferencesFolder;
    bool strict = false;
    bool help = false;
};

// The options, or nothing with a one-line reason in error.
std::optional<HostOptions> parseHostOptions(int argc, const char* const* argv, std::string* error);
// The usage text, one option a line.
const char* hostUsage();
