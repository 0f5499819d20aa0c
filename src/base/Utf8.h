// UTF-8 decoding and encoding shared by the string conversions.
#pragma once

#include <cstdint>

// Reads one code point at *cursor and advances past it. False at a NUL or at an ill-formed sequence
// (a stray continuation byte, a missing continuation byte, an overlong form, a value above U+10FFFF);
// the cursor then stays where it was.
bool decodeUtf8(const unsigned char** cursor, uint32_t* codePoint);

// Writes codePoint as 1 to 4 bytes into out (room for 4) and returns the count. Values above U+10FFFF
// are written as U+FFFD.
int encodeUtf8(uint32_t codePoint, char* out);
