#pragma once
// The condition-code test shared by the branch, exit, discard and
// condition-code set emitters.
#include <cstdint>

#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Operand.h"

namespace Zerivox::Graphics::Shader::Translation {
class EmitterContext;
}

namespace Zerivox::Graphics::Shader::Instructions::InstEmit {

// The value (-1 true, 0 false) of condition-code test ccc (0-31; 15 is
// always, 0 never) over the zero, negative, carry and overflow flags. The
// tests without a meaning (24-29) give the constant defaultCond. Constants
// are returned as operands without any operation.
IntermediateRepresentation::Operand* GetCondition(Translation::EmitterContext& context, int ccc, int32_t defaultCond);

} // namespace Zerivox::Graphics::Shader::Instructions::InstEmit
