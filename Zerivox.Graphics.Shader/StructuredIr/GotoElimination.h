#pragma once
// Removes the pending gotos of one function: each goto is moved through the
// block tree until it shares a block with its label, the statements it skips
// are guarded by its goto temp, and the remaining jump becomes an If (forward)
// or a DoWhile (backward). Afterwards the only jumps left are LoopBreak and
// LoopContinue inside If blocks.
#include <cstdint>
#include <span>
#include <vector>

#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Instruction.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstBlock.h"
#include "Zerivox.Graphics.Shader/StructuredIr/GotoStatement.h"

namespace Zerivox::Graphics::Shader::StructuredIr {

class AstArena;

struct GotoElimination {
    // Gotos in creation order; they are processed from the last to the first.
    static void Eliminate(AstArena& arena, std::span<GotoStatement> gotos);

    // Whether one block is an ancestor of the other (false for equal levels).
    static bool DirectlyRelated(AstBlock* lBlock, AstBlock* rBlock, int32_t lLevel, int32_t rLevel);
    static void Lift(AstArena& arena, GotoStatement& stmt);
    static void MoveOutward(AstArena& arena, GotoStatement& stmt, int32_t gLevel, int32_t lLevel);
    static void MoveInward(AstArena& arena, GotoStatement& stmt);
    // Whether cond is already combined into node with inst (LogicalOr or
    // LogicalAnd), looking down the chain of first sources.
    static bool ContainsCondComb(IAstNode* node, IntermediateRepresentation::Instruction inst, IAstNode* cond);
    static AstBlock* EncloseDoWhile(AstArena& arena, GotoStatement& stmt, AstBlock* block, IAstNode* node);
    static void EncloseSingleInst(AstArena& arena, GotoStatement& stmt, IntermediateRepresentation::Instruction inst);
    // Wraps the nodes of block from first up to, not including, last (nullptr:
    // to the end) into a new block; an If gets the negation of cond.
    static AstBlock* Enclose(AstArena& arena, AstBlock* block, AstBlockType type, IAstNode* cond, IAstNode* first,
                             IAstNode* last = nullptr);
    static bool BlockMatches(IAstNode* node, AstBlockType type, IAstNode* cond);
    // Identity of conditions, seeing through one LogicalNot on both sides.
    static bool IsSameCond(IAstNode* lCond, IAstNode* rCond);
    static AstBlock* ParentBlock(IAstNode* node);
    // The blocks from bottom up to, not including, top; bottom first.
    static std::vector<AstBlock*> BackwardsPath(AstBlock* top, AstBlock* bottom);
    // Number of blocks from block up to the main block, both included.
    static int32_t Level(AstBlock* block);
};

} // namespace Zerivox::Graphics::Shader::StructuredIr
