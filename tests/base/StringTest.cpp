#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

#include "base/AutoreleasePool.h"
#include "base/BaseString.h"
#include "base/BaseTypedArray.h"

namespace {

BaseString* str(const char* text) { return createAutoreleased<BaseString>(text); }

std::string text(const BaseString* string) { return std::string(string->chars(), string->length()); }

std::string parts(const BaseTypedArray<BaseString>* array) {
    std::string result;
    for (uint32_t i = 0; i < array->count(); ++i) result += "[" + text(array->objectAtIndex(i)) + "]";
    return result;
}

}  // namespace

TEST(StringHash, KnownValuesAndCompileTimeLiteral) {
    static_assert(""_lit.hash == 1);
    static_assert("abc"_lit.hash == 200823);
    static_assert("cmd_id"_lit.length == 6);
    AutoreleasePool pool;
    EXPECT_EQ(str("")->hash(), 1u);
    EXPECT_EQ(str("abc")->hash(), 200823u);
    EXPECT_EQ(hashBytes("abc"), 200823u);
    constexpr StringLiteral key = "Protocol_Version"_lit;
    EXPECT_EQ(key.hash, str("Protocol_Version")->hash());
    BaseString* constant = constantString(key);
    EXPECT_TRUE(constant->isBorrowed());
    EXPECT_EQ(constant->chars(), key.chars);
}

TEST(StringHash, LongStringsSampleEvenPositionsOnly) {
    AutoreleasePool pool;
    std::string forty(40, 'a');
    uint32_t base = str(forty.c_str())->hash();
    std::string changedOdd = forty;
    changedOdd[1] = 'z';
    EXPECT_EQ(str(changedOdd.c_str())->hash(), base);
    std::string changedEven = forty;
    changedEven[2] = 'z';
    EXPECT_NE(str(changedEven.c_str())->hash(), base);
}

TEST(StringHash, EveryChangeForgetsTheCachedHash) {
    AutoreleasePool pool;
    BaseString* s = str("ab");
    uint32_t before = s->hash();
    s->appendCharacter('c');
    EXPECT_EQ(s->hash(), 200823u);
    s->truncateBy(1);
    EXPECT_EQ(s->hash(), before);
    s->setBytes("abc");
    EXPECT_EQ(s->hash(), 200823u);
}

TEST(StringStorage, EmptyIsInlineWithNonZeroCapacityField) {
    BaseString empty;
    EXPECT_EQ(empty.length(), 0u);
    EXPECT_TRUE(empty.isInline());
    EXPECT_FALSE(empty.isBorrowed());
    EXPECT_NE(empty.capacityField(), 0u);
    EXPECT_EQ(empty.chars()[0], '\0');
}

TEST(StringStorage, SevenBytesStayInlineTheEighthMovesToSixteenHeapBytes) {
    BaseString s("1234567");
    EXPECT_TRUE(s.isInline());
    s.appendCharacter('8');
    EXPECT_FALSE(s.isInline());
    EXPECT_EQ(s.capacityField(), 16u);
    EXPECT_STREQ(s.chars(), "12345678");
    for (int i = 0; i < 9; ++i) s.appendCharacter('x');
    EXPECT_EQ(s.capacityField(), 32u);  // small increments double
    EXPECT_EQ(s.length(), 17u);
}

TEST(StringStorage, ConstantBytesAreNeverWritten) {
    static char bytes[] = "const";
    StringLiteral literal{bytes, 5, stringHash(bytes, 5)};
    AutoreleasePool pool;
    BaseString* s = constantString(literal);
    EXPECT_EQ(s->hash(), stringHash("const", 5));
    s->appendBytes("ant");
    EXPECT_STREQ(bytes, "const");
    EXPECT_STREQ(s->chars(), "constant");
    EXPECT_FALSE(s->isBorrowed());

    BaseString* truncated = constantString(literal);
    truncated->truncateBy(2);
    EXPECT_STREQ(bytes, "const");
    EXPECT_EQ(text(truncated), "con");
}

TEST(StringStorage, AppendingBytesFromItsOwnBufferIsSafe) {
    BaseString s("abcdefg");
    s.appendBytes(s.chars(), 7);  // inline source, the append moves it to the heap
    EXPECT_STREQ(s.chars(), "abcdefgabcdefg");
    s.appendBytes(s.chars() + 2, 3);
    EXPECT_STREQ(s.chars(), "abcdefgabcdefgcde");
    s.appendString(&s);
    EXPECT_EQ(text(&s), "abcdefgabcdefgcdeabcdefgabcdefgcde");
    s.setBytes(s.chars() + 3, 4);
    EXPECT_STREQ(s.chars(), "defg");
    s.appendPathComponent(&s);
    EXPECT_STREQ(s.chars(), "defg/defg");
}

TEST(StringStorage, LengthForWritingAndReserve) {
    BaseString s;
    char* bytes = s.setLengthForWriting(20);
    std::memset(bytes, 'q', 20);
    EXPECT_EQ(s.length(), 20u);
    EXPECT_EQ(s.chars()[20], '\0');
    EXPECT_EQ(std::string(s.chars()), std::string(20, 'q'));
    BaseString reserved(ReserveBytes{100});
    EXPECT_GE(reserved.capacityField(), 101u);
    EXPECT_EQ(reserved.length(), 0u);
    reserved.resetToEmpty();
    EXPECT_TRUE(reserved.isInline());
}

TEST(StringCompare, EqualityAndByteOrder) {
    AutoreleasePool pool;
    EXPECT_TRUE(str("abc")->isEqual(str("abc")));
    EXPECT_FALSE(str("abc")->isEqual(str("abd")));
    EXPECT_FALSE(str("abc")->isEqual(nullptr));
    EXPECT_EQ(str("abc")->compare(str("abd")), -1);
    EXPECT_EQ(str("abc")->compare(str("ab")), 1);
    EXPECT_EQ(str("ab")->compare(str("abc")), -1);
    EXPECT_EQ(str("abc")->compare(str("abc")), 0);
    EXPECT_EQ(str("\xE9")->compare(str("e")), 1);  // bytes compare unsigned
    // Bytes after an embedded NUL still count.
    BaseString* a = createAutoreleased<BaseString>("x\0a", 3);
    BaseString* b = createAutoreleased<BaseString>("x\0b", 3);
    EXPECT_FALSE(a->isEqual(b));
    EXPECT_EQ(a->compare(b), -1);
}

TEST(StringCopy, CopyIsOwnedByTheCallerWithTheSameHash) {
    AutoreleasePool pool;
    BaseString* original = str("hello");
    uint32_t hash = original->hash();
    auto* copy = static_cast<BaseString*>(original->copy(5));
    EXPECT_EQ(copy->retainCount(), 1);
    EXPECT_NE(copy, original);
    EXPECT_TRUE(copy->isEqual(original));
    EXPECT_EQ(copy->hash(), hash);
    release(copy);
    EXPECT_TRUE(BaseString::stringWithString(original)->isEqual(original));
}

TEST(StringReading, IntValueAndIdentifier) {
    AutoreleasePool pool;
    EXPECT_EQ(str("12abc")->intValue(), 12);
    EXPECT_EQ(str("abc")->intValue(), 0);
    EXPECT_EQ(str("  -42")->intValue(), -42);
    EXPECT_EQ(str("+7")->intValue(), 7);
    EXPECT_EQ(str("")->intValue(), 0);
    EXPECT_TRUE(str("_a1")->isIdentifier());
    EXPECT_TRUE(str("latitude")->isIdentifier());
    EXPECT_FALSE(str("1a")->isIdentifier());
    EXPECT_FALSE(str("my key")->isIdentifier());
    EXPECT_FALSE(str("")->isIdentifier());
}

TEST(StringPaths, AppendPathComponentPutsExactlyOneSlash) {
    AutoreleasePool pool;
    auto joinedPath = [](const char* a, const char* b) {
        BaseString* s = str(a);
        s->appendPathComponent(str(b));
        return text(s);
    };
    EXPECT_EQ(joinedPath("a", "b"), "a/b");
    EXPECT_EQ(joinedPath("a/", "/b"), "a/b");
    EXPECT_EQ(joinedPath("a/", "b"), "a/b");
    EXPECT_EQ(joinedPath("a", "/b"), "a/b");
    EXPECT_EQ(joinedPath("", "/b"), "/b");
}

TEST(StringPaths, ComponentsExtensionsAndParents) {
    AutoreleasePool pool;
    EXPECT_EQ(text(str("dir/file.txt")->lastPathComponent(false)), "file");
    EXPECT_EQ(text(str("dir/file.txt")->lastPathComponent(true)), "file.txt");
    EXPECT_EQ(text(str("dir.d/file")->lastPathComponent(false)), "file");
    EXPECT_EQ(text(str("plain")->lastPathComponent(false)), "plain");
    EXPECT_EQ(text(str("dir.d/file")->stringByDeletingPathExtension()), "dir");
    EXPECT_EQ(text(str("noext")->stringByDeletingPathExtension()), "noext");

    BaseString* drive = str("C:/");
    EXPECT_EQ(drive->stringByStrippingTrailingSlash(), drive);
    BaseString* root = str("/");
    EXPECT_EQ(root->stringByStrippingTrailingSlash(), root);
    BaseString* none = str("a");
    EXPECT_EQ(none->stringByStrippingTrailingSlash(), none);
    EXPECT_EQ(text(str("a//")->stringByStrippingTrailingSlash()), "a/");

    EXPECT_EQ(text(str("/a/b/")->stringByDeletingLastPathComponent()), "/a");
    EXPECT_EQ(text(str("file")->stringByDeletingLastPathComponent()), "");
    EXPECT_EQ(text(str("/file")->stringByDeletingLastPathComponent()), "");
}

TEST(StringSplit, SeparatorsLimitsAndEmptyParts) {
    AutoreleasePool pool;
    EXPECT_EQ(parts(str("a,,b")->componentsSeparatedBy(",")), "[a][][b]");
    EXPECT_EQ(parts(str("a,b,")->componentsSeparatedBy(",")), "[a][b][]");
    EXPECT_EQ(parts(str("a,b,c")->componentsSeparatedBy(",", 2)), "[a][b,c]");
    EXPECT_EQ(parts(str("a::b::c")->componentsSeparatedBy("::")), "[a][b][c]");
    EXPECT_EQ(parts(str("abc")->componentsSeparatedBy(",")), "[abc]");
    EXPECT_EQ(parts(str("abc")->componentsSeparatedBy(nullptr)), "[abc]");
    EXPECT_EQ(parts(str("abc")->componentsSeparatedBy("")), "[abc]");
    EXPECT_EQ(parts(str("")->componentsSeparatedBy(",")), "[]");
}

TEST(StringSplit, PartsBelongToTheArrayAndTheArrayToTheCallersPool) {
    AutoreleasePool pool;
    auto* result = str("x,y")->componentsSeparatedBy(",");
    EXPECT_EQ(pool.count(), 2u);  // the source string and the array
    EXPECT_EQ(result->objectAtIndex(0)->retainCount(), 1);
}

TEST(StringReplace, CharactersAndOccurrences) {
    AutoreleasePool pool;
    EXPECT_EQ(text(str("a.b.c")->stringByReplacingCharacter('.', '/')), "a/b/c");
    EXPECT_EQ(text(str("aaaa")->stringByReplacingOccurrences(str("aa"), str("b"))), "bb");
    EXPECT_EQ(text(str("xyz")->stringByReplacingOccurrences(str(""), str("b"))), "xyz");
    EXPECT_EQ(text(str("a-b")->stringByReplacingOccurrences(str("-"), str("--"))), "a--b");
    BaseString* replaced = str("a.b")->stringByReplacingCharacter('.', 'x');
    EXPECT_EQ(replaced->hash(), str("axb")->hash());
}

TEST(StringJoin, EachElementFollowedBySeparatorWithoutTheLast) {
    AutoreleasePool pool;
    auto* list = createAutoreleased<BaseTypedArray<BaseString>>();
    BaseString* target = str(">");
    target->appendStringsJoined(list, str(","));
    EXPECT_EQ(text(target), ">");
    list->addObject(str("a"));
    list->addObject(str("b"));
    target->appendStringsJoined(list, str(", "));
    EXPECT_EQ(text(target), ">a, b");
    target->appendStringsJoined(list, nullptr);
    EXPECT_EQ(text(target), ">a, bab");
}

TEST(StringUnicode, Utf16RoundTrip) {
    AutoreleasePool pool;
    const char* source = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";  // a, e-acute, euro, an emoji
    BaseString* s = str(source);
    const char16_t* units = s->utf16String();
    std::u16string expected = u"a\u00E9\u20AC\U0001F600";
    EXPECT_EQ(std::u16string(units), expected);
    BaseString back(units, -1);
    EXPECT_STREQ(back.chars(), source);
    BaseString counted(expected.data(), 2);
    EXPECT_STREQ(counted.chars(), "a\xC3\xA9");
}

TEST(StringUnicode, SurrogateRulesOfTheUtf16Conversion) {
    const char16_t highLast[] = {u'a', 0xD83D};
    EXPECT_STREQ(BaseString(highLast, 2).chars(), "a");
    const char16_t highThenOther[] = {u'a', 0xD83D, u'b', u'c'};
    EXPECT_STREQ(BaseString(highThenOther, 4).chars(), "a");
    const char16_t loneLow[] = {0xDC00, u'z'};
    EXPECT_STREQ(BaseString(loneLow, 2).chars(), "\xED\xB0\x80z");
    const char16_t withZero[] = {u'a', 0, u'b'};
    EXPECT_STREQ(BaseString(withZero, 3).chars(), "a");
}

TEST(StringUnicode, IllFormedUtf8EndsTheConversion) {
    AutoreleasePool pool;
    EXPECT_EQ(std::u16string(str("ab\x80z")->utf16String()), u"ab");
    EXPECT_EQ(std::u16string(str("a\xC3z")->utf16String()), u"a");
    EXPECT_EQ(std::u16string(str("a\xC0\x80z")->utf16String()), u"a");  // overlong NUL
    EXPECT_EQ(std::u16string(str("a\xE0\x80\xAFz")->utf16String()), u"a");
}

TEST(StringUnicode, AppendUnicodeCharacterWritesUtf8) {
    BaseString s;
    for (uint32_t c : {0x41u, 0xE9u, 0x20ACu, 0x1F600u}) s.appendUnicodeCharacter(c);
    EXPECT_STREQ(s.chars(), "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
}

TEST(StringUnicode, LowercaseMapsBeyondAscii) {
    AutoreleasePool pool;
    EXPECT_EQ(text(str("ABC xyz")->lowercaseString()), "abc xyz");
    EXPECT_EQ(text(str("\xC3\x89T\xC3\x89")->lowercaseString()), "\xC3\xA9t\xC3\xA9");     // ÉTÉ
    EXPECT_EQ(text(str("\xCE\xA3\xD0\x96")->lowercaseString()), "\xCF\x83\xD0\xB6");        // Σ Ж
    EXPECT_EQ(text(str("\xF0\x9F\x98\x80X")->lowercaseString()), "\xF0\x9F\x98\x80x");     // beyond U+FFFF
    EXPECT_EQ(text(str("AB\xFF" "CD")->lowercaseString()), "ab");                            // stops at bad bytes
}

TEST(StringShared, HashOfASharedStringFromManyThreads) {
    AutoreleasePool pool;
    BaseString* shared = str("a string hashed by several threads at once");
    uint32_t results[4] = {};
    std::thread threads[4];
    for (int i = 0; i < 4; ++i) threads[i] = std::thread([&, i] { results[i] = shared->hash(); });
    for (auto& thread : threads) thread.join();
    for (uint32_t h : results) EXPECT_EQ(h, stringHash(shared->chars(), shared->length()));
}
