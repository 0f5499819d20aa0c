// SimHostProcess: simhost run as a child process that a test drives through its console. Every wait has a
// deadline, so a simhost that hangs or dies makes the test fail with what it printed instead of hanging.
// Destroying the object kills a simhost that is still running.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ChildProcess.h"

class SimHostProcess {
public:
    static constexpr std::chrono::milliseconds DefaultDeadline{15000};

    // Starts the simhost program with these arguments.
    SimHostProcess(const std::string& program, const std::vector<std::string>& arguments);

    bool running() const { return process_ != nullptr; }
    const std::string& startError() const { return startError_; }

    // Types one console line.
    bool send(const std::string& line);
    // Waits until text appears on standard output after everything matched so far, and moves past it.
    bool expect(const std::string& text, std::chrono::milliseconds deadline = DefaultDeadline);
    // Like expect, and gives the whole line of the match (without its line end); empty on time-out.
    std::string expectLine(const std::string& text, std::chrono::milliseconds deadline = DefaultDeadline);
    void interrupt();
    // The exit status, or nothing when simhost has not ended by the deadline.
    std::optional<int> waitForExit(std::chrono::milliseconds deadline = DefaultDeadline);
    // Sends quit and waits for the exit status.
    std::optional<int> quit();

    // Everything read so far from standard output and standard error.
    const std::string& output() const { return output_; }
    const std::string& errors() const { return errors_; }
    // Reads whatever has arrived without waiting.
    void collect();

private:
    std::unique_ptr<ChildProcess> process_;
    std::string startError_;
    std::string output_;
    std::string errors_;
    size_t cursor_ = 0;
};

// How many times text occurs in haystack.
size_t occurrences(const std::string& haystack, const std::string& text);
