#include "platform/TextCase.h"

#include <atomic>
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

// A UTF-8 character-type locale made on first use, so the mapping does not depend on the host's
// setlocale. Never freed at exit (a thread may still map a character then); releasePlatformLowercase gives
// it back before the module unloads.
std::atomic<locale_t> sharedLocale{static_cast<locale_t>(0)};

locale_t unicodeLocale() {
    locale_t locale = sharedLocale.load(std::memory_order_acquire);
    if (locale) return locale;
    locale_t made = newUnicodeLocale();
    if (!made) return made;
    if (sharedLocale.compare_exchange_strong(locale, made, std::memory_order_acq_rel)) return made;
    freelocale(made);  // another thread made it first
    return locale;
}

}  // namespace

uint32_t platformLowercase(uint32_t codePoint) {
    if (codePoint < 0x80) return (codePoint >= 'A' && codePoint <= 'Z') ? codePoint + 32 : codePoint;
    locale_t locale = unicodeLocale();
    if (!locale) return codePoint;
    return static_cast<uint32_t>(towlower_l(static_cast<wint_t>(codePoint), locale));
}

void releasePlatformLowercase() {
    locale_t locale = sharedLocale.exchange(static_cast<locale_t>(0), std::memory_order_acq_rel);
    if (locale) freelocale(locale);
}
