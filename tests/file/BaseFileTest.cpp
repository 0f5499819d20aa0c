#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "ExternalTool.h"
#include "ScratchDirectory.h"
#include "base/AutoreleasePool.h"
#include "base/BaseDate.h"
#include "base/BaseDictionary.h"
#include "base/BaseNumber.h"
#include "base/BaseString.h"
#include "base/BaseTypedArray.h"
#include "base/Description.h"
#include "file/BaseFile.h"
#include "file/PathOperations.h"

namespace fs = std::filesystem;

namespace {

BaseString* str(const std::string& text) { return createAutoreleased<BaseString>(text.c_str()); }

BaseFile* fileAt(const std::string& path, int32_t mode = FileStatusOnly) {
    return createAutoreleased<BaseFile>(str(path), mode);
}

BaseObject* attribute(BaseDictionary* attributes, const char* key) {
    return BaseDictionary::objectForCStringKey(attributes, key);
}

int64_t integerAttribute(BaseDictionary* attributes, const char* key) {
    return static_cast<BaseNumber*>(attribute(attributes, key))->int64Value();
}

double dateAttribute(BaseDictionary* attributes, const char* key) {
    return static_cast<BaseDate*>(attribute(attributes, key))->value();
}

bool writeText(BaseFile* file, const std::string& text) { return file->write(text.data(), text.size()); }

std::string names(BaseTypedArray<BaseString>* list) {
    std::vector<std::string> sorted;
    for (uint32_t i = 0; i < list->count(); ++i) sorted.emplace_back(list->objectAtIndex(i)->chars());
    std::sort(sorted.begin(), sorted.end());
    std::string joined;
    for (const std::string& name : sorted) joined += name + ";";
    return joined;
}

}  // namespace

TEST(FileWrite, TemporaryFileBesideTheTargetReplacesItOnCommit) {
    AutoreleasePool pool;
    ScratchDirectory dir;
    dir.write("a.txt", "old");
    BaseFile* file = fileAt(dir.path("a.txt"));
    ASSERT_TRUE(file->openForWriting(false));
    EXPECT_TRUE(dir.exists(".a.txt.temp"));
    EXPECT_EQ(dir.read("a.txt"), "old");  // the target stays whole until the commit
    ASSERT_TRUE(writeText(file, "new content"));
    EXPECT_TRUE(file->finishWriting());
    EXPECT_EQ(dir.read("a.txt"), "new content");
    EXPECT_FALSE(dir.exists(".a.txt.temp"));
    EXPECT_EQ(file->tempPath(), nullptr);
    EXPECT_EQ(integerAttribute(file->attributes(), "fa_size"), 11);
    EXPECT_EQ(BaseFile::openStreamCount(), 0);
}

TEST(FileWrite, DestructionBeforeCommitLeavesNoTrace) {
    AutoreleasePool pool;
    ScratchDirectory dir;
    dir.write("a.txt", "old");
    auto* file = new BaseFile(str(dir.path("a.txt")), FileStatusOnly);
    ASSERT_TRUE(file->openForWriting(false));
    writeText(file, "half of it");
    release(file);
    EXPECT_EQ(dir.snapshot(), (std::map<std::string, int64_t>{{"a.txt", 3}}));
    EXPECT_EQ(dir.read("a.txt"), "old");
}

TEST(FileWrite, ResumeContinuesThePartialFileAndKeepsItOnDestruction) {
    AutoreleasePool pool;
    ScratchDirectory dir;
    dir.write(".a.txt.partial", "abc");
    auto* first = new BaseFile(str(dir.path("a.txt")), FileStatusOnly);
    ASSERT_TRUE(first->openForWriting(true));
    ASSERT_TRUE(first->setPosition(3));
    writeText(first, "def");
    release(first);
    EXPECT_EQ(dir.read(".a.txt.partial"), "abcdef");

    BaseFile* second = fileAt(dir.path("a.txt"));
    ASSERT_TRUE(second->openForWriting(true));
    second->setPosition(6);
    writeText(second, "g");
    EXPECT_TRUE(second->finishWriting());
    EXPECT_EQ(dir.snapshot(), (std::map<std::string, int64_t>{{"a.txt", 7}}));
    EXPECT_EQ(dir.read("a.txt"), "abcdefg");
    EXPECT_TRUE(static_cast<BaseNumber*>(attribute(second->attributes(), "fa_res"))->boolValue());
}

TEST(FileWrite, ACommitThatCannotReplaceTheTargetFailsAndCleansUp) {
    AutoreleasePool pool;
    ScratchDirectory dir;
    dir.write("a.txt/inside", "x");  // the target is a folder that is not empty
    BaseFile* plain = fileAt(dir.path("a.txt"));
    ASSERT_TRUE(plain->openForWriting(false));
    writeText(plain, "data");
    EXPECT_FALSE(plain->finishWriting());
    EXPECT_EQ(dir.snapshot(), (std::map<std::string, int64_t>{{"a.txt", -1}, {"a.txt/inside", 1}}));

    BaseFile* resumable = fileAt(dir.path("a.txt"));
    ASSERT_TRUE(resumable->openForWriting(true));
    writeText(resumable, "data");
    EXPECT_FALSE(resumable->finishWriting());
    EXPECT_EQ(dir.read(".a.txt.partial"), "data");  // kept for the next attempt
}

TEST(FileWrite, FailedOpenPrintsTheMessagesAndReportsFalse) {
    AutoreleasePool pool;
    ScratchDirectory dir;
    BaseFile* file = fileAt(dir.path("missing/a.txt"));
    testing::internal::CaptureStderr();
    bool opened = file->openForWriting(false);
    std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(opened);
    EXPECT_EQ(printed, "Can't open file: No such file or directory\nOpen files 0\n");
    EXPECT_EQ(file->tempPath(), nullptr);
}

TEST(FileAttributes, MissingPathIsSpecialWithZeroSizeAndDates) {
    AutoreleasePool pool;
    ScratchDirectory dir;
    BaseDictionary* attributes = fileAt(dir.path("aux"))->attributes();
    EXPECT_STREQ(static_cast<BaseString*>(attribute(attributes, "fa_name"))->chars(), "aux");
    EXPECT_STREQ(static_cast<BaseString*>(attribute(attributes, "fa_type"))->chars(), "ft_spc");
    EXPECT_EQ(integerAttribute(attributes, "fa_size"), 0);
    for (const char* date : {"fa_adate", "fa_mdate", "fa_cdate"}) EXPECT_EQ(dateAttribute(attributes, date), 0.0);
    EXPECT_EQ(attributes->count(), 6u);
}

// The system's own stat program judges the dates.
TEST(FileAttributes, RegularFilesDirectoriesResumeOffsetAndContext) {
    if (!toolAvailable("stat")) GTEST_SKIP() << "the stat program is not installed";
    AutoreleasePool pool;
    ScratchDirectory dir;
    dir.write("data.bin", std::string(1000, 'x'));
    BaseFile* file = fileAt(dir.path("data.bin"));
    file->setResumeOffset(10);
    file->setContext(str("sub/dir"));
    BaseDictionary* attributes = file->attributes();
    EXPECT_STREQ(static_cast<BaseString*>(attribute(attributes, "fa_type"))->chars(), "ft_reg");
    EXPECT_EQ(integerAttribute(attributes, "fa_size"), 1000);
    EXPECT_EQ(integerAttribute(attributes, "fa_to"), 10);
    EXPECT_STREQ(static_cast<BaseString*>(attribute(attributes, "fa_ctx"))->chars(), "sub/dir");
    ToolResult times = runTool("stat -c '%X %Y' '" + dir.path("data.bin") + "'", "");
    EXPECT_EQ(times.output, std::to_string(static_cast<int64_t>(dateAttribute(attributes, "fa_adate"))) + " " +
                                std::to_string(static_cast<int64_t>(dateAttribute(attributes, "fa_mdate"))) + "\n");

    BaseDictionary* folder = fileAt(dir.path() + "/")->attributes();
    EXPECT_STREQ(static_cast<BaseString*>(attribute(folder, "fa_type"))->chars(), "ft_dir");
    EXPECT_EQ(integerAttribute(folder, "fa_size"), 0);
    EXPECT_EQ(attribute(folder, "fa_to"), nullptr);
}

TEST(FileAttributes, DatesAreSetFromAttributesAndOddValuesAreIgnored) {
    if (!toolAvailable("stat")) GTEST_SKIP() << "the stat program is not installed";
    AutoreleasePool pool;
    ScratchDirectory dir;
    dir.write("a", "x");
    BaseFile* file = fileAt(dir.path("a"));
    auto* attributes = createAutoreleased<BaseDictionary>();
    attributes->setObjectForCStringKey(createAutoreleased<BaseDate>(1000000000.75), "fa_adate");
    attributes->setObjectForCStringKey(createAutoreleased<BaseDate>(1234567890.5), "fa_mdate");
    EXPECT_TRUE(file->setDatesFromAttributes(attributes));
    EXPECT_EQ(runTool("stat -c '%X %Y' '" + dir.path("a") + "'", "").output, "1000000000 1234567890\n");
    attributes->setObjectForCStringKey(createAutoreleased<BaseDate>(std::nan("")), "fa_mdate");
    EXPECT_FALSE(file->setDatesFromAttributes(attributes));
    attributes->setObjectForCStringKey(createAutoreleased<BaseDate>(1e300), "fa_mdate");
    EXPECT_FALSE(file->setDatesFromAttributes(attributes));
    EXPECT_EQ(runTool("stat -c '%Y' '" + dir.path("a") + "'", "").output, "1234567890\n");
}

// The C++ library reads the file's time on its own, so the conversion to and from the system's clock (1601
// and 100-nanosecond units on Windows) is judged on every platform, with or without the stat program.
TEST(FileAttributes, ModificationDateAgreesWithTheStandardLibrary) {
    AutoreleasePool pool;
    ScratchDirectory dir;
    dir.write("a", "x");
    auto* attributes = createAutoreleased<BaseDictionary>();
    attributes->setObjectForCStringKey(createAutoreleased<BaseDate>(1000000000.0), "fa_adate");
    attributes->setObjectForCStringKey(createAutoreleased<BaseDate>(1234567890.0), "fa_mdate");
    ASSERT_TRUE(fileAt(dir.path("a"))->setDatesFromAttributes(attributes));
    auto written = std::chrono::file_clock::to_sys(fs::last_write_time(dir.path("a")));
    EXPECT_EQ(std::chrono::duration_cast<std::chrono::seconds>(written.time_since_epoch()).count(), 1234567890);
    EXPECT_EQ(dateAttribute(fileAt(dir.path("a"))->attributes(), "fa_mdate"), 1234567890.0);
}

TEST(FileAttributes, DescriptionIsTheAttributesInTheRequestedStyle) {
    if (!toolAvailable("python3")) GTEST_SKIP() << "python3 is not installed";
    AutoreleasePool pool;
    ScratchDirectory dir;
    dir.write("a b.txt", "12345");
    BaseString* json = fileAt(dir.path("a b.txt"))->description(StyleJSON);
    const char* script = "import json,sys; d=json.load(sys.stdin); print(d['fa_name'], d['fa_size'])";
    ToolResult parsed = runTool(std::string("python3 -c \"") + script + "\"", json->chars());
    EXPECT_EQ(parsed.output, "a b.txt 5\n") << json->chars();
    BaseString* headed = fileAt(dir.path("a b.txt"))->description(StylePlain | DescriptionFlag::ClassName);
    EXPECT_EQ(std::string(headed->chars()).rfind("BaseFile  :\n", 0), 0u);
}

TEST(FileStream, OpenModes) {
    AutoreleasePool pool;
    ScratchDirectory dir;
    EXPECT_FALSE(fileAt(dir.path("none"), FileStatusOnly)->openOk());
    EXPECT_FALSE(fileAt(dir.path("none"), FileOpenReadOnly)->openOk());
    EXPECT_TRUE(fileAt(dir.path("none"), FileNoAction)->openOk());
    EXPECT_FALSE(dir.exists("none"));
    EXPECT_FALSE(fileAt(dir.path(), FileOpenReadOnly)->openOk());  // folders are not opened

    EXPECT_TRUE(fileAt(dir.path("one"), FileCreateIfMissing)->openOk());
    EXPECT_EQ(dir.snapshot()["one"], 0);
    dir.write("two", "keep");
    fileAt(dir.path("two"), FileCreateIfMissing);
    EXPECT_EQ(dir.read("two"), "keep");
    fileAt(dir.path("two"), FileCreateOrTruncate);
    EXPECT_EQ(dir.read("two"), "");

    dir.write("four", "read me");
    BaseFile* reader = fileAt(dir.path("four"), FileOpenReadOnly);
    char bytes[16] = {};
    uint64_t count = sizeof(bytes);
    ASSERT_TRUE(reader->read(bytes, &count));
    EXPECT_EQ(std::string(bytes, count), "read me");
    EXPECT_FALSE(reader->write("x", 1));

    dir.write("five", "gone");
    BaseFile* updater = fileAt(dir.path("five"), FileOpenTruncated);
    ASSERT_TRUE(updater->openOk());
    writeText(updater, "new");
    updater->finishWriting();
    EXPECT_EQ(dir.read("five"), "new");

    dir.write("six", "start");
    BaseFile* appender = fileAt(dir.path("six"), FileOpenForAppend);
    ASSERT_TRUE(appender->openOk());
    EXPECT_EQ(appender->position(), 5);
    writeText(appender, "+end");
    appender->finishWriting();
    EXPECT_EQ(dir.read("six"), "start+end");
}

TEST(FileStream, ChunksPositionsAndFilesWithoutAStream) {
    AutoreleasePool pool;
    ScratchDirectory dir;
    dir.write("data", std::string(10000, 'a') + "tail");
    BaseFile* closed = fileAt(dir.path("data"));
    uint32_t got = 99;
    EXPECT_EQ(closed->readChunk(10, &got), nullptr);
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(closed->position(), -1);
    EXPECT_TRUE(closed->setPosition(5));
    EXPECT_FALSE(closed->skip(1));
    EXPECT_FALSE(closed->flush());

    BaseFile* file = fileAt(dir.path("data"), FileOpenReadOnly);
    const char* bytes = file->readChunk(BaseFile::ReadChunkCapacity, &got);
    EXPECT_EQ(got, 8192u);
    EXPECT_EQ(bytes[0], 'a');
    ASSERT_TRUE(file->skip(1808));
    bytes = file->readChunk(BaseFile::ReadChunkCapacity, &got);
    EXPECT_EQ(std::string(bytes, got), "tail");
    file->readChunk(BaseFile::ReadChunkCapacity, &got);
    EXPECT_EQ(got, 0u);
}

TEST(FileStream, SetPositionReachesFiveBillionOnASparseFile) {
    AutoreleasePool pool;
    ScratchDirectory dir;
    constexpr uint64_t FiveBillion = 5000000000ull;
    BaseFile* file = fileAt(dir.path("sparse"), FileOpenTruncated);
    ASSERT_TRUE(file->openOk());
    ASSERT_TRUE(file->setPosition(FiveBillion));
    EXPECT_EQ(file->position(), static_cast<int64_t>(FiveBillion));
    if (!writeText(file, "z") || !file->flush()) GTEST_SKIP() << "this file system refuses a 5 GB sparse file";
    EXPECT_EQ(fs::file_size(dir.path("sparse")), FiveBillion + 1);
    ASSERT_TRUE(file->setPosition(FiveBillion));
    char byte = 0;
    uint64_t count = 1;
    ASSERT_TRUE(file->read(&byte, &count));
    EXPECT_EQ(byte, 'z');
}

TEST(FileRemoval, RecursiveRemovalAndEmptiedParentsStopAtANonEmptyOne) {
    AutoreleasePool pool;
    ScratchDirectory dir;
    dir.write("a/keep", "k");
    dir.write("a/b/c/f1", "1");
    dir.write("a/b/c/d/f2", "2");
    dir.write("a/b/c/aux", "made by another program");  // a name generic names would escape
    EXPECT_FALSE(fileAt(dir.path("a/b/c"))->remove(0));  // not empty, not recursive
    EXPECT_TRUE(fileAt(dir.path("a/b/c"))->remove(FileRemoveFlag::Recursive | FileRemoveFlag::EmptiedParents));
    EXPECT_EQ(dir.snapshot(), (std::map<std::string, int64_t>{{"a", -1}, {"a/keep", 1}}));
    EXPECT_FALSE(fileAt(dir.path("a/b"))->remove(FileRemoveFlag::Recursive));  // gone already
}

TEST(FileRemoval, AReadOnlyFileIsMadeWritableAndDeletedNatively) {
    AutoreleasePool pool;
    ScratchDirectory dir;
    dir.write("locked", "x");
    fs::permissions(dir.path("locked"), fs::perms::owner_read);
    EXPECT_TRUE(fileAt(dir.path("locked"))->remove(FileRemoveFlag::MakeWritable | FileRemoveFlag::NativeDelete));
    EXPECT_FALSE(dir.exists("locked"));
}

TEST(FileRemoval, ALinkInATreeIsRemovedNotFollowed) {
    AutoreleasePool pool;
    ScratchDirectory dir;
    dir.write("outside/precious", "p");
    dir.write("tree/file", "f");
    std::error_code linkError;
    fs::create_directory_symlink(dir.path("outside"), dir.path("tree/link"), linkError);
    if (linkError) GTEST_SKIP() << "this system makes no symbolic links here: " << linkError.message();
    EXPECT_TRUE(removeItemAtPath(str(dir.path("tree")), FileRemoveFlag::Recursive));
    EXPECT_FALSE(dir.exists("tree"));
    EXPECT_EQ(dir.read("outside/precious"), "p");  // the link went, not what it pointed to
}

TEST(FileDirectories, CreateListAndMove) {
    AutoreleasePool pool;
    ScratchDirectory dir;
    EXPECT_FALSE(createDirectory(str(dir.path("x/y/z")), false));
    EXPECT_TRUE(createDirectory(str(dir.path("x/y/z")), true));
    EXPECT_TRUE(createDirectory(str(dir.path("x/y/z")), false));  // already there
    EXPECT_TRUE(fs::is_directory(dir.path("x/y/z")));
    dir.write("x/file", "f");
    EXPECT_FALSE(createDirectory(str(dir.path("x/file/sub")), true));

    dir.write("list/a", "");
    fileAt(dir.path("list/.hidden"), FileCreateOrTruncate);  // hidden where the platform has an attribute for it
    dir.write("list/au\xEF\x81\xB8", "");  // "aux" on disk
    EXPECT_EQ(names(fileAt(dir.path("list"))->listDirectory(true)), "a;aux;");
    EXPECT_EQ(names(fileAt(dir.path("list"))->listDirectory(false)), ".;..;.hidden;a;aux;");
    EXPECT_EQ(fileAt(dir.path("list/a"))->listDirectory(false)->count(), 0u);

    dir.write("m/from", "moved");
    dir.write("m/to", "replaced");
    EXPECT_TRUE(moveItemToPath(str(dir.path("m/from")), str(dir.path("m/to"))));
    EXPECT_FALSE(dir.exists("m/from"));
    EXPECT_EQ(dir.read("m/to"), "moved");
    EXPECT_FALSE(moveItemToPath(str(dir.path("m/from")), str(dir.path("m/again"))));
}
