#include "base/Utf8.h"

namespace {

constexpr uint32_t MaxCodePoint = 0x10FFFF;
constexpr uint32_t ReplacementCharacter = 0xFFFD;

int leadingOnes(unsigned char byte) {
    int count = 0;
    while (count < 8 && (byte & (0x80 >> count))) ++count;
    return count;
}

}  // namespace

bool decodeUtf8(const unsigned char** cursor, uint32_t* codePoint) {
    const unsigned char* p = *cursor;
    if (*p == 0) return false;
    if (*p < 0x80) {
        *codePoint = *p;
        *cursor = p + 1;
        return true;
    }
    int length = leadingOnes(*p);
    if (length < 2 || length > 4) return false;
    uint32_t value = *p & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80) return false;
        value = (value << 6) | (p[i] & 0x3F);
    }
    static constexpr uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < smallest[length] || value > MaxCodePoint) return false;
    *codePoint = value;
    *cursor = p + length;
    return true;
}

int encodeUtf8(uint32_t codePoint, char* out) {
    if (codePoint > MaxCodePoint) codePoint = ReplacementCharacter;
    if (codePoint < 0x80) {
        out[0] = static_cast<char>(codePoint);
        return 1;
    }
    if (codePoint < 0x800) {
        out[0] = static_cast<char>(0xC0 | (codePoint >> 6));
        out[1] = static_cast<char>(0x80 | (codePoint & 0x3F));
        return 2;
    }
    if (codePoint < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (codePoint >> 12));
        out[1] = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (codePoint & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (codePoint >> 18));
    out[1] = static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (codePoint & 0x3F));
    return 4;
}

bool isWellFormedUtf8(const std::string& text) {
    const auto* cursor = reinterpret_cast<const unsigned char*>(text.c_str());
    const unsigned char* end = cursor + text.size();
    uint32_t codePoint = 0;
    while (cursor < end) {
        if (!decodeUtf8(&cursor, &codePoint)) return false;
    }
    return true;
}

std::string utf8Prefix(const std::string& text, size_t bytes) {
    if (text.size() <= bytes) return text;
    size_t cut = bytes;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;  // not inside a character
    return text.substr(0, cut);
}
