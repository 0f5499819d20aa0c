// IOAbstract: the byte-stream interface. Every stream is an object with seven operations after those of
// BaseObject: read, write, flush, skip, close, position, setPosition. Implementations are the memory buffer,
// the filters, sockets and files. A stream is used by one thread at a time and never locks.
#pragma once

#include <cstdint>

#include "base/BaseObject.h"

class BaseString;

class IOAbstract : public BaseObject {
public:
    // Delivers up to *count bytes and sets *count to what arrived; each stream states when it is true.
    virtual bool read(void* destination, uint64_t* count) = 0;
    // True when every byte was taken.
    virtual bool write(const void* source, uint64_t count) = 0;
    virtual bool flush();
    // Reads and discards count bytes in 16384-byte pieces.
    virtual bool skip(uint64_t count);
    virtual bool close();
    // -1 when the position is unknown.
    virtual int64_t position();
    virtual bool setPosition(uint64_t offset);
    // Like read, but a stream that can tell what has arrived delivers at least one byte and then returns
    // without waiting for the rest of *count (a socket does; the default simply reads). Read-ahead buffers
    // fill with it, so that they never wait for bytes nobody has sent yet.
    virtual bool readAvailable(void* destination, uint64_t* count);

    // Reads until count bytes arrived (true) or a read fails (false).
    bool readFully(void* destination, uint64_t count);
    // The string's bytes without a terminator.
    bool writeString(const BaseString* string);
};
