#include "platform/DynamicLibrary.h"

#include <windows.h>

#include "WideText.h"

namespace {

bool isPlainAscii(const std::string& text) {
    for (unsigned char c : text) {
        if (c >= 0x80) return false;
    }
    return true;
}

// A plain name such as "dnssd.dll" goes to LoadLibraryA as it is; a path with other characters is UTF-8,
// which the ANSI code page may not hold, so it goes through the wide call.
HMODULE loadModule(const std::string& path) {
    if (isPlainAscii(path)) return LoadLibraryA(path.c_str());
    return LoadLibraryW(wideFromUtf8(path).c_str());
}

// Pins the module: it stays mapped even after FreeLibrary, for threads of its own that outlive us.
void pin(HMODULE module) {
    HMODULE pinned = nullptr;
    DWORD flags = GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS;
    GetModuleHandleExW(flags, reinterpret_cast<LPCWSTR>(module), &pinned);
}

}  // namespace

// The loader resolves every import of the module before LoadLibrary returns.
std::unique_ptr<DynamicLibrary> DynamicLibrary::open(const std::string& path, std::string* error, Lifetime lifetime) {
    HMODULE module = loadModule(path);
    if (!module) {
        if (error) *error = systemErrorText(GetLastError());
        return nullptr;
    }
    if (lifetime == Lifetime::StaysMapped) pin(module);
    return std::unique_ptr<DynamicLibrary>(new DynamicLibrary(module));
}

DynamicLibrary::~DynamicLibrary() { FreeLibrary(static_cast<HMODULE>(handle_)); }

void* DynamicLibrary::symbol(const char* name) const {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}
