#include "base/StringFormat.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "base/AutoreleasePool.h"
#include "base/BaseString.h"
#include "base/BitCast.h"

namespace {

// One standard conversion never exceeds this: widths and precisions have at most two digits, and texts of
// 100 bytes or more without a precision are appended directly.
constexpr std::size_t OutputBufferSize = 512;
constexpr std::size_t DirectAppendLength = 100;
constexpr uint32_t LuaStyle = 2;
constexpr const char* NullText = "(null)";

bool isFlag(char c) { return c != '\0' && std::strchr("-+ #0", c) != nullptr; }
bool isModifier(char c) { return c != '\0' && std::strchr("h%lL", c) != nullptr; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// A parsed conversion. `prefix` holds "%", the flags (each once), the width and the precision as written;
// the length modifiers are chosen afresh for the type actually passed to the standard conversion.
struct Conversion {
    char prefix[16] = "%";
    std::size_t prefixLength = 1;
    bool hasPrecision = false;
    int sizeClass = 0;
    char character = '\0';

    void add(char c) {
        if (prefixLength + 1 < sizeof(prefix)) prefix[prefixLength++] = c;
        prefix[prefixLength] = '\0';
    }
    void addFlag(char c) {
        if (!std::memchr(prefix, c, prefixLength)) add(c);
    }
};

// Parses the conversion that starts after a "%". Returns the byte after the conversion character, or null
// when the format ends inside the conversion.
const char* parseConversion(const char* p, Conversion* conversion) {
    for (; isFlag(*p); ++p) conversion->addFlag(*p);
    for (int digits = 0; digits < 2 && isDigit(*p); ++digits) conversion->add(*p++);
    if (*p == '.') {
        conversion->hasPrecision = true;
        conversion->add(*p++);
        for (int digits = 0; digits < 2 && isDigit(*p); ++digits) conversion->add(*p++);
    }
    for (; isModifier(*p); ++p) {
        if (*p == 'h') conversion->sizeClass -= 1;
        if (*p == 'l') conversion->sizeClass += 1;
        if (*p == 'L') conversion->sizeClass += 2;
    }
    if (*p == '\0') return nullptr;
    conversion->character = *p;
    return p + 1;
}

// Formats one value with the written flags, width and precision, the given modifiers and conversion.
template <class T>
void appendStandard(BaseString* target, const Conversion& conversion, const char* modifiers, char character,
                    T value) {
    char specification[32];
    std::snprintf(specification, sizeof(specification), "%s%s%c", conversion.prefix, modifiers, character);
    char output[OutputBufferSize];
    int written = std::snprintf(output, sizeof(output), specification, value);
    // The text ends at its first NUL: "%c" of 0 appends nothing rather than a NUL inside the string.
    if (written > 0) target->appendBytes(output, strnlen(output, std::min<int>(written, OutputBufferSize - 1)));
}

void appendText(BaseString* target, const Conversion& conversion, const char* text) {
    if (!text) {
        target->appendBytes(NullText);
        return;
    }
    if (!conversion.hasPrecision) {
        std::size_t length = std::strlen(text);
        if (length >= DirectAppendLength) {
            target->appendBytes(text, static_cast<int64_t>(length));
            return;
        }
    }
    appendStandard(target, conversion, "", 's', text);
}

void appendObject(BaseString* target, const Conversion& conversion, const BaseObject* object) {
    if (!object) {
        target->appendBytes(NullText);
        return;
    }
    AutoreleasePool pool;
    appendText(target, conversion, object->description(LuaStyle)->chars());
}

const char* shortModifiers(int sizeClass) { return sizeClass <= -2 ? "hh" : sizeClass == -1 ? "h" : ""; }

void appendInteger(BaseString* target, const Conversion& conversion, uint64_t slot) {
    bool isSigned = conversion.character == 'd' || conversion.character == 'i';
    if (conversion.sizeClass >= 2) {
        if (isSigned) {
            appendStandard(target, conversion, "ll", conversion.character, static_cast<long long>(slot));
        } else {
            appendStandard(target, conversion, "ll", conversion.character, static_cast<unsigned long long>(slot));
        }
        return;
    }
    const char* modifiers = shortModifiers(conversion.sizeClass);
    if (isSigned) {
        appendStandard(target, conversion, modifiers, conversion.character, static_cast<int32_t>(slot));
    } else {
        appendStandard(target, conversion, modifiers, conversion.character, static_cast<uint32_t>(slot));
    }
}

void appendPointer(BaseString* target, uint64_t slot) {
    char output[24];
    std::snprintf(output, sizeof(output), "%016llX", static_cast<unsigned long long>(slot));
    target->appendBytes(output);
}

void appendInt64(BaseString* target, uint64_t slot) {
    char output[24];
    std::snprintf(output, sizeof(output), "%lld", static_cast<long long>(slot));
    target->appendBytes(output);
}

// The textual form of a GUID: a little-endian 32-bit value, two little-endian 16-bit values, 8 bytes.
void appendUuid(BaseString* target, const unsigned char* b) {
    if (!b) {
        target->appendBytes(NullText);
        return;
    }
    unsigned long first = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<unsigned long>(b[3]) << 24);
    char output[40];
    std::snprintf(output, sizeof(output), "%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X", first,
                  b[4] | (b[5] << 8), b[6] | (b[7] << 8), b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
    target->appendBytes(output);
}

template <class T>
T* pointerFrom(uint64_t slot) {
    return reinterpret_cast<T*>(static_cast<uintptr_t>(slot));
}

void convert(BaseString* target, const Conversion& conversion, FormatArguments& args) {
    switch (conversion.character) {
        case '@': return appendObject(target, conversion, pointerFrom<const BaseObject>(args.next()));
        case 'S': return appendText(target, conversion, cString(pointerFrom<const BaseString>(args.next())));
        case 's': return appendText(target, conversion, pointerFrom<const char>(args.next()));
        case 'c': return appendStandard(target, conversion, "", 'c', static_cast<int32_t>(args.next()));
        case 'd': case 'i': case 'o': case 'u': case 'x': case 'X':
            return appendInteger(target, conversion, args.next());
        case 'e': case 'E': case 'f': case 'g': case 'G':
            return appendStandard(target, conversion, "", conversion.character,
                                  bitCast<double>(args.next()));
        case 'p': return appendPointer(target, args.next());
        case 't': return appendInt64(target, args.next());
        case 'P': return target->appendPathComponent(pointerFrom<const BaseString>(args.next()));
        case 'U': return appendUuid(target, pointerFrom<const unsigned char>(args.next()));
        default: return;  // not a conversion: appends nothing and takes no argument
    }
}

}  // namespace

void appendFormatV(BaseString* target, const char* format, FormatArguments& args) {
    const char* p = format;
    while (*p) {
        const char* percent = std::strchr(p, '%');
        if (!percent) {
            target->appendBytes(p);
            return;
        }
        if (percent > p) target->appendBytes(p, percent - p);
        if (percent[1] == '%') {
            target->appendCharacter('%');
            p = percent + 2;
            continue;
        }
        Conversion conversion;
        p = parseConversion(percent + 1, &conversion);
        if (!p) return;
        convert(target, conversion, args);
    }
}
