// HostOptions: simhost's command line.
//   --plugin PATH   load this plug-in (repeatable, in order)
//   --start            choose "Start Zephrane bridge" once the plug-ins are enabled
//   --duration S       quit after S simulated seconds
//   --fps N            frames per second (default 60)
//   --prefs DIR        the simulator's preferences folder (default: preferences in the working folder)
//   --reload-cycles N  reload every plug-in N times, one reload a frame, from the first frame on
//   --strict           abort at the first XPLM call off the main thread, the first call that breaks a rule of
//                      the SDK's headers, and after listing what a plug-in left behind at unload
#pragma once

#include <optional>
#include <string>
#include <vector>

struct HostOptions {
    static constexpr int DefaultFramesPerSecond = 60;
    static constexpr int MaxFramesPerSecond = 1000;
    static constexpr int MaxReloadCycles = 1000000;

    std::vector<std::string> plugins;
    bool start = false;
    std::optional<double> duration;
    int framesPerSecond = DefaultFramesPerSecond;
    // Empty: the default folder.
    std::string preferencesFolder;
    int reloadCycles = 0;
    bool strict = false;
    bool help = false;
};

// The options, or nothing with a one-line reason in error.
std::optional<HostOptions> parseHostOptions(int argc, const char* const* argv, std::string* error);
// The usage text, one option a line.
const char* hostUsage();
