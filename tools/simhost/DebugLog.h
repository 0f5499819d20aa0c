// DebugLog: simhost's Log.txt. XPLMDebugString appends its text here as X-Plane does to its own Log.txt:
// to the file (when one is set; simhost uses Log.txt in its working directory, started afresh each run) and
// to the lines kept in memory for tests, and each whole line is also handed to the echo (simhost prints it).
#pragma once

#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

class DebugLog {
public:
    using Echo = std::function<void(const std::string& line)>;

    ~DebugLog();
    // Starts the file at path afresh; false when it cannot be written (the lines are still kept and echoed).
    bool openFile(const std::string& path);
    void setEcho(Echo echo);
    void append(const char* text);
    // The whole lines written so far, without their newlines.
    std::vector<std::string> lines() const;
    void clear();

private:
    mutable std::mutex mutex_;
    std::FILE* file_ = nullptr;
    Echo echo_;
    std::string partial_;  // text after the last newline
    std::vector<std::string> lines_;
};
