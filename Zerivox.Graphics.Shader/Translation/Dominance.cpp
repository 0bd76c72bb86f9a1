#include "Zerivox.Graphics.Shader/Translation/Dominance.h"

namespace Zerivox::Graphics::Shader::Translation::Dominance {

using IntermediateRepresentation::BasicBlock;

void FindDominators(ControlFlowGraph& cfg) {
    if (cfg.Blocks.empty()) return;
    BasicBlock* entry = cfg.Blocks[0];
    entry->ImmediateDominator = entry;

    auto po = [&](const BasicBlock* b) { return cfg.PostOrderMap[static_cast<std::size_t>(b->Index)]; };

    auto intersect = [&](BasicBlock* b1, BasicBlock* b2) {
        while (b1 != b2) {
            while (po(b1) < po(b2)) b1 = b1->ImmediateDominator;
            while (po(b2) < po(b1)) b2 = b2->ImmediateDominator;
        }
        return b1;
    };

    bool modified;
    do {
        modified = false;
        for (int i = static_cast<int>(cfg.PostOrderBlocks.size()) - 2; i >= 0; i--) {
            BasicBlock* block = cfg.PostOrderBlocks[static_cast<std::size_t>(i)];
            BasicBlock* newIDom = nullptr;
            for (BasicBlock* pred : block->Predecessors) {
                if (pred->ImmediateDominator == nullptr) continue;
                newIDom = newIDom == nullptr ? pred : intersect(pred, newIDom);
            }
            if (block->ImmediateDominator != newIDom) {
                block->ImmediateDominator = newIDom;
                modified = true;
            }
        }
    } while (modified);
}

void FindDominanceFrontiers(std::span<BasicBlock* const> blocks) {
    for (BasicBlock* block : blocks) {
        if (block->Predecessors.size() < 2) continue;
        for (BasicBlock* pred : block->Predecessors) {
            // A predecessor the entry does not reach has no dominator chain,
            // and a merge the entry does not reach has no dominator to stop
            // at: the walk also stops at a block without a dominator and
            // after the entry, so it always ends.
            BasicBlock* current = pred;
            while (current != nullptr && current != block->ImmediateDominator) {
                current->DominanceFrontiers.Add(block);
                BasicBlock* up = current->ImmediateDominator;
                current = up == current ? nullptr : up;
            }
        }
    }
}

} // namespace Zerivox::Graphics::Shader::Translation::Dominance
