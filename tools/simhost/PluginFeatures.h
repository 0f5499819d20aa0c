// PluginFeatures: the XPLM features each plug-in has turned on with XPLMEnableFeature, as X-Plane keeps them
// per plug-in. simhost supports the features the SDK 4.0 documents, so that a plug-in meets the same set as in
// X-Plane 12; only XPLM_USE_NATIVE_PATHS changes what simhost does (the others concern drawing, widgets and
// datarefs added by plug-ins, which simhost does not have). A plug-in's features go when it is forgotten.
// Used on the main thread only, like the XPLM calls.
#pragma once

#include <set>
#include <string>
#include <utility>

#include "PluginContext.h"

class PluginFeatures {
public:
    static constexpr const char* NativePaths = "XPLM_USE_NATIVE_PATHS";

    // True for a feature name simhost supports; false for null and any other name.
    static bool isSupported(const char* feature);
    // Turns a supported feature on or off for plugin; false (and nothing changes) for any other name.
    bool enable(PluginTag plugin, const std::string& feature, bool on);
    bool isEnabled(PluginTag plugin, const std::string& feature) const;
    void forget(PluginTag plugin);

private:
    std::set<std::pair<PluginTag, std::string>> enabled_;
};
