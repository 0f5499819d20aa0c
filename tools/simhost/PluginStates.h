// PluginStates: whether each loaded plug-in is enabled, as simhost's XPLM functions and frame loop need to
// know: a disabled plug-in's menu handlers and flight loops are not called and its dataref reads give 0.
// A plug-in is known from its load until it is forgotten at unload; code running in no known plug-in's
// context (the simulator itself, or a test standing in for a plug-in) is never disabled. Guarded by a
// mutex, because a plug-in that breaks the thread rule reaches it from its own threads.
#pragma once

#include <map>
#include <mutex>

#include "PluginContext.h"

class PluginStates {
public:
    // A loaded plug-in, disabled until it is enabled.
    void add(PluginTag plugin);
    void setEnabled(PluginTag plugin, bool enabled);
    // True for a known plug-in that is not enabled.
    bool isDisabled(PluginTag plugin) const;
    void forget(PluginTag plugin);

private:
    mutable std::mutex mutex_;
    std::map<PluginTag, bool> enabled_;
};
