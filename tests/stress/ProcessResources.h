// What this test process holds right now, read from /proc: resident memory, open descriptors and threads.
// The stress tests compare these before and after long runs to show that nothing accumulates.
#pragma once

#include <cstdint>

namespace ProcessResources {

// Resident set size in bytes, 0 when it cannot be read.
uint64_t residentBytes();
// Open file descriptors of the process.
uint32_t openDescriptors();
// Threads of the process, the calling one included.
uint32_t threads();

inline constexpr uint64_t MiB = 1024 * 1024;

}  // namespace ProcessResources
