// Files carried inside object graphs: what a sender writes, what a receiver makes of it, and the records
// a hostile peer may send.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include "ExternalTool.h"
#include "ScratchDirectory.h"
#include "base/AutoreleasePool.h"
#include "base/BaseArray.h"
#include "base/BaseDate.h"
#include "base/BaseDictionary.h"
#include "base/BaseNumber.h"
#include "base/BaseString.h"
#include "file/BaseFile.h"
#include "io/BaseBuffer.h"
#include "serialization/BaseSerializer.h"

namespace fs = std::filesystem;

namespace {

BaseString* str(const std::string& text) {
    return createAutoreleased<BaseString>(text.data(), static_cast<int64_t>(text.size()));
}

BaseNumber* num(int64_t value) { return createAutoreleased<BaseNumber>(value); }

std::string encoded(const BaseObject* object) {
    auto* buffer = createAutoreleased<BaseBuffer>();
    if (!createAutoreleased<BaseSerializer>(buffer)->writeObject(object)) return "";
    return std::string(buffer->bytes(), buffer->length());
}

// A file record made by hand, as any peer can.
std::string fileRecord(BaseDictionary* attributes, const std::string& content) {
    return std::string("\x02\x00", 2) + encoded(attributes) + content;
}

BaseDictionary* attributesFor(const std::string& name, int64_t size) {
    auto* attributes = createAutoreleased<BaseDictionary>();
    attributes->setObjectForCStringKey(str(name), "fa_name");
    attributes->setObjectForCStringKey(num(size), "fa_size");
    return attributes;
}

std::string randomBytes(size_t count, uint32_t seed) {
    std::mt19937 random(seed);
    std::string bytes(count, '\0');
    for (char& byte : bytes) byte = static_cast<char>(random());
    return bytes;
}

struct Recorder : SerializerDelegate {
    BaseString* destination = nullptr;
    int progressCalls = 0;
    BaseSerializer* lastSerializer = nullptr;
    uint64_t lastFiles = 0;
    uint64_t lastBytes = 0;
    BaseString* destinationForFile(BaseSerializer*, BaseDictionary*) override { return destination; }
    void progress(BaseSerializer* serializer, uint64_t filesSent, uint64_t, uint64_t bytes) override {
        ++progressCalls;
        if (serializer != lastSerializer) lastBytes = 0;
        lastSerializer = serializer;
        EXPECT_GE(bytes, lastBytes);
        lastFiles = filesSent;
        lastBytes = bytes;
    }
};

// A receiving serializer over bytes, writing files into directory.
BaseSerializer* receiver(const std::string& bytes, const std::string& directory,
                         SerializerDelegate* delegate = nullptr) {
    auto* buffer = createAutoreleased<BaseBuffer>();
    buffer->append(bytes.data(), bytes.size());
    auto* serializer = createAutoreleased<BaseSerializer>(buffer, delegate);
    serializer->setFileDirectory(str(directory));
    return serializer;
}

}  // namespace

// `cmp` and `stat` judge the received file against the sent one.
TEST(FileRecords, AFileInsideAnArrayArrivesByteIdenticalWithItsDates) {
    if (!toolAvailable("cmp") || !toolAvailable("stat")) GTEST_SKIP() << "cmp or stat is not installed";
    AutoreleasePool pool;
    ScratchDirectory dir;
    const size_t size = 3 * 1024 * 1024 + 123;
    dir.write("out/big.bin", randomBytes(size, 1));
    fs::last_write_time(dir.path("out/big.bin"), fs::last_write_time(dir.path("out/big.bin")) - std::chrono::hours(50));
    fs::create_directory(dir.path("in"));

    auto* graph = createAutoreleased<BaseArray>();
    graph->addObject(str("before"));
    graph->addObject(createAutoreleased<BaseFile>(str(dir.path("out/big.bin")), FileStatusOnly));
    graph->addObject(num(7));
    Recorder sending;
    auto* buffer = createAutoreleased<BaseBuffer>();
    auto* sender = createAutoreleased<BaseSerializer>(buffer, &sending);
    ASSERT_TRUE(sender->writeObject(graph));
    EXPECT_EQ(sender->filesSent(), 1u);
    EXPECT_EQ(sender->fileBytes(), size);
    EXPECT_EQ(sending.lastBytes, size);
    EXPECT_EQ(BaseFile::openStreamCount(), 0);

    Recorder receiving;
    BaseSerializer* reader = receiver(std::string(buffer->bytes(), buffer->length()), dir.path("in"), &receiving);
    auto* back = static_cast<BaseArray*>(reader->readObject());
    ASSERT_NE(back, nullptr);
    ASSERT_EQ(back->count(), 3u);
    EXPECT_STREQ(static_cast<BaseString*>(back->objectAtIndex(0))->chars(), "before");
    auto* received = static_cast<BaseFile*>(back->objectAtIndex(1));
    ASSERT_STREQ(received->className(), "BaseFile");
    EXPECT_EQ(fs::path(received->path()->chars()), fs::path(dir.path("in/big.bin")));
    EXPECT_TRUE(back->objectAtIndex(2)->isEqual(num(7)));
    EXPECT_EQ(reader->filesDone(), 1u);
    EXPECT_EQ(reader->fileBytes(), size);
    EXPECT_GE(receiving.progressCalls, static_cast<int>(size / 1024));
    EXPECT_EQ(receiving.lastFiles, 1u);

    EXPECT_EQ(runTool("cmp '" + dir.path("out/big.bin") + "' '" + dir.path("in/big.bin") + "'", "").exitCode, 0);
    auto modified = [&](const std::string& name) { return runTool("stat -c %Y '" + dir.path(name) + "'", "").output; };
    EXPECT_EQ(modified("in/big.bin"), modified("out/big.bin"));
    EXPECT_EQ(dir.snapshot().count("in/.big.bin.temp"), 0u);
    // The received file can be sent on as it is.
    EXPECT_FALSE(encoded(received).empty());
}

TEST(FileRecords, ASenderThatCannotOpenItsFileSendsTheEmptyDictionaryOnly) {
    AutoreleasePool pool;
    ScratchDirectory dir;
    auto* graph = createAutoreleased<BaseArray>();
    graph->addObject(createAutoreleased<BaseFile>(str(dir.path()), FileStatusOnly));  // a folder: not opened
    graph->addObject(str("a"));
    std::string bytes = encoded(graph);
    EXPECT_EQ(bytes, std::string("\x14\x00\x02\x02\x00\x15\x00\x00\x0A\x00\x01\x61", 12));

    auto* back = static_cast<BaseArray*>(receiver(bytes, dir.path())->readObject());
    ASSERT_NE(back, nullptr);
    ASSERT_STREQ(back->objectAtIndex(0)->className(), "BaseFile");
    EXPECT_EQ(static_cast<BaseFile*>(back->objectAtIndex(0))->path()->length(), 0u);
    EXPECT_STREQ(static_cast<BaseString*>(back->objectAtIndex(1))->chars(), "a");
    EXPECT_EQ(encoded(createAutoreleased<BaseFile>(str(dir.path("missing")), FileStatusOnly)), "");
}

// A file takes two levels, itself and its attribute dictionary: the deepest one the writer takes sits in
// 62 arrays, and it reads back.
TEST(FileRecords, AFileAsDeepAsTheWriterTakesReadsBack) {
    AutoreleasePool pool;
    ScratchDirectory dir;
    dir.write("out/deep.txt", "deep");
    fs::create_directory(dir.path("in"));
    BaseObject* graph = createAutoreleased<BaseFile>(str(dir.path("out/deep.txt")), FileStatusOnly);
    for (int level = 0; level < 62; ++level) {
        auto* array = createAutoreleased<BaseArray>();
        array->addObject(graph);
        graph = array;
    }
    std::string bytes = encoded(graph);
    ASSERT_FALSE(bytes.empty());
    ASSERT_NE(receiver(bytes, dir.path("in"))->readObject(), nullptr);
    EXPECT_EQ(dir.read("in/deep.txt"), "deep");
    auto* deeper = createAutoreleased<BaseArray>();
    deeper->addObject(graph);
    EXPECT_EQ(encoded(deeper), "");
}

TEST(FileRecords, ContentFollowsTheAttributesFromTheResumeOffsetOn) {
    AutoreleasePool pool;
    ScratchDirectory dir;
    dir.write("hi.txt", "0123456789");
    auto* file = createAutoreleased<BaseFile>(str(dir.path("hi.txt")), FileStatusOnly);
    file->setResumeOffset(4);
    std::string bytes = encoded(file);
    EXPECT_EQ(bytes.substr(0, 5), std::string("\x02\x00\x15\x00\x07", 5));  // 7 attributes with "fa_to"
    EXPECT_EQ(bytes.substr(bytes.size() - 6), "456789");

    fs::create_directory(dir.path("in"));
    BaseSerializer* reader = receiver(bytes, dir.path("in"));
    ASSERT_NE(reader->readObject(), nullptr);
    EXPECT_EQ(dir.read("in/hi.txt"), std::string(4, '\0') + "456789");
    EXPECT_EQ(reader->fileBytes(), 10u);
}

TEST(FileRecords, AFileThatShrankAfterItsAttributesFailsTheWrite) {
    AutoreleasePool pool;
    ScratchDirectory dir;
    dir.write("shrinking", std::string(100, 'x'));
    auto* file = createAutoreleased<BaseFile>(str(dir.path("shrinking")), FileStatusOnly);
    fs::resize_file(dir.path("shrinking"), 10);
    auto* buffer = createAutoreleased<BaseBuffer>();
    EXPECT_FALSE(createAutoreleased<BaseSerializer>(buffer)->writeObject(file));
    EXPECT_EQ(BaseFile::openStreamCount(), 0);
}

TEST(FileRecords, DelegateDirectoryAndSubPath) {
    AutoreleasePool pool;
    ScratchDirectory dir;
    Recorder delegate;
    delegate.destination = str(dir.path("chosen"));
    fs::create_directory(dir.path("chosen"));
    fs::create_directory(dir.path("default"));
    BaseDictionary* attributes = attributesFor("f.txt", 3);
    attributes->setObjectForCStringKey(str("sub/inner/"), "fa_ctx");
    ASSERT_NE(receiver(fileRecord(attributes, "abc"), dir.path("default"), &delegate)->readObject(), nullptr);
    EXPECT_EQ(dir.read("chosen/sub/inner/f.txt"), "abc");

    std::string withoutSubPath = fileRecord(attributesFor("g.txt", 1), "g");
    ASSERT_NE(receiver(withoutSubPath, dir.path("default"), &delegate)->readObject(), nullptr);
    EXPECT_EQ(dir.read("chosen/g.txt"), "g");  // the delegate's place, even without a sub-path
    ASSERT_NE(receiver(fileRecord(attributes, "xyz"), dir.path("default"))->readObject(), nullptr);
    EXPECT_EQ(dir.read("default/f.txt"), "xyz");  // no delegate: the sub-path is not used
}

TEST(FileRecords, CutOffTransfersLeaveNoTemporaryFileButKeepAResumableOne) {
    AutoreleasePool pool;
    ScratchDirectory dir;
    dir.write("in/a.bin", "previous");
    std::string content = randomBytes(5000, 2);
    std::string cut = fileRecord(attributesFor("a.bin", 5000), content.substr(0, 3000));
    EXPECT_EQ(receiver(cut, dir.path("in"))->readObject(), nullptr);
    EXPECT_EQ(dir.snapshot(), (std::map<std::string, int64_t>{{"in", -1}, {"in/a.bin", 8}}));

    BaseDictionary* resumable = attributesFor("a.bin", 5000);
    resumable->setObjectForCStringKey(createAutoreleased<BaseNumber>(true), "fa_res");
    EXPECT_EQ(receiver(fileRecord(resumable, content.substr(0, 3000)), dir.path("in"))->readObject(), nullptr);
    std::string kept = dir.read("in/.a.bin.partial");
    ASSERT_GT(kept.size(), 0u);
    EXPECT_EQ(kept, content.substr(0, kept.size()));
    EXPECT_EQ(dir.read("in/a.bin"), "previous");

    resumable->setObjectForCStringKey(num(static_cast<int64_t>(kept.size())), "fa_to");
    ASSERT_NE(receiver(fileRecord(resumable, content.substr(kept.size())), dir.path("in"))->readObject(), nullptr);
    EXPECT_EQ(dir.read("in/a.bin"), content);
    EXPECT_EQ(dir.snapshot(), (std::map<std::string, int64_t>{{"in", -1}, {"in/a.bin", 5000}}));
}

TEST(FileRecords, ATargetThatCannotBeReplacedFailsTheRecord) {
    AutoreleasePool pool;
    ScratchDirectory dir;
    dir.write("in/a.bin/inside", "x");
    EXPECT_EQ(receiver(fileRecord(attributesFor("a.bin", 3), "abc"), dir.path("in"))->readObject(), nullptr);
    EXPECT_EQ(dir.snapshot(), (std::map<std::string, int64_t>{{"in", -1}, {"in/a.bin", -1}, {"in/a.bin/inside", 1}}));
}

// Each hostile record fails, and neither the target folder nor anything around it changes.
TEST(FileRecordsFromPeers, HostileNamesSubPathsAndSizesWriteNothing) {
    AutoreleasePool pool;
    ScratchDirectory dir;
    dir.write("parent/target/existing", "e");
    dir.write("parent/sibling", "s");
    const std::string target = dir.path("parent/target");
    const std::string outside = "/etc/zephrane-never-written";
    Recorder delegate;
    delegate.destination = str(target);
    auto before = dir.snapshot();

    ASSERT_NE(receiver(fileRecord(attributesFor("fine.txt", 1), "f"), target)->readObject(), nullptr);  // the control
    fs::remove(dir.path("parent/target/fine.txt"));

    auto fails = [&](BaseDictionary* attributes, const std::string& content, SerializerDelegate* withDelegate) {
        AutoreleasePool attempt;
        return receiver(fileRecord(attributes, content), target, withDelegate)->readObject() == nullptr;
    };
    for (const std::string& name : {std::string("../x"), outside, std::string("a/b"), std::string("a\\b"),
                                    std::string(""), std::string("."), std::string(".."), std::string("x\0y", 3),
                                    std::string("C:"), dir.path("parent/abs")}) {
        EXPECT_TRUE(fails(attributesFor(name, 1), "z", nullptr)) << name;
    }
    for (const char* subPath : {"../../", "..", "sub/../../x", "/abs", "\\abs", "sub\\..\\..", "C:/x"}) {
        BaseDictionary* attributes = attributesFor("ok.txt", 1);
        attributes->setObjectForCStringKey(str(subPath), "fa_ctx");
        EXPECT_TRUE(fails(attributes, "z", &delegate)) << subPath;
        EXPECT_TRUE(fails(attributes, "z", nullptr)) << subPath;
    }
    auto* noName = createAutoreleased<BaseDictionary>();
    noName->setObjectForCStringKey(num(1), "fa_size");
    EXPECT_TRUE(fails(noName, "z", nullptr));
    BaseDictionary* numericName = attributesFor("x", 1);
    numericName->setObjectForCStringKey(num(5), "fa_name");
    EXPECT_TRUE(fails(numericName, "z", nullptr));
    EXPECT_TRUE(fails(attributesFor("big", (int64_t{1} << 30) + 1), std::string(4096, 'b'), nullptr));
    EXPECT_TRUE(fails(attributesFor("negative", -1), "", nullptr));
    BaseDictionary* beyond = attributesFor("beyond", 10);
    beyond->setObjectForCStringKey(num(11), "fa_to");
    EXPECT_TRUE(fails(beyond, "", nullptr));
    BaseDictionary* textSize = attributesFor("text", 1);
    textSize->setObjectForCStringKey(str("1"), "fa_size");
    EXPECT_TRUE(fails(textSize, "z", nullptr));
    EXPECT_TRUE(receiver(std::string("\x02\x00\x0A\x00\x00", 5), target)->readObject() == nullptr);  // not a dictionary
    // File records that only ever open another one end at the nesting limit, not at the end of the stack.
    std::string chain;
    for (int i = 0; i < 1000000; ++i) chain.append("\x02\x00", 2);
    EXPECT_TRUE(receiver(chain, target)->readObject() == nullptr);

    EXPECT_EQ(dir.snapshot(), before);
    EXPECT_FALSE(fs::exists(outside));
}

// The switch used while a connection logs in: a first object carrying a file fails before any byte of
// the file is read, and nothing reaches the disk.
TEST(FileRecordsFromPeers, ARefusingSerializerFailsAnyRecordHoldingAFile) {
    AutoreleasePool pool;
    ScratchDirectory dir;
    auto* login = createAutoreleased<BaseDictionary>();
    login->setObjectForCStringKey(str("client"), "User-Agent");
    std::string bytes = encoded(login);
    bytes[2] = 2;  // two entries: the second is a file record
    bytes += encoded(str("Password")) + fileRecord(attributesFor("planted.txt", 4), "evil");

    BaseSerializer* refusing = receiver(bytes, dir.path());
    EXPECT_TRUE(refusing->acceptsFileRecords());
    refusing->setAcceptsFileRecords(false);
    EXPECT_EQ(refusing->readObject(), nullptr);
    EXPECT_TRUE(dir.snapshot().empty());
    EXPECT_EQ(refusing->filesDone(), 0u);
    BaseSerializer* plain = receiver(encoded(login), dir.path());
    plain->setAcceptsFileRecords(false);
    EXPECT_NE(plain->readObject(), nullptr);  // records without files still read

    auto* accepted = static_cast<BaseDictionary*>(receiver(bytes, dir.path())->readObject());
    ASSERT_NE(accepted, nullptr);  // the same bytes are a well-formed record
    EXPECT_EQ(accepted->count(), 2u);
    EXPECT_EQ(dir.read("planted.txt"), "evil");
}
