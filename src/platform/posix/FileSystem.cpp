#include "platform/FileSystem.h"

#include <cstdlib>

std::FILE* openFile(const char* path, const char* mode) { return std::fopen(path, mode); }

std::string temporaryDirectory() {
    const char* fromEnvironment = std::getenv("TMPDIR");
    std::string path = (fromEnvironment && *fromEnvironment) ? fromEnvironment : "/tmp/";
    if (path.back() != '/') path += '/';
    return path;
}
