#include "DebugLog.h"

DebugLog::~DebugLog() {
    if (file_) std::fclose(file_);
}

bool DebugLog::openFile(const std::string& path) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (file_) std::fclose(file_);
    file_ = std::fopen(path.c_str(), "w");
    return file_ != nullptr;
}

void DebugLog::setEcho(Echo echo) {
    std::lock_guard<std::mutex> guard(mutex_);
    echo_ = std::move(echo);
}

// The file is flushed at once, as X-Plane's is, so that nothing is lost when the process dies.
void DebugLog::append(const char* text) {
    if (!text) return;
    std::vector<std::string> finished;
    Echo echo;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (file_) {
            std::fputs(text, file_);
            std::fflush(file_);
        }
        partial_ += text;
        for (size_t end; (end = partial_.find('\n')) != std::string::npos; partial_.erase(0, end + 1)) {
            finished.push_back(partial_.substr(0, end));
        }
        lines_.insert(lines_.end(), finished.begin(), finished.end());
        echo = echo_;
    }
    if (echo) {
        for (const std::string& line : finished) echo(line);
    }
}

std::vector<std::string> DebugLog::lines() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return lines_;
}

void DebugLog::clear() {
    std::lock_guard<std::mutex> guard(mutex_);
    lines_.clear();
    partial_.clear();
}
