#pragma once
// Tidies one structured function before it joins the program: folds
// single-use temporaries and cheap unary expressions into their readers,
// deletes assignments nobody reads (both skipped in debug mode, which keeps
// every intermediate value visible) and removes If/Else blocks that ended up
// empty.
#include "Zerivox.Graphics.Shader/StructuredIr/IAstNode.h"

namespace Zerivox::Graphics::Shader::StructuredIr {

class AstArena;
class AstBlock;
class AstOperand;
class StructuredProgramContext;

struct AstOptimizer {
    static void Optimize(StructuredProgramContext& context);

    // Atomics, calls and image atomics: never moved, never dropped.
    static bool HasSideEffects(const IAstNode* node);
    // A unary operation over a plain operand (or a copy): cheap enough to
    // repeat at every reader.
    static bool IsWorthPropagating(const IAstNode* source);
    // Replaces every read of propVar by source.
    static void PropagateExpression(AstOperand* propVar, IAstNode* source);
    static void RemoveEmptyBlocks(AstArena& arena, AstBlock* mainBlock);
};

} // namespace Zerivox::Graphics::Shader::StructuredIr
