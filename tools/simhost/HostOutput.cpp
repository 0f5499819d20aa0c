#include "HostOutput.h"

#include <cstdio>

void hostSay(const std::string& text) {
    std::fprintf(stdout, "simhost: %s\n", text.c_str());
    std::fflush(stdout);
}

void hostComplain(const std::string& text) {
    std::fprintf(stderr, "simhost: error: %s\n", text.c_str());
    std::fflush(stderr);
}
