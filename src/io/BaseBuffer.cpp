#include "io/BaseBuffer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "base/BaseString.h"
#include "base/Description.h"
#include "base/StringFormat.h"
#include "platform/FileSystem.h"

namespace {

constexpr uint32_t BytesPerDumpLine = 16;

}  // namespace

BaseBuffer::BaseBuffer() { allocateZeroed(DefaultCapacity); }

BaseBuffer::BaseBuffer(uint64_t reserved) { allocateZeroed(reserved + 1); }

BaseBuffer::~BaseBuffer() { std::free(data_); }

void BaseBuffer::allocateZeroed(uint64_t size) {
    std::free(data_);
    data_ = static_cast<char*>(std::calloc(size, 1));
    capacity_ = data_ ? size : 0;
}

// On failure the buffer becomes empty with no block.
bool BaseBuffer::resizeBlock(uint64_t size) {
    void* block = std::realloc(data_, size);
    if (!block) {
        std::free(data_);
        data_ = nullptr;
        capacity_ = length_ = position_ = 0;
        return false;
    }
    data_ = static_cast<char*>(block);
    capacity_ = size;
    return true;
}

void BaseBuffer::append(const void* source, uint64_t count) {
    uint64_t needed = length_ + count + 1;
    if (needed > capacity_) {
        uint64_t grown = std::max({2 * capacity_, needed, DefaultCapacity});
        if (!resizeBlock(grown)) return;
    }
    if (count > 0) std::memcpy(data_ + length_, source, count);
    length_ += count;
    data_[length_] = '\0';
}

void BaseBuffer::setLength(uint64_t n) {
    if (n == 0) {
        if (capacity_ != DefaultCapacity) allocateZeroed(DefaultCapacity);
        length_ = 0;
        if (data_) data_[0] = '\0';
    } else if (n < length_) {
        data_[n] = '\0';
        length_ = n;
    } else {
        if (capacity_ < n + 1 && !resizeBlock(n + 1)) return;
        std::memset(data_ + length_, 0, capacity_ - length_);
        length_ = n;
    }
    position_ = std::min(position_, length_);
}

bool BaseBuffer::read(void* destination, uint64_t* count) {
    uint64_t delivered = std::min(*count, length_ - position_);
    if (delivered > 0) std::memcpy(destination, data_ + position_, delivered);
    position_ += delivered;
    *count = delivered;
    return delivered > 0;
}

bool BaseBuffer::write(const void* source, uint64_t count) {
    append(source, count);
    return true;
}

int64_t BaseBuffer::position() { return static_cast<int64_t>(position_); }

bool BaseBuffer::setPosition(uint64_t offset) {
    if (offset > length_) return false;
    position_ = offset;
    return true;
}

bool BaseBuffer::isEqual(const BaseObject* other) const {
    if (!hasClassName(other, "BaseBuffer")) return false;
    const BaseBuffer* buffer = static_cast<const BaseBuffer*>(other);
    return buffer->length_ == length_ && (length_ == 0 || std::memcmp(buffer->data_, data_, length_) == 0);
}

const char* BaseBuffer::className() const { return "BaseBuffer"; }

BaseObject* BaseBuffer::copy(int mode) const {
    if (mode != 0 && mode != 1) return nullptr;
    auto* result = new BaseBuffer(length_);
    result->append(data_, length_);
    return result;
}

BaseString* BaseBuffer::hexDump() const {
    BaseString* dump = createAutoreleased<BaseString>(ReserveBytes{length_ * 3 + length_ / 8 + 16});
    dump->appendBytes("BUFFER (");
    for (uint64_t i = 0; i < length_; ++i) {
        if (i % BytesPerDumpLine == 0) dump->appendBytes("\n  ");
        appendFormat(dump, "%02x ", static_cast<unsigned char>(data_[i]));
    }
    dump->appendBytes(")\n");
    return dump;
}

BaseString* BaseBuffer::description(uint32_t flags) const {
    uint32_t style = descriptionStyle(flags);
    BaseString* text = nullptr;
    if (style == StyleXMLPlist) {
        text = stringWithFormat("<data>%S</data>", hexDump());
    } else if (style == StyleJSON || style == StyleLua || style == StyleBare) {
        BaseString* asText = createAutoreleased<BaseString>(data_ ? data_ : "", static_cast<int64_t>(length_));
        text = asText->description(style);
    } else {
        text = hexDump();
    }
    return addDescriptionHeader(this, flags, text, static_cast<int64_t>(length_), nullptr);
}

bool BaseBuffer::writeToFile(BaseString* path, uint32_t) {
    std::FILE* file = openFile(cString(path), "wb+");
    if (!file) return false;
    bool complete = length_ == 0 || std::fwrite(data_, 1, length_, file) == length_;
    bool closed = std::fclose(file) == 0;
    return complete && closed;
}
