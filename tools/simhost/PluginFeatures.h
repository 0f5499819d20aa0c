// PluginFeatures: the XPLM features each plug-in has turned on with XPLMEnableFeature, as X-Plane keeps them
// per plug-in. simhost knows one feature, XPLM_USE_NATIVE_PATHS; any other name is never enabled. A
// plug-in's features go when it is forgotten. Used on the main thread only, like the XPLM calls.
#pragma once

#include <set>
#include <string>
#include <utility>

#include "PluginContext.h"

class PluginFeatures {
public:
    static constexpr const char* NativePaths = "XPLM_USE_NATIVE_PATHS";

    // Turns the feature on or off for plugin; false (and nothing changes) for a feature simhost does not know.
    bool enable(PluginTag plugin, const std::string& feature, bool on);
    bool isEnabled(PluginTag plugin, const std::string& feature) const;
    void forget(PluginTag plugin);

private:
    std::set<std::pair<PluginTag, std::string>> enabled_;
};
