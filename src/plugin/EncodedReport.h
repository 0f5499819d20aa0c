// EncodedReport: the record bytes of one generation's position report, exactly as the serializer writes the
// report dictionary to a connection. It never changes once made, so any number of threads may read it while
// they hold a reference. When the values cannot travel in the record form the serializer refuses the whole
// report, and so the bytes are empty: no report is sent for that generation.
#pragma once

#include <cstdint>

#include "base/BaseObject.h"
#include "plugin/PositionSnapshot.h"

class BaseBuffer;

class EncodedReport : public BaseObject {
public:
    // Any thread: encodes the report of reading, returned with one reference for the caller.
    static EncodedReport* encode(const PositionSnapshot::Reading& reading);
    ~EncodedReport() override;

    uint64_t generation() const { return generation_; }
    // False when the serializer refused the values; then length() is 0.
    bool sendable() const { return length_ > 0; }
    const char* bytes() const;
    uint64_t length() const { return length_; }

    const char* className() const override;

private:
    // Takes over the caller's reference to bytes (null when refused).
    EncodedReport(uint64_t generation, BaseBuffer* bytes);

    const uint64_t generation_;
    BaseBuffer* const bytes_;
    const uint64_t length_;
};
