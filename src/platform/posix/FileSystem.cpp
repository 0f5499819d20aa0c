#include "platform/FileSystem.h"

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/StatTimes.h"

namespace {

constexpr mode_t NewDirectoryMode = 0777;  // narrowed by the process umask

uint16_t typeBitsOf(mode_t mode) {
    if (S_ISDIR(mode)) return FileTypeDirectory;
    if (S_ISREG(mode)) return FileTypeRegular;
    return 0;
}

}  // namespace

std::FILE* openFile(const char* path, const char* mode) { return std::fopen(path, mode); }

std::string temporaryDirectory() {
    const char* fromEnvironment = std::getenv("TMPDIR");
    std::string path = (fromEnvironment && *fromEnvironment) ? fromEnvironment : "/tmp/";
    if (path.back() != '/') path += '/';
    return path;
}

bool queryFileStatus(const char* path, FileStatus* status) {
    struct stat info {};
    if (::stat(path, &info) != 0) return false;
    status->typeBits = typeBitsOf(info.st_mode);
    status->size = info.st_size;
    StatTimes times = statTimesOf(info);
    status->accessTime = times.access;
    status->modificationTime = times.modification;
    status->creationTime = times.creation;
    return true;
}

bool isSymbolicLink(const char* path) {
    struct stat info {};
    return ::lstat(path, &info) == 0 && S_ISLNK(info.st_mode);
}

MakeDirectoryResult makeDirectory(const char* path) {
    if (::mkdir(path, NewDirectoryMode) == 0) return MakeDirectoryResult::Created;
    if (errno == EEXIST) return MakeDirectoryResult::AlreadyExists;
    if (errno == EISDIR) return MakeDirectoryResult::IsDirectory;
    return MakeDirectoryResult::Failed;
}

bool removeDirectory(const char* path) { return ::rmdir(path) == 0; }

bool removeFile(const char* path) { return ::unlink(path) == 0; }

bool deleteFileNatively(const char* path) { return ::unlink(path) == 0; }

bool renameItem(const char* from, const char* to) { return ::rename(from, to) == 0; }

bool makeOwnerWritable(const char* path) {
    struct stat info {};
    if (::stat(path, &info) != 0) return false;
    return ::chmod(path, (info.st_mode & 07777) | S_IWUSR) == 0;
}

bool setFileTimes(const char* path, int64_t accessTime, int64_t modificationTime) {
    struct timespec times[2] = {};
    times[0].tv_sec = static_cast<time_t>(accessTime);
    times[1].tv_sec = static_cast<time_t>(modificationTime);
    return ::utimensat(AT_FDCWD, path, times, 0) == 0;
}

bool setHiddenAttribute(const char*) { return true; }

bool listDirectoryEntries(const char* path, std::vector<DirectoryEntry>* entries) {
    DIR* directory = ::opendir(path);
    if (!directory) return false;
    while (const dirent* entry = ::readdir(directory)) {
        entries->push_back(DirectoryEntry{entry->d_name, entry->d_name[0] == '.'});
    }
    ::closedir(directory);
    return true;
}

bool seekFile(std::FILE* file, int64_t offset, SeekOrigin origin) {
    return ::fseeko(file, static_cast<off_t>(offset), origin == SeekOrigin::Start ? SEEK_SET : SEEK_CUR) == 0;
}

int64_t fileOffset(std::FILE* file) { return static_cast<int64_t>(::ftello(file)); }

void printLastError(const char* text) { std::perror(text); }
