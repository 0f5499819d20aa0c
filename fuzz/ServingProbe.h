// The fuzzer's check that the bridge still serves: a well-behaved client connects, logs in as the app and
// asks for one position, with generous deadlines (longer than the bridge's login deadline, so a login
// still held by an earlier connection cannot fail it by itself). It speaks through the foundation's own
// socket and serializer, as the reference client does.
#pragma once

#include <cstdint>
#include <string>

// Empty when the login succeeded and a report of the ten values came back; otherwise what went wrong.
std::string checkBridgeServes(uint16_t port);
