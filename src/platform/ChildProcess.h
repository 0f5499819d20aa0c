// ChildProcess: another program run with its standard input, output and error on pipes, so that a caller
// can type commands to it and read what it prints. The object owns the pipes and the process: destroying
// it closes the pipes and, if the program is still running, kills it and collects it.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

class ChildProcess {
public:
    // Starts arguments[0] (looked up like a shell would) with the given arguments; null and a reason when
    // it cannot be started. Writing to a program that has gone then fails instead of raising SIGPIPE.
    static std::unique_ptr<ChildProcess> start(const std::vector<std::string>& arguments, std::string* error);

    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Writes all of text to the program's standard input; false when the program no longer reads it.
    bool writeInput(const std::string& text);
    void closeInput();
    // Waits at most timeoutMs for output, then appends what has arrived on each stream without waiting
    // further. False once both streams have reached their end.
    bool readOutput(int timeoutMs, std::string& out, std::string& err);
    // Sends the interrupt signal, as Ctrl-C in a terminal does.
    bool interrupt();
    // The exit status once the program has ended (128 + the signal number when a signal ended it), or
    // nothing while it still runs. Does not wait.
    std::optional<int> exitStatus();

private:
    ChildProcess(int pid, int input, int output, int errors)
        : pid_(pid), input_(input), output_(output), errors_(errors) {}
    void drain(int& descriptor, std::string& into);

    int pid_;
    int input_;
    int output_;
    int errors_;
    std::optional<int> status_;
};
