// Generic file names: inside the system a path uses "/" between components and a name may hold any byte.
// genericFileNameToOS escapes what the Windows file system cannot hold (reserved device names, control
// bytes, \ : * ? " < > |, a final space, a final dot after two bytes) as the private-use code points
// U+F000 + byte, and osFileNameToGeneric undoes that. The escaping is the same on every platform, so a
// folder written on one reads back with the same generic names on another.
//
// Each function returns its argument itself when there is nothing to change, else a new autoreleased
// string.
#pragma once

class BaseString;

// One path component.
BaseString* genericFileNameToOS(BaseString* name);
BaseString* osFileNameToGeneric(BaseString* name);

// A whole path: "\" becomes "/", and every component is escaped except a leading drive such as "C:".
// Always a new autoreleased string.
BaseString* genericPathToOS(const BaseString* path);
