// BasePackageIndex: the table at the head of a package, a seekable stream holding a table of named
// entries followed by a data region. All numbers are unsigned 64-bit little-endian:
//   0            8 bytes   the number of entries N
//   8 + 56 i    40 bytes   entry i: its name, cut to 40 bytes and filled up with zero bytes
//   48 + 56 i    8 bytes   entry i: offset of its bytes from the start of the data region
//   56 + 56 i    8 bytes   entry i: length of its bytes
//   8 + 56 N               the data region
//
// Read from a stream, the index takes the count, remembers where the table starts and leaves the stream
// at the data region; it keeps a reference to that stream. A count cut short, a count above MaxEntries, or
// a data region the stream cannot be positioned at leaves the index with 0 entries and the stream where
// the count ended. Made empty, it collects entries (addEntry) and writes their table with writeIndex,
// which then empties the list.
#pragma once

#include <cstdint>

#include "base/BaseObject.h"

class BaseArray;
class BasePackageEntry;
class IOAbstract;

class BasePackageIndex : public BaseObject {
public:
    static constexpr uint64_t NameBytes = 40;
    static constexpr uint64_t CountBytes = 8;
    static constexpr uint64_t EntryBytes = NameBytes + 16;
    // As many entries as any container may hold.
    static constexpr uint64_t MaxEntries = 1000000;

    // An index to write, with an empty entry list.
    BasePackageIndex();
    // Reads the table header from stream and positions it at the data region.
    explicit BasePackageIndex(IOAbstract* stream);
    ~BasePackageIndex() override;

    IOAbstract* stream() const { return stream_; }
    int64_t tableStart() const { return tableStart_; }
    uint64_t entryCount() const { return entryCount_; }
    // False when the header could not be read or the stream not positioned after the table (the index
    // then holds 0 entries).
    bool headerRead() const { return headerRead_; }
    // Null for an index read from a stream.
    BaseArray* entries() const { return entries_; }

    void addEntry(const BaseString* name, uint64_t offset, uint64_t length);
    // Writes the table for the entry list, then empties it. Nothing for a null stream or an index read
    // from a stream.
    void writeIndex(IOAbstract* output);
    // Entry index of a table read from a stream, read at its place in the table (the stream's position
    // is restored); null when it cannot be read. Autoreleased.
    BasePackageEntry* readEntry(uint64_t index);

    const char* className() const override;

private:
    IOAbstract* stream_ = nullptr;
    BaseArray* entries_ = nullptr;
    int64_t tableStart_ = 0;
    uint64_t entryCount_ = 0;
    bool headerRead_ = false;
    unsigned char recordBuffer_[NameBytes] = {};
};
