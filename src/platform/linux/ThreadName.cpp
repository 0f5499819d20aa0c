#include "platform/ThreadName.h"

#include <pthread.h>

#include <cstring>

namespace {

// Linux keeps 15 bytes and the terminator; a longer name is refused outright, so cut it.
constexpr std::size_t NameLimit = 15;

}  // namespace

void setCurrentThreadName(const char* name) {
    char shortened[NameLimit + 1] = {};
    std::strncpy(shortened, name, NameLimit);
    pthread_setname_np(pthread_self(), shortened);
}

std::string currentThreadName() {
    char name[NameLimit + 1] = {};
    if (pthread_getname_np(pthread_self(), name, sizeof(name)) != 0) return {};
    return name;
}
