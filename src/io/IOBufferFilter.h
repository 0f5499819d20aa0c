// IOBufferFilter: gathers small writes into one larger write of the inner stream, and can read ahead.
// A full write buffer goes out only when the next write arrives or on flush. Destroying the filter does
// not flush: bytes still waiting are lost. Connections use a read buffer of 4096 and a write buffer of 17000.
#pragma once

#include <memory>
#include <string_view>

#include "io/IOFilter.h"

class IOBufferFilter : public IOFilter {
public:
    IOBufferFilter(IOAbstract* inner, uint32_t readBufferSize, uint32_t writeBufferSize);

    bool read(void* destination, uint64_t* count) override;
    bool write(const void* source, uint64_t count) override;
    bool flush() override;

    uint64_t waitingWriteBytes() const { return writeWaiting_; }

    // When nothing is read ahead, waits for whatever the inner stream has at hand and keeps it; false when
    // nothing could be read (the failure is left for the next read to meet).
    bool fillReadAhead();
    // Consumes the next bytes when the read-ahead already holds all of them and they equal bytes (not empty);
    // otherwise leaves everything as it is and answers false.
    bool consumeIfNext(std::string_view bytes);

private:
    bool writeOutWaiting();

    std::unique_ptr<char[]> readBuffer_;
    std::unique_ptr<char[]> writeBuffer_;
    uint64_t readCursor_ = 0;
    uint64_t readBufferSize_;
    uint64_t writeBufferSize_;
    uint64_t readAhead_ = 0;
    uint64_t writeWaiting_ = 0;
};
