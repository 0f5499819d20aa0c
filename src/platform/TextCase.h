// The platform's simple lowercase mapping of one Unicode code point (U+0000 to U+FFFF), independent of the
// process locale.
#pragma once

#include <cstdint>

uint32_t platformLowercase(uint32_t codePoint);
