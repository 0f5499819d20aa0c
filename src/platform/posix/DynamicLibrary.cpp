#include "platform/DynamicLibrary.h"

#include <dlfcn.h>

std::unique_ptr<DynamicLibrary> DynamicLibrary::open(const std::string& path, std::string* error, Lifetime lifetime) {
    // Local binding keeps one module's symbols from standing in for another's.
    int flags = RTLD_NOW | RTLD_LOCAL;
    if (lifetime == Lifetime::StaysMapped) flags |= RTLD_NODELETE;
    void* handle = dlopen(path.c_str(), flags);
    if (!handle) {
        if (error) {
            const char* reason = dlerror();
            *error = reason ? reason : "unknown loader error";
        }
        return nullptr;
    }
    return std::unique_ptr<DynamicLibrary>(new DynamicLibrary(handle));
}

DynamicLibrary::~DynamicLibrary() { dlclose(handle_); }

void* DynamicLibrary::symbol(const char* name) const { return dlsym(handle_, name); }
