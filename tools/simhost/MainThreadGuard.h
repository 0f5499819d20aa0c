// MainThreadGuard: simhost's check that every XPLM function is called on the simulator's main thread, as
// X-Plane requires. A call from another thread is reported on standard error and counted; in strict mode
// the process aborts at once so that a test cannot miss it.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

class MainThreadGuard {
public:
    // The calling thread becomes the main thread. Out of line, so that the thread's identity is always
    // taken by the same code that checks it (on Windows the guard lives in XPLM_64.dll, beside simhost.exe).
    void bindToCurrentThread();
    void setStrict(bool strict) { strict_.store(strict); }
    // Called first by every XPLM function, with its name.
    void check(const char* function);
    uint64_t violations() const { return violations_.load(); }

private:
    std::atomic<std::thread::id> mainThread_{};
    std::atomic<bool> strict_{false};
    std::atomic<uint64_t> violations_{0};
};
