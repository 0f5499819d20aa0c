// BaseFile: the file stream of the system, an IOAbstract over one path, with the file-system operations
// that a file transfer needs: the attribute dictionary that describes the file on the wire, a write
// through a dot-named temporary file beside the target that replaces the target only when the write is
// complete (".temp", or ".partial" for a transfer that may be resumed), removal and directory listing.
//
// The path is given in generic form and kept in OS form (see GenericFileNames.h), without a trailing "/".
// The file owns its path, its temporary path, its read buffer, its context and its open stream; the
// stream is closed by finishWriting or by destruction (close() leaves it open). A file is used by one
// thread at a time.
#pragma once

#include <cstdint>
#include <cstdio>

#include "io/IOAbstract.h"
#include "platform/FileSystem.h"

class BaseBuffer;
class BaseDictionary;
template <class T>
class BaseTypedArray;

// How the constructor treats the path.
enum FileOpenMode : int32_t {
    FileStatusOnly = 0,       // query only; openOk says whether the path exists
    FileCreateIfMissing = 1,  // an empty file when missing
    FileCreateOrTruncate = 2,
    FileNoAction = 3,         // and every mode above 6
    FileOpenReadOnly = 4,
    FileOpenTruncated = 5,    // created or truncated, then open for update
    FileOpenForAppend = 6,    // created when missing, open for update at the end
};

// Flags of remove.
namespace FileRemoveFlag {
constexpr uint32_t Recursive = 1;
constexpr uint32_t EmptiedParents = 2;
constexpr uint32_t MakeWritable = 4;
constexpr uint32_t NativeDelete = 8;
}  // namespace FileRemoveFlag

class BaseFile : public IOAbstract {
public:
    static constexpr uint64_t ReadChunkCapacity = 8192;

    BaseFile(const BaseString* path, int32_t mode);
    // A status-only file over a path already in OS form (count 1, owned by the caller).
    static BaseFile* overOSPath(const BaseString* osPath);
    ~BaseFile() override;

    BaseString* path() const { return path_; }
    BaseString* tempPath() const { return tempPath_; }
    const FileStatus& status() const { return status_; }
    bool openOk() const { return openOk_; }
    bool isOpen() const { return stream_ != nullptr; }
    // The status held says regular file or directory.
    bool existsAsFileOrDirectory() const;

    BaseObject* context() const { return context_; }
    void setContext(BaseObject* context);
    uint64_t resumeOffset() const { return resumeOffset_; }
    void setResumeOffset(uint64_t offset) { resumeOffset_ = offset; }
    bool partial() const { return partial_; }

    // Opens the stream ("rb" or "rb+") unless it is open; regular files only.
    bool openFile(bool readOnly);
    // Starts a write into the temporary file beside the path; resume continues an existing ".partial".
    bool openForWriting(bool resume);
    // Commits a write in progress, then flushes and closes the stream. False when the data did not reach
    // the path (the commit or the final flush failed); a failed write leaves no ".temp" file behind.
    bool finishWriting();
    // Closes the stream if open.
    void closeStream();
    // Up to maxCount bytes into the file's reusable buffer; the bytes stay valid until the next call.
    const char* readChunk(uint64_t maxCount, uint32_t* count);

    // An autoreleased attribute dictionary ("fa_name", "fa_type", "fa_size", dates, ...).
    BaseDictionary* attributes();
    // Sets access and modification times from "fa_adate" and "fa_mdate" when both are dates.
    bool setDatesFromAttributes(const BaseDictionary* attributes);
    bool remove(uint32_t flags);
    // Generic names of the directory's entries; skipHidden leaves out hidden entries, "." and "..".
    BaseTypedArray<BaseString>* listDirectory(bool skipHidden);

    // Number of file streams open in the process, printed when an open fails.
    static int openStreamCount();

    bool read(void* destination, uint64_t* count) override;
    bool write(const void* source, uint64_t count) override;
    bool flush() override;
    bool skip(uint64_t count) override;
    int64_t position() override;
    bool setPosition(uint64_t offset) override;

    const char* className() const override;
    BaseString* description(uint32_t flags) const override;

private:
    struct OSPath {};
    BaseFile(const BaseString* osPath, OSPath);
    static bool removeOSPath(const BaseString* osPath, uint32_t flags);
    void queryStatus(const BaseString* path);
    BaseString* typeName() const;
    void createOrTruncate();
    bool openStream(const BaseString* path, const char* mode);
    bool commitWrite();
    void discardTemporaryFile();
    void moveForward(uint64_t count);
    bool removeItem(uint32_t flags);
    bool removeDirectoryTree();
    void removeEmptiedParents();
    BaseString* temporaryPathFor(bool resume);

    BaseString* path_ = nullptr;
    BaseString* tempPath_ = nullptr;
    FileStatus status_;
    std::FILE* stream_ = nullptr;
    BaseBuffer* readBuffer_ = nullptr;
    BaseObject* context_ = nullptr;
    bool partial_ = false;
    bool openOk_ = false;
    uint64_t resumeOffset_ = 0;
};
