// The compact integer of the record form: sign and magnitude in one to nine bytes. Magnitudes below 64
// take one byte (bit 7 sign, bits 0-5 magnitude); larger ones take a first byte (bit 7 sign, bit 6 set,
// bits 3-5 the extension count minus one, bits 0-2 the low three bits) and 1 to 8 extension bytes holding
// the rest of the magnitude, least significant first. The 64-bit width carries magnitudes up to 2^63 - 1,
// the 32-bit width up to 2^31 - 1; neither carries its type's most negative value.
#pragma once

#include <cstdint>

constexpr int CompactIntegerMaxBytes = 9;
constexpr uint64_t CompactInteger64Max = 0x7FFFFFFFFFFFFFFFull;
constexpr uint64_t CompactInteger32Max = 0x7FFFFFFFull;

// Writes value into bytes and returns the count (1 to 9). value must not be INT64_MIN.
int encodeCompactInteger(int64_t value, unsigned char* bytes);

// The number of extension bytes that follow first (0 to 8).
int compactExtensionCount(unsigned char first);

// Assembles the value from the first byte and its extension bytes. False when the magnitude exceeds
// maxMagnitude (a corrupt or hostile record).
bool decodeCompactInteger(unsigned char first, const unsigned char* extension, uint64_t maxMagnitude,
                          int64_t* value);

// Reals travel as the byte-reversed IEEE-754 pattern read as a signed integer, so that whole numbers,
// halves and quarters become small integers.
int64_t encodeReal(double value);
double decodeReal(int64_t encoded);
// The one double whose encoding is INT64_MIN, which the compact form cannot carry.
bool isUnencodableReal(double value);
