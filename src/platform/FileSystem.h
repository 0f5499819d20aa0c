// File operations of the platform, on UTF-8 paths whose components are separated by "/". Every function
// reports failure as a value; none throws. Streams are the C library's buffered FILE streams, so that the
// caller reads and writes them with the standard functions and the platform only opens and positions them.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// fopen with a UTF-8 path; null when the file cannot be opened.
std::FILE* openFile(const char* path, const char* mode);

// The system's temporary directory, always ending in "/".
std::string temporaryDirectory();

// The kinds a status query distinguishes; anything else (missing, device, socket, ...) has neither bit.
constexpr uint16_t FileTypeDirectory = 0x4000;
constexpr uint16_t FileTypeRegular = 0x8000;

// What the file system reports for a path. Times are whole seconds since 1970-01-01 UTC; the creation
// time is the platform's creation or status-change time.
struct FileStatus {
    uint16_t typeBits = 0;
    int64_t size = 0;
    int64_t accessTime = 0;
    int64_t modificationTime = 0;
    int64_t creationTime = 0;
};

// Fills status for path (links followed). False, with status left as it was, when the query fails.
bool queryFileStatus(const char* path, FileStatus* status);
// True when path itself is a symbolic link (not followed).
bool isSymbolicLink(const char* path);

enum class MakeDirectoryResult { Created, AlreadyExists, IsDirectory, Failed };
MakeDirectoryResult makeDirectory(const char* path);
bool removeDirectory(const char* path);
bool removeFile(const char* path);
// Deletes a file through the platform's native file-delete call.
bool deleteFileNatively(const char* path);
// Renames from to to, replacing a file at to.
bool renameItem(const char* from, const char* to);
// Gives the owner write permission, keeping the other permissions.
bool makeOwnerWritable(const char* path);
bool setFileTimes(const char* path, int64_t accessTime, int64_t modificationTime);
// Marks path hidden. Where hiding is a leading dot in the name (POSIX) there is nothing to do.
bool setHiddenAttribute(const char* path);

struct DirectoryEntry {
    std::string name;
    bool hidden = false;
};
// Every entry of the directory, "." and ".." included, in the order the platform reports them.
bool listDirectoryEntries(const char* path, std::vector<DirectoryEntry>* entries);

enum class SeekOrigin { Start, Current };
// 64-bit positioning of an open stream.
bool seekFile(std::FILE* file, int64_t offset, SeekOrigin origin);
int64_t fileOffset(std::FILE* file);

// Prints text, a colon and the system's message for the last failed call on standard error.
void printLastError(const char* text);
