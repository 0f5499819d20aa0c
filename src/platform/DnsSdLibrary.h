// Where the platform keeps its DNS-SD client library, and how it is prepared for loading.
#pragma once

// The name the library is loaded by.
const char* dnsSdLibraryName();
// Replaces that name (null restores the platform's own), so that tests can stand for a machine without
// the library.
void setDnsSdLibraryName(const char* name);
// Anything the platform needs before loading it (Avahi's compatibility layer, for one, prints a warning
// into the host's console unless told not to).
void prepareDnsSdLibrary();
