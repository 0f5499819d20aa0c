#include "file/PathOperations.h"

#include "base/AutoreleasePool.h"
#include "base/BaseString.h"
#include "base/BaseTypedArray.h"
#include "file/BaseFile.h"
#include "file/GenericFileNames.h"
#include "platform/FileSystem.h"

namespace {

bool isDriveRoot(const BaseString* prefix) { return prefix->length() == 3 && prefix->chars()[1] == ':'; }

bool isRoot(const BaseString* prefix) { return prefix->length() == 1 && prefix->chars()[0] == '/'; }

// Makes every prefix of osPath, each ending in "/"; the last attempt decides.
bool createWithParents(BaseString* osPath) {
    BaseTypedArray<BaseString>* components = osPath->componentsSeparatedBy("/");
    auto* prefix = createAutoreleased<BaseString>();
    MakeDirectoryResult last = MakeDirectoryResult::AlreadyExists;
    for (uint32_t i = 0; i < components->count(); ++i) {
        prefix->appendString(components->objectAtIndex(i));
        prefix->appendCharacter('/');
        if (isRoot(prefix) || isDriveRoot(prefix)) continue;
        last = makeDirectory(prefix->chars());
        if (last == MakeDirectoryResult::Created) {
            hideIfDotName(prefix);
        } else if (last == MakeDirectoryResult::Failed) {
            break;
        }
    }
    return last == MakeDirectoryResult::Created || last == MakeDirectoryResult::AlreadyExists;
}

}  // namespace

bool createDirectory(const BaseString* path, bool createParents) {
    AutoreleasePool pool;
    BaseString* osPath = genericPathToOS(path);
    MakeDirectoryResult result = makeDirectory(osPath->chars());
    if (result == MakeDirectoryResult::Created) {
        if (!createParents) hideIfDotName(osPath);
        return true;
    }
    if (result == MakeDirectoryResult::AlreadyExists) return true;
    return createParents && createWithParents(osPath);
}

bool removeItemAtPath(const BaseString* path, uint32_t flags) {
    auto* file = new BaseFile(path, FileStatusOnly);
    bool removed = file->remove(flags);
    release(file);
    return removed;
}

bool moveItemToPath(const BaseString* path, const BaseString* destination) {
    AutoreleasePool pool;
    BaseString* osDestination = genericPathToOS(destination);
    bool moved = renameItem(genericPathToOS(path)->chars(), osDestination->chars());
    hideIfDotName(osDestination);
    return moved;
}

void hideIfDotName(const BaseString* osPath) {
    AutoreleasePool pool;
    BaseString* named = const_cast<BaseString*>(osPath)->stringByStrippingTrailingSlash();
    if (named->lastPathComponent(true)->chars()[0] == '.') setHiddenAttribute(named->chars());
}
