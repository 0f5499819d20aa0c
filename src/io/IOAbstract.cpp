#include "io/IOAbstract.h"

#include "base/BaseString.h"

namespace {

constexpr uint64_t SkipPiece = 16384;

}  // namespace

bool IOAbstract::flush() { return true; }

bool IOAbstract::skip(uint64_t count) {
    static thread_local char scratch[SkipPiece];
    for (uint64_t piece = 0; piece < count / SkipPiece; ++piece) {
        uint64_t got = SkipPiece;
        if (!read(scratch, &got)) return false;
    }
    uint64_t rest = count % SkipPiece;
    if (rest == 0) return true;
    return read(scratch, &rest);
}

bool IOAbstract::close() { return true; }

int64_t IOAbstract::position() { return -1; }

bool IOAbstract::setPosition(uint64_t) { return false; }

bool IOAbstract::readAvailable(void* destination, uint64_t* count) { return read(destination, count); }

bool IOAbstract::readFully(void* destination, uint64_t count) {
    auto* bytes = static_cast<char*>(destination);
    while (count > 0) {
        uint64_t got = count;
        // A read that claims success but delivers nothing would spin forever: treat it as a failure.
        if (!read(bytes, &got) || got == 0) return false;
        if (got > count) got = count;
        bytes += got;
        count -= got;
    }
    return true;
}

bool IOAbstract::writeString(const BaseString* string) {
    if (!string) return write("", 0);
    return write(string->chars(), string->length());
}
