#include "PluginContext.h"

#include <atomic>

namespace {

// Atomic because a plug-in that breaks the thread rule reads it from its own threads.
std::atomic<PluginTag> running{NoPlugin};

}  // namespace

PluginContext::PluginContext(PluginTag plugin) : previous_(running.exchange(plugin)) {}

PluginContext::~PluginContext() { running.store(previous_); }

PluginTag PluginContext::current() { return running.load(); }
