#include "serialization/ReceivedFileAttributes.h"

#include <cstring>
#include <string_view>

#include "base/BaseDictionary.h"
#include "base/BaseNumber.h"
#include "base/BaseString.h"
#include "file/FileAttributeKeys.h"

namespace {

bool isSeparator(char c) { return c == '/' || c == '\\'; }

bool holdsNul(const BaseString* text) { return std::memchr(text->chars(), 0, text->length()) != nullptr; }

bool isDrive(std::string_view component) { return component.size() == 2 && component[1] == ':'; }

// A present value must be a number in 0 ... limit; an absent one reads as 0.
bool readCount(const BaseObject* value, uint64_t limit, uint64_t* count) {
    *count = 0;
    if (!value) return true;
    if (!hasClassName(value, "BaseNumber")) return false;
    int64_t number = static_cast<const BaseNumber*>(value)->int64Value();
    if (number < 0 || static_cast<uint64_t>(number) > limit) return false;
    *count = static_cast<uint64_t>(number);
    return true;
}

BaseString* stringOrNull(const BaseObject* value) {
    return hasClassName(value, "BaseString") ? static_cast<BaseString*>(const_cast<BaseObject*>(value)) : nullptr;
}

}  // namespace

bool ReceivedFileAttributes::isSafeName(const BaseString* name) {
    if (!name || name->length() == 0 || holdsNul(name)) return false;
    std::string_view text(name->chars(), name->length());
    if (text == "." || text == ".." || isDrive(text)) return false;
    return text.find_first_of("/\\") == std::string_view::npos;
}

bool ReceivedFileAttributes::isSafeSubPath(const BaseString* subPath) {
    if (!subPath || holdsNul(subPath)) return false;
    std::string_view text(subPath->chars(), subPath->length());
    if (!text.empty() && isSeparator(text.front())) return false;
    for (size_t start = 0; start <= text.size();) {
        size_t end = text.find_first_of("/\\", start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view component = text.substr(start, end - start);
        if (component == ".." || (start == 0 && isDrive(component))) return false;
        start = end + 1;
    }
    return true;
}

bool ReceivedFileAttributes::read(const BaseDictionary* attributes) {
    const BaseObject* size = BaseDictionary::objectForKey(attributes, FileAttributeKey::size());
    hasContent_ = size != nullptr;
    if (!hasContent_) return true;
    if (!readCount(size, MaxFileSize, &size_)) return false;
    if (!readCount(BaseDictionary::objectForKey(attributes, FileAttributeKey::resumeOffset()), size_, &startOffset_)) {
        return false;
    }
    const BaseObject* resumable = BaseDictionary::objectForKey(attributes, FileAttributeKey::resumable());
    if (resumable && !hasClassName(resumable, "BaseNumber")) return false;
    resume_ = resumable && static_cast<const BaseNumber*>(resumable)->boolValue();
    name_ = stringOrNull(BaseDictionary::objectForKey(attributes, FileAttributeKey::name()));
    if (!isSafeName(name_)) return false;
    const BaseObject* context = BaseDictionary::objectForKey(attributes, FileAttributeKey::context());
    context_ = stringOrNull(context);
    return !context || isSafeSubPath(context_);
}
