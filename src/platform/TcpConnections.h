// How many TCP connections of this machine (of this network namespace) are established on a local port:
// simhost counts the bridge's clients with it. -1 where the system does not say.
#pragma once

#include <cstdint>

int establishedTcpConnections(uint16_t localPort);
