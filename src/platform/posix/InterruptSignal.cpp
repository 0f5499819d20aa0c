#include "platform/InterruptSignal.h"

#include <csignal>

namespace {

volatile std::sig_atomic_t signalArrived = 0;

void raiseFlag(int) { signalArrived = 1; }

bool catchSignal(int number) {
    struct sigaction action {};
    action.sa_handler = raiseFlag;
    sigemptyset(&action.sa_mask);
    // Restarted system calls keep an interrupted read or sleep from failing; the flag is polled anyway.
    action.sa_flags = SA_RESTART;
    return sigaction(number, &action, nullptr) == 0;
}

}  // namespace

bool InterruptSignal::catchSignals() { return catchSignal(SIGINT) && catchSignal(SIGTERM); }

bool InterruptSignal::received() { return signalArrived != 0; }
