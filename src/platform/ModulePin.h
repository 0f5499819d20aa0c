// Keeps the module that holds this code (the plug-in, or the program the code is linked into) mapped until
// the process ends, whatever the host asks of it later: for when code of ours may still run after the
// module's last entry point returned, on a thread of ours that did not end in time or in a callback the
// system may still make. Unloading then would leave that code running in unmapped memory. A pin cannot be
// taken back.
#pragma once

#include <string>

// Pins the module; why says what still runs, in a few words for the pilot's log (the first reason is kept).
// True when the module is pinned, also by an earlier call; false with the system's reason when it refused.
bool pinThisModule(const char* why, std::string* error);
// Why the module was pinned, or null while it is not.
const char* whyThisModuleIsPinned();

// The system's part, one per platform: pins the module holding this code; false with the reason.
bool pinModuleInSystem(std::string* error);
