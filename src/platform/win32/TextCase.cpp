#include "platform/TextCase.h"

#include <windows.h>

// The invariant locale's lowercase mapping: one UTF-16 unit in, one out, whatever locale the host process
// has chosen (the C library's towlower follows the process locale and, in the "C" locale, maps only ASCII).
uint32_t platformLowercase(uint32_t codePoint) {
    if (codePoint < 0x80) return (codePoint >= 'A' && codePoint <= 'Z') ? codePoint + 32 : codePoint;
    if (codePoint > 0xFFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) return codePoint;
    wchar_t unit = static_cast<wchar_t>(codePoint);
    wchar_t lower = unit;
    if (LCMapStringW(LOCALE_INVARIANT, LCMAP_LOWERCASE, &unit, 1, &lower, 1) != 1) return codePoint;
    return lower;
}

// The invariant locale is the system's own: nothing to give back.
void releasePlatformLowercase() {}
