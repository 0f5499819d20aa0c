#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "base/AutoreleasePool.h"
#include "base/BaseArray.h"
#include "base/StringFormat.h"

namespace {

template <class... Args>
std::string format(const char* pattern, const Args&... args) {
    AutoreleasePool pool;
    BaseString* result = stringWithFormat(pattern, args...);
    return std::string(result->chars(), result->length());
}

BaseString* str(const char* text) { return createAutoreleased<BaseString>(text); }

}  // namespace

TEST(FormatIntegers, WidthsFollowTheSizeClass) {
    EXPECT_EQ(format("%d", 5), "5");
    EXPECT_EQ(format("%lld", 1LL << 40), "1099511627776");
    EXPECT_EQ(format("%Ld", 1LL << 40), "1099511627776");
    EXPECT_EQ(format("%ld", (1LL << 40) + 7), "7");  // "l" alone reads the low 32 bits
    EXPECT_EQ(format("%i|%u|%x|%X|%o", -3, 4000000000u, 255, 255, 8), "-3|4000000000|ff|FF|10");
    EXPECT_EQ(format("%llx", 0xFFFFFFFFFFFFFFFFull), "ffffffffffffffff");
    EXPECT_EQ(format("%hd", 70000), "4464");
    EXPECT_EQ(format("%05d|%-4d|%+d", 42, 7, 3), "00042|7   |+3");
    EXPECT_EQ(format("%c%c", 'o', 'k'), "ok");
    EXPECT_EQ(format("a%cb", 0), "ab");  // the conversion's text ends at its NUL
}

TEST(FormatReals, StandardConversions) {
    EXPECT_EQ(format("%.2f", 3.14159), "3.14");
    EXPECT_EQ(format("%g", 0.5), "0.5");
    EXPECT_EQ(format("%.15g", 1.0 / 3.0), "0.333333333333333");
    EXPECT_EQ(format("%e", 1500.0), "1.500000e+03");
    EXPECT_EQ(format("%f", 2.0f), "2.000000");
    EXPECT_EQ(format("%99.99f", 1e300).size(), 401u);  // the largest result still fits
}

TEST(FormatStrings, WidthPrecisionAndNull) {
    AutoreleasePool pool;
    EXPECT_EQ(format("%5S", str("ab")), "   ab");
    EXPECT_EQ(format("%-5s|", "ab"), "ab   |");
    std::string longText(150, 'x');
    longText[0] = 'a';
    EXPECT_EQ(format("%s", longText.c_str()), longText);
    EXPECT_EQ(format("%.3s", longText.c_str()), "axx");
    EXPECT_EQ(format("%S", static_cast<BaseString*>(nullptr)), "(null)");
    EXPECT_EQ(format("%@", static_cast<BaseObject*>(nullptr)), "(null)");
    EXPECT_EQ(format("%s", static_cast<const char*>(nullptr)), "(null)");
}

TEST(FormatObjects, AtSignUsesTheLuaDescription) {
    AutoreleasePool pool;
    EXPECT_EQ(format("%@", str("a\"b")), "\"a\\\"b\"");
    auto* array = createAutoreleased<BaseArray>();
    array->addObject(str("x"));
    EXPECT_EQ(format("%@", array), "{ \"x\" }");
}

TEST(FormatPlaceholders, PathUuidAndInt64) {
    AutoreleasePool pool;
    BaseString* target = str("a");
    appendFormat(target, "%P", str("b"));
    EXPECT_STREQ(target->chars(), "a/b");
    BaseString* slashed = str("a/");
    appendFormat(slashed, "%P", str("b"));
    EXPECT_STREQ(slashed->chars(), "a/b");
    appendFormat(slashed, "%P", static_cast<BaseString*>(nullptr));
    EXPECT_STREQ(slashed->chars(), "a/b");

    unsigned char uuid[16];
    for (int i = 0; i < 16; ++i) uuid[i] = static_cast<unsigned char>(i);
    EXPECT_EQ(format("%U", uuid), "03020100-0504-0706-0809-0A0B0C0D0E0F");

    EXPECT_EQ(format("%t", int64_t{-1}), "-1");
    EXPECT_EQ(format("%12t", int64_t{-1}), "-1");
    EXPECT_EQ(format("%t", int64_t{1} << 40), "1099511627776");
}

TEST(FormatPlaceholders, PointerIsSixteenUppercaseDigits) {
    EXPECT_EQ(format("%p", reinterpret_cast<void*>(0xABCDEF)), "0000000000ABCDEF");
    EXPECT_EQ(format("%p", nullptr), "0000000000000000");
}

TEST(FormatText, PercentSignsAndUnknownConversions) {
    EXPECT_EQ(format("100%%"), "100%");
    EXPECT_EQ(format("%%d", 5), "%d");
    // A conversion outside the table appends nothing and consumes no argument.
    EXPECT_EQ(format("%k%d", 9), "9");
    // A third width digit becomes the conversion character; the rest is text.
    EXPECT_EQ(format("%123d|%d", 4), "d|4");
    EXPECT_EQ(format("end%"), "end");
    EXPECT_EQ(format("end%-5"), "end");
}

TEST(FormatText, MissingArgumentsReadAsZero) {
    EXPECT_EQ(format("%d %s %S", 1), "1 (null) (null)");
}

TEST(FormatText, InitWithFormatReplacesTheContents) {
    BaseString onStack("previous contents that lived on the heap");
    initWithFormat(&onStack, "%d-%d", 1, 2);
    EXPECT_STREQ(onStack.chars(), "1-2");
    EXPECT_TRUE(onStack.isInline());
}
