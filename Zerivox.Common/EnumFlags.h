#pragma once
// Bitwise operators for a scoped enumeration used as a set of flags. A flag
// enumeration opts in with ZV_ENUM_FLAGS(Type) right after its definition, in
// the same namespace, so that argument-dependent lookup finds the operators
// wherever the type is used; enumerations that do not opt in keep the
// protection of enum class.
#include <type_traits>

namespace Zerivox::Common::EnumFlags {

template <typename E> constexpr std::underlying_type_t<E> Bits(E value) {
    return static_cast<std::underlying_type_t<E>>(value);
}

// Every operation goes through the underlying type and back, so narrow
// underlying types (uint8_t, uint16_t) wrap instead of leaving their range.
template <typename E> constexpr E FromBits(auto bits) {
    return static_cast<E>(static_cast<std::underlying_type_t<E>>(bits));
}

template <typename E> constexpr E Or(E a, E b) { return FromBits<E>(Bits(a) | Bits(b)); }
template <typename E> constexpr E And(E a, E b) { return FromBits<E>(Bits(a) & Bits(b)); }
template <typename E> constexpr E Xor(E a, E b) { return FromBits<E>(Bits(a) ^ Bits(b)); }
template <typename E> constexpr E Not(E a) { return FromBits<E>(~Bits(a)); }
// Every bit of flag is set in value (a flag of several bits needs them all).
template <typename E> constexpr bool AllSet(E value, E flag) { return (Bits(value) & Bits(flag)) == Bits(flag); }

} // namespace Zerivox::Common::EnumFlags

#define ZV_ENUM_FLAGS(E)                                                                                               \
    constexpr E operator|(E a, E b) { return ::Zerivox::Common::EnumFlags::Or(a, b); }                                 \
    constexpr E operator&(E a, E b) { return ::Zerivox::Common::EnumFlags::And(a, b); }                                \
    constexpr E operator^(E a, E b) { return ::Zerivox::Common::EnumFlags::Xor(a, b); }                                \
    constexpr E operator~(E a) { return ::Zerivox::Common::EnumFlags::Not(a); }                                        \
    constexpr E& operator|=(E& a, E b) { return a = a | b; }                                                           \
    constexpr E& operator&=(E& a, E b) { return a = a & b; }                                                           \
    constexpr E& operator^=(E& a, E b) { return a = a ^ b; }                                                           \
    constexpr bool HasFlag(E value, E flag) { return ::Zerivox::Common::EnumFlags::AllSet(value, flag); }
