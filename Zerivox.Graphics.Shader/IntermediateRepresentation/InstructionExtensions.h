#pragma once
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Instruction.h"

namespace Zerivox::Graphics::Shader::IntermediateRepresentation::InstructionExtensions {

// Each looks at the operation code only, so FP32/FP64 variants classify alike.

// AtomicAdd .. AtomicXor.
constexpr bool IsAtomic(Instruction inst) {
    uint32_t c = InstIndex(inst);
    return c >= static_cast<uint32_t>(Instruction::AtomicAdd) && c <= static_cast<uint32_t>(Instruction::AtomicXor);
}

// CompareEqual .. CompareNotEqual.
constexpr bool IsComparison(Instruction inst) {
    uint32_t c = InstIndex(inst);
    return c >= static_cast<uint32_t>(Instruction::CompareEqual) &&
           c <= static_cast<uint32_t>(Instruction::CompareNotEqual);
}

constexpr bool IsTextureQuery(Instruction inst) {
    Instruction c = InstCode(inst);
    return c == Instruction::Lod || c == Instruction::TextureQuerySamples || c == Instruction::TextureQuerySize;
}

// ImageLoad, ImageStore, ImageAtomic.
constexpr bool IsImage(Instruction inst) {
    uint32_t c = InstIndex(inst);
    return c >= static_cast<uint32_t>(Instruction::ImageLoad) && c <= static_cast<uint32_t>(Instruction::ImageAtomic);
}

// Every image operation that writes the image.
constexpr bool IsImageStore(Instruction inst) {
    Instruction c = InstCode(inst);
    return c == Instruction::ImageStore || c == Instruction::ImageAtomic;
}

} // namespace Zerivox::Graphics::Shader::IntermediateRepresentation::InstructionExtensions
