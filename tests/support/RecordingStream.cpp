#include "RecordingStream.h"

#include <algorithm>
#include <cstring>

bool RecordingStream::read(void* destination, uint64_t* count) {
    readRequests.push_back(*count);
    uint64_t delivered = std::min({*count, maxPerRead, readData.size() - readPosition});
    std::memcpy(destination, readData.data() + readPosition, delivered);
    readPosition += delivered;
    *count = delivered;
    return delivered > 0;
}

bool RecordingStream::write(const void* source, uint64_t count) {
    if (failWrites) return false;
    writes.emplace_back(static_cast<const char*>(source), count);
    return true;
}

bool RecordingStream::flush() {
    ++flushes;
    return !failFlush;
}
