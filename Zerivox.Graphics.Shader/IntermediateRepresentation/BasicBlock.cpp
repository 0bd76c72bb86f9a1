#include "Zerivox.Graphics.Shader/IntermediateRepresentation/BasicBlock.h"

#include <algorithm>

#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Operation.h"

namespace Zerivox::Graphics::Shader::IntermediateRepresentation {

BasicBlock* BasicBlock::AddSuccessor(BasicBlock* oldBlock, BasicBlock* newBlock) {
    if (oldBlock != nullptr) {
        auto& preds = oldBlock->Predecessors;
        auto it = std::find(preds.begin(), preds.end(), this);
        if (it != preds.end()) preds.erase(it);
    }
    if (newBlock != nullptr) newBlock->Predecessors.push_back(this);
    return newBlock;
}

void BasicBlock::Append(INode* node) {
    INode* last = Operations.Last();
    if (last != nullptr) {
        const Operation* op = last->AsOperation();
        if (op != nullptr && IsControlFlowInst(op->Inst)) {
            Operations.AddBefore(last, node);
            return;
        }
    }
    Operations.AddLast(node);
}

} // namespace Zerivox::Graphics::Shader::IntermediateRepresentation
