// The resident memory of this process, read from /proc/self/statm (Linux only; 0 when unreadable).
#pragma once

#include <cstdint>

uint64_t residentBytes();
