// Whether a file is still mapped into this process, as simhost asks after unloading a plug-in's module: a
// module that stays mapped after its last unload keeps code that a thread or callback might still run.
#pragma once

#include <string>

enum class FileMapping { Mapped, NotMapped, Unknown };

// Unknown where the system does not say (only Linux lists a process's mappings, in /proc/self/maps).
FileMapping fileMapping(const std::string& path);
