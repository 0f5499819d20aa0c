// The built module as the loader sees it, judged by nm: it exports the five entry points and nothing else,
// and needs nothing from outside but the simulator's XPLM functions and the C library.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>

#include "ExternalTool.h"
#include "SimHostRun.h"

namespace {

struct Symbol {
    std::string name;
    std::string version;  // after the "@", empty when unversioned
    char type;
};

// nm -D prints "[address] TYPE name[@version]" per symbol.
std::vector<Symbol> dynamicSymbols(const std::string& options) {
    ToolResult result = runTool("nm -D " + options + " '" + BridgeModule + "'", "");
    std::vector<Symbol> symbols;
    std::istringstream lines(result.output);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::vector<std::string> words;
        for (std::string word; fields >> word;) words.push_back(word);
        if (words.size() < 2) continue;
        const std::string& full = words.back();
        size_t at = full.find('@');
        std::string version = at == std::string::npos ? "" : full.substr(full.find_first_not_of('@', at));
        symbols.push_back({full.substr(0, at), version, words[words.size() - 2][0]});
    }
    return symbols;
}

bool isWeak(char type) { return type == 'w' || type == 'v'; }

}  // namespace

TEST(ModuleSymbols, ExportsExactlyTheFiveEntryPoints) {
    if (!toolAvailable("nm")) GTEST_SKIP() << "nm is not installed: nothing to read the module's symbol table with";
    std::set<std::string> exported;
    for (const Symbol& symbol : dynamicSymbols("--defined-only")) exported.insert(symbol.name);
    std::set<std::string> expected{"XPluginStart", "XPluginStop", "XPluginEnable", "XPluginDisable",
                                   "XPluginReceiveMessage"};
    EXPECT_EQ(exported, expected);
}

TEST(ModuleSymbols, NeedsOnlyXplmFunctionsAndTheCLibrary) {
#ifdef ZEPHRANE_SANITIZED_BUILD
    GTEST_SKIP() << "the sanitizer build links the C++ runtime and the sanitizer hooks dynamically; the shipped "
                    "module is checked by the plain build";
#endif
    if (!toolAvailable("nm")) GTEST_SKIP() << "nm is not installed: nothing to read the module's symbol table with";
    std::vector<Symbol> undefined = dynamicSymbols("-u");
    ASSERT_FALSE(undefined.empty());
    std::set<std::string> xplm;
    for (const Symbol& symbol : undefined) {
        if (symbol.name.rfind("XPLM", 0) == 0 && symbol.version.empty()) {
            xplm.insert(symbol.name);
            continue;
        }
        // Weak references may stay unresolved (the toolchain's optional hooks); every other symbol must
        // come from the C library, which versions its symbols GLIBC_x.y.
        if (isWeak(symbol.type) && symbol.version.empty()) continue;
        EXPECT_EQ(symbol.version.rfind("GLIBC_", 0), 0u) << symbol.name << "@" << symbol.version;
    }
    std::set<std::string> expected{"XPLMFindPluginsMenu", "XPLMCreateMenu", "XPLMAppendMenuItem", "XPLMCheckMenuItem",
                                   "XPLMDestroyMenu", "XPLMRemoveMenuItem", "XPLMDebugString", "XPLMGetPrefsPath",
                                   "XPLMEnableFeature", "XPLMFindDataRef", "XPLMGetDatad", "XPLMGetDataf",
                                   "XPLMRegisterFlightLoopCallback", "XPLMUnregisterFlightLoopCallback",
                                   "XPLMCreateWindowEx", "XPLMDestroyWindow", "XPLMGetScreenBoundsGlobal",
                                   "XPLMGetWindowGeometry", "XPLMSetWindowGeometry", "XPLMGetWindowIsVisible",
                                   "XPLMSetWindowIsVisible", "XPLMSetWindowPositioningMode", "XPLMSetWindowTitle",
                                   "XPLMDrawString", "XPLMGetFontDimensions"};
    EXPECT_EQ(xplm, expected);
}
