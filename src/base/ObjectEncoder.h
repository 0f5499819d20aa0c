// ObjectEncoder: how the object core's encode operations (BaseObject's writeToFile, encodedBuffer and
// writeToBuffer) reach buffers, files and the record form, all of which live in layers above the core. The
// serializer installs the one encoder while the module loads (serialization/SerializingEncoder.h), so every
// program that links the serializer encodes objects; without an encoder those operations fail (false or
// null). An encoder is a table of plain functions in static storage: it is never destroyed, and once
// installed it is only read.
#pragma once

class BaseBuffer;
class BaseObject;
class BaseString;

struct ObjectEncoder {
    // A new empty buffer, autoreleased.
    BaseBuffer* (*newBuffer)();
    // Appends text's bytes (without its terminator) to buffer.
    void (*appendText)(BaseBuffer* buffer, BaseString* text);
    // Appends the record form of object's graph to buffer; false, having written nothing, for a graph the
    // form cannot hold.
    bool (*appendRecord)(BaseBuffer* buffer, BaseObject* object);
    // Writes buffer's bytes to the file at path, replacing it.
    bool (*writeToFile)(BaseBuffer* buffer, BaseString* path);
};

// From now on the object core encodes through encoder, which must live as long as the module.
void installObjectEncoder(const ObjectEncoder* encoder);
// The encoder installed, or null.
const ObjectEncoder* installedObjectEncoder();
