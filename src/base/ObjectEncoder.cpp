#include "base/ObjectEncoder.h"

#include <atomic>

namespace {

// Constant-initialised, so that it is null before any installation runs, whatever the order of the
// module's static initialisers.
std::atomic<const ObjectEncoder*> installed{nullptr};

}  // namespace

void installObjectEncoder(const ObjectEncoder* encoder) { installed.store(encoder, std::memory_order_release); }

const ObjectEncoder* installedObjectEncoder() { return installed.load(std::memory_order_acquire); }
