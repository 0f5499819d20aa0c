#include "plugin/EncodedReport.h"

#include "base/AutoreleasePool.h"
#include "base/BaseDictionary.h"
#include "io/BaseBuffer.h"
#include "plugin/PositionReport.h"
#include "serialization/BaseSerializer.h"

namespace {

// Room for the whole report (about 160 bytes) without growing.
constexpr uint64_t ReportCapacity = 256;

// The serializer, over a memory stream, writes what it writes to a connection: one record, checked before
// its first byte.
BaseBuffer* encodedBytes(const PositionSnapshot::Values& values) {
    AutoreleasePool pool;
    auto* bytes = new BaseBuffer(ReportCapacity);
    auto* writer = createAutoreleased<BaseSerializer>(bytes);
    if (writer->writeObject(buildPositionReport(values)) && bytes->length() > 0) return bytes;
    release(bytes);
    return nullptr;
}

}  // namespace

EncodedReport* EncodedReport::encode(const PositionSnapshot::Reading& reading) {
    return new EncodedReport(reading.generation, encodedBytes(reading.values));
}

EncodedReport::EncodedReport(uint64_t generation, BaseBuffer* bytes)
    : generation_(generation), bytes_(bytes), length_(bytes ? bytes->length() : 0) {}

EncodedReport::~EncodedReport() { release(bytes_); }

const char* EncodedReport::bytes() const { return bytes_ ? bytes_->bytes() : ""; }

const char* EncodedReport::className() const { return "EncodedReport"; }
