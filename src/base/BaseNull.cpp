#include "base/BaseNull.h"

#include "base/BaseString.h"
#include "base/Description.h"

namespace {

constexpr StringLiteral NullTexts[] = {"NULL"_lit, "null"_lit, "nil"_lit, "<BaseNull/>"_lit, "null"_lit};

}  // namespace

uint32_t BaseNull::hash() const { return 0; }

const char* BaseNull::className() const { return "BaseNull"; }

BaseObject* BaseNull::copy(int) const { return retain(const_cast<BaseNull*>(this)); }

BaseString* BaseNull::description(uint32_t flags) const {
    uint32_t style = descriptionStyle(flags);
    BaseString* text = constantString(NullTexts[style <= StyleBare ? style : StylePlain]);
    return addDescriptionHeader(this, flags, text, -1, nullptr);
}

BaseNull* sharedNull() {
    static NeverDestroyed<BaseNull> instance;
    return instance.get();
}
