#include "Spv.Generator/Instruction.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "Spv.Generator/BinaryWriter.h"
#include "Spv.Generator/DeterministicHashCode.h"
#include "Spv.Generator/LiteralInteger.h"
#include "Spv.Generator/LiteralString.h"
#include "Zerivox.Common/Exceptions.h"

namespace Spv::Generator {

namespace {

using Op = SpirvEnums::Op;

// Names of the opcodes this builder emits, for the diagnostic text form. The
// values come from the SPIR-V headers; other opcodes print as numbers.
#define ZV_OP(name) {Op::name, #name}
const std::unordered_map<Op, std::string_view>& OpNames() {
    static const std::unordered_map<Op, std::string_view> names = {
        ZV_OP(OpNop), ZV_OP(OpName), ZV_OP(OpMemberName), ZV_OP(OpExtension), ZV_OP(OpExtInstImport),
        ZV_OP(OpExtInst), ZV_OP(OpMemoryModel), ZV_OP(OpEntryPoint), ZV_OP(OpExecutionMode),
        ZV_OP(OpCapability), ZV_OP(OpTypeVoid), ZV_OP(OpTypeBool), ZV_OP(OpTypeInt), ZV_OP(OpTypeFloat),
        ZV_OP(OpTypeVector), ZV_OP(OpTypeImage), ZV_OP(OpTypeSampler), ZV_OP(OpTypeSampledImage),
        ZV_OP(OpTypeArray), ZV_OP(OpTypeRuntimeArray), ZV_OP(OpTypeStruct), ZV_OP(OpTypePointer),
        ZV_OP(OpTypeFunction), ZV_OP(OpConstantTrue), ZV_OP(OpConstantFalse), ZV_OP(OpConstant),
        ZV_OP(OpConstantComposite), ZV_OP(OpFunction), ZV_OP(OpFunctionParameter), ZV_OP(OpFunctionEnd),
        ZV_OP(OpFunctionCall), ZV_OP(OpVariable), ZV_OP(OpImageTexelPointer), ZV_OP(OpLoad), ZV_OP(OpStore),
        ZV_OP(OpAccessChain), ZV_OP(OpDecorate), ZV_OP(OpMemberDecorate), ZV_OP(OpVectorExtractDynamic),
        ZV_OP(OpVectorShuffle), ZV_OP(OpCompositeConstruct), ZV_OP(OpCompositeExtract),
        ZV_OP(OpSampledImage), ZV_OP(OpImageSampleImplicitLod), ZV_OP(OpImageSampleExplicitLod),
        ZV_OP(OpImageSampleDrefImplicitLod), ZV_OP(OpImageSampleDrefExplicitLod), ZV_OP(OpImageFetch),
        ZV_OP(OpImageGather), ZV_OP(OpImageDrefGather), ZV_OP(OpImageRead), ZV_OP(OpImageWrite),
        ZV_OP(OpImage), ZV_OP(OpImageQuerySizeLod), ZV_OP(OpImageQuerySize), ZV_OP(OpImageQueryLod),
        ZV_OP(OpImageQueryLevels), ZV_OP(OpImageQuerySamples), ZV_OP(OpConvertFToU), ZV_OP(OpConvertFToS),
        ZV_OP(OpConvertSToF), ZV_OP(OpConvertUToF), ZV_OP(OpFConvert), ZV_OP(OpBitcast), ZV_OP(OpSNegate),
        ZV_OP(OpFNegate), ZV_OP(OpIAdd), ZV_OP(OpFAdd), ZV_OP(OpISub), ZV_OP(OpFSub), ZV_OP(OpIMul),
        ZV_OP(OpFMul), ZV_OP(OpSDiv), ZV_OP(OpFDiv), ZV_OP(OpFMod), ZV_OP(OpUMulExtended),
        ZV_OP(OpSMulExtended), ZV_OP(OpIsNan), ZV_OP(OpLogicalNotEqual), ZV_OP(OpLogicalOr),
        ZV_OP(OpLogicalAnd), ZV_OP(OpLogicalNot), ZV_OP(OpSelect), ZV_OP(OpIEqual), ZV_OP(OpINotEqual),
        ZV_OP(OpUGreaterThan), ZV_OP(OpSGreaterThan), ZV_OP(OpUGreaterThanEqual), ZV_OP(OpSGreaterThanEqual),
        ZV_OP(OpULessThan), ZV_OP(OpSLessThan), ZV_OP(OpULessThanEqual), ZV_OP(OpSLessThanEqual),
        ZV_OP(OpFOrdEqual), ZV_OP(OpFOrdNotEqual), ZV_OP(OpFOrdLessThan), ZV_OP(OpFOrdGreaterThan),
        ZV_OP(OpFOrdLessThanEqual), ZV_OP(OpFOrdGreaterThanEqual), ZV_OP(OpShiftRightLogical),
        ZV_OP(OpShiftRightArithmetic), ZV_OP(OpShiftLeftLogical), ZV_OP(OpBitwiseOr), ZV_OP(OpBitwiseXor),
        ZV_OP(OpBitwiseAnd), ZV_OP(OpNot), ZV_OP(OpBitFieldInsert), ZV_OP(OpBitFieldSExtract),
        ZV_OP(OpBitFieldUExtract), ZV_OP(OpBitReverse), ZV_OP(OpBitCount), ZV_OP(OpDPdx), ZV_OP(OpDPdy),
        ZV_OP(OpEmitVertex), ZV_OP(OpEndPrimitive), ZV_OP(OpControlBarrier), ZV_OP(OpMemoryBarrier),
        ZV_OP(OpAtomicExchange), ZV_OP(OpAtomicCompareExchange), ZV_OP(OpAtomicIIncrement),
        ZV_OP(OpAtomicIDecrement), ZV_OP(OpAtomicIAdd), ZV_OP(OpAtomicSMin), ZV_OP(OpAtomicUMin),
        ZV_OP(OpAtomicSMax), ZV_OP(OpAtomicUMax), ZV_OP(OpAtomicAnd), ZV_OP(OpAtomicOr), ZV_OP(OpAtomicXor),
        ZV_OP(OpLoopMerge), ZV_OP(OpSelectionMerge), ZV_OP(OpLabel), ZV_OP(OpBranch),
        ZV_OP(OpBranchConditional), ZV_OP(OpKill), ZV_OP(OpReturn), ZV_OP(OpReturnValue),
        ZV_OP(OpGroupNonUniformAll), ZV_OP(OpGroupNonUniformAny), ZV_OP(OpGroupNonUniformAllEqual),
        ZV_OP(OpGroupNonUniformBallot), ZV_OP(OpGroupNonUniformShuffle), ZV_OP(OpGroupNonUniformShuffleXor),
        ZV_OP(OpGroupNonUniformShuffleUp), ZV_OP(OpGroupNonUniformShuffleDown),
        ZV_OP(OpBeginInvocationInterlockEXT), ZV_OP(OpEndInvocationInterlockEXT),
    };
    return names;
}
#undef ZV_OP

// Labels of the leading operands in the text form of a few opcodes.
std::span<const std::string_view> OperandLabels(Op opcode) {
    static constexpr std::array<std::string_view, 1> constant = {"Value"};
    static constexpr std::array<std::string_view, 2> typeInt = {"Width", "Signed"};
    static constexpr std::array<std::string_view, 1> typeFloat = {"Width"};
    switch (opcode) {
    case Op::OpConstant: return constant;
    case Op::OpTypeInt: return typeInt;
    case Op::OpTypeFloat: return typeFloat;
    default: return {};
    }
}

} // namespace

void Instruction::AddOperand(std::span<IOperand* const> operands) {
    for (IOperand* operand : operands) Operands.Add(operand);
}

void Instruction::AddOperand(std::span<LiteralInteger* const> operands) {
    for (LiteralInteger* operand : operands) Operands.Add(operand);
}

void Instruction::AddOperand(std::span<Instruction* const> operands) {
    for (Instruction* operand : operands) Operands.Add(operand);
}

namespace {

// Words of one operand, without a call per operand: the kinds are known here.
inline uint32_t OperandWords(const IOperand* operand) {
    switch (operand->GetOperandType()) {
    case OperandType::Instruction: return 1;
    case OperandType::Number: return static_cast<const LiteralInteger*>(operand)->GetWordCount();
    default: return operand->GetWordCount();
    }
}

// The encoding has 16 bits for the count; truncating would silently
// corrupt every instruction that follows.
inline uint16_t CheckedWordCount(uint64_t count) {
    if (count > 0xFFFF) throw Zerivox::Common::OverflowException("SPIR-V instruction exceeds 65535 words.");
    return static_cast<uint16_t>(count);
}

inline uint64_t CountWords(const Instruction& instruction, std::span<IOperand* const> operands) {
    uint64_t count = 1;
    if (instruction.Id != Instruction::InvalidId) ++count;
    if (instruction.ResultType != nullptr) ++count;
    for (const IOperand* operand : operands) count += OperandWords(operand);
    return count;
}

} // namespace

uint16_t Instruction::GetTotalWordCount() const { return CheckedWordCount(CountWords(*this, Operands.AsSpan())); }

namespace {

// Stores the words of an instruction at p, which has room for the most it
// can need (3 + 2 per operand words); returns the end of what it stored, or
// null, with nothing meaningful stored, when an operand is a string.
inline uint8_t* StoreWords(const Instruction& instruction, std::span<IOperand* const> operands, uint8_t* p,
                           uint32_t resultTypeId) {
    uint8_t* const start = p;
    p += 4;
    if (instruction.ResultType != nullptr) p = BinaryWriter::StoreUInt32(p, resultTypeId);
    if (instruction.Id != Instruction::InvalidId) p = BinaryWriter::StoreUInt32(p, instruction.Id);
    for (const IOperand* operand : operands) {
        const OperandType type = operand->GetOperandType();
        if (type == OperandType::Instruction) {
            const uint32_t id = static_cast<const Instruction*>(operand)->Id;
            if (id == Instruction::InvalidId) [[unlikely]] return nullptr;
            p = BinaryWriter::StoreUInt32(p, id);
        } else if (type == OperandType::Number) {
            const auto* literal = static_cast<const LiteralInteger*>(operand);
            const uint64_t data = literal->Data();
            p = BinaryWriter::StoreUInt32(p, static_cast<uint32_t>(data));
            if (literal->GetWordCount() == 2) p = BinaryWriter::StoreUInt32(p, static_cast<uint32_t>(data >> 32));
        } else {
            return nullptr;
        }
    }
    const auto words = static_cast<std::size_t>(p - start) / 4;
    // Longer than the 16-bit count can say: the exact road reports it.
    if (words > 0xFFFF) [[unlikely]] return nullptr;
    BinaryWriter::StoreUInt32(start, (static_cast<uint32_t>(instruction.Opcode) & 0xFFFFu) |
                                         (static_cast<uint32_t>(words) << 16));
    return p;
}

} // namespace

void Instruction::Write(BinaryWriter& writer) const {
    const std::span<IOperand* const> operands = Operands.AsSpan();
    // One instruction by the road WriteAll takes for a list: room for the
    // most words it can need, filled in one walk, the rest given back. A
    // string, an unbound id, an over-long instruction, or too little room
    // (asking for more than it needs near the end of a buffer sized to the
    // module would double the buffer at its largest moment) go the exact way.
    const std::size_t bound = (3 + 2 * std::size_t{operands.size()}) * 4;
    if (writer.Room() >= bound && (ResultType == nullptr || ResultType->Id != InvalidId)) {
        uint8_t* const start = writer.Append(bound);
        uint8_t* const end = StoreWords(*this, operands, start, ResultType != nullptr ? ResultType->Id : 0);
        if (end != nullptr) {
            writer.Retract(bound - static_cast<std::size_t>(end - start));
            return;
        }
        writer.Retract(bound);
    }
    WriteCounted(writer);
}

void Instruction::WriteAll(std::span<Instruction* const> instructions, BinaryWriter& writer) {
    // Module encoding is dominated by this loop: the writer's free room is
    // claimed once and filled through a local pointer, so an instruction
    // costs a bound check and its stores. Whatever the fast road cannot take
    // (a string operand, an unbound id, an instruction too long for its
    // count, too little room left) goes through WriteCounted, which writes it
    // exactly or fails as Write does.
    std::size_t i = 0;
    const std::size_t count = instructions.size();
    while (i < count) {
        const std::size_t room = writer.Room();
        uint8_t* const limit = writer.Append(room) + room;
        uint8_t* p = limit - room;
        for (; i < count; ++i) {
            const Instruction& instruction = *instructions[i];
            const std::span<IOperand* const> operands = instruction.Operands.AsSpan();
            if (static_cast<std::size_t>(limit - p) < (3 + 2 * std::size_t{operands.size()}) * 4) break;
            uint32_t resultTypeId = 0;
            if (instruction.ResultType != nullptr) {
                resultTypeId = instruction.ResultType->Id;
                if (resultTypeId == InvalidId) [[unlikely]] break;
            }
            uint8_t* const end = StoreWords(instruction, operands, p, resultTypeId);
            if (end == nullptr) break;
            p = end;
        }
        writer.Retract(static_cast<std::size_t>(limit - p));
        if (i < count) instructions[i++]->WriteCounted(writer);
    }
}

void Instruction::WriteCounted(BinaryWriter& writer) const {
    const std::span<IOperand* const> operands = Operands.AsSpan();
    const uint16_t wordCount = CheckedWordCount(CountWords(*this, operands));
    // The room is exactly what GetTotalWordCount counted, from the same
    // operands, so every store below stays inside it.
    const std::size_t size = std::size_t{wordCount} * 4;
    uint8_t* p = writer.Append(size);
    uint8_t* const end = p + size;
    p = BinaryWriter::StoreUInt32(p, (static_cast<uint32_t>(Opcode) & 0xFFFFu) | (uint32_t{wordCount} << 16));
    if (ResultType != nullptr) p = BinaryWriter::StoreUInt32(p, ResultType->BoundId());
    if (Id != InvalidId) p = BinaryWriter::StoreUInt32(p, Id);
    for (const IOperand* operand : operands) {
        switch (operand->GetOperandType()) {
        case OperandType::Instruction:
            p = BinaryWriter::StoreUInt32(p, static_cast<const Instruction*>(operand)->BoundId());
            break;
        case OperandType::Number: {
            const auto* literal = static_cast<const LiteralInteger*>(operand);
            const uint64_t data = literal->Data();
            p = BinaryWriter::StoreUInt32(p, static_cast<uint32_t>(data));
            if (literal->GetWordCount() == 2) p = BinaryWriter::StoreUInt32(p, static_cast<uint32_t>(data >> 32));
            break;
        }
        default: {
            // Strings: the characters, then zero bytes up to the next word
            // (at least one).
            const std::string& text = static_cast<const LiteralString*>(operand)->Value();
            const std::size_t padded = std::size_t{operand->GetWordCount()} * 4;
            for (char c : text) {
                const auto byte = static_cast<uint8_t>(c);
                *p++ = byte < 0x80 ? byte : static_cast<uint8_t>('?');
            }
            p = std::fill_n(p, padded - text.size(), uint8_t{0});
            break;
        }
        }
    }
    // The count in the first word must describe exactly what follows, or
    // every later instruction would be misread.
    if (p != end) {
        throw Zerivox::Common::InvalidOperationException("SPIR-V operand word counts disagree with their encoding.");
    }
}

void Instruction::WriteOperand(BinaryWriter& writer) const { writer.WriteUInt32(BoundId()); }

void Instruction::ThrowUnbound() const {
    std::string message = "Id wasn't bound to the module, please make sure to call ";
    if (Opcode == Op::OpVariable) {
        message += "AddLocalVariable or AddGlobalVariable";
    } else if (Opcode == Op::OpLabel) {
        message += "AddLabel";
    } else {
        message += "Internal error";
    }
    throw Zerivox::Common::InvalidOperationException(message);
}

bool Instruction::Equals(const Instruction& other) const {
    if (this == &other) return true;
    if (Id != other.Id) return false;
    if ((ResultType == nullptr) != (other.ResultType == nullptr)) return false;
    if (ResultType != nullptr && !ResultType->Equals(*other.ResultType)) return false;
    return EqualsContent(other);
}

bool Instruction::Equals(const IOperand& other) const {
    if (other.GetOperandType() != OperandType::Instruction) return false;
    return Equals(static_cast<const Instruction&>(other));
}

bool Instruction::EqualsContent(const Instruction& other) const {
    auto mine = Operands.AsSpan();
    auto theirs = other.Operands.AsSpan();
    if (mine.size() != theirs.size()) return false;
    for (std::size_t i = 0; i < mine.size(); ++i) {
        const IOperand* a = mine[i];
        const IOperand* b = theirs[i];
        if (a->GetOperandType() != b->GetOperandType()) return false;
        switch (a->GetOperandType()) {
        case OperandType::Instruction:
            if (!static_cast<const Instruction*>(a)->Equals(*static_cast<const Instruction*>(b))) return false;
            break;
        case OperandType::Number:
            if (!static_cast<const LiteralInteger*>(a)->Equals(*static_cast<const LiteralInteger*>(b))) return false;
            break;
        default:
            if (!a->Equals(*b)) return false;
            break;
        }
    }
    return true;
}

bool Instruction::EqualsResultType(const Instruction& other) const {
    if (ResultType == nullptr || other.ResultType == nullptr) return ResultType == other.ResultType;
    return ResultType->Opcode == other.ResultType->Opcode && ResultType->EqualsContent(*other.ResultType);
}

uint32_t Instruction::GetHashCodeContent() const {
    auto operands = Operands.AsSpan();
    DeterministicHashCode::Combiner combiner(static_cast<uint32_t>(operands.size()));
    for (const IOperand* operand : operands) {
        switch (operand->GetOperandType()) {
        case OperandType::Instruction:
            combiner.Add(static_cast<const Instruction*>(operand)->GetHashCode());
            break;
        case OperandType::Number:
            combiner.Add(static_cast<const LiteralInteger*>(operand)->GetHashCode());
            break;
        default:
            combiner.Add(operand->GetHashCode());
            break;
        }
    }
    return combiner.Finish();
}

uint32_t Instruction::GetHashCodeResultType() const {
    if (ResultType == nullptr) return 0;
    return DeterministicHashCode::Combine(static_cast<uint32_t>(ResultType->Opcode),
                                          ResultType->GetHashCodeContent());
}

std::string Instruction::ToString() const {
    std::string text;
    if (ResultType != nullptr) {
        text = ResultType->ToString();
        text += ' ';
    }
    const auto& names = OpNames();
    auto found = names.find(Opcode);
    if (found != names.end()) {
        text += found->second;
    } else {
        text += std::to_string(static_cast<uint32_t>(Opcode));
    }
    text += Operands.ToString(OperandLabels(Opcode));
    return text;
}

} // namespace Spv::Generator
