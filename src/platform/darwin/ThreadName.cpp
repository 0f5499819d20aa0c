#include "platform/ThreadName.h"

#include <pthread.h>

#include <cstring>

namespace {

// The Mac keeps 63 bytes and the terminator (MAXTHREADNAMESIZE); a longer name is refused outright, so cut it.
constexpr std::size_t NameLimit = 63;

}  // namespace

// The Mac names only the calling thread: its pthread_setname_np takes no thread.
void setCurrentThreadName(const char* name) {
    char shortened[NameLimit + 1] = {};
    std::strncpy(shortened, name, NameLimit);
    pthread_setname_np(shortened);
}

std::string currentThreadName() {
    char name[NameLimit + 1] = {};
    if (pthread_getname_np(pthread_self(), name, sizeof(name)) != 0) return {};
    return name;
}
