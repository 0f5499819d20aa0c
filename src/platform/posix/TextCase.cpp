#include "platform/TextCase.h"

#include <clocale>
#include <cwctype>
#include <locale.h>
#include <wctype.h>
// The Mac declares newlocale and the _l functions there; glibc has no such header any more.
#if __has_include(<xlocale.h>)
#include <xlocale.h>
#endif

namespace {

// The UTF-8 character-type locale under the names systems give it: glibc's "C.UTF-8", the Mac's "UTF-8".
constexpr const char* UnicodeLocaleNames[] = {"C.UTF-8", "UTF-8", "en_US.UTF-8"};

locale_t newUnicodeLocale() {
    for (const char* name : UnicodeLocaleNames) {
        if (locale_t locale = newlocale(LC_CTYPE_MASK, name, static_cast<locale_t>(0))) return locale;
    }
    return static_cast<locale_t>(0);
}

// A UTF-8 character-type locale made once, so the mapping does not depend on the host's setlocale; it is
// given back when the module unloads.
struct UnicodeLocale {
    UnicodeLocale() : locale(newUnicodeLocale()) {}
    ~UnicodeLocale() {
        if (locale) freelocale(locale);
    }
    locale_t locale;
};

locale_t unicodeLocale() {
    static UnicodeLocale owner;
    return owner.locale;
}

}  // namespace

uint32_t platformLowercase(uint32_t codePoint) {
    if (codePoint < 0x80) return (codePoint >= 'A' && codePoint <= 'Z') ? codePoint + 32 : codePoint;
    locale_t locale = unicodeLocale();
    if (!locale) return codePoint;
    return static_cast<uint32_t>(towlower_l(static_cast<wint_t>(codePoint), locale));
}
