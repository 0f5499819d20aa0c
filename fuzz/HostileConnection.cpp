#include "HostileConnection.h"

#include <chrono>

bool HostileConnection::waitReadable(int milliseconds) const {
    return waitForSocket(socket_.handle(), SocketReadable, milliseconds, nullptr) > 0;
}

// A wait that saw the socket readable guarantees the receive returns at once.
void HostileConnection::drainReplies() {
    auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(MostDrainMilliseconds);
    int wait = FirstReplyMilliseconds;
    uint8_t scratch[4096];
    while (std::chrono::steady_clock::now() < giveUp && waitReadable(wait)) {
        if (receiveSome(socket_.handle(), scratch, sizeof(scratch)) <= 0) return;  // closed by the bridge
        wait = QuietMilliseconds;
    }
}
