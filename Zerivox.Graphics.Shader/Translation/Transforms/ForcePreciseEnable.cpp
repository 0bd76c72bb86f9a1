#include "Zerivox.Graphics.Shader/Translation/Transforms/ForcePreciseEnable.h"

#include <bit>

#include "Zerivox.Graphics.Shader/IGpuAccessor.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Operation.h"

namespace Zerivox::Graphics::Shader::Translation::Transforms {

using namespace IntermediateRepresentation;

bool ForcePreciseEnable::IsEnabled(IGpuAccessor& gpuAccessor, ShaderStage stage, Translation::TargetLanguage,
                                   FeatureFlags) {
    return stage == ShaderStage::Fragment && gpuAccessor.QueryHostReducedPrecision();
}

INode* ForcePreciseEnable::RunPass(TransformContext&, INode* node) {
    Operation* operation = node->AsOperation();
    if (operation->Inst != (Instruction::FP32 | Instruction::Divide) || operation->SourcesCount() != 2)
        return node;

    const Operand* numerator = operation->GetSource(0);
    const Operand* denominator = operation->GetSource(1);
    if (numerator == nullptr || denominator == nullptr || numerator->Type != OperandType::Constant ||
        std::bit_cast<float>(numerator->Value) != 1.0f || denominator->Definition == nullptr) {
        return node;
    }

    Operation* addOp = denominator->Definition->AsOperation();
    if (addOp != nullptr && addOp->Inst == (Instruction::FP32 | Instruction::Add) && addOp->SourcesCount() == 2 &&
        addOp->GetSource(1) != nullptr && addOp->GetSource(1)->Type == OperandType::Constant) {
        addOp->ForcePrecise = true;
    }
    return node;
}

} // namespace Zerivox::Graphics::Shader::Translation::Transforms
