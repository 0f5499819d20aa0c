// AutoStartFile: Zephrane.prf, the plug-in's own preferences file, which keeps one thing: whether the bridge
// starts by itself when the plug-in is enabled. It holds that choice as one line of text. A write goes into a
// temporary file beside it that replaces it only once complete, so an interrupted save leaves the old file
// or none, never half of one. The functions take the file's path in the OS's own form and keep nothing.
#pragma once

#include <string>

struct AutoStartReading {
    bool on = false;
    // Empty when the file was read or is missing (the normal state before the first save, meaning off);
    // otherwise why it could not be read, and the choice is off.
    std::string failure;
};

namespace AutoStartFile {

inline constexpr const char* FileName = "Zephrane.prf";

AutoStartReading read(const std::string& path);
// Empty when the choice was saved; otherwise why not, and the file is as it was.
std::string write(const std::string& path, bool on);

}  // namespace AutoStartFile
