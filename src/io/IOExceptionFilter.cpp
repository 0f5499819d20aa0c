#include "io/IOExceptionFilter.h"

#include "base/IOException.h"

namespace {

bool orThrow(bool succeeded) {
    if (!succeeded) throw new IOException();
    return true;
}

}  // namespace

bool IOExceptionFilter::read(void* destination, uint64_t* count) {
    return orThrow(IOFilter::read(destination, count));
}

bool IOExceptionFilter::write(const void* source, uint64_t count) { return orThrow(IOFilter::write(source, count)); }

bool IOExceptionFilter::flush() { return orThrow(IOFilter::flush()); }

bool IOExceptionFilter::close() { return orThrow(IOFilter::close()); }
