// IOExceptionFilter: passes every operation through and turns a failed read, write, flush or close into a
// thrown IOException, so that the serializer can treat a whole record as one operation. position and
// setPosition never throw.
#pragma once

#include "io/IOFilter.h"

class IOExceptionFilter : public IOFilter {
public:
    using IOFilter::IOFilter;

    bool read(void* destination, uint64_t* count) override;
    bool write(const void* source, uint64_t count) override;
    bool flush() override;
    bool close() override;
};
