#include "PluginFeatures.h"

bool PluginFeatures::enable(PluginTag plugin, const std::string& feature, bool on) {
    if (feature != NativePaths) return false;
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
