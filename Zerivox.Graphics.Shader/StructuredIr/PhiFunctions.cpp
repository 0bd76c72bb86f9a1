#include "Zerivox.Graphics.Shader/StructuredIr/PhiFunctions.h"

#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrArena.h"

namespace Zerivox::Graphics::Shader::StructuredIr {

using namespace IntermediateRepresentation;

void PhiFunctions::Remove(std::span<BasicBlock* const> blocks) {
    for (BasicBlock* block : blocks) {
        IrArena& arena = block->Arena();
        INode* node = block->Operations.First();
        while (node != nullptr) {
            PhiNode* phi = node->AsPhi();
            if (phi == nullptr) {
                node = node->ListNext();
                continue;
            }

            Operand* temp = arena.NewOperand(OperandType::LocalVariable);
            for (const PhiNode::PhiSource& source : phi->PhiSources()) {
                Operand* sources[] = {source.Operand};
                Operation* copy = arena.NewOperation(Instruction::Copy, temp, Operation::Operands(sources));
                source.Block->Append(copy);
            }

            Operand* tempSources[] = {temp};
            Operation* copy = arena.NewOperation(Instruction::Copy, phi->Dest, Operation::Operands(tempSources));
            block->Operations.AddAfter(phi, copy);
            block->Operations.Remove(phi);
            // The phi is gone: it must not count as a reader any more.
            for (const PhiNode::PhiSource& source : phi->PhiSources()) {
                if (source.Operand->IsLocal()) source.Operand->Uses.Remove(phi);
            }
            node = copy->ListNext();
        }
    }
}

} // namespace Zerivox::Graphics::Shader::StructuredIr
