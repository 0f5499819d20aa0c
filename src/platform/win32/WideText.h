// Conversions between the UTF-8 text the system uses everywhere and the UTF-16 text of the Windows calls.
// Private to the Windows platform code.
#pragma once

#include <string>

// UTF-8 to UTF-16; invalid bytes become U+FFFD.
std::wstring wideFromUtf8(const char* text);
std::wstring wideFromUtf8(const std::string& text);
// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD.
std::string utf8FromWide(const wchar_t* text, size_t length);
std::string utf8FromWide(const std::wstring& text);
// The system's message for an error code of GetLastError, without its line end.
std::string systemErrorText(unsigned long code);
