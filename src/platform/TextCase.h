// The platform's simple lowercase mapping of one Unicode code point (U+0000 to U+FFFF), independent of the
// process locale.
#pragma once

#include <cstdint>

uint32_t platformLowercase(uint32_t codePoint);
// Gives back what the mapping keeps for the process, once no thread of ours runs (the module's last step
// before it is unloaded); a later mapping makes it again.
void releasePlatformLowercase();
