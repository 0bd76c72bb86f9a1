#include "Zerivox.Graphics.Shader/CodeGen/Glsl/OperandManager.h"

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/CodeGen/Glsl/CodeGenContext.h"
#include "Zerivox.Graphics.Shader/CodeGen/Glsl/NumberFormatter.h"
#include "Zerivox.Graphics.Shader/CodeGen/Glsl/Instructions/InstGenHelper.h"
#include "Zerivox.Graphics.Shader/CodeGen/Glsl/Instructions/IoMap.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/InstructionExtensions.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstOperand.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstTextureOperation.h"
#include "Zerivox.Graphics.Shader/StructuredIr/InstructionInfo.h"
#include "Zerivox.Graphics.Shader/StructuredIr/OperandInfo.h"
#include "Zerivox.Graphics.Shader/StructuredIr/ShaderProperties.h"
#include "Zerivox.Graphics.Shader/StructuredIr/StructuredFunction.h"
#include "Zerivox.Graphics.Shader/Translation/ShaderDefinitions.h"

namespace Zerivox::Graphics::Shader::CodeGen::Glsl {

using IntermediateRepresentation::Instruction;
using IntermediateRepresentation::IoVariable;
using IntermediateRepresentation::OperandType;
using IntermediateRepresentation::StorageKind;
using StructuredIr::AstOperand;
using StructuredIr::AstOperation;
using StructuredIr::IAstNode;
using Translation::AggregateType;

namespace {

using Instructions::InstGenHelper;

AggregateType ElementOf(AggregateType type) { return type & AggregateType::ElementTypeMask; }

AggregateType StorageDestType(const CodeGenContext& context, const AstOperation& operation, bool& handled) {
    handled = true;
    switch (operation.StorageKind) {
    case StorageKind::Input:
    case StorageKind::InputPerPatch:
    case StorageKind::Output:
    case StorageKind::OutputPerPatch: {
        Instructions::IoAccess access = Instructions::IoAccess::Resolve(context, operation);
        auto variable =
            Instructions::IoMap::GetGlslVariable(context.Definitions, context.HostCapabilities, access.Variable,
                                                 access.Location, access.Component, access.IsOutput, access.IsPerPatch);
        return ElementOf(variable.second);
    }
    case StorageKind::ConstantBuffer:
    case StorageKind::StorageBuffer: {
        int32_t binding = InstGenHelper::ConstantSource(operation, 0, "First");
        int32_t field = InstGenHelper::ConstantSource(operation, 1, "Second");
        const auto& buffers = operation.StorageKind == StorageKind::ConstantBuffer
                                  ? context.Properties.ConstantBuffers()
                                  : context.Properties.StorageBuffers();
        const StructuredIr::BufferDefinition& buffer = buffers.At(binding);
        if (field < 0 || static_cast<std::size_t>(field) >= buffer.Type.Fields.size())
            throw Common::IndexOutOfRangeException("Index was outside the bounds of the array.");
        AggregateType element = ElementOf(buffer.Type.Fields[static_cast<std::size_t>(field)].Type);
        // Signed atomics read the signed view of the buffer's words.
        Instruction code = IntermediateRepresentation::InstCode(operation.Inst);
        if (operation.StorageKind == StorageKind::StorageBuffer && element == AggregateType::U32 &&
            (code == Instruction::AtomicMinS32 || code == Instruction::AtomicMaxS32)) {
            return AggregateType::S32;
        }
        return element;
    }
    case StorageKind::LocalMemory:
    case StorageKind::SharedMemory: {
        int32_t id = InstGenHelper::ConstantSource(operation, 0, "First");
        const auto& memories = operation.StorageKind == StorageKind::LocalMemory ? context.Properties.LocalMemories()
                                                                                 : context.Properties.SharedMemories();
        return ElementOf(memories.At(id).Type);
    }
    default:
        handled = false;
        return AggregateType::Invalid;
    }
}

} // namespace

std::string OperandManager::DeclareLocal(const AstOperand* operand) {
    std::string name = "temp_" + std::to_string(_locals.size());
    if (!_locals.emplace(operand, name).second)
        throw Common::ArgumentException("An item with the same key has already been added.");
    return name;
}

std::string OperandManager::GetExpression(const CodeGenContext&, const AstOperand& operand) const {
    switch (operand.Type) {
    case OperandType::Argument:
        return GetArgumentName(operand.Value);
    case OperandType::Constant:
        return NumberFormatter::FormatInt(operand.Value);
    case OperandType::LocalVariable: {
        auto it = _locals.find(&operand);
        if (it == _locals.end())
            throw Common::KeyNotFoundException("The local variable was never declared.");
        return it->second;
    }
    case OperandType::Undefined:
        return "undef";
    default: {
        std::string_view name = IntermediateRepresentation::OperandTypeName(operand.Type);
        throw Common::ArgumentException("Invalid operand type \"" + std::string(name) + "\".");
    }
    }
}

std::string OperandManager::GetArgumentName(int32_t index) { return "a" + std::to_string(index); }

AggregateType OperandManager::GetNodeDestType(const CodeGenContext& context, const IAstNode* node) {
    if (const AstOperation* operation = StructuredIr::As<AstOperation>(node)) {
        Instruction inst = operation->Inst;
        Instruction code = IntermediateRepresentation::InstCode(inst);
        if (inst == Instruction::Load || IntermediateRepresentation::InstructionExtensions::IsAtomic(inst)) {
            bool handled = false;
            AggregateType type = StorageDestType(context, *operation, handled);
            if (handled)
                return type;
        } else if (inst == Instruction::Call) {
            const AstOperand* callee = StructuredIr::As<AstOperand>(operation->GetSource(0));
            if (callee == nullptr)
                throw Common::InvalidOperationException("The callee of a call must be an operand.");
            return context.GetFunction(callee->Value).ReturnType;
        } else if (inst == Instruction::VectorExtract) {
            AggregateType vector = GetNodeDestType(context, operation->GetSource(0));
            return vector & ~AggregateType::ElementCountMask;
        } else if (const auto* texture = StructuredIr::As<StructuredIr::AstTextureOperation>(node)) {
            // An image atomic is written as an int whatever the format (its
            // text wraps the call in int()); loads keep the format's type.
            if (code == Instruction::ImageLoad || code == Instruction::ImageStore) {
                AggregateType component =
                    context.ImageComponentType(texture->GetTextureSetAndBinding(), texture->Format);
                return texture->GetVectorType(component);
            }
            if (inst == Instruction::TextureSample) {
                // A depth comparison written to several components gives
                // each the one value, so it has the mask's type too.
                AggregateType type = StructuredIr::InstructionInfo::GetDestVarType(inst);
                return texture->GetVectorType(type);
            }
        }
        return StructuredIr::InstructionInfo::GetDestVarType(inst);
    }
    if (const AstOperand* operand = StructuredIr::As<AstOperand>(node)) {
        if (operand->Type == OperandType::Argument) {
            if (context.CurrentFunction == nullptr)
                throw Common::InvalidOperationException("An argument is used outside of any function.");
            return context.CurrentFunction->GetArgumentType(operand->Value);
        }
        return StructuredIr::OperandInfo::GetVarType(*operand);
    }
    throw Common::ArgumentException("Invalid node type \"" + InstGenHelper::NodeClassName(node) + "\".");
}

} // namespace Zerivox::Graphics::Shader::CodeGen::Glsl
