// Runs an outside program (a JSON parser, a Lua interpreter, ...) over some input so that it can judge
// what the system produced. Tests skip, saying why, when the program is not installed.
#pragma once

#include <string>

struct ToolResult {
    int exitCode = -1;
    std::string output;  // standard output and standard error together
};

bool toolAvailable(const std::string& name);

// Writes each file (name -> contents) into a fresh temporary folder, runs command there with input on its
// standard input, and removes the folder.
ToolResult runTool(const std::string& command, const std::string& input,
                   const std::initializer_list<std::pair<std::string, std::string>>& files = {});
