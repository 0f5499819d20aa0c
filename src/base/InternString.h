// internString: the one shared string with a literal's bytes, from a process-wide table with its own lock.
// The string is not retained for the caller; it lives as long as the table, until the module releases its
// shared objects before it unloads (keep a reference where a string must outlive that).
#pragma once

#include "base/BaseString.h"

BaseString* internString(const StringLiteral& literal);
