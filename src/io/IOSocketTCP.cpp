#include "io/IOSocketTCP.h"

const char* IOSocketTCP::serviceProtocol() const { return "_tcp"; }

bool IOSocketTCP::createSocket() {
    SocketHandle handle = createStreamSocket(socketFamily());
    if (handle == InvalidSocket) return false;
    setStreamSocketOptions(handle, BufferBytes);
    socketHandle().adopt(handle);
    setAddressBlock(SocketAddress{});
    return true;
}

IODriverAbstract* IOSocketTCP::newClient() { return new IOSocketTCP(); }
