#include "file/BaseFile.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <vector>

#include "base/AutoreleasePool.h"
#include "base/BaseDate.h"
#include "base/BaseDictionary.h"
#include "base/BaseNumber.h"
#include "base/BaseString.h"
#include "base/BaseTypedArray.h"
#include "base/Description.h"
#include "base/StringFormat.h"
#include "file/FileAttributeKeys.h"
#include "file/GenericFileNames.h"
#include "file/PathOperations.h"
#include "io/BaseBuffer.h"

namespace {

// The C library takes 32-bit relative offsets on some platforms: long moves go in steps of this size.
constexpr uint64_t LargestSeekStep = 0x7FFFFFFF;
// Dates outside this range (some 290 billion years) do not fit a whole number of seconds.
constexpr double LatestSettableTime = 9.2e18;

std::atomic<int> openStreams{0};

void reportOpenFailure() {
    printLastError("Can't open file");
    std::fprintf(stderr, "Open files %i\n", openStreams.load());
}

// Whole seconds of a received date; false for a value that is not a finite time.
bool wholeSeconds(const BaseObject* date, int64_t* seconds) {
    if (!hasClassName(date, "BaseDate")) return false;
    double value = static_cast<const BaseDate*>(date)->value();
    if (!std::isfinite(value) || std::fabs(value) > LatestSettableTime) return false;
    *seconds = static_cast<int64_t>(value);
    return true;
}

}  // namespace

BaseFile::BaseFile(const BaseString* path, int32_t mode) : BaseFile(genericPathToOS(path), OSPath{}) {
    bool exists = existsAsFileOrDirectory();
    switch (mode) {
        case FileStatusOnly: openOk_ = exists; break;
        case FileCreateIfMissing:
            if (!exists) createOrTruncate();
            openOk_ = true;
            break;
        case FileCreateOrTruncate:
            createOrTruncate();
            openOk_ = true;
            break;
        case FileOpenReadOnly: openOk_ = exists && openFile(true); break;
        case FileOpenTruncated:
            createOrTruncate();
            openOk_ = openFile(false);
            break;
        case FileOpenForAppend:
            if (!exists) createOrTruncate();
            openOk_ = openFile(false) && seekFile(stream_, status_.size, SeekOrigin::Start);
            break;
        default: openOk_ = true; break;
    }
}

BaseFile::BaseFile(const BaseString* osPath, OSPath)
    : path_(retain(const_cast<BaseString*>(osPath)->stringByStrippingTrailingSlash())) {
    queryStatus(path_);
}

BaseFile* BaseFile::overOSPath(const BaseString* osPath) { return new BaseFile(osPath, OSPath{}); }

// A write still in progress leaves nothing behind, unless it may be resumed.
BaseFile::~BaseFile() {
    if (tempPath_) {
        closeStream();
        if (!partial_) discardTemporaryFile();
        assignRetained(tempPath_, static_cast<BaseString*>(nullptr));
    }
    closeStream();
    release(path_);
    release(readBuffer_);
    release(context_);
}

const char* BaseFile::className() const { return "BaseFile"; }

BaseString* BaseFile::description(uint32_t flags) const {
    BaseString* rendering = const_cast<BaseFile*>(this)->attributes()->description(flags);
    return addDescriptionHeader(this, flags, rendering, -1, nullptr);
}

int BaseFile::openStreamCount() { return openStreams.load(); }

bool BaseFile::existsAsFileOrDirectory() const {
    return (status_.typeBits & (FileTypeRegular | FileTypeDirectory)) != 0;
}

void BaseFile::setContext(BaseObject* context) { assignRetained(context_, context); }

// A failed query leaves a zeroed status: the path counts as missing, with size and dates 0.
void BaseFile::queryStatus(const BaseString* path) {
    status_ = FileStatus{};
    queryFileStatus(path->chars(), &status_);
}

void BaseFile::createOrTruncate() {
    if (std::FILE* created = ::openFile(path_->chars(), "wb+")) {
        std::fclose(created);
        hideIfDotName(path_);
    }
    queryStatus(path_);
}

bool BaseFile::openStream(const BaseString* path, const char* mode) {
    stream_ = ::openFile(path->chars(), mode);
    if (!stream_) {
        reportOpenFailure();
        return false;
    }
    openStreams.fetch_add(1);
    return true;
}

void BaseFile::closeStream() {
    if (!stream_) return;
    std::fclose(stream_);
    stream_ = nullptr;
    openStreams.fetch_sub(1);
}

bool BaseFile::openFile(bool readOnly) {
    if (stream_) return true;
    if (!(status_.typeBits & FileTypeRegular)) return false;
    return openStream(path_, readOnly ? "rb" : "rb+");
}

// "dir/a.txt" is written as "dir/.a.txt.temp" (or ".partial"); a path without a directory keeps the
// temporary file in the same relative place.
BaseString* BaseFile::temporaryPathFor(bool resume) {
    BaseString* directory = path_->stringByDeletingLastPathComponent();
    const char* suffix = resume ? "partial" : "temp";
    BaseString* name = path_->lastPathComponent(true);
    if (directory->length() == 0 && path_->chars()[0] != '/') return stringWithFormat(".%S.%s", name, suffix);
    return stringWithFormat("%S/.%S.%s", directory, name, suffix);
}

// The target stays untouched until the write is committed, so a transfer that breaks off loses nothing.
bool BaseFile::openForWriting(bool resume) {
    AutoreleasePool pool;
    closeStream();
    partial_ = resume;
    assignRetained(tempPath_, temporaryPathFor(resume));
    queryStatus(tempPath_);
    bool continuing = resume && existsAsFileOrDirectory();
    if (openStream(tempPath_, continuing ? "rb+" : "wb+")) return true;
    assignRetained(tempPath_, static_cast<BaseString*>(nullptr));
    return false;
}

bool BaseFile::finishWriting() {
    bool written = true;
    if (tempPath_) written = commitWrite();
    if (stream_) {
        written = std::fflush(stream_) == 0 && written;
        closeStream();
    }
    return written;
}

// Moves the complete temporary file over the path. When the data cannot reach the path, a ".temp" file
// is removed and a ".partial" file stays for the next attempt.
bool BaseFile::commitWrite() {
    if (!tempPath_) return false;
    AutoreleasePool pool;
    queryStatus(path_);
    bool flushed = true;
    if (stream_) {
        flushed = std::fflush(stream_) == 0;
        closeStream();
    }
    bool committed = flushed && (!existsAsFileOrDirectory() || removeOSPath(path_, FileRemoveFlag::MakeWritable));
    if (committed) {
        committed = renameItem(tempPath_->chars(), path_->chars());
        hideIfDotName(path_);
    }
    if (!committed && !partial_) discardTemporaryFile();
    assignRetained(tempPath_, static_cast<BaseString*>(nullptr));
    queryStatus(path_);
    return committed;
}

void BaseFile::discardTemporaryFile() { removeOSPath(tempPath_, FileRemoveFlag::MakeWritable); }

bool BaseFile::removeOSPath(const BaseString* osPath, uint32_t flags) {
    BaseFile* file = overOSPath(osPath);
    bool removed = file->remove(flags);
    release(file);
    return removed;
}

const char* BaseFile::readChunk(uint64_t maxCount, uint32_t* count) {
    *count = 0;
    if (!stream_) return nullptr;
    maxCount = std::min<uint64_t>(maxCount, UINT32_MAX);
    if (!readBuffer_) readBuffer_ = new BaseBuffer(ReadChunkCapacity);
    if (!std::feof(stream_) && !std::ferror(stream_)) {
        readBuffer_->setLength(maxCount);
        if (readBuffer_->length() == maxCount) {
            *count = static_cast<uint32_t>(std::fread(readBuffer_->mutableBytes(), 1, maxCount, stream_));
        }
    }
    return readBuffer_->bytes();
}

BaseString* BaseFile::typeName() const {
    if (status_.typeBits & FileTypeRegular) return FileType::regular();
    if (status_.typeBits & FileTypeDirectory) return FileType::directory();
    return FileType::special();
}

BaseDictionary* BaseFile::attributes() {
    auto* attributes = createAutoreleased<BaseDictionary>();
    bool regular = (status_.typeBits & FileTypeRegular) != 0;
    attributes->setObjectForKey(osFileNameToGeneric(path_->lastPathComponent(true)), FileAttributeKey::name());
    attributes->setObjectForKey(typeName(), FileAttributeKey::type());
    if (regular && resumeOffset_ > 0) {
        auto* offset = createAutoreleased<BaseNumber>(static_cast<int64_t>(resumeOffset_));
        attributes->setObjectForKey(offset, FileAttributeKey::resumeOffset());
    }
    if (regular && partial_) {
        attributes->setObjectForKey(createAutoreleased<BaseNumber>(true), FileAttributeKey::resumable());
    }
    // A write since the last query left the size at 0: ask again.
    if (regular && status_.size == 0) queryStatus(path_);
    int64_t size = (status_.typeBits & FileTypeRegular) ? status_.size : 0;
    attributes->setObjectForKey(createAutoreleased<BaseNumber>(size), FileAttributeKey::size());
    auto date = [](int64_t seconds) { return createAutoreleased<BaseDate>(static_cast<double>(seconds)); };
    attributes->setObjectForKey(date(status_.creationTime), FileAttributeKey::creationDate());
    attributes->setObjectForKey(date(status_.modificationTime), FileAttributeKey::modificationDate());
    attributes->setObjectForKey(date(status_.accessTime), FileAttributeKey::accessDate());
    if (context_) attributes->setObjectForKey(context_, FileAttributeKey::context());
    return attributes;
}

// Dates that are not finite times (a peer may send any double) are not applied.
bool BaseFile::setDatesFromAttributes(const BaseDictionary* attributes) {
    int64_t accessTime = 0;
    int64_t modificationTime = 0;
    const BaseObject* accessDate = BaseDictionary::objectForKey(attributes, FileAttributeKey::accessDate());
    const BaseObject* modificationDate = BaseDictionary::objectForKey(attributes, FileAttributeKey::modificationDate());
    if (!wholeSeconds(accessDate, &accessTime) || !wholeSeconds(modificationDate, &modificationTime)) return false;
    bool set = setFileTimes(path_->chars(), accessTime, modificationTime);
    queryStatus(path_);
    return set;
}

// ---- removal and listing

bool BaseFile::remove(uint32_t flags) {
    closeStream();
    bool removed = removeItem(flags);
    if (flags & FileRemoveFlag::EmptiedParents) removeEmptiedParents();
    return removed;
}

// A symbolic link is removed itself, never followed: removing a tree must not reach into another one.
bool BaseFile::removeItem(uint32_t flags) {
    if (isSymbolicLink(path_->chars())) return removeFile(path_->chars());
    if (!existsAsFileOrDirectory()) return false;
    if (flags & FileRemoveFlag::MakeWritable) makeOwnerWritable(path_->chars());
    if (flags & FileRemoveFlag::NativeDelete) return deleteFileNatively(path_->chars());
    if (status_.typeBits & FileTypeDirectory) {
        if ((flags & FileRemoveFlag::Recursive) && !removeDirectoryTree()) return false;
        return removeDirectory(path_->chars());
    }
    return removeFile(path_->chars());
}

// Entries are removed by the names the file system reports, so that names another program made (such as
// "aux" or "a:b", which generic names would escape) are removed too.
bool BaseFile::removeDirectoryTree() {
    std::vector<DirectoryEntry> entries;
    if (!listDirectoryEntries(path_->chars(), &entries)) return false;
    AutoreleasePool pool;
    for (const DirectoryEntry& entry : entries) {
        if (entry.name == "." || entry.name == "..") continue;
        auto* name = createAutoreleased<BaseString>(entry.name.c_str());
        if (!removeOSPath(stringWithFormat("%S%P", path_, name), FileRemoveFlag::Recursive)) return false;
    }
    return true;
}

void BaseFile::removeEmptiedParents() {
    AutoreleasePool pool;
    for (BaseString* parent = path_->stringByDeletingLastPathComponent(); parent->length() > 0;
         parent = parent->stringByDeletingLastPathComponent()) {
        if (!removeDirectory(parent->chars())) break;
    }
}

BaseTypedArray<BaseString>* BaseFile::listDirectory(bool skipHidden) {
    auto* names = createAutoreleased<BaseTypedArray<BaseString>>();
    std::vector<DirectoryEntry> entries;
    if (!(status_.typeBits & FileTypeDirectory) || !listDirectoryEntries(path_->chars(), &entries)) return names;
    AutoreleasePool pool;
    for (const DirectoryEntry& entry : entries) {
        if (skipHidden && (entry.hidden || entry.name == "." || entry.name == "..")) continue;
        auto* name = createAutoreleased<BaseString>(entry.name.c_str());
        names->addObject(osFileNameToGeneric(name));
    }
    return names;
}

// ---- stream slots

bool BaseFile::read(void* destination, uint64_t* count) {
    if (!stream_) return false;
    *count = std::fread(destination, 1, *count, stream_);
    return *count != 0;
}

// A completed write makes the next attributes query the size again.
bool BaseFile::write(const void* source, uint64_t count) {
    if (!stream_) return false;
    if (count > 0 && std::fwrite(source, 1, count, stream_) != count) return false;
    status_.size = 0;
    return true;
}

bool BaseFile::flush() { return stream_ && std::fflush(stream_) == 0; }

bool BaseFile::skip(uint64_t count) {
    if (!stream_) return false;
    for (uint64_t left = count; left > 0;) {
        uint64_t step = std::min(left, LargestSeekStep);
        if (!seekFile(stream_, static_cast<int64_t>(step), SeekOrigin::Current)) return false;
        left -= step;
    }
    return true;
}

int64_t BaseFile::position() { return stream_ ? fileOffset(stream_) : -1; }

// Back to the start, then forward in steps; the steps' own results are not examined.
bool BaseFile::setPosition(uint64_t offset) {
    if (!stream_) return true;
    if (!seekFile(stream_, 0, SeekOrigin::Start)) return false;
    moveForward(offset);
    return true;
}

void BaseFile::moveForward(uint64_t count) {
    for (uint64_t left = count; left > 0;) {
        uint64_t step = std::min(left, LargestSeekStep);
        seekFile(stream_, static_cast<int64_t>(step), SeekOrigin::Current);
        left -= step;
    }
}
