#include "Zerivox.Graphics.Shader/Translation/Transforms/SharedAtomicSignedCas.h"

#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrArena.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/NodeList.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"
#include "Zerivox.Graphics.Shader/Translation/HelperFunctionManager.h"
#include "Zerivox.Graphics.Shader/Translation/Optimizations/Utils.h"

namespace Zerivox::Graphics::Shader::Translation::Transforms {

using namespace IntermediateRepresentation;

bool SharedAtomicSignedCas::IsEnabled(IGpuAccessor&, ShaderStage stage, Translation::TargetLanguage targetLanguage,
                                      FeatureFlags usedFeatures) {
    return targetLanguage != Translation::TargetLanguage::Spirv && stage == ShaderStage::Compute &&
           HasFlag(usedFeatures, FeatureFlags::SharedMemory);
}

INode* SharedAtomicSignedCas::RunPass(TransformContext& context, INode* node) {
    Operation* operation = node->AsOperation();
    HelperFunctionName name;
    if (operation->Inst == Instruction::AtomicMaxS32) {
        name = HelperFunctionName::SharedAtomicMaxS32;
    } else if (operation->Inst == Instruction::AtomicMinS32) {
        name = HelperFunctionName::SharedAtomicMinS32;
    } else {
        return node;
    }
    if (operation->StorageKind != StorageKind::SharedMemory || operation->SourcesCount() != 3)
        return node;

    Operand* memoryId = operation->GetSource(0);
    if (memoryId->Type != OperandType::Constant)
        return node;

    int32_t functionId = context.Hfm.GetOrCreateFunctionId(name, memoryId->Value);

    IrArena& arena = operation->Arena();
    Operand* id = OperandHelper::MakeConstant(arena, functionId);
    Operand* wordOffset = operation->GetSource(1);
    Operand* value = operation->GetSource(2);
    Operation* call = arena.NewOperation(Instruction::Call, operation->Dest(), {id, wordOffset, value});
    operation->List()->AddBefore(operation, call);
    Optimizations::Utils::DeleteNode(operation);
    return call;
}

} // namespace Zerivox::Graphics::Shader::Translation::Transforms
