#include "Zerivox.Graphics.Shader/Translation/Transforms/VectorComponentSelect.h"

#include <vector>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/IGpuAccessor.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrArena.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/NodeList.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"
#include "Zerivox.Graphics.Shader/Translation/ResourceManager.h"

namespace Zerivox::Graphics::Shader::Translation::Transforms {

using namespace IntermediateRepresentation;

bool VectorComponentSelect::IsEnabled(IGpuAccessor& gpuAccessor, ShaderStage, Translation::TargetLanguage,
                                      FeatureFlags) {
    return gpuAccessor.QueryHostNeedsVectorComponentSelect();
}

INode* VectorComponentSelect::RunPass(TransformContext& context, INode* node) {
    Operation* operation = node->AsOperation();
    if (operation->Inst != Instruction::Load || operation->StorageKind != StorageKind::ConstantBuffer ||
        operation->SourcesCount() < 3) {
        return node;
    }

    int last = operation->SourcesCount() - 1;
    Operand* bindingIndex = operation->GetSource(0);
    Operand* fieldIndex = operation->GetSource(1);
    Operand* elemIndex = operation->GetSource(last);
    if (bindingIndex->Type != OperandType::Constant || fieldIndex->Type != OperandType::Constant ||
        elemIndex->Type == OperandType::Constant) {
        return node;
    }

    const StructuredIr::BufferDefinition& buffer =
        context.ResourceManager.Properties().ConstantBuffers().At(bindingIndex->Value);
    const std::vector<StructureField>& fields = buffer.Type.Fields;
    if (fieldIndex->Value < 0 || static_cast<std::size_t>(fieldIndex->Value) >= fields.size()) {
        throw Common::IndexOutOfRangeException("Constant buffer field index is out of range.");
    }
    AggregateType fieldType = fields[static_cast<std::size_t>(fieldIndex->Value)].Type;

    int count = 1;
    switch (fieldType & AggregateType::ElementCountMask) {
    case AggregateType::Vector2:
        count = 2;
        break;
    case AggregateType::Vector3:
        count = 3;
        break;
    case AggregateType::Vector4:
        count = 4;
        break;
    default:
        break;
    }
    if (count == 1)
        return node;

    IrArena& arena = operation->Arena();
    NodeList* list = operation->List();
    std::vector<Operand*> sources(operation->Sources().begin(), operation->Sources().end());

    Operand* result = nullptr;
    for (int i = 0; i < count; i++) {
        Operand* value = OperandHelper::MakeLocal(arena);
        sources[static_cast<std::size_t>(last)] = OperandHelper::MakeConstant(arena, i);
        Operation* load = arena.NewOperation(Instruction::Load, StorageKind::ConstantBuffer, value, sources);
        list->AddBefore(operation, load);

        if (i == 0) {
            result = value;
            continue;
        }

        Operand* isCurrent = OperandHelper::MakeLocal(arena);
        Operand* index = OperandHelper::MakeConstant(arena, i);
        Operation* compare = arena.NewOperation(Instruction::CompareEqual, isCurrent, {elemIndex, index});
        list->AddBefore(operation, compare);

        Operand* selected = OperandHelper::MakeLocal(arena);
        Operation* select = arena.NewOperation(Instruction::ConditionalSelect, selected, {isCurrent, value, result});
        list->AddBefore(operation, select);
        result = selected;
    }

    operation->TurnInto(Instruction::Copy, result);
    return node;
}

} // namespace Zerivox::Graphics::Shader::Translation::Transforms
