#pragma once
// One SPIR-V generator per IR instruction, reached through Generate. A
// generator emits its instructions into the function being built and returns
// the value it produced with its type. Operations nested as sources are
// generated depth-first when their user fetches them (CodeGenContext::Get), in
// source order.
#include <cstdint>

#include "Zerivox.Graphics.Shader/CodeGen/Spirv/CodeGenContext.h"
#include "Zerivox.Graphics.Shader/CodeGen/Spirv/OperationResult.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IoVariable.h"

namespace Zerivox::Graphics::Shader::StructuredIr {
class AstOperation;
class AstTextureOperation;
} // namespace Zerivox::Graphics::Shader::StructuredIr

namespace Zerivox::Graphics::Shader::CodeGen::Spirv {

struct Instructions {
    using Generator = OperationResult (*)(CodeGenContext&, const StructuredIr::AstOperation&);

    // Dispatch on the low 16 bits of the instruction. Codes from Count on
    // throw IndexOutOfRangeException; instructions without a generator
    // (Branch, Copy, MarkLabel, ...) throw NotImplementedException naming them.
    static OperationResult Generate(CodeGenContext& context, const StructuredIr::AstOperation& operation);

    // Loads a scalar built-in input (declared beforehand).
    static Instruction* GetScalarInput(CodeGenContext& context, IntermediateRepresentation::IoVariable ioVariable);

    // ---- memory access --------------------------------------------------
    // Pointer to the element an input, output, buffer or memory access
    // addresses, and the element type it points to.
    static Instruction* GetStoragePointer(CodeGenContext& context, const StructuredIr::AstOperation& operation,
                                          Translation::AggregateType& elementType);
    static OperationResult GenerateLoad(CodeGenContext& context, const StructuredIr::AstOperation& operation);
    static OperationResult GenerateStore(CodeGenContext& context, const StructuredIr::AstOperation& operation);
    static OperationResult GenerateAtomicAdd(CodeGenContext& context, const StructuredIr::AstOperation& operation);
    static OperationResult GenerateAtomicAnd(CodeGenContext& context, const StructuredIr::AstOperation& operation);
    static OperationResult GenerateAtomicCompareAndSwap(CodeGenContext& context,
                                                        const StructuredIr::AstOperation& operation);
    static OperationResult GenerateAtomicMinS32(CodeGenContext& context, const StructuredIr::AstOperation& operation);
    static OperationResult GenerateAtomicMinU32(CodeGenContext& context, const StructuredIr::AstOperation& operation);
    static OperationResult GenerateAtomicMaxS32(CodeGenContext& context, const StructuredIr::AstOperation& operation);
    static OperationResult GenerateAtomicMaxU32(CodeGenContext& context, const StructuredIr::AstOperation& operation);
    static OperationResult GenerateAtomicOr(CodeGenContext& context, const StructuredIr::AstOperation& operation);
    static OperationResult GenerateAtomicSwap(CodeGenContext& context, const StructuredIr::AstOperation& operation);
    static OperationResult GenerateAtomicXor(CodeGenContext& context, const StructuredIr::AstOperation& operation);

    // ---- textures and images ---------------------------------------------
    static OperationResult GenerateTextureSample(CodeGenContext& context, const StructuredIr::AstOperation& operation);
    static OperationResult GenerateLod(CodeGenContext& context, const StructuredIr::AstOperation& operation);
    static OperationResult GenerateTextureQuerySamples(CodeGenContext& context,
                                                       const StructuredIr::AstOperation& operation);
    static OperationResult GenerateTextureQuerySize(CodeGenContext& context,
                                                    const StructuredIr::AstOperation& operation);
    static OperationResult GenerateImageLoad(CodeGenContext& context, const StructuredIr::AstOperation& operation);
    static OperationResult GenerateImageStore(CodeGenContext& context, const StructuredIr::AstOperation& operation);
    static OperationResult GenerateImageAtomic(CodeGenContext& context, const StructuredIr::AstOperation& operation);

    // Decorates an instruction derived from an indexed resource NonUniform
    // when the host supports it, adding the extension on first use.
    static void MarkNonUniform(CodeGenContext& context, Instruction* instruction);
    // The components of a 4-component vector selected by mask, as type.
    static Instruction* GetSwizzledResult(CodeGenContext& context, Instruction* vector, Translation::AggregateType type,
                                          int32_t mask);
};

} // namespace Zerivox::Graphics::Shader::CodeGen::Spirv
