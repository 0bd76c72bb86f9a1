#include "Zerivox.Graphics.Shader/StructuredIr/InstructionInfo.h"

#include <array>
#include <string>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/InstructionExtensions.h"

namespace Zerivox::Graphics::Shader::StructuredIr {

using IntermediateRepresentation::Instruction;
using Translation::AggregateType;

namespace {

constexpr std::size_t MaxSources = 4;
constexpr std::size_t TableSize = static_cast<std::size_t>(Instruction::Count);

// Invalid in the table stands for the instruction's own scalar type, Void for
// a result that does not exist. Untyped entries (count -1) belong to
// instructions without a result; an empty source list marks instructions
// whose sources follow fixed rules (see GetSrcVarType).
struct InstInfo {
    AggregateType DestType = AggregateType::Invalid;
    std::array<AggregateType, MaxSources> SrcTypes{};
    int32_t SrcCount = -1;
};

// The Dest marker of instructions that have no entry.
struct UntypedMarker {};

constexpr InstInfo MakeInfo(UntypedMarker) { return InstInfo{}; }

template <typename... Sources> constexpr InstInfo MakeInfo(AggregateType dest, Sources... sources) {
    static_assert(sizeof...(Sources) <= MaxSources, "more sources than the table holds");
    return InstInfo{dest, {sources...}, static_cast<int32_t>(sizeof...(Sources))};
}

constexpr std::array<InstInfo, TableSize> MakeTable() {
    constexpr auto Inv = AggregateType::Invalid;
    constexpr auto Void = AggregateType::Void;
    constexpr auto Bool = AggregateType::Bool;
    constexpr auto F32 = AggregateType::FP32;
    constexpr auto F64 = AggregateType::FP64;
    constexpr auto S32 = AggregateType::S32;
    constexpr auto U32 = AggregateType::U32;
    constexpr auto Vec4 = AggregateType::Vector4;
    constexpr UntypedMarker Untyped{};
    return {
#define ZV_IR_EXPAND(...) __VA_ARGS__
#define ZV_IR_INSTRUCTION(name, facts, dest, sources) MakeInfo(dest ZV_IR_EXPAND(ZV_IR_COMMA_SOURCES sources)),
#define ZV_IR_COMMA_SOURCES(...) __VA_OPT__(, ) __VA_ARGS__
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/InstructionTable.def"
#undef ZV_IR_COMMA_SOURCES
#undef ZV_IR_INSTRUCTION
#undef ZV_IR_EXPAND
    };
}

constexpr std::array<InstInfo, TableSize> Table = MakeTable();

const InstInfo& Entry(Instruction inst) {
    uint32_t index = IntermediateRepresentation::InstIndex(inst);
    if (index >= TableSize) {
        throw Common::IndexOutOfRangeException("Index was outside the bounds of the array.");
    }
    return Table[index];
}

std::string InstText(Instruction inst) {
    std::string text(IntermediateRepresentation::InstructionName(inst));
    return text.empty() ? std::to_string(static_cast<uint32_t>(inst)) : text;
}

} // namespace

AggregateType InstructionInfo::GetFinalVarType(AggregateType type, Instruction inst) {
    if (type == AggregateType::Invalid) {
        if (HasFlag(inst, Instruction::FP32)) return AggregateType::FP32;
        if (HasFlag(inst, Instruction::FP64)) return AggregateType::FP64;
        return AggregateType::S32;
    }
    if (type == AggregateType::Void) {
        throw Common::ArgumentException("Invalid operand for instruction \"" + InstText(inst) + "\".");
    }
    return type;
}

AggregateType InstructionInfo::GetDestVarType(Instruction inst) { return GetFinalVarType(Entry(inst).DestType, inst); }

AggregateType InstructionInfo::GetSrcVarType(Instruction inst, int32_t index) {
    // These compare the whole value: a flagged form falls through to the table.
    switch (inst) {
    case Instruction::ImageLoad:
    case Instruction::ImageStore:
    case Instruction::ImageAtomic:
    case Instruction::Lod:
    case Instruction::TextureSample:
        return AggregateType::FP32;
    case Instruction::Call:
    case Instruction::Load:
    case Instruction::Store:
        return AggregateType::S32;
    default:
        break;
    }
    if (IntermediateRepresentation::InstructionExtensions::IsAtomic(inst)) return AggregateType::S32;
    const InstInfo& info = Entry(inst);
    if (index < 0 || index >= info.SrcCount) {
        throw Common::IndexOutOfRangeException("Index was outside the bounds of the array.");
    }
    return GetFinalVarType(info.SrcTypes[static_cast<std::size_t>(index)], inst);
}

bool InstructionInfo::IsUnary(Instruction inst) {
    if (inst == Instruction::Copy) return true;
    if (inst == Instruction::TextureSample) return false;
    return Entry(inst).SrcCount == 1;
}

} // namespace Zerivox::Graphics::Shader::StructuredIr
