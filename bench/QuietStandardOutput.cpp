#include "QuietStandardOutput.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

QuietStandardOutput::QuietStandardOutput() {
    fflush(stdout);
    saved_ = dup(STDOUT_FILENO);
    int nowhere = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (nowhere >= 0) {
        dup2(nowhere, STDOUT_FILENO);
        close(nowhere);
    }
}

QuietStandardOutput::~QuietStandardOutput() {
    fflush(stdout);
    if (saved_ < 0) return;
    dup2(saved_, STDOUT_FILENO);
    close(saved_);
}
