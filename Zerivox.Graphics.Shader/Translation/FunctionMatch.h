#pragma once
// Recognition of the guest helper functions that implement fragment shader
// interlock in plain code (per-pixel address, last-warp-thread test, begin
// spin and end release). The host has interlock natively, so a recognised
// function is not emitted: calls to the begin/end helpers become one
// FSIBegin/FSIEnd operation and the others vanish.
//
// Each guest function is turned into an instruction dependency tree: a node
// per instruction whose result no later instruction reads (plus a node per
// join block), with the producers of its operands hanging below it. The tree
// is compared with fixed pattern trees. Only DecodedFunction::Type and the
// callee caller sets change; no IR is read or written.
#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <span>
#include <vector>

#include "Zerivox.Graphics.Shader/Decoders/InstName.h"
#include "Zerivox.Graphics.Shader/Decoders/InstOp.h"

namespace Zerivox::Graphics::Shader::Decoders {
class Block;
class DecodedFunction;
class DecodedProgram;
} // namespace Zerivox::Graphics::Shader::Decoders

namespace Zerivox::Graphics::Shader::Translation {

struct FunctionMatch {
    enum class TreeNodeType : uint8_t { Op = 0, Label = 1 };

    struct TreeNode;

    // One input of a node. Without a node, Index is -1 for PT or RZ and
    // -(r + 2) for register r that no earlier instruction of the function
    // writes; with a node it is the node's result number (0 = predicate
    // destination when the instruction has one, else Rd; 1 = Rd after a
    // predicate destination).
    struct TreeNodeUse {
        TreeNode* Node = nullptr;
        int Index = 0;
        bool Inverted = false;
    };

    struct TreeNode {
        std::vector<TreeNodeUse> Uses;
        TreeNodeType Type = TreeNodeType::Op;
        uint8_t Order = 0;
        Decoders::InstOp Op;

        // A label node (the start of a join block).
        explicit TreeNode(uint8_t order) : Type(TreeNodeType::Label), Order(order) {}
        TreeNode(const Decoders::InstOp& op, uint8_t order) : Order(order), Op(op) {}

        // First predicate destination of a set-predicate instruction (bits 3-5).
        int GetPd() const { return static_cast<int>((Op.RawOpCode >> 3) & 7u); }
        int GetRd() const { return static_cast<int>(Op.RawOpCode & 0xFFu); }
    };

    // The dependency tree of one function: Roots in program order; Nodes owns
    // every node (including those below the roots).
    struct Tree {
        std::deque<TreeNode> Nodes;
        std::vector<TreeNode*> Roots;
    };

    struct PatternTreeNode;

    // As TreeNodeUse; without a node, Index -(k + 2) names external register
    // slot k (0-3).
    struct PatternTreeNodeUse {
        const PatternTreeNode* Node = nullptr;
        int Index = 0;
        bool Inverted = false;
    };

    // A pattern node: matches an instruction of the given name whose word
    // satisfies Predicate (a label pattern matches any label).
    struct PatternTreeNode {
        std::vector<PatternTreeNodeUse> Uses;
        std::function<bool(uint64_t)> Predicate;
        Decoders::InstName Name = Decoders::InstName::Invalid;
        TreeNodeType Type = TreeNodeType::Op;
        uint8_t Order = 0;
        bool IsImm = false;

        bool Matches(const Decoders::InstOp& op) const { return op.Name == Name && Predicate(op.RawOpCode); }
    };

    using PatternTree = std::span<const PatternTreeNode* const>;
    using ExternalRegisters = std::array<uint8_t, 4>;

    // Marks the recognised functions of the program. The main function is
    // never matched.
    static void RunPass(Decoders::DecodedProgram& program);

    static Tree BuildTree(std::span<Decoders::Block* const> blocks);

    // Instructions whose place relative to join labels matters: memory,
    // atomic, barrier, texture and surface accesses.
    static bool IsOrderDependant(Decoders::InstName name);

    // externalRegisters may be null for patterns without external uses; a
    // pattern that has some then never matches.
    static bool Matches(PatternTree pattern, std::span<TreeNode* const> tree,
                        const ExternalRegisters* externalRegisters);
    static bool Matches(const PatternTreeNode& pattern, const TreeNode& node,
                        const ExternalRegisters* externalRegisters);

    static bool MatchesFsi(PatternTree pattern, const Decoders::DecodedProgram& program,
                           Decoders::DecodedFunction& function, std::span<TreeNode* const> tree,
                           ExternalRegisters& externalRegisters);

    // The five fixed patterns, built once.
    struct PatternTrees {
        static PatternTree GetFsiGetAddress();
        static PatternTree GetFsiGetAddressV2();
        static PatternTree GetFsiIsLastWarpThread();
        static PatternTree GetFsiBeginPattern();
        static PatternTree GetFsiEndPattern();
    };
};

} // namespace Zerivox::Graphics::Shader::Translation
