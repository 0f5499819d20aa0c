#include "platform/DnsSdLibrary.h"

#include <cstdlib>

// Avahi's DNS-SD compatibility library (Debian libavahi-compat-libdnssd1), which talks to avahi-daemon.
const char* dnsSdLibraryName() { return "libdns_sd.so.1"; }

void prepareDnsSdLibrary() { setenv("AVAHI_COMPAT_NOWARN", "1", 0); }
