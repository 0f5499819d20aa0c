#include "platform/ModulePin.h"

#include <atomic>
#include <mutex>

namespace {

// Set once, by the call that pinned the module.
std::atomic<const char*> pinnedBecause{nullptr};
std::once_flag pinned;

}  // namespace

bool pinThisModule(const char* why, std::string* error) {
    bool done = pinnedBecause.load(std::memory_order_acquire) != nullptr;
    std::call_once(pinned, [&] {
        if (!pinModuleInSystem(error)) return;
        pinnedBecause.store(why, std::memory_order_release);
        done = true;
    });
    return done || pinnedBecause.load(std::memory_order_acquire) != nullptr;
}

const char* whyThisModuleIsPinned() { return pinnedBecause.load(std::memory_order_acquire); }
