#include "plugin/PreferencesFile.h"

#include <algorithm>
#include <cstdint>

#include "base/AutoreleasePool.h"
#include "base/BaseString.h"
#include "base/Utf8.h"
#include "file/BaseFile.h"

namespace {

// Blanks a hand edit may leave around a line, line ends included.
constexpr const char* Blanks = "\r\n\t ";
// A line that starts with it is the pilot's note.
constexpr char CommentMark = '#';
// More than the file ever holds: a longer file is not a preferences file.
constexpr uint64_t MostBytesRead = 4096;

BaseFile* fileAt(const std::string& path) {
    return BaseFile::overOSPath(createAutoreleased<BaseString>(path.c_str(), static_cast<int64_t>(path.size())));
}

std::string trimmed(const std::string& text) {
    size_t first = text.find_first_not_of(Blanks);
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(Blanks) - first + 1);
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::string keyOf(const std::string& line) { return trimmed(line).substr(0, trimmed(line).find_first_of(Blanks)); }

// "key 0" or "key 1" sets a switch; false for any other line.
bool readSwitch(const std::string& line, const char* key, bool* value) {
    std::string text = trimmed(line);
    if (text == std::string(key) + " 1") return (*value = true);
    if (text == std::string(key) + " 0") return !(*value = false);
    return false;
}

// Why name cannot be a DNS-SD service name, or empty when it can.
std::string serviceNameProblem(const std::string& name) {
    if (name.empty()) return "the name is empty";
    if (name.size() > PreferencesFile::LongestServiceName) {
        return "the name is longer than " + std::to_string(PreferencesFile::LongestServiceName) + " bytes";
    }
    bool control = std::any_of(name.begin(), name.end(),
                               [](char c) { return static_cast<unsigned char>(c) < ' ' || c == '\x7f'; });
    if (control || !isWellFormedUtf8(name)) return "the name is not plain UTF-8 text";
    return "";
}

// "service_name <name>": the rest of the line after the key and its blank.
bool readName(const std::string& line, Preferences* preferences) {
    std::string text = trimmed(line);
    if (keyOf(text) != PreferencesFile::ServiceNameKey) return false;
    std::string name = trimmed(text.substr(std::string(PreferencesFile::ServiceNameKey).size()));
    preferences->serviceNameProblem = serviceNameProblem(name);
    preferences->serviceName = preferences->serviceNameProblem.empty() ? name : "";
    return true;
}

void understand(const std::vector<std::string>& lines, Preferences* preferences) {
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string text = trimmed(lines[i]);
        if (text.empty() || text[0] == CommentMark) continue;
        if (readSwitch(lines[i], PreferencesFile::StartAutomaticallyKey, &preferences->startAutomatically)) continue;
        if (readSwitch(lines[i], PreferencesFile::AcceptAppsFromAnywhereKey, &preferences->acceptAppsFromAnywhere)) {
            continue;
        }
        if (readName(lines[i], preferences)) continue;
        preferences->ignoredLines.push_back("line " + std::to_string(i + 1));
    }
}

// The file's text; false with the reason when there is a file but it cannot be read. A missing file reads
// as empty.
bool readText(BaseFile* file, std::string* text, std::string* failure) {
    if (!file->existsAsFileOrDirectory()) return true;
    if (!(file->status().typeBits & FileTypeRegular)) {
        *failure = "it is not a file";
    } else if (!file->openFile(true)) {
        *failure = "it cannot be opened";
    } else {
        uint32_t count = 0;
        const char* bytes = file->readChunk(MostBytesRead + 1, &count);
        if (count <= MostBytesRead) {
            text->assign(bytes ? bytes : "", count);
            return true;
        }
        *failure = "it is too large to be the plug-in's";
    }
    return false;
}

// The lines with key's set to value: the first line of key replaced, any later one dropped, or the line added.
std::vector<std::string> withSetting(const std::vector<std::string>& lines, const std::string& key,
                                     const std::string& value) {
    std::vector<std::string> changed;
    bool placed = false;
    for (const std::string& line : lines) {
        if (keyOf(line) != key) {
            changed.push_back(line);
        } else if (!placed) {
            changed.push_back(key + " " + value);
            placed = true;
        }
    }
    if (!placed) changed.push_back(key + " " + value);
    return changed;
}

}  // namespace

Preferences PreferencesFile::read(const std::string& path) {
    AutoreleasePool pool;
    BaseFile* file = fileAt(path);
    Preferences preferences;
    std::string text;
    if (readText(file, &text, &preferences.failure)) understand(linesOf(text), &preferences);
    release(file);
    return preferences;
}

// A file that could not be completed is removed by the file layer; the old one stays. A file that cannot be
// read is not replaced: what it holds would be lost.
std::string PreferencesFile::write(const std::string& path, const std::string& key, const std::string& value) {
    AutoreleasePool pool;
    std::string text;
    std::string failure;
    BaseFile* reading = fileAt(path);
    bool readable = readText(reading, &text, &failure);
    release(reading);
    if (!readable) return failure;
    std::string updated;
    for (const std::string& line : withSetting(linesOf(text), key, value)) updated += line + "\n";
    BaseFile* file = fileAt(path);
    if (!file->openForWriting(false)) {
        failure = "its folder cannot be written to";
    } else if (!file->write(updated.data(), updated.size()) || !file->finishWriting()) {
        failure = "it cannot be replaced";
    }
    release(file);
    return failure;
}
