#include "WideText.h"

#include <windows.h>

#include <cstring>

std::wstring wideFromUtf8(const char* text) {
    int length = static_cast<int>(std::strlen(text));
    if (length == 0) return std::wstring();
    int needed = MultiByteToWideChar(CP_UTF8, 0, text, length, nullptr, 0);
    std::wstring wide(static_cast<size_t>(needed), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, length, wide.data(), needed);
    return wide;
}

std::wstring wideFromUtf8(const std::string& text) { return wideFromUtf8(text.c_str()); }

std::string utf8FromWide(const wchar_t* text, size_t length) {
    if (length == 0) return std::string();
    int units = static_cast<int>(length);
    int needed = WideCharToMultiByte(CP_UTF8, 0, text, units, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(needed), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, units, narrow.data(), needed, nullptr, nullptr);
    return narrow;
}

std::string utf8FromWide(const std::wstring& text) { return utf8FromWide(text.c_str(), text.size()); }

std::string systemErrorText(unsigned long code) {
    wchar_t* message = nullptr;
    DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    DWORD length = FormatMessageW(flags, nullptr, code, 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
    std::string text = message ? utf8FromWide(message, length) : "error " + std::to_string(code);
    if (message) LocalFree(message);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
    return text;
}
