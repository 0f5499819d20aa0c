#include "platform/ProcessCounts.h"

#include <dirent.h>

#include <cstring>

namespace {

// Entries of a /proc folder, without "." and ".."; the descriptor the listing itself holds is left out.
int entriesOf(const char* folder, bool leaveOutOwnDescriptor) {
    DIR* listing = opendir(folder);
    if (!listing) return -1;
    int count = 0;
    while (dirent* entry = readdir(listing)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) ++count;
    }
    closedir(listing);
    return leaveOutOwnDescriptor ? count - 1 : count;
}

}  // namespace

int processThreadCount() { return entriesOf("/proc/self/task", false); }

int processDescriptorCount() { return entriesOf("/proc/self/fd", true); }
