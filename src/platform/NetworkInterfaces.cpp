#include "platform/NetworkInterfaces.h"

namespace {

constexpr unsigned char GlobalUnicastMask = 0xE0;
constexpr unsigned char GlobalUnicastPrefix = 0x20;
constexpr unsigned char UniqueLocalMask = 0xFE;
constexpr unsigned char UniqueLocalPrefix = 0xFC;

}  // namespace

bool isReachableIPv6(const unsigned char* bytes) {
    return (bytes[0] & GlobalUnicastMask) == GlobalUnicastPrefix || (bytes[0] & UniqueLocalMask) == UniqueLocalPrefix;
}
