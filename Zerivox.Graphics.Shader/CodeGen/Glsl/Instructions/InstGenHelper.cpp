#include "Zerivox.Graphics.Shader/CodeGen/Glsl/Instructions/InstGenHelper.h"

#include <array>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/CodeGen/Glsl/CodeGenContext.h"
#include "Zerivox.Graphics.Shader/CodeGen/Glsl/Instructions/IoMap.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/InstructionExtensions.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstOperand.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstOperation.h"
#include "Zerivox.Graphics.Shader/Translation/ShaderDefinitions.h"

namespace Zerivox::Graphics::Shader::CodeGen::Glsl::Instructions {

using IntermediateRepresentation::Instruction;
using IntermediateRepresentation::IoVariable;
using IntermediateRepresentation::OperandType;
using IntermediateRepresentation::StorageKind;
using StructuredIr::AstOperand;
using StructuredIr::AstOperation;

namespace {

constexpr std::size_t TableSize = static_cast<std::size_t>(Instruction::Count);
using Table = std::array<InstInfo, TableSize>;

constexpr Table MakeTable() {
    Table t{};
    auto add = [&t](Instruction inst, InstType type, const char* name, int32_t precedence = 0) {
        t[IntermediateRepresentation::InstIndex(inst)] = InstInfo{name, type, precedence};
    };
    using I = Instruction;
    using T = InstType;
    add(I::Absolute, T::CallUnary, "abs");
    add(I::Add, T::OpBinaryCom, "+", 2);
    add(I::AtomicAdd, T::AtomicBinary, "atomicAdd");
    add(I::AtomicAnd, T::AtomicBinary, "atomicAnd");
    add(I::AtomicCompareAndSwap, T::AtomicTernary, "atomicCompSwap");
    add(I::AtomicMinS32, T::AtomicBinary, "atomicMin");
    add(I::AtomicMinU32, T::AtomicBinary, "atomicMin");
    add(I::AtomicMaxS32, T::AtomicBinary, "atomicMax");
    add(I::AtomicMaxU32, T::AtomicBinary, "atomicMax");
    add(I::AtomicOr, T::AtomicBinary, "atomicOr");
    add(I::AtomicSwap, T::AtomicBinary, "atomicExchange");
    add(I::AtomicXor, T::AtomicBinary, "atomicXor");
    add(I::Ballot, T::Special, nullptr);
    add(I::Barrier, T::CallNullary, "barrier");
    add(I::BitCount, T::CallUnary, "bitCount");
    add(I::BitfieldExtractS32, T::CallTernary, "bitfieldExtract");
    add(I::BitfieldExtractU32, T::CallTernary, "bitfieldExtract");
    add(I::BitfieldInsert, T::CallQuaternary, "bitfieldInsert");
    add(I::BitfieldReverse, T::CallUnary, "bitfieldReverse");
    add(I::BitwiseAnd, T::OpBinaryCom, "&", 6);
    add(I::BitwiseExclusiveOr, T::OpBinaryCom, "^", 7);
    add(I::BitwiseNot, T::OpUnary, "~");
    add(I::BitwiseOr, T::OpBinaryCom, "|", 8);
    add(I::Call, T::Special, nullptr);
    add(I::Ceiling, T::CallUnary, "ceil");
    add(I::Clamp, T::CallTernary, "clamp");
    add(I::ClampU32, T::CallTernary, "clamp");
    add(I::CompareEqual, T::OpBinaryCom, "==", 5);
    add(I::CompareGreater, T::OpBinary, ">", 4);
    add(I::CompareGreaterOrEqual, T::OpBinary, ">=", 4);
    add(I::CompareGreaterOrEqualU32, T::OpBinary, ">=", 4);
    add(I::CompareGreaterU32, T::OpBinary, ">", 4);
    add(I::CompareLess, T::OpBinary, "<", 4);
    add(I::CompareLessOrEqual, T::OpBinary, "<=", 4);
    add(I::CompareLessOrEqualU32, T::OpBinary, "<=", 4);
    add(I::CompareLessU32, T::OpBinary, "<", 4);
    add(I::CompareNotEqual, T::OpBinaryCom, "!=", 5);
    add(I::ConditionalSelect, T::OpTernary, "?:", 12);
    add(I::ConvertFP32ToFP64, T::CallUnary, "double");
    add(I::ConvertFP64ToFP32, T::CallUnary, "float");
    add(I::ConvertFP32ToS32, T::CallUnary, "int");
    add(I::ConvertFP32ToU32, T::CallUnary, "uint");
    add(I::ConvertFP64ToS32, T::CallUnary, "int");
    add(I::ConvertFP64ToU32, T::CallUnary, "uint");
    add(I::ConvertS32ToFP32, T::CallUnary, "float");
    add(I::ConvertS32ToFP64, T::CallUnary, "double");
    add(I::ConvertU32ToFP32, T::CallUnary, "float");
    add(I::ConvertU32ToFP64, T::CallUnary, "double");
    add(I::Cosine, T::CallUnary, "cos");
    add(I::Ddx, T::CallUnary, "dFdx");
    add(I::Ddy, T::CallUnary, "dFdy");
    add(I::Discard, T::OpNullary, "discard");
    add(I::Divide, T::OpBinary, "/", 1);
    add(I::EmitVertex, T::CallNullary, "EmitVertex");
    add(I::EndPrimitive, T::CallNullary, "EndPrimitive");
    add(I::ExponentB2, T::CallUnary, "exp2");
    add(I::FSIBegin, T::Special, nullptr);
    add(I::FSIEnd, T::Special, nullptr);
    add(I::FindLSB, T::CallUnary, "findLSB");
    add(I::FindMSBS32, T::CallUnary, "findMSB");
    add(I::FindMSBU32, T::CallUnary, "findMSB");
    add(I::Floor, T::CallUnary, "floor");
    add(I::FusedMultiplyAdd, T::CallTernary, "fma");
    add(I::GroupMemoryBarrier, T::CallNullary, "groupMemoryBarrier");
    add(I::ImageLoad, T::Special, nullptr);
    add(I::ImageStore, T::Special, nullptr);
    add(I::ImageAtomic, T::Special, nullptr);
    add(I::IsNan, T::CallUnary, "isnan");
    add(I::Load, T::Special, nullptr);
    add(I::Lod, T::Special, nullptr);
    add(I::LogarithmB2, T::CallUnary, "log2");
    add(I::LogicalAnd, T::OpBinaryCom, "&&", 9);
    add(I::LogicalExclusiveOr, T::OpBinaryCom, "^^", 10);
    add(I::LogicalNot, T::OpUnary, "!");
    add(I::LogicalOr, T::OpBinaryCom, "||", 11);
    add(I::LoopBreak, T::OpNullary, "break");
    add(I::LoopContinue, T::OpNullary, "continue");
    add(I::Maximum, T::CallBinary, "max");
    add(I::MaximumU32, T::CallBinary, "max");
    add(I::MemoryBarrier, T::CallNullary, "memoryBarrier");
    add(I::Minimum, T::CallBinary, "min");
    add(I::MinimumU32, T::CallBinary, "min");
    add(I::Modulo, T::CallBinary, "mod");
    add(I::Multiply, T::OpBinaryCom, "*", 1);
    add(I::MultiplyHighS32, T::CallBinary, "Helper_MultiplyHighS32");
    add(I::MultiplyHighU32, T::CallBinary, "Helper_MultiplyHighU32");
    add(I::Negate, T::Special, nullptr);
    add(I::PackDouble2x32, T::Special, nullptr);
    add(I::PackHalf2x16, T::Special, nullptr);
    add(I::ReciprocalSquareRoot, T::CallUnary, "inversesqrt");
    add(I::Return, T::OpNullary, "return");
    add(I::Round, T::CallUnary, "roundEven");
    add(I::ShiftLeft, T::OpBinary, "<<", 3);
    add(I::ShiftRightS32, T::OpBinary, ">>", 3);
    add(I::ShiftRightU32, T::OpBinary, ">>", 3);
    add(I::Shuffle, T::Special, nullptr);
    add(I::ShuffleDown, T::CallBinary, "subgroupShuffleDown");
    add(I::ShuffleUp, T::CallBinary, "subgroupShuffleUp");
    add(I::ShuffleXor, T::CallBinary, "subgroupShuffleXor");
    add(I::Sine, T::CallUnary, "sin");
    add(I::SquareRoot, T::CallUnary, "sqrt");
    add(I::Store, T::Special, nullptr);
    add(I::Subtract, T::OpBinary, "-", 2);
    add(I::SwizzleAdd, T::CallTernary, "Helper_SwizzleAdd");
    add(I::TextureSample, T::Special, nullptr);
    add(I::TextureQuerySamples, T::Special, nullptr);
    add(I::TextureQuerySize, T::Special, nullptr);
    add(I::Truncate, T::CallUnary, "trunc");
    add(I::UnpackDouble2x32, T::Special, nullptr);
    add(I::UnpackHalf2x16, T::Special, nullptr);
    add(I::VectorExtract, T::Special, nullptr);
    add(I::VoteAll, T::CallUnary, "allInvocationsARB");
    add(I::VoteAllEqual, T::CallUnary, "allInvocationsEqualARB");
    add(I::VoteAny, T::CallUnary, "anyInvocationARB");
    return t;
}

constexpr Table InfoTable = MakeTable();

// The table agrees with the instruction list: every instruction that reaches
// the back end as an expression has an entry and the structural ones none,
// the commutative operators are the commutative instructions, and the atomic
// calls the atomic instructions.
constexpr bool AgreesWithInstructionList() {
    namespace IE = IntermediateRepresentation::InstructionExtensions;
    for (std::size_t i = 0; i < TableSize; i++) {
        auto inst = static_cast<Instruction>(i);
        InstType type = InfoTable[i].Type;
        if ((type == InstType{}) != IE::IsStructural(inst)) return false;
        if (Has(type, InstType::Commutative) != IE::IsCommutative(inst)) return false;
        if (Has(type, InstType::Atomic) != IE::IsAtomic(inst)) return false;
    }
    return true;
}
static_assert(AgreesWithInstructionList(), "the GLSL instruction table disagrees with the instruction list");

} // namespace

const InstInfo& InstGenHelper::GetInstructionInfo(Instruction inst) {
    static const InstInfo empty{};
    uint32_t index = IntermediateRepresentation::InstIndex(inst);
    if (index >= TableSize)
        return empty;
    return InfoTable[index];
}

bool InstGenHelper::NeedsParenthesis(const StructuredIr::IAstNode* node, Instruction parentInst,
                                     const InstInfo& parentInfo, bool isLhs) {
    const AstOperation* operation = StructuredIr::As<AstOperation>(node);
    if (operation == nullptr)
        return IsNegativeConst(node) && parentInfo.Type == InstType::OpUnary;
    if (Has(parentInfo.Type, InstType::Call) || Has(parentInfo.Type, InstType::Special))
        return false;
    // A negation is written as a subtraction from zero.
    const InstInfo& info = IntermediateRepresentation::InstCode(operation->Inst) == Instruction::Negate
                               ? GetInstructionInfo(Instruction::Subtract)
                               : GetInstructionInfo(operation->Inst);
    if (Has(info.Type, InstType::Call) || Has(info.Type, InstType::Special))
        return false;
    if (info.Precedence < parentInfo.Precedence)
        return false;
    if (info.Precedence == parentInfo.Precedence && isLhs)
        return false;
    if (parentInst == operation->Inst && info.Type == InstType::OpBinaryCom)
        return false;
    return true;
}

bool InstGenHelper::IsNegativeConst(const StructuredIr::IAstNode* node) {
    const AstOperand* operand = StructuredIr::As<AstOperand>(node);
    return operand != nullptr && operand->Type == OperandType::Constant && operand->Value < 0;
}

int32_t InstGenHelper::ConstantSource(const AstOperation& operation, int32_t index, const char* which) {
    const AstOperand* operand = StructuredIr::As<AstOperand>(operation.GetSource(index));
    if (operand == nullptr || operand->Type != OperandType::Constant) {
        std::string_view inst = IntermediateRepresentation::InstructionName(operation.Inst);
        std::string_view kind = IntermediateRepresentation::StorageKindName(operation.StorageKind);
        std::string instText =
            inst.empty() ? std::to_string(static_cast<uint32_t>(operation.Inst)) : std::string(inst);
        std::string kindText =
            kind.empty() ? std::to_string(static_cast<int32_t>(operation.StorageKind)) : std::string(kind);
        throw Common::InvalidOperationException(std::string(which) + " input of " + instText + " with " + kindText +
                                                " storage must be a constant operand.");
    }
    return operand->Value;
}

std::string InstGenHelper::NodeClassName(const StructuredIr::IAstNode* node) {
    if (node == nullptr)
        return "null";
    switch (node->Kind()) {
    case StructuredIr::AstNodeKind::Block:
        return "AstBlock";
    case StructuredIr::AstNodeKind::Operand:
        return "AstOperand";
    case StructuredIr::AstNodeKind::Operation:
        return "AstOperation";
    case StructuredIr::AstNodeKind::TextureOperation:
        return "AstTextureOperation";
    case StructuredIr::AstNodeKind::Assignment:
        return "AstAssignment";
    case StructuredIr::AstNodeKind::Comment:
        return "AstComment";
    }
    return "IAstNode";
}

IoAccess IoAccess::Resolve(const CodeGenContext& context, const AstOperation& operation) {
    IoAccess access;
    StorageKind kind = operation.StorageKind;
    access.Variable = static_cast<IoVariable>(InstGenHelper::ConstantSource(operation, 0, "First"));
    access.IsOutput = kind == StorageKind::Output || kind == StorageKind::OutputPerPatch;
    access.IsPerPatch = kind == StorageKind::InputPerPatch || kind == StorageKind::OutputPerPatch;
    if (!context.Definitions.HasPerLocationInputOrOutput(access.Variable, access.IsOutput))
        return access;
    access.Location = InstGenHelper::ConstantSource(operation, 1, "Second");
    access.NextSource = 2;
    // A third constant source names the component when transform feedback
    // captures that component alone; a source that is no constant is none.
    if (operation.SourcesCount() > 2 && access.Variable == IoVariable::UserDefined &&
        IoMap::SplitsCapturedComponents(context.Definitions, access.IsOutput, access.IsPerPatch)) {
        const AstOperand* third = StructuredIr::As<AstOperand>(operation.GetSource(2));
        if (third != nullptr && third->Type == OperandType::Constant &&
            context.Definitions.GetTransformFeedbackOutputComponents(access.Location, third->Value) == 1) {
            access.Component = third->Value;
            access.NextSource = 3;
        }
    }
    return access;
}

} // namespace Zerivox::Graphics::Shader::CodeGen::Glsl::Instructions
