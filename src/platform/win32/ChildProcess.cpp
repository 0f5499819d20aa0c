#include "platform/ChildProcess.h"

#include <windows.h>

#include <chrono>
#include <thread>

#include "WideText.h"

namespace {

constexpr DWORD ReadChunk = 4096;
constexpr auto PollInterval = std::chrono::milliseconds(10);
constexpr int ClosedHandle = -1;

// Kernel handles carry only 32 significant bits, even in 64-bit processes, so that they can be truncated
// to an int and sign-extended back: the object keeps its handles in int fields.
int storedHandle(HANDLE handle) { return static_cast<int>(reinterpret_cast<intptr_t>(handle)); }
HANDLE handleOf(int stored) { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(stored)); }

struct Pipe {
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
};

// Both ends start private; the end the child gets is made inheritable on its own.
bool makePipe(Pipe& pipe, bool childReads) {
    if (!CreatePipe(&pipe.readEnd, &pipe.writeEnd, nullptr, 0)) return false;
    HANDLE childEnd = childReads ? pipe.readEnd : pipe.writeEnd;
    return SetHandleInformation(childEnd, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT) != 0;
}

void closeHandle(HANDLE& handle) {
    if (handle) CloseHandle(handle);
    handle = nullptr;
}

void closePipe(Pipe& pipe) {
    closeHandle(pipe.readEnd);
    closeHandle(pipe.writeEnd);
}

void closeStored(int& stored) {
    if (stored != ClosedHandle) CloseHandle(handleOf(stored));
    stored = ClosedHandle;
}

// One argument quoted the way the C runtime of the child splits its command line: backslashes count only
// before a quote, where they are doubled.
std::wstring quotedArgument(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) return argument;
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (wchar_t unit : argument) {
        if (unit == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(unit == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += unit;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

std::wstring commandLine(const std::vector<std::string>& arguments) {
    std::wstring line;
    for (const std::string& argument : arguments) {
        if (!line.empty()) line += L' ';
        line += quotedArgument(wideFromUtf8(argument));
    }
    return line;
}

// The child gets its own process group, so that an interrupt can be sent to it alone.
HANDLE spawnWithPipes(const std::vector<std::string>& arguments, Pipe& in, Pipe& out, Pipe& err) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in.readEnd;
    startup.hStdOutput = out.writeEnd;
    startup.hStdError = err.writeEnd;
    PROCESS_INFORMATION process{};
    std::wstring line = commandLine(arguments);
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NEW_PROCESS_GROUP, nullptr, nullptr,
                        &startup, &process)) {
        return nullptr;
    }
    CloseHandle(process.hThread);
    return process.hProcess;
}

// Bytes waiting in the pipe; -1 once its writer has gone.
long bytesWaiting(int stored) {
    DWORD available = 0;
    if (!PeekNamedPipe(handleOf(stored), nullptr, 0, nullptr, &available, nullptr)) return -1;
    return static_cast<long>(available);
}

}  // namespace

std::unique_ptr<ChildProcess> ChildProcess::start(const std::vector<std::string>& arguments, std::string* error) {
    if (arguments.empty()) {
        if (error) *error = "no program given";
        return nullptr;
    }
    Pipe in, out, err;
    HANDLE process = nullptr;
    if (makePipe(in, true) && makePipe(out, false) && makePipe(err, false)) {
        process = spawnWithPipes(arguments, in, out, err);
    }
    if (!process) {
        if (error) *error = "cannot start " + arguments[0] + ": " + systemErrorText(GetLastError());
        closePipe(in);
        closePipe(out);
        closePipe(err);
        return nullptr;
    }
    closeHandle(in.readEnd);
    closeHandle(out.writeEnd);
    closeHandle(err.writeEnd);
    return std::unique_ptr<ChildProcess>(new ChildProcess(storedHandle(process), storedHandle(in.writeEnd),
                                                          storedHandle(out.readEnd), storedHandle(err.readEnd)));
}

ChildProcess::~ChildProcess() {
    closeInput();
    closeStored(output_);
    closeStored(errors_);
    if (!exitStatus()) {
        TerminateProcess(handleOf(pid_), 1);
        WaitForSingleObject(handleOf(pid_), INFINITE);
    }
    closeStored(pid_);
}

bool ChildProcess::writeInput(const std::string& text) {
    size_t written = 0;
    while (input_ != ClosedHandle && written < text.size()) {
        DWORD n = 0;
        DWORD wanted = static_cast<DWORD>(text.size() - written);
        if (!WriteFile(handleOf(input_), text.data() + written, wanted, &n, nullptr) || n == 0) return false;
        written += n;
    }
    return input_ != ClosedHandle;
}

void ChildProcess::closeInput() { closeStored(input_); }

// Anonymous pipes cannot be waited on, so the wait looks at both of them every few milliseconds.
bool ChildProcess::readOutput(int timeoutMs, std::string& out, std::string& err) {
    if (output_ == ClosedHandle && errors_ == ClosedHandle) return false;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    auto somethingWaiting = [&] {
        return (output_ != ClosedHandle && bytesWaiting(output_) != 0) ||
               (errors_ != ClosedHandle && bytesWaiting(errors_) != 0);
    };
    while (!somethingWaiting() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(PollInterval);
    drain(output_, out);
    drain(errors_, err);
    return output_ != ClosedHandle || errors_ != ClosedHandle;
}

// Reads what the pipe holds now; closes it at its end.
void ChildProcess::drain(int& descriptor, std::string& into) {
    char buffer[ReadChunk];
    while (descriptor != ClosedHandle) {
        long waiting = bytesWaiting(descriptor);
        if (waiting == 0) return;
        DWORD n = 0;
        if (waiting < 0 || !ReadFile(handleOf(descriptor), buffer, sizeof(buffer), &n, nullptr) || n == 0) {
            closeStored(descriptor);
            return;
        }
        into.append(buffer, n);
    }
}

// Ctrl-Break reaches the child's process group; its console handler treats it as Ctrl-C.
bool ChildProcess::interrupt() {
    return !status_ && GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, GetProcessId(handleOf(pid_))) != 0;
}

std::optional<int> ChildProcess::exitStatus() {
    if (status_) return status_;
    DWORD code = 0;
    if (WaitForSingleObject(handleOf(pid_), 0) == WAIT_OBJECT_0 && GetExitCodeProcess(handleOf(pid_), &code)) {
        status_ = static_cast<int>(code);
    }
    return status_;
}
