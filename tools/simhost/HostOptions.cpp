#include "HostOptions.h"

#include <charconv>

#include "NumberText.h"

namespace {

bool parseSeconds(const std::string& text, double& seconds) {
    return parseFiniteNumber(text, seconds) && seconds > 0.0;
}

bool parseWholeNumber(const std::string& text, int& number, int highest) {
    const char* end = text.data() + text.size();
    auto [stop, error] = std::from_chars(text.data(), end, number);
    return error == std::errc() && stop == end && number >= 1 && number <= highest;
}

}  // namespace

std::optional<HostOptions> parseHostOptions(int argc, const char* const* argv, std::string* error) {
    HostOptions options;
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        bool takesValue = option == "--plugin" || option == "--duration" || option == "--fps" || option == "--prefs" ||
                          option == "--reload-cycles";
        if (takesValue && i + 1 >= argc) {
            *error = option + " needs a value";
            return std::nullopt;
        }
        if (option == "--plugin") {
            options.plugins.push_back(argv[++i]);
        } else if (option == "--duration") {
            double seconds = 0.0;
            if (!parseSeconds(argv[++i], seconds)) {
                *error = "--duration needs a positive number of seconds, not \"" + std::string(argv[i]) + "\"";
                return std::nullopt;
            }
            options.duration = seconds;
        } else if (option == "--fps") {
            if (!parseWholeNumber(argv[++i], options.framesPerSecond, HostOptions::MaxFramesPerSecond)) {
                *error = "--fps needs a whole number from 1 to " + std::to_string(HostOptions::MaxFramesPerSecond) +
                         ", not \"" + std::string(argv[i]) + "\"";
                return std::nullopt;
            }
        } else if (option == "--reload-cycles") {
            if (!parseWholeNumber(argv[++i], options.reloadCycles, HostOptions::MaxReloadCycles)) {
                *error = "--reload-cycles needs a whole number from 1 to " +
                         std::to_string(HostOptions::MaxReloadCycles) + ", not \"" + std::string(argv[i]) + "\"";
                return std::nullopt;
            }
        } else if (option == "--prefs") {
            options.preferencesFolder = argv[++i];
            if (options.preferencesFolder.empty()) {
                *error = "--prefs needs a folder";
                return std::nullopt;
            }
        } else if (option == "--start") {
            options.start = true;
        } else if (option == "--strict") {
            options.strict = true;
        } else if (option == "--help" || option == "-h") {
            options.help = true;
        } else {
            *error = "unknown option \"" + option + "\"";
            return std::nullopt;
        }
    }
    return options;
}

const char* hostUsage() {
    return "usage: simhost [--plugin PATH]... [--start] [--duration S] [--fps N] [--prefs DIR] [--reload-cycles N]\n"
           "               [--strict]\n"
           "  --plugin PATH      load this plug-in (repeatable)\n"
           "  --start            choose \"Start Zephrane bridge\" once the plug-ins are enabled\n"
           "  --duration S       quit after S seconds\n"
           "  --fps N            frames per second, 1 to 1000 (default 60)\n"
           "  --prefs DIR        the simulator's preferences folder, made when missing (default: preferences)\n"
           "  --reload-cycles N  reload every plug-in N times (1 to 1000000), one reload a frame, after --start\n"
           "  --strict           abort at the first XPLM call off the main thread or against the SDK's rules,\n"
           "                     and once what a plug-in left behind at unload is listed\n"
           "Type help once it runs for the console commands.\n";
}
