#include "Zerivox.Graphics.Shader/Translation/Ssa.h"

#include <algorithm>
#include <array>
#include <string>
#include <utility>
#include <vector>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Common/KeyedPointerTable.h"
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

// What renaming knows about one block: where its end-of-block definitions
// sit in the renamer's shared list, where its operations that still read a
// register after pass 1 sit in another, and the registers that need a phi
// at its start. The definitions of all blocks share one list (each block's
// run sorted by key) instead of a container per block.
struct DefMap {
    uint32_t Start = 0;
    uint32_t Count = 0;
    uint32_t PendingStart = 0;
    uint32_t PendingCount = 0;
    std::array<uint64_t, 5> PhiMasks{};
    PhiNode* LastPhi = nullptr;  // end of the leading phis

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

struct Definition {
    int Key;
    Operand* Value;
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
    // defines are noted for the phis, the operations still reading a
    // register for pass 2.
    void RenameLocals(BasicBlock* block) {
        DefMap& defs = Defs(block);
        defs.PendingStart = static_cast<uint32_t>(_pending.size());
        for (INode* node : block->Operations) {
            Operation* op = node->AsOperation();
            if (op == nullptr) continue;
            bool pending = false;
            // The operand arrays stay in place while single operands are
            // replaced, so they are read directly rather than through the
            // index-checked accessors.
            const Operation::Operands sources = op->Sources();
            for (std::size_t i = 0; i < sources.size(); i++) {
                Operand* source = sources[i];
                if (source != nullptr && source->Type == OperandType::Register) {
                    const int key = GetKeyFromRegister(source->GetRegister());
                    Operand* local = _local.Get(key);
                    if (local != nullptr) {
                        op->SetSource(static_cast<int>(i), local);
                    } else {
                        _readBeforeDefined[static_cast<std::size_t>(key)] = true;
                        pending = true;
                    }
                }
            }
            if (pending) _pending.push_back(op);
            const Operation::Operands dests = op->Dests();
            for (std::size_t i = 0; i < dests.size(); i++) {
                Operand* dest = dests[i];
                if (dest != nullptr && dest->Type == OperandType::Register) {
                    Operand* local = OperandHelper::MakeLocal(_arena);
                    _local.Add(GetKeyFromRegister(dest->GetRegister()), local);
                    op->SetDest(static_cast<int>(i), local);
                }
            }
        }

        defs.PendingCount = static_cast<uint32_t>(_pending.size()) - defs.PendingStart;
        defs.Start = static_cast<uint32_t>(_defs.size());
        defs.Count = static_cast<uint32_t>(_local.UsedCount());
        for (int u = 0; u < _local.UsedCount(); u++) {
            int key = _local.GetUsedKey(u);
            _defs.push_back(Definition{key, _local.Get(key)});
            if (_definitionsPerKey[static_cast<std::size_t>(key)]++ == 0) _definedKeys.push_back(key);
        }
        std::sort(_defs.begin() + defs.Start, _defs.end(),
                  [](const Definition& a, const Definition& b) { return a.Key < b.Key; });
        _local.Clear();
    }

    // Every register needs a phi wherever the iterated dominance frontier of
    // the blocks defining it reaches: one frontier query per register.
    // Only the registers some block defines are visited, each once; the
    // order of the queries does not matter, as each only sets marks.
    void MarkPhis() {
        if (_defs.empty()) return;
        // Where each defined register's blocks start in byKey; the other
        // registers' entries are never read.
        std::array<int32_t, RegisterKeyCount> start;
        int32_t total = 0;
        for (int key : _definedKeys) {
            start[static_cast<std::size_t>(key)] = total;
            total += _definitionsPerKey[static_cast<std::size_t>(key)];
        }
        // Blocks defining each register, in block order.
        std::vector<int32_t> byKey(_defs.size());
        std::array<int32_t, RegisterKeyCount> fill;
        for (int key : _definedKeys) fill[static_cast<std::size_t>(key)] = start[static_cast<std::size_t>(key)];
        for (std::size_t b = 0; b < _defMaps.size(); b++) {
            const DefMap& defs = _defMaps[b];
            for (uint32_t d = defs.Start; d < defs.Start + defs.Count; d++) {
                byKey[static_cast<std::size_t>(fill[static_cast<std::size_t>(_defs[d].Key)]++)] = static_cast<int32_t>(b);
            }
        }

        Dominance::IteratedFrontier frontier(_blocks);
        for (int key : _definedKeys) {
            const auto k = static_cast<std::size_t>(key);
            // Phi marks are only ever asked for registers that some block
            // reads before defining them (pass 2 resolves nothing else).
            if (!_readBeforeDefined[k]) continue;
            std::span<const int32_t> defs(byKey.data() + start[k], static_cast<std::size_t>(_definitionsPerKey[k]));
            for (int32_t block : frontier.Compute(defs)) _defMaps[static_cast<std::size_t>(block)].AddPhi(key);
        }
    }

    // Pass 2: registers still read without a local get the definition that
    // reaches the block's start. Only the operations pass 1 left reading a
    // register are visited, in block order as before; nothing else in the
    // block has a register source left.
    void RenameGlobals(BasicBlock* block) {
        const DefMap& defs = Defs(block);
        for (uint32_t p = defs.PendingStart; p < defs.PendingStart + defs.PendingCount; p++) {
            Operation* op = _pending[p];
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
        if (Operand* value = ValueAtEnd(stop, key)) return value;
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
            if (defs.HasPhi(key) || LocalDefinition(defs, key) != nullptr) {
                stop = d;
                break;
            }
            if (const void* skip = _skip.Find(SkipSlot(d, key))) {
                stop = skip == &_skip ? nullptr : static_cast<BasicBlock*>(const_cast<void*>(skip));
                break;
            }
            _path.push_back(d);
            BasicBlock* up = d->ImmediateDominator;
            if (up == nullptr || up == d) break;
            d = up;
        }
        // The table holds no null: a chain without a stop is marked with the
        // table's own address, which is no block.
        const void* mark = stop != nullptr ? static_cast<const void*>(stop) : static_cast<const void*>(&_skip);
        for (BasicBlock* passed : _path) _skip.Set(SkipSlot(passed, key), mark);
        return stop;
    }

    // The register's definition made inside the block, or null.
    Operand* LocalDefinition(const DefMap& defs, int key) const {
        auto first = _defs.begin() + defs.Start;
        auto last = first + defs.Count;
        auto it = std::lower_bound(first, last, key, [](const Definition& e, int k) { return e.Key < k; });
        return it != last && it->Key == key ? it->Value : nullptr;
    }

    // The register's value at the end of the block as far as renaming knows
    // it: the block's own definition, else its phi once made; null otherwise.
    Operand* ValueAtEnd(const BasicBlock* block, int key) {
        const DefMap& defs = Defs(block);
        if (Operand* value = LocalDefinition(defs, key)) return value;
        return defs.HasPhi(key) ? _phiValues.Find(SkipSlot(block, key)) : nullptr;
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
        // One source comes from each predecessor.
        phi->ReserveSources(block->Predecessors.size());
        // Entered before the sources are looked up, so that a loop's back
        // edge finds this phi instead of asking for another one. A block's
        // own definition stays its value at the end, and a second phi for a
        // register leaves the first one the block's value.
        const uint64_t slot = SkipSlot(block, key);
        if (_phiValues.Find(slot) == nullptr) _phiValues.Set(slot, local);
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
            } else if (Operand* value = ValueAtEnd(stop, key)) {
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
    // End-of-block definitions of every block, see DefMap.
    std::vector<Definition> _defs;
    // Operations left reading a register by pass 1, block after block.
    std::vector<Operation*> _pending;
    std::array<int32_t, RegisterKeyCount> _definitionsPerKey{};
    // The registers with a definition somewhere, in the order first met.
    std::vector<int> _definedKeys;
    // By SkipSlot: the phi value of a block that has one for the register.
    Common::KeyedPointerTable<Operand> _phiValues;
    // By SkipSlot: FindStop's answer for a block passed on the way (the
    // table's address when the chain had none). Lookup only, never iterated.
    Common::KeyedPointerTable<const void> _skip;
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
