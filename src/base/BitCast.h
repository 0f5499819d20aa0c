// bitCast: the bits of one trivially copyable value read as another type of the same size. It stands in
// for std::bit_cast, which the oldest C++ runtime the Linux module is built against (GCC 10's) lacks.
#pragma once

#include <cstring>
#include <type_traits>

template <class To, class From>
    requires(sizeof(To) == sizeof(From) && std::is_trivially_copyable_v<To> && std::is_trivially_copyable_v<From>)
To bitCast(const From& from) {
    static_assert(std::is_trivially_constructible_v<To>);
    To to;
    std::memcpy(&to, &from, sizeof(To));
    return to;
}
