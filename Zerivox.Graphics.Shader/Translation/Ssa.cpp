#include "Zerivox.Graphics.Shader/Translation/Ssa.h"

#include <algorithm>
#include <array>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrArena.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"
#include "Zerivox.Graphics.Shader/Translation/Dominance.h"

namespace Zerivox::Graphics::Shader::Translation::Ssa {

using namespace IntermediateRepresentation;
using Common::ArgumentOutOfRangeException;
using Decoders::Register;
using Decoders::RegisterType;

namespace {

constexpr int PredicateKeyBase = 255;
constexpr int FlagKeyBase = 262;

// What renaming knows about one block: the register values live at its end
// and the registers that need a phi at its start.
struct DefMap {
    // Sorted by key; blocks define few registers, so a flat vector beats a
    // hash map per block.
    std::vector<std::pair<int, Operand*>> Map;
    std::array<uint64_t, 5> PhiMasks{};
    PhiNode* LastPhi = nullptr;  // end of the leading phis

    void TryAddOperand(int key, Operand* operand) {
        auto it = std::lower_bound(Map.begin(), Map.end(), key,
                                   [](const std::pair<int, Operand*>& e, int k) { return e.first < k; });
        if (it == Map.end() || it->first != key) Map.insert(it, {key, operand});
    }
    Operand* TryGetOperand(int key) const {
        auto it = std::lower_bound(Map.begin(), Map.end(), key,
                                   [](const std::pair<int, Operand*>& e, int k) { return e.first < k; });
        return it != Map.end() && it->first == key ? it->second : nullptr;
    }
    bool AddPhi(int key) {
        uint64_t bit = 1ull << (key & 63);
        uint64_t& word = PhiMasks[static_cast<std::size_t>(key >> 6)];
        if ((word & bit) != 0) return false;
        word |= bit;
        return true;
    }
    bool HasPhi(int key) const { return (PhiMasks[static_cast<std::size_t>(key >> 6)] & (1ull << (key & 63))) != 0; }
};

// Current definitions inside the block being processed; clearing touches
// only the keys that were set.
class LocalDefMap {
public:
    LocalDefMap() { _map.fill(nullptr); }
    void Add(int key, Operand* operand) {
        if (_map[static_cast<std::size_t>(key)] == nullptr) _used[_usedCount++] = key;
        _map[static_cast<std::size_t>(key)] = operand;
    }
    Operand* Get(int key) const { return _map[static_cast<std::size_t>(key)]; }
    int UsedCount() const { return _usedCount; }
    int GetUsedKey(int i) const { return _used[static_cast<std::size_t>(i)]; }
    void Clear() {
        for (int i = 0; i < _usedCount; i++) _map[static_cast<std::size_t>(_used[static_cast<std::size_t>(i)])] = nullptr;
        _usedCount = 0;
    }

private:
    std::array<Operand*, RegisterKeyCount> _map;
    std::array<int, RegisterKeyCount> _used{};
    int _usedCount = 0;
};

class Renamer {
public:
    Renamer(IrArena& arena, std::span<BasicBlock* const> blocks)
        : _arena(arena), _blocks(blocks), _defMaps(blocks.size()) {}

    void Run() {
        for (BasicBlock* block : _blocks) RenameLocals(block);
        MarkPhis();
        for (BasicBlock* block : _blocks) RenameGlobals(block);
    }

private:
    DefMap& Defs(const BasicBlock* block) {
        auto index = static_cast<std::size_t>(block->Index);
        if (block->Index < 0 || index >= _blocks.size() || _blocks[index] != block) {
            throw Common::InvalidOperationException("An edge or frontier leaves the function's blocks.");
        }
        return _defMaps[index];
    }

    // Pass 1: reads and writes inside one block; the registers the block
    // defines are noted for the phis.
    void RenameLocals(BasicBlock* block) {
        for (INode* node : block->Operations) {
            Operation* op = node->AsOperation();
            if (op == nullptr) continue;
            for (int i = 0; i < op->SourcesCount(); i++) {
                Operand* source = op->GetSource(i);
                if (source != nullptr && source->Type == OperandType::Register) {
                    const int key = GetKeyFromRegister(source->GetRegister());
                    Operand* local = _local.Get(key);
                    if (local != nullptr) {
                        op->SetSource(i, local);
                    } else {
                        _readBeforeDefined[static_cast<std::size_t>(key)] = true;
                    }
                }
            }
            for (int i = 0; i < op->DestsCount(); i++) {
                Operand* dest = op->GetDest(i);
                if (dest != nullptr && dest->Type == OperandType::Register) {
                    Operand* local = OperandHelper::MakeLocal(_arena);
                    _local.Add(GetKeyFromRegister(dest->GetRegister()), local);
                    op->SetDest(i, local);
                }
            }
        }

        DefMap& defs = Defs(block);
        for (int u = 0; u < _local.UsedCount(); u++) {
            int key = _local.GetUsedKey(u);
            defs.TryAddOperand(key, _local.Get(key));
            _definitions.emplace_back(key, block->Index);
        }
        _local.Clear();
    }

    // Every register needs a phi wherever the iterated dominance frontier of
    // the blocks defining it reaches: one frontier query per register.
    void MarkPhis() {
        if (_definitions.empty()) return;
        std::array<int32_t, RegisterKeyCount + 1> start{};
        for (const auto& [key, block] : _definitions) start[static_cast<std::size_t>(key) + 1]++;
        for (std::size_t k = 0; k < RegisterKeyCount; k++) start[k + 1] += start[k];
        std::vector<int32_t> byKey(_definitions.size());
        std::array<int32_t, RegisterKeyCount> fill{};
        std::copy(start.begin(), start.end() - 1, fill.begin());
        for (const auto& [key, block] : _definitions) byKey[static_cast<std::size_t>(fill[static_cast<std::size_t>(key)]++)] = block;

        Dominance::IteratedFrontier frontier(_blocks);
        for (std::size_t key = 0; key < RegisterKeyCount; key++) {
            // Phi marks are only ever asked for registers that some block
            // reads before defining them (pass 2 resolves nothing else).
            if (start[key] == start[key + 1] || !_readBeforeDefined[key]) continue;
            std::span<const int32_t> defs(byKey.data() + start[key], static_cast<std::size_t>(start[key + 1] - start[key]));
            for (int32_t block : frontier.Compute(defs)) _defMaps[static_cast<std::size_t>(block)].AddPhi(static_cast<int>(key));
        }
    }

    // Pass 2: registers still read without a local get the definition that
    // reaches the block's start.
    void RenameGlobals(BasicBlock* block) {
        for (INode* node : block->Operations) {
            Operation* op = node->AsOperation();
            if (op == nullptr) continue;  // phis made by this pass
            for (int i = 0; i < op->SourcesCount(); i++) {
                Operand* source = op->GetSource(i);
                if (source == nullptr || source->Type != OperandType::Register) continue;
                int key = GetKeyFromRegister(source->GetRegister());
                Operand* value = _local.Get(key);
                if (value == nullptr) {
                    value = FindDefinitionForCurr(block, key);
                    _local.Add(key, value);
                }
                op->SetSource(i, value);
            }
        }
        _local.Clear();
    }

    Operand* FindDefinitionForCurr(BasicBlock* block, int key) {
        if (Defs(block).HasPhi(key)) return InsertPhi(block, key);
        BasicBlock* idom = block->ImmediateDominator;
        // The entry dominates itself; a block the entry does not reach has no
        // dominator. Neither has an earlier definition to find.
        if (idom == nullptr || idom == block) return OperandHelper::MakeUndefined(_arena);
        return FindDefinition(idom, key);
    }

    // Value at the end of block: the block and its dominators, nearest first.
    Operand* FindDefinition(BasicBlock* block, int key) {
        BasicBlock* stop = FindStop(block, key);
        if (stop == nullptr) return OperandHelper::MakeUndefined(_arena);
        if (Operand* value = Defs(stop).TryGetOperand(key)) return value;
        return InsertPhi(stop, key);
    }

    // The nearest block on the dominator chain from block (itself included)
    // that defines the register at its end or needs a phi for it; null when
    // the chain ends without one. Blocks passed on the way have neither and
    // never get either later (only phi-marked blocks gain definitions), so
    // the answer for them is remembered: without that, reads of a register
    // set near the entry would walk the whole chain again from every block,
    // quadratic in the depth of the dominator tree.
    BasicBlock* FindStop(BasicBlock* block, int key) {
        _path.clear();
        BasicBlock* stop = nullptr;
        for (BasicBlock* d = block;;) {
            const DefMap& defs = Defs(d);
            if (defs.TryGetOperand(key) != nullptr || defs.HasPhi(key)) {
                stop = d;
                break;
            }
            auto skip = _skip.find(SkipSlot(d, key));
            if (skip != _skip.end()) {
                stop = skip->second;
                break;
            }
            _path.push_back(d);
            BasicBlock* up = d->ImmediateDominator;
            if (up == nullptr || up == d) break;
            d = up;
        }
        for (BasicBlock* passed : _path) _skip.emplace(SkipSlot(passed, key), stop);
        return stop;
    }

    static uint64_t SkipSlot(const BasicBlock* block, int key) {
        return static_cast<uint64_t>(block->Index) * RegisterKeyCount + static_cast<uint64_t>(key);
    }

    PhiNode* CreatePhi(BasicBlock* block, int key) {
        Operand* local = OperandHelper::MakeLocal(_arena);
        PhiNode* phi = _arena.NewPhi(local);
        DefMap& defs = Defs(block);
        if (defs.LastPhi != nullptr) {
            block->Operations.AddAfter(defs.LastPhi, phi);
        } else {
            block->Operations.AddFirst(phi);
        }
        defs.LastPhi = phi;
        // Entered before the sources are looked up, so that a loop's back
        // edge finds this phi instead of asking for another one.
        defs.TryAddOperand(key, local);
        return phi;
    }

    // Makes a phi at block and fills its sources from the predecessors. A
    // source lookup that meets another block needing a phi makes that phi
    // first and completes it before going on, as a recursive walk would; the
    // walk keeps its own stack because chains of merges can be as long as
    // the function.
    Operand* InsertPhi(BasicBlock* block, int key) {
        // The stack is a member so that its storage serves every phi of the
        // function; this walk never starts another while it runs.
        std::vector<PhiFrame>& stack = _phiStack;
        stack.clear();
        PhiNode* root = CreatePhi(block, key);
        stack.push_back(PhiFrame{root, block, 0, nullptr, nullptr});

        while (!stack.empty()) {
            PhiFrame& top = stack.back();
            if (top.PendingValue != nullptr) {
                top.Phi->AddSource(top.PendingBlock, top.PendingValue);
                top.PendingValue = nullptr;
            }
            if (top.Next == top.Block->Predecessors.size()) {
                stack.pop_back();
                continue;
            }
            BasicBlock* pred = top.Block->Predecessors[top.Next++];

            BasicBlock* stop = FindStop(pred, key);
            if (stop == nullptr) {
                Operand* undefined = OperandHelper::MakeUndefined(_arena);
                top.Phi->AddSource(pred, undefined);
            } else if (Operand* value = Defs(stop).TryGetOperand(key)) {
                top.Phi->AddSource(stop, value);
            } else {
                PhiNode* child = CreatePhi(stop, key);
                top.PendingBlock = stop;
                top.PendingValue = child->Dest;
                stack.push_back(PhiFrame{child, stop, 0, nullptr, nullptr});  // top is stale from here
            }
        }
        return root->Dest;
    }

    struct PhiFrame {
        PhiNode* Phi;
        BasicBlock* Block;
        std::size_t Next;
        BasicBlock* PendingBlock;
        Operand* PendingValue;
    };

    IrArena& _arena;
    std::span<BasicBlock* const> _blocks;
    std::vector<DefMap> _defMaps;
    LocalDefMap _local;
    std::vector<std::pair<int, int32_t>> _definitions;  // (key, block) in the order met
    std::unordered_map<uint64_t, BasicBlock*> _skip;  // lookup only, never iterated
    std::vector<BasicBlock*> _path;
    std::vector<PhiFrame> _phiStack;
    // Registers read in some block before any write there.
    std::array<bool, RegisterKeyCount> _readBeforeDefined{};
};

}  // namespace

namespace {

// Kept out of line so that the key lookup, run for every register operand,
// stays small enough to inline.
[[noreturn, gnu::noinline, gnu::cold]] void ThrowNoKey(Register reg) {
    throw ArgumentOutOfRangeException("Register " + std::to_string(reg.Index) + " of type " +
                                      std::to_string(static_cast<int>(reg.Type)) + " has no SSA key.");
}

}  // namespace

int GetKeyFromRegister(Register reg) {
    switch (reg.Type) {
        case RegisterType::Gpr:
            if (reg.Index >= 0 && reg.Index < PredicateKeyBase) return reg.Index;
            break;
        case RegisterType::Predicate:
            if (reg.Index >= 0 && reg.Index < FlagKeyBase - PredicateKeyBase) return PredicateKeyBase + reg.Index;
            break;
        default:
            if (reg.Index >= 0 && reg.Index < RegisterKeyCount - FlagKeyBase) return FlagKeyBase + reg.Index;
            break;
    }
    ThrowNoKey(reg);
}

Register GetRegisterFromKey(int key) {
    if (key < 0 || key >= RegisterKeyCount) {
        throw ArgumentOutOfRangeException("Invalid register key " + std::to_string(key) + ". (Parameter 'key')");
    }
    if (key < PredicateKeyBase) return Register(key, RegisterType::Gpr);
    if (key < FlagKeyBase) return Register(key - PredicateKeyBase, RegisterType::Predicate);
    return Register(key - FlagKeyBase, RegisterType::Flag);
}

void Rename(std::span<BasicBlock* const> blocks) {
    if (blocks.empty()) return;
    for (std::size_t i = 0; i < blocks.size(); i++) {
        if (blocks[i]->Index != static_cast<int>(i)) {
            throw Common::InvalidOperationException("Block at position " + std::to_string(i) + " has index " +
                                                    std::to_string(blocks[i]->Index) + ".");
        }
    }
    Renamer renamer(blocks[0]->Arena(), blocks);
    renamer.Run();
}

} // namespace Zerivox::Graphics::Shader::Translation::Ssa
