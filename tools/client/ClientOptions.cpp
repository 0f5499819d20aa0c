#include "ClientOptions.h"

#include <cstdlib>
#include <cstring>

const char* const ClientUsage =
    "usage: zephrane-client [--list | --name NAME | --host ADDRESS] [--port N] [--user-agent TEXT]\n"
    "                       [--password TEXT] [--rate HZ] [--json] [--count N] [--bench N]\n"
    "                       [--discovery-seconds S]\n"
    "Without --host the bridge is found on the local network by DNS-SD (service _zephrane_gps._tcp), searching\n"
    "for S seconds at most (5 if not given).\n"
    "  --list          print every bridge found (its name, computer, port and addresses), one a line, and end\n"
    "  --name NAME     connect to the bridge of exactly this name, as --list prints it: --name \"X-Plane (2)\"\n"
    "  --host ADDRESS  connect to this address: a computer name, an IPv4 address (192.168.1.20) or an IPv6\n"
    "                  address (::1), without searching\n"
    "When several bridges answer and neither --name nor --host is given, the client connects to the first.\n"
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

// Why the ways of choosing the bridge that were given do not go together, or null.
const char* conflict(const ClientOptions& options) {
    if (options.list && !options.name.empty()) return "--list shows every bridge; --name picks one: give one of them";
    if (options.list && !options.host.empty()) return "--list searches the network; --host skips the search";
    if (!options.name.empty() && !options.host.empty()) {
        return "--name finds the bridge by its name, --host by its address: give one of them";
    }
    return nullptr;
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
        if (option == "--list") {
            options.list = true;
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
        } else if (option == "--name") {
            options.name = value;
            ok = !options.name.empty();
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
    if (const char* why = conflict(options)) {
        *error = std::string("zephrane-client: ") + why + "\n";
        return std::nullopt;
    }
    return options;
}
