#include "base/PilotLog.h"

#include <chrono>
#include <deque>

#include "base/SharedObjectsLock.h"
#include "platform/Mutex.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto PeerWindow = std::chrono::seconds(1);

struct WaitingLines {
    Mutex mutex;
    std::deque<std::string> lines GUARDED_BY(mutex);
    Clock::time_point windowStart GUARDED_BY(mutex);
    int peerLinesInWindow GUARDED_BY(mutex) = 0;
    uint64_t heldBack GUARDED_BY(mutex) = 0;

    void add(const std::string& line) REQUIRES(mutex) {
        if (lines.size() == PilotLog::MostWaitingLines) lines.pop_front();
        lines.push_back(line);
    }

    // Peer lines are counted in windows of a second; those held back in a window that is over are summed up.
    void closeWindowIfOver(Clock::time_point now) REQUIRES(mutex) {
        if (now - windowStart < PeerWindow) return;
        if (heldBack > 0) {
            add(std::to_string(heldBack) + (heldBack == 1 ? " more app event" : " more app events") +
                " not shown");
        }
        heldBack = 0;
        peerLinesInWindow = 0;
        windowStart = now;
    }
};

SharedInstance<WaitingLines> waitingLines;

WaitingLines& waiting() { return *waitingLines.get(); }

}  // namespace

void PilotLog::write(const std::string& line) {
    WaitingLines& log = waiting();
    MutexLock guard(log.mutex);
    log.add(line);
}

void PilotLog::writeForPeer(const std::string& line) {
    WaitingLines& log = waiting();
    MutexLock guard(log.mutex);
    log.closeWindowIfOver(Clock::now());
    if (log.peerLinesInWindow < PeerLinesPerSecond) {
        ++log.peerLinesInWindow;
        log.add(line);
    } else {
        ++log.heldBack;
    }
}

std::vector<std::string> PilotLog::take() {
    WaitingLines& log = waiting();
    MutexLock guard(log.mutex);
    log.closeWindowIfOver(Clock::now());
    std::vector<std::string> taken(log.lines.begin(), log.lines.end());
    log.lines.clear();
    return taken;
}
