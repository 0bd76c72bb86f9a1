#include "Zerivox.Graphics.Shader/Translation/Transforms/ShufflePass.h"

#include "Zerivox.Graphics.Shader/IGpuAccessor.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrArena.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/NodeList.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"
#include "Zerivox.Graphics.Shader/Translation/HelperFunctionManager.h"
#include "Zerivox.Graphics.Shader/Translation/Optimizations/Utils.h"

namespace Zerivox::Graphics::Shader::Translation::Transforms {

using namespace IntermediateRepresentation;

bool ShufflePass::IsEnabled(IGpuAccessor&, ShaderStage, Translation::TargetLanguage, FeatureFlags usedFeatures) {
    return HasFlag(usedFeatures, FeatureFlags::Shuffle);
}

INode* ShufflePass::RunPass(TransformContext& context, INode* node) {
    Operation* operation = node->AsOperation();
    HelperFunctionName name;
    switch (operation->Inst) {
    case Instruction::Shuffle:
        name = HelperFunctionName::Shuffle;
        break;
    case Instruction::ShuffleDown:
        name = HelperFunctionName::ShuffleDown;
        break;
    case Instruction::ShuffleUp:
        name = HelperFunctionName::ShuffleUp;
        break;
    case Instruction::ShuffleXor:
        name = HelperFunctionName::ShuffleXor;
        break;
    default:
        return node;
    }
    if (operation->SourcesCount() != 3 || operation->DestsCount() != 2)
        return node;

    int32_t functionId = context.Hfm.GetOrCreateShuffleFunctionId(name, context.GpuAccessor.QueryHostSubgroupSize());

    Operand* result = operation->GetDest(0);
    Operand* inRange = operation->GetDest(1);
    operation->set_Dest(nullptr);

    IrArena& arena = operation->Arena();
    Operand* id = OperandHelper::MakeConstant(arena, functionId);
    Operand* value = operation->GetSource(0);
    Operand* index = operation->GetSource(1);
    Operand* mask = operation->GetSource(2);
    Operation* call = arena.NewOperation(Instruction::Call, result, {id, value, index, mask, inRange});
    // The helper writes the in-range flag through its out argument: the call
    // is now its definition, not the shuffle removed below.
    if (inRange != nullptr && inRange->Type == OperandType::LocalVariable) inRange->Definition = call;
    operation->List()->AddBefore(operation, call);
    Optimizations::Utils::DeleteNode(operation);
    return call;
}

} // namespace Zerivox::Graphics::Shader::Translation::Transforms
