#include "SimHostProcess.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int PollMilliseconds = 20;

}  // namespace

SimHostProcess::SimHostProcess(const std::string& program, const std::vector<std::string>& arguments) {
    std::vector<std::string> command{program};
    command.insert(command.end(), arguments.begin(), arguments.end());
    process_ = ChildProcess::start(command, &startError_);
}

bool SimHostProcess::send(const std::string& line) { return process_ && process_->writeInput(line + "\n"); }

void SimHostProcess::collect() {
    if (process_) process_->readOutput(0, output_, errors_);
}

bool SimHostProcess::expect(const std::string& text, std::chrono::milliseconds deadline) {
    return !expectLine(text, deadline).empty();
}

std::string SimHostProcess::expectLine(const std::string& text, std::chrono::milliseconds deadline) {
    if (!process_) return {};
    Clock::time_point giveUp = Clock::now() + deadline;
    while (true) {
        size_t found = output_.find(text, cursor_);
        size_t lineEnd = found == std::string::npos ? found : output_.find('\n', found + text.size());
        if (lineEnd != std::string::npos) {
            size_t lineStart = output_.rfind('\n', found);
            lineStart = lineStart == std::string::npos ? 0 : lineStart + 1;
            cursor_ = lineEnd + 1;
            return output_.substr(lineStart, lineEnd - lineStart);
        }
        if (Clock::now() >= giveUp || !process_->readOutput(PollMilliseconds, output_, errors_)) return {};
    }
}

void SimHostProcess::interrupt() {
    if (process_) process_->interrupt();
}

std::optional<int> SimHostProcess::waitForExit(std::chrono::milliseconds deadline) {
    if (!process_) return std::nullopt;
    Clock::time_point giveUp = Clock::now() + deadline;
    while (true) {
        // Keep reading: a full pipe would keep simhost from finishing.
        bool open = process_->readOutput(PollMilliseconds, output_, errors_);
        std::optional<int> status = process_->exitStatus();
        if (status && !open) return status;
        if (Clock::now() >= giveUp) return status;
    }
}

std::optional<int> SimHostProcess::quit() {
    send("quit");
    return waitForExit();
}

size_t occurrences(const std::string& haystack, const std::string& text) {
    size_t count = 0;
    for (size_t at = haystack.find(text); at != std::string::npos; at = haystack.find(text, at + text.size())) ++count;
    return count;
}
