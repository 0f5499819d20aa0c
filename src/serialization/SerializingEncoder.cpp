#include "serialization/SerializingEncoder.h"

#include "base/BaseString.h"
#include "base/Description.h"
#include "io/BaseBuffer.h"
#include "serialization/BaseSerializer.h"

namespace {

BaseBuffer* newBuffer() { return createAutoreleased<BaseBuffer>(); }

void appendText(BaseBuffer* buffer, BaseString* text) { buffer->append(text->chars(), text->length()); }

bool appendRecord(BaseBuffer* buffer, BaseObject* object) {
    auto* serializer = new BaseSerializer(buffer);
    bool written = serializer->writeObject(object);
    release(serializer);
    return written;
}

bool writeToFile(BaseBuffer* buffer, BaseString* path) { return buffer->writeToFile(path, DescriptionFlag::Serialized); }

}  // namespace

const ObjectEncoder serializingEncoder = {newBuffer, appendText, appendRecord, writeToFile};
