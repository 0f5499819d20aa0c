#include "platform/ModulePin.h"

#include <windows.h>

#include "WideText.h"

// The module is found by an address inside it, this function's, and pinned: FreeLibrary no longer unmaps it.
bool pinModuleInSystem(std::string* error) {
    HMODULE module = nullptr;
    DWORD flags = GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS;
    if (GetModuleHandleExW(flags, reinterpret_cast<LPCWSTR>(&pinModuleInSystem), &module)) return true;
    *error = systemErrorText(GetLastError());
    return false;
}
