// PreferencesFile: Zephrane.prf, the plug-in's own preferences file in X-Plane's preferences folder, one setting a line
// as "<key> <value>". The plug-in writes "start_automatically 0|1" when the pilot turns the automatic start on or off;
// the pilot may add "accept_apps_from_anywhere 1" and "service_name <name>" (the name apps see instead of "X-Plane") by
// hand, and notes on lines that start with "#". A save replaces the line of its own key (or adds it) and keeps every
// other line as it was, in a temporary file beside the old one that replaces it only once complete, so an interrupted
// save leaves the old file or none, never half of one. The functions take the file's path in the OS's own form and keep
// nothing.
#pragma once

#include <string>
#include <vector>

struct Preferences {
    bool startAutomatically = false;
    bool acceptAppsFromAnywhere = false;
    // The name the pilot chose for the bridge ("service_name <name>"), or empty for the default; when the
    // line is there but the name cannot serve, why not (and the name is empty).
    std::string serviceName;
    std::string serviceNameProblem;
    // Empty when the file was read or is missing (the normal state before the first save: every setting at
    // its default); otherwise why it could not be read, and every setting is at its default.
    std::string failure;
    // Lines that were read but not understood, each as "line 3"; they are ignored, and kept by a save.
    std::vector<std::string> ignoredLines;
};

namespace PreferencesFile {

inline constexpr const char* FileName = "Zephrane.prf";
inline constexpr const char* StartAutomaticallyKey = "start_automatically";
inline constexpr const char* AcceptAppsFromAnywhereKey = "accept_apps_from_anywhere";
inline constexpr const char* ServiceNameKey = "service_name";
// A DNS-SD service name holds at most this many bytes of UTF-8.
inline constexpr size_t LongestServiceName = 63;

Preferences read(const std::string& path);
// Sets key to value. Empty when saved; otherwise why not, and the file is as it was.
std::string write(const std::string& path, const std::string& key, const std::string& value);

}  // namespace PreferencesFile
