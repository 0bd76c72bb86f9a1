#pragma once
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/BasicBlock.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/INode.h"

namespace Zerivox::Graphics::Shader::Translation {
class HelperFunctionManager;
}

namespace Zerivox::Graphics::Shader::Translation::Optimizations {

// For hosts without 64-bit floats: every double-precision operation of a
// block is computed in single precision, and the operations that build a
// double from two 32-bit words or split one become calls of the generated
// conversions between the 64-bit bit pattern and a float. Returns whether the
// block changed.
struct DoubleToFloat {
    static bool RunPass(HelperFunctionManager& hfm, IntermediateRepresentation::BasicBlock* block);
    // Rewrites the operation at node; returns the node the walk continues after.
    static IntermediateRepresentation::INode* InsertSoftFloat64(HelperFunctionManager& hfm,
                                                                IntermediateRepresentation::INode* node);
};

} // namespace Zerivox::Graphics::Shader::Translation::Optimizations
