#pragma once
#include "Zerivox.Graphics.Shader/StructuredIr/AstAssignment.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstOperand.h"

namespace Zerivox::Graphics::Shader::CodeGen {

// The variable an assignment writes: a local variable or a function
// argument. Anything else has no storage to write in either language (a
// constant where an emitter failed to drop a write to the zero register):
// InvalidOperationException when the destination is no operand,
// NotImplementedException naming the operand type otherwise, the same in
// both back ends.
const StructuredIr::AstOperand& GetAssignmentTarget(const StructuredIr::AstAssignment& assignment);

} // namespace Zerivox::Graphics::Shader::CodeGen
