// PluginPreferences: the plug-in's preferences file (PreferencesFile.h) where X-Plane keeps its own, and what
// it says now. The file is read afresh each time it is asked for, so that a line the pilot adds by hand
// counts from the next start of the bridge. What cannot be read or understood is said in the pilot's log,
// once until it changes. Main thread only, like every call into the simulator.
#pragma once

#include <string>

#include "plugin/PreferencesFile.h"

namespace PluginPreferences {

// XPluginStart, once native paths are enabled: finds the file's path (Log.txt says so when it cannot).
void locate();
// The file's path, or empty when X-Plane's preferences folder is unknown.
const std::string& path();
// The preferences as the file holds them now; every setting at its default when there is no file.
Preferences read();
// Sets key to value in the file. Empty when saved; otherwise why not.
std::string save(const char* key, const std::string& value);

}  // namespace PluginPreferences
