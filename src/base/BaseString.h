// BaseString: the system's one string type. UTF-8 bytes, always followed by a NUL, with a cached hash that
// dictionaries rely on. Three storage modes keep short and constant strings cheap:
//   borrowed - `chars` points at constant bytes the string does not own (capacity 0); any change copies
//              them first, so the constant bytes are never written;
//   inline   - up to 7 bytes and the terminator live in the capacity field itself;
//   heap     - `chars` owns a heap buffer of `capacity` bytes (at least 16).
// A string has no lock: one thread at a time may change it. Strings shared between threads (constants,
// interned strings, dictionary keys) are never changed after they are made.
#pragma once

#include <atomic>
#include <cstdint>

#include "base/BaseObject.h"
#include "base/StringLiteral.h"

template <class T>
class BaseTypedArray;

// Selects the constructor that only reserves room.
struct ReserveBytes {
    uint64_t bytes;
};

class BaseString : public BaseObject {
public:
    BaseString();
    explicit BaseString(ReserveBytes reserve);
    // Copies bytes; a negative length means up to the NUL.
    explicit BaseString(const char* bytes, int64_t length = -1);
    // Copies other's bytes and cached hash.
    explicit BaseString(const BaseString* other);
    // Converts UTF-16 units; a negative count means up to the first 0 unit.
    BaseString(const char16_t* units, int64_t count);
    // Borrows the literal's bytes and hash.
    explicit BaseString(const StringLiteral& literal);
    ~BaseString() override;

    bool isEqual(const BaseObject* other) const override;
    int compare(const BaseObject* other) const override;
    uint32_t hash() const override;
    const char* className() const override;
    BaseObject* copy(int mode) const override;
    BaseString* description(uint32_t flags) const override;
    // Slot 17: forgets the cached hash and UTF-16 copy. Every change ends with it.
    virtual void contentChanged();

    const char* chars() const { return chars_; }
    uint64_t length() const { return length_; }
    // The raw capacity field: 0 for borrowed bytes, inline bytes, or the heap buffer size.
    uint64_t capacityField() const { return capacity_; }
    bool isBorrowed() const { return !isInline() && capacity_ == 0; }
    bool isInline() const { return chars_ == inlineBytes(); }

    // Like scanf's "%d": leading white space, optional sign, decimal digits; 0 when there are none.
    int32_t intValue() const;
    bool isIdentifier() const;
    // NUL-terminated UTF-16, owned by the string and valid until its next change.
    const char16_t* utf16String();

    void setBytes(const char* bytes, int64_t length = -1);
    void setString(const BaseString* other);
    void appendBytes(const char* bytes, int64_t length = -1);
    void appendString(const BaseString* other);
    void appendCharacter(char byte);
    void appendUnicodeCharacter(uint32_t codePoint);
    // Joins with exactly one "/" between this text and component.
    void appendPathComponent(const BaseString* component);
    // Each element followed by separator, without the last separator.
    void appendStringsJoined(const BaseTypedArray<BaseString>* strings, const BaseString* separator);
    void truncateBy(uint64_t count);
    // Sets the length to n and returns the bytes for the caller to fill; the terminator is already written.
    char* setLengthForWriting(uint64_t n);
    // Makes room for n bytes of content plus the terminator.
    void reserve(uint64_t n);
    void setFromUTF16(const char16_t* units, int64_t count);
    // Empties the string into inline storage, freeing any heap buffer.
    void resetToEmpty();

    // New autoreleased strings.
    static BaseString* stringWithString(const BaseString* other);
    BaseString* stringByReplacingCharacter(char from, char to) const;
    BaseString* stringByReplacingOccurrences(const BaseString* search, const BaseString* replacement) const;
    // Splits at separator; at most maxParts parts (0xFFFFFFFF: no limit). An autoreleased array.
    BaseTypedArray<BaseString>* componentsSeparatedBy(const char* separator, uint32_t maxParts = 0xFFFFFFFF) const;
    BaseString* lowercaseString() const;
    BaseString* lastPathComponent(bool keepExtension) const;
    BaseString* stringByDeletingPathExtension() const;
    // This very string when there is nothing to strip.
    BaseString* stringByStrippingTrailingSlash();
    BaseString* stringByDeletingLastPathComponent();

private:
    char* inlineBytes() { return reinterpret_cast<char*>(&capacity_); }
    const char* inlineBytes() const { return reinterpret_cast<const char*>(&capacity_); }
    void becomeEmptyInline();
    void makeOwned();
    void appendUnaliased(const char* bytes, uint64_t length);
    bool overlapsStorage(const char* bytes, uint64_t length) const;
    BaseString* substring(uint64_t start, uint64_t length) const;

    char16_t* utf16Cache_ = nullptr;
    char* chars_ = nullptr;
    uint64_t length_ = 0;
    uint64_t capacity_ = 0;
    mutable std::atomic<uint32_t> hashCache_{0};
};

// The string hash of raw bytes; a negative length means up to the NUL.
uint32_t hashBytes(const char* bytes, int64_t length = -1);
// The bytes of a string, or null for a null string.
inline const char* cString(const BaseString* string) { return string ? string->chars() : nullptr; }
// An autoreleased string borrowing the literal's bytes.
BaseString* constantString(const StringLiteral& literal);
// The module-level string "0" (static storage, never autoreleased).
BaseString* stringZero();
