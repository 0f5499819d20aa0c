// Helpers for serializer tests: hex strings, encoding and decoding through a buffer.
#pragma once

#include <string>

#include "base/BaseObject.h"
#include "io/BaseBuffer.h"

// "15 00 02" -> bytes.
std::string bytesFromHex(const std::string& hex);
std::string hexFromBytes(const std::string& bytes);

// The record bytes of object ("" when the serializer refused it).
std::string encoded(const BaseObject* object);
// The first object read from bytes (owned by the caller's pool), or null.
BaseObject* decoded(const std::string& bytes);
