#include "platform/ChildProcess.h"

#include <cerrno>
#include <csignal>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/posix/Pipe.h"

extern char** environ;

namespace {

constexpr size_t ReadChunk = 4096;

struct Pipe {
    int readEnd = -1;
    int writeEnd = -1;
};

bool makePipe(Pipe& pipe) {
    int ends[2];
    if (!openPipe(ends, false)) return false;
    pipe.readEnd = ends[0];
    pipe.writeEnd = ends[1];
    return true;
}

void closeDescriptor(int& descriptor) {
    if (descriptor >= 0) close(descriptor);
    descriptor = -1;
}

void closePipe(Pipe& pipe) {
    closeDescriptor(pipe.readEnd);
    closeDescriptor(pipe.writeEnd);
}

int decodeStatus(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

int spawnWithPipes(const std::vector<std::string>& arguments, Pipe& in, Pipe& out, Pipe& err) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in.readEnd, STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out.writeEnd, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err.writeEnd, STDERR_FILENO);
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    int failure = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return failure == 0 ? pid : -1;
}

}  // namespace

std::unique_ptr<ChildProcess> ChildProcess::start(const std::vector<std::string>& arguments, std::string* error) {
    if (arguments.empty()) {
        if (error) *error = "no program given";
        return nullptr;
    }
    // A program that exits while we still write to it must not take this process with it.
    std::signal(SIGPIPE, SIG_IGN);
    Pipe in, out, err;
    int pid = -1;
    if (makePipe(in) && makePipe(out) && makePipe(err)) pid = spawnWithPipes(arguments, in, out, err);
    if (pid < 0) {
        if (error) *error = "cannot start " + arguments[0];
        closePipe(in);
        closePipe(out);
        closePipe(err);
        return nullptr;
    }
    closeDescriptor(in.readEnd);
    closeDescriptor(out.writeEnd);
    closeDescriptor(err.writeEnd);
    return std::unique_ptr<ChildProcess>(new ChildProcess(pid, in.writeEnd, out.readEnd, err.readEnd));
}

ChildProcess::~ChildProcess() {
    closeInput();
    closeDescriptor(output_);
    closeDescriptor(errors_);
    if (!exitStatus()) {
        kill(pid_, SIGKILL);
        int status = 0;
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
    }
}

bool ChildProcess::writeInput(const std::string& text) {
    size_t written = 0;
    while (input_ >= 0 && written < text.size()) {
        ssize_t n = write(input_, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        written += static_cast<size_t>(n);
    }
    return input_ >= 0;
}

void ChildProcess::closeInput() { closeDescriptor(input_); }

bool ChildProcess::readOutput(int timeoutMs, std::string& out, std::string& err) {
    pollfd entries[2] = {{output_, POLLIN, 0}, {errors_, POLLIN, 0}};
    if (output_ < 0 && errors_ < 0) return false;
    if (poll(entries, 2, timeoutMs) < 0 && errno != EINTR) return false;
    drain(output_, out);
    drain(errors_, err);
    return output_ >= 0 || errors_ >= 0;
}

// Reads what the pipe holds now; closes it at its end.
void ChildProcess::drain(int& descriptor, std::string& into) {
    char buffer[ReadChunk];
    while (descriptor >= 0) {
        pollfd entry{descriptor, POLLIN, 0};
        if (poll(&entry, 1, 0) <= 0) return;
        ssize_t n = read(descriptor, buffer, sizeof(buffer));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            closeDescriptor(descriptor);
            return;
        }
        into.append(buffer, static_cast<size_t>(n));
    }
}

bool ChildProcess::interrupt() { return !status_ && kill(pid_, SIGINT) == 0; }

std::optional<int> ChildProcess::exitStatus() {
    if (status_) return status_;
    int status = 0;
    pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) status_ = decodeStatus(status);
    return status_;
}
