#include "base/Description.h"

#include <cstring>

#include "base/BaseArray.h"
#include "base/BaseString.h"
#include "base/StringFormat.h"

namespace {

constexpr uint64_t OneLineLimit = 60;

constexpr CollectionPunctuation ArrayRows[] = {
    {"ARRAY (", ")", ",", ""},
    {"[", "]", ",", ""},
    {"{", "}", ",", ""},
    {"<array>", "</array>", "", ""},
    {"", "", ",", ""},
};

constexpr CollectionPunctuation DictionaryRows[] = {
    {"DICTIONARY (", ")", ",", "->"},
    {"{", "}", ",", ":"},
    {"{", "}", ",", "="},
    {"<dict>", "</dict>", "", ""},
    {"{", "}", ",", ":"},
};

constexpr const char* HeaderWrappers[] = {"%S :\n", "// %S\n", "-- %S\n", "<!-- %S-->\n", "// %S\n"};

constexpr uint32_t KnownStyles = sizeof(ArrayRows) / sizeof(ArrayRows[0]);

uint32_t rowFor(uint32_t style) { return style < KnownStyles ? style : StylePlain; }

BaseString* headerText(const BaseObject* object, uint32_t flags, int64_t entryCount,
                       const BaseLockableCollection* lockable) {
    BaseString* text = createAutoreleased<BaseString>();
    if (flags & DescriptionFlag::ClassName) appendFormat(text, "%s ", object->className());
    if (flags & DescriptionFlag::Address) appendFormat(text, "@%p ", object);
    if (flags & DescriptionFlag::Hash) appendFormat(text, "H`%08X ", object->hash());
    if ((flags & DescriptionFlag::EntryCount) && entryCount != -1) appendFormat(text, "%d entries ", entryCount);
    if (flags & DescriptionFlag::RetainCount) appendFormat(text, "RC=%d ", object->retainCount());
    if ((flags & DescriptionFlag::LockMarker) && entryCount != -1 && lockable && lockable->hasLock()) {
        text->appendCharacter('M');
    }
    return text;
}

bool containsLineFeed(const BaseString* text) {
    return std::memchr(text->chars(), '\n', text->length()) != nullptr;
}

bool needsSeveralLines(const BaseArray* renderings, uint64_t separatorLength) {
    uint64_t sum = 0;
    for (uint32_t i = 0; i < renderings->count(); ++i) {
        const BaseString* text = static_cast<const BaseString*>(renderings->objectAtIndex(i));
        sum += text->length() + separatorLength + 1;
        if (sum > OneLineLimit || containsLineFeed(text)) return true;
    }
    return false;
}

}  // namespace

const CollectionPunctuation& arrayPunctuation(uint32_t style) { return ArrayRows[rowFor(style)]; }

const CollectionPunctuation& dictionaryPunctuation(uint32_t style) { return DictionaryRows[rowFor(style)]; }

BaseString* addDescriptionHeader(const BaseObject* object, uint32_t flags, BaseString* rendering,
                                 int64_t entryCount, const BaseLockableCollection* lockable) {
    if (!(flags & DescriptionFlag::HeaderMask)) return rendering;
    BaseString* header = headerText(object, flags, entryCount, lockable);
    if (header->length() == 0) return rendering;
    uint32_t style = descriptionStyle(flags);
    BaseString* result = createAutoreleased<BaseString>();
    if (style < KnownStyles) {
        appendFormat(result, HeaderWrappers[style], header);
    } else {
        result->appendString(header);
    }
    result->appendString(rendering);
    return result;
}

namespace {

// Line breaks become character references too: the multi-line layout indents every raw line feed, which
// would change the string's value, and XML readers turn a raw carriage return into a line feed.
const char* xmlEntity(char c) {
    switch (c) {
        case '&': return "&amp;";
        case '<': return "&lt;";
        case '>': return "&gt;";
        case '\n': return "&#10;";
        case '\r': return "&#13;";
        default: return nullptr;
    }
}

}  // namespace

void appendXmlEscaped(BaseString* target, const char* bytes, uint64_t length) {
    uint64_t runStart = 0;
    for (uint64_t i = 0; i < length; ++i) {
        const char* entity = xmlEntity(bytes[i]);
        if (!entity) continue;
        target->appendBytes(bytes + runStart, static_cast<int64_t>(i - runStart));
        target->appendBytes(entity);
        runStart = i + 1;
    }
    target->appendBytes(bytes + runStart, static_cast<int64_t>(length - runStart));
}

BaseString* joinRenderings(const BaseArray* renderings, const char* separator, const char* prefix,
                           const char* suffix) {
    BaseString* result = createAutoreleased<BaseString>(prefix);
    for (uint32_t i = 0; i < renderings->count(); ++i) {
        if (i > 0) result->appendBytes(separator);
        result->appendString(static_cast<const BaseString*>(renderings->objectAtIndex(i)));
    }
    result->appendBytes(suffix);
    return result;
}

BaseString* layoutCollection(uint32_t flags, const BaseArray* renderings, const char* open, const char* close,
                             const char* separator) {
    if (flags & DescriptionFlag::Compact) return joinRenderings(renderings, separator, open, close);
    bool severalLines = needsSeveralLines(renderings, std::strlen(separator));
    const char* breakText = severalLines ? "\n" : " ";
    BaseString* joinSeparator = stringWithFormat("%s%s", separator, breakText);
    BaseString* joined = joinRenderings(renderings, joinSeparator->chars(), "", "");
    if (severalLines) joined = joined->stringByReplacingOccurrences(constantString("\n"_lit),
                                                                     constantString("\n  "_lit));
    BaseString* result = createAutoreleased<BaseString>(open);
    result->appendBytes(breakText);
    if (severalLines) result->appendBytes("  ");
    result->appendString(joined);
    result->appendBytes(breakText);
    result->appendBytes(close);
    return result;
}
