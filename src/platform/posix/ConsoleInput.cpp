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

void ConsoleInput::takeLines(std::vector<std::string>& lines) {
    if (!closed_) readAvailable();
    splitLines(lines);
    if (closed_ && !pending_.empty()) {
        lines.push_back(pending_);
        pending_.clear();
    }
}

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

void ConsoleInput::splitLines(std::vector<std::string>& lines) {
    size_t start = 0;
    for (size_t end; (end = pending_.find('\n', start)) != std::string::npos; start = end + 1) {
        size_t length = end - start;
        if (length > 0 && pending_[end - 1] == '\r') --length;
        lines.push_back(pending_.substr(start, length));
    }
    pending_.erase(0, start);
}
