#include "platform/posix/Pipe.h"

#include <fcntl.h>
#include <unistd.h>

bool openPipe(int ends[2], bool nonBlocking) { return pipe2(ends, O_CLOEXEC | (nonBlocking ? O_NONBLOCK : 0)) == 0; }
