// Names the calling thread for debuggers and system tools (the platform may shorten the name).
#pragma once

void setCurrentThreadName(const char* name);
