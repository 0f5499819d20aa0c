#include "serialization/BaseSerializer.h"

#include <algorithm>

#include "base/AutoreleasePool.h"
#include "base/BaseArray.h"
#include "base/BaseDate.h"
#include "base/BaseDictionaryEnumerator.h"
#include "base/BaseNull.h"
#include "base/BaseNumber.h"
#include "base/BaseString.h"
#include "base/IOException.h"
#include "base/SharedObjectsLock.h"
#include "file/BaseFile.h"
#include "file/BasePackageIndex.h"
#include "file/FileAttributeKeys.h"
#include "file/PathOperations.h"
#include "io/BaseBuffer.h"
#include "io/IOExceptionFilter.h"
#include "platform/FileSystem.h"
#include "serialization/CompactInteger.h"
#include "serialization/ReceivedFileAttributes.h"
#include "serialization/SerializerTypeTable.h"
#include "serialization/SerializingEncoder.h"
#include "serialization/WritableGraph.h"

namespace {

// The object core encodes through the serializer from the moment the module is loaded. The installation sits
// in this file because a static library leaves out a file that nothing refers to, while every program that
// can write a record links this one.
[[maybe_unused]] const bool objectEncoderInstalled = (installObjectEncoder(&serializingEncoder), true);

// The system's temporary folder, where received files go; asked for once.
SharedInstance<BaseString> temporaryDirectoryHolder;

constexpr int32_t CurrentVersion = 0;
// Strings grow by at most this much per read, so a declared length commits no memory ahead of the data.
constexpr uint64_t StringReadStep = 64 * 1024;
constexpr uint64_t BufferReadStep = 8192;
// File content goes out in the pieces the file delivers and comes in through a small stack buffer.
constexpr uint64_t FileSendPiece = 8192;
constexpr uint64_t FileReceivePiece = 1024;
constexpr uint64_t PathBufferCapacity = 256;

// Records that hold other records; each level of them counts against the nesting limit, while a leaf may
// sit one level below the deepest of them.
bool holdsRecords(int32_t tag) { return tag == TagArray || tag == TagDictionary || tag == TagFile; }

uint64_t countFor(const BaseDictionary* attributes, BaseString* key) {
    const BaseObject* value = BaseDictionary::objectForKey(attributes, key);
    if (!hasClassName(value, "BaseNumber")) return 0;
    int64_t number = static_cast<const BaseNumber*>(value)->int64Value();
    return number > 0 ? static_cast<uint64_t>(number) : 0;
}

}  // namespace

void SerializerDelegate::objectReceived(BaseSerializer*, BaseObject*) {}

BaseString* SerializerDelegate::destinationForFile(BaseSerializer*, BaseDictionary*) { return nullptr; }

void SerializerDelegate::progress(BaseSerializer*, uint64_t, uint64_t, uint64_t) {}

BaseSerializer::BaseSerializer(IOAbstract* stream, SerializerDelegate* delegate)
    : BaseThread(true, false),
      stream_(new IOExceptionFilter(stream)),
      delegate_(delegate),
      baseStream_(retain(stream)),
      fileDirectory_(retain(temporaryDirectoryPath())) {}

BaseSerializer::~BaseSerializer() {
    stopThread();
    release(stream_);
    release(baseStream_);
    release(fileDirectory_);
    release(pathBuffer_);
    release(rootObject_);
}

const char* BaseSerializer::className() const { return "BaseSerializer"; }

BaseString* BaseSerializer::temporaryDirectoryPath() {
    return temporaryDirectoryHolder.get([] { return new BaseString(temporaryDirectory().c_str()); });
}

void BaseSerializer::setRootObject(BaseObject* object) {
    filesSent_ = filesDone_ = fileBytes_ = 0;
    assignRetained(rootObject_, object);
}

void BaseSerializer::setFileDirectory(BaseString* directory) { assignRetained(fileDirectory_, directory); }

// ---- writing

void BaseSerializer::writeCompactInteger(int64_t value) {
    unsigned char bytes[CompactIntegerMaxBytes];
    stream_->write(bytes, static_cast<uint64_t>(encodeCompactInteger(value, bytes)));
}

void BaseSerializer::writeCompactInt32(int32_t value) { writeCompactInteger(value); }

void BaseSerializer::writeHead(int32_t tag) {
    unsigned char bytes[2 * CompactIntegerMaxBytes];
    int length = encodeCompactInteger(tag, bytes);
    length += encodeCompactInteger(CurrentVersion, bytes + length);
    stream_->write(bytes, static_cast<uint64_t>(length));
}

// Every write passes through the error filter and the stream's own buffering, so a record's tag, version
// and first number (its value, length or count) leave in one write rather than three.
void BaseSerializer::writeHead(int32_t tag, int64_t first) {
    unsigned char bytes[3 * CompactIntegerMaxBytes];
    int length = encodeCompactInteger(tag, bytes);
    length += encodeCompactInteger(CurrentVersion, bytes + length);
    length += encodeCompactInteger(first, bytes + length);
    stream_->write(bytes, static_cast<uint64_t>(length));
}

void BaseSerializer::writeBytesRecord(int32_t tag, const char* bytes, uint64_t length) {
    writeHead(tag, static_cast<int64_t>(length));
    if (length > 0) stream_->write(bytes, length);
}

bool BaseSerializer::writeObject(const BaseObject* object) {
    if (object && !isWritableGraph(object)) return false;
    try {
        AutoreleasePool pool;
        if (object) writeRecord(object);
        stream_->flush();
        return true;
    } catch (IOException* exception) {
        release(exception);
        return false;
    }
}

// Depth first; the graph was checked, so every member has a row and a value the form can carry.
void BaseSerializer::writeRecord(const BaseObject* object) {
    const SerializerTypeRow* row = rowForWriting(object);
    switch (row->tag) {
        case TagString: {
            auto* string = static_cast<const BaseString*>(object);
            writeBytesRecord(TagString, string->chars(), string->length());
            break;
        }
        case TagBuffer: {
            auto* buffer = static_cast<const BaseBuffer*>(object);
            writeBytesRecord(TagBuffer, buffer->bytes(), buffer->length());
            break;
        }
        case TagArray: {
            auto* array = static_cast<const BaseArray*>(object);
            writeHead(TagArray, static_cast<int32_t>(array->count()));
            for (uint32_t i = 0; i < array->count(); ++i) writeRecord(array->objectAtIndex(i));
            break;
        }
        case TagDictionary: {
            auto* dictionary = static_cast<const BaseDictionary*>(object);
            writeHead(TagDictionary, static_cast<int32_t>(dictionary->count()));
            for (BaseDictionaryEnumerator e(dictionary); !e.atEnd(); e.advance()) {
                writeRecord(e.key());
                writeRecord(e.value());
            }
            break;
        }
        case TagInteger: writeHead(TagInteger, static_cast<const BaseNumber*>(object)->int64Value()); break;
        case TagReal:
            writeHead(TagReal, encodeReal(static_cast<const BaseNumber*>(object)->doubleValue()));
            break;
        case TagDate: writeHead(TagDate, encodeReal(static_cast<const BaseDate*>(object)->value())); break;
        case TagBoolean: writeHead(TagBoolean, static_cast<const BaseNumber*>(object)->boolValue() ? 1 : 0); break;
        case TagFile:
            writeHead(TagFile);
            writeFile(static_cast<BaseFile*>(const_cast<BaseObject*>(object)));
            break;
        case TagPackageIndex:
            writeHead(TagPackageIndex);
            static_cast<BasePackageIndex*>(const_cast<BaseObject*>(object))->writeIndex(stream_);
            break;
        default: writeHead(row->tag); break;  // null has no payload
    }
}

// ---- reading

// The filter throws when a read fails; a stream may also end a read with success and no bytes, which
// readFully reports as false. Either way the record ends here rather than with bytes that never arrived.
void BaseSerializer::readBytes(void* destination, uint64_t count) {
    if (!stream_->readFully(destination, count)) throw new IOException();
}

bool BaseSerializer::readCompact(uint64_t maxMagnitude, int64_t* value) {
    unsigned char first = 0;
    readBytes(&first, 1);
    unsigned char extension[8];
    int count = compactExtensionCount(first);
    if (count > 0) readBytes(extension, static_cast<uint64_t>(count));
    return decodeCompactInteger(first, extension, maxMagnitude, value);
}

bool BaseSerializer::readCompactInteger(int64_t* value) { return readCompact(CompactInteger64Max, value); }

bool BaseSerializer::readCompactInt32(int32_t* value) {
    int64_t wide = 0;
    if (!readCompact(CompactInteger32Max, &wide)) return false;
    *value = static_cast<int32_t>(wide);
    return true;
}

BaseObject* BaseSerializer::readObject() {
    try {
        AutoreleasePool pool;
        BaseObject* object = readRecord(1);
        if (!object) return nullptr;
        // Hand the result to the caller's pool before this one closes.
        return autorelease(retain(object), 1);
    } catch (IOException* exception) {
        release(exception);
        return nullptr;
    }
}

// Returns an object owned by the innermost pool, or null when the record fails.
BaseObject* BaseSerializer::readRecord(int depth) {
    int32_t tag = 0;
    int32_t version = 0;
    if (!readCompactInt32(&tag) || !readCompactInt32(&version)) return nullptr;
    if ((version & 0xFF) > CurrentVersion) return nullptr;
    if (!rowForReading(tag)) return nullptr;
    if (depth > SerializerMaxDepth && holdsRecords(tag)) return nullptr;
    return readPayload(tag, depth);
}

BaseObject* BaseSerializer::readPayload(int32_t tag, int depth) {
    int64_t value = 0;
    switch (tag) {
        case TagString: return readString();
        case TagBuffer: return readBuffer();
        case TagArray: return readArray(depth);
        case TagDictionary: return readDictionary(depth);
        case TagNull: return sharedNull();
        case TagInteger:
            if (!readCompactInteger(&value)) return nullptr;
            return createAutoreleased<BaseNumber>(value);
        case TagReal:
            if (!readCompactInteger(&value)) return nullptr;
            return createAutoreleased<BaseNumber>(decodeReal(value));
        case TagDate:
            if (!readCompactInteger(&value)) return nullptr;
            return createAutoreleased<BaseDate>(decodeReal(value));
        case TagBoolean: {
            int32_t flag = 0;
            if (!readCompactInt32(&flag)) return nullptr;
            return createAutoreleased<BaseNumber>(BooleanByte{static_cast<uint8_t>(flag != 0 ? 1 : 0)});
        }
        case TagFile: return readFile(depth);
        case TagPackageIndex: return readPackageIndex();
        default: return nullptr;
    }
}

bool BaseSerializer::readLength(uint64_t limit, uint64_t* length) {
    int32_t declared = 0;
    if (!readCompactInt32(&declared) || declared < 0 || static_cast<uint64_t>(declared) > limit) return false;
    *length = static_cast<uint64_t>(declared);
    return true;
}

BaseObject* BaseSerializer::readString() {
    uint64_t length = 0;
    if (!readLength(MaxBytesLength, &length)) return nullptr;
    auto* string = createAutoreleased<BaseString>();
    for (uint64_t done = 0; done < length;) {
        uint64_t step = std::min(length - done, StringReadStep);
        char* bytes = string->setLengthForWriting(done + step);
        readBytes(bytes + done, step);
        done += step;
    }
    string->contentChanged();
    return string;
}

BaseObject* BaseSerializer::readBuffer() {
    uint64_t length = 0;
    if (!readLength(MaxBytesLength, &length)) return nullptr;
    auto* buffer = createAutoreleased<BaseBuffer>(std::min(length, BufferReadStep));
    char piece[BufferReadStep];
    for (uint64_t done = 0; done < length;) {
        uint64_t step = std::min(length - done, BufferReadStep);
        readBytes(piece, step);
        buffer->append(piece, step);
        done += step;
    }
    return buffer;
}

// Each member is read inside a pool of its own, drained before the next one.
BaseObject* BaseSerializer::readArray(int depth) {
    uint64_t count = 0;
    if (!readLength(MaxMembers, &count)) return nullptr;
    auto* array = createAutoreleased<BaseArray>();
    for (uint64_t i = 0; i < count; ++i) {
        AutoreleasePool memberPool;
        BaseObject* member = readRecord(depth + 1);
        if (!member) return nullptr;
        array->addObject(member);
    }
    return array;
}

// Entries are inserted as they come; a later equal key replaces the value of an earlier one.
BaseObject* BaseSerializer::readDictionary(int depth) {
    uint64_t count = 0;
    if (!readLength(MaxMembers, &count)) return nullptr;
    auto* dictionary = createAutoreleased<BaseDictionary>();
    for (uint64_t i = 0; i < count; ++i) {
        AutoreleasePool entryPool;
        BaseObject* key = readRecord(depth + 1);
        if (!key) return nullptr;
        BaseObject* value = readRecord(depth + 1);
        if (!value) return nullptr;
        dictionary->setObjectForKey(value, key);
    }
    return dictionary;
}

// ---- file records and package indexes

void BaseSerializer::reportProgress() {
    if (delegate_) delegate_->progress(this, filesSent_, filesDone_, fileBytes_);
}

void BaseSerializer::writeEmptyDictionary() { writeHead(TagDictionary, 0); }

// A file that cannot be opened travels as the empty dictionary alone.
void BaseSerializer::writeFile(BaseFile* file) {
    BaseDictionary* attributes = file->attributes();
    uint64_t start = countFor(attributes, FileAttributeKey::resumeOffset());
    if (!file->openFile(true)) {
        writeEmptyDictionary();
    } else {
        struct StreamCloser {
            BaseFile* file;
            ~StreamCloser() { file->closeStream(); }
        } closer{file};
        writeRecord(attributes);
        file->setPosition(start);
        fileBytes_ += start;
        reportProgress();
        uint64_t size = countFor(attributes, FileAttributeKey::size());
        sendFileContent(file, size > start ? size - start : 0);
    }
    ++filesSent_;
    ++filesDone_;
    reportProgress();
}

// Exactly the count the attributes announced: a file that shrank since fails the write (the receiver
// would otherwise read the following records as content), and bytes added since are not sent.
void BaseSerializer::sendFileContent(BaseFile* file, uint64_t count) {
    for (uint64_t remaining = count; remaining > 0;) {
        AutoreleasePool piecePool;
        uint32_t got = 0;
        const char* bytes = file->readChunk(std::min(remaining, FileSendPiece), &got);
        if (got == 0) throw new IOException();
        stream_->write(bytes, got);
        remaining -= got;
        fileBytes_ += got;
        reportProgress();
    }
}

BaseObject* BaseSerializer::readFile(int depth) {
    if (!acceptsFileRecords_) return nullptr;
    BaseObject* record = readRecord(depth + 1);
    if (!hasClassName(record, "BaseDictionary")) return nullptr;
    auto* attributes = static_cast<BaseDictionary*>(record);
    ReceivedFileAttributes request;
    if (!request.read(attributes)) return nullptr;
    // Without content the sender could not open its file: a file over the empty path stands for it.
    BaseFile* file = request.hasContent() ? receiveFile(attributes, request)
                                          : createAutoreleased<BaseFile>(constantString(""_lit), FileStatusOnly);
    if (!file) return nullptr;
    ++filesSent_;
    ++filesDone_;
    reportProgress();
    return file;
}

// On any failure the file object goes with the enclosing pool, and with it the temporary file.
BaseFile* BaseSerializer::receiveFile(BaseDictionary* attributes, const ReceivedFileAttributes& request) {
    BaseString* path = receivedFilePath(attributes, request);
    if (!path) return nullptr;
    auto* file = createAutoreleased<BaseFile>(path, FileStatusOnly);
    if (!file->openForWriting(request.resume())) return nullptr;
    file->setPosition(request.startOffset());
    fileBytes_ += request.startOffset();
    reportProgress();
    char piece[FileReceivePiece];
    for (uint64_t remaining = request.size() - request.startOffset(); remaining > 0;) {
        AutoreleasePool piecePool;
        uint64_t step = std::min(remaining, FileReceivePiece);
        readBytes(piece, step);
        if (!file->write(piece, step)) return nullptr;
        remaining -= step;
        fileBytes_ += step;
        reportProgress();
    }
    if (!file->finishWriting()) return nullptr;
    file->setDatesFromAttributes(attributes);
    return file;
}

// The delegate's directory when it names one, else fileDirectory; a sub-path only below the delegate's.
BaseString* BaseSerializer::receivedFilePath(BaseDictionary* attributes, const ReceivedFileAttributes& request) {
    BaseString* directory = delegate_ ? delegate_->destinationForFile(this, attributes) : nullptr;
    if (!pathBuffer_) pathBuffer_ = new BaseString(ReserveBytes{PathBufferCapacity});
    pathBuffer_->setString(directory ? directory : fileDirectory_);
    if (directory && request.context()) {
        pathBuffer_->appendPathComponent(request.context());
        if (!createDirectory(pathBuffer_, true)) return nullptr;
    }
    pathBuffer_->appendPathComponent(request.name());
    return pathBuffer_;
}

// The index reads its header from the stream below the error filter; a header cut short fails the record.
BaseObject* BaseSerializer::readPackageIndex() {
    auto* index = createAutoreleased<BasePackageIndex>(baseStream_);
    return index->headerRead() ? index : nullptr;
}

// ---- the serializer's own thread

void BaseSerializer::threadMethod() {
    while (running()) {
        AutoreleasePool pool;
        BaseObject* object = readObject();
        if (!object) {
            setRunning(false);
        } else if (delegate_) {
            delegate_->objectReceived(this, object);
        }
    }
}
