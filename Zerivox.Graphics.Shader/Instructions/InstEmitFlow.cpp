// Branches, calls, returns, exits, discards and the branch-stack push/pop
// instructions.
//
// The guest keeps reconvergence, break, continue and return targets on a
// hardware stack; the IR has none. The decoder has already paired every push
// (SSY, PBK, PCNT, PRET) with the blocks whose pop (SYNC, BRK, CONT, RET)
// returns to it and given each pair a local: the push stores its id for that
// consumer there and the pop branches by comparing it.
#include <algorithm>
#include <string>
#include <vector>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/Decoders/Block.h"
#include "Zerivox.Graphics.Shader/Decoders/DecodedFunction.h"
#include "Zerivox.Graphics.Shader/Decoders/DecodedProgram.h"
#include "Zerivox.Graphics.Shader/Decoders/InstFieldsFlow.h"
#include "Zerivox.Graphics.Shader/Decoders/PushOpInfo.h"
#include "Zerivox.Graphics.Shader/IGpuAccessor.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmit.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitConditionCode.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitHelper.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContext.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContextInsts.h"
#include "Zerivox.Graphics.Shader/Translation/ShaderDefinitions.h"

namespace Zerivox::Graphics::Shader::Instructions::InstEmit {

using Decoders::Block;
using IntermediateRepresentation::Instruction;
using IntermediateRepresentation::Operand;
using Translation::EmitterContext;
namespace OH = IntermediateRepresentation::OperandHelper;
namespace Ins = Translation::EmitterContextInsts;

namespace {

constexpr int AlwaysCcc = 0xF;
constexpr int PredicateTrue = 7;

// The guard, inversion and condition-code fields sit at the same bits in
// every branching form (BRA, SYNC, BRK, CONT), so one view serves them all.
using BranchFields = Decoders::InstBra;

Block& CurrentBlock(EmitterContext& context) {
    if (context.CurrBlock == nullptr) {
        throw Common::InvalidOperationException("Control-flow instruction emitted outside a block.");
    }
    return *context.CurrBlock;
}

std::string AddressText(uint64_t address) { return InstEmitHelper::ToHexUpper(address); }

// Branch to a guest address under the current instruction's guard and
// condition-code test.
void EmitBranch(EmitterContext& context, uint64_t address) {
    if (address == context.CurrOp.Address + 8)
        return; // the next instruction: nothing to jump over

    const auto op = context.GetOp<BranchFields>();
    Operand* label = context.EnsureBlockLabel(address).Label;
    Operand* pred = OH::Register(context.Arena(), op.Pred(), Decoders::RegisterType::Predicate);
    const bool guarded = op.Pred() != PredicateTrue;

    if (op.Ccc() == AlwaysCcc) {
        if (!guarded) {
            context.Branch(label);
        } else if (op.PredInv()) {
            Ins::BranchIfFalse(context, label, pred);
        } else {
            Ins::BranchIfTrue(context, label, pred);
        }
        return;
    }

    Operand* cond = GetCondition(context, op.Ccc(), -1);
    if (guarded) {
        Operand* guard = op.PredInv() ? Ins::BitwiseNot(context, pred) : pred;
        cond = Ins::BitwiseAnd(context, guard, cond);
    }
    Ins::BranchIfTrue(context, label, cond);
}

void EmitPbkPcntSsy(EmitterContext& context) {
    Block& block = CurrentBlock(context);
    const uint64_t address = context.CurrOp.Address;
    auto it = std::find_if(block.PushOps.begin(), block.PushOps.end(),
                           [address](const Decoders::PushOpInfo* info) { return info->Op.Address == address; });
    if (it == block.PushOps.end()) {
        throw Common::InvalidOperationException("Push instruction at 0x" + AddressText(address) +
                                                " is not recorded in its block.");
    }
    for (const auto& [consumer, local] : (*it)->Consumers) {
        const Decoders::SyncTarget* target = consumer->SyncTargets.Find(address);
        if (target == nullptr) {
            throw Common::InvalidOperationException("Block at 0x" + AddressText(consumer->Address) +
                                                    " pops the push at 0x" + AddressText(address) +
                                                    " but does not list it.");
        }
        Operand* id = OH::MakeConstant(context.Arena(), target->PushOpId);
        Ins::Copy(context, local, id);
    }
}

void EmitBrkContSync(EmitterContext& context) {
    Block& block = CurrentBlock(context);
    if (block.SyncTargets.size() == 1) {
        const Decoders::SyncTarget& only = block.SyncTargets.begin()->second;
        EmitBranch(context, only.PushOpInfo->Op.GetAbsoluteAddress());
        return;
    }
    // Several pushes may be pending here: go to the one whose id the push
    // stored in this pair's local; when none matches, fall through.
    for (const auto& [pushAddress, target] : block.SyncTargets) {
        Operand* label = context.EnsureBlockLabel(target.PushOpInfo->Op.GetAbsoluteAddress()).Label;
        Operand* const* local = target.PushOpInfo->Consumers.Find(&block);
        if (local == nullptr) {
            throw Common::InvalidOperationException("Push at 0x" + AddressText(pushAddress) +
                                                    " has no local for the block at 0x" + AddressText(block.Address) +
                                                    ".");
        }
        Operand* id = OH::MakeConstant(context.Arena(), target.PushOpId);
        Operand* matches = Ins::ICompareEqual(context, *local, id);
        Ins::BranchIfTrue(context, label, matches);
    }
}

} // namespace

void Bra(EmitterContext& context) {
    Block& block = CurrentBlock(context);
    if (block.Successors.empty()) {
        throw Common::InvalidOperationException("Branch at 0x" + AddressText(context.CurrOp.Address) +
                                                " has no target block.");
    }
    // The decoder puts the branch target last among the successors.
    EmitBranch(context, block.Successors.back()->Address);
}

void Brx(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstBrx>();
    Block& block = CurrentBlock(context);

    const std::size_t start = block.HasNext() ? 1 : 0;
    if (block.Successors.size() <= start) {
        context.GpuAccessor().Log("Failed to find targets for BRX instruction at 0x" +
                                  AddressText(context.CurrOp.Address) + ".");
        return;
    }

    Operand* ra = InstEmitHelper::ReadRegister(context, op.Ra());
    const auto base = static_cast<int32_t>(static_cast<uint32_t>(context.CurrOp.GetAbsoluteAddress()));
    Operand* baseOperand = OH::MakeConstant(context.Arena(), base);
    Operand* selector = Ins::IAdd(context, ra, baseOperand);

    std::vector<Block*> targets(block.Successors.begin() + static_cast<std::ptrdiff_t>(start), block.Successors.end());
    std::stable_sort(targets.begin(), targets.end(),
                     [](const Block* a, const Block* b) { return a->Address < b->Address; });

    // A chain of selector tests at the targets' entries only works when
    // nothing else enters those blocks and control reaches them downwards;
    // the highest target takes whatever is left and is never tested.
    bool chained = true;
    for (std::size_t i = 0; i + 1 < targets.size(); i++) {
        const Block* target = targets[i];
        if (target->Predecessors.size() != 1 || target->Predecessors[0] != &block || target->Address <= block.Address) {
            chained = false;
            break;
        }
    }

    if (chained) {
        for (std::size_t i = 1; i < targets.size(); i++) {
            const Block* previous = targets[i - 1];
            if (targets[i]->Address == previous->Address)
                continue;
            EmitterContext::BlockLabel& entry = context.EnsureBlockLabel(previous->Address);
            entry.Selector = selector;
            entry.SelectorValue = static_cast<int32_t>(static_cast<uint32_t>(previous->Address));
            entry.NextTarget = targets[i]->Address;
        }
        Operand* first = context.EnsureBlockLabel(targets.front()->Address).Label;
        context.Branch(first);
        return;
    }

    // Compares from the highest target down; the lowest takes the rest.
    bool hasPrevious = false;
    uint64_t previousAddress = 0;
    for (std::size_t i = targets.size() - 1; i > 0; i--) {
        const uint64_t address = targets[i]->Address;
        if (!hasPrevious || address != previousAddress) {
            Operand* label = context.EnsureBlockLabel(address).Label;
            Operand* value = OH::MakeConstant(context.Arena(), static_cast<int32_t>(static_cast<uint32_t>(address)));
            Operand* matches = Ins::ICompareEqual(context, selector, value);
            Ins::BranchIfTrue(context, label, matches);
        }
        hasPrevious = true;
        previousAddress = address;
    }
    Operand* lowest = context.EnsureBlockLabel(targets.front()->Address).Label;
    context.Branch(lowest);
}

void Cal(EmitterContext& context) {
    const uint64_t target = context.CurrOp.GetAbsoluteAddress();
    Decoders::DecodedFunction* function =
        context.Program != nullptr ? context.Program->GetFunctionByAddress(target) : nullptr;
    if (function == nullptr) {
        throw Common::InvalidOperationException("Call at 0x" + AddressText(context.CurrOp.Address) + " targets 0x" +
                                                AddressText(target) + ", where no function was decoded.");
    }
    switch (function->Type) {
    case Decoders::FunctionType::User: {
        if (function->Id < 0) {
            throw Common::InvalidOperationException("Call at 0x" + AddressText(context.CurrOp.Address) +
                                                    " targets a function without an id.");
        }
        Operand* id = OH::MakeConstant(context.Arena(), function->Id);
        context.Add(Instruction::Call, nullptr, {id});
        break;
    }
    case Decoders::FunctionType::FsiBegin:
        context.Add(Instruction::FSIBegin);
        break;
    case Decoders::FunctionType::FsiEnd:
        context.Add(Instruction::FSIEnd);
        break;
    case Decoders::FunctionType::FsiGetAddress:
        break;
    }
}

void Exit(EmitterContext& context) {
    if (context.IsNonMain) {
        context.GpuAccessor().Log("Invalid exit on non-main function at 0x" + AddressText(context.CurrOp.Address) +
                                  "; it was skipped.");
        return;
    }
    const auto op = context.GetOp<Decoders::InstExit>();
    if (op.Ccc() == AlwaysCcc) {
        if (context.PrepareForReturn())
            context.Add(Instruction::Return);
        return;
    }
    Operand* cond = GetCondition(context, op.Ccc(), 0);
    if (cond->IsConstant() && cond->Value == 0)
        return; // never taken
    Operand* skip = OH::MakeLabel(context.Arena());
    Ins::BranchIfFalse(context, skip, cond);
    if (context.PrepareForReturn())
        context.Add(Instruction::Return);
    context.MarkLabel(skip);
}

void Ret(EmitterContext& context) {
    // A RET paired with a PRET returns to the pushed address: compilers use
    // that for an early return from the entry point, with the code after the
    // RET still reachable when its guard fails.
    if (context.CurrBlock != nullptr && context.CurrBlock->SyncTargets.Count() != 0) {
        EmitBrkContSync(context);
        return;
    }
    if (!context.IsNonMain) {
        context.GpuAccessor().Log("Invalid return on main function at 0x" + AddressText(context.CurrOp.Address) +
                                  "; it was skipped.");
        return;
    }
    context.Add(Instruction::Return);
}

void Kil(EmitterContext& context) {
    // The discard honours its condition-code test like EXIT does: a test
    // that never holds (or has no meaning) discards nothing.
    if (context.Definitions().Stage != ShaderStage::Fragment)
        InstEmitHelper::ThrowNotInStage(context, "KIL", "only fragment shaders discard");
    const auto op = context.GetOp<Decoders::InstKil>();
    if (op.Ccc() == AlwaysCcc) {
        context.Add(Instruction::Discard);
        return;
    }
    Operand* cond = GetCondition(context, op.Ccc(), 0);
    if (cond->IsConstant() && cond->Value == 0)
        return;
    Operand* skip = OH::MakeLabel(context.Arena());
    Ins::BranchIfFalse(context, skip, cond);
    context.Add(Instruction::Discard);
    context.MarkLabel(skip);
}

void Ssy(EmitterContext& context) { EmitPbkPcntSsy(context); }
void Pret(EmitterContext& context) { EmitPbkPcntSsy(context); }
void Pbk(EmitterContext& context) { EmitPbkPcntSsy(context); }
void Pcnt(EmitterContext& context) { EmitPbkPcntSsy(context); }

void Sync(EmitterContext& context) { EmitBrkContSync(context); }
void Brk(EmitterContext& context) { EmitBrkContSync(context); }
void Cont(EmitterContext& context) { EmitBrkContSync(context); }

} // namespace Zerivox::Graphics::Shader::Instructions::InstEmit
