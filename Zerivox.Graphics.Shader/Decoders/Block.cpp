#include "Zerivox.Graphics.Shader/Decoders/Block.h"

#include <algorithm>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/Decoders/Decoder.h"
#include "Zerivox.Graphics.Shader/Decoders/PushOpInfo.h"

namespace Zerivox::Graphics::Shader::Decoders {

void Block::Split(Block* right) {
    const auto first = std::lower_bound(Ops.begin(), Ops.end(), right->Address,
                                        [](const InstOp& op, uint64_t address) { return op.Address < address; });
    if (first == Ops.end()) {
        throw Common::ArgumentException("Can't split at right block address.");
    }

    right->EndAddress = EndAddress;
    right->Successors.insert(right->Successors.end(), Successors.begin(), Successors.end());

    // The edges leaving this block now leave the right part; their targets must
    // name it as predecessor, or a backward search through predecessors would
    // skip the right part's instructions. Done before the new left-to-right
    // edge exists, so a branch back into the right part is renamed correctly.
    for (Block* successor : Successors) {
        std::replace(successor->Predecessors.begin(), successor->Predecessors.end(), this, right);
    }
    right->Predecessors.push_back(this);

    EndAddress = right->Address;
    Successors.clear();
    Successors.push_back(right);

    right->Ops.insert(right->Ops.end(), first, Ops.end());
    Ops.erase(first, Ops.end());

    // The pop instruction moves to the right part: so do the pushes it consumes.
    for (auto& [address, target] : SyncTargets) {
        target.PushOpInfo->Consumers.ReplaceKey(this, right);
        right->SyncTargets.Set(address, target);
    }
    SyncTargets.Clear();

    const auto firstMoved = std::find_if(PushOps.begin(), PushOps.end(),
                                         [right](const PushOpInfo* p) { return p->Op.Address >= right->Address; });
    right->PushOps.insert(right->PushOps.end(), firstMoved, PushOps.end());
    PushOps.erase(firstMoved, PushOps.end());
}

InstOp Block::GetLastOp() const { return Ops.empty() ? InstOp() : Ops.back(); }

bool Block::HasNext() const { return !Ops.empty() && !Decoder::IsUnconditionalBranch(Ops.back()); }

} // namespace Zerivox::Graphics::Shader::Decoders
