#include "platform/ModulePin.h"

#include <dlfcn.h>

// The module is opened again by its own path, without loading anything (RTLD_NOLOAD), and marked never to be
// unloaded (RTLD_NODELETE); the reference this takes is never given back either.
bool pinModuleInSystem(std::string* error) {
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&pinModuleInSystem), &info) || !info.dli_fname) {
        *error = "the module holding this code cannot be found";
        return false;
    }
    if (dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE)) return true;
    const char* reason = dlerror();
    *error = std::string(info.dli_fname) + ": " + (reason ? reason : "the loader refused");
    return false;
}
