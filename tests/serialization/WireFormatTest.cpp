#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "SerializerTestSupport.h"
#include "base/AutoreleasePool.h"
#include "base/BaseArray.h"
#include "base/BaseDate.h"
#include "base/BaseDictionary.h"
#include "base/BaseNull.h"
#include "base/BaseNumber.h"
#include "base/BaseString.h"
#include "serialization/CompactInteger.h"

namespace {

std::string compact(int64_t value) {
    unsigned char bytes[CompactIntegerMaxBytes];
    int n = encodeCompactInteger(value, bytes);
    return hexFromBytes(std::string(reinterpret_cast<char*>(bytes), n));
}

bool decodesTo(const std::string& hex, uint64_t max, int64_t expected) {
    std::string bytes = bytesFromHex(hex);
    auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    int64_t value = 0;
    return decodeCompactInteger(b[0], b + 1, max, &value) && value == expected;
}

template <class T>
std::string record(T value) {
    return hexFromBytes(encoded(createAutoreleased<BaseNumber>(value)));
}

BaseString* str(const char* text) { return createAutoreleased<BaseString>(text); }

}  // namespace

TEST(CompactInteger, SampleValues) {
    EXPECT_EQ(compact(0), "00");
    EXPECT_EQ(compact(1), "01");
    EXPECT_EQ(compact(63), "3F");
    EXPECT_EQ(compact(-1), "81");
    EXPECT_EQ(compact(64), "40 08");
    EXPECT_EQ(compact(100), "44 0C");
    EXPECT_EQ(compact(-100), "C4 0C");
    EXPECT_EQ(compact(1000), "40 7D");
    EXPECT_EQ(compact(2147483647), "5F FF FF FF 0F");
    EXPECT_EQ(compact(std::numeric_limits<int64_t>::max()), "7F FF FF FF FF FF FF FF 0F");
    EXPECT_EQ(compact(200), "40 19");
}

TEST(CompactInteger, DecodingAndWidthLimits) {
    for (int64_t v : {0LL, 1LL, 63LL, -1LL, 64LL, -100LL, 1000LL, 2147483647LL, -2147483647LL}) {
        EXPECT_TRUE(decodesTo(compact(v), CompactInteger32Max, v)) << v;
    }
    EXPECT_TRUE(decodesTo("80", CompactInteger32Max, 0));  // a negative zero reads as 0
    EXPECT_TRUE(decodesTo(compact(INT64_MAX), CompactInteger64Max, INT64_MAX));
    EXPECT_FALSE(decodesTo(compact(2147483648LL), CompactInteger32Max, 2147483648LL));
    EXPECT_FALSE(decodesTo("7F FF FF FF FF FF FF FF FF", CompactInteger64Max, 0));  // beyond 2^63 - 1
    EXPECT_TRUE(decodesTo("40 00", CompactInteger32Max, 0));                      // long form is accepted
}

TEST(WireFormat, EmptyAndSimpleRecords) {
    AutoreleasePool pool;
    EXPECT_EQ(hexFromBytes(encoded(createAutoreleased<BaseDictionary>())), "15 00 00");
    EXPECT_EQ(hexFromBytes(encoded(createAutoreleased<BaseArray>())), "14 00 00");
    EXPECT_EQ(hexFromBytes(encoded(str(""))), "0A 00 00");
    EXPECT_EQ(hexFromBytes(encoded(sharedNull())), "0B 00");
    EXPECT_EQ(record(true), "0F 00 01");
    EXPECT_EQ(record(false), "0F 00 00");
    EXPECT_EQ(record(-5), "0C 00 85");
    EXPECT_EQ(record(1000), "0C 00 40 7D");
    // Tag, version and length each in a longer form than needed.
    BaseObject* longForms = decoded(bytesFromHex("42 01 40 00 4B 00 00 61 62 63"));
    ASSERT_NE(longForms, nullptr);
    EXPECT_TRUE(longForms->isEqual(str("abc")));
}

TEST(WireFormat, RealsBecomeSmallIntegersWhenTheirLowBytesAreZero) {
    AutoreleasePool pool;
    EXPECT_EQ(record(1.0), "0D 00 4F 07 1E");
    EXPECT_EQ(record(-2.0), "0D 00 40 18");
    EXPECT_EQ(record(46.5), "0D 00 50 E8 08 08");
    EXPECT_EQ(record(7.25), "0D 00 48 A8 03");
    EXPECT_EQ(record(0.0), "0D 00 00");
    EXPECT_EQ(hexFromBytes(encoded(createAutoreleased<BaseDate>(0.0))), "0E 00 00");
}

TEST(WireFormat, PositionAndRequestDictionaries) {
    AutoreleasePool pool;
    auto* position = createAutoreleased<BaseDictionary>();
    position->setObjectForKey(createAutoreleased<BaseNumber>(46.5), str("latitude"));
    position->setObjectForKey(createAutoreleased<BaseNumber>(7.25), str("longitude"));
    std::string bytes = encoded(position);
    EXPECT_EQ(bytes.size(), 37u);
    EXPECT_EQ(hexFromBytes(bytes),
              "15 00 02 0A 00 08 6C 61 74 69 74 75 64 65 0D 00 50 E8 08 08 "
              "0A 00 09 6C 6F 6E 67 69 74 75 64 65 0D 00 48 A8 03");
    auto* request = createAutoreleased<BaseDictionary>();
    request->setObjectForKey(str("1"), str("cmd_id"));
    EXPECT_EQ(hexFromBytes(encoded(request)), "15 00 01 0A 00 06 63 6D 64 5F 69 64 0A 00 01 31");
    EXPECT_TRUE(decoded(bytes)->isEqual(position));
}

TEST(WireFormat, LongStringLengthPrefix) {
    AutoreleasePool pool;
    std::string text(200, 'x');
    EXPECT_EQ(hexFromBytes(encoded(str(text.c_str()))).substr(0, 11), "0A 00 40 19");
}

TEST(WireFormat, UnknownVersionsAndTagsReadAsNothing) {
    AutoreleasePool pool;
    EXPECT_EQ(decoded(bytesFromHex("0A 01 00")), nullptr);  // version 1
    EXPECT_EQ(decoded(bytesFromHex("0B 01")), nullptr);
    EXPECT_EQ(decoded(bytesFromHex("03 00")), nullptr);  // tag 3
    EXPECT_EQ(decoded(bytesFromHex("16 00")), nullptr);           // tag 22
    EXPECT_EQ(decoded(bytesFromHex("02 01 15 00 00")), nullptr);  // a file record of version 1
    EXPECT_NE(decoded(bytesFromHex("0B 00")), nullptr);
}

TEST(WireFormat, ReadingGivesEqualDistinctObjectsAndTheSharedNull) {
    AutoreleasePool pool;
    std::string bytes = bytesFromHex("0A 00 02 68 69");
    BaseObject* first = decoded(bytes);
    BaseObject* second = decoded(bytes);
    EXPECT_TRUE(first->isEqual(second));
    EXPECT_NE(first, second);
    EXPECT_EQ(decoded(bytesFromHex("0B 00")), sharedNull());
    auto* yes = static_cast<BaseNumber*>(decoded(bytesFromHex("0F 00 05")));
    EXPECT_EQ(yes->kind(), NumberBoolean);
    EXPECT_TRUE(yes->boolValue());
}

TEST(WireFormat, FailedMemberFailsTheWholeContainer) {
    AutoreleasePool pool;
    EXPECT_EQ(decoded(bytesFromHex("15 00 01 0A 00 01 61 03 00")), nullptr);   // bad value
    EXPECT_EQ(decoded(bytesFromHex("15 00 01 03 00 0A 00 01 61")), nullptr);   // bad key
    EXPECT_EQ(decoded(bytesFromHex("14 00 02 0B 00 0A 01 00")), nullptr);      // bad second member
    auto* replaced = static_cast<BaseDictionary*>(
        decoded(bytesFromHex("15 00 02 0A 00 01 61 0C 00 01 0A 00 01 61 0C 00 02")));
    ASSERT_NE(replaced, nullptr);
    EXPECT_EQ(replaced->count(), 1u);  // a later equal key replaces the value
    EXPECT_TRUE(BaseDictionary::objectForCStringKey(replaced, "a")->isEqual(createAutoreleased<BaseNumber>(2)));
}
