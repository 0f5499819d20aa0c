// StringLiteral: constant bytes with their length and their string hash, all known when the program is
// built. Fixed keys are written "cmd_id"_lit; constantString and internString turn them into strings
// without copying the bytes or hashing them again.
#pragma once

#include <cstddef>
#include <cstdint>

// The string hash. Strings shorter than 32 bytes hash every byte; longer ones sample at most 32 bytes
// evenly, so hashing a long string costs constant time. Never 0, which marks "not computed yet".
constexpr uint32_t stringHash(const char* bytes, uint64_t length) {
    uint32_t h = static_cast<uint32_t>(length);
    uint64_t step = length / 32 + 1;
    for (uint64_t i = 0; i < length; i += step) {
        h ^= (h << 5) + (h >> 2) + static_cast<unsigned char>(bytes[i]);
    }
    return h == 0 ? 1 : h;
}

struct StringLiteral {
    const char* chars;
    uint64_t length;
    uint32_t hash;
};

consteval StringLiteral operator""_lit(const char* chars, std::size_t length) {
    return StringLiteral{chars, length, stringHash(chars, length)};
}
