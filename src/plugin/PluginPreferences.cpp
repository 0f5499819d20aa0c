#include "plugin/PluginPreferences.h"

#include "XPLMUtilities.h"
#include "base/PilotLog.h"
#include "base/SharedObjectsLock.h"
#include "plugin/GPSBridge.h"

namespace {

// The SDK asks for at least 512 bytes; more leaves room for a long installation path.
constexpr size_t PrefsPathCapacity = 4096;
constexpr const char* FolderSeparators = "/\\";
constexpr const char* KnownSettings =
    "start_automatically 0 or 1, accept_apps_from_anywhere 0 or 1, service_name followed by a name";

// The path and the problems last written to the log, released with the module's other shared objects at
// XPluginStop. An empty path: the preferences folder is unknown.
SharedInstance<std::string> preferencesFile;
SharedInstance<std::string> lastProblems;

// The simulator names a file inside its preferences folder; the plug-in's own file goes beside it.
std::string filePathFromSimulator() {
    char prefsPath[PrefsPathCapacity] = {};
    XPLMGetPrefsPath(prefsPath);
    prefsPath[PrefsPathCapacity - 1] = '\0';
    std::string simulatorFile = prefsPath;
    size_t separator = simulatorFile.find_last_of(FolderSeparators);
    if (separator == std::string::npos) return {};
    return simulatorFile.substr(0, separator + 1) + PreferencesFile::FileName;
}

// What the log should say of a reading, one line each; none when all went well.
std::vector<std::string> problemsOf(const Preferences& preferences) {
    const std::string& file = PluginPreferences::path();
    if (!preferences.failure.empty()) {
        return {"could not read " + file + " (" + preferences.failure + "), so every setting is at its default: "
                "the bridge does not start by itself, and serves only apps on this computer's networks"};
    }
    std::vector<std::string> problems;
    if (!preferences.serviceNameProblem.empty()) {
        problems.push_back("the service_name in " + file + " is not used (" + preferences.serviceNameProblem +
                           "): apps find this simulator as \"" + GPSBridge::DefaultServiceName + "\"");
    }
    for (const std::string& line : preferences.ignoredLines) {
        problems.push_back("ignored " + line + " of " + file + ": it is not a setting the plug-in knows (" +
                           KnownSettings + ")");
    }
    return problems;
}

void reportOnce(const std::vector<std::string>& problems) {
    std::string all;
    for (const std::string& problem : problems) all += problem + "\n";
    std::string& last = *lastProblems.get();
    if (all == last) return;
    last = all;
    for (const std::string& problem : problems) PilotLog::write(problem);
}

}  // namespace

void PluginPreferences::locate() {
    *preferencesFile.get() = filePathFromSimulator();
    lastProblems.get()->clear();
    if (path().empty()) {
        PilotLog::write("could not find X-Plane's preferences folder; the plug-in's settings are at their defaults");
    }
}

const std::string& PluginPreferences::path() { return *preferencesFile.get(); }

Preferences PluginPreferences::read() {
    if (path().empty()) return {};
    Preferences preferences = PreferencesFile::read(path());
    reportOnce(problemsOf(preferences));
    return preferences;
}

std::string PluginPreferences::save(const char* key, const std::string& value) {
    if (path().empty()) return "X-Plane's preferences folder is unknown";
    return PreferencesFile::write(path(), key, value);
}
