#include "plugin/BridgeVersion.h"

#include "ZephraneVersion.h"

const char* bridgeVersion() {
    return sizeof(ZEPHRANE_COMMIT) > 1 ? ZEPHRANE_VERSION " (" ZEPHRANE_COMMIT ")" : ZEPHRANE_VERSION;
}
