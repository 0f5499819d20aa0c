#include "platform/ConsoleInput.h"

#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace {

constexpr size_t ReadChunk = 4096;

// True when a read on the descriptor would not block (data, end of input or an error).
bool readable(int descriptor) {
    pollfd entry{descriptor, POLLIN, 0};
    int ready = poll(&entry, 1, 0);
    return ready > 0 && (entry.revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) != 0;
}

}  // namespace

void ConsoleInput::readAvailable() {
    char buffer[ReadChunk];
    while (readable(STDIN_FILENO)) {
        ssize_t n = read(STDIN_FILENO, buffer, sizeof(buffer));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            closed_ = true;
            return;
        }
        pending_.append(buffer, static_cast<size_t>(n));
        if (static_cast<size_t>(n) < sizeof(buffer)) return;
    }
}
