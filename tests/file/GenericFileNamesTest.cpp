#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "ScratchDirectory.h"
#include "base/AutoreleasePool.h"
#include "base/BaseString.h"
#include "base/BaseTypedArray.h"
#include "file/BaseFile.h"
#include "file/GenericFileNames.h"
#include "file/PathOperations.h"

namespace {

BaseString* str(const std::string& bytes) {
    return createAutoreleased<BaseString>(bytes.data(), static_cast<int64_t>(bytes.size()));
}

std::string bytesOf(const BaseString* string) { return std::string(string->chars(), string->length()); }

// The UTF-8 of U+F000 + byte, worked out here independently of the code under test.
std::string escaped(unsigned char byte) {
    uint32_t codePoint = 0xF000 + byte;
    return {static_cast<char>(0xE0 | (codePoint >> 12)), static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)),
            static_cast<char>(0x80 | (codePoint & 0x3F))};
}

std::string toOS(const std::string& name) { return bytesOf(genericFileNameToOS(str(name))); }

// No byte that the most restrictive file system refuses, no final space, and no final dot after a generic
// name of more than two bytes (two-byte names such as "a." keep their dot, like "." and "..").
bool isPortableName(const std::string& name, size_t genericLength) {
    for (unsigned char c : name) {
        if (c < 0x20 || std::string("\\:*?\"<>|").find(static_cast<char>(c)) != std::string::npos) return false;
    }
    if (!name.empty() && name.back() == ' ') return false;
    return genericLength < 3 || name.back() != '.';
}

bool holdsEscapeShape(const std::string& name) {
    for (size_t i = 0; i + 2 < name.size(); ++i) {
        auto lead = static_cast<unsigned char>(name[i]);
        auto second = static_cast<unsigned char>(name[i + 1]);
        auto third = static_cast<unsigned char>(name[i + 2]);
        if (lead == 0xEF && (second == 0x80 || second == 0x81) && (third & 0xC0) == 0x80) return true;
    }
    return false;
}

// Writes contents to the generic path through BaseFile; false when the file cannot be written. The file
// object goes with the inner pool, so that no stream stays open (Windows removes no open file).
bool writeThrough(const std::string& path, const std::string& contents) {
    AutoreleasePool inner;
    auto* file = createAutoreleased<BaseFile>(str(path), FileOpenTruncated);
    return file->openOk() && file->write(contents.data(), contents.size()) && file->finishWriting();
}

std::string readThrough(const std::string& path) {
    AutoreleasePool inner;
    auto* file = createAutoreleased<BaseFile>(str(path), FileOpenReadOnly);
    uint32_t count = 0;
    const char* bytes = file->readChunk(BaseFile::ReadChunkCapacity, &count);
    return bytes ? std::string(bytes, count) : "<unreadable>";
}

std::vector<std::string> sortedNames(BaseTypedArray<BaseString>* list) {
    std::vector<std::string> names;
    for (uint32_t i = 0; i < list->count(); ++i) names.push_back(bytesOf(list->objectAtIndex(i)));
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

TEST(GenericFileNames, ReservedDeviceNamesEscapeTheirThirdByte) {
    AutoreleasePool pool;
    EXPECT_EQ(toOS("aux"), "au" + escaped('x'));
    EXPECT_EQ(toOS("aux.txt"), "au" + escaped('x') + ".txt");  // the check drops the last extension
    EXPECT_EQ(toOS("aux.tar.gz"), "aux.tar.gz");                // 'aux.tar' is not reserved
    EXPECT_EQ(toOS("com0"), "co" + escaped('m') + "0");
    EXPECT_EQ(toOS("LPT9"), "LP" + escaped('T') + "9");
    EXPECT_EQ(toOS("CON.txt"), "CO" + escaped('N') + ".txt");
    EXPECT_EQ(toOS("console"), "console");
}

TEST(GenericFileNames, DotsSpacesAndForbiddenBytes) {
    AutoreleasePool pool;
    for (const char* same : {".", "..", "ab", "a/b", ".hidden"}) {
        BaseString* name = str(same);
        EXPECT_EQ(genericFileNameToOS(name), name) << same;  // the very same object
    }
    EXPECT_EQ(toOS("ab."), "ab" + escaped('.'));
    EXPECT_EQ(toOS("name."), "name" + escaped('.'));
    EXPECT_EQ(toOS("ab "), "ab" + escaped(' '));
    EXPECT_EQ(toOS("a:b"), "a" + escaped(':') + "b");
    EXPECT_EQ(toOS(std::string("a\0b", 3)), "a" + escaped(0) + "b");
    EXPECT_EQ(toOS("x<*>|\"?\\"), "x" + escaped('<') + escaped('*') + escaped('>') + escaped('|') + escaped('"') +
                                     escaped('?') + escaped('\\'));
    EXPECT_EQ(toOS("con ."), "con " + escaped('.'));  // the stem "con " is no device name
}

TEST(GenericFileNames, RandomNamesComeBackAndArePortable) {
    AutoreleasePool pool;
    std::mt19937 random(7);
    const std::string special = std::string("\\:*?\"<>|. /\x01\x1f", 14) + std::string(1, '\0');
    for (int round = 0; round < 5000; ++round) {
        AutoreleasePool roundPool;
        std::string name;
        for (int n = static_cast<int>(random() % 12); n > 0; --n) {
            switch (random() % 4) {
                case 0: name += special[random() % special.size()]; break;
                case 1: name += static_cast<char>(random() % 256); break;
                case 2: name += "aux"; break;
                default: name += static_cast<char>('a' + random() % 26); break;
            }
        }
        // A name that already holds an escape's bytes cannot be told apart from an escaped one.
        if (holdsEscapeShape(name)) continue;
        BaseString* os = genericFileNameToOS(str(name));
        EXPECT_TRUE(isPortableName(bytesOf(os), name.size())) << "round " << round;
        EXPECT_EQ(bytesOf(osFileNameToGeneric(os)), name) << "round " << round;
    }
}

TEST(GenericFileNames, DecodingLeavesOtherBytesAlone) {
    AutoreleasePool pool;
    BaseString* plain = str("plain name");
    EXPECT_EQ(osFileNameToGeneric(plain), plain);
    EXPECT_EQ(bytesOf(osFileNameToGeneric(str("a" + escaped('.') + "b"))), "a.b");
    EXPECT_EQ(bytesOf(osFileNameToGeneric(str("\xEF\x82\x80"))), "\xEF\x82\x80");  // U+F080 is no escape
    EXPECT_EQ(bytesOf(osFileNameToGeneric(str("ab\xEF\x80"))), "ab\xEF\x80");     // cut at the end
}

TEST(GenericFileNames, PathsKeepTheirDriveAndEscapeEachComponent) {
    AutoreleasePool pool;
    EXPECT_EQ(bytesOf(genericPathToOS(str("C:/con/x"))), "C:/co" + escaped('n') + "/x");
    EXPECT_EQ(bytesOf(genericPathToOS(str("C:\\dir\\a:b"))), "C:/dir/a" + escaped(':') + "b");
    EXPECT_EQ(bytesOf(genericPathToOS(str("/tmp/x/aux/"))), "/tmp/x/au" + escaped('x') + "/");
    EXPECT_EQ(bytesOf(genericPathToOS(str("d:x/C:"))), "d" + escaped(':') + "x/C" + escaped(':'));
    EXPECT_EQ(bytesOf(genericPathToOS(str(""))), "");
}

// Names that Windows refuses or takes for devices (CON would print to the console, NUL would swallow the
// bytes) become ordinary files through the generic names: each is written, found on disk in its escaped
// form, read back, and listed under its generic name. On Linux the same files are simply made.
TEST(GenericFileNamesOnDisk, NamesWindowsReservesAreCreatedAndReadBack) {
    AutoreleasePool pool;
    ScratchDirectory dir;
    std::vector<std::string> names = {"CON",   "nul",   "aux.txt",   "Com1",   "LPT9.log", "prn.",
                                      "a:b",   "star*", "what?",     "say\"hi\"", "<tag>",    "pipe|",
                                      "dots...", "space ", "tab\tname"};
    std::map<std::string, int64_t> expected;
    for (const std::string& name : names) {
        // Appended as text: a path type would take "a:" for a drive.
        ASSERT_TRUE(writeThrough(dir.path() + "/" + name, "contents of " + name)) << name;
        expected[toOS(name)] = static_cast<int64_t>(("contents of " + name).size());
    }
    EXPECT_EQ(dir.snapshot(), expected);
    for (const std::string& name : names) {
        EXPECT_EQ(readThrough(dir.path() + "/" + name), "contents of " + name) << name;
    }
    std::sort(names.begin(), names.end());
    auto* folder = createAutoreleased<BaseFile>(str(dir.path()), FileStatusOnly);
    EXPECT_EQ(sortedNames(folder->listDirectory(true)), names);
}

TEST(GenericFileNamesOnDisk, ReservedFolderNamesHoldFiles) {
    AutoreleasePool pool;
    ScratchDirectory dir;
    ASSERT_TRUE(createDirectory(str(dir.path() + "/con/aux:1"), true));
    ASSERT_TRUE(writeThrough(dir.path() + "/con/aux:1/NUL", "inside"));
    EXPECT_EQ(readThrough(dir.path() + "/con/aux:1/NUL"), "inside");
    std::string folder = toOS("con");
    std::string inner = folder + "/" + toOS("aux:1");
    std::map<std::string, int64_t> expected = {{folder, -1}, {inner, -1}, {inner + "/" + toOS("NUL"), 6}};
    EXPECT_EQ(dir.snapshot(), expected);
    EXPECT_TRUE(removeItemAtPath(str(dir.path() + "/con"), FileRemoveFlag::Recursive));
    EXPECT_TRUE(dir.snapshot().empty());
}
