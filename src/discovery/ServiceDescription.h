// What the bridge advertises by DNS-SD: an instance name ("X-Plane"), a service type with its protocol
// ("_zephrane_gps._tcp"), the port, and the TXT entries in the order they are published.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct ServiceDescription {
    std::string name;
    std::string type;
    uint16_t port = 0;
    std::vector<std::pair<std::string, std::string>> txt;
};
