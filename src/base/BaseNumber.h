// BaseNumber: an immutable real, integer or boolean value. It remembers the kind it was made from,
// converts between kinds on request and compares numerically across kinds. Any thread may read it.
#pragma once

#include "base/BaseObject.h"

enum NumberKind : int32_t {
    NumberReal = 0,
    NumberInteger = 1,
    NumberBoolean = 2,
};

// Selects the boolean constructor with the byte stored unchanged (any non-zero byte is true).
struct BooleanByte {
    uint8_t byte;
};

class BaseNumber : public BaseObject {
public:
    explicit BaseNumber(int32_t value);
    explicit BaseNumber(int64_t value);
    explicit BaseNumber(double value);
    explicit BaseNumber(bool value);
    explicit BaseNumber(BooleanByte value);

    NumberKind kind() const { return kind_; }
    // The 64 stored bits: a double, a signed integer, or the boolean byte with the other bytes zero.
    uint64_t rawValue() const { return value_; }

    bool boolValue() const;
    double doubleValue() const;
    // Reals truncate toward zero; a real outside the target range gives the type's lowest value.
    int64_t int64Value() const;
    int32_t int32Value() const;

    bool isEqual(const BaseObject* other) const override;
    int compare(const BaseObject* other) const override;
    uint32_t hash() const override;
    const char* className() const override;
    BaseObject* copy(int mode) const override;
    BaseString* description(uint32_t flags) const override;

private:
    BaseNumber(uint64_t raw, NumberKind kind) : value_(raw), kind_(kind) {}
    double realValue() const;
    int64_t integerValue() const { return static_cast<int64_t>(value_); }
    uint8_t booleanByte() const { return static_cast<uint8_t>(value_); }

    uint64_t value_;
    NumberKind kind_;
};
