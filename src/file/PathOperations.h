// Operations on whole paths, given in generic form (see GenericFileNames.h) except where noted: making a
// directory (with its parents), removing and renaming items, and hiding dot-named items.
#pragma once

#include <cstdint>

class BaseString;

// True when the directory exists afterwards (made now or already there).
bool createDirectory(const BaseString* path, bool createParents);
// remove (FileRemoveFlag) on a file object over path that only queries its status.
bool removeItemAtPath(const BaseString* path, uint32_t flags);
// Renames path to destination; then, whatever the result, hides the destination if it is dot-named.
bool moveItemToPath(const BaseString* path, const BaseString* destination);
// Sets the platform's hidden attribute when the last component (in OS form) begins with ".". A trailing
// "/" is ignored: "a/.b/" names the directory ".b".
void hideIfDotName(const BaseString* osPath);
