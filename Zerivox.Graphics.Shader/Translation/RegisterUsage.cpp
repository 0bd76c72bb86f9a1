#include "Zerivox.Graphics.Shader/Translation/RegisterUsage.h"

#include <bit>
#include <string>
#include <utility>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrArena.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"

namespace Zerivox::Graphics::Shader::Translation::RegisterUsage {

using namespace IntermediateRepresentation;
using Common::ArgumentOutOfRangeException;
using Decoders::Register;
using Decoders::RegisterType;

uint64_t RegisterMask::GetMask(int index) const {
    switch (index) {
        case 0:
            return GprWord0;
        case 1:
            return GprWord1;
        case 2:
            return GprWord2;
        case 3:
            return GprWord3;
        case 4:
            return PredicateWord;
        case 5:
            return FlagWord;
        default:
            throw ArgumentOutOfRangeException("Specified argument was out of the range of valid values. (Parameter 'index')");
    }
}

int RegisterMask::GetHashCode() const {
    uint64_t h = 0x9E3779B97F4A7C15ull;
    for (int i = 0; i < 6; i++) {
        h ^= GetMask(i) + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
    }
    return static_cast<int>(static_cast<uint32_t>(h ^ (h >> 32)));
}

namespace {

// The one bit of a register; the zero register and the true predicate are
// never passed, and indices outside a type's range have no bit.
RegisterMask GetMask(Register reg) {
    RegisterMask mask;
    if (reg.Index < 0) return mask;
    uint64_t bit = 1ull << (reg.Index % 64);
    switch (reg.Type) {
        case RegisterType::Gpr:
            if (reg.Index >= Register::ZeroIndex) return mask;
            if (reg.Index < 64) mask.GprWord0 = bit;
            else if (reg.Index < 128) mask.GprWord1 = bit;
            else if (reg.Index < 192) mask.GprWord2 = bit;
            else mask.GprWord3 = bit;
            break;
        case RegisterType::Predicate:
            if (reg.Index < Register::PredicateTrueIndex) mask.PredicateWord = bit;
            break;
        case RegisterType::Flag:
            if (reg.Index < 64) mask.FlagWord = bit;
            break;
    }
    return mask;
}

std::pair<RegisterType, int> GetRegTypeAndBaseIndex(int word) {
    if (word < 4) return {RegisterType::Gpr, word * 64};
    if (word == 4) return {RegisterType::Predicate, 0};
    return {RegisterType::Flag, 0};
}

bool EndsWithReturn(const BasicBlock* block) {
    const INode* last = block->GetLastOp();
    const Operation* op = last != nullptr ? last->AsOperation() : nullptr;
    return op != nullptr && op->Inst == Instruction::Return;
}

// Registers of a mask in argument order: GPRs, predicates, flags, each ascending.
template <typename F>
void ForEachRegister(const RegisterMask& mask, F&& f) {
    for (int w = 0; w < 6; w++) {
        uint64_t bits = mask.GetMask(w);
        auto [type, base] = GetRegTypeAndBaseIndex(w);
        while (bits != 0) {
            int bit = std::countr_zero(bits);
            bits &= bits - 1;
            f(Register(base + bit, type));
        }
    }
}

// In and out registers as masks, for the callers of a function.
struct CallEffect {
    RegisterMask In;
    RegisterMask Out;
    friend bool operator==(const CallEffect&, const CallEffect&) = default;
};

int CalleeId(const Operation* call, std::size_t functionCount) {
    if (call->SourcesCount() == 0 || call->GetSource(0)->Type != OperandType::Constant) {
        throw Common::InvalidOperationException("Call without a constant function id.");
    }
    int id = call->GetSource(0)->Value;
    if (id < 0 || static_cast<std::size_t>(id) >= functionCount) {
        throw ArgumentOutOfRangeException("Call to unknown function id " + std::to_string(id) + ".");
    }
    return id;
}

// Result of the mask analysis of one function.
struct Analysis {
    std::vector<RegisterMask> GlobalInputs;
    RegisterMask AllOutputs;
    RegisterMask AllCommonOutputs = RegisterMask::AllOnes();

    RegisterMask LoadMask(const BasicBlock* block) const {
        return GlobalInputs[static_cast<std::size_t>(block->Index)] | (AllOutputs & ~AllCommonOutputs);
    }
};

// Local masks, then the fixed point over the graph. callEffects, when not
// empty, gives what a Call to each function id reads and writes.
Analysis Analyze(const ControlFlowGraph& cfg, std::span<const CallEffect> callEffects) {
    std::size_t n = cfg.Blocks.size();
    std::vector<RegisterMask> localInputs(n), localOutputs(n), globalCommonOutputs(n), globalOutputs(n);
    Analysis result;
    result.GlobalInputs.assign(n, RegisterMask());
    std::vector<RegisterMask>& globalInputs = result.GlobalInputs;

    for (std::size_t b = 0; b < n; b++) {
        RegisterMask& in = localInputs[b];
        RegisterMask& out = localOutputs[b];
        for (INode* node : cfg.Blocks[b]->Operations) {
            Operation* op = node->AsOperation();
            if (op == nullptr) continue;
            for (Operand* source : op->Sources()) {
                if (source != nullptr && source->Type == OperandType::Register) {
                    in = in | (GetMask(source->GetRegister()) & ~out);
                }
            }
            if (op->Inst == Instruction::Call && !callEffects.empty()) {
                const CallEffect& effect = callEffects[static_cast<std::size_t>(CalleeId(op, callEffects.size()))];
                in = in | (effect.In & ~out);
                out = out | effect.Out;
            }
            for (Operand* dest : op->Dests()) {
                if (dest != nullptr && dest->Type == OperandType::Register) out = out | GetMask(dest->GetRegister());
            }
        }
    }

    auto idx = [](const BasicBlock* block) { return static_cast<std::size_t>(block->Index); };
    const auto& po = cfg.PostOrderBlocks;

    auto sweep = [&](bool firstPass) {
        bool changed = false;
        for (std::size_t i = po.size(); i-- > 0;) {
            BasicBlock* block = po[i];
            std::size_t b = idx(block);
            if (!block->Predecessors.empty()) {
                BasicBlock* first = block->Predecessors[0];
                RegisterMask common = localOutputs[idx(first)] | globalCommonOutputs[idx(first)];
                RegisterMask outputs = globalOutputs[idx(first)];
                for (std::size_t p = 1; p < block->Predecessors.size(); p++) {
                    std::size_t q = idx(block->Predecessors[p]);
                    common = common & (localOutputs[q] | globalCommonOutputs[q]);
                    outputs = outputs | globalOutputs[q];
                }
                globalInputs[b] = globalInputs[b] | (outputs & ~common);
                if (!firstPass) common = common & globalCommonOutputs[b];
                if (EndsWithReturn(block)) {
                    result.AllCommonOutputs = result.AllCommonOutputs & (common | localOutputs[b]);
                }
                if (common != globalCommonOutputs[b]) {
                    globalCommonOutputs[b] = common;
                    changed = true;
                }
                outputs = outputs | localOutputs[b];
                RegisterMask merged = globalOutputs[b] | outputs;
                if (merged != globalOutputs[b]) {
                    globalOutputs[b] = merged;
                    result.AllOutputs = result.AllOutputs | outputs;
                    changed = true;
                }
            } else if (localOutputs[b] != globalOutputs[b]) {
                globalOutputs[b] = localOutputs[b];
                result.AllOutputs = result.AllOutputs | localOutputs[b];
                changed = true;
            }
        }

        for (BasicBlock* block : po) {
            std::size_t b = idx(block);
            RegisterMask inputs = localInputs[b];
            if (block->Next() != nullptr) inputs = inputs | globalInputs[idx(block->Next())];
            if (block->Branch() != nullptr) inputs = inputs | globalInputs[idx(block->Branch())];
            inputs = inputs & ~globalCommonOutputs[b];
            RegisterMask merged = globalInputs[b] | inputs;
            if (merged != globalInputs[b]) {
                globalInputs[b] = merged;
                changed = true;
            }
        }
        return changed;
    };

    sweep(true);
    while (sweep(false)) {
    }
    return result;
}

// What callers see of a function: the registers its entry copies in and the
// registers its returns copy out (none without a Return).
CallEffect EffectOf(const ControlFlowGraph& cfg, const Analysis& analysis) {
    CallEffect effect;
    bool haveIn = false;
    bool hasReturn = false;
    for (BasicBlock* block : cfg.Blocks) {
        if (block->Predecessors.empty() && !haveIn) {
            effect.In = analysis.LoadMask(block);
            haveIn = true;
        }
        hasReturn |= EndsWithReturn(block);
    }
    if (hasReturn) effect.Out = analysis.AllOutputs;
    return effect;
}

void LoadLocals(BasicBlock* block, const RegisterMask& mask, std::vector<Register>& registers) {
    bool fill = registers.empty();
    IrArena& arena = block->Arena();
    int argIndex = 0;
    INode* previous = nullptr;
    ForEachRegister(mask, [&](Register reg) {
        if (fill) registers.push_back(reg);
        Operand* dest = OperandHelper::Register(arena, reg);
        Operand* argument = OperandHelper::MakeArgument(arena, argIndex++);
        Operation* copy = arena.NewOperation(Instruction::Copy, dest, {argument});
        if (previous == nullptr) {
            block->Operations.AddFirst(copy);
        } else {
            block->Operations.AddAfter(previous, copy);
        }
        previous = copy;
    });
}

void StoreLocals(BasicBlock* block, const RegisterMask& mask, int firstOutArgument, std::vector<Register>& registers) {
    bool fill = registers.empty();
    IrArena& arena = block->Arena();
    int argIndex = firstOutArgument;
    INode* previous = nullptr;
    ForEachRegister(mask, [&](Register reg) {
        if (fill) registers.push_back(reg);
        Operand* argument = OperandHelper::MakeArgument(arena, argIndex++);
        Operand* source = OperandHelper::Register(arena, reg);
        Operation* copy = arena.NewOperation(Instruction::Copy, argument, {source});
        if (previous == nullptr) {
            block->Operations.AddBefore(block->GetLastOp(), copy);
        } else {
            block->Operations.AddAfter(previous, copy);
        }
        previous = copy;
    });
}

FunctionRegisterUsage InsertCopies(ControlFlowGraph& cfg, const Analysis& analysis) {
    FunctionRegisterUsage usage;
    for (BasicBlock* block : cfg.Blocks) {
        if (block->Predecessors.empty()) LoadLocals(block, analysis.LoadMask(block), usage.InArguments);
        if (EndsWithReturn(block)) {
            StoreLocals(block, analysis.AllOutputs, static_cast<int>(usage.InArguments.size()), usage.OutArguments);
        }
    }
    return usage;
}

}  // namespace

FunctionRegisterUsage RunPass(ControlFlowGraph& cfg) {
    Analysis analysis = Analyze(cfg, {});
    return InsertCopies(cfg, analysis);
}

std::vector<FunctionRegisterUsage> RunPass(std::span<ControlFlowGraph* const> graphs) {
    std::size_t n = graphs.size();
    std::vector<CallEffect> effects(n);
    std::vector<Analysis> analyses(n);

    // Out-registers only grow from round to round; once they are stable the
    // in-registers only grow as well, so the rounds end. The bound is a
    // guard against a fault in that reasoning, not a limit real code meets.
    const std::size_t maxRounds = 4 + 2 * (n + 1) * 6 * 64;
    bool changed = true;
    for (std::size_t round = 0; changed; round++) {
        if (round == maxRounds) {
            throw Common::InvalidOperationException("Register passing between functions did not settle.");
        }
        changed = false;
        for (std::size_t i = 1; i < n; i++) {
            if (graphs[i] == nullptr) continue;
            analyses[i] = Analyze(*graphs[i], effects);
            CallEffect effect = EffectOf(*graphs[i], analyses[i]);
            if (!(effect == effects[i])) {
                effects[i] = effect;
                changed = true;
            }
        }
    }

    std::vector<FunctionRegisterUsage> usages(n);
    for (std::size_t i = 1; i < n; i++) {
        if (graphs[i] != nullptr) usages[i] = InsertCopies(*graphs[i], analyses[i]);
    }
    return usages;
}

void FixupCalls(std::span<BasicBlock* const> blocks, std::span<const FunctionRegisterUsage> usages) {
    for (BasicBlock* block : blocks) {
        for (INode* node : block->Operations) {
            Operation* op = node->AsOperation();
            if (op == nullptr || op->Inst != Instruction::Call) continue;
            const FunctionRegisterUsage& usage = usages[static_cast<std::size_t>(CalleeId(op, usages.size()))];
            IrArena& arena = op->Arena();

            std::vector<Operand*> sources;
            sources.reserve(usage.InArguments.size());
            for (Register reg : usage.InArguments) sources.push_back(OperandHelper::Register(arena, reg));
            op->AppendSources(sources);

            std::vector<Operand*> dests;
            dests.reserve(usage.OutArguments.size() + 1);
            dests.push_back(nullptr);
            for (Register reg : usage.OutArguments) dests.push_back(OperandHelper::Register(arena, reg));
            op->AppendDests(dests);
        }
    }
}

} // namespace Zerivox::Graphics::Shader::Translation::RegisterUsage
