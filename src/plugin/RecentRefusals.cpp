#include "plugin/RecentRefusals.h"

void RecentRefusals::add(std::string peer, int32_t code) {
    Refusal refusal{std::chrono::system_clock::now(), std::move(peer), code};
    MutexLock guard(mutex_);
    if (refusals_.size() == Kept) refusals_.pop_front();
    refusals_.push_back(std::move(refusal));
}

std::vector<RecentRefusals::Refusal> RecentRefusals::latest() const {
    MutexLock guard(mutex_);
    return {refusals_.begin(), refusals_.end()};
}
