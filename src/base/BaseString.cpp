#include "base/BaseString.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "base/AutoreleasePool.h"
#include "base/BaseTypedArray.h"
#include "base/Description.h"
#include "base/NeverDestroyed.h"
#include "base/StringFormat.h"
#include "base/Utf8.h"
#include "platform/TextCase.h"

namespace {

constexpr uint64_t InlineSize = 8;
constexpr uint64_t SmallestHeapSize = 16;

uint64_t resolvedLength(const char* bytes, int64_t length) {
    if (!bytes) return 0;
    return length < 0 ? std::strlen(bytes) : static_cast<uint64_t>(length);
}

int64_t findLast(const char* bytes, uint64_t length, char c) {
    for (uint64_t i = length; i-- > 0;) {
        if (bytes[i] == c) return static_cast<int64_t>(i);
    }
    return -1;
}

bool isAsciiLetter(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isAsciiDigit(unsigned char c) { return c >= '0' && c <= '9'; }

// The one-letter escape of a byte, shared by the JSON and Lua styles; 0 when it has none.
char shortEscape(unsigned char c) {
    switch (c) {
        case '\b': return 'b';
        case '\t': return 't';
        case '\n': return 'n';
        case '\r': return 'r';
        case '"': return '"';
        case '\\': return '\\';
        default: return 0;
    }
}

// A quoted string literal of JSON (other control bytes as \u00XX) or Lua (as \ddd). Bytes from 0x20 up,
// UTF-8 included, pass unchanged.
BaseString* quotedEscaped(const BaseString* source, bool lua) {
    BaseString* result = createAutoreleased<BaseString>(ReserveBytes{source->length() + 2});
    result->appendCharacter('"');
    const char* bytes = source->chars();
    uint64_t runStart = 0;
    for (uint64_t i = 0; i < source->length(); ++i) {
        auto c = static_cast<unsigned char>(bytes[i]);
        char escape = shortEscape(c);
        if (c >= 0x20 && !escape) continue;
        result->appendBytes(bytes + runStart, static_cast<int64_t>(i - runStart));
        runStart = i + 1;
        if (escape) {
            char pair[2] = {'\\', escape};
            result->appendBytes(pair, 2);
        } else {
            appendFormat(result, lua ? "\\%03d" : "\\u%04X", c);
        }
    }
    result->appendBytes(bytes + runStart, static_cast<int64_t>(source->length() - runStart));
    result->appendCharacter('"');
    return result;
}

// "<string>...</string>" with the three characters that would break the document escaped.
BaseString* plistString(const BaseString* source) {
    BaseString* result = createAutoreleased<BaseString>("<string>");
    appendXmlEscaped(result, source->chars(), source->length());
    result->appendBytes("</string>");
    return result;
}

}  // namespace

BaseString::BaseString() { becomeEmptyInline(); }

BaseString::BaseString(ReserveBytes reserveBytes) {
    becomeEmptyInline();
    reserve(reserveBytes.bytes);
}

BaseString::BaseString(const char* bytes, int64_t length) {
    becomeEmptyInline();
    appendUnaliased(bytes, resolvedLength(bytes, length));
}

BaseString::BaseString(const BaseString* other) {
    becomeEmptyInline();
    if (!other) return;
    appendUnaliased(other->chars_, other->length_);
    hashCache_.store(other->hashCache_.load(std::memory_order_relaxed), std::memory_order_relaxed);
}

BaseString::BaseString(const char16_t* units, int64_t count) {
    becomeEmptyInline();
    setFromUTF16(units, count);
}

BaseString::BaseString(const StringLiteral& literal)
    : chars_(const_cast<char*>(literal.chars)), length_(literal.length), capacity_(0), hashCache_(literal.hash) {}

BaseString::~BaseString() {
    if (!isInline() && !isBorrowed()) std::free(chars_);
    std::free(utf16Cache_);
}

// An empty inline string: byte 0 is the terminator and byte 1 is 1, so the capacity field never reads as 0.
void BaseString::becomeEmptyInline() {
    capacity_ = 0;
    chars_ = inlineBytes();
    chars_[0] = '\0';
    chars_[1] = 1;
    length_ = 0;
}

// Copies borrowed bytes into storage of the string's own, so that they can change.
void BaseString::makeOwned() {
    if (!isBorrowed()) return;
    const char* borrowed = chars_;
    uint64_t length = length_;
    becomeEmptyInline();
    reserve(length);
    std::memcpy(chars_, borrowed, length);
    chars_[length] = '\0';
    length_ = length;
}

void BaseString::reserve(uint64_t n) {
    makeOwned();
    uint64_t current = isInline() ? InlineSize : capacity_;
    if (n < current) return;
    uint64_t size = std::max(n + 1, SmallestHeapSize);
    if ((size - current) * 2 < current) size = 2 * current;
    if (isInline()) {
        char* block = static_cast<char*>(std::malloc(size));
        if (!block) throw std::bad_alloc();
        std::memcpy(block, inlineBytes(), InlineSize);
        chars_ = block;
    } else {
        char* block = static_cast<char*>(std::realloc(chars_, size));
        if (!block) throw std::bad_alloc();
        chars_ = block;
    }
    capacity_ = size;
}

bool BaseString::overlapsStorage(const char* bytes, uint64_t length) const {
    if (isBorrowed()) return false;
    uint64_t size = isInline() ? InlineSize : capacity_;
    auto begin = reinterpret_cast<uintptr_t>(chars_);
    auto start = reinterpret_cast<uintptr_t>(bytes);
    return start < begin + size && begin < start + length;
}

void BaseString::appendUnaliased(const char* bytes, uint64_t length) {
    reserve(length_ + length);
    if (length > 0) std::memcpy(chars_ + length_, bytes, length);
    length_ += length;
    chars_[length_] = '\0';
    contentChanged();
}

void BaseString::contentChanged() {
    hashCache_.store(0, std::memory_order_relaxed);
    std::free(utf16Cache_);
    utf16Cache_ = nullptr;
}

bool BaseString::isEqual(const BaseObject* other) const {
    if (other == this) return true;
    if (!hasClassName(other, "BaseString")) return false;
    const BaseString* string = static_cast<const BaseString*>(other);
    return string->length_ == length_ && string->hash() == hash() && std::memcmp(chars_, string->chars_, length_) == 0;
}

// Byte order, bytes unsigned; a proper prefix sorts first.
int BaseString::compare(const BaseObject* other) const {
    if (!hasClassName(other, "BaseString")) return BaseObject::compare(other);
    const BaseString* string = static_cast<const BaseString*>(other);
    int bytes = std::memcmp(chars_, string->chars_, std::min(length_, string->length_));
    if (bytes != 0) return bytes < 0 ? -1 : 1;
    if (length_ == string->length_) return 0;
    return length_ < string->length_ ? -1 : 1;
}

// Any thread may compute the hash; they all store the same value.
uint32_t BaseString::hash() const {
    uint32_t cached = hashCache_.load(std::memory_order_relaxed);
    if (cached != 0) return cached;
    uint32_t computed = stringHash(chars_, length_);
    hashCache_.store(computed, std::memory_order_relaxed);
    return computed;
}

const char* BaseString::className() const { return "BaseString"; }

BaseObject* BaseString::copy(int) const { return new BaseString(this); }

BaseString* BaseString::description(uint32_t flags) const {
    BaseString* rendering = nullptr;
    switch (descriptionStyle(flags)) {
        case StyleJSON: rendering = quotedEscaped(this, false); break;
        case StyleLua: rendering = quotedEscaped(this, true); break;
        case StyleXMLPlist: rendering = plistString(this); break;
        case StyleBare: rendering = const_cast<BaseString*>(this); break;
        default:
            rendering = createAutoreleased<BaseString>("\"");
            rendering->appendString(this);
            rendering->appendCharacter('"');
            break;
    }
    return addDescriptionHeader(this, flags, rendering, -1, nullptr);
}

int32_t BaseString::intValue() const {
    const char* p = chars_;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    uint64_t value = 0;
    for (; isAsciiDigit(*p); ++p) value = value * 10 + static_cast<uint64_t>(*p - '0');
    return static_cast<int32_t>(static_cast<uint32_t>(negative ? 0 - value : value));
}

bool BaseString::isIdentifier() const {
    if (length_ == 0) return false;
    auto first = static_cast<unsigned char>(chars_[0]);
    if (!isAsciiLetter(first) && first != '_') return false;
    for (uint64_t i = 1; i < length_; ++i) {
        auto c = static_cast<unsigned char>(chars_[i]);
        if (!isAsciiLetter(c) && !isAsciiDigit(c) && c != '_') return false;
    }
    return true;
}

const char16_t* BaseString::utf16String() {
    std::free(utf16Cache_);
    utf16Cache_ = static_cast<char16_t*>(std::malloc(sizeof(char16_t) * (length_ + 1)));
    if (!utf16Cache_) throw std::bad_alloc();
    char16_t* out = utf16Cache_;
    const auto* cursor = reinterpret_cast<const unsigned char*>(chars_);
    uint32_t c = 0;
    while (decodeUtf8(&cursor, &c)) {
        if (c < 0x10000) {
            *out++ = static_cast<char16_t>(c);
        } else {
            *out++ = static_cast<char16_t>(0xD800 | ((c - 0x10000) >> 10));
            *out++ = static_cast<char16_t>(0xDC00 | (c & 0x3FF));
        }
    }
    *out = 0;
    return utf16Cache_;
}

void BaseString::setBytes(const char* bytes, int64_t length) {
    uint64_t n = resolvedLength(bytes, length);
    if (overlapsStorage(bytes, n)) {
        std::string saved(bytes, n);
        setBytes(saved.data(), static_cast<int64_t>(n));
        return;
    }
    if (isBorrowed()) becomeEmptyInline();
    length_ = 0;
    appendUnaliased(bytes, n);
}

void BaseString::setString(const BaseString* other) {
    if (other == this) return;
    if (!other) {
        setBytes("", 0);
        return;
    }
    setBytes(other->chars_, static_cast<int64_t>(other->length_));
    hashCache_.store(other->hashCache_.load(std::memory_order_relaxed), std::memory_order_relaxed);
}

// Bytes from this string's own buffer are copied first: growing may move the buffer they lie in.
void BaseString::appendBytes(const char* bytes, int64_t length) {
    uint64_t n = resolvedLength(bytes, length);
    if (overlapsStorage(bytes, n)) {
        std::string saved(bytes, n);
        appendUnaliased(saved.data(), n);
        return;
    }
    appendUnaliased(bytes, n);
}

void BaseString::appendString(const BaseString* other) {
    if (other) appendBytes(other->chars_, static_cast<int64_t>(other->length_));
}

void BaseString::appendCharacter(char byte) { appendUnaliased(&byte, 1); }

void BaseString::appendUnicodeCharacter(uint32_t codePoint) {
    char bytes[4];
    appendUnaliased(bytes, static_cast<uint64_t>(encodeUtf8(codePoint, bytes)));
}

void BaseString::appendPathComponent(const BaseString* component) {
    if (!component) return;
    std::string saved(component->chars_, component->length_);
    if (length_ > 0) {
        bool componentSlash = !saved.empty() && saved.front() == '/';
        bool ownSlash = chars_[length_ - 1] == '/';
        if (componentSlash && ownSlash) truncateBy(1);
        if (!componentSlash && !ownSlash) appendCharacter('/');
    }
    appendUnaliased(saved.data(), saved.size());
}

void BaseString::appendStringsJoined(const BaseTypedArray<BaseString>* strings, const BaseString* separator) {
    if (!strings || strings->count() == 0) return;
    std::string separatorBytes = separator ? std::string(separator->chars_, separator->length_) : std::string();
    for (uint32_t i = 0; i < strings->count(); ++i) {
        const BaseObject* element = strings->BaseArray::objectAtIndex(i);
        if (hasClassName(element, "BaseString")) appendString(static_cast<const BaseString*>(element));
        appendUnaliased(separatorBytes.data(), separatorBytes.size());
    }
    truncateBy(separatorBytes.size());
}

void BaseString::truncateBy(uint64_t count) {
    makeOwned();
    length_ -= std::min(count, length_);
    chars_[length_] = '\0';
    contentChanged();
}

char* BaseString::setLengthForWriting(uint64_t n) {
    uint64_t old = length_;
    reserve(n);
    if (n > old) std::memset(chars_ + old, 0, n - old);
    length_ = n;
    chars_[n] = '\0';
    contentChanged();
    return chars_;
}

void BaseString::setFromUTF16(const char16_t* units, int64_t count) {
    uint64_t n = 0;
    if (units) {
        if (count < 0) {
            while (units[n] != 0) ++n;
        } else {
            n = static_cast<uint64_t>(count);
        }
    }
    std::string converted;
    converted.reserve(4 * n + 1);
    char bytes[4];
    for (uint64_t i = 0; i < n; ++i) {
        uint32_t unit = units[i];
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            // A high surrogate needs a low one right after it; otherwise the conversion ends here.
            if (i + 1 >= n || units[i + 1] < 0xDC00 || units[i + 1] > 0xDFFF) break;
            unit = 0x10000 + (((unit & 0x3FF) << 10) | (units[++i] & 0x3FF));
        }
        converted.append(bytes, static_cast<std::size_t>(encodeUtf8(unit, bytes)));
    }
    setBytes(converted.c_str(), -1);
}

void BaseString::resetToEmpty() {
    if (!isInline() && !isBorrowed()) std::free(chars_);
    becomeEmptyInline();
    contentChanged();
}

BaseString* BaseString::stringWithString(const BaseString* other) { return createAutoreleased<BaseString>(other); }

BaseString* BaseString::substring(uint64_t start, uint64_t length) const {
    return createAutoreleased<BaseString>(chars_ + start, static_cast<int64_t>(length));
}

BaseString* BaseString::stringByReplacingCharacter(char from, char to) const {
    BaseString* result = substring(0, length_);
    std::replace(result->chars_, result->chars_ + result->length_, from, to);
    result->contentChanged();
    return result;
}

BaseString* BaseString::stringByReplacingOccurrences(const BaseString* search, const BaseString* replacement) const {
    if (!search || search->length_ == 0) return substring(0, length_);
    BaseString* result = createAutoreleased<BaseString>(ReserveBytes{length_});
    std::string_view text(chars_, length_);
    std::string_view pattern(search->chars_, search->length_);
    std::size_t start = 0;
    for (std::size_t found = text.find(pattern); found != std::string_view::npos; found = text.find(pattern, start)) {
        result->appendBytes(chars_ + start, static_cast<int64_t>(found - start));
        result->appendString(replacement);
        start = found + pattern.size();
    }
    result->appendBytes(chars_ + start, static_cast<int64_t>(length_ - start));
    return result;
}

// An empty separator splits nothing: the whole string is the one part.
BaseTypedArray<BaseString>* BaseString::componentsSeparatedBy(const char* separator, uint32_t maxParts) const {
    auto* parts = createAutoreleased<BaseTypedArray<BaseString>>();
    AutoreleasePool pool;
    std::string_view pattern = separator ? std::string_view(separator) : std::string_view();
    std::string_view text(chars_, length_);
    std::size_t start = 0;
    if (!pattern.empty() && length_ > 0) {
        std::size_t found = text.find(pattern);
        for (uint32_t remaining = maxParts; found != std::string_view::npos && remaining > 1; --remaining) {
            parts->addObject(substring(start, found - start));
            start = found + pattern.size();
            found = text.find(pattern, start);
        }
    }
    parts->addObject(substring(start, length_ - start));
    return parts;
}

BaseString* BaseString::lowercaseString() const {
    BaseString* result = createAutoreleased<BaseString>(ReserveBytes{length_});
    const auto* cursor = reinterpret_cast<const unsigned char*>(chars_);
    uint32_t c = 0;
    while (decodeUtf8(&cursor, &c)) result->appendUnicodeCharacter(c <= 0xFFFF ? platformLowercase(c) : c);
    return result;
}

BaseString* BaseString::lastPathComponent(bool keepExtension) const {
    uint64_t start = static_cast<uint64_t>(findLast(chars_, length_, '/') + 1);
    uint64_t end = length_;
    if (!keepExtension) {
        int64_t dot = findLast(chars_ + start, length_ - start, '.');
        if (dot >= 0) end = start + static_cast<uint64_t>(dot);
    }
    return substring(start, end - start);
}

BaseString* BaseString::stringByDeletingPathExtension() const {
    int64_t dot = findLast(chars_, length_, '.');
    return substring(0, dot >= 0 ? static_cast<uint64_t>(dot) : length_);
}

// The root "/" and a drive root such as "C:/" keep their slash.
BaseString* BaseString::stringByStrippingTrailingSlash() {
    if (length_ == 0 || chars_[length_ - 1] != '/' || length_ == 1) return this;
    if (length_ == 3 && chars_[1] == ':') return this;
    return substring(0, length_ - 1);
}

BaseString* BaseString::stringByDeletingLastPathComponent() {
    BaseString* stripped = stringByStrippingTrailingSlash();
    int64_t slash = findLast(stripped->chars_, stripped->length_, '/');
    return stripped->substring(0, slash > 0 ? static_cast<uint64_t>(slash) : 0);
}

uint32_t hashBytes(const char* bytes, int64_t length) { return stringHash(bytes, resolvedLength(bytes, length)); }

BaseString* constantString(const StringLiteral& literal) { return createAutoreleased<BaseString>(literal); }

BaseString* stringZero() {
    static NeverDestroyed<BaseString> zero("0"_lit);
    return zero.get();
}
