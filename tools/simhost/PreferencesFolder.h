// PreferencesFolder: where simhost keeps the simulator's preferences, the folder XPLMGetPrefsPath points
// into. As X-Plane does, it names a file inside the folder ("<folder>/X-Plane.prf"); the caller cuts the name
// off. The folder is given in the native form, "/" between folders; simhost makes it before the plug-ins
// load. Set once at launch, read on the main thread.
#pragma once

#include <string>

class PreferencesFolder {
public:
    static constexpr const char* DefaultFolder = "preferences";
    static constexpr const char* SimulatorFile = "X-Plane.prf";

    void setFolder(std::string folder) { folder_ = std::move(folder); }
    const std::string& folder() const { return folder_; }
    // The path XPLMGetPrefsPath hands out: native, or (without XPLM_USE_NATIVE_PATHS) the platform's legacy
    // form, which on Windows separates folders with "\".
    std::string filePath(bool nativePaths) const;

private:
    std::string folder_ = DefaultFolder;
};
