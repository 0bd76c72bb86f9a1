// The two passes that complete a decoded function: pairing the branch-stack
// pushes (SSY, PBK, PCNT, PRET) with the pops (SYNC, BRK, CONT, RET) that
// return to them, and reading the jump tables of indirect branches (BRX).
#include <algorithm>
#include <array>
#include <cstddef>
#include <deque>
#include <memory_resource>
#include <unordered_set>
#include <vector>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/Decoders/Decoder.h"
#include "Zerivox.Graphics.Shader/Decoders/InstFieldsFlow.h"
#include "Zerivox.Graphics.Shader/Decoders/InstFieldsIntegerComparison.h"
#include "Zerivox.Graphics.Shader/Decoders/InstFieldsMemory.h"
#include "Zerivox.Graphics.Shader/Decoders/InstFieldsShift.h"
#include "Zerivox.Graphics.Shader/IGpuAccessor.h"

namespace Zerivox::Graphics::Shader::Decoders {

namespace {

Block* KnownBlock(const Decoder::BlockMap& blocks, uint64_t address) {
    auto it = blocks.find(address);
    if (it == blocks.end()) {
        throw Common::InvalidOperationException("Branch-stack target is not a decoded block.");
    }
    return it->second;
}

enum class PathKind : uint8_t { Visit, RestoreDepth, Repush };

struct PathBlockState {
    PathKind Kind;
    Decoders::Block* Block = nullptr;
    std::size_t Depth = 0;
    uint64_t Address = 0;
    Decoder::MergeType MergeType = Decoder::MergeType::Brk;
};

struct StackEntry {
    uint64_t Address;
    Decoder::MergeType Type;
};

struct BlockLocation {
    const Decoders::Block* Block = nullptr;
    int Index = 0;

    const InstOp& Op() const { return Block->Ops[static_cast<std::size_t>(Index)]; }
    bool IsImmInst(InstName name) const { return Op().Name == name && HasFlag(Op().Props, InstProps::Ib); }
};

// Breadth-first search backwards from location for the closest instruction that
// writes reg. visited is shared by the searches of one pattern so each block is
// scanned at most once.
BlockLocation FindFirstRegWrite(std::unordered_set<const Block*>& visited, BlockLocation location, int reg) {
    std::deque<BlockLocation> queue;
    visited.insert(location.Block);
    queue.push_back(location);

    while (!queue.empty()) {
        const BlockLocation current = queue.front();
        queue.pop_front();

        for (int i = current.Index - 1; i >= 0; i--) {
            if (Decoder::WritesToRegister(current.Block->Ops[static_cast<std::size_t>(i)], reg)) {
                return BlockLocation{current.Block, i};
            }
        }

        for (const Block* predecessor : current.Block->Predecessors) {
            if (visited.insert(predecessor).second) {
                queue.push_back(BlockLocation{predecessor, static_cast<int>(predecessor->Ops.size())});
            }
        }
    }

    return BlockLocation{};
}

// RET pops the branch stack too: after a PRET it returns to the pushed
// address (the compiler's early return from the entry point); without one it
// leaves the function. It is kept apart from IsPopBranch because the
// translation loop guards RET like any other instruction.
bool PopsBranchStack(InstName name) { return Decoder::IsPopBranch(name) || name == InstName::Ret; }

} // namespace

Decoder::MergeType Decoder::GetMergeTypeFromPush(InstName name) {
    switch (name) {
    case InstName::Pbk:
        return MergeType::Brk;
    case InstName::Pcnt:
        return MergeType::Cont;
    case InstName::Pret:
        return MergeType::Ret;
    default:
        return MergeType::Sync;
    }
}

Decoder::MergeType Decoder::GetMergeTypeFromPop(InstName name) {
    switch (name) {
    case InstName::Brk:
        return MergeType::Brk;
    case InstName::Cont:
        return MergeType::Cont;
    case InstName::Ret:
        return MergeType::Ret;
    default:
        return MergeType::Sync;
    }
}

void Decoder::PropagatePushOp(DecodedProgram& program, const BlockMap& blocks, Block* block, int k) {
    PushOpInfo* pushOp = block->PushOps.at(static_cast<std::size_t>(k));
    const uint64_t pushAddress = pushOp->Op.Address;
    Block* target = KnownBlock(blocks, pushOp->Op.GetAbsoluteAddress());

    // The walk keeps one branch stack for the current path instead of copying it
    // per path: work entries restore it once a block's successors are done.
    // Its containers draw on one pool that starts on the stack and dies with
    // the walk: most walks pass a handful of blocks, and one allocation per
    // visited block would cost more than the walk itself.
    std::array<std::byte, 4096> buffer;
    std::pmr::monotonic_buffer_resource pool(buffer.data(), buffer.size());
    std::pmr::vector<PathBlockState> work(&pool);
    std::pmr::unordered_set<const Block*> visited(&pool);
    std::pmr::vector<StackEntry> branchStack(&pool);
    std::pmr::vector<Block*> successors(&pool);

    auto pushVisit = [&](Block* b) {
        if (!visited.contains(b)) {
            work.push_back(PathBlockState{PathKind::Visit, b});
        }
    };

    pushVisit(block);
    bool first = true;

    while (!work.empty()) {
        const PathBlockState state = work.back();
        work.pop_back();

        if (state.Kind == PathKind::RestoreDepth) {
            branchStack.resize(std::min(branchStack.size(), state.Depth));
            continue;
        }
        if (state.Kind == PathKind::Repush) {
            branchStack.push_back(StackEntry{state.Address, state.MergeType});
            continue;
        }

        Block* current = state.Block;
        if (!visited.insert(current).second) {
            continue;
        }

        if (!current->PushOps.empty()) {
            PathBlockState restore{PathKind::RestoreDepth};
            restore.Depth = branchStack.size();
            work.push_back(restore);
            for (std::size_t i = first ? static_cast<std::size_t>(k) : 0; i < current->PushOps.size(); i++) {
                const InstOp& op = current->PushOps[i]->Op;
                branchStack.push_back(StackEntry{op.GetAbsoluteAddress(), GetMergeTypeFromPush(op.Name)});
            }
        }
        first = false;

        const bool hasNext = current->HasNext();
        if (hasNext) {
            pushVisit(current->Successors[0]);
        }

        const InstOp last = current->GetLastOp();
        if (PopsBranchStack(last.Name)) {
            const MergeType popType = GetMergeTypeFromPop(last.Name);
            bool found = false;
            StackEntry popped{};
            while (!branchStack.empty()) {
                popped = branchStack.back();
                branchStack.pop_back();
                PathBlockState repush{PathKind::Repush};
                repush.Address = popped.Address;
                repush.MergeType = popped.Type;
                work.push_back(repush);
                if (popped.Type == popType) {
                    found = true;
                    break;
                }
            }

            if (found) {
                if (branchStack.empty()) {
                    // The entry at the bottom is the push being paired: current consumes it.
                    if (!current->SyncTargets.Contains(pushAddress)) {
                        const auto id = static_cast<int32_t>(current->SyncTargets.Count());
                        current->SyncTargets.Set(pushAddress, SyncTarget{pushOp, id});
                        pushOp->Consumers.Set(current, program.CreateLocal());
                        current->Successors.push_back(target);
                        target->Predecessors.push_back(current);
                    }
                } else {
                    // An inner push of the path: continue where that pop jumps.
                    pushVisit(KnownBlock(blocks, popped.Address));
                }
            }
        } else {
            successors.assign(current->Successors.begin() + (hasNext ? 1 : 0), current->Successors.end());
            std::stable_sort(successors.begin(), successors.end(),
                             [](const Block* a, const Block* b) { return a->Address > b->Address; });
            for (Block* successor : successors) {
                pushVisit(successor);
            }
        }
    }
}

bool Decoder::FindBrxTargets(Context& context, const std::vector<Block*>& blocks,
                             const std::function<Block*(uint64_t)>& getBlock) {
    bool hasNewTarget = false;

    for (Block* block : blocks) {
        const InstOp last = block->GetLastOp();
        if (last.Name != InstName::Brx) {
            continue;
        }
        // A BRX block with more edges than its fall-through has its table already.
        if (block->Successors.size() != (block->HasNext() ? 1u : 0u)) {
            continue;
        }

        const uint64_t baseAddress = last.GetAbsoluteAddress();
        const auto [offset, count] = FindBrxTargetRange(block, InstBrx(last.RawOpCode).Ra());
        if (count != 0) {
            hasNewTarget = true;
        }

        std::unordered_set<uint64_t> seen;
        for (int32_t i = 0; i < count; i++) {
            // offset < 2^16 and count <= 2^20, so o fits comfortably in 32 bits.
            const int32_t o = offset + 4 * i;
            context.Program.Cb1Size = std::max(context.Program.Cb1Size, o + 4);
            const auto entry = static_cast<uint32_t>(context.GpuAccessor.ConstantBuffer1Read(o));
            const uint64_t target = baseAddress + entry;
            if (seen.insert(target).second) {
                Block* targetBlock = getBlock(target);
                targetBlock->Predecessors.push_back(block);
                block->Successors.push_back(targetBlock);
            }
            // The entry count comes from the code (up to 2^20): once the table runs
            // past the constant data the host has, every further entry reads as 0
            // too, which adds no target; stop instead of reading on.
            if (context.Cb1Limit >= 0 && static_cast<int64_t>(o) + 4 > context.Cb1Limit) {
                break;
            }
        }
    }

    return hasNewTarget;
}

std::pair<int32_t, int32_t> Decoder::FindBrxTargetRange(const Block* block, int reg) {
    std::unordered_set<const Block*> visited;
    const std::pair<int32_t, int32_t> none{0, 0};
    if (block->Ops.empty()) {
        return none;
    }

    const BlockLocation ldcLocation =
        FindFirstRegWrite(visited, BlockLocation{block, static_cast<int>(block->Ops.size()) - 1}, reg);
    if (ldcLocation.Block == nullptr || ldcLocation.Op().Name != InstName::Ldc) {
        return none;
    }
    const InstLdc ldc(ldcLocation.Op().RawOpCode);
    if (ldc.Slot() != 1 || ldc.AddressMode() != 0) {
        return none;
    }
    // The table offset is the raw 16-bit field.
    const auto offset = static_cast<int32_t>(InstFields::Extract(ldc.RawOpCode, 20, 16));

    const BlockLocation shlLocation = FindFirstRegWrite(visited, ldcLocation, ldc.Ra());
    if (shlLocation.Block == nullptr || !shlLocation.IsImmInst(InstName::Shl) ||
        InstShlI(shlLocation.Op().RawOpCode).Imm20() != 2) {
        return none;
    }

    const BlockLocation imnmxLocation =
        FindFirstRegWrite(visited, shlLocation, InstShlI(shlLocation.Op().RawOpCode).Ra());
    if (imnmxLocation.Block == nullptr || !imnmxLocation.IsImmInst(InstName::Imnmx)) {
        return none;
    }
    const InstImnmxI imnmx(imnmxLocation.Op().RawOpCode);
    if (imnmx.Signed() || imnmx.SrcPred() != 7 || imnmx.SrcPredInv()) {
        return none;
    }

    return {offset, imnmx.Imm20() + 1};
}

bool Decoder::WritesToRegister(const InstOp& op, int reg) {
    const bool hasRd = HasFlag(op.Props, InstProps::Rd);
    const bool hasRd2 = HasFlag(op.Props, InstProps::Rd2);
    if (!hasRd && !hasRd2) {
        return false;
    }
    if (hasRd2 && static_cast<int>((op.RawOpCode >> 28) & 0xFFu) == reg) {
        return true;
    }
    return static_cast<int>(op.RawOpCode & 0xFFu) == reg;
}

} // namespace Zerivox::Graphics::Shader::Decoders
