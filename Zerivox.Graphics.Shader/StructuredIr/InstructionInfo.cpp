#include "Zerivox.Graphics.Shader/StructuredIr/InstructionInfo.h"

#include <array>
#include <initializer_list>
#include <string>

#include "Zerivox.Common/Exceptions.h"

namespace Zerivox::Graphics::Shader::StructuredIr {

using IntermediateRepresentation::Instruction;
using Translation::AggregateType;

namespace {

constexpr std::size_t MaxSources = 4;
constexpr std::size_t TableSize = 121;

// Invalid in the table stands for the instruction's own scalar type, Void for
// a result that does not exist. Entries never set (count -1) belong to
// instructions without a result; an empty source list marks instructions
// whose sources follow fixed rules (see GetSrcVarType).
struct InstInfo {
    AggregateType DestType = AggregateType::Invalid;
    std::array<AggregateType, MaxSources> SrcTypes{};
    int32_t SrcCount = -1;
};

using Table = std::array<InstInfo, TableSize>;

void Add(Table& table, Instruction inst, AggregateType dest, std::initializer_list<AggregateType> sources) {
    InstInfo& info = table[IntermediateRepresentation::InstIndex(inst)];
    info.DestType = dest;
    info.SrcCount = static_cast<int32_t>(sources.size());
    std::size_t i = 0;
    for (AggregateType type : sources) info.SrcTypes[i++] = type;
}

const Table& GetTable() {
    static const Table table = [] {
        using I = Instruction;
        constexpr auto Inv = AggregateType::Invalid;
        constexpr auto Void = AggregateType::Void;
        constexpr auto Bool = AggregateType::Bool;
        constexpr auto F32 = AggregateType::FP32;
        constexpr auto F64 = AggregateType::FP64;
        constexpr auto S32 = AggregateType::S32;
        constexpr auto U32 = AggregateType::U32;
        constexpr auto Vec4 = AggregateType::Vector4;
        Table t{};
        for (I inst : {I::Absolute, I::Ceiling, I::Cosine, I::ExponentB2, I::Floor, I::LogarithmB2, I::Negate,
                       I::ReciprocalSquareRoot, I::Round, I::Sine, I::SquareRoot, I::Truncate}) {
            Add(t, inst, Inv, {Inv});
        }
        for (I inst : {I::Add, I::Divide, I::Maximum, I::Minimum, I::Modulo, I::Multiply, I::Subtract}) {
            Add(t, inst, Inv, {Inv, Inv});
        }
        Add(t, I::Clamp, Inv, {Inv, Inv, Inv});
        Add(t, I::FusedMultiplyAdd, Inv, {Inv, Inv, Inv});
        Add(t, I::ConditionalSelect, Inv, {Bool, Inv, Inv});
        Add(t, I::IsNan, Bool, {Inv});
        for (I inst : {I::CompareEqual, I::CompareGreater, I::CompareGreaterOrEqual, I::CompareLess,
                       I::CompareLessOrEqual, I::CompareNotEqual}) {
            Add(t, inst, Bool, {Inv, Inv});
        }
        for (I inst : {I::CompareGreaterOrEqualU32, I::CompareGreaterU32, I::CompareLessOrEqualU32,
                       I::CompareLessU32}) {
            Add(t, inst, Bool, {U32, U32});
        }
        for (I inst : {I::AtomicAdd, I::AtomicAnd, I::AtomicMinU32, I::AtomicMaxU32, I::AtomicOr, I::AtomicSwap,
                       I::AtomicXor}) {
            Add(t, inst, U32, {S32, S32, U32});
        }
        Add(t, I::AtomicCompareAndSwap, U32, {S32, S32, U32, U32});
        for (I inst : {I::AtomicMinS32, I::AtomicMaxS32, I::BitfieldExtractS32}) Add(t, inst, S32, {S32, S32, S32});
        Add(t, I::BitfieldExtractU32, U32, {U32, S32, S32});
        Add(t, I::BitfieldInsert, S32, {S32, S32, S32, S32});
        for (I inst : {I::BitCount, I::BitfieldReverse, I::BitwiseNot, I::FindLSB, I::FindMSBS32,
                       I::TextureQuerySamples}) {
            Add(t, inst, S32, {S32});
        }
        Add(t, I::FindMSBU32, S32, {U32});
        for (I inst : {I::BitwiseAnd, I::BitwiseExclusiveOr, I::BitwiseOr, I::MultiplyHighS32, I::ShiftLeft,
                       I::ShiftRightS32, I::TextureQuerySize}) {
            Add(t, inst, S32, {S32, S32});
        }
        Add(t, I::ShiftRightU32, U32, {U32, S32});
        for (I inst : {I::MaximumU32, I::MinimumU32, I::MultiplyHighU32}) Add(t, inst, U32, {U32, U32});
        Add(t, I::ClampU32, U32, {U32, U32, U32});
        Add(t, I::Ballot, U32, {Bool});
        for (I inst : {I::LogicalNot, I::VoteAll, I::VoteAllEqual, I::VoteAny}) Add(t, inst, Bool, {Bool});
        for (I inst : {I::LogicalAnd, I::LogicalExclusiveOr, I::LogicalOr}) Add(t, inst, Bool, {Bool, Bool});
        Add(t, I::BranchIfFalse, Void, {Bool});
        Add(t, I::BranchIfTrue, Void, {Bool});
        Add(t, I::Return, Void, {U32});
        Add(t, I::ConvertFP32ToFP64, F64, {F32});
        Add(t, I::ConvertFP64ToFP32, F32, {F64});
        Add(t, I::ConvertFP32ToS32, S32, {F32});
        Add(t, I::ConvertFP32ToU32, U32, {F32});
        Add(t, I::ConvertFP64ToS32, S32, {F64});
        Add(t, I::ConvertFP64ToU32, U32, {F64});
        Add(t, I::UnpackDouble2x32, U32, {F64});
        Add(t, I::ConvertS32ToFP32, F32, {S32});
        Add(t, I::ConvertS32ToFP64, F64, {S32});
        Add(t, I::ConvertU32ToFP32, F32, {U32});
        Add(t, I::UnpackHalf2x16, F32, {U32});
        Add(t, I::ConvertU32ToFP64, F64, {U32});
        Add(t, I::PackDouble2x32, F64, {U32, U32});
        Add(t, I::PackHalf2x16, U32, {F32, F32});
        Add(t, I::Ddx, F32, {F32});
        Add(t, I::Ddy, F32, {F32});
        for (I inst : {I::Shuffle, I::ShuffleDown, I::ShuffleUp, I::ShuffleXor}) Add(t, inst, F32, {F32, U32});
        Add(t, I::SwizzleAdd, F32, {F32, F32, S32});
        Add(t, I::VectorExtract, Inv, {Vec4, S32});
        // Sources of these follow fixed rules (GetSrcVarType), not the table.
        Add(t, I::Call, Inv, {});
        for (I inst : {I::ImageLoad, I::Load, I::Lod, I::TextureSample}) Add(t, inst, F32, {});
        Add(t, I::ImageAtomic, S32, {});
        Add(t, I::ImageStore, Void, {});
        Add(t, I::Store, Void, {});
        return t;
    }();
    return table;
}

const InstInfo& Entry(Instruction inst) {
    uint32_t index = IntermediateRepresentation::InstIndex(inst);
    if (index >= TableSize) {
        throw Common::IndexOutOfRangeException("Index was outside the bounds of the array.");
    }
    return GetTable()[index];
}

std::string InstText(Instruction inst) {
    std::string text(IntermediateRepresentation::InstructionName(inst));
    return text.empty() ? std::to_string(static_cast<uint32_t>(inst)) : text;
}

bool HasFlag(Instruction inst, Instruction flag) {
    return (static_cast<uint32_t>(inst) & static_cast<uint32_t>(flag)) != 0;
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
    uint32_t code = IntermediateRepresentation::InstIndex(inst);
    if (code >= static_cast<uint32_t>(Instruction::AtomicAdd) && code <= static_cast<uint32_t>(Instruction::AtomicXor)) {
        return AggregateType::S32;
    }
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
