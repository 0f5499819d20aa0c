// Which received objects ask for a position report: a dictionary whose "cmd_id" is a string that the "%d"
// conversion reads as 1.
#include <gtest/gtest.h>

#include "base/AutoreleasePool.h"
#include "base/BaseArray.h"
#include "base/BaseNumber.h"
#include "base/BaseString.h"
#include "base/BaseTypedDictionary.h"
#include "io/BaseBuffer.h"
#include "plugin/GPSBridge.h"
#include "serialization/BaseSerializer.h"

namespace {

BaseString* str(const char* text) { return createAutoreleased<BaseString>(text); }

BaseDictionary* requestWith(BaseObject* command) {
    auto* request = createAutoreleased<BaseDictionary>();
    request->setObjectForKey(command, str("cmd_id"));
    return request;
}

bool commandTextAsks(const char* text) { return GPSBridge::isPositionRequest(requestWith(str(text))); }

}  // namespace

TEST(PositionRequest, CommandTextsThatReadAsOneAsk) {
    AutoreleasePool pool;
    for (const char* text : {"1", "  1", "\t\n1", "+1", "0001", "1abc", "1 2", "1.5"}) {
        EXPECT_TRUE(commandTextAsks(text)) << '"' << text << '"';
    }
}

TEST(PositionRequest, CommandTextsThatDoNotReadAsOneAreIgnored) {
    AutoreleasePool pool;
    for (const char* text : {"2", "0", "", "a1", "-1", " ", "x", "11"}) {
        EXPECT_FALSE(commandTextAsks(text)) << '"' << text << '"';
    }
}

TEST(PositionRequest, OnlyAStringCommandInADictionaryCounts) {
    AutoreleasePool pool;
    EXPECT_FALSE(GPSBridge::isPositionRequest(requestWith(createAutoreleased<BaseNumber>(int32_t{1}))));
    EXPECT_FALSE(GPSBridge::isPositionRequest(requestWith(createAutoreleased<BaseNumber>(1.0))));
    EXPECT_FALSE(GPSBridge::isPositionRequest(createAutoreleased<BaseDictionary>()));
    EXPECT_FALSE(GPSBridge::isPositionRequest(nullptr));
    EXPECT_FALSE(GPSBridge::isPositionRequest(str("1")));

    auto* array = createAutoreleased<BaseArray>();
    array->addObject(str("1"));
    EXPECT_FALSE(GPSBridge::isPositionRequest(array));

    auto* otherKey = createAutoreleased<BaseDictionary>();
    otherKey->setObjectForKey(str("1"), str("cmd"));
    EXPECT_FALSE(GPSBridge::isPositionRequest(otherKey));
}

TEST(PositionRequest, TypedDictionaryPassesAsADictionaryAndOtherKeysAreIgnored) {
    AutoreleasePool pool;
    auto* request = createAutoreleased<BaseTypedDictionary<BaseString>>();
    request->setObjectForKey(str("1"), str("cmd_id"));
    request->setObjectForKey(str("9"), str("other"));
    EXPECT_TRUE(GPSBridge::isPositionRequest(request));
}

// Connections answer the usual request by its bytes without decoding it: the decoder must judge those bytes
// a position request, and nothing may follow the one record.
TEST(PositionRequest, TheUsualRequestsBytesDecodeToAPositionRequest) {
    AutoreleasePool pool;
    std::string_view bytes = GPSBridge::usualPositionRequest();
    auto* buffer = createAutoreleased<BaseBuffer>();
    buffer->append(bytes.data(), bytes.size());
    auto* decoder = createAutoreleased<BaseSerializer>(buffer);
    EXPECT_TRUE(GPSBridge::isPositionRequest(decoder->readObject()));
    EXPECT_EQ(buffer->position(), static_cast<int64_t>(bytes.size()));
}
