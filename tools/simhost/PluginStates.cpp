#include "PluginStates.h"

void PluginStates::add(PluginTag plugin) {
    std::lock_guard<std::mutex> guard(mutex_);
    enabled_[plugin] = false;
}

void PluginStates::setEnabled(PluginTag plugin, bool enabled) {
    std::lock_guard<std::mutex> guard(mutex_);
    enabled_[plugin] = enabled;
}

bool PluginStates::isDisabled(PluginTag plugin) const {
    std::lock_guard<std::mutex> guard(mutex_);
    auto state = enabled_.find(plugin);
    return state != enabled_.end() && !state->second;
}

void PluginStates::forget(PluginTag plugin) {
    std::lock_guard<std::mutex> guard(mutex_);
    enabled_.erase(plugin);
}
