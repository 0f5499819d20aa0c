// File operations of the platform, on UTF-8 paths.
#pragma once

#include <cstdio>
#include <string>

// fopen with a UTF-8 path; null when the file cannot be opened.
std::FILE* openFile(const char* path, const char* mode);

// The system's temporary directory, always ending in "/".
std::string temporaryDirectory();
