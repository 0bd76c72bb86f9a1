#pragma once
#include <cstdint>
#include <span>
#include <vector>

#include "Zerivox.Graphics.Shader/Decoders/Register.h"
#include "Zerivox.Graphics.Shader/Translation/ControlFlowGraph.h"

namespace Zerivox::Graphics::Shader::Translation::RegisterUsage {

// A set of guest registers: GPR 0-255 in words 0-3, predicates in word 4,
// condition-code flags in word 5.
struct RegisterMask {
    uint64_t GprWord0 = 0;
    uint64_t GprWord1 = 0;
    uint64_t GprWord2 = 0;
    uint64_t GprWord3 = 0;
    uint64_t PredicateWord = 0;
    uint64_t FlagWord = 0;

    constexpr RegisterMask() = default;
    constexpr RegisterMask(uint64_t g0, uint64_t g1, uint64_t g2, uint64_t g3, uint64_t p, uint64_t f)
        : GprWord0(g0), GprWord1(g1), GprWord2(g2), GprWord3(g3), PredicateWord(p), FlagWord(f) {}

    static constexpr RegisterMask AllOnes() {
        return RegisterMask(~0ull, ~0ull, ~0ull, ~0ull, ~0ull, ~0ull);
    }

    // Word 0-5; any other number raises ArgumentOutOfRangeException ("index").
    uint64_t GetMask(int index) const;

    bool Equals(const RegisterMask& other) const { return *this == other; }
    int GetHashCode() const;
    friend constexpr bool operator==(const RegisterMask&, const RegisterMask&) = default;

    friend constexpr RegisterMask operator&(const RegisterMask& a, const RegisterMask& b) {
        return RegisterMask(a.GprWord0 & b.GprWord0, a.GprWord1 & b.GprWord1, a.GprWord2 & b.GprWord2,
                            a.GprWord3 & b.GprWord3, a.PredicateWord & b.PredicateWord, a.FlagWord & b.FlagWord);
    }
    friend constexpr RegisterMask operator|(const RegisterMask& a, const RegisterMask& b) {
        return RegisterMask(a.GprWord0 | b.GprWord0, a.GprWord1 | b.GprWord1, a.GprWord2 | b.GprWord2,
                            a.GprWord3 | b.GprWord3, a.PredicateWord | b.PredicateWord, a.FlagWord | b.FlagWord);
    }
    friend constexpr RegisterMask operator~(const RegisterMask& a) {
        return RegisterMask(~a.GprWord0, ~a.GprWord1, ~a.GprWord2, ~a.GprWord3, ~a.PredicateWord, ~a.FlagWord);
    }
};

// Registers a called function receives (in-arguments 0..n-1) and returns
// (out-arguments n..n+m-1), each in register order: GPRs ascending, then
// predicates, then flags. The main function has the default (empty) record.
struct FunctionRegisterUsage {
    std::vector<Decoders::Register> InArguments;
    std::vector<Decoders::Register> OutArguments;
};

// Works out the registers one called function reads and writes, inserts the
// argument copies at its entry and before each Return, and returns the two
// lists. Takes the graph as ControlFlowGraph::Create leaves it (no SSA yet;
// Create also guarantees an entry block that nothing branches to). Calls in
// the function count as touching no register: use the whole-program form
// when functions call each other.
FunctionRegisterUsage RunPass(ControlFlowGraph& cfg);

// The same for every function of a program at once; graphs[i] is the graph
// of function id i. A call inside a function counts as reading its callee's
// in-registers and writing its out-registers, worked out to a fixed point
// over the whole call graph (also through recursion), so a register that
// only a nested callee reads or writes is still passed through every caller
// on the way. Function 0, the main function, passes nothing: its record is
// the default one and it gets no copies. A null graph gets the default record.
std::vector<FunctionRegisterUsage> RunPass(std::span<ControlFlowGraph* const> graphs);

// Completes every Call of the blocks: the callee's in-registers are appended
// as sources, a null slot plus its out-registers as destinations. usages has
// one record per function id; a callee id outside it raises
// ArgumentOutOfRangeException.
void FixupCalls(std::span<IntermediateRepresentation::BasicBlock* const> blocks,
                std::span<const FunctionRegisterUsage> usages);

} // namespace Zerivox::Graphics::Shader::Translation::RegisterUsage
