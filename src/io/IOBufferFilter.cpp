#include "io/IOBufferFilter.h"

#include <algorithm>
#include <cstring>

IOBufferFilter::IOBufferFilter(IOAbstract* inner, uint32_t readBufferSize, uint32_t writeBufferSize)
    : IOFilter(inner),
      readBuffer_(new char[readBufferSize]),
      writeBuffer_(new char[writeBufferSize]),
      readBufferSize_(readBufferSize),
      writeBufferSize_(writeBufferSize) {}

// Serves read-ahead bytes first; a request at least as large as the read buffer goes straight to the
// inner stream. The read buffer takes what the inner stream has at hand (readAvailable), and refills until
// the request is met. True exactly when something was delivered.
bool IOBufferFilter::read(void* destination, uint64_t* count) {
    auto* out = static_cast<char*>(destination);
    uint64_t wanted = *count;
    uint64_t delivered = 0;
    while (wanted > 0) {
        if (readAhead_ == 0) {
            if (wanted >= readBufferSize_) {
                uint64_t direct = wanted;
                bool ok = IOFilter::read(out + delivered, &direct);
                delivered += ok ? std::min(direct, wanted) : 0;
                break;
            }
            if (!fillReadAhead()) break;
        }
        uint64_t step = std::min(wanted, readAhead_);
        std::memcpy(out + delivered, readBuffer_.get() + readCursor_, step);
        readCursor_ += step;
        readAhead_ -= step;
        delivered += step;
        wanted -= step;
    }
    *count = delivered;
    return delivered > 0;
}

bool IOBufferFilter::fillReadAhead() {
    if (readAhead_ > 0) return true;
    uint64_t filled = readBufferSize_;
    if (!inner()->readAvailable(readBuffer_.get(), &filled) || filled == 0) return false;
    readCursor_ = 0;
    readAhead_ = std::min(filled, readBufferSize_);
    return true;
}

bool IOBufferFilter::consumeIfNext(std::string_view bytes) {
    if (bytes.empty() || bytes.size() > readAhead_ ||
        std::memcmp(readBuffer_.get() + readCursor_, bytes.data(), bytes.size()) != 0) {
        return false;
    }
    readCursor_ += bytes.size();
    readAhead_ -= bytes.size();
    return true;
}

bool IOBufferFilter::writeOutWaiting() {
    if (!IOFilter::write(writeBuffer_.get(), writeWaiting_)) return false;
    writeWaiting_ = 0;
    return true;
}

bool IOBufferFilter::write(const void* source, uint64_t count) {
    const auto* in = static_cast<const char*>(source);
    while (count > 0) {
        if (writeWaiting_ == writeBufferSize_) {
            if (!writeOutWaiting()) return false;
            if (count >= writeBufferSize_) return IOFilter::write(in, count);
        }
        uint64_t step = std::min(count, writeBufferSize_ - writeWaiting_);
        std::memcpy(writeBuffer_.get() + writeWaiting_, in, step);
        writeWaiting_ += step;
        in += step;
        count -= step;
    }
    return true;
}

bool IOBufferFilter::flush() {
    if (!writeOutWaiting()) return false;
    return IOFilter::flush();
}
