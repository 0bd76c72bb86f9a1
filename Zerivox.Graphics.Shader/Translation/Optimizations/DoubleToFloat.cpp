#include "Zerivox.Graphics.Shader/Translation/Optimizations/DoubleToFloat.h"

#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrArena.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/NodeList.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"
#include "Zerivox.Graphics.Shader/Translation/HelperFunctionManager.h"
#include "Zerivox.Graphics.Shader/Translation/Optimizations/Utils.h"

namespace Zerivox::Graphics::Shader::Translation::Optimizations {

using namespace IntermediateRepresentation;

bool DoubleToFloat::RunPass(HelperFunctionManager& hfm, BasicBlock* block) {
    bool changed = false;
    INode* node = block->Operations.First();
    while (node != nullptr) {
        if (Operation* operation = node->AsOperation(); operation != nullptr) {
            // A pack or unpack is replaced by a call; anything else changes
            // in place or not at all.
            const Instruction before = operation->Inst;
            INode* rewritten = InsertSoftFloat64(hfm, node);
            if (rewritten != node || operation->Inst != before) {
                // The second clean-up visits only marked nodes. A rewrite in
                // place keeps the sources; a replacing call reads those of
                // the deleted operation, whose definitions the deletion marked.
                changed = true;
                rewritten->set_Revisit(true);
            }
            node = rewritten;
        }
        node = node->ListNext();
    }
    return changed;
}

INode* DoubleToFloat::InsertSoftFloat64(HelperFunctionManager& hfm, INode* node) {
    Operation* operation = node->AsOperation();
    IrArena& arena = operation->Arena();
    NodeList* list = operation->List();

    if (operation->Inst == Instruction::PackDouble2x32) {
        int32_t functionId = hfm.GetOrCreateFunctionId(HelperFunctionName::ConvertDoubleToFloat);
        Operand* dest = operation->Dest();
        operation->set_Dest(nullptr);

        Operand* id = OperandHelper::MakeConstant(arena, functionId);
        Operation* call =
            arena.NewOperation(Instruction::Call, dest, {id, operation->GetSource(0), operation->GetSource(1)});
        list->AddBefore(operation, call);
        Utils::DeleteNode(operation);
        return call;
    }

    if (operation->Inst == Instruction::UnpackDouble2x32) {
        int32_t functionId = hfm.GetOrCreateFunctionId(HelperFunctionName::ConvertFloatToDouble);
        Operand* dest = operation->Dest();
        Operand* lowLocal = operation->Index == 0 ? dest : OperandHelper::MakeLocal(arena);
        Operand* highLocal = operation->Index == 1 ? dest : OperandHelper::MakeLocal(arena);
        operation->set_Dest(nullptr);

        Operand* id = OperandHelper::MakeConstant(arena, functionId);
        Operation* call =
            arena.NewOperation(Instruction::Call, nullptr, {id, operation->GetSource(0), lowLocal, highLocal});
        // The helper writes both words through its out arguments: the call is
        // now their definition, not the unpack removed below.
        for (Operand* word : {lowLocal, highLocal}) {
            if (word != nullptr && word->Type == OperandType::LocalVariable) word->Definition = call;
        }
        list->AddBefore(operation, call);
        Utils::DeleteNode(operation);
        return call;
    }

    operation->TurnDoubleIntoFloat();
    return node;
}

} // namespace Zerivox::Graphics::Shader::Translation::Optimizations
