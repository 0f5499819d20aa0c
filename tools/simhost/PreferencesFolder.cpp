#include "PreferencesFolder.h"

#include <algorithm>

std::string PreferencesFolder::filePath(bool nativePaths) const {
    std::string path = folder_ + "/" + SimulatorFile;
#ifdef _WIN32
    if (!nativePaths) std::replace(path.begin(), path.end(), '/', '\\');
#else
    (void)nativePaths;
#endif
    return path;
}
