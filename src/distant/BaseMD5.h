// BaseMD5: a running MD5 digest (RFC 1321). Feed bytes with update, then take the 32-character lowercase
// hexadecimal digest. The bridge derives its password credential this way.
#pragma once

#include <cstdint>

#include "base/BaseObject.h"

class BaseMD5 : public BaseObject {
public:
    BaseMD5();

    void update(const void* bytes, uint64_t length);
    // Finishes the digest; an autoreleased string of 32 lowercase hexadecimal digits.
    BaseString* hexDigest();

private:
    void transform(const unsigned char block[64]);
    void finish();

    uint32_t bitCount_[2] = {0, 0};  // low word first: the count of bits, modulo 2^64
    uint32_t state_[4];
    unsigned char buffer_[64] = {};
    unsigned char digest_[16] = {};
};

// The MD5 digest of the string's bytes (no terminator), as an autoreleased 32-character string.
BaseString* md5HexString(const BaseString* string);
