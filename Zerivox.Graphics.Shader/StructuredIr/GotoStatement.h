#pragma once
// A branch that fits neither an If nor a DoWhile, waiting for the goto
// elimination: Goto is a branch-instruction operation without sources that
// stands for the jump in the tree, Label the assignment that resets the
// target's goto temp to false where the target begins.
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Instruction.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstAssignment.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstOperation.h"

namespace Zerivox::Graphics::Shader::StructuredIr {

struct GotoStatement {
    AstOperation* Goto;
    AstAssignment* Label;
    // The target does not lie after the jump.
    bool IsLoop;

    // The goto temp: true while the jump is being taken.
    IAstNode* Condition() const { return Label->Destination(); }
    bool IsUnconditional() const { return Goto->Inst == IntermediateRepresentation::Instruction::Branch; }
};

} // namespace Zerivox::Graphics::Shader::StructuredIr
