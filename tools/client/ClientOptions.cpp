#include "ClientOptions.h"

#include <cstdlib>
#include <cstring>

const char* const ClientUsage =
    "usage: zephrane-client [--host ADDRESS] [--port N] [--user-agent TEXT] [--password TEXT]\n"
    "                       [--rate HZ] [--json] [--count N] [--bench N] [--discovery-seconds S]\n"
    "ADDRESS is a name, a dotted IPv4 address or an IPv6 address (::1). Without --host the bridge is found\n"
    "on the local network by DNS-SD (service _zephrane_gps._tcp).\n"
    "Prints each position report as a table row, or as a JSON line with --json; --bench N sends N\n"
    "requests back to back and prints latency percentiles.\n";

namespace {

bool number(const char* text, double* value) {
    char* end = nullptr;
    *value = std::strtod(text, &end);
    return end && end != text && *end == '\0';
}

bool wholeNumber(const char* text, uint64_t* value, uint64_t largest) {
    double read = 0;
    if (!number(text, &read) || read < 0 || read > static_cast<double>(largest) || read != static_cast<uint64_t>(read)) {
        return false;
    }
    *value = static_cast<uint64_t>(read);
    return true;
}

}  // namespace

std::optional<ClientOptions> parseClientOptions(int argc, char** argv, std::string* error) {
    ClientOptions options;
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        if (option == "--help") {
            *error = ClientUsage;
            return std::nullopt;
        }
        if (option == "--json") {
            options.json = true;
            continue;
        }
        if (i + 1 >= argc) {
            *error = "zephrane-client: " + option + " needs a value (or is unknown)\n" + ClientUsage;
            return std::nullopt;
        }
        const char* value = argv[++i];
        uint64_t whole = 0;
        bool ok = true;
        if (option == "--host") {
            options.host = value;
        } else if (option == "--port") {
            ok = wholeNumber(value, &whole, 65535) && whole > 0;
            options.port = static_cast<uint16_t>(whole);
        } else if (option == "--user-agent") {
            options.userAgent = value;
        } else if (option == "--password") {
            options.password = value;
        } else if (option == "--rate") {
            ok = number(value, &options.rate) && options.rate > 0 && options.rate <= 1000;
        } else if (option == "--count") {
            ok = wholeNumber(value, &options.count, UINT32_MAX);
        } else if (option == "--bench") {
            ok = wholeNumber(value, &options.bench, UINT32_MAX) && options.bench > 0;
        } else if (option == "--discovery-seconds") {
            ok = number(value, &options.discoverySeconds) && options.discoverySeconds > 0;
        } else {
            *error = "zephrane-client: unknown option " + option + "\n" + ClientUsage;
            return std::nullopt;
        }
        if (!ok) {
            *error = "zephrane-client: bad value for " + option + ": " + value + "\n";
            return std::nullopt;
        }
    }
    return options;
}
