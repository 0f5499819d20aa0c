// Advertises the bridge's service from a listening socket, driven by lines on standard input, so that a
// script can look at the network with a real DNS-SD browser:
//   prints "listening <port> registered=<0|1>", then on "withdraw" destroys the socket and prints
//   "withdrawn"; ends on "quit" or at the end of input.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "base/AutoreleasePool.h"
#include "base/BaseDictionary.h"
#include "base/BaseString.h"
#include "io/IOSocketTCP.h"
#include "thread/BaseThread.h"

int main(int argc, char** argv) {
    uint16_t port = argc > 1 ? static_cast<uint16_t>(std::atoi(argv[1])) : 21777;
    AutoreleasePool pool;
    auto* entries = createAutoreleased<BaseDictionary>();
    entries->setStringForCStringKey("1", "txtvers");
    entries->setStringForCStringKey("1", "qtotal");
    entries->setStringForCStringKey("30", "priority");
    auto* info = createAutoreleased<BaseDictionary>();
    info->setStringForCStringKey("X-Plane", "MDNS_SERVICE_NAME");
    info->setStringForCStringKey("zephrane_gps", "MDNS_SERVICE_TYPE");
    info->setObjectForCStringKey(entries, "SOCKET_TXT_RECORD_ENTRIES");

    auto* socket = new IOSocketTCP();
    socket->setAddress(nullptr, port);
    socket->setServiceInfo(info, 0);
    bool listening = socket->listen();
    // The announcement runs on a thread of its own: wait for the daemon's answer.
    bool registered = listening && socket->isServiceRegistered(std::chrono::seconds(20));
    std::printf("listening %u registered=%d\n", listening ? socket->boundPort() : 0, registered ? 1 : 0);
    std::fflush(stdout);
    for (std::string line; std::getline(std::cin, line);) {
        if (line == "withdraw" && socket) {
            // Its accept thread holds the socket while it listens: close it, then let it go.
            socket->close();
            release(socket);
            socket = nullptr;
            std::printf("withdrawn\n");
            std::fflush(stdout);
        } else if (line == "quit") {
            break;
        }
    }
    if (socket) socket->close();
    release(socket);
    // As a plug-in does before it is unloaded: the announcement's thread, which withdraws in the
    // background, is waited for and joined.
    BaseThread::waitForAllThreadsToEnd(std::chrono::seconds(30));
    return 0;
}
