#include "serialization/CompactInteger.h"

#include <limits>

#include "base/BitCast.h"

namespace {

constexpr unsigned char SignBit = 0x80;
constexpr unsigned char LongFormBit = 0x40;
constexpr uint64_t ShortFormLimit = 64;

// Swaps neighbouring bytes, then pairs, then halves: a handful of instructions (compilers turn it into
// one byte-swap) where a loop over the eight bytes costs over a hundred, once per real written or read.
uint64_t byteReversed(uint64_t bits) {
    bits = ((bits & 0x00FF00FF00FF00FFull) << 8) | ((bits >> 8) & 0x00FF00FF00FF00FFull);
    bits = ((bits & 0x0000FFFF0000FFFFull) << 16) | ((bits >> 16) & 0x0000FFFF0000FFFFull);
    return (bits << 32) | (bits >> 32);
}

}  // namespace

int encodeCompactInteger(int64_t value, unsigned char* bytes) {
    unsigned char sign = value < 0 ? SignBit : 0;
    uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    if (magnitude < ShortFormLimit) {
        bytes[0] = static_cast<unsigned char>(sign | magnitude);
        return 1;
    }
    uint64_t rest = magnitude >> 3;
    int extension = 0;
    for (uint64_t r = rest; r != 0; r >>= 8) bytes[1 + extension++] = static_cast<unsigned char>(r & 0xFF);
    bytes[0] = static_cast<unsigned char>(sign | LongFormBit | ((extension - 1) << 3) | (magnitude & 7));
    return 1 + extension;
}

int compactExtensionCount(unsigned char first) {
    if (!(first & LongFormBit)) return 0;
    return ((first >> 3) & 7) + 1;
}

bool decodeCompactInteger(unsigned char first, const unsigned char* extension, uint64_t maxMagnitude,
                          int64_t* value) {
    uint64_t magnitude = first & 0x3F;
    int count = compactExtensionCount(first);
    if (count > 0) {
        uint64_t rest = 0;
        for (int i = count; i-- > 0;) rest = (rest << 8) | extension[i];
        if (rest > (maxMagnitude >> 3)) return false;
        magnitude = (first & 7) | (rest << 3);
    }
    if (magnitude > maxMagnitude) return false;
    auto signedMagnitude = static_cast<int64_t>(magnitude);
    *value = (first & SignBit) ? -signedMagnitude : signedMagnitude;
    return true;
}

int64_t encodeReal(double value) { return static_cast<int64_t>(byteReversed(bitCast<uint64_t>(value))); }

double decodeReal(int64_t encoded) { return bitCast<double>(byteReversed(static_cast<uint64_t>(encoded))); }

bool isUnencodableReal(double value) { return encodeReal(value) == std::numeric_limits<int64_t>::min(); }
