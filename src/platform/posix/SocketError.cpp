#include "platform/SocketError.h"

#include <cerrno>
#include <system_error>

std::string lastSocketErrorText() { return std::generic_category().message(errno); }
