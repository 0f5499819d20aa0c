#include "PluginFeatures.h"

#include <cstring>

namespace {

constexpr const char* SupportedFeatures[] = {
    "XPLM_WANTS_REFLECTIONS",
    PluginFeatures::NativePaths,
    "XPLM_USE_NATIVE_WIDGET_WINDOWS",
    "XPLM_WANTS_DATAREF_NOTIFICATIONS",
};

}  // namespace

bool PluginFeatures::isSupported(const char* feature) {
    if (!feature) return false;
    for (const char* supported : SupportedFeatures) {
        if (std::strcmp(feature, supported) == 0) return true;
    }
    return false;
}

bool PluginFeatures::enable(PluginTag plugin, const std::string& feature, bool on) {
    if (!isSupported(feature.c_str())) return false;
    if (on) {
        enabled_.emplace(plugin, feature);
    } else {
        enabled_.erase({plugin, feature});
    }
    return true;
}

bool PluginFeatures::isEnabled(PluginTag plugin, const std::string& feature) const {
    return enabled_.count({plugin, feature}) > 0;
}

void PluginFeatures::forget(PluginTag plugin) {
    for (auto entry = enabled_.begin(); entry != enabled_.end();) {
        entry = entry->first == plugin ? enabled_.erase(entry) : std::next(entry);
    }
}
