#include "ProcessResources.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace {

uint32_t entriesIn(const char* folder) {
    std::error_code error;
    uint32_t count = 0;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) ++count;
    return count;
}

}  // namespace

uint64_t ProcessResources::residentBytes() {
    std::ifstream statm("/proc/self/statm");
    uint64_t totalPages = 0;
    uint64_t residentPages = 0;
    if (!(statm >> totalPages >> residentPages)) return 0;
    return residentPages * static_cast<uint64_t>(::sysconf(_SC_PAGESIZE));
}

// The directory listing itself holds one descriptor while it runs; it is not counted.
uint32_t ProcessResources::openDescriptors() { return entriesIn("/proc/self/fd") - 1; }

uint32_t ProcessResources::threads() { return entriesIn("/proc/self/task"); }
