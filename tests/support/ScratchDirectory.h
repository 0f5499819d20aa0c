// A fresh folder under the system's temporary directory for one test, removed with everything in it when
// the test ends, with helpers to put files there and to take a snapshot of what it holds. Names and paths
// are UTF-8 text with "/" separators, as the system under test uses them on every platform.
#pragma once

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>

class ScratchDirectory {
public:
    ScratchDirectory() {
        std::random_device random;
        root_ = std::filesystem::temp_directory_path() / ("zephrane-files-" + std::to_string(random()));
        std::filesystem::create_directories(root_);
    }
    ~ScratchDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::filesystem::path& root() const { return root_; }
    // The path of name below the folder, as text.
    std::string path(const std::string& name = "") const { return text(root_ / fromText(name)); }

    void write(const std::string& name, const std::string& contents) const {
        std::filesystem::create_directories((root_ / fromText(name)).parent_path());
        std::ofstream(root_ / fromText(name), std::ios::binary) << contents;
    }
    std::string read(const std::string& name) const {
        std::ifstream in(root_ / fromText(name), std::ios::binary);
        std::ostringstream contents;
        contents << in.rdbuf();
        return contents.str();
    }
    bool exists(const std::string& name) const { return std::filesystem::exists(root_ / fromText(name)); }

    // Every path below the folder with its size (-1 for a folder).
    std::map<std::string, int64_t> snapshot() const {
        std::map<std::string, int64_t> entries;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root_)) {
            int64_t size = entry.is_regular_file() ? static_cast<int64_t>(entry.file_size()) : -1;
            entries[text(std::filesystem::relative(entry.path(), root_))] = size;
        }
        return entries;
    }

    // UTF-8 text to a path and back; on Windows a plain std::string would go through the ANSI code page.
    static std::filesystem::path fromText(const std::string& name) {
        return std::filesystem::path(std::u8string(name.begin(), name.end()));
    }
    static std::string text(const std::filesystem::path& path) {
        std::u8string generic = path.generic_u8string();
        return std::string(generic.begin(), generic.end());
    }

private:
    std::filesystem::path root_;
};
