#include "platform/NetworkInterfaces.h"

#include "platform/Socket.h"

namespace {

constexpr unsigned char GlobalUnicastMask = 0xE0;
constexpr unsigned char GlobalUnicastPrefix = 0x20;
constexpr unsigned char UniqueLocalMask = 0xFE;
constexpr unsigned char UniqueLocalPrefix = 0xFC;

bool isReachableIPv6(const unsigned char* bytes) {
    return (bytes[0] & GlobalUnicastMask) == GlobalUnicastPrefix || (bytes[0] & UniqueLocalMask) == UniqueLocalPrefix;
}

}  // namespace

std::string reachableAddressText(const unsigned char* bytes, bool ipv6) {
    constexpr size_t IPv4Bytes = 4;
    constexpr size_t IPv6Bytes = 16;
    if (ipv6 && !isReachableIPv6(bytes)) return "";
    return recordAddressText(bytes, ipv6 ? IPv6Bytes : IPv4Bytes, 0);
}

bool isLinkLocalIPv4(const unsigned char* bytes) {
    constexpr unsigned char LinkLocalFirst = 169;
    constexpr unsigned char LinkLocalSecond = 254;
    return bytes[0] == LinkLocalFirst && bytes[1] == LinkLocalSecond;
}
