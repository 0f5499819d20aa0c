// The part of ConsoleInput every platform shares: cutting what arrived into lines. Reading standard input
// without waiting (readAvailable) is the platform's own.
#include "platform/ConsoleInput.h"

void ConsoleInput::takeLines(std::vector<std::string>& lines) {
    if (!closed_) readAvailable();
    splitLines(lines);
    if (closed_ && !pending_.empty()) {
        lines.push_back(pending_);
        pending_.clear();
    }
}

// A line ends at "\n"; a "\r" before it belongs to the line end, not to the line.
void ConsoleInput::splitLines(std::vector<std::string>& lines) {
    size_t start = 0;
    for (size_t end; (end = pending_.find('\n', start)) != std::string::npos; start = end + 1) {
        size_t length = end - start;
        if (length > 0 && pending_[end - 1] == '\r') --length;
        lines.push_back(pending_.substr(start, length));
    }
    pending_.erase(0, start);
}
