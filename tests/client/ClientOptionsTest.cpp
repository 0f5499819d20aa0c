#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "BridgeChoice.h"
#include "ClientOptions.h"

namespace {

std::optional<ClientOptions> parse(std::vector<std::string> words, std::string* error) {
    std::vector<char*> argv{const_cast<char*>("zephrane-client")};
    for (std::string& word : words) argv.push_back(word.data());
    return parseClientOptions(static_cast<int>(argv.size()), argv.data(), error);
}

}  // namespace

TEST(ClientOptions, ListIsAFlagAndNameKeepsTheWholeName) {
    std::string error;
    std::optional<ClientOptions> listing = parse({"--discovery-seconds", "2", "--list"}, &error);
    ASSERT_TRUE(listing) << error;
    EXPECT_TRUE(listing->list);
    EXPECT_EQ(listing->discoverySeconds, 2.0);

    std::optional<ClientOptions> named = parse({"--name", "X-Plane (2)", "--json"}, &error);
    ASSERT_TRUE(named) << error;
    EXPECT_EQ(named->name, "X-Plane (2)");
    EXPECT_FALSE(named->list);
    EXPECT_TRUE(named->json);
    EXPECT_TRUE(named->host.empty());
}

TEST(ClientOptions, RefusesWaysOfChoosingTheBridgeThatContradictEachOther) {
    const std::vector<std::vector<std::string>> refused = {
        {"--list", "--host", "192.168.1.20"}, {"--host", "192.168.1.20", "--name", "X-Plane"},
        {"--name", "X-Plane", "--list"},      {"--name", ""},
        {"--name"},
    };
    for (const std::vector<std::string>& words : refused) {
        std::string error;
        std::string line;
        for (const std::string& word : words) line += word + " ";
        EXPECT_FALSE(parse(words, &error)) << line;
        EXPECT_EQ(error.rfind("zephrane-client: ", 0), 0u) << line << ": " << error;
    }
}

TEST(ClientListLine, NamesTheBridgeOnOneLineWhateverItsName) {
    DiscoveredBridge plain{"X-Plane (2)", "flightdeck-2.local.", {"192.168.1.21", "fd00::21"}, 21778, ""};
    EXPECT_EQ(bridgeListLine(plain),
              "\"X-Plane (2)\"  host flightdeck-2.local  port 21778  addresses 192.168.1.21, fd00::21");
    DiscoveredBridge odd{"Seat \"3\"\n\\", "seat-3.local.", {"192.168.1.23"}, 21777, ""};
    EXPECT_EQ(bridgeListLine(odd), "\"Seat \\\"3\\\"\\010\\\\\"  host seat-3.local  port 21777  addresses 192.168.1.23");
}
