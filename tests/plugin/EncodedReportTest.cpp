// The encoded report: the bytes every request of one generation is answered with must be exactly those the
// serializer writes for the report dictionary, for any values the simulator may hold, and must follow the
// snapshot's generation: reused while the values stay, encoded again once they change.
#include <gtest/gtest.h>

#include <iterator>
#include <limits>
#include <random>
#include <string>

#include "SimulatorFixture.h"
#include "base/AutoreleasePool.h"
#include "base/BaseDictionary.h"
#include "base/BitCast.h"
#include "io/BaseBuffer.h"
#include "plugin/EncodedReport.h"
#include "plugin/GPSBridge.h"
#include "plugin/PositionFields.h"
#include "serialization/BaseSerializer.h"

namespace {

// The one double the record form cannot carry: its byte-reversed bits are the smallest 64-bit integer.
const double Unencodable = bitCast<double>(uint64_t{0x80});

const double SpecialDoubles[] = {
    0.0, -0.0, std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::quiet_NaN(),
    bitCast<double>(uint64_t{0x7FF0000000000001}),  // a signalling NaN with a payload
    std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
    std::numeric_limits<double>::denorm_min(), -std::numeric_limits<double>::denorm_min(),
    bitCast<double>(uint64_t{0x000FFFFFFFFFFFFF}),  // the largest subnormal
    bitCast<double>(uint64_t{0x81}), bitCast<double>(uint64_t{0x8000000000000080}),  // beside the unencodable
    std::numeric_limits<double>::max(), std::numeric_limits<double>::lowest(), std::numeric_limits<double>::min(),
    1.0, -1.0, 46.5, 1e300};

// Any bit pattern, often one of the special values above.
double randomValue(std::mt19937_64& random, DatarefReading reading) {
    uint64_t pick = random();
    double value = pick % 3 == 0 ? SpecialDoubles[(pick >> 8) % std::size(SpecialDoubles)]
                                 : bitCast<double>(static_cast<uint64_t>(random()));
    if (reading == DatarefReading::Float && pick % 5 == 1) value = bitCast<float>(static_cast<uint32_t>(random()));
    return value;
}

// What the object path sends: the report dictionary through a serializer, or nothing when refused.
std::string objectPathBytes(GPSBridge* bridge) {
    AutoreleasePool pool;
    auto* buffer = createAutoreleased<BaseBuffer>();
    auto* writer = createAutoreleased<BaseSerializer>(buffer);
    if (!writer->writeObject(bridge->buildPositionReport())) return "(refused)";
    return std::string(buffer->bytes(), buffer->length());
}

std::string encodedBytes(GPSBridge* bridge) {
    EncodedReport* report = bridge->encodedPositionReport();
    std::string bytes = report->sendable() ? std::string(report->bytes(), report->length()) : "(refused)";
    release(report);
    return bytes;
}

void setEveryDataref(double value) {
    for (const PositionField& field : PositionFields) simulator().datarefs.set(field.dataref, value);
}

}  // namespace

using EncodedReportTest = SimulatorFixture;

TEST_F(EncodedReportTest, BytesAreThoseOfTheObjectPathForAnyValues) {
    std::mt19937_64 random(16);
    ASSERT_TRUE(startBridge());
    int refused = 0;
    for (int round = 0; round < 2000; ++round) {
        for (const PositionField& field : PositionFields) {
            simulator().datarefs.set(field.dataref, randomValue(random, field.reading));
        }
        // Now and then a double field holds the value the form cannot carry.
        if (round % 50 == 7) simulator().datarefs.set(PositionFields[round % 3].dataref, Unencodable);
        runFrame();
        std::string expected = objectPathBytes(bridge);
        refused += expected == "(refused)";
        ASSERT_EQ(encodedBytes(bridge), expected) << "round " << round;
    }
    EXPECT_GE(refused, 40);
}

TEST_F(EncodedReportTest, EncodedOncePerGenerationAndAgainWhenTheValuesChange) {
    setEveryDataref(1.5);
    ASSERT_TRUE(startBridge());
    EncodedReport* first = bridge->encodedPositionReport();
    runFrame();  // the same values: the same generation
    EncodedReport* again = bridge->encodedPositionReport();
    EXPECT_EQ(again, first);
    // -0.0 after 0.0 is a change, though the two compare equal as numbers.
    setEveryDataref(0.0);
    runFrame();
    EncodedReport* zero = bridge->encodedPositionReport();
    simulator().datarefs.set(PositionFields[0].dataref, -0.0);
    runFrame();
    EncodedReport* negativeZero = bridge->encodedPositionReport();
    EXPECT_NE(zero, first);
    EXPECT_NE(negativeZero, zero);
    EXPECT_GT(negativeZero->generation(), zero->generation());
    EXPECT_EQ(encodedBytes(bridge), objectPathBytes(bridge));
    for (EncodedReport* report : {first, again, zero, negativeZero}) release(report);
}
