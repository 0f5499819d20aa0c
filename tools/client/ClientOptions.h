// The command line of zephrane-client.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct ClientOptions {
    std::string host;  // empty: find the bridge by DNS-SD
    std::string name;  // the service name of the bridge to find; empty: the first to answer
    bool list = false;  // print every bridge found and exit
    uint16_t port = 21777;
    std::string userAgent = "Quillory Zephrane App";
    std::string password;  // empty: the bridge's credential, as the app sends it
    double rate = 1.0;    // position requests per second
    bool json = false;    // JSON lines instead of a table
    uint64_t count = 0;   // stop after this many reports; 0: until interrupted
    uint64_t bench = 0;   // send this many requests back to back and print latencies
    double discoverySeconds = 5.0;
};

// The options, or nothing with a message in error (the usage text for --help).
std::optional<ClientOptions> parseClientOptions(int argc, char** argv, std::string* error);
extern const char* const ClientUsage;
