// ReceivedFileAttributes: what the attribute dictionary of a received file record asks the receiver to
// do, checked before anything touches the disk. The dictionary comes from a peer, so a record is refused
// when its name or sub-path could leave the receiving directory, when it declares more than 1 GiB, or when
// its numbers contradict each other. The strings are borrowed from the dictionary, which the caller keeps.
#pragma once

#include <cstdint>

class BaseDictionary;
class BaseString;

class ReceivedFileAttributes {
public:
    static constexpr uint64_t MaxFileSize = uint64_t{1} << 30;

    // False when the record must fail. A dictionary without "fa_size" is a sender that could not open
    // its file: valid, with hasContent false.
    bool read(const BaseDictionary* attributes);

    bool hasContent() const { return hasContent_; }
    BaseString* name() const { return name_; }
    BaseString* context() const { return context_; }
    uint64_t size() const { return size_; }
    uint64_t startOffset() const { return startOffset_; }
    bool resume() const { return resume_; }

    // One plain component: not empty, not "." or "..", no "/", "\" or NUL, not a drive such as "C:".
    static bool isSafeName(const BaseString* name);
    // A relative sub-path without ".." components and without NUL bytes.
    static bool isSafeSubPath(const BaseString* subPath);

private:
    bool hasContent_ = false;
    BaseString* name_ = nullptr;
    BaseString* context_ = nullptr;
    uint64_t size_ = 0;
    uint64_t startOffset_ = 0;
    bool resume_ = false;
};
