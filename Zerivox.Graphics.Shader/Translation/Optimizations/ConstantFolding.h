#pragma once
#include <cstdint>

#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Operation.h"

namespace Zerivox::Graphics::Shader::Translation {
class ResourceManager;
}

namespace Zerivox::Graphics::Shader::Translation::Optimizations {

// Evaluates an operation whose sources are all constants and turns it into
// a Copy of the result; a constant-buffer load at a constant address becomes
// a Copy of the constant-buffer word. Results are the values the generated
// code computes at run time: integer arithmetic wraps, shifts mask their
// count, binary32 float arithmetic is exact IEEE (round to nearest even,
// subnormals kept) and nothing here may invoke undefined behaviour.
struct ConstantFolding {
    using Operation = IntermediateRepresentation::Operation;

    // Inline: the optimiser asks it of every operation it visits, and most
    // have a source that is not a constant.
    static void RunPass(ResourceManager& resourceManager, Operation* operation) {
        if (AreAllSourcesConstant(operation))
            Fold(resourceManager, operation);
    }
    static bool AreAllSourcesConstant(const Operation* operation) {
        for (const IntermediateRepresentation::Operand* source : operation->Sources()) {
            if (source == nullptr || source->Type != IntermediateRepresentation::OperandType::Constant)
                return false;
        }
        return true;
    }
    // RunPass for an operation whose sources are all constants.
    static void Fold(ResourceManager& resourceManager, Operation* operation);
    static int32_t BitCount(int32_t value);
    static int32_t GetBitfieldExtractValue(const Operation* operation);
    static void BitfieldExtractS32(Operation* operation);
    static void BitfieldExtractU32(Operation* operation);
    static void UnpackHalf2x16(Operation* operation);
    // IEEE half-precision bits to the exactly equal single-precision value.
    static float HalfToFloat(uint16_t half);
};

} // namespace Zerivox::Graphics::Shader::Translation::Optimizations
