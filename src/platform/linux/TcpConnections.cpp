#include "platform/TcpConnections.h"

#include <fstream>
#include <sstream>
#include <string>

namespace {

constexpr const char* ConnectionTables[] = {"/proc/net/tcp", "/proc/net/tcp6"};
constexpr const char* EstablishedState = "01";

// Each line after the heading: "sl local_address rem_address st ...", addresses as HEXADDRESS:HEXPORT.
int countIn(std::ifstream& table, uint16_t localPort) {
    int count = 0;
    std::string line;
    std::getline(table, line);
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state;
        if (!(fields >> slot >> local >> remote >> state)) continue;
        size_t colon = local.rfind(':');
        if (colon == std::string::npos || state != EstablishedState) continue;
        if (std::stoul(local.substr(colon + 1), nullptr, 16) == localPort) ++count;
    }
    return count;
}

}  // namespace

int establishedTcpConnections(uint16_t localPort) {
    int count = -1;
    for (const char* path : ConnectionTables) {
        std::ifstream table(path);
        if (!table) continue;
        count = (count < 0 ? 0 : count) + countIn(table, localPort);
    }
    return count;
}
