#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>

namespace Zerivox::Graphics::Shader::Decoders {

enum class RegisterType : int32_t {
    Flag = 0,
    Gpr = 1,
    Predicate = 2,
};

// Identity of a guest register: general register (255 = RZ), predicate
// (7 = PT) or one of the four condition-code flags.
struct Register {
    static constexpr int ZeroIndex = 255;  // RZ
    static constexpr int PredicateTrueIndex = 7;  // PT

    int Index = 0;
    RegisterType Type = RegisterType::Gpr;

    constexpr Register() = default;
    constexpr Register(int index, RegisterType type) : Index(index), Type(type) {}

    constexpr bool IsRZ() const { return Type == RegisterType::Gpr && Index == ZeroIndex; }
    constexpr bool IsPT() const { return Type == RegisterType::Predicate && Index == PredicateTrueIndex; }

    constexpr bool operator==(const Register& other) const { return Index == other.Index && Type == other.Type; }
    constexpr int GetHashCode() const {
        return static_cast<int>(((static_cast<uint32_t>(Type) & 0xFFFFu) << 16) | (static_cast<uint32_t>(Index) & 0xFFFFu));
    }
};

} // namespace Zerivox::Graphics::Shader::Decoders

template <>
struct std::hash<Zerivox::Graphics::Shader::Decoders::Register> {
    std::size_t operator()(const Zerivox::Graphics::Shader::Decoders::Register& r) const noexcept {
        return static_cast<std::size_t>(static_cast<uint32_t>(r.GetHashCode()));
    }
};
