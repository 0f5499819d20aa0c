// BaseSerializer: writes object graphs to a stream in the record form and reads them back, one root per
// call. Every byte goes through an IOExceptionFilter over the given stream, so that any stream failure in
// the middle of a record ends the whole record: writeObject then reports false and readObject none.
//
// The reader trusts nothing: strings and buffers above 16 MiB, containers above 1,000,000 members,
// containers and files nested deeper than 64 levels, negative lengths, unknown tags and streams that end
// early fail the record, and memory is only committed as the bytes actually arrive. A failed read leaves
// no partial object behind.
//
// Files travel inside graphs (tag 2): a BaseFile is written as its attribute dictionary and its content,
// and a received one is written into fileDirectory (or where the delegate says) through a temporary file,
// under the name the peer gives once that name is known to stay inside the directory. setAcceptsFileRecords
// (false) refuses every file record before anything touches the disk, for peers not yet trusted.
//
// The serializer owns its filter and holds a reference to the stream, the root object being sent and the
// directory for received files. It is used by one thread at a time; its own thread (which reads objects
// for a delegate) is never started in this system.
#pragma once

#include <cstdint>

#include "base/BaseObject.h"
#include "thread/BaseThread.h"

class BaseDictionary;
class BaseFile;
class BaseString;
class ReceivedFileAttributes;
class IOAbstract;
class IOExceptionFilter;
class BaseSerializer;

// Optional observer of a serializer; never retained by it.
class SerializerDelegate {
public:
    virtual ~SerializerDelegate() = default;
    // An object read by the serializer's own thread.
    virtual void objectReceived(BaseSerializer* serializer, BaseObject* object);
    // Where a received file goes, or null for the serializer's fileDirectory.
    virtual BaseString* destinationForFile(BaseSerializer* serializer, BaseDictionary* attributes);
    virtual void progress(BaseSerializer* serializer, uint64_t filesSent, uint64_t filesDone, uint64_t bytes);
};

class BaseSerializer : public BaseObject, public BaseThread {
public:
    static constexpr uint64_t MaxBytesLength = 16u << 20;
    static constexpr int64_t MaxMembers = 1000000;

    explicit BaseSerializer(IOAbstract* stream, SerializerDelegate* delegate = nullptr);
    ~BaseSerializer() override;

    // Writes one record for object (nothing for null) and flushes. False when the graph cannot travel
    // (nothing is written then) or the stream failed (bytes before the failure stay written).
    bool writeObject(const BaseObject* object);
    // The next root object, owned by the caller's pool, or null at the end of the data or on any failure.
    BaseObject* readObject();

    void setRootObject(BaseObject* object);
    BaseObject* rootObject() const { return rootObject_; }
    BaseString* fileDirectory() const { return fileDirectory_; }
    void setFileDirectory(BaseString* directory);
    uint64_t filesSent() const { return filesSent_; }
    uint64_t filesDone() const { return filesDone_; }
    uint64_t fileBytes() const { return fileBytes_; }
    bool acceptsFileRecords() const { return acceptsFileRecords_; }
    void setAcceptsFileRecords(bool accepts) { acceptsFileRecords_ = accepts; }

    IOAbstract* baseStream() const { return baseStream_; }

    void writeCompactInteger(int64_t value);
    void writeCompactInt32(int32_t value);
    // False when the magnitude does not fit the width; a stream failure throws IOException.
    bool readCompactInteger(int64_t* value);
    bool readCompactInt32(int32_t* value);

    // The system's temporary directory, ending in "/"; one process-wide string.
    static BaseString* temporaryDirectoryPath();

    const char* className() const override;

protected:
    void threadMethod() override;

private:
    // Exactly count bytes, or IOException.
    void readBytes(void* destination, uint64_t count);
    bool readCompact(uint64_t maxMagnitude, int64_t* value);
    void writeRecord(const BaseObject* object);
    // A record's tag and version, with the first number of its payload when it has one.
    void writeHead(int32_t tag);
    void writeHead(int32_t tag, int64_t first);
    void writeBytesRecord(int32_t tag, const char* bytes, uint64_t length);
    BaseObject* readRecord(int depth);
    BaseObject* readPayload(int32_t tag, int depth);
    BaseObject* readString();
    BaseObject* readBuffer();
    BaseObject* readArray(int depth);
    BaseObject* readDictionary(int depth);
    bool readLength(uint64_t limit, uint64_t* length);
    BaseObject* readFile(int depth);
    BaseFile* receiveFile(BaseDictionary* attributes, const ReceivedFileAttributes& request);
    BaseString* receivedFilePath(BaseDictionary* attributes, const ReceivedFileAttributes& request);
    BaseObject* readPackageIndex();
    void writeFile(BaseFile* file);
    void sendFileContent(BaseFile* file, uint64_t count);
    void writeEmptyDictionary();
    void reportProgress();

    IOExceptionFilter* stream_;
    SerializerDelegate* delegate_;
    IOAbstract* baseStream_;
    BaseObject* rootObject_ = nullptr;
    uint64_t filesSent_ = 0;
    uint64_t filesDone_ = 0;
    uint64_t fileBytes_ = 0;
    BaseString* fileDirectory_ = nullptr;
    BaseString* pathBuffer_ = nullptr;
    bool acceptsFileRecords_ = true;
};
