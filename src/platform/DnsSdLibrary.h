// Where the platform keeps its DNS-SD libraries, and how they are prepared for loading: the DNS-SD client
// library (Avahi's compatibility library, or Bonjour's dnssd.dll) and, on Linux, Avahi's own client library.
#pragma once

// The name the library is loaded by.
const char* dnsSdLibraryName();
// Replaces that name (null restores the platform's own), so that tests can stand for a machine without
// the library.
void setDnsSdLibraryName(const char* name);
// Anything the platform needs before loading it (Avahi's compatibility layer, for one, prints a warning
// into the host's console unless told not to). It may change the environment, which other threads may be
// reading: main thread only, before any thread of ours runs.
void prepareDnsSdLibrary();

// Avahi's own client library and the common library it needs (libavahi-client.so.3, libavahi-common.so.3),
// or null where the platform has no Avahi. Tests may name others (null restores the platform's own).
const char* avahiClientLibraryName();
const char* avahiCommonLibraryName();
void setAvahiLibraryNames(const char* client, const char* common);
// The DNS-SD service, as the pilot knows it ("avahi-daemon (the DNS-SD service)").
const char* dnsSdServiceWords();
// What the pilot does when nothing on the computer can announce the bridge.
const char* dnsSdInstallHint();
// What the pilot does when the DNS-SD service does not answer.
const char* dnsSdStartHint();
