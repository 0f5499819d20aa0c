// PluginContext: which loaded plug-in's code simhost is running at the moment. Simhost enters a plug-in's
// context around every call into it (its entry points, its menu handlers, its flight loops), so that the
// menus, items and flight loops registered meanwhile are tagged with that plug-in and can be dropped
// before its module is unloaded. Contexts nest: leaving one restores the one before.
#pragma once

#include <cstdint>

using PluginTag = uint32_t;
// The simulator itself: what it registers belongs to no plug-in and is never dropped.
constexpr PluginTag NoPlugin = 0;

class PluginContext {
public:
    explicit PluginContext(PluginTag plugin);
    ~PluginContext();
    PluginContext(const PluginContext&) = delete;
    PluginContext& operator=(const PluginContext&) = delete;

    static PluginTag current();

private:
    PluginTag previous_;
};
