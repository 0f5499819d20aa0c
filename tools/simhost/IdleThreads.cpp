#include "IdleThreads.h"

IdleThreads::IdleThreads() {
    for (int i = 0; i < Count; ++i) threads_.emplace_back([this] { wait(); });
}

IdleThreads::~IdleThreads() {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        exiting_ = true;
    }
    wake_.notify_all();
    for (std::thread& thread : threads_) thread.join();
}

void IdleThreads::wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    wake_.wait(lock, [this] { return exiting_; });
}
