#include "base/BaseNumber.h"

#include <cmath>
#include <limits>

#include "base/BaseString.h"
#include "base/BitCast.h"
#include "base/Description.h"
#include "base/StringFormat.h"

namespace {

template <class Int>
Int truncatedOrLowest(double value) {
    // The range test is written so that NaN fails it too.
    constexpr double low = static_cast<double>(std::numeric_limits<Int>::min());
    constexpr double high = -low;  // 2^31 or 2^63, the first value above the range
    if (!(value > low - 1.0 && value < high)) return std::numeric_limits<Int>::lowest();
    return static_cast<Int>(value);
}

int ordered(bool greater, bool smaller) { return greater ? 1 : smaller ? -1 : 0; }

BaseString* realText(double value, uint32_t style) {
    if (style == StyleJSON && !std::isfinite(value)) {
        if (std::isnan(value)) return constantString("null"_lit);
        return value > 0 ? constantString("9e9999"_lit) : constantString("-9e9999"_lit);
    }
    return stringWithFormat("%.15g", value);
}

}  // namespace

BaseNumber::BaseNumber(int32_t value) : BaseNumber(static_cast<int64_t>(value)) {}

BaseNumber::BaseNumber(int64_t value) : value_(static_cast<uint64_t>(value)), kind_(NumberInteger) {}

BaseNumber::BaseNumber(double value) : value_(bitCast<uint64_t>(value)), kind_(NumberReal) {}

BaseNumber::BaseNumber(bool value) : BaseNumber(BooleanByte{static_cast<uint8_t>(value ? 1 : 0)}) {}

BaseNumber::BaseNumber(BooleanByte value) : value_(value.byte), kind_(NumberBoolean) {}

double BaseNumber::realValue() const { return bitCast<double>(value_); }

bool BaseNumber::boolValue() const {
    switch (kind_) {
        case NumberReal: return realValue() != 0.0;  // NaN is true
        case NumberInteger: return integerValue() != 0;
        default: return booleanByte() != 0;
    }
}

double BaseNumber::doubleValue() const {
    switch (kind_) {
        case NumberReal: return realValue();
        case NumberInteger: return static_cast<double>(integerValue());
        default: return booleanByte();
    }
}

int64_t BaseNumber::int64Value() const {
    switch (kind_) {
        case NumberReal: return truncatedOrLowest<int64_t>(realValue());
        case NumberInteger: return integerValue();
        default: return booleanByte();
    }
}

int32_t BaseNumber::int32Value() const {
    switch (kind_) {
        case NumberReal: return truncatedOrLowest<int32_t>(realValue());
        case NumberInteger: return static_cast<int32_t>(integerValue());
        default: return booleanByte();
    }
}

// Same kind: the stored bits (0.0 and -0.0 differ, a NaN equals the identical NaN). Mixed kinds: as doubles.
bool BaseNumber::isEqual(const BaseObject* other) const {
    if (!hasClassName(other, "BaseNumber")) return false;
    const BaseNumber* number = static_cast<const BaseNumber*>(other);
    if (number->kind_ == kind_) return number->value_ == value_;
    return number->doubleValue() == doubleValue();
}

int BaseNumber::compare(const BaseObject* other) const {
    if (!hasClassName(other, "BaseNumber")) return BaseObject::compare(other);
    const BaseNumber* number = static_cast<const BaseNumber*>(other);
    if (number->kind_ == kind_ && kind_ == NumberInteger) {
        return ordered(integerValue() > number->integerValue(), integerValue() < number->integerValue());
    }
    if (number->kind_ == kind_ && kind_ == NumberBoolean) {
        return ordered(booleanByte() > number->booleanByte(), booleanByte() < number->booleanByte());
    }
    double mine = doubleValue();
    double theirs = number->doubleValue();
    return ordered(mine > theirs, mine < theirs);
}

uint32_t BaseNumber::hash() const { return static_cast<uint32_t>(value_) ^ static_cast<uint32_t>(value_ >> 32); }

const char* BaseNumber::className() const { return "BaseNumber"; }

BaseObject* BaseNumber::copy(int) const { return new BaseNumber(value_, kind_); }

BaseString* BaseNumber::description(uint32_t flags) const {
    uint32_t style = descriptionStyle(flags);
    BaseString* text = nullptr;
    switch (kind_) {
        case NumberReal: text = realText(realValue(), style); break;
        case NumberInteger: text = stringWithFormat("%lli", integerValue()); break;
        default: text = booleanByte() ? constantString("true"_lit) : constantString("false"_lit); break;
    }
    if (style == StyleXMLPlist) {
        const char* wrapper = kind_ == NumberReal ? "<real>%S</real>"
                              : kind_ == NumberInteger ? "<integer>%S</integer>"
                                                       : "<%S />";
        text = stringWithFormat(wrapper, text);
    }
    return addDescriptionHeader(this, flags, text, -1, nullptr);
}
