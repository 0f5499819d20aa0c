// BaseBuffer: a growable block of bytes in memory that is also a stream. Writes append at the end; reads
// take bytes from the read position. The block always holds a zero byte after the last data byte, so the
// data can be read as a C string. A buffer never throws: when memory runs out it becomes empty.
#pragma once

#include "io/IOAbstract.h"

class BaseBuffer : public IOAbstract {
public:
    static constexpr uint64_t DefaultCapacity = 256;

    // A zero-filled block of 256 bytes.
    BaseBuffer();
    // A zero-filled block of reserved + 1 bytes.
    explicit BaseBuffer(uint64_t reserved);
    ~BaseBuffer() override;

    const char* bytes() const { return data_; }
    char* mutableBytes() { return data_; }
    uint64_t length() const { return length_; }
    uint64_t capacity() const { return capacity_; }

    // Adds bytes at the end, growing by doubling (at least 256 bytes).
    void append(const void* source, uint64_t count);
    // Shortens, or lengthens with zero bytes; 0 returns the buffer to a fresh 256-byte block.
    void setLength(uint64_t n);

    bool read(void* destination, uint64_t* count) override;
    bool write(const void* source, uint64_t count) override;
    int64_t position() override;
    bool setPosition(uint64_t offset) override;

    bool isEqual(const BaseObject* other) const override;
    const char* className() const override;
    BaseObject* copy(int mode) const override;
    BaseString* description(uint32_t flags) const override;
    // Writes the data bytes to the file at path, replacing it.
    bool writeToFile(BaseString* path, uint32_t flags) override;

private:
    void allocateZeroed(uint64_t size);
    bool resizeBlock(uint64_t size);
    BaseString* hexDump() const;

    char* data_ = nullptr;
    uint64_t capacity_ = 0;
    uint64_t length_ = 0;
    uint64_t position_ = 0;
};
