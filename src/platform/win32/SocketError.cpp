#include "platform/SocketError.h"

#include <winsock2.h>

#include <system_error>

std::string lastSocketErrorText() { return std::system_category().message(WSAGetLastError()); }
