#pragma once
// Entry point of the structurer: turns the optimised IR functions of one shader
// into one structured program (nested blocks, typed operands) for a back end.
#include <memory>
#include <span>

#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Instruction.h"
#include "Zerivox.Graphics.Shader/Translation/AggregateType.h"
#include "Zerivox.Graphics.Shader/Translation/TranslationOptions.h"

namespace Zerivox::Graphics::Shader::IntermediateRepresentation {
class Function;
class Operand;
class Operation;
}

namespace Zerivox::Graphics::Shader::Translation {
class AttributeUsage;
class ShaderDefinitions;
class ResourceManager;
}

namespace Zerivox::Graphics::Shader::StructuredIr {

class IAstNode;
class StructuredProgramInfo;
class StructuredProgramContext;

struct StructuredProgram {
    // Deepest nesting of conditional and loop blocks a translation may have;
    // a deeper program fails with InvalidOperationException.
    static constexpr int32_t MaxNestingDepth = 1023;

    // Structures every function in list order (entry function first; a call
    // names its callee by its index in this list). The IR is rewritten on the
    // way (phi nodes become copies). Constant buffers met as operands get their
    // bindings here, in first-use order, and every constant buffer the program
    // reads is reported to the resource manager. The result owns all AST nodes.
    static std::unique_ptr<StructuredProgramInfo> MakeStructuredProgram(
        std::span<IntermediateRepresentation::Function* const> functions,
        const Translation::AttributeUsage& attributeUsage,
        const Translation::ShaderDefinitions& definitions,
        Translation::ResourceManager& resourceManager,
        Translation::TargetLanguage targetLanguage,
        bool debugMode);

    // Turns one non-branch IR operation into statements of the current block.
    static void AddOperation(StructuredProgramContext& context, IntermediateRepresentation::Operation* operation,
                             Translation::TargetLanguage targetLanguage,
                             std::span<IntermediateRepresentation::Function* const> functions);

    // Type of a value that is only copied around (Copy, ConditionalSelect):
    // the first type that a non-copy reader expects, following copies
    // breadth-first; S32 when no reader says.
    static Translation::AggregateType GetVarTypeFromUses(IntermediateRepresentation::Operand* operand);
    static bool AreAllSourceTypesEqual(std::span<IAstNode* const> sources, Translation::AggregateType type);
    static bool IsVectorDestInst(IntermediateRepresentation::Instruction inst);
    // BitwiseAnd/ExclusiveOr/Not/Or to their logical counterparts; any other
    // instruction throws ArgumentException.
    static IntermediateRepresentation::Instruction GetLogicalFromBitwiseInst(
        IntermediateRepresentation::Instruction inst);
};

} // namespace Zerivox::Graphics::Shader::StructuredIr
