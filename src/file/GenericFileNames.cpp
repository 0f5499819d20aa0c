#include "file/GenericFileNames.h"

#include <algorithm>
#include <vector>

#include "base/BaseString.h"
#include "base/BaseTypedArray.h"
#include "file/ReservedNames.h"

namespace {

constexpr uint32_t EscapeBase = 0xF000;
constexpr unsigned char EscapeLead = 0xEF;
constexpr unsigned char EscapeLowMask = 0x3F;
constexpr uint64_t ReservedNameEscapeIndex = 2;  // 'con' becomes 'co' and the escaped 'n'
constexpr uint64_t ShortestDotEscape = 3;        // "." and ".." keep their final dot

bool isDrive(const BaseString* component) {
    return component->length() == 2 && component->chars()[1] == ':';
}

std::vector<uint64_t> escapePositions(BaseString* name) {
    const ReservedNames* reserved = ReservedNames::shared();
    std::vector<uint64_t> positions;
    const char* bytes = name->chars();
    uint64_t length = name->length();
    if (reserved->isReservedName(name->stringByDeletingPathExtension()->lowercaseString())) {
        positions.push_back(ReservedNameEscapeIndex);
    }
    for (uint64_t i = 0; i < length; ++i) {
        if (reserved->isReservedByte(static_cast<unsigned char>(bytes[i]))) positions.push_back(i);
    }
    if (length > 0 && bytes[length - 1] == ' ') positions.push_back(length - 1);
    if (length >= ShortestDotEscape && bytes[length - 1] == '.') positions.push_back(length - 1);
    std::sort(positions.begin(), positions.end());
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    return positions;
}

// An escape is 0xEF, then 0x80 or 0x81, then a continuation byte: U+F000 to U+F07F.
bool isEscapeAt(const unsigned char* bytes, uint64_t length, uint64_t i) {
    return i + 2 < length && bytes[i] == EscapeLead && (bytes[i + 1] & 0xFE) == 0x80 && (bytes[i + 2] & 0xC0) == 0x80;
}

char escapedByte(const unsigned char* escape) {
    return static_cast<char>(((escape[1] & 1) << 6) | (escape[2] & EscapeLowMask));
}

BaseString* joinedComponents(BaseTypedArray<BaseString>* components) {
    auto* result = createAutoreleased<BaseString>();
    auto* separator = createAutoreleased<BaseString>("/");
    result->appendStringsJoined(components, separator);
    return result;
}

}  // namespace

BaseString* genericFileNameToOS(BaseString* name) {
    std::vector<uint64_t> positions = escapePositions(name);
    if (positions.empty()) return name;
    auto* result = createAutoreleased<BaseString>(ReserveBytes{name->length() + 2 * positions.size()});
    const char* bytes = name->chars();
    uint64_t start = 0;
    for (uint64_t position : positions) {
        result->appendBytes(bytes + start, static_cast<int64_t>(position - start));
        result->appendUnicodeCharacter(EscapeBase + static_cast<unsigned char>(bytes[position]));
        start = position + 1;
    }
    result->appendBytes(bytes + start, static_cast<int64_t>(name->length() - start));
    return result;
}

// A lone or cut escape (0xEF 0x80 at the very end) is copied unchanged.
BaseString* osFileNameToGeneric(BaseString* name) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(name->chars());
    uint64_t length = name->length();
    uint64_t first = 0;
    while (first < length && !isEscapeAt(bytes, length, first)) ++first;
    if (first == length) return name;
    auto* result = createAutoreleased<BaseString>(ReserveBytes{length});
    uint64_t start = 0;
    for (uint64_t i = first; i < length;) {
        if (!isEscapeAt(bytes, length, i)) {
            ++i;
            continue;
        }
        result->appendBytes(name->chars() + start, static_cast<int64_t>(i - start));
        result->appendCharacter(escapedByte(bytes + i));
        i += 3;
        start = i;
    }
    result->appendBytes(name->chars() + start, static_cast<int64_t>(length - start));
    return result;
}

BaseString* genericPathToOS(const BaseString* path) {
    BaseString* slashed = path->stringByReplacingCharacter('\\', '/');
    BaseTypedArray<BaseString>* components = slashed->componentsSeparatedBy("/");
    for (uint32_t i = 0; i < components->count(); ++i) {
        BaseString* component = components->objectAtIndex(i);
        if (i == 0 && isDrive(component)) continue;
        components->replaceObjectAtIndex(i, genericFileNameToOS(component));
    }
    return joinedComponents(components);
}
