#include "platform/posix/Pipe.h"

#include <fcntl.h>
#include <unistd.h>

namespace {

bool prepare(int descriptor, bool nonBlocking) {
    if (::fcntl(descriptor, F_SETFD, FD_CLOEXEC) != 0) return false;
    if (!nonBlocking) return true;
    int flags = ::fcntl(descriptor, F_GETFL);
    return flags >= 0 && ::fcntl(descriptor, F_SETFL, flags | O_NONBLOCK) == 0;
}

}  // namespace

// The Mac has no pipe2: the ends are marked after the pipe is made.
bool openPipe(int ends[2], bool nonBlocking) {
    if (::pipe(ends) != 0) return false;
    if (prepare(ends[0], nonBlocking) && prepare(ends[1], nonBlocking)) return true;
    ::close(ends[0]);
    ::close(ends[1]);
    return false;
}
