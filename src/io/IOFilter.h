// IOFilter: a stream stacked on an inner stream, passing every operation through. The filter holds a
// reference to its inner stream for its whole life.
#pragma once

#include "io/IOAbstract.h"

class IOFilter : public IOAbstract {
public:
    explicit IOFilter(IOAbstract* inner);
    ~IOFilter() override;

    IOAbstract* inner() const { return inner_; }

    bool read(void* destination, uint64_t* count) override;
    bool write(const void* source, uint64_t count) override;
    bool flush() override;
    bool close() override;
    int64_t position() override;
    bool setPosition(uint64_t offset) override;

private:
    IOAbstract* inner_;
};
