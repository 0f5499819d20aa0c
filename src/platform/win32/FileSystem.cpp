#include "platform/FileSystem.h"

#include <windows.h>

#include <cstdio>
#include <string>

#include "WideText.h"

namespace {

// GetTempPathW's documented buffer size, and the longest native path the delete call is given.
constexpr DWORD TemporaryPathUnits = MAX_PATH + 1;
constexpr size_t NativePathUnits = MAX_PATH;
// 100-nanosecond intervals between 1601-01-01 (FILETIME) and 1970-01-01, and per second.
constexpr int64_t UnixEpochInFileTime = 116444736000000000LL;
constexpr int64_t FileTimeUnitsPerSecond = 10000000LL;

int64_t unixSeconds(const FILETIME& time) {
    int64_t units = (static_cast<int64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return (units - UnixEpochInFileTime) / FileTimeUnitsPerSecond;
}

FILETIME fileTime(int64_t seconds) {
    uint64_t units = static_cast<uint64_t>(seconds * FileTimeUnitsPerSecond + UnixEpochInFileTime);
    return FILETIME{static_cast<DWORD>(units & 0xFFFFFFFFu), static_cast<DWORD>(units >> 32)};
}

// A directory, a regular file, or (devices, pipes) neither.
uint16_t typeBitsOf(DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return FileTypeDirectory;
    if (attributes & FILE_ATTRIBUTE_DEVICE) return 0;
    return FileTypeRegular;
}

void fillStatus(DWORD attributes, DWORD sizeHigh, DWORD sizeLow, const FILETIME& access, const FILETIME& write,
                const FILETIME& creation, FileStatus* status) {
    status->typeBits = typeBitsOf(attributes);
    status->size = status->typeBits == FileTypeRegular ? (static_cast<int64_t>(sizeHigh) << 32) | sizeLow : 0;
    status->accessTime = unixSeconds(access);
    status->modificationTime = unixSeconds(write);
    status->creationTime = unixSeconds(creation);
}

// Opens path itself for its attributes (directories included); a link is followed to its target.
HANDLE openForAttributes(const std::wstring& path, DWORD access) {
    return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// The status of a link's target, through a handle opened on it.
bool queryThroughHandle(const std::wstring& path, FileStatus* status) {
    HANDLE file = openForAttributes(path, FILE_READ_ATTRIBUTES);
    if (file == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info{};
    bool found = GetFileInformationByHandle(file, &info) != 0;
    CloseHandle(file);
    if (found) {
        fillStatus(info.dwFileAttributes, info.nFileSizeHigh, info.nFileSizeLow, info.ftLastAccessTime,
                   info.ftLastWriteTime, info.ftCreationTime, status);
    }
    return found;
}

bool changeAttributes(const char* path, DWORD add, DWORD remove) {
    std::wstring wide = wideFromUtf8(path);
    DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    DWORD changed = (attributes | add) & ~remove;
    return changed == attributes || SetFileAttributesW(wide.c_str(), changed) != 0;
}

// The native form of a path for the delete call: backslashes, at most MAX_PATH units.
std::wstring nativePath(const char* path) {
    std::wstring wide = wideFromUtf8(path);
    for (wchar_t& unit : wide) {
        if (unit == L'/') unit = L'\\';
    }
    if (wide.size() > NativePathUnits) wide.resize(NativePathUnits);
    return wide;
}

std::wstring withWildcard(const char* path) {
    std::wstring pattern = wideFromUtf8(path);
    if (!pattern.empty() && pattern.back() != L'/' && pattern.back() != L'\\') pattern += L'/';
    return pattern + L'*';
}

}  // namespace

std::FILE* openFile(const char* path, const char* mode) {
    return _wfopen(wideFromUtf8(path).c_str(), wideFromUtf8(mode).c_str());
}

std::string temporaryDirectory() {
    wchar_t buffer[TemporaryPathUnits] = {};
    DWORD length = GetTempPathW(TemporaryPathUnits, buffer);
    if (length == 0 || length >= TemporaryPathUnits) return "C:/Windows/Temp/";
    std::string path = utf8FromWide(buffer, length);
    for (char& c : path) {
        if (c == '\\') c = '/';
    }
    if (path.back() != '/') path += '/';
    return path;
}

bool queryFileStatus(const char* path, FileStatus* status) {
    std::wstring wide = wideFromUtf8(path);
    WIN32_FILE_ATTRIBUTE_DATA info{};
    if (!GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &info)) return false;
    if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return queryThroughHandle(wide, status);
    fillStatus(info.dwFileAttributes, info.nFileSizeHigh, info.nFileSizeLow, info.ftLastAccessTime,
               info.ftLastWriteTime, info.ftCreationTime, status);
    return true;
}

// Symbolic links and junctions are both reparse points; either is removed itself, never followed.
bool isSymbolicLink(const char* path) {
    DWORD attributes = GetFileAttributesW(wideFromUtf8(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

MakeDirectoryResult makeDirectory(const char* path) {
    if (CreateDirectoryW(wideFromUtf8(path).c_str(), nullptr)) return MakeDirectoryResult::Created;
    if (GetLastError() == ERROR_ALREADY_EXISTS) return MakeDirectoryResult::AlreadyExists;
    return MakeDirectoryResult::Failed;
}

bool removeDirectory(const char* path) { return RemoveDirectoryW(wideFromUtf8(path).c_str()) != 0; }

// A link to a directory is itself a directory entry and goes with RemoveDirectoryW.
bool removeFile(const char* path) {
    std::wstring wide = wideFromUtf8(path);
    if (DeleteFileW(wide.c_str())) return true;
    DWORD attributes = GetFileAttributesW(wide.c_str());
    bool directoryLink = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
                         (attributes & FILE_ATTRIBUTE_DIRECTORY);
    return directoryLink && RemoveDirectoryW(wide.c_str()) != 0;
}

bool deleteFileNatively(const char* path) { return DeleteFileW(nativePath(path).c_str()) != 0; }

bool renameItem(const char* from, const char* to) {
    return MoveFileExW(wideFromUtf8(from).c_str(), wideFromUtf8(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

bool makeOwnerWritable(const char* path) { return changeAttributes(path, 0, FILE_ATTRIBUTE_READONLY); }

bool setFileTimes(const char* path, int64_t accessTime, int64_t modificationTime) {
    HANDLE file = openForAttributes(wideFromUtf8(path), FILE_WRITE_ATTRIBUTES);
    if (file == INVALID_HANDLE_VALUE) return false;
    FILETIME access = fileTime(accessTime);
    FILETIME modification = fileTime(modificationTime);
    bool set = SetFileTime(file, nullptr, &access, &modification) != 0;
    CloseHandle(file);
    return set;
}

bool setHiddenAttribute(const char* path) { return changeAttributes(path, FILE_ATTRIBUTE_HIDDEN, 0); }

bool listDirectoryEntries(const char* path, std::vector<DirectoryEntry>* entries) {
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW(withWildcard(path).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    do {
        std::string name = utf8FromWide(found.cFileName, wcslen(found.cFileName));
        entries->push_back(DirectoryEntry{name, (found.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) != 0});
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return true;
}

bool seekFile(std::FILE* file, int64_t offset, SeekOrigin origin) {
    return _fseeki64(file, offset, origin == SeekOrigin::Start ? SEEK_SET : SEEK_CUR) == 0;
}

int64_t fileOffset(std::FILE* file) { return _ftelli64(file); }

// The stream functions report through errno, which perror turns into the system's text.
void printLastError(const char* text) { std::perror(text); }
