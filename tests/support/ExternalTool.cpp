#include "ExternalTool.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#ifndef _WIN32
#include <sys/wait.h>
#endif

#ifdef _WIN32

// The judges are programs of the Linux machine that runs Wine; a Windows test program cannot start them.
bool toolAvailable(const std::string&) { return false; }

ToolResult runTool(const std::string&, const std::string&,
                   const std::initializer_list<std::pair<std::string, std::string>>&) {
    return ToolResult{};
}

#else

namespace fs = std::filesystem;

namespace {

fs::path freshFolder() {
    std::random_device random;
    fs::path folder = fs::temp_directory_path() / ("zephrane-tool-" + std::to_string(random()));
    fs::create_directories(folder);
    return folder;
}

void writeFile(const fs::path& path, const std::string& contents) {
    std::ofstream out(path, std::ios::binary);
    out << contents;
}

}  // namespace

bool toolAvailable(const std::string& name) {
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

ToolResult runTool(const std::string& command, const std::string& input,
                   const std::initializer_list<std::pair<std::string, std::string>>& files) {
    fs::path folder = freshFolder();
    writeFile(folder / "stdin.txt", input);
    for (const auto& [name, contents] : files) writeFile(folder / name, contents);
    std::string line = "cd '" + folder.string() + "' && (" + command + ") < stdin.txt 2>&1";
    ToolResult result;
    if (FILE* pipe = popen(line.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof(buffer), pipe)) > 0) result.output.append(buffer, n);
        int status = pclose(pipe);
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    fs::remove_all(folder);
    return result;
}

#endif
