// Names the calling thread for debuggers and system tools (the platform may shorten the name).
#pragma once

#include <string>

void setCurrentThreadName(const char* name);
// The calling thread's name as the platform reports it; empty where the platform cannot tell.
std::string currentThreadName();
