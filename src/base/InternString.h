// internString: the one shared string with a literal's bytes, from a process-wide table with its own lock.
// The string is not retained for the caller; it lives until the module unloads.
#pragma once

#include "base/BaseString.h"

BaseString* internString(const StringLiteral& literal);
