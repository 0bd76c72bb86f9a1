#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrVerifier.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/BasicBlock.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/InstructionExtensions.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Operation.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/PhiNode.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/TextureOperation.h"

namespace Zerivox::Graphics::Shader::IntermediateRepresentation {

namespace {

constexpr std::string_view FailurePrefix = "IR check failed";

[[noreturn]] void Fail(const BasicBlock* block, const std::string& what) {
    std::string message(FailurePrefix);
    if (block != nullptr) message += " in block " + std::to_string(block->Index);
    throw Common::InvalidOperationException(message + ": " + what);
}

int CountSlots(const INode* node, const Operand* operand) {
    int count = 0;
    for (int i = 0; i < node->SourcesCount(); i++) {
        if (node->GetSource(i) == operand) count++;
    }
    return count;
}

// Every destination present is a local nobody reads. The optimiser's dead-node
// removal leaves such a definition in its block after withdrawing its reads
// (the clean-up loop unlinks it on its next visit), so between passes a node
// like this may be missing from its sources' use sets, and its reads count
// for nothing.
// Nodes with side effects never die that way: they stay registered.
bool IsUnreadDefinition(const INode* node) {
    if (node->DestsCount() == 0) return false;
    if (const Operation* op = node->AsOperation()) {
        const Instruction inst = op->Inst;
        if (InstructionExtensions::IsAtomic(inst) || InstIndex(inst) == InstIndex(Instruction::Call) ||
            InstIndex(inst) == InstIndex(Instruction::ImageAtomic)) {
            return false;
        }
    }
    for (int d = 0; d < node->DestsCount(); d++) {
        const Operand* dest = node->GetDest(d);
        if (dest == nullptr) continue; // an absent destination (a result not asked for) counts for nothing
        if (dest->Type != OperandType::LocalVariable || !dest->Uses.empty()) return false;
    }
    return true;
}

// Where a node sits: its block's position and its place in the block's list.
struct Place {
    int32_t Block;
    int32_t Position;
};

// The dominator tree of the blocks as their edges stand now, worked out
// afresh: a pass may have removed edges since the translation filled the
// blocks' ImmediateDominator, and a check must not trust what it checks.
// Immediate dominators by the iterative intersection over reverse
// post-order (the translation's own method), then a pre/post numbering of
// the tree so that each query is two comparisons.
class DominatorTree {
public:
    explicit DominatorTree(std::span<BasicBlock* const> blocks) {
        const auto count = blocks.size();
        std::vector<int32_t> successors(count * 2, -1);
        for (std::size_t i = 0; i < count; i++) {
            if (blocks[i]->Next() != nullptr) successors[2 * i] = blocks[i]->Next()->Index;
            if (blocks[i]->Branch() != nullptr) successors[2 * i + 1] = blocks[i]->Branch()->Index;
        }

        // Post-order from the entry, iteratively: functions can be long.
        std::vector<int32_t> postOrder;
        _postNumber.assign(count, -1);
        std::vector<uint8_t> seen(count, 0);
        std::vector<std::pair<int32_t, int>> stack;
        if (count != 0) {
            seen[0] = 1;
            stack.emplace_back(0, 0);
        }
        while (!stack.empty()) {
            auto& [block, next] = stack.back();
            if (next < 2) {
                const int32_t succ = successors[2 * static_cast<std::size_t>(block) + static_cast<std::size_t>(next++)];
                if (succ >= 0 && seen[static_cast<std::size_t>(succ)] == 0) {
                    seen[static_cast<std::size_t>(succ)] = 1;
                    stack.emplace_back(succ, 0);
                }
                continue;
            }
            _postNumber[static_cast<std::size_t>(block)] = static_cast<int32_t>(postOrder.size());
            postOrder.push_back(block);
            stack.pop_back();
        }

        std::vector<std::vector<int32_t>> predecessors(count);
        for (std::size_t i = 0; i < count; i++) {
            for (int k = 0; k < 2; k++) {
                const int32_t succ = successors[2 * i + static_cast<std::size_t>(k)];
                if (succ >= 0) predecessors[static_cast<std::size_t>(succ)].push_back(static_cast<int32_t>(i));
            }
        }

        std::vector<int32_t> idom(count, -1);
        if (count != 0) idom[0] = 0;
        auto intersect = [&](int32_t a, int32_t b) {
            while (a != b) {
                while (_postNumber[static_cast<std::size_t>(a)] < _postNumber[static_cast<std::size_t>(b)])
                    a = idom[static_cast<std::size_t>(a)];
                while (_postNumber[static_cast<std::size_t>(b)] < _postNumber[static_cast<std::size_t>(a)])
                    b = idom[static_cast<std::size_t>(b)];
            }
            return a;
        };
        bool changed = true;
        while (changed) {
            changed = false;
            for (std::size_t n = postOrder.size(); n-- > 1;) {
                const int32_t block = postOrder[n - 1];
                int32_t newIdom = -1;
                for (int32_t pred : predecessors[static_cast<std::size_t>(block)]) {
                    if (idom[static_cast<std::size_t>(pred)] < 0) continue;
                    newIdom = newIdom < 0 ? pred : intersect(pred, newIdom);
                }
                if (idom[static_cast<std::size_t>(block)] != newIdom) {
                    idom[static_cast<std::size_t>(block)] = newIdom;
                    changed = true;
                }
            }
        }

        // Pre/post numbers of the dominator tree: a dominates b when b's
        // interval lies inside a's.
        std::vector<std::vector<int32_t>> children(count);
        for (std::size_t i = 1; i < count; i++) {
            if (idom[i] >= 0) children[static_cast<std::size_t>(idom[i])].push_back(static_cast<int32_t>(i));
        }
        _enter.assign(count, -1);
        _leave.assign(count, -1);
        int32_t clock = 0;
        if (count != 0) {
            _enter[0] = clock++;
            stack.emplace_back(0, 0);
        }
        while (!stack.empty()) {
            auto& [block, next] = stack.back();
            const auto& kids = children[static_cast<std::size_t>(block)];
            if (static_cast<std::size_t>(next) < kids.size()) {
                const int32_t child = kids[static_cast<std::size_t>(next++)];
                _enter[static_cast<std::size_t>(child)] = clock++;
                stack.emplace_back(child, 0);
                continue;
            }
            _leave[static_cast<std::size_t>(block)] = clock++;
            stack.pop_back();
        }
    }

    bool Reachable(int32_t block) const { return _enter[static_cast<std::size_t>(block)] >= 0; }

    // Every path from the entry to b passes through a; both reachable.
    bool Dominates(int32_t a, int32_t b) const {
        const auto ia = static_cast<std::size_t>(a);
        const auto ib = static_cast<std::size_t>(b);
        return _enter[ia] <= _enter[ib] && _leave[ib] <= _leave[ia];
    }

private:
    std::vector<int32_t> _postNumber;
    std::vector<int32_t> _enter;
    std::vector<int32_t> _leave;
};

// Every local read is dominated by its definition; see IrVerifier::Verify.
void VerifyDominance(std::span<BasicBlock* const> blocks, const std::unordered_map<const INode*, Place>& nodes);

}  // namespace

void IrVerifier::Verify(std::span<BasicBlock* const> blocks) {
    // Lookup-only containers: failures report the first problem in block
    // order, never an order taken from hashing.
    std::unordered_set<const BasicBlock*> blockSet(blocks.begin(), blocks.end());
    std::unordered_map<const INode*, Place> nodes;
    std::vector<const Operand*> locals;
    std::unordered_set<const Operand*> seenLocals;

    for (std::size_t i = 0; i < blocks.size(); i++) {
        const BasicBlock* block = blocks[i];
        if (block->Index != static_cast<int>(i)) Fail(block, "index differs from position " + std::to_string(i));
        for (const BasicBlock* succ : {block->Next(), block->Branch()}) {
            if (succ != nullptr && blockSet.count(succ) == 0) Fail(block, "successor outside the blocks");
        }
    }

    // Incoming edges of every block, counted per source block.
    std::unordered_map<const BasicBlock*, std::unordered_map<const BasicBlock*, int>> edges;
    for (const BasicBlock* block : blocks) {
        if (block->Next() != nullptr) edges[block->Next()][block]++;
        if (block->Branch() != nullptr) edges[block->Branch()][block]++;
    }

    for (const BasicBlock* block : blocks) {
        // Predecessors: exactly one entry per incoming edge.
        const std::unordered_map<const BasicBlock*, int>& expected = edges[block];
        std::unordered_map<const BasicBlock*, int> listed;
        for (const BasicBlock* pred : block->Predecessors) listed[pred]++;
        if (expected != listed) Fail(block, "predecessor list does not match the edges");

        // List links.
        const INode* previous = nullptr;
        int count = 0;
        bool pastPhis = false;
        for (const INode* node = block->Operations.First(); node != nullptr; node = node->ListNext()) {
            if (node->List() != &block->Operations) Fail(block, "node linked into another list");
            if (node->ListPrevious() != previous) Fail(block, "broken previous link");
            if (!nodes.emplace(node, Place{block->Index, count}).second) Fail(block, "node appears twice");
            previous = node;
            count++;

            if (node->IsPhi()) {
                if (pastPhis) Fail(block, "phi after a non-phi node");
                const PhiNode* phi = node->AsPhi();
                for (const PhiNode::PhiSource& source : phi->PhiSources()) {
                    if (blockSet.count(source.Block) == 0) Fail(block, "phi source block outside the blocks");
                }
            } else {
                pastPhis = true;
                const Operation* op = node->AsOperation();
                if (InstructionExtensions::IsBranch(op->Inst) && node->ListNext() != nullptr) Fail(block, "branch in the middle of a block");
            }

            for (int d = 0; d < node->DestsCount(); d++) {
                const Operand* dest = node->GetDest(d);
                if (dest != nullptr && dest->Type == OperandType::LocalVariable) {
                    if (dest->Definition != node) Fail(block, "local destination without its definition link");
                    if (seenLocals.insert(dest).second) locals.push_back(dest);
                }
            }
            for (int s = 0; s < node->SourcesCount(); s++) {
                const Operand* source = node->GetSource(s);
                if (source == nullptr || source->Type != OperandType::LocalVariable) continue;
                const uint32_t registered = source->Uses.RefCount(node);
                if (registered != static_cast<uint32_t>(CountSlots(node, source)) &&
                    !(registered == 0 && IsUnreadDefinition(node))) {
                    Fail(block, "use set of a local does not count this node's sources");
                }
                if (seenLocals.insert(source).second) locals.push_back(source);
            }
        }
        if (previous != block->Operations.Last()) Fail(block, "last link does not match the list end");
        if (count != block->Operations.Count()) Fail(block, "node count does not match the list");

        const INode* last = block->GetLastOp();
        const Operation* lastOp = last != nullptr ? last->AsOperation() : nullptr;
        if (lastOp != nullptr) {
            if (InstructionExtensions::IsBranch(lastOp->Inst) && block->Branch() == nullptr) Fail(block, "branch without a target block");
            bool unconditional = lastOp->Inst == Instruction::Branch || lastOp->Inst == Instruction::Return ||
                                 lastOp->Inst == Instruction::Discard;
            if (unconditional && block->Next() != nullptr) Fail(block, "fall-through after an unconditional end");
        }
    }

    for (const Operand* local : locals) {
        for (const INode* user : local->Uses) {
            if (nodes.count(user) == 0) Fail(nullptr, "a local lists a user that is not in the blocks");
            if (CountSlots(user, local) == 0) Fail(nullptr, "a local lists a user that does not read it");
        }
    }

    VerifyDominance(blocks, nodes);
}

void IrVerifier::VerifyAfter(const char* pass, std::span<BasicBlock* const> blocks) {
    try {
        Verify(blocks);
    } catch (const Common::InvalidOperationException& e) {
        // "IR check failed in block 3: ..." becomes
        // "IR invalid after <pass>: in block 3: ...".
        std::string_view rest(e.what());
        if (rest.starts_with(FailurePrefix)) rest.remove_prefix(FailurePrefix.size());
        if (rest.starts_with(":")) rest.remove_prefix(1);
        if (rest.starts_with(" ")) rest.remove_prefix(1);
        throw Common::InvalidOperationException("IR invalid after " + std::string(pass) + ": " + std::string(rest));
    }
}

namespace {

// FNV-1a over 64-bit words: order-sensitive and cheap; collisions only
// weaken a debugging check.
struct Digest {
    uint64_t Value = 14695981039346656037ull;
    void Add(uint64_t word) {
        for (int i = 0; i < 8; i++) {
            Value ^= (word >> (i * 8)) & 0xFF;
            Value *= 1099511628211ull;
        }
    }
    void Add(const void* pointer) { Add(static_cast<uint64_t>(reinterpret_cast<uintptr_t>(pointer))); }
    void Add(const Operand* operand) {
        Add(static_cast<const void*>(operand));
        if (operand != nullptr) {
            Add(static_cast<uint64_t>(operand->Type));
            Add(static_cast<uint64_t>(static_cast<uint32_t>(operand->Value)));
        }
    }
};

void AddBlock(Digest& digest, const BasicBlock& block) {
    digest.Add(static_cast<uint64_t>(static_cast<uint32_t>(block.Index)));
    digest.Add(static_cast<const void*>(block.Next()));
    digest.Add(static_cast<const void*>(block.Branch()));
    digest.Add(static_cast<uint64_t>(block.Predecessors.size()));
    for (const BasicBlock* pred : block.Predecessors) digest.Add(static_cast<const void*>(pred));
    digest.Add(static_cast<uint64_t>(static_cast<uint32_t>(block.Operations.Count())));
    for (const INode* node = block.Operations.First(); node != nullptr; node = node->ListNext()) {
        digest.Add(static_cast<const void*>(node));
        digest.Add(static_cast<uint64_t>(node->Kind()));
        if (node->IsPhi()) {
            const PhiNode* phi = node->AsPhi();
            digest.Add(phi->GetDest(0));
            for (const PhiNode::PhiSource& source : phi->PhiSources()) {
                digest.Add(static_cast<const void*>(source.Block));
                digest.Add(source.Operand);
            }
            continue;
        }
        const Operation* op = node->AsOperation();
        digest.Add(static_cast<uint64_t>(op->Inst));
        digest.Add(static_cast<uint64_t>(op->StorageKind));
        digest.Add(static_cast<uint64_t>(static_cast<uint32_t>(op->Index)));
        digest.Add(static_cast<uint64_t>(op->ForcePrecise));
        digest.Add(static_cast<uint64_t>(op->DestsCount()));
        for (int d = 0; d < op->DestsCount(); d++) digest.Add(op->GetDest(d));
        digest.Add(static_cast<uint64_t>(op->SourcesCount()));
        for (int s = 0; s < op->SourcesCount(); s++) digest.Add(op->GetSource(s));
        if (const TextureOperation* tex = node->AsTextureOperation()) {
            digest.Add(static_cast<uint64_t>(tex->Type));
            digest.Add(static_cast<uint64_t>(tex->Format));
            digest.Add(static_cast<uint64_t>(tex->Flags));
            for (int32_t field : {tex->Set, tex->Binding, tex->SamplerSet, tex->SamplerBinding})
                digest.Add(static_cast<uint64_t>(static_cast<uint32_t>(field)));
        }
    }
}

}  // namespace

uint64_t IrVerifier::Fingerprint(std::span<BasicBlock* const> blocks) {
    Digest digest;
    digest.Add(static_cast<uint64_t>(blocks.size()));
    for (const BasicBlock* block : blocks) AddBlock(digest, *block);
    return digest.Value;
}

uint64_t IrVerifier::Fingerprint(const BasicBlock& block) {
    Digest digest;
    AddBlock(digest, block);
    return digest.Value;
}

namespace {

void VerifyDominance(std::span<BasicBlock* const> blocks, const std::unordered_map<const INode*, Place>& nodes) {
    const DominatorTree tree(blocks);
    // Where the definition of a local source sits; fails when the definition
    // is a node outside the blocks (a removed node keeps its destinations'
    // links). A local without a definition is a value from outside the
    // function, the form hand-built IR gives its inputs: nothing to check.
    auto definitionOf = [&](const BasicBlock* block, const Operand* source) -> std::optional<Place> {
        if (source->Definition == nullptr) return std::nullopt;
        auto found = nodes.find(source->Definition);
        if (found == nodes.end()) Fail(block, "reads a local whose definition is not in the blocks");
        return found->second;
    };

    for (const BasicBlock* block : blocks) {
        for (const INode* node = block->Operations.First(); node != nullptr; node = node->ListNext()) {
            if (node->IsPhi()) {
                // A phi reads each source on the edge from its block: the
                // definition must dominate the end of that block.
                for (const PhiNode::PhiSource& source : node->AsPhi()->PhiSources()) {
                    if (source.Operand == nullptr || source.Operand->Type != OperandType::LocalVariable) continue;
                    const std::optional<Place> def = definitionOf(block, source.Operand);
                    const int32_t edge = source.Block->Index;
                    if (!def || !tree.Reachable(edge) || def->Block == edge) continue;
                    if (!tree.Reachable(def->Block) || !tree.Dominates(def->Block, edge)) {
                        Fail(block, "phi source from block " + std::to_string(edge) + " is defined in block " +
                                        std::to_string(def->Block) + ", which does not dominate that edge");
                    }
                }
                continue;
            }
            if (!tree.Reachable(block->Index)) continue;
            const int32_t position = nodes.at(node).Position;
            for (int s = 0; s < node->SourcesCount(); s++) {
                const Operand* source = node->GetSource(s);
                if (source == nullptr || source->Type != OperandType::LocalVariable) continue;
                if (source->Uses.RefCount(node) == 0) continue; // a withdrawn read: see IsUnreadDefinition
                // A call's local source that the call itself defines is an
                // out argument of a helper function: written, not read.
                if (source->Definition == node && node->AsOperation()->Inst == Instruction::Call) continue;
                const std::optional<Place> def = definitionOf(block, source);
                if (!def) continue;
                if (def->Block == block->Index) {
                    if (def->Position >= position) {
                        Fail(block, "node " + std::to_string(position) + " reads a local defined by node " +
                                        std::to_string(def->Position) + ", which does not come before it");
                    }
                } else if (!tree.Reachable(def->Block) || !tree.Dominates(def->Block, block->Index)) {
                    Fail(block, "node " + std::to_string(position) + " reads a local defined in block " +
                                    std::to_string(def->Block) + ", which does not dominate it");
                }
            }
        }
    }
}

}  // namespace

} // namespace Zerivox::Graphics::Shader::IntermediateRepresentation
