// IdleThreads: a few threads that simhost starts at launch and that only wait until exit, as X-Plane has
// worker threads of its own before any plug-in loads. The process is then already multi-threaded when a
// plug-in starts its first thread, so that thread does not pay the setup a process's first extra thread
// costs, and a plug-in's timing meets the process it meets in X-Plane. They never call into a plug-in. The
// object owns them and joins them when destroyed.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

class IdleThreads {
public:
    static constexpr int Count = 4;

    IdleThreads();
    ~IdleThreads();
    IdleThreads(const IdleThreads&) = delete;
    IdleThreads& operator=(const IdleThreads&) = delete;

private:
    void wait();

    std::mutex mutex_;
    std::condition_variable wake_;
    bool exiting_ = false;  // guarded by mutex_
    std::vector<std::thread> threads_;
};
