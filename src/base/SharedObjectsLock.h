// The module-wide recursive mutex that guards the first-use creation of process-wide shared objects
// (the intern table, the shared login manager, the notification center). Test, lock, test again, create.
#pragma once

#include <mutex>

std::recursive_mutex& sharedObjectsMutex();
