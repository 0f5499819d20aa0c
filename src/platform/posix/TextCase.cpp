#include "platform/TextCase.h"

#include <clocale>
#include <cwctype>
#include <locale.h>
#include <wctype.h>

namespace {

// A UTF-8 character-type locale made once, so the mapping does not depend on the host's setlocale; it is
// given back when the module unloads.
struct UnicodeLocale {
    UnicodeLocale() : locale(newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0))) {}
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
