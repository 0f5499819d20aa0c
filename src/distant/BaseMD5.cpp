#include "distant/BaseMD5.h"

#include <algorithm>
#include <cstring>

#include "base/BaseString.h"
#include "base/StringFormat.h"

namespace {

constexpr uint32_t InitialState[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};

// Per-step shift amounts and sine-derived constants of the four rounds.
constexpr uint32_t Shifts[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                                 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                                 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                                 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};
constexpr uint32_t Constants[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

uint32_t rotateLeft(uint32_t value, uint32_t count) { return (value << count) | (value >> (32 - count)); }

uint32_t littleEndianWord(const unsigned char* bytes) {
    return bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
}

void storeLittleEndian(uint32_t word, unsigned char* bytes) {
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<unsigned char>(word >> (8 * i));
}

}  // namespace

BaseMD5::BaseMD5() { std::memcpy(state_, InitialState, sizeof(state_)); }

void BaseMD5::transform(const unsigned char block[64]) {
    uint32_t words[16];
    for (int i = 0; i < 16; ++i) words[i] = littleEndianWord(block + 4 * i);
    uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
    for (uint32_t step = 0; step < 64; ++step) {
        uint32_t mixed = 0;
        uint32_t index = 0;
        if (step < 16) {
            mixed = (b & c) | (~b & d);
            index = step;
        } else if (step < 32) {
            mixed = (d & b) | (~d & c);
            index = (5 * step + 1) % 16;
        } else if (step < 48) {
            mixed = b ^ c ^ d;
            index = (3 * step + 5) % 16;
        } else {
            mixed = c ^ (b | ~d);
            index = (7 * step) % 16;
        }
        uint32_t next = d;
        d = c;
        c = b;
        b = b + rotateLeft(a + mixed + Constants[step] + words[index], Shifts[step]);
        a = next;
    }
    state_[0] += a;
    state_[1] += b;
    state_[2] += c;
    state_[3] += d;
}

void BaseMD5::update(const void* bytes, uint64_t length) {
    const auto* input = static_cast<const unsigned char*>(bytes);
    uint32_t used = (bitCount_[0] >> 3) & 63;
    uint64_t bits = (static_cast<uint64_t>(bitCount_[1]) << 32 | bitCount_[0]) + (length << 3);
    bitCount_[0] = static_cast<uint32_t>(bits);
    bitCount_[1] = static_cast<uint32_t>(bits >> 32);
    while (length > 0) {
        uint64_t step = std::min<uint64_t>(length, 64 - used);
        std::memcpy(buffer_ + used, input, step);
        used += static_cast<uint32_t>(step);
        input += step;
        length -= step;
        if (used == 64) {
            transform(buffer_);
            used = 0;
        }
    }
}

// Pads with a one bit, zeros up to 56 bytes of the last block, and the bit count as 64 bits.
void BaseMD5::finish() {
    unsigned char count[8];
    storeLittleEndian(bitCount_[0], count);
    storeLittleEndian(bitCount_[1], count + 4);
    uint32_t used = (bitCount_[0] >> 3) & 63;
    static constexpr unsigned char Padding[64] = {0x80};
    update(Padding, used < 56 ? 56 - used : 120 - used);
    update(count, 8);
    for (int i = 0; i < 4; ++i) storeLittleEndian(state_[i], digest_ + 4 * i);
}

BaseString* BaseMD5::hexDigest() {
    finish();
    BaseString* text = createAutoreleased<BaseString>(ReserveBytes{32});
    for (unsigned char byte : digest_) appendFormat(text, "%02x", byte);
    return text;
}

BaseString* md5HexString(const BaseString* string) {
    auto* digest = new BaseMD5();
    if (string) digest->update(string->chars(), string->length());
    BaseString* text = digest->hexDigest();
    release(digest);
    return text;
}
