// The printf-like engine that builds every text of the system. Beside the printf conversions it knows
//   %@  any object, by its Lua-style description      %S  a BaseString
//   %P  a path component, joined with exactly one "/"  %U  a 16-byte UUID      %t  a 64-bit integer
// Each argument travels in one 64-bit slot (integers, pointers and doubles alike), packed by the variadic
// templates below, so the argument types are checked when the program is built. A conversion that finds no
// argument left reads 0 (null), never foreign memory.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "base/BaseString.h"
#include "base/BitCast.h"

// The argument slots of one formatting call, consumed in order.
class FormatArguments {
public:
    FormatArguments(const uint64_t* slots, std::size_t count) : slots_(slots), count_(count) {}
    uint64_t next() { return used_ < count_ ? slots_[used_++] : 0; }

private:
    const uint64_t* slots_;
    std::size_t count_;
    std::size_t used_ = 0;
};

namespace format_slots {

template <std::integral T>
uint64_t toSlot(T value) {
    if constexpr (std::is_signed_v<T>) return static_cast<uint64_t>(static_cast<int64_t>(value));
    return static_cast<uint64_t>(value);
}

template <std::floating_point T>
uint64_t toSlot(T value) {
    return bitCast<uint64_t>(static_cast<double>(value));
}

template <class T>
    requires std::is_enum_v<T>
uint64_t toSlot(T value) {
    return toSlot(static_cast<std::underlying_type_t<T>>(value));
}

inline uint64_t toSlot(const volatile void* pointer) {
    return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(pointer));
}

inline uint64_t toSlot(std::nullptr_t) { return 0; }

}  // namespace format_slots

// The engine: appends format, with args substituted, to target.
void appendFormatV(BaseString* target, const char* format, FormatArguments& args);

template <class... Args>
void appendFormat(BaseString* target, const char* format, const Args&... args) {
    const uint64_t slots[sizeof...(Args) + 1] = {format_slots::toSlot(args)..., 0};
    FormatArguments arguments(slots, sizeof...(Args));
    appendFormatV(target, format, arguments);
}

// An autoreleased string holding the formatted text.
template <class... Args>
BaseString* stringWithFormat(const char* format, const Args&... args) {
    BaseString* result = createAutoreleased<BaseString>();
    appendFormat(result, format, args...);
    return result;
}

// Empties string (an existing one, such as a string on the stack) and formats into it.
template <class... Args>
void initWithFormat(BaseString* string, const char* format, const Args&... args) {
    string->resetToEmpty();
    appendFormat(string, format, args...);
}
