#include "plugin/AutoStartFile.h"

#include <cstdint>

#include "base/AutoreleasePool.h"
#include "base/BaseString.h"
#include "file/BaseFile.h"

namespace {

constexpr const char* OnLine = "start_automatically 1";
constexpr const char* OffLine = "start_automatically 0";
// Line ends and blanks a hand edit may leave after the line.
constexpr const char* TrailingBlanks = "\r\n\t ";
// More than the file ever holds: a longer file is not one the plug-in wrote.
constexpr uint64_t MostBytesRead = 64;

BaseFile* fileAt(const std::string& path) {
    return BaseFile::overOSPath(createAutoreleased<BaseString>(path.c_str(), static_cast<int64_t>(path.size())));
}

AutoStartReading choiceIn(std::string text) {
    text.erase(text.find_last_not_of(TrailingBlanks) + 1);
    if (text == OnLine) return {true, ""};
    if (text == OffLine) return {false, ""};
    return {false, text.empty() ? "it is empty" : "it does not hold the choice"};
}

AutoStartReading readFrom(BaseFile* file) {
    if (!file->existsAsFileOrDirectory()) return {};
    if (!(file->status().typeBits & FileTypeRegular)) return {false, "it is not a file"};
    if (!file->openFile(true)) return {false, "it cannot be opened"};
    uint32_t count = 0;
    const char* bytes = file->readChunk(MostBytesRead + 1, &count);
    return choiceIn(std::string(bytes ? bytes : "", count));
}

}  // namespace

AutoStartReading AutoStartFile::read(const std::string& path) {
    AutoreleasePool pool;
    BaseFile* file = fileAt(path);
    AutoStartReading reading = readFrom(file);
    release(file);
    return reading;
}

// A file that could not be completed is removed by the file layer; the old one stays.
std::string AutoStartFile::write(const std::string& path, bool on) {
    AutoreleasePool pool;
    BaseFile* file = fileAt(path);
    std::string line = std::string(on ? OnLine : OffLine) + "\n";
    std::string failure;
    if (!file->openForWriting(false)) {
        failure = "its folder cannot be written to";
    } else if (!file->write(line.data(), line.size()) || !file->finishWriting()) {
        failure = "it cannot be replaced";
    }
    release(file);
    return failure;
}
