#include "platform/MappedFiles.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace {

constexpr const char* MapsFile = "/proc/self/maps";
// Each line: "start-end perms offset device inode [pathname]"; the path (which may hold blanks) follows the
// inode after padding.
constexpr int FieldsBeforePath = 5;

// The absolute path without links or dots, as the kernel names mapped files.
std::string kernelName(const std::string& path) {
    std::error_code error;
    std::filesystem::path resolved = std::filesystem::canonical(path, error);
    if (error) resolved = std::filesystem::absolute(path, error).lexically_normal();
    return resolved.string();
}

std::string mappedPath(const std::string& line) {
    std::istringstream fields(line);
    std::string field;
    for (int i = 0; i < FieldsBeforePath; ++i) {
        if (!(fields >> field)) return {};
    }
    std::string rest;
    std::getline(fields, rest);
    size_t start = rest.find_first_not_of(' ');
    return start == std::string::npos ? std::string() : rest.substr(start);
}

}  // namespace

FileMapping fileMapping(const std::string& path) {
    std::ifstream maps(MapsFile);
    if (!maps) return FileMapping::Unknown;
    std::string wanted = kernelName(path);
    for (std::string line; std::getline(maps, line);) {
        if (mappedPath(line) == wanted) return FileMapping::Mapped;
    }
    return FileMapping::NotMapped;
}
