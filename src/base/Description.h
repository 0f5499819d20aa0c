// Text renderings of objects: the flags word of `description`, the optional header line, and the layout
// shared by arrays and dictionaries. The low three bits of the flags choose a style; further bits add a
// header, lay collections out compactly or sort dictionary entries.
#pragma once

#include <cstdint>

class BaseArray;
class BaseLockableCollection;
class BaseObject;
class BaseString;

enum DescriptionStyle : uint32_t {
    StylePlain = 0,
    StyleJSON = 1,
    StyleLua = 2,
    StyleXMLPlist = 3,
    StyleBare = 4,
};

namespace DescriptionFlag {
constexpr uint32_t StyleMask = 0x7;
constexpr uint32_t ClassName = 0x8;
constexpr uint32_t Address = 0x10;
constexpr uint32_t EntryCount = 0x20;
constexpr uint32_t Hash = 0x40;
// Not a description flag: asks writeToBuffer for the serialized form.
constexpr uint32_t Serialized = 0x80;
constexpr uint32_t Compact = 0x100;
constexpr uint32_t Sorted = 0x200;
constexpr uint32_t LockMarker = 0x400;
constexpr uint32_t RetainCount = 0x800;
constexpr uint32_t HeaderMask = ClassName | Address | EntryCount | Hash | LockMarker | RetainCount;
}  // namespace DescriptionFlag

inline uint32_t descriptionStyle(uint32_t flags) { return flags & DescriptionFlag::StyleMask; }

// The punctuation of a collection in one style. Styles 5 to 7 use the plain style's row.
struct CollectionPunctuation {
    const char* open;
    const char* close;
    const char* separator;
    const char* keySeparator;
};
const CollectionPunctuation& arrayPunctuation(uint32_t style);
const CollectionPunctuation& dictionaryPunctuation(uint32_t style);

// Prefixes rendering with the header the flags ask for, in the style's comment form. entryCount -1 marks an
// object that is not a collection (no count, no lock marker). Returns rendering itself when no header is
// asked for, else a new autoreleased string.
BaseString* addDescriptionHeader(const BaseObject* object, uint32_t flags, BaseString* rendering,
                                 int64_t entryCount, const BaseLockableCollection* lockable);

// Lays element renderings out between open and close: compact, on one line, or one per line indented by
// two spaces when they are long or hold line breaks. An autoreleased string.
BaseString* layoutCollection(uint32_t flags, const BaseArray* renderings, const char* open, const char* close,
                             const char* separator);

// Appends bytes with "&", "<", ">", line feed and carriage return written as XML character references.
void appendXmlEscaped(BaseString* target, const char* bytes, uint64_t length);

// prefix, the renderings with separator between consecutive ones, suffix. An autoreleased string.
BaseString* joinRenderings(const BaseArray* renderings, const char* separator, const char* prefix,
                           const char* suffix);
