#include "plugin/DebugManager.h"

#include <cstdio>

namespace {

constexpr const char* AbsentArgument = "(null)";

const char* shown(const char* argument) { return argument ? argument : AbsentArgument; }

}  // namespace

// Flushed at once: a program reading the simulator's output through a pipe sees the lines as they happen.
DebugManager::DebugManager(const char* format, const char* target, const char* filter) {
    std::printf("WARNING: DebugManager instantiated but Debugs is compiled out.\n"
                "Constructor arguments: format='%s', target='%s', filter='%s'\n",
                shown(format), shown(target), shown(filter));
    std::fflush(stdout);
}
