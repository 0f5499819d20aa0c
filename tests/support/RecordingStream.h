// A stream for tests that records every call made to it and can be told to fail or to deliver read data
// in small pieces.
#pragma once

#include <string>
#include <vector>

#include "io/IOAbstract.h"

class RecordingStream : public IOAbstract {
public:
    std::vector<std::string> writes;  // one entry per write call
    std::vector<uint64_t> readRequests;
    int flushes = 0;
    bool failWrites = false;
    bool failFlush = false;
    std::string readData;
    uint64_t readPosition = 0;
    uint64_t maxPerRead = UINT64_MAX;

    bool read(void* destination, uint64_t* count) override;
    bool write(const void* source, uint64_t count) override;
    bool flush() override;
};
