#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <limits>
#include <random>
#include <string>

#include "RecordingStream.h"
#include "SerializerTestSupport.h"
#include "base/AutoreleasePool.h"
#include "base/BaseArray.h"
#include "base/BaseDate.h"
#include "base/BaseDictionary.h"
#include "base/BaseNull.h"
#include "base/BaseNumber.h"
#include "base/BaseString.h"
#include "base/BitCast.h"
#include "base/Description.h"
#include "serialization/BaseSerializer.h"
#include "base/StringFormat.h"
#include "serialization/CompactInteger.h"
#include "serialization/SerializerTypeTable.h"
#include <cstdio>
#include <thread>
#include <vector>

namespace {

// Seeded random graphs of every kind the form carries.
class GraphMaker {
public:
    explicit GraphMaker(uint32_t seed) : random_(seed) {}

    BaseObject* make(int depth) {
        int kind = pick(depth > 0 ? 9 : 7);
        switch (kind) {
            case 0: {
                std::string b = bytes();
                return createAutoreleased<BaseString>(b.data(), static_cast<int64_t>(b.size()));
            }
            case 1: {
                auto* buffer = createAutoreleased<BaseBuffer>();
                std::string b = bytes();
                buffer->append(b.data(), b.size());
                return buffer;
            }
            case 2: return createAutoreleased<BaseNumber>(integer());
            case 3: return createAutoreleased<BaseNumber>(real());
            case 4: return createAutoreleased<BaseNumber>(pick(2) == 1);
            case 5: return sharedNull();
            case 6: return createAutoreleased<BaseDate>(static_cast<double>(integer() % 4000000000LL) / 4);
            case 7: {
                auto* array = createAutoreleased<BaseArray>();
                for (int i = pick(6); i > 0; --i) array->addObject(make(depth - 1));
                return array;
            }
            default: {
                auto* dictionary = createAutoreleased<BaseDictionary>();
                for (int i = pick(6); i > 0; --i) dictionary->setObjectForKey(make(depth - 1), key());
                return dictionary;
            }
        }
    }

private:
    // Keys are strings or integers: other kinds hash by address or compare unevenly with each other.
    BaseObject* key() {
        if (pick(2) == 0) return createAutoreleased<BaseNumber>(integer());
        std::string b = bytes();
        return createAutoreleased<BaseString>(b.data(), static_cast<int64_t>(b.size()));
    }
    int pick(int n) { return static_cast<int>(random_() % static_cast<uint32_t>(n)); }
    int64_t integer() {
        int64_t value = static_cast<int64_t>((static_cast<uint64_t>(random_()) << 32) | random_());
        if (pick(3) == 0) value %= 100;
        return value == std::numeric_limits<int64_t>::min() ? 0 : value;
    }
    double real() {
        double value = bitCast<double>((static_cast<uint64_t>(random_()) << 32) | random_());
        if (pick(3) == 0) value = pick(1000) / 4.0;
        return isUnencodableReal(value) ? 0.5 : value;
    }
    std::string bytes() {
        std::string result;
        for (int i = pick(3) == 0 ? pick(300) : pick(12); i > 0; --i) result.push_back(static_cast<char>(random_()));
        return result;
    }

    std::mt19937 random_;
};

// Ends its data with reads that succeed with no bytes, as a stream may when nothing more has come.
class QuietEndStream : public IOAbstract {
public:
    explicit QuietEndStream(std::string data) : data_(std::move(data)) {}
    bool read(void* destination, uint64_t* count) override {
        *count = std::min<uint64_t>(*count, data_.size() - position_);
        std::memcpy(destination, data_.data() + position_, *count);
        position_ += *count;
        return true;
    }
    bool write(const void*, uint64_t) override { return false; }

private:
    std::string data_;
    uint64_t position_ = 0;
};

BaseArray* nestedArrays(int levels) {
    auto* outer = createAutoreleased<BaseArray>();
    BaseArray* current = outer;
    for (int i = 1; i < levels; ++i) {
        auto* inner = createAutoreleased<BaseArray>();
        current->addObject(inner);
        current = inner;
    }
    current->addObject(createAutoreleased<BaseString>("leaf"));
    return outer;
}

}  // namespace

TEST(SerializerRoundTrip, SeededRandomGraphsComeBackEqual) {
    for (uint32_t seed = 1; seed <= 300; ++seed) {
        AutoreleasePool pool;
        BaseObject* graph = GraphMaker(seed).make(4);
        std::string bytes = encoded(graph);
        ASSERT_FALSE(bytes.empty()) << "seed " << seed;
        BaseObject* back = decoded(bytes);
        ASSERT_NE(back, nullptr) << "seed " << seed;
        EXPECT_TRUE(back->isEqual(graph)) << "seed " << seed;
    }
}

TEST(SerializerRoundTrip, CuttingARecordAnywhereReadsAsNothing) {
    AutoreleasePool pool;
    std::string bytes;
    for (uint32_t seed = 1; bytes.size() < 300 || bytes.size() > 3000; ++seed) bytes = encoded(GraphMaker(seed).make(4));
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        AutoreleasePool attempt;
        EXPECT_EQ(decoded(bytes.substr(0, cut)), nullptr) << "cut at " << cut;
        EXPECT_EQ(attempt.count(), 2u);  // only the buffer and the serializer: nothing half-built is left
        auto* quiet = createAutoreleased<QuietEndStream>(bytes.substr(0, cut));
        EXPECT_EQ(createAutoreleased<BaseSerializer>(quiet)->readObject(), nullptr) << "quiet end at " << cut;
    }
}

TEST(SerializerStream, RecordsBackToBackThenNothing) {
    AutoreleasePool pool;
    auto* buffer = createAutoreleased<BaseBuffer>();
    auto* serializer = createAutoreleased<BaseSerializer>(buffer);
    EXPECT_TRUE(serializer->writeObject(createAutoreleased<BaseString>("first")));
    EXPECT_TRUE(serializer->writeObject(createAutoreleased<BaseNumber>(2)));
    BaseObject* first = serializer->readObject();
    BaseObject* second = serializer->readObject();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_STREQ(static_cast<BaseString*>(first)->chars(), "first");
    EXPECT_TRUE(second->isEqual(createAutoreleased<BaseNumber>(2)));
    EXPECT_EQ(serializer->readObject(), nullptr);
    EXPECT_EQ(first->retainCount(), 1);  // owned by this pool only
}

TEST(SerializerStream, WritingNothingStillFlushesAndFailuresAreReported) {
    AutoreleasePool pool;
    auto* stream = createAutoreleased<RecordingStream>();
    auto* serializer = createAutoreleased<BaseSerializer>(stream);
    EXPECT_TRUE(serializer->writeObject(nullptr));
    EXPECT_TRUE(stream->writes.empty());
    EXPECT_EQ(stream->flushes, 1);
    stream->failWrites = true;
    EXPECT_FALSE(serializer->writeObject(createAutoreleased<BaseString>("x")));
    stream->failWrites = false;
    stream->failFlush = true;
    EXPECT_FALSE(serializer->writeObject(createAutoreleased<BaseString>("x")));
}

TEST(SerializerStream, RootObjectAndCounters) {
    AutoreleasePool pool;
    auto* serializer = createAutoreleased<BaseSerializer>(createAutoreleased<BaseBuffer>());
    BaseString* root = createAutoreleased<BaseString>("root");
    serializer->setRootObject(root);
    EXPECT_EQ(root->retainCount(), 2);
    EXPECT_EQ(serializer->filesSent() + serializer->filesDone() + serializer->fileBytes(), 0u);
    serializer->setRootObject(nullptr);
    EXPECT_EQ(root->retainCount(), 1);
    EXPECT_STREQ(serializer->className(), "BaseSerializer");
    BaseString* directory = BaseSerializer::temporaryDirectoryPath();
    EXPECT_EQ(directory->chars()[directory->length() - 1], '/');
    EXPECT_EQ(serializer->fileDirectory(), directory);
}

TEST(SerializerLimits, HostileLengthsCountsAndNestingFailFast) {
    AutoreleasePool pool;
    EXPECT_EQ(decoded(bytesFromHex("0A 00 5F FF FF FF 0F")), nullptr);  // 2^31 - 1 bytes declared
    EXPECT_EQ(decoded(bytesFromHex("01 00 5F FF FF FF 0F")), nullptr);
    EXPECT_EQ(decoded(bytesFromHex("0A 00 81")), nullptr);               // negative length
    EXPECT_EQ(decoded(bytesFromHex("14 00 81")), nullptr);               // negative count
    EXPECT_EQ(decoded(bytesFromHex("14 00 68 A1 07")), nullptr);         // 1,000,001 members
    // 16 MiB + 1 declared, a few bytes present.
    EXPECT_EQ(decoded(bytesFromHex("0A 00 59 00 00 20") + "abc"), nullptr);
    // A 1 MiB string declared but never delivered commits no memory ahead of the data.
    EXPECT_EQ(decoded(bytesFromHex("0A 00 50 00 00 02") + "abc"), nullptr);
    std::string million;
    million.reserve(3000000);
    for (int i = 0; i < 1000000; ++i) million += bytesFromHex("14 00 01");
    EXPECT_EQ(decoded(million), nullptr);
}

TEST(SerializerLimits, SixtyFourLevelsTravelSixtyFiveDoNot) {
    AutoreleasePool pool;
    BaseArray* deepest = nestedArrays(64);
    std::string bytes = encoded(deepest);
    ASSERT_FALSE(bytes.empty());
    BaseObject* back = decoded(bytes);
    ASSERT_NE(back, nullptr);
    EXPECT_TRUE(back->isEqual(deepest));
    EXPECT_EQ(encoded(nestedArrays(65)), "");
    std::string tooDeep;
    for (int i = 0; i < 65; ++i) tooDeep += bytesFromHex("14 00 01");
    EXPECT_EQ(decoded(tooDeep + bytesFromHex("0B 00")), nullptr);
}

TEST(SerializerWriterCheck, GraphsTheFormCannotCarryWriteNothing) {
    AutoreleasePool pool;
    auto* stream = createAutoreleased<RecordingStream>();
    auto* serializer = createAutoreleased<BaseSerializer>(stream);
    auto refused = [&](BaseObject* member) {
        auto* array = createAutoreleased<BaseArray>();
        array->addObject(createAutoreleased<BaseString>("before"));
        array->addObject(member);
        stream->writes.clear();
        bool written = serializer->writeObject(array);
        return !written && stream->writes.empty() && stream->flushes == 0;
    };
    EXPECT_TRUE(refused(createAutoreleased<BaseObject>()));
    EXPECT_TRUE(refused(createAutoreleased<BaseNumber>(std::numeric_limits<int64_t>::min())));
    EXPECT_TRUE(refused(createAutoreleased<BaseNumber>(bitCast<double>(uint64_t{0x80}))));
    EXPECT_TRUE(refused(createAutoreleased<BaseDate>(bitCast<double>(uint64_t{0x80}))));
    auto* dictionary = createAutoreleased<BaseDictionary>();
    dictionary->setObjectForKey(createAutoreleased<BaseObject>(), createAutoreleased<BaseString>("k"));
    EXPECT_TRUE(refused(dictionary));

    auto* cycle = createAutoreleased<BaseArray>();
    cycle->addObject(cycle);
    EXPECT_FALSE(serializer->writeObject(cycle));
    cycle->removeAllObjects();  // break the cycle so the array can be released

    auto* withHole = createAutoreleased<BaseArray>();
    withHole->addObject(sharedNull());
    withHole->replaceObjectAtIndex(0, nullptr);
    EXPECT_FALSE(serializer->writeObject(withHole));

    // The same object twice (no cycle) is fine: it is simply written twice.
    BaseString* shared = createAutoreleased<BaseString>("twice");
    auto* twice = createAutoreleased<BaseArray>();
    twice->addObject(shared);
    twice->addObject(shared);
    EXPECT_TRUE(serializer->writeObject(twice));
    EXPECT_EQ(stream->flushes, 1);
}

TEST(SerializerObjectForms, WriteToBufferEncodedBufferAndFile) {
    AutoreleasePool pool;
    auto* request = createAutoreleased<BaseDictionary>();
    request->setObjectForKey(createAutoreleased<BaseString>("1"), createAutoreleased<BaseString>("cmd_id"));
    BaseBuffer* record = request->encodedBuffer(DescriptionFlag::Serialized);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(hexFromBytes(std::string(record->bytes(), record->length())),
              "15 00 01 0A 00 06 63 6D 64 5F 69 64 0A 00 01 31");
    BaseBuffer* json = request->encodedBuffer(StyleJSON);
    EXPECT_EQ(std::string(json->bytes(), json->length()), "{ \"cmd_id\" : \"1\" }");
    EXPECT_EQ(createAutoreleased<BaseObject>()->encodedBuffer(DescriptionFlag::Serialized), nullptr);
    BaseString* path = stringWithFormat("%s%s", BaseSerializer::temporaryDirectoryPath()->chars(),
                                        "zephrane-record-test.bin");
    ASSERT_TRUE(request->writeToFile(path, DescriptionFlag::Serialized));
    std::ifstream written(path->chars(), std::ios::binary);
    EXPECT_EQ(hexFromBytes(std::string(std::istreambuf_iterator<char>(written), {})),
              "15 00 01 0A 00 06 63 6D 64 5F 69 64 0A 00 01 31");
    auto* serializerOverNothing = createAutoreleased<BaseSerializer>(createAutoreleased<BaseBuffer>());
    EXPECT_EQ(serializerOverNothing->readObject(), nullptr);
    std::remove(path->chars());
}

TEST(SerializerThread, OwnThreadHandsEveryObjectToTheDelegate) {
    struct Collector : SerializerDelegate {
        std::vector<std::string> received;
        void objectReceived(BaseSerializer*, BaseObject* object) override {
            received.push_back(static_cast<BaseString*>(object)->chars());
        }
    } collector;
    AutoreleasePool pool;
    auto* buffer = createAutoreleased<BaseBuffer>();
    std::string bytes = encoded(createAutoreleased<BaseString>("a")) + encoded(createAutoreleased<BaseString>("b"));
    buffer->append(bytes.data(), bytes.size());
    auto* serializer = new BaseSerializer(buffer, &collector);
    serializer->startThread();
    while (serializer->threadState() != THREAD_FINISHED) std::this_thread::yield();
    serializer->stopThread();
    release(serializer);
    EXPECT_EQ(collector.received, (std::vector<std::string>{"a", "b"}));
}

// Classes named by a copy of a known name's text, at an address of their own, and classes with names the
// table does not know: more of them than the lookup remembers at once.
struct NullNamedCopy : BaseObject {
    const char* className() const override {
        static const char name[] = "BaseNull";
        return name;
    }
};

template <int N>
struct UnknownClass : BaseObject {
    const char* className() const override {
        static const std::string name = "Unknown" + std::to_string(N);
        return name.c_str();
    }
};

TEST(SerializerTypeRows, RowsFollowNameTextAndConditionsForEveryObject) {
    AutoreleasePool pool;
    std::vector<BaseObject*> unknown = {
        createAutoreleased<UnknownClass<0>>(), createAutoreleased<UnknownClass<1>>(),
        createAutoreleased<UnknownClass<2>>(), createAutoreleased<UnknownClass<3>>(),
        createAutoreleased<UnknownClass<4>>(), createAutoreleased<UnknownClass<5>>(),
        createAutoreleased<UnknownClass<6>>(), createAutoreleased<UnknownClass<7>>(),
        createAutoreleased<UnknownClass<8>>(), createAutoreleased<UnknownClass<9>>()};
    auto tagOf = [](const BaseObject* object) {
        const SerializerTypeRow* row = rowForWriting(object);
        return row ? static_cast<int>(row->tag) : -1;
    };
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(tagOf(createAutoreleased<BaseNumber>(int64_t{3})), TagInteger);
        EXPECT_EQ(tagOf(createAutoreleased<BaseNumber>(2.5)), TagReal);
        EXPECT_EQ(tagOf(createAutoreleased<BaseNumber>(true)), TagBoolean);
        EXPECT_EQ(tagOf(createAutoreleased<BaseString>("s")), TagString);
        EXPECT_EQ(tagOf(createAutoreleased<NullNamedCopy>()), TagNull);
        EXPECT_EQ(tagOf(sharedNull()), TagNull);
        EXPECT_EQ(tagOf(createAutoreleased<BaseDictionary>()), TagDictionary);
        EXPECT_EQ(tagOf(createAutoreleased<BaseObject>()), -1);
        for (BaseObject* object : unknown) EXPECT_EQ(tagOf(object), -1);
    }
    EXPECT_EQ(rowForWriting(nullptr), nullptr);
}
