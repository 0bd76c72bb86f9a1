#include "Zerivox.Graphics.Shader/StructuredIr/GotoElimination.h"

#include <unordered_set>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstArena.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstHelper.h"

namespace Zerivox::Graphics::Shader::StructuredIr {

using IntermediateRepresentation::Instruction;

namespace {

[[noreturn]] void ElseWithoutIf() {
    throw Common::InvalidOperationException("Found an else without a matching if.");
}

// The If block an Else belongs to: the node right before it.
AstBlock* MatchingIf(AstBlock* elseBlock) {
    AstBlock* ifBlock = As<AstBlock>(AstHelper::Previous(elseBlock));
    if (ifBlock == nullptr || ifBlock->Type != AstBlockType::If) ElseWithoutIf();
    return ifBlock;
}

} // namespace

AstBlock* GotoElimination::ParentBlock(IAstNode* node) {
    AstBlock* parent = node->Parent();
    if (parent == nullptr) throw Common::InvalidOperationException("A goto or its label is not in the tree.");
    return parent;
}

int32_t GotoElimination::Level(AstBlock* block) {
    int32_t level = 0;
    for (AstBlock* current = block; current != nullptr; current = current->Parent()) level++;
    return level;
}

bool GotoElimination::DirectlyRelated(AstBlock* lBlock, AstBlock* rBlock, int32_t lLevel, int32_t rLevel) {
    if (lLevel == rLevel) return false;
    AstBlock* deeper = lLevel > rLevel ? lBlock : rBlock;
    AstBlock* shallower = lLevel > rLevel ? rBlock : lBlock;
    int32_t steps = lLevel > rLevel ? lLevel - rLevel : rLevel - lLevel;
    for (int32_t i = 0; i < steps && deeper != nullptr; i++) deeper = deeper->Parent();
    return deeper == shallower;
}

std::vector<AstBlock*> GotoElimination::BackwardsPath(AstBlock* top, AstBlock* bottom) {
    std::vector<AstBlock*> path;
    for (AstBlock* block = bottom; block != top; block = block->Parent()) {
        if (block == nullptr) throw Common::InvalidOperationException("A label is not inside the goto's block.");
        path.push_back(block);
    }
    return path;
}

bool GotoElimination::IsSameCond(IAstNode* lCond, IAstNode* rCond) {
    AstOperation* lNot = As<AstOperation>(lCond);
    if (lNot != nullptr && lNot->Inst == Instruction::LogicalNot) {
        AstOperation* rNot = As<AstOperation>(rCond);
        if (rNot == nullptr || rNot->Inst != Instruction::LogicalNot) return false;
        if (lNot->SourcesCount() == 0 || rNot->SourcesCount() == 0) return false;
        return lNot->GetSource(0) == rNot->GetSource(0);
    }
    return lCond == rCond;
}

bool GotoElimination::BlockMatches(IAstNode* node, AstBlockType type, IAstNode* cond) {
    AstBlock* block = As<AstBlock>(node);
    return block != nullptr && block->Type == type && IsSameCond(block->Condition(), cond);
}

bool GotoElimination::ContainsCondComb(IAstNode* node, Instruction inst, IAstNode* cond) {
    // Many gotos through one block grow its condition by one term each; the
    // search only avoids repeating a term (which would change nothing), so it
    // gives up after a fixed depth instead of making the elimination quadratic.
    constexpr int32_t MaxTermsSearched = 16;
    int32_t searched = 0;
    for (AstOperation* operation = As<AstOperation>(node);
         operation != nullptr && operation->SourcesCount() == 2 && searched < MaxTermsSearched;
         operation = As<AstOperation>(operation->GetSource(0)), searched++) {
        if (operation->Inst == inst && IsSameCond(operation->GetSource(1), cond)) return true;
    }
    return false;
}

AstBlock* GotoElimination::Enclose(AstArena& arena, AstBlock* block, AstBlockType type, IAstNode* cond,
                                   IAstNode* first, IAstNode* last) {
    if (first == last) return nullptr;
    if (type == AstBlockType::If) cond = AstHelper::InverseCond(arena, cond);
    if (AstHelper::Next(first) == last && BlockMatches(first, type, cond)) return static_cast<AstBlock*>(first);

    AstBlock* enclosed = arena.New<AstBlock>(type, cond);
    block->AddBefore(first, enclosed);
    for (IAstNode* node = first; node != last;) {
        if (node == nullptr) {
            throw Common::InvalidOperationException("The end of an enclosed range is not in its block.");
        }
        IAstNode* next = AstHelper::Next(node);
        block->Remove(node);
        enclosed->Add(node);
        node = next;
    }
    return enclosed;
}

void GotoElimination::EncloseSingleInst(AstArena& arena, GotoStatement& stmt, Instruction inst) {
    AstBlock* block = ParentBlock(stmt.Goto);
    AstBlock* guard = arena.New<AstBlock>(AstBlockType::If, stmt.Condition());
    block->AddAfter(stmt.Goto, guard);
    AstOperation* jump = arena.New<AstOperation>(inst, std::span<IAstNode* const>());
    guard->Add(jump);
}

AstBlock* GotoElimination::EncloseDoWhile(AstArena& arena, GotoStatement& stmt, AstBlock* block, IAstNode* node) {
    if (block->Type == AstBlockType::DoWhile && block->First() == node) {
        if (AstHelper::Next(stmt.Goto) != nullptr || block->Condition() != stmt.Condition()) {
            EncloseSingleInst(arena, stmt, Instruction::LoopContinue);
        }
        if (!ContainsCondComb(block->Condition(), Instruction::LogicalOr, stmt.Condition())) {
            block->OrCondition(arena, stmt.Condition());
        }
        return block;
    }
    return Enclose(arena, block, AstBlockType::DoWhile, stmt.Condition(), node, stmt.Goto);
}

void GotoElimination::MoveOutward(AstArena& arena, GotoStatement& stmt, int32_t gLevel, int32_t lLevel) {
    AstBlock* origin = ParentBlock(stmt.Goto);
    AstBlock* holder = origin;

    // Leaving a loop takes a break; the goto then continues from right after
    // the outermost loop it leaves.
    AstBlock* block = origin;
    for (int32_t level = gLevel; level > lLevel; level--) {
        AstBlock* parent = block->Parent();
        if (parent == nullptr) throw Common::InvalidOperationException("A goto climbed above the main block.");
        if (block->Type == AstBlockType::DoWhile) {
            EncloseSingleInst(arena, stmt, Instruction::LoopBreak);
            holder->Remove(stmt.Goto);
            parent->AddAfter(block, stmt.Goto);
            holder = parent;
            gLevel = level - 1;
        }
        block = parent;
    }

    const bool unconditionalFromIf = stmt.IsUnconditional() && origin->Type == AstBlockType::If;
    while (gLevel > lLevel) {
        Enclose(arena, holder, AstBlockType::If, stmt.Condition(), AstHelper::Next(stmt.Goto));

        AstBlock* parent = holder->Parent();
        if (parent == nullptr) throw Common::InvalidOperationException("A goto climbed above the main block.");
        holder->Remove(stmt.Goto);
        AstBlock* after = holder;
        AstBlock* elseBlock = As<AstBlock>(AstHelper::Next(holder));
        if (elseBlock != nullptr && elseBlock->Type == AstBlockType::Else) after = elseBlock;
        holder = parent;
        holder->AddAfter(after, stmt.Goto);
        gLevel--;

        if (unconditionalFromIf && after == origin) {
            // Whatever followed the If up to the label ran only when the If
            // was not taken: it becomes the If's Else.
            IAstNode* last = stmt.Label->Parent() == holder && !stmt.IsLoop ? stmt.Label : nullptr;
            AstBlock* otherwise = Enclose(arena, holder, AstBlockType::Else, nullptr, AstHelper::Next(stmt.Goto), last);
            if (otherwise != nullptr) {
                holder->Remove(stmt.Goto);
                holder->AddAfter(otherwise, stmt.Goto);
            }
        }
    }
}

void GotoElimination::MoveInward(AstArena& arena, GotoStatement& stmt) {
    AstBlock* block = ParentBlock(stmt.Goto);
    std::vector<AstBlock*> path = BackwardsPath(block, ParentBlock(stmt.Label));

    for (auto it = path.rbegin(); it != path.rend(); ++it) {
        AstBlock* child = *it;
        IAstNode* first = child;

        if (child->Type == AstBlockType::If) {
            // Enter the If when the goto is taken.
            if (!ContainsCondComb(child->Condition(), Instruction::LogicalOr, stmt.Condition())) {
                child->OrCondition(arena, stmt.Condition());
            }
        } else if (child->Type == AstBlockType::Else) {
            // Skip the matching If (so that the Else runs) when the goto is taken.
            AstBlock* ifBlock = MatchingIf(child);
            first = ifBlock;
            AstOperation* notTaken = AstHelper::InverseCond(arena, stmt.Condition());
            if (!ContainsCondComb(ifBlock->Condition(), Instruction::LogicalAnd, notTaken)) {
                ifBlock->AndCondition(arena, notTaken);
            }
        }

        Enclose(arena, block, AstBlockType::If, stmt.Condition(), AstHelper::Next(stmt.Goto), first);
        block->Remove(stmt.Goto);
        child->AddFirst(stmt.Goto);
        block = child;
    }
}

void GotoElimination::Lift(AstArena& arena, GotoStatement& stmt) {
    AstBlock* block = ParentBlock(stmt.Goto);
    std::vector<AstBlock*> path = BackwardsPath(block, ParentBlock(stmt.Label));
    if (path.empty()) throw Common::InvalidOperationException("Lifting a goto whose label is in its own block.");

    IAstNode* first = path.back();
    if (path.back()->Type == AstBlockType::Else) first = MatchingIf(path.back());

    AstBlock* loop = EncloseDoWhile(arena, stmt, block, first);
    block->Remove(stmt.Goto);
    loop->AddFirst(stmt.Goto);
    stmt.IsLoop = false;
}

void GotoElimination::Eliminate(AstArena& arena, std::span<GotoStatement> gotos) {
    // Every goto moves through the blocks between it and its label and may
    // add guards and loops there, so hostile control flow (thousands of
    // crossing jumps) grows the tree quadratically. Past these bounds the
    // shader is rejected instead of exhausting time and memory.
    constexpr std::size_t MaxNodes = std::size_t{1} << 20;
    constexpr int64_t MaxLevelsWalked = int64_t{1} << 26;
    int64_t levelsWalked = 0;

    for (auto it = gotos.rbegin(); it != gotos.rend(); ++it) {
        GotoStatement& stmt = *it;

        AstBlock* gBlock = ParentBlock(stmt.Goto);
        AstBlock* lBlock = ParentBlock(stmt.Label);
        int32_t gLevel = Level(gBlock);
        int32_t lLevel = Level(lBlock);

        levelsWalked += gLevel + lLevel;
        if (levelsWalked > MaxLevelsWalked || arena.Count() > MaxNodes) {
            throw Common::InvalidOperationException("The control flow is too complex to structure.");
        }

        if (gBlock != lBlock && !DirectlyRelated(gBlock, lBlock, gLevel, lLevel)) {
            // Different branches of the tree: climb to the closest block that
            // is related to the label's, which is their closest common
            // ancestor (the label's block cannot lie above the goto's here).
            std::unordered_set<const AstBlock*> labelAncestors;
            for (AstBlock* block = lBlock->Parent(); block != nullptr; block = block->Parent()) {
                labelAncestors.insert(block);
            }
            AstBlock* ancestor = gBlock;
            int32_t level = gLevel;
            do {
                ancestor = ancestor->Parent();
                level--;
                if (ancestor == nullptr) throw Common::InvalidOperationException("A goto and its label share no block.");
            } while (labelAncestors.count(ancestor) == 0);

            MoveOutward(arena, stmt, gLevel, level);
            gBlock = ParentBlock(stmt.Goto);
            gLevel = level;

            lBlock = ParentBlock(stmt.Label);
            lLevel = Level(lBlock);
            AstBlock* before = As<AstBlock>(AstHelper::Previous(stmt.Goto));
            if (before != nullptr && before->Type == AstBlockType::Else &&
                (before == lBlock || DirectlyRelated(before, lBlock, gLevel + 1, lLevel))) {
                stmt.IsLoop = true;
            }
        }

        if (DirectlyRelated(gBlock, lBlock, gLevel, lLevel)) {
            if (gLevel > lLevel) {
                MoveOutward(arena, stmt, gLevel, lLevel);
            } else {
                if (stmt.IsLoop) Lift(arena, stmt);
                MoveInward(arena, stmt);
            }
        }

        AstBlock* block = ParentBlock(stmt.Goto);
        if (ParentBlock(stmt.Label) != block) {
            throw Common::InvalidOperationException("A goto did not reach the block of its label.");
        }
        if (stmt.IsLoop) {
            EncloseDoWhile(arena, stmt, block, stmt.Label);
        } else {
            Enclose(arena, block, AstBlockType::If, stmt.Condition(), AstHelper::Next(stmt.Goto), stmt.Label);
        }
        block->Remove(stmt.Goto);
    }
}

} // namespace Zerivox::Graphics::Shader::StructuredIr
