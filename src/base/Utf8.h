// UTF-8 decoding and encoding shared by the string conversions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Reads one code point at *cursor and advances past it. False at a NUL or at an ill-formed sequence
// (a stray continuation byte, a missing continuation byte, an overlong form, a value above U+10FFFF);
// the cursor then stays where it was.
bool decodeUtf8(const unsigned char** cursor, uint32_t* codePoint);

// Writes codePoint as 1 to 4 bytes into out (room for 4) and returns the count. Values above U+10FFFF
// are written as U+FFFD.
int encodeUtf8(uint32_t codePoint, char* out);

// Whether text is well-formed UTF-8 throughout, with no NUL.
bool isWellFormedUtf8(const std::string& text);

// The longest start of well-formed text that is at most bytes long and ends between two characters.
std::string utf8Prefix(const std::string& text, size_t bytes);
