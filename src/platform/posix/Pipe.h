// A pipe whose two ends close on exec, optionally non-blocking, for the wake channel of the sockets and the
// pipes to a child process. Implemented in src/platform/linux and src/platform/darwin.
#pragma once

// Fills ends (read end, write end); false when the system cannot make the pipe.
bool openPipe(int ends[2], bool nonBlocking);
