#include "file/BasePackageIndex.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "base/BaseArray.h"
#include "base/BaseString.h"
#include "file/BasePackageEntry.h"
#include "io/IOAbstract.h"

namespace {

void putLittleEndian(uint64_t value, unsigned char* bytes) {
    for (uint64_t i = 0; i < 8; ++i) bytes[i] = static_cast<unsigned char>(value >> (8 * i));
}

uint64_t takeLittleEndian(const unsigned char* bytes) {
    uint64_t value = 0;
    for (uint64_t i = 8; i-- > 0;) value = (value << 8) | bytes[i];
    return value;
}

}  // namespace

BasePackageIndex::BasePackageIndex() : entries_(new BaseArray()) {}

// The data region must lie ahead of the table on a stream that knows its position: a count read from a
// peer could otherwise wrap the sum and send the stream back over bytes already read, forever.
BasePackageIndex::BasePackageIndex(IOAbstract* stream) : stream_(retain(stream)) {
    if (!stream->readFully(recordBuffer_, CountBytes)) return;
    uint64_t count = takeLittleEndian(recordBuffer_);
    tableStart_ = stream->position();
    if (tableStart_ < 0 || count > MaxEntries) return;
    uint64_t dataStart = static_cast<uint64_t>(tableStart_) + EntryBytes * count;
    if (dataStart > static_cast<uint64_t>(INT64_MAX) || !stream->setPosition(dataStart)) return;
    entryCount_ = count;
    headerRead_ = true;
}

BasePackageIndex::~BasePackageIndex() {
    release(entries_);
    release(stream_);
}

const char* BasePackageIndex::className() const { return "BasePackageIndex"; }

void BasePackageIndex::addEntry(const BaseString* name, uint64_t offset, uint64_t length) {
    if (!entries_) return;
    auto* entry = new BasePackageEntry(name, offset, length);
    entries_->addObject(entry);
    release(entry);
}

// The results of the single writes are not examined; a failing stream that throws ends the table early.
void BasePackageIndex::writeIndex(IOAbstract* output) {
    if (!output || !entries_) return;
    putLittleEndian(entries_->count(), recordBuffer_);
    output->write(recordBuffer_, CountBytes);
    for (uint32_t i = 0; i < entries_->count(); ++i) {
        auto* entry = static_cast<BasePackageEntry*>(entries_->objectAtIndex(i));
        std::memset(recordBuffer_, 0, NameBytes);
        std::memcpy(recordBuffer_, entry->name()->chars(), std::min(entry->name()->length(), NameBytes));
        output->write(recordBuffer_, NameBytes);
        putLittleEndian(entry->offset(), recordBuffer_);
        output->write(recordBuffer_, 8);
        putLittleEndian(entry->length(), recordBuffer_);
        output->write(recordBuffer_, 8);
    }
    entries_->removeAllObjects();
}

BasePackageEntry* BasePackageIndex::readEntry(uint64_t index) {
    if (!stream_ || index >= entryCount_) return nullptr;
    int64_t resumeAt = stream_->position();
    unsigned char record[EntryBytes];
    bool read = stream_->setPosition(static_cast<uint64_t>(tableStart_) + EntryBytes * index) &&
                stream_->readFully(record, EntryBytes);
    if (resumeAt >= 0) stream_->setPosition(static_cast<uint64_t>(resumeAt));
    if (!read) return nullptr;
    int64_t nameLength = std::find(record, record + NameBytes, 0) - record;
    auto* name = createAutoreleased<BaseString>(reinterpret_cast<const char*>(record), nameLength);
    return createAutoreleased<BasePackageEntry>(name, takeLittleEndian(record + NameBytes),
                                                takeLittleEndian(record + NameBytes + 8));
}
