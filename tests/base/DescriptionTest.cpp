#include <gtest/gtest.h>

#include <string>

#include "base/AutoreleasePool.h"
#include "base/BaseArray.h"
#include "base/BaseString.h"
#include "base/Description.h"

namespace {

BaseString* str(const char* text, int64_t length = -1) { return createAutoreleased<BaseString>(text, length); }

std::string describe(const BaseObject* object, uint32_t flags) {
    BaseString* text = object->description(flags);
    return std::string(text->chars(), text->length());
}

BaseArray* arrayOfCopies(const char* text, int count) {
    auto* array = createAutoreleased<BaseArray>();
    for (int i = 0; i < count; ++i) array->addObject(str(text));
    return array;
}

}  // namespace

TEST(StringDescription, StylesQuoteAndEscape) {
    AutoreleasePool pool;
    EXPECT_EQ(describe(str("ab"), StylePlain), "\"ab\"");
    EXPECT_EQ(describe(str("a\tb\"c"), StyleJSON), "\"a\\tb\\\"c\"");
    EXPECT_EQ(describe(str("\b\n\r\\"), StyleJSON), "\"\\b\\n\\r\\\\\"");
    BaseString* control = str("x\x01y\x1F");
    EXPECT_EQ(describe(control, StyleJSON), "\"x\\u0001y\\u001F\"");
    EXPECT_EQ(describe(control, StyleLua), "\"x\\001y\\031\"");
    EXPECT_EQ(describe(control, StylePlain), "\"x\x01y\x1F\"");
    EXPECT_EQ(describe(str("\xC3\xA9\x7F"), StyleJSON), "\"\xC3\xA9\x7F\"");  // UTF-8 and DEL pass
    EXPECT_EQ(describe(str("a<b&c>"), StyleXMLPlist), "<string>a&lt;b&amp;c&gt;</string>");
    EXPECT_EQ(describe(str("a\nb\rc"), StyleXMLPlist), "<string>a&#10;b&#13;c</string>");
    EXPECT_EQ(describe(str("ab"), 6), "\"ab\"");
}

TEST(StringDescription, BareStyleIsTheStringItself) {
    AutoreleasePool pool;
    BaseString* s = str("ab");
    EXPECT_EQ(s->description(StyleBare), s);
    EXPECT_EQ(describe(s, StyleBare | DescriptionFlag::ClassName), "// BaseString \nab");
}

TEST(StringDescription, EmbeddedNulSurvivesPlainStyle) {
    AutoreleasePool pool;
    EXPECT_EQ(describe(str("a\0b", 3), StylePlain), std::string("\"a\0b\"", 5));
}

TEST(ArrayDescription, EmptyAndCompact) {
    AutoreleasePool pool;
    BaseArray empty;
    EXPECT_EQ(describe(&empty, StylePlain), "ARRAY (  )");
    EXPECT_EQ(describe(&empty, StylePlain | DescriptionFlag::Compact), "ARRAY ()");
    BaseArray* two = arrayOfCopies("a", 2);
    EXPECT_EQ(describe(two, StyleJSON | DescriptionFlag::Compact), "[\"a\",\"a\"]");
    EXPECT_EQ(describe(two, StyleJSON), "[ \"a\", \"a\" ]");
    EXPECT_EQ(describe(two, StyleLua), "{ \"a\", \"a\" }");
    EXPECT_EQ(describe(two, StyleBare), " a, a ");
    EXPECT_EQ(describe(two, StyleXMLPlist), "<array> <string>a</string> <string>a</string> </array>");
}

TEST(ArrayDescription, TwelveShortElementsStayOnOneLineTwentyDoNot) {
    AutoreleasePool pool;
    // Each element renders as three bytes ("a" with its quotes): 5 counted per element, over 60 at the 13th.
    std::string twelve = describe(arrayOfCopies("a", 12), StylePlain);
    EXPECT_EQ(twelve.find('\n'), std::string::npos);
    std::string thirteen = describe(arrayOfCopies("a", 13), StylePlain);
    EXPECT_EQ(thirteen.rfind("ARRAY (\n  \"a\",\n  \"a\",", 0), 0u);
    EXPECT_EQ(thirteen.substr(thirteen.size() - 7), "  \"a\"\n)");
}

TEST(ArrayDescription, NestedCollectionsIndentTwoSpacesPerLevel) {
    AutoreleasePool pool;
    auto* outer = createAutoreleased<BaseArray>();
    outer->addObject(arrayOfCopies("a", 13));
    std::string text = describe(outer, StyleJSON);
    EXPECT_EQ(text.rfind("[\n  [\n    \"a\",\n", 0), 0u);
    EXPECT_NE(text.find("\n  ]\n]"), std::string::npos);
}

TEST(DescriptionHeader, CountClassNameAndLockMarker) {
    AutoreleasePool pool;
    BaseArray* three = arrayOfCopies("a", 3);
    uint32_t header = DescriptionFlag::ClassName | DescriptionFlag::EntryCount;
    EXPECT_EQ(describe(three, StylePlain | header).rfind("BaseArray 3 entries  :\nARRAY (", 0), 0u);
    EXPECT_EQ(describe(three, StyleJSON | header).rfind("// BaseArray 3 entries \n[", 0), 0u);
    EXPECT_EQ(describe(three, StyleLua | header).rfind("-- BaseArray 3 entries \n{", 0), 0u);
    EXPECT_EQ(describe(three, StyleXMLPlist | header).rfind("<!-- BaseArray 3 entries -->\n<array>", 0), 0u);

    EXPECT_EQ(describe(three, DescriptionFlag::LockMarker), "ARRAY ( \"a\", \"a\", \"a\" )");
    BaseArray locked(LockableForm{});
    EXPECT_EQ(describe(&locked, DescriptionFlag::LockMarker), "M :\nARRAY (  )");
    // A string is not a collection: no count, no marker, so no header at all.
    EXPECT_EQ(describe(str("x"), DescriptionFlag::EntryCount | DescriptionFlag::LockMarker), "\"x\"");
}

TEST(DescriptionHeader, AddressHashAndRetainCount) {
    AutoreleasePool pool;
    BaseString* s = str("abc");
    char expected[64];
    std::snprintf(expected, sizeof(expected), "@%016llX H`%08X RC=1  :\n\"abc\"",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(s)), 200823u);
    uint32_t flags = DescriptionFlag::Address | DescriptionFlag::Hash | DescriptionFlag::RetainCount;
    EXPECT_EQ(describe(s, flags), expected);
}
