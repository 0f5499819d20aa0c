#include "platform/InterruptSignal.h"

#include <windows.h>

#include <atomic>

namespace {

std::atomic<bool> signalArrived{false};

// Runs on a thread of its own that the system starts for the console event. Answering TRUE keeps the
// process alive so that the main loop can shut down in order.
BOOL WINAPI raiseFlag(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT:
            signalArrived.store(true);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

bool InterruptSignal::catchSignals() { return SetConsoleCtrlHandler(raiseFlag, TRUE) != 0; }

bool InterruptSignal::received() { return signalArrived.load(); }
