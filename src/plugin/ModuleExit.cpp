#include "plugin/ModuleExit.h"

#include <algorithm>
#include <string>

#include "base/PilotLog.h"
#include "base/SharedObjectsLock.h"
#include "platform/ModulePin.h"
#include "platform/TextCase.h"
#include "plugin/PilotLogWriter.h"
#include "thread/BaseThread.h"

namespace {

constexpr const char* ThreadStillRunning =
    "a thread of the bridge was still running when X-Plane stopped the plug-in (a DNS-SD daemon that stopped "
    "answering?)";

// A thread still in the module's code, its work ended or not, keeps it pinned.
bool everyThreadEnded(ModuleExit::Clock::time_point deadline) {
    auto left = std::max(ModuleExit::Clock::duration::zero(), deadline - ModuleExit::Clock::now());
    auto limit = std::chrono::duration_cast<std::chrono::milliseconds>(left);
    return BaseThread::waitForAllThreadsToEnd(limit) && BaseThread::unjoinedThreadCount() == 0;
}

void pinForRunningThreads() {
    std::string error;
    if (pinThisModule(ThreadStillRunning, &error)) return;
    PilotLog::write("could not keep the plug-in in memory (" + error + ") although " + ThreadStillRunning +
                    "; X-Plane may crash if it unloads the plug-in now");
}

}  // namespace

void ModuleExit::leave(Clock::time_point deadline) {
    if (!everyThreadEnded(deadline)) pinForRunningThreads();
    const char* pinned = whyThisModuleIsPinned();
    if (pinned) PilotLog::write(std::string("the plug-in stays in memory until X-Plane quits: ") + pinned);
    PilotLogWriter::writeWaitingLines();
    if (pinned) return;
    releaseSharedInstances();
    releasePlatformLowercase();
}
