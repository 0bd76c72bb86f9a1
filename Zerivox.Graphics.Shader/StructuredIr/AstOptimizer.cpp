#include "Zerivox.Graphics.Shader/StructuredIr/AstOptimizer.h"

#include <deque>
#include <unordered_set>
#include <vector>

#include "Zerivox.Graphics.Shader/IntermediateRepresentation/InstructionExtensions.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/TextureFlags.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstArena.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstAssignment.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstBlock.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstBlockVisitor.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstHelper.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstOperand.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstTextureOperation.h"
#include "Zerivox.Graphics.Shader/StructuredIr/InstructionInfo.h"
#include "Zerivox.Graphics.Shader/StructuredIr/StructuredProgramContext.h"

namespace Zerivox::Graphics::Shader::StructuredIr {

using IntermediateRepresentation::Instruction;
using IntermediateRepresentation::OperandType;
using IntermediateRepresentation::StorageKind;
using IntermediateRepresentation::TextureFlags;

namespace {

// Upper bound of nodes looked at when proving that one propagation is safe;
// beyond it the value simply stays in its variable.
constexpr int32_t CheckBudget = 256;

// Memory whose contents can change while the shader runs (read-only
// constant buffers and inputs cannot).
bool ReadsMutableMemory(const AstOperation& operation) {
    Instruction code = IntermediateRepresentation::InstCode(operation.Inst);
    if (code == Instruction::ImageLoad) return true;
    if (code != Instruction::Load) return false;
    switch (operation.StorageKind) {
    case StorageKind::ConstantBuffer:
    case StorageKind::Input:
    case StorageKind::InputPerPatch:
        return false;
    default:
        return true;
    }
}

// Results that depend on which invocations execute the operation together
// (derivatives, implicit level of detail, subgroup operations): such an
// operation must not be moved into other control flow.
bool DependsOnControlFlow(const AstOperation& operation) {
    switch (IntermediateRepresentation::InstCode(operation.Inst)) {
    case Instruction::Ddx:
    case Instruction::Ddy:
    case Instruction::Lod:
    case Instruction::Ballot:
    case Instruction::VoteAll:
    case Instruction::VoteAllEqual:
    case Instruction::VoteAny:
    case Instruction::Shuffle:
    case Instruction::ShuffleDown:
    case Instruction::ShuffleUp:
    case Instruction::ShuffleXor:
    case Instruction::SwizzleAdd:
        return true;
    case Instruction::TextureSample: {
        const AstTextureOperation* texOp = As<AstTextureOperation>(&operation);
        if (texOp == nullptr) return true;
        auto explicitLod = static_cast<uint32_t>(TextureFlags::LodLevel) |
                           static_cast<uint32_t>(TextureFlags::Derivatives) |
                           static_cast<uint32_t>(TextureFlags::IntCoords) | static_cast<uint32_t>(TextureFlags::Gather);
        return (static_cast<uint32_t>(texOp->Flags) & explicitLod) == 0;
    }
    default:
        return false;
    }
}

// Statements after which a value read from memory may differ.
bool WritesOrOrdersMemory(Instruction inst) {
    if (IntermediateRepresentation::InstructionExtensions::IsAtomic(inst)) return true;
    switch (IntermediateRepresentation::InstCode(inst)) {
    case Instruction::Store:
    case Instruction::ImageStore:
    case Instruction::ImageAtomic:
    case Instruction::Call:
    case Instruction::Barrier:
    case Instruction::MemoryBarrier:
    case Instruction::GroupMemoryBarrier:
    case Instruction::FSIBegin:
    case Instruction::FSIEnd:
    case Instruction::EmitVertex:
    case Instruction::EndPrimitive:
        return true;
    default:
        return false;
    }
}

// Statements after which fewer invocations may be running together.
bool MayDiverge(Instruction inst) {
    switch (IntermediateRepresentation::InstCode(inst)) {
    case Instruction::LoopBreak:
    case Instruction::LoopContinue:
    case Instruction::Return:
    case Instruction::Discard:
    case Instruction::Call:
        return true;
    default:
        return false;
    }
}

// Number of places in user that read v.
int32_t ReferencesOf(IAstNode* user, const AstOperand* v) {
    if (AstOperation* operation = As<AstOperation>(user)) {
        int32_t count = 0;
        for (IAstNode* source : operation->Sources()) count += source == v ? 1 : 0;
        return count;
    }
    if (AstAssignment* assignment = As<AstAssignment>(user)) return assignment->Source() == v ? 1 : 0;
    if (AstBlock* block = As<AstBlock>(user)) return block->Condition() == v ? 1 : 0;
    return 0;
}

int32_t TotalReferences(const AstOperand* v) {
    int32_t total = 0;
    for (IAstNode* user : v->Uses) total += ReferencesOf(user, v);
    return total;
}

// Proves that evaluating an assignment's source at each reader of its
// variable gives the value the assignment computed. The readers must all lie
// after the assignment in its block (or nested in what follows), and between
// the assignment and every reader nothing may redefine a local the source
// reads, write or order memory the source reads, or (for control-flow
// dependent sources) branch, loop or diverge. A reader inside a loop sees the
// whole loop in between. Anything the check cannot see (readers elsewhere,
// shared expression nodes, a too large region) keeps the variable.
class PropagationCheck {
public:
    PropagationCheck(AstAssignment* assignment, AstOperand* variable,
                     const std::unordered_set<const IAstNode*>& sharedNodes)
        : _assignment(assignment), _variable(variable), _sharedNodes(sharedNodes) {}

    bool Run() {
        if (!Summarize(_assignment->Source())) return false;

        struct Frame {
            AstBlock* Block;
            IAstNode* Node;
        };
        std::vector<Frame> stack;
        stack.push_back(Frame{_assignment->Parent(), AstHelper::Next(_assignment)});

        while (!stack.empty()) {
            Frame& frame = stack.back();
            if (frame.Node == nullptr) {
                if (stack.size() == 1) return false;
                AstBlock* finished = frame.Block;
                stack.pop_back();
                if (finished->Type == AstBlockType::DoWhile) {
                    // The loop condition is evaluated after the body.
                    if (!ExamineCondition(finished, static_cast<int32_t>(stack.size()))) return false;
                    if (--_loopDepth == 0) _pendingLoop = false;
                }
                if (Done()) return true;
                continue;
            }

            IAstNode* node = frame.Node;
            frame.Node = AstHelper::Next(node);
            if (++_steps > CheckBudget) return false;
            const auto depth = static_cast<int32_t>(stack.size()) - 1;

            if (AstBlock* block = As<AstBlock>(node)) {
                if (block->Type != AstBlockType::DoWhile && !ExamineCondition(block, depth)) return false;
                if (_sensitive) _hazardSeen = true;
                if (block->Type == AstBlockType::DoWhile) _loopDepth++;
                stack.push_back(Frame{block, block->First()});
                continue;
            }

            if (!ExamineStatement(node, depth)) return false;
            if (IsHazard(node)) {
                if (_pendingLoop) return false;
                _hazardSeen = true;
            }
            if (Done()) return true;
        }
        return false;
    }

private:
    bool Done() const { return _found.size() == _variable->Uses.Count() && !_pendingLoop; }

    // Collects what the source reads; false when it is too large to check.
    bool Summarize(IAstNode* source) {
        std::vector<IAstNode*> pending{source};
        while (!pending.empty()) {
            IAstNode* node = pending.back();
            pending.pop_back();
            if (++_steps > CheckBudget) return false;
            if (AstOperand* operand = As<AstOperand>(node)) {
                if (operand->Type == OperandType::LocalVariable) _readLocals.insert(operand);
            } else if (AstOperation* operation = As<AstOperation>(node)) {
                _readsMemory = _readsMemory || ReadsMutableMemory(*operation);
                _sensitive = _sensitive || DependsOnControlFlow(*operation);
                for (IAstNode* child : operation->Sources()) pending.push_back(child);
            }
        }
        return true;
    }

    bool IsHazard(IAstNode* statement) const {
        for (AstOperand* local : _readLocals) {
            if (local->Defs.Contains(statement)) return true;
        }
        AstOperation* root = As<AstOperation>(statement);
        if (AstAssignment* assignment = As<AstAssignment>(statement)) root = As<AstOperation>(assignment->Source());
        if (root == nullptr) return false;
        if (_readsMemory && WritesOrOrdersMemory(root->Inst)) return true;
        return _sensitive && MayDiverge(root->Inst);
    }

    bool Use(IAstNode* user, bool shared, int32_t depth) {
        if (_hazardSeen || shared || (_sensitive && depth > 0)) return false;
        _found.insert(user);
        if (_loopDepth > 0) _pendingLoop = true;
        return true;
    }

    bool ExamineExpression(IAstNode* root, int32_t depth) {
        std::vector<std::pair<IAstNode*, bool>> pending{{root, false}};
        while (!pending.empty()) {
            auto [node, inShared] = pending.back();
            pending.pop_back();
            AstOperation* operation = As<AstOperation>(node);
            if (operation == nullptr) continue;
            if (++_steps > CheckBudget) return false;
            bool shared = inShared || _sharedNodes.count(operation) != 0;
            if (_variable->Uses.Contains(operation) && !Use(operation, shared, depth)) return false;
            for (IAstNode* child : operation->Sources()) pending.emplace_back(child, shared);
        }
        return true;
    }

    bool ExamineCondition(AstBlock* block, int32_t depth) {
        if (block->Condition() == nullptr) return true;
        if (_variable->Uses.Contains(block) && !Use(block, false, depth)) return false;
        return ExamineExpression(block->Condition(), depth);
    }

    bool ExamineStatement(IAstNode* statement, int32_t depth) {
        if (AstAssignment* assignment = As<AstAssignment>(statement)) {
            if (_variable->Uses.Contains(assignment) && !Use(assignment, false, depth)) return false;
            return ExamineExpression(assignment->Source(), depth);
        }
        return ExamineExpression(statement, depth);
    }

    AstAssignment* _assignment;
    AstOperand* _variable;
    const std::unordered_set<const IAstNode*>& _sharedNodes;

    std::unordered_set<AstOperand*> _readLocals;
    bool _readsMemory = false;
    bool _sensitive = false;

    std::unordered_set<IAstNode*> _found;
    bool _hazardSeen = false;
    bool _pendingLoop = false;
    int32_t _loopDepth = 0;
    int32_t _steps = 0;
};

bool HasCallUser(const AstOperand* v) {
    for (IAstNode* user : v->Uses) {
        const AstOperation* operation = As<AstOperation>(user);
        if (operation != nullptr && operation->Inst == Instruction::Call) return true;
    }
    return false;
}

} // namespace

bool AstOptimizer::HasSideEffects(const IAstNode* node) {
    const AstOperation* operation = As<AstOperation>(node);
    if (operation == nullptr) return false;
    return IntermediateRepresentation::InstructionExtensions::HasSideEffects(operation->Inst);
}

bool AstOptimizer::IsWorthPropagating(const IAstNode* source) {
    const AstOperation* operation = As<AstOperation>(source);
    if (operation == nullptr || !InstructionInfo::IsUnary(operation->Inst)) return false;
    if (operation->Inst == Instruction::Copy) return true;
    return operation->SourcesCount() > 0 && Is<AstOperand>(operation->GetSource(0));
}

void AstOptimizer::PropagateExpression(AstOperand* propVar, IAstNode* source) {
    for (IAstNode* user : propVar->Uses.Snapshot()) {
        if (AstBlock* block = As<AstBlock>(user)) {
            block->SetCondition(source);
        } else if (AstOperation* operation = As<AstOperation>(user)) {
            for (int32_t i = 0; i < operation->SourcesCount(); i++) {
                if (operation->GetSource(i) == propVar) operation->SetSource(i, source);
            }
        } else if (AstAssignment* assignment = As<AstAssignment>(user)) {
            assignment->SetSource(source);
        }
    }
}

void AstOptimizer::Optimize(StructuredProgramContext& context) {
    StructuredFunction& function = *context.CurrentFunction;
    AstBlock* mainBlock = function.MainBlock;

    if (!context.DebugMode) {
        // Expression nodes that now sit at more than one place of the tree.
        std::unordered_set<const IAstNode*> sharedNodes;

        AstBlockVisitor visitor(mainBlock);
        for (IAstNode* node : visitor.Visit()) {
            AstAssignment* assignment = As<AstAssignment>(node);
            if (assignment == nullptr) continue;
            AstOperand* variable = As<AstOperand>(assignment->Destination());
            if (variable == nullptr) continue;

            IAstNode* source = assignment->Source();
            const bool side = HasSideEffects(source);
            // One reader means one reference: a binary expression folded into
            // a reader that names the variable twice would be evaluated (and
            // written out) twice per level, growing exponentially in chains.
            const int32_t references = TotalReferences(variable);
            const bool worth = !side && ((variable->Uses.Count() == 1 && references == 1) || IsWorthPropagating(source));

            if (worth && variable->Defs.Count() == 1 && !HasCallUser(variable) &&
                PropagationCheck(assignment, variable, sharedNodes).Run()) {
                PropagateExpression(variable, source);
                if (references > 1) sharedNodes.insert(source);
            }

            if (variable->Type == OperandType::LocalVariable && variable->Uses.empty() && !side) {
                assignment->Parent()->Remove(assignment);
                // The variable stays declared while anything else still writes it.
                AstHelper::RemoveDef(variable, assignment);
                if (variable->Defs.empty()) function.Locals.Remove(variable);
            }
        }
    }

    RemoveEmptyBlocks(context.Arena(), mainBlock);
}

void AstOptimizer::RemoveEmptyBlocks(AstArena& arena, AstBlock* mainBlock) {
    std::deque<AstBlock*> queue{mainBlock};
    while (!queue.empty()) {
        AstBlock* block = queue.front();
        queue.pop_front();

        for (IAstNode* child : *block) {
            if (AstBlock* nested = As<AstBlock>(child)) queue.push_back(nested);
        }

        AstBlock* parent = block->Parent();
        if (parent == nullptr || block->Count() != 0) continue;

        if (block->Type == AstBlockType::If) {
            AstBlock* next = As<AstBlock>(AstHelper::Next(block));
            if (next != nullptr && next->Type == AstBlockType::Else) {
                AstOperation* inverted = AstHelper::InverseCond(arena, block->Condition());
                next->SetCondition(inverted);
                next->Type = AstBlockType::If;
            }
            parent->Remove(block);
        } else if (block->Type == AstBlockType::Else) {
            parent->Remove(block);
        }
    }
}

} // namespace Zerivox::Graphics::Shader::StructuredIr
