#include "MainThreadGuard.h"

#include <cstdio>
#include <cstdlib>

void MainThreadGuard::bindToCurrentThread() { mainThread_.store(std::this_thread::get_id()); }

void MainThreadGuard::check(const char* function) {
    if (std::this_thread::get_id() == mainThread_.load()) return;
    violations_.fetch_add(1);
    std::fprintf(stderr, "simhost: %s called off the simulator's main thread\n", function);
    if (!strict_.load()) return;
    std::fputs("simhost: strict mode: aborting\n", stderr);
    std::abort();
}
