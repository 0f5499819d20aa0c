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

}  // namespace

ModuleExit::Plan ModuleExit::plan(bool threadsEnded, const char* pinnedBecause, const std::string& pinError) {
    if (pinnedBecause) return {false, std::string("the plug-in stays in memory until X-Plane quits: ") + pinnedBecause};
    if (threadsEnded) return {true, ""};
    return {false, "could not keep the plug-in in memory (" + pinError + ") although " + ThreadStillRunning +
                       "; its objects are kept for that thread, but X-Plane may crash if it unloads the plug-in now"};
}

void ModuleExit::leave(Clock::time_point deadline) {
    bool ended = everyThreadEnded(deadline);
    std::string pinError;
    if (!ended) pinThisModule(ThreadStillRunning, &pinError);
    Plan exit = plan(ended, whyThisModuleIsPinned(), pinError);
    if (!exit.logLine.empty()) PilotLog::write(exit.logLine);
    PilotLogWriter::writeWaitingLines();
    if (!exit.releaseObjects) return;
    releaseSharedInstances();
    releasePlatformLowercase();
}
