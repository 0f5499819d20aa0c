#include "platform/ThreadName.h"

#include <windows.h>

#include "WideText.h"

namespace {

// The exception debuggers have long understood as "name this thread", and the record it carries.
constexpr DWORD ThreadNameException = 0x406D1388;
constexpr DWORD ThreadNameRecordType = 0x1000;
constexpr DWORD CallingThread = 0xFFFFFFFF;

#pragma pack(push, 8)
struct ThreadNameRecord {
    DWORD type;
    LPCSTR name;
    DWORD threadId;
    DWORD flags;
};
#pragma pack(pop)

using SetDescriptionFunction = HRESULT(WINAPI*)(HANDLE, PCWSTR);
using GetDescriptionFunction = HRESULT(WINAPI*)(HANDLE, PWSTR*);

// SetThreadDescription and GetThreadDescription exist from Windows 10 1607 on: looked up at run time so
// that the module still loads on older systems.
// The address comes back untyped; the caller gives it the function's own type.
void* kernelFunction(const char* name) {
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    return kernel ? reinterpret_cast<void*>(GetProcAddress(kernel, name)) : nullptr;
}

// Swallows the naming exception when the debugger passes it on (or none is attached after all).
LONG CALLBACK swallowThreadName(EXCEPTION_POINTERS* info) {
    if (info->ExceptionRecord->ExceptionCode == ThreadNameException) return EXCEPTION_CONTINUE_EXECUTION;
    return EXCEPTION_CONTINUE_SEARCH;
}

// Without a debugger nobody listens, so the exception is raised only when one is attached.
void announceToDebugger(const char* name) {
    if (!IsDebuggerPresent()) return;
    ThreadNameRecord record{ThreadNameRecordType, name, CallingThread, 0};
    PVOID handler = AddVectoredExceptionHandler(1, swallowThreadName);
    RaiseException(ThreadNameException, 0, sizeof(record) / sizeof(ULONG_PTR),
                   reinterpret_cast<const ULONG_PTR*>(&record));
    if (handler) RemoveVectoredExceptionHandler(handler);
}

}  // namespace

void setCurrentThreadName(const char* name) {
    auto setDescription = reinterpret_cast<SetDescriptionFunction>(kernelFunction("SetThreadDescription"));
    if (setDescription) setDescription(GetCurrentThread(), wideFromUtf8(name).c_str());
    announceToDebugger(name);
}

std::string currentThreadName() {
    auto getDescription = reinterpret_cast<GetDescriptionFunction>(kernelFunction("GetThreadDescription"));
    PWSTR description = nullptr;
    if (!getDescription || FAILED(getDescription(GetCurrentThread(), &description)) || !description) return {};
    std::string name = utf8FromWide(description, wcslen(description));
    LocalFree(description);
    return name;
}
