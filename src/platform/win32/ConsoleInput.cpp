#include "platform/ConsoleInput.h"

#include <windows.h>

#include "platform/Mutex.h"

namespace {

constexpr DWORD ReadChunk = 4096;

// Standard input is read by a thread of its own, because Windows offers no read that never waits on every
// kind of input: a console hands out whole lines, and a pipe cannot always be asked what it holds (Wine's
// pipes to Linux programs refuse the question). The thread waits in ReadFile and hands each piece over.
// It is started once per process and lives as long as the process, so its state is never freed: the
// thread may still be waiting in ReadFile while the process exits.
struct InputReader {
    Mutex lock;
    std::string arrived GUARDED_BY(lock);
    bool ended GUARDED_BY(lock) = false;
};

DWORD WINAPI readStandardInput(void* parameter) {
    auto* reader = static_cast<InputReader*>(parameter);
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    char buffer[ReadChunk];
    for (;;) {
        DWORD read = 0;
        bool more = input && input != INVALID_HANDLE_VALUE && ReadFile(input, buffer, ReadChunk, &read, nullptr) &&
                    read > 0;
        MutexLock guard(reader->lock);
        if (!more) {
            reader->ended = true;
            return 0;
        }
        reader->arrived.append(buffer, read);
    }
}

InputReader& inputReader() {
    static InputReader* reader = [] {
        auto* started = new InputReader();
        HANDLE thread = CreateThread(nullptr, 0, readStandardInput, started, 0, nullptr);
        if (thread) {
            CloseHandle(thread);
        } else {
            MutexLock guard(started->lock);  // uncontended: no reading thread exists
            started->ended = true;
        }
        return started;
    }();
    return *reader;
}

}  // namespace

void ConsoleInput::readAvailable() {
    InputReader& reader = inputReader();
    MutexLock guard(reader.lock);
    pending_ += reader.arrived;
    reader.arrived.clear();
    closed_ = reader.ended;
}
