#include <gtest/gtest.h>

#include <string>

#include "ExternalTool.h"
#include "RecordingStream.h"
#include "base/AutoreleasePool.h"
#include "base/BaseArray.h"
#include "base/BaseString.h"
#include "file/BasePackageEntry.h"
#include "file/BasePackageIndex.h"
#include "io/BaseBuffer.h"
#include "serialization/BaseSerializer.h"

namespace {

BaseString* str(const std::string& text) { return createAutoreleased<BaseString>(text.c_str()); }

BaseBuffer* bufferWith(const std::string& bytes) {
    auto* buffer = createAutoreleased<BaseBuffer>();
    buffer->append(bytes.data(), bytes.size());
    return buffer;
}

std::string littleEndian(uint64_t value) {
    std::string bytes(8, '\0');
    for (int i = 0; i < 8; ++i) bytes[i] = static_cast<char>(value >> (8 * i));
    return bytes;
}

// 56 times this is 2^64 - 16: from a table starting at 16 the data region would wrap round to 0.
constexpr uint64_t WrappingCount = 329406144173384850u;

std::string bytesOf(const BaseBuffer* buffer) { return std::string(buffer->bytes(), buffer->length()); }

std::string tableOf(BasePackageIndex* index) {
    auto* output = createAutoreleased<BaseBuffer>();
    index->writeIndex(output);
    return bytesOf(output);
}

BasePackageIndex* indexWith(std::initializer_list<std::tuple<std::string, uint64_t, uint64_t>> entries) {
    auto* index = createAutoreleased<BasePackageIndex>();
    for (const auto& [name, offset, length] : entries) index->addEntry(str(name), offset, length);
    return index;
}

}  // namespace

TEST(PackageIndex, EmptyTableIsEightZeroBytesAndReadsToTheDataRegion) {
    AutoreleasePool pool;
    std::string table = tableOf(indexWith({}));
    EXPECT_EQ(table, std::string(8, '\0'));
    BaseBuffer* package = bufferWith(table + "data");
    auto* index = createAutoreleased<BasePackageIndex>(package);
    EXPECT_TRUE(index->headerRead());
    EXPECT_EQ(index->entryCount(), 0u);
    EXPECT_EQ(index->tableStart(), 8);
    EXPECT_EQ(package->position(), 8);
    EXPECT_EQ(index->entries(), nullptr);
    EXPECT_EQ(tableOf(index), "");  // an index read from a stream has nothing to write
}

// Python's struct module reads the table back independently.
TEST(PackageIndex, ThreeEntriesTableLayoutAndReadingBack) {
    AutoreleasePool pool;
    std::string forty(40, 'n');
    BasePackageIndex* written = indexWith({{"first", 0, 5}, {forty, 5, 3}, {forty + "cut", 8, 0x0102030405060708}});
    std::string table = tableOf(written);
    ASSERT_EQ(table.size(), 8u + 3 * 56);
    EXPECT_EQ(table.substr(64, 40), forty);        // no terminator
    EXPECT_EQ(table.substr(120, 40), forty);       // cut to 40 bytes
    EXPECT_EQ(written->entries()->count(), 0u);
    EXPECT_EQ(tableOf(written), std::string(8, '\0'));  // the list was emptied

    if (toolAvailable("python3")) {
        ToolResult parsed = runTool(
            "python3 -c \"import struct,sys; b=sys.stdin.buffer.read(); n=struct.unpack_from('<Q',b)[0]; "
            "print(n, [(struct.unpack_from('40s',b,8+56*i)[0].rstrip(b'\\0').decode(),) + "
            "struct.unpack_from('<QQ',b,48+56*i) for i in range(n)])\"",
            table);
        EXPECT_EQ(parsed.output,
                  "3 [('first', 0, 5), ('" + forty + "', 5, 3), ('" + forty + "', 8, 72623859790382856)]\n");
    }

    BaseBuffer* package = bufferWith("XY" + table + "DATA");
    package->setPosition(2);
    auto* index = createAutoreleased<BasePackageIndex>(package);
    EXPECT_EQ(index->entryCount(), 3u);
    EXPECT_EQ(index->tableStart(), 10);
    EXPECT_EQ(package->position(), 2 + 176);
    BasePackageEntry* entry = index->readEntry(2);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(std::string(entry->name()->chars()), forty);
    EXPECT_EQ(entry->offset(), 8u);
    EXPECT_EQ(entry->length(), 0x0102030405060708u);
    EXPECT_EQ(package->position(), 2 + 176);  // reading an entry puts the stream back
    EXPECT_EQ(index->readEntry(3), nullptr);
}

// None of these headers is taken, and none moves the stream from where the count ended.
TEST(PackageIndex, HeadersThatCannotBeTaken) {
    AutoreleasePool pool;
    auto* cut = createAutoreleased<BasePackageIndex>(bufferWith("\x01\x00\x00"));
    EXPECT_FALSE(cut->headerRead());
    EXPECT_EQ(cut->entryCount(), 0u);

    // A wrapping count, one above the limit, and one entry with no table bytes after the count.
    for (uint64_t count : {WrappingCount, BasePackageIndex::MaxEntries + 1, uint64_t{1}}) {
        BaseBuffer* package = bufferWith(std::string(8, 'x') + littleEndian(count) + std::string(40, 'y'));
        package->setPosition(8);
        auto* index = createAutoreleased<BasePackageIndex>(package);
        EXPECT_FALSE(index->headerRead()) << count;
        EXPECT_EQ(index->entryCount(), 0u) << count;
        EXPECT_EQ(package->position(), 16) << count;
        EXPECT_EQ(index->readEntry(0), nullptr) << count;
    }

    // A stream that cannot tell its position cannot be put at the data region.
    auto* unpositioned = createAutoreleased<RecordingStream>();
    unpositioned->readData = littleEndian(0);
    EXPECT_FALSE(createAutoreleased<BasePackageIndex>(unpositioned)->headerRead());
}

TEST(PackageIndexRecord, APackageTravelsThroughTheSerializer) {
    AutoreleasePool pool;
    auto* buffer = createAutoreleased<BaseBuffer>();
    auto* serializer = createAutoreleased<BaseSerializer>(buffer);
    BasePackageIndex* index = indexWith({{"greeting", 0, 5}});
    ASSERT_TRUE(serializer->writeObject(index));
    buffer->append("hello", 5);  // the data region follows the table
    ASSERT_TRUE(serializer->writeObject(str("after")));
    EXPECT_EQ(bytesOf(buffer).substr(0, 10), std::string("\x17\x00\x01\x00\x00\x00\x00\x00\x00\x00", 10));

    auto* read = static_cast<BasePackageIndex*>(serializer->readObject());
    ASSERT_NE(read, nullptr);
    EXPECT_STREQ(read->className(), "BasePackageIndex");
    BasePackageEntry* entry = read->readEntry(0);
    ASSERT_NE(entry, nullptr);
    EXPECT_STREQ(entry->name()->chars(), "greeting");
    char data[5];
    ASSERT_TRUE(buffer->readFully(data, entry->length()));
    EXPECT_EQ(std::string(data, 5), "hello");
    BaseObject* next = serializer->readObject();
    ASSERT_NE(next, nullptr);
    EXPECT_STREQ(static_cast<BaseString*>(next)->chars(), "after");

    // An index read from a stream cannot be sent on: the reader would take what follows for its table.
    uint64_t before = buffer->length();
    EXPECT_FALSE(serializer->writeObject(read));
    EXPECT_EQ(buffer->length(), before);
    EXPECT_EQ(createAutoreleased<BaseSerializer>(bufferWith("\x17\x00\x01\x00"))->readObject(), nullptr);

    // A peer's count that would send the stream back to its start fails the record instead of reading
    // the same objects forever.
    auto* looping = createAutoreleased<BaseSerializer>(
        bufferWith(std::string("\x0A\x00\x03" "abc" "\x17\x00", 8) + littleEndian(WrappingCount)));
    BaseObject* first = looping->readObject();
    ASSERT_NE(first, nullptr);
    EXPECT_STREQ(static_cast<BaseString*>(first)->chars(), "abc");
    EXPECT_EQ(looping->readObject(), nullptr);
    EXPECT_EQ(looping->readObject(), nullptr);
}
