#include "platform/MappedFiles.h"

// This system lists no process's mappings in a form simhost reads.
FileMapping fileMapping(const std::string&) { return FileMapping::Unknown; }
