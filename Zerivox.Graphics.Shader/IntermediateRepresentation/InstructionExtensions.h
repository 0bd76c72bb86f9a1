#pragma once
// What kind of operation an IR instruction is, read from the instruction
// list (InstructionTable.def). Each query looks at the operation code only,
// so FP32/FP64 variants classify alike; codes from Instruction::Count on have
// no facts.
#include <array>
#include <cstddef>
#include <cstdint>

#include "Zerivox.Common/EnumFlags.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Instruction.h"

namespace Zerivox::Graphics::Shader::IntermediateRepresentation {

enum class InstructionFact : uint32_t {
    None = 0,
    // AtomicAdd .. AtomicXor: read-modify-write of memory.
    Atomic = 1u << 0,
    // CompareEqual .. CompareNotEqual: a Bool result from two values.
    Comparison = 1u << 1,
    // Lod, TextureQuerySamples, TextureQuerySize.
    TextureQuery = 1u << 2,
    // ImageLoad, ImageStore, ImageAtomic.
    Image = 1u << 3,
    // The image operations that write the image.
    WritesImage = 1u << 4,
    // Must stay even when its result is unused: atomics, calls, image atomics.
    SideEffects = 1u << 5,
    // Branch, BranchIfFalse, BranchIfTrue: end a block and name a target.
    Branch = 1u << 6,
    // Swapping the two sources gives the same result, bit for bit.
    Commutative = 1u << 7,
    // Consumed by the structurer (labels, branches, copies, comments) rather
    // than generated as an expression by a back end.
    Structural = 1u << 8,
};

ZV_ENUM_FLAGS(InstructionFact)

namespace Detail {

constexpr std::array<InstructionFact, static_cast<std::size_t>(Instruction::Count)> MakeInstructionFacts() {
    using enum InstructionFact;
    return {
#define ZV_IR_INSTRUCTION(name, facts, dest, sources) InstructionFact(facts),
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/InstructionTable.def"
#undef ZV_IR_INSTRUCTION
    };
}

inline constexpr auto InstructionFacts = MakeInstructionFacts();

} // namespace Detail

// The facts of the instruction's operation code; None beyond the list.
constexpr InstructionFact FactsOf(Instruction inst) {
    uint32_t code = InstIndex(inst);
    return code < Detail::InstructionFacts.size() ? Detail::InstructionFacts[code] : InstructionFact::None;
}

constexpr bool HasFact(Instruction inst, InstructionFact fact) { return HasFlag(FactsOf(inst), fact); }

namespace InstructionExtensions {

constexpr bool IsAtomic(Instruction inst) { return HasFact(inst, InstructionFact::Atomic); }
constexpr bool IsComparison(Instruction inst) { return HasFact(inst, InstructionFact::Comparison); }
constexpr bool IsTextureQuery(Instruction inst) { return HasFact(inst, InstructionFact::TextureQuery); }
constexpr bool IsImage(Instruction inst) { return HasFact(inst, InstructionFact::Image); }
// Every image operation that writes the image.
constexpr bool IsImageStore(Instruction inst) { return HasFact(inst, InstructionFact::WritesImage); }
constexpr bool HasSideEffects(Instruction inst) { return HasFact(inst, InstructionFact::SideEffects); }
constexpr bool IsBranch(Instruction inst) { return HasFact(inst, InstructionFact::Branch); }
constexpr bool IsCommutative(Instruction inst) { return HasFact(inst, InstructionFact::Commutative); }
constexpr bool IsStructural(Instruction inst) { return HasFact(inst, InstructionFact::Structural); }

} // namespace InstructionExtensions

} // namespace Zerivox::Graphics::Shader::IntermediateRepresentation
