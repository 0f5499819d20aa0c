#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "base/AutoreleasePool.h"
#include "base/BaseNumber.h"
#include "base/BaseString.h"
#include "base/Description.h"

namespace {

template <class T>
BaseNumber* num(T value) {
    return createAutoreleased<BaseNumber>(value);
}

std::string describe(const BaseObject* object, uint32_t flags) {
    BaseString* text = object->description(flags);
    return std::string(text->chars(), text->length());
}

constexpr double Infinity = std::numeric_limits<double>::infinity();
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

}  // namespace

TEST(NumberConversion, KindsConvertOnRequest) {
    AutoreleasePool pool;
    EXPECT_EQ(num(3.9)->int32Value(), 3);
    EXPECT_EQ(num(-3.9)->int32Value(), -3);
    EXPECT_EQ(num(-3.9)->int64Value(), -3);
    EXPECT_EQ(num(int64_t{1} << 40)->int32Value(), 0);  // the low 32 bits
    EXPECT_EQ(num(int64_t{(1LL << 40) + 5})->int32Value(), 5);
    EXPECT_DOUBLE_EQ(num(7)->doubleValue(), 7.0);
    EXPECT_EQ(num(BooleanByte{200})->int32Value(), 200);
    EXPECT_DOUBLE_EQ(num(BooleanByte{200})->doubleValue(), 200.0);
    EXPECT_TRUE(num(BooleanByte{200})->boolValue());
    EXPECT_TRUE(num(NaN)->boolValue());
    EXPECT_FALSE(num(0.0)->boolValue());
    EXPECT_FALSE(num(-0.0)->boolValue());
    EXPECT_TRUE(num(-1)->boolValue());
    EXPECT_EQ(num(true)->kind(), NumberBoolean);
}

TEST(NumberConversion, RealsOutOfRangeGiveTheLowestValue) {
    AutoreleasePool pool;
    EXPECT_EQ(num(3e9)->int32Value(), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(num(-3e9)->int32Value(), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(num(1e19)->int64Value(), std::numeric_limits<int64_t>::min());
    EXPECT_EQ(num(NaN)->int32Value(), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(num(Infinity)->int64Value(), std::numeric_limits<int64_t>::min());
    EXPECT_EQ(num(2147483647.9)->int32Value(), 2147483647);
    EXPECT_EQ(num(-2147483648.9)->int32Value(), std::numeric_limits<int32_t>::min());
}

TEST(NumberEquality, AcrossKindsNumericallyWithinAKindBitForBit) {
    AutoreleasePool pool;
    EXPECT_TRUE(num(1)->isEqual(num(1.0)));
    EXPECT_TRUE(num(1.0)->isEqual(num(true)));
    EXPECT_FALSE(num(0.0)->isEqual(num(-0.0)));
    EXPECT_TRUE(num(NaN)->isEqual(num(NaN)));         // the identical NaN
    EXPECT_FALSE(num(NaN)->isEqual(num(int64_t{0})));  // across kinds NaN is unordered
    EXPECT_FALSE(num(1)->isEqual(createAutoreleased<BaseString>("1")));
    EXPECT_NE(num(1)->hash(), num(1.0)->hash());
    EXPECT_EQ(num(0)->hash(), 0u);
}

TEST(NumberCompare, SignedIntegersUnsignedBooleansDoublesAcross) {
    AutoreleasePool pool;
    EXPECT_EQ(num(2)->compare(num(2.5)), -1);
    EXPECT_EQ(num(-5)->compare(num(3)), -1);
    EXPECT_EQ(num(int64_t{1} << 62)->compare(num((int64_t{1} << 62) + 1)), -1);  // beyond double precision
    EXPECT_EQ(num(BooleanByte{200})->compare(num(BooleanByte{1})), 1);
    EXPECT_EQ(num(3.0)->compare(num(3)), 0);
    EXPECT_EQ(num(NaN)->compare(num(1.0)), 0);
    EXPECT_EQ(num(1)->compare(createAutoreleased<BaseString>("1")), 1);  // "BaseNumber" sorts first
}

TEST(NumberCopy, KeepsKindAndAll64Bits) {
    AutoreleasePool pool;
    auto* copy = static_cast<BaseNumber*>(num(int64_t{1} << 40)->copy(0));
    EXPECT_EQ(copy->kind(), NumberInteger);
    EXPECT_EQ(copy->int64Value(), int64_t{1} << 40);
    EXPECT_EQ(copy->retainCount(), 1);
    release(copy);
}

TEST(NumberDescription, TextsByKindAndStyle) {
    AutoreleasePool pool;
    for (uint32_t style : {StylePlain, StyleJSON, StyleLua, StyleBare}) EXPECT_EQ(describe(num(5), style), "5");
    EXPECT_EQ(describe(num(5), StyleXMLPlist), "<integer>5</integer>");
    EXPECT_EQ(describe(num(0.1), StylePlain), "0.1");
    EXPECT_EQ(describe(num(1.0 / 3.0), StyleJSON), "0.333333333333333");
    EXPECT_EQ(describe(num(1e20), StyleJSON), "1e+20");
    EXPECT_EQ(describe(num(1e20), StylePlain), "1e+20");
    EXPECT_EQ(describe(num(0.5), StyleXMLPlist), "<real>0.5</real>");
    EXPECT_EQ(describe(num(Infinity), StyleJSON), "9e9999");
    EXPECT_EQ(describe(num(-Infinity), StyleJSON), "-9e9999");
    EXPECT_EQ(describe(num(NaN), StyleJSON), "null");
    EXPECT_EQ(describe(num(true), StylePlain), "true");
    EXPECT_EQ(describe(num(false), StyleLua), "false");
    EXPECT_EQ(describe(num(true), StyleXMLPlist), "<true />");
    EXPECT_EQ(describe(num(int64_t{-1} << 40), StylePlain), "-1099511627776");
    EXPECT_EQ(describe(num(5), StylePlain | DescriptionFlag::ClassName), "BaseNumber  :\n5");
}
