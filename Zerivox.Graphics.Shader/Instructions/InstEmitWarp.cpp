// Warp-wide instructions: the quad swizzled add, lane shuffles and votes.
//
// A guest warp has 32 lanes. On a wider host subgroup every 32-lane group
// plays one warp, so votes are rebuilt from the group's own ballot word
// instead of the host's subgroup-wide vote.
#include <string>

#include "Zerivox.Graphics.Shader/Decoders/InstFieldsWarp.h"
#include "Zerivox.Graphics.Shader/IGpuAccessor.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmit.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitAluHelper.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitHelper.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IoVariable.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContext.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContextInsts.h"

namespace Zerivox::Graphics::Shader::Instructions::InstEmit {

using namespace Translation::EmitterContextInsts;
using Decoders::VoteMode;
using IntermediateRepresentation::IoVariable;
using IntermediateRepresentation::Operand;
using IntermediateRepresentation::StorageKind;
using Translation::EmitterContext;
namespace OH = IntermediateRepresentation::OperandHelper;

namespace {

constexpr int RZ = 255;

Operand* Const(EmitterContext& context, int32_t value) { return OH::MakeConstant(context.Arena(), value); }

// The 32-bit ballot word of the current lane's 32-lane group.
Operand* EmitBallot(EmitterContext& context, Operand* predicate) {
    const int32_t subgroupSize = context.GpuAccessor().QueryHostSubgroupSize();
    if (subgroupSize <= 32) return Ballot(context, predicate, 0);
    if (subgroupSize == 64) {
        Operand* lane = Load(context, StorageKind::Input, static_cast<int>(IoVariable::SubgroupLaneId));
        Operand* w0 = Ballot(context, predicate, 0);
        Operand* w1 = Ballot(context, predicate, 1);
        Operand* thirtyTwo = Const(context, 32);
        Operand* upper = BitwiseAnd(context, lane, thirtyTwo);
        return ConditionalSelect(context, upper, w1, w0);
    }
    Operand* lane = Load(context, StorageKind::Input, static_cast<int>(IoVariable::SubgroupLaneId));
    Operand* five = Const(context, 5);
    Operand* group = ShiftRightU32(context, lane, five);
    Operand* ballot = Ballot(context, predicate, 0);
    for (int i = 1; i < 4; i++) {
        Operand* index = Const(context, i);
        Operand* isGroup = ICompareEqual(context, group, index);
        Operand* word = Ballot(context, predicate, i);
        ballot = ConditionalSelect(context, isGroup, word, ballot);
    }
    return ballot;
}

// The vote as a truth value, or null for a mode without meaning.
Operand* EmitVote(EmitterContext& context, VoteMode mode, Operand* predicate) {
    const int32_t subgroupSize = context.GpuAccessor().QueryHostSubgroupSize();
    if (subgroupSize <= 32) {
        switch (mode) {
        case VoteMode::All:
            return VoteAll(context, predicate);
        case VoteMode::Any:
            return VoteAny(context, predicate);
        case VoteMode::Eq:
            return VoteAllEqual(context, predicate);
        default:
            return nullptr;
        }
    }
    if (mode != VoteMode::All && mode != VoteMode::Any && mode != VoteMode::Eq) return nullptr;
    Operand* ballot = EmitBallot(context, predicate);
    auto allTrue = [&]() {
        Operand* yes = Const(context, -1);
        Operand* full = EmitBallot(context, yes);
        return ICompareEqual(context, ballot, full);
    };
    switch (mode) {
    case VoteMode::All:
        return allTrue();
    case VoteMode::Any: {
        Operand* zero = Const(context, 0);
        return ICompareNotEqual(context, ballot, zero);
    }
    default: {
        Operand* all = allTrue();
        Operand* zero = Const(context, 0);
        Operand* none = ICompareEqual(context, ballot, zero);
        return BitwiseOr(context, all, none);
    }
    }
}

} // namespace

void Fswzadd(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstFswzadd>();
    Operand* a = InstEmitHelper::ReadRegister(context, op.Ra());
    Operand* b = InstEmitHelper::ReadRegister(context, op.Rb());
    Operand* result = FPSwizzleAdd(context, a, b, op.SwizzleMask());
    Operand* dest = InstEmitHelper::GetDest(context, op.Rd());
    Copy(context, dest, result);
    // The flags test the register after the write (RZ compares 0).
    Operand* written = InstEmitHelper::ReadRegister(context, op.Rd());
    InstEmitAluHelper::SetFPZnFlags(context, written, op.WriteCC());
}

void Shfl(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstShfl>();
    Operand* value = InstEmitHelper::ReadRegister(context, op.Ra());
    Operand* index = op.IndexImm() ? Const(context, op.IndexImm5()) : InstEmitHelper::ReadRegister(context, op.Rb());
    Operand* mask = op.MaskImm() ? Const(context, op.MaskImm13()) : InstEmitHelper::ReadRegister(context, op.Rc());
    OperandPair result;
    switch (op.ShflMode()) {
    case 0:
        result = Shuffle(context, value, index, mask);
        break;
    case 1:
        result = ShuffleUp(context, value, index, mask);
        break;
    case 2:
        result = ShuffleDown(context, value, index, mask);
        break;
    default:
        result = ShuffleXor(context, value, index, mask);
        break;
    }
    Operand* dest = InstEmitHelper::GetDest(context, op.Rd());
    Copy(context, dest, result.first);
    Operand* pred = InstEmitHelper::GetPredDest(context, op.ShflPred());
    Copy(context, pred, result.second);
}

void Vote(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstVote>();
    Operand* predicate = InstEmitHelper::GetPredicate(context, op.SrcPred(), op.SrcPredInv());
    Operand* vote = EmitVote(context, op.VoteMode(), predicate);
    if (vote != nullptr) {
        Operand* dest = InstEmitHelper::GetPredDest(context, op.VotePred());
        Copy(context, dest, vote);
    } else {
        context.GpuAccessor().Log("Invalid vote operation: " + std::to_string(static_cast<int>(op.VoteMode())) +
                                  ".");
    }
    if (op.Rd() != RZ) {
        Operand* ballot = EmitBallot(context, predicate);
        Operand* dest = InstEmitHelper::GetDest(context, op.Rd());
        Copy(context, dest, ballot);
    }
}

} // namespace Zerivox::Graphics::Shader::Instructions::InstEmit
