#include "CallLog.h"

void CallLog::record(std::string call) {
    std::lock_guard<std::mutex> guard(mutex_);
    calls_.push_back(std::move(call));
}

std::vector<std::string> CallLog::calls() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return calls_;
}

void CallLog::clear() {
    std::lock_guard<std::mutex> guard(mutex_);
    calls_.clear();
}
