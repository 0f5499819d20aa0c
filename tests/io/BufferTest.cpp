#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "RecordingStream.h"
#include "base/AutoreleasePool.h"
#include "base/BaseString.h"
#include "base/Description.h"
#include "io/BaseBuffer.h"

namespace {

std::string describe(const BaseObject* object, uint32_t flags) {
    BaseString* text = object->description(flags);
    return std::string(text->chars(), text->length());
}

}  // namespace

TEST(BufferGrowth, DoublesFromTwoHundredFiftySixOrTakesWhatIsNeeded) {
    std::string bytes(600, 'x');
    BaseBuffer one;
    one.append(bytes.data(), 1);
    EXPECT_EQ(one.capacity(), 256u);
    BaseBuffer three;
    three.append(bytes.data(), 300);
    EXPECT_EQ(three.capacity(), 512u);
    BaseBuffer six;
    six.append(bytes.data(), 600);
    EXPECT_EQ(six.capacity(), 601u);
    EXPECT_EQ(six.bytes()[600], '\0');
    BaseBuffer sized(10);
    EXPECT_EQ(sized.capacity(), 11u);
}

TEST(BufferStream, ReadsFromThePositionWritesAtTheEnd) {
    BaseBuffer buffer;
    buffer.write("0123456789", 10);
    char out[100];
    uint64_t count = 100;
    EXPECT_TRUE(buffer.read(out, &count));
    EXPECT_EQ(count, 10u);
    count = 100;
    EXPECT_FALSE(buffer.read(out, &count));
    EXPECT_EQ(count, 0u);
    EXPECT_TRUE(buffer.setPosition(10));
    EXPECT_FALSE(buffer.setPosition(11));
    EXPECT_TRUE(buffer.setPosition(4));
    buffer.write("ab", 2);  // writing leaves the read position alone
    EXPECT_EQ(buffer.position(), 4);
    EXPECT_TRUE(buffer.readFully(out, 8));
    EXPECT_EQ(std::string(out, 8), "456789ab");
    EXPECT_FALSE(buffer.readFully(out, 1));
    EXPECT_TRUE(buffer.readFully(out, 0));
}

TEST(BufferStream, SkipConsumesInPieces) {
    BaseBuffer buffer;
    std::string data(40000, 'a');
    data[39999] = 'z';
    buffer.append(data.data(), data.size());
    EXPECT_TRUE(buffer.skip(39999));
    char last = 0;
    EXPECT_TRUE(buffer.readFully(&last, 1));
    EXPECT_EQ(last, 'z');
    EXPECT_FALSE(buffer.skip(1));
    EXPECT_TRUE(buffer.skip(0));
}

TEST(BufferLength, SetLengthShortensLengthensAndResets) {
    BaseBuffer buffer;
    std::string data(1000, 'q');
    buffer.append(data.data(), data.size());
    buffer.setPosition(900);
    buffer.setLength(10);
    EXPECT_EQ(buffer.length(), 10u);
    EXPECT_EQ(buffer.bytes()[10], '\0');
    EXPECT_EQ(buffer.position(), 10);
    buffer.setLength(2000);
    EXPECT_EQ(buffer.length(), 2000u);
    EXPECT_EQ(buffer.capacity(), 2001u);
    EXPECT_EQ(buffer.bytes()[10], '\0');
    EXPECT_EQ(buffer.bytes()[1999], '\0');
    buffer.setLength(0);
    EXPECT_EQ(buffer.capacity(), 256u);
    EXPECT_EQ(buffer.length(), 0u);
}

TEST(BufferObject, EqualityCopyAndClass) {
    AutoreleasePool pool;
    BaseBuffer a, b;
    a.append("abc", 3);
    b.append("abc", 3);
    EXPECT_TRUE(a.isEqual(&b));
    EXPECT_FALSE(a.isEqual(createAutoreleased<BaseString>("abc")));
    b.append("d", 1);
    EXPECT_FALSE(a.isEqual(&b));
    auto* copy = static_cast<BaseBuffer*>(a.copy(0));
    EXPECT_TRUE(copy->isEqual(&a));
    EXPECT_EQ(copy->retainCount(), 1);
    release(copy);
    EXPECT_EQ(a.copy(3), nullptr);
    EXPECT_STREQ(a.className(), "BaseBuffer");
}

TEST(BufferDescription, HexDumpAndTextStyles) {
    AutoreleasePool pool;
    BaseBuffer buffer;
    buffer.append("\x00\x41\xFF", 3);
    EXPECT_EQ(describe(&buffer, StylePlain), "BUFFER (\n  00 41 ff )\n");
    EXPECT_EQ(describe(&buffer, StyleXMLPlist), "<data>BUFFER (\n  00 41 ff )\n</data>");
    BaseBuffer text;
    text.append("a\"b", 3);
    EXPECT_EQ(describe(&text, StyleJSON), "\"a\\\"b\"");
    EXPECT_EQ(describe(&text, StyleBare), "a\"b");
    std::string seventeen = describe(createAutoreleased<BaseBuffer>(), StylePlain);
    EXPECT_EQ(seventeen, "BUFFER ()\n");
    BaseBuffer longer;
    for (int i = 0; i < 17; ++i) longer.append("\x01", 1);
    EXPECT_NE(describe(&longer, StylePlain).find("01 \n  01 )"), std::string::npos);
    uint32_t header = DescriptionFlag::EntryCount | DescriptionFlag::LockMarker;
    EXPECT_EQ(describe(&buffer, StyleJSON | header).rfind("// 3 entries \n", 0), 0u);  // never an "M"
}

TEST(BufferFile, WriteToFileReplacesTheFile) {
    AutoreleasePool pool;
    auto path = std::filesystem::temp_directory_path() / "zephrane-buffer-test.bin";
    BaseString* pathText = createAutoreleased<BaseString>(path.string().c_str());
    BaseBuffer buffer;
    buffer.append("one\0two", 7);
    ASSERT_TRUE(buffer.writeToFile(pathText, 0));
    BaseBuffer shorter;
    shorter.append("xy", 2);
    ASSERT_TRUE(shorter.writeToFile(pathText, 0));
    std::ifstream in(path, std::ios::binary);
    std::string contents((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(contents, "xy");
    in.close();  // Windows removes no file that is still open
    std::filesystem::remove(path);
    EXPECT_FALSE(buffer.writeToFile(createAutoreleased<BaseString>("/nonexistent-dir/x"), 0));
}

TEST(StreamDefaults, BaseOperationsAndWriteString) {
    AutoreleasePool pool;
    RecordingStream stream;
    EXPECT_TRUE(stream.close());
    EXPECT_EQ(stream.position(), -1);
    EXPECT_FALSE(stream.setPosition(0));
    EXPECT_TRUE(stream.writeString(createAutoreleased<BaseString>("hello")));
    EXPECT_EQ(stream.writes, std::vector<std::string>{"hello"});
    stream.readData = "abcdef";
    stream.maxPerRead = 2;
    char out[6];
    EXPECT_TRUE(stream.readFully(out, 6));  // three reads of two bytes
    EXPECT_EQ(stream.readRequests, (std::vector<uint64_t>{6, 4, 2}));
}
