#include "Zerivox.Graphics.Shader/Translation/Transforms/SharedStoreSmallIntCas.h"

#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrArena.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/NodeList.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"
#include "Zerivox.Graphics.Shader/Translation/HelperFunctionManager.h"
#include "Zerivox.Graphics.Shader/Translation/Optimizations/Utils.h"

namespace Zerivox::Graphics::Shader::Translation::Transforms {

using namespace IntermediateRepresentation;

bool SharedStoreSmallIntCas::IsEnabled(IGpuAccessor&, ShaderStage stage, Translation::TargetLanguage,
                                       FeatureFlags usedFeatures) {
    return stage == ShaderStage::Compute && HasFlag(usedFeatures, FeatureFlags::SharedMemory);
}

INode* SharedStoreSmallIntCas::RunPass(TransformContext& context, INode* node) {
    Operation* operation = node->AsOperation();
    HelperFunctionName name;
    if (operation->StorageKind == StorageKind::SharedMemory8) {
        name = HelperFunctionName::SharedStore8;
    } else if (operation->StorageKind == StorageKind::SharedMemory16) {
        name = HelperFunctionName::SharedStore16;
    } else {
        return node;
    }
    if (operation->Inst != Instruction::Store || operation->SourcesCount() != 3)
        return node;

    Operand* memoryId = operation->GetSource(0);
    if (memoryId->Type != OperandType::Constant)
        return node;

    int32_t functionId = context.Hfm.GetOrCreateFunctionId(name, memoryId->Value);

    IrArena& arena = operation->Arena();
    Operand* id = OperandHelper::MakeConstant(arena, functionId);
    Operand* byteOffset = operation->GetSource(1);
    Operand* value = operation->GetSource(2);
    Operation* call = arena.NewOperation(Instruction::Call, nullptr, {id, byteOffset, value});
    operation->List()->AddBefore(operation, call);
    Optimizations::Utils::DeleteNode(operation);
    return call;
}

} // namespace Zerivox::Graphics::Shader::Translation::Transforms
