// DynamicLibrary: a shared object loaded at run time, its symbols looked up by name. The object owns the
// loaded module and unloads it when destroyed; symbols found through it are valid only until then.
#pragma once

#include <memory>
#include <string>

class DynamicLibrary {
public:
    // Unloads, or stays mapped for the rest of the process (for a library that runs threads of its own,
    // which must never lose their code).
    enum class Lifetime { Unloads, StaysMapped };

    // Loads the module at path with every symbol resolved at once; null and a reason when that fails.
    static std::unique_ptr<DynamicLibrary> open(const std::string& path, std::string* error,
                                                Lifetime lifetime = Lifetime::Unloads);

    ~DynamicLibrary();
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    // The address of the named symbol, or null when the module does not define it.
    void* symbol(const char* name) const;

private:
    explicit DynamicLibrary(void* handle) : handle_(handle) {}

    void* handle_;
};
