#include "ResidentMemory.h"

#include <unistd.h>

#include <fstream>

uint64_t residentBytes() {
    std::ifstream statm("/proc/self/statm");
    uint64_t totalPages = 0;
    uint64_t residentPages = 0;
    if (!(statm >> totalPages >> residentPages)) return 0;
    return residentPages * static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
}
