#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>

#include "ExternalTool.h"
#include "base/AutoreleasePool.h"
#include "base/BaseArray.h"
#include "base/BaseDate.h"
#include "base/BaseNull.h"
#include "base/BaseNumber.h"
#include "base/BaseString.h"
#include "base/Description.h"

namespace {

std::string describe(const BaseObject* object, uint32_t flags) {
    BaseString* text = object->description(flags);
    return std::string(text->chars(), text->length());
}

BaseDate* date(double value) { return createAutoreleased<BaseDate>(value); }

}  // namespace

TEST(NullObject, OneInstanceEqualToEveryZeroHash) {
    AutoreleasePool pool;
    BaseNull* null = sharedNull();
    EXPECT_EQ(null, sharedNull());
    EXPECT_STREQ(null->className(), "BaseNull");
    EXPECT_EQ(null->hash(), 0u);
    EXPECT_TRUE(null->isEqual(createAutoreleased<BaseNumber>(0)));
    EXPECT_TRUE(null->isEqual(createAutoreleased<BaseNumber>(false)));
    EXPECT_TRUE(null->isEqual(createAutoreleased<BaseArray>()));
    EXPECT_FALSE(null->isEqual(createAutoreleased<BaseNumber>(1)));
    int32_t before = null->retainCount();
    EXPECT_EQ(null->copy(0), null);
    EXPECT_EQ(null->retainCount(), before + 1);
    release(null);
}

TEST(NullObject, TextsByStyle) {
    AutoreleasePool pool;
    const char* expected[] = {"NULL", "null", "nil", "<BaseNull/>", "null", "NULL"};
    for (uint32_t style = 0; style < 6; ++style) EXPECT_EQ(describe(sharedNull(), style), expected[style]);
}

TEST(DateCalendar, EpochAndKnownTimes) {
    AutoreleasePool pool;
    EXPECT_EQ(describe(date(0), StylePlain), "Thu, 01 Jan 1970 00:00:00 GMT");
    EXPECT_EQ(describe(date(0), StyleXMLPlist), "<date>1970-01-01T00:00:00Z</date>");
    EXPECT_EQ(describe(date(0), StyleJSON), "0");
    EXPECT_EQ(describe(date(1000000000.25), StylePlain), "Sun, 09 Sep 2001 01:46:40 GMT");
    EXPECT_EQ(describe(date(1000000000.25), StyleLua), "1000000000.25");

    BaseDate* quarter = date(1000000000.25);
    quarter->fillCalendar();
    EXPECT_EQ(quarter->millisecond(), 250);

    BaseDate* beforeEpoch = date(-0.5);
    beforeEpoch->fillCalendar();
    EXPECT_EQ(beforeEpoch->year(), 1969u);
    EXPECT_EQ(beforeEpoch->month(), 12);
    EXPECT_EQ(beforeEpoch->day(), 31);
    EXPECT_EQ(beforeEpoch->hour(), 23);
    EXPECT_EQ(beforeEpoch->second(), 59);
    EXPECT_EQ(beforeEpoch->millisecond(), 500);
    EXPECT_EQ(beforeEpoch->weekday(), 3);
}

TEST(DateCalendar, LeapDays) {
    AutoreleasePool pool;
    EXPECT_EQ(describe(date(951782400), StylePlain), "Tue, 29 Feb 2000 00:00:00 GMT");
    EXPECT_EQ(describe(date(951868800), StylePlain), "Wed, 01 Mar 2000 00:00:00 GMT");
    EXPECT_EQ(describe(date(-2203977600.0), StylePlain), "Wed, 28 Feb 1900 00:00:00 GMT");
    EXPECT_EQ(describe(date(-2203891200.0), StylePlain), "Thu, 01 Mar 1900 00:00:00 GMT");
}

TEST(DateCalendar, OutOfRangeTimesGiveADefinedResult) {
    AutoreleasePool pool;
    EXPECT_EQ(describe(date(-1e12), StylePlain), "Sat, 01 Jan 1600 00:00:00 GMT");
    EXPECT_EQ(describe(date(std::nan("")), StyleXMLPlist), "<date>1600-01-01T00:00:00Z</date>");
    EXPECT_FALSE(describe(date(1e300), StylePlain).empty());
}

TEST(DateCalendar, PlainStyleMatchesAnIndependentRfc1123Formatter) {
    if (!toolAvailable("python3")) GTEST_SKIP() << "python3 is not installed: no independent RFC 1123 formatter";
    AutoreleasePool pool;
    std::vector<double> times = {0, 1000000000.25, -0.5, 951782400, 951868800, -2203891200.0, 4102444799.0,
                                 -5364662400.0, 253402300799.0, 1234567890.999};
    for (double t = -8e9; t < 8e9; t += 123456789.75) times.push_back(t);
    std::ostringstream input, ours;
    input.precision(17);
    for (double t : times) {
        input << t << "\n";
        ours << describe(date(t), StylePlain) << "\n";
    }
    ToolResult judged = runTool(
        "python3 -c 'import sys, email.utils\n"
        "for line in sys.stdin: print(email.utils.formatdate(float(line), usegmt=True))'",
        input.str());
    ASSERT_EQ(judged.exitCode, 0) << judged.output;
    EXPECT_EQ(judged.output, ours.str());
}

TEST(DateCompare, EqualValuesOnlyAmongDates) {
    AutoreleasePool pool;
    EXPECT_TRUE(date(5)->isEqual(date(5)));
    EXPECT_FALSE(date(5)->isEqual(createAutoreleased<BaseNumber>(5.0)));
    EXPECT_FALSE(date(std::nan(""))->isEqual(date(std::nan(""))));
    EXPECT_EQ(date(1)->compare(date(2)), -1);
    EXPECT_EQ(date(2)->compare(date(1)), 1);
    EXPECT_EQ(date(0)->hash(), 0u);
    EXPECT_EQ(date(0)->copy(0), nullptr);
}
