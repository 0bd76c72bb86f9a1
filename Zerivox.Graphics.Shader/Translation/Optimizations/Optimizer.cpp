#include "Zerivox.Graphics.Shader/Translation/Optimizations/Optimizer.h"

#include <bit>
#include <span>
#include <string>
#include <vector>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/IGpuAccessor.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/InstructionExtensions.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IoVariable.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrVerifier.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/NodeList.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/PhiNode.h"
#include "Zerivox.Graphics.Shader/Translation/Optimizations/BindlessElimination.h"
#include "Zerivox.Graphics.Shader/Translation/Optimizations/BindlessToArray.h"
#include "Zerivox.Graphics.Shader/Translation/Optimizations/BranchElimination.h"
#include "Zerivox.Graphics.Shader/Translation/Optimizations/ConstantFolding.h"
#include "Zerivox.Graphics.Shader/Translation/Optimizations/DoubleToFloat.h"
#include "Zerivox.Graphics.Shader/Translation/Optimizations/GlobalToStorage.h"
#include "Zerivox.Graphics.Shader/Translation/Optimizations/Simplification.h"
#include "Zerivox.Graphics.Shader/Translation/Optimizations/Utils.h"
#include "Zerivox.Graphics.Shader/Translation/Optimizations/XmadOptimizer.h"
#include "Zerivox.Graphics.Shader/Translation/Transforms/TransformContext.h"

namespace Zerivox::Graphics::Shader::Translation::Optimizations {

using namespace IntermediateRepresentation;

namespace {

// Destination slots of a node. The fixed-point loop asks every node on every
// round whether it is dead, so this reads the node's own arrays instead of
// dispatching per index. Every node that is not a phi is an Operation.
std::span<Operand* const> DestSlots(const INode* node) {
    if (node->IsPhi()) {
        const PhiNode* phi = static_cast<const PhiNode*>(node);
        return {&phi->Dest, phi->Dest != nullptr ? 1u : 0u};
    }
    return static_cast<const Operation*>(node)->Dests();
}

bool AllDestsLocal(std::span<Operand* const> dests) {
    if (dests.empty())
        return false;
    for (const Operand* dest : dests) {
        if (dest != nullptr && dest->Type != OperandType::LocalVariable)
            return false;
    }
    return true;
}

bool NoDestUsed(std::span<Operand* const> dests) {
    for (const Operand* dest : dests) {
        if (dest != nullptr && !dest->Uses.empty())
            return false;
    }
    return true;
}

// In builds that verify IR: the function's IR after the named step.
void CheckAfter(const char* pass, std::span<BasicBlock* const> blocks) {
    if constexpr (VerifyIrAfterPasses) IrVerifier::VerifyAfter(pass, blocks);
}

// Throws when a step reported leaving the IR alone but changed it: the second
// clean-up is skipped on that report, so it must not miss a change.
void CheckReport(const char* pass, bool reported, bool changed) {
    if (changed && !reported) {
        throw Common::InvalidOperationException(std::string("IR invalid after ") + pass +
                                                ": it changed the IR but reported no change.");
    }
}

// A step of the pipeline over the whole function that reports whether it
// changed the IR; in builds that verify IR the report is checked.
template <typename Step> bool RunFunctionStep(const char* pass, std::span<BasicBlock* const> blocks, Step&& step) {
    if constexpr (VerifyIrAfterPasses) {
        const uint64_t before = IrVerifier::Fingerprint(blocks);
        const bool reported = step();
        CheckReport(pass, reported, IrVerifier::Fingerprint(blocks) != before);
        IrVerifier::VerifyAfter(pass, blocks);
        return reported;
    } else {
        return step();
    }
}

// A per-block step of the pipeline that reports whether it changed its block,
// checked in builds that verify IR. The whole function is verified only when
// the step changed its block: a step that left its block alone cannot have
// broken anything, and verifying after every step on every block would cost
// the square of the function's size.
template <typename Step> bool RunBlockStep(const char* pass, std::span<BasicBlock* const> blocks, BasicBlock& block,
                                           Step&& step) {
    if constexpr (VerifyIrAfterPasses) {
        const uint64_t before = IrVerifier::Fingerprint(block);
        const bool reported = step();
        const bool changed = IrVerifier::Fingerprint(block) != before;
        CheckReport(pass, reported, changed);
        if (changed) IrVerifier::VerifyAfter(pass, blocks);
        return reported;
    } else {
        return step();
    }
}

} // namespace

void Optimizer::RunPass(Transforms::TransformContext& context) {
    for (BasicBlock* block : context.Blocks) {
        XmadOptimizer::RunPass(block);
    }
    CheckAfter("XmadOptimizer", context.Blocks);

    RunOptimizationPasses(context.Blocks, context.ResourceManager);
    CheckAfter("Optimizer::RunOptimizationPasses", context.Blocks);

    // The clean-up above stopped at a fixed point. It reads the IR and, to
    // fold constant-buffer loads, the resource manager's constant-buffer
    // bindings; those are added only by GetConstantBufferBinding, which none
    // of the passes below calls. So when none of them changed the IR, a second
    // clean-up would find nothing, and it is skipped.
    bool changed = RunFunctionStep("GlobalToStorage", context.Blocks, [&] {
        return GlobalToStorage::RunPass(context.Hfm, context.Blocks, context.ResourceManager, context.GpuAccessor,
                                        context.TargetLanguage);
    });

    bool hostSupportsShaderFloat64 = context.GpuAccessor.QueryHostSupportsShaderFloat64();

    for (BasicBlock* block : context.Blocks) {
        if (context.GraphicsApi != TargetGraphicsApi::OpenGL) {
            changed |= RunBlockStep("BindlessToArray", context.Blocks, *block, [&] {
                return BindlessToArray::RunPass(*block, context.ResourceManager, context.GpuAccessor);
            });
        } else {
            changed |= RunBlockStep("BindlessToArray", context.Blocks, *block,
                                    [&] { return BindlessToArray::RunPassOgl(*block, context.ResourceManager); });
        }

        changed |= RunBlockStep("BindlessElimination", context.Blocks, *block, [&] {
            return BindlessElimination::RunPass(*block, context.ResourceManager, context.GpuAccessor);
        });

        if (context.Stage == ShaderStage::Fragment) {
            changed |= RunBlockStep("EliminateMultiplyByFragmentCoordW", context.Blocks, *block,
                                    [&] { return EliminateMultiplyByFragmentCoordW(block); });
        }

        if (!hostSupportsShaderFloat64) {
            changed |= RunBlockStep("DoubleToFloat", context.Blocks, *block,
                                    [&] { return DoubleToFloat::RunPass(context.Hfm, block); });
        }
    }

    // The passes above mark every node they create or rewrite and the
    // definitions of every value they drop a reader of (Utils::MarkForCleanUp,
    // Utils::DeleteNode, Utils::TurnInto). Every other node found nothing on
    // its last visit of the first clean-up and would find nothing again, and
    // the operations visited every round still carry their mark from it; so
    // the second clean-up visits only marked nodes from its first round on.
    if (changed) {
        RunOptimizationPasses(context.Blocks, context.ResourceManager, true);
        CheckAfter("Optimizer::RunOptimizationPasses", context.Blocks);
    }
}

namespace {

// Operations whose visit reads more than their own instruction, sources and
// whether their results are read: the XOR swap looks at the definitions of
// its sources and how many nodes read one of them, the comparison with zero
// at the instruction defining its source, and the pack and quad shuffle at
// the nodes reading their result. Edits elsewhere can give them work without
// touching them, so the clean-up visits them on every round.
bool VisitedEveryRound(Instruction inst) {
    switch (inst) {
    case Instruction::BitwiseExclusiveOr:
    case Instruction::CompareNotEqual:
    case Instruction::PackHalf2x16:
    case Instruction::ShuffleXor:
        return true;
    default:
        return false;
    }
}

} // namespace

void Optimizer::RunOptimizationPasses(std::span<BasicBlock* const> blocks, ResourceManager& resourceManager,
                                      bool onlyMarkedNodes) {
    // A node's visit depends only on its instruction, its sources
    // and whether its results are read. So after the first round, which sees
    // every node, a round visits only the nodes with the revisit mark: those
    // whose sources were replaced (ReplaceUses), that were rewritten or whose
    // results lost their last reader through a rewrite (Utils::TurnInto), and
    // those visited every round (VisitedEveryRound: the operations whose
    // visit also reads other nodes). Every other node would find what it found
    // on its last visit, nothing. A dead definition released by a removal
    // leaves its block at once and needs no mark. The rounds run as if they
    // visited every node: the same edits in the same order.
    bool visitAll = !onlyMarkedNodes;
    bool modified;
    do {
        modified = false;
        // A round that reports no change ends the loop: in builds that verify
        // IR it must have left the IR exactly as it found it.
        uint64_t fingerprint = 0;
        if constexpr (VerifyIrAfterPasses) fingerprint = IrVerifier::Fingerprint(blocks);

        for (BasicBlock* block : blocks) {
            INode* node = block->Operations.First();
            while (node != nullptr) {
                INode* nextNode = node->ListNext();
                // A comment has no sources or results: nothing applies to it.
                if ((!visitAll && !node->Revisit()) || node->Kind() == NodeKind::Comment) {
                    node = nextNode;
                    continue;
                }
                node->set_Revisit(false);

                // Folding and simplification rewrite an operation's
                // instruction and sources, never its destinations, so one
                // look at them serves the whole visit: one walk tells both
                // whether all are locals and whether any is read.
                bool destsLocal = true;
                bool destsRead = false;
                std::span<Operand* const> dests = DestSlots(node);
                for (const Operand* dest : dests) {
                    if (dest == nullptr)
                        continue;
                    if (dest->Type != OperandType::LocalVariable) {
                        destsLocal = false;
                        break;
                    }
                    destsRead |= !dest->Uses.empty();
                }
                destsLocal &= !dests.empty();
                bool isUnused = destsLocal && !destsRead && !HasSideEffects(node);

                if (!node->IsPhi()) {
                    Operation* operation = static_cast<Operation*>(node);
                    if (!isUnused) {
                        // Every folding and simplification rule turns the
                        // operation into a Copy, so a changed instruction
                        // tells whether one applied. Most such copies are
                        // propagated below, which sets the flag anyway; one
                        // without a local destination stays, and the round
                        // must still count it as a change.
                        const Instruction before = operation->Inst;
                        ConstantFolding::RunPass(resourceManager, operation);
                        Simplification::RunPass(operation);
                        if (operation->Inst != before)
                            modified = true;

                        if (destsLocal) {
                            if (operation->Inst == Instruction::Copy) {
                                PropagateCopy(operation);
                                RemoveNodeAndDeadDefinitions(block, operation, nextNode);
                                modified = true;
                            } else if ((operation->Inst == Instruction::PackHalf2x16 && PropagatePack(operation)) ||
                                       (operation->Inst == Instruction::ShuffleXor && MatchDdxOrDdy(operation))) {
                                if (DestHasNoUses(operation))
                                    RemoveNodeAndDeadDefinitions(block, operation, nextNode);
                                modified = true;
                            }
                        }
                        if (VisitedEveryRound(operation->Inst))
                            operation->set_Revisit(true);
                    }
                } else if (!isUnused) {
                    isUnused = PropagatePhi(static_cast<PhiNode*>(node));
                }

                if (isUnused) {
                    RemoveNodeAndDeadDefinitions(block, node, nextNode);
                    modified = true;
                }

                node = nextNode;
            }

            if (BranchElimination::RunPass(block)) {
                INode* none = nullptr;
                RemoveNodeAndDeadDefinitions(block, block->GetLastOp(), none);
                modified = true;
            }
        }

        if constexpr (VerifyIrAfterPasses) {
            if (!modified && IrVerifier::Fingerprint(blocks) != fingerprint) {
                throw Common::InvalidOperationException(
                    "IR invalid after Optimizer::RunOptimizationPasses: a round that reported no change changed the "
                    "IR.");
            }
        }
        visitAll = false;
    } while (modified);
}

void Optimizer::RemoveNode(BasicBlock* block, INode* node) {
    INode* none = nullptr;
    RemoveNode(block, node, false, none);
}

void Optimizer::RemoveNodeAndDeadDefinitions(BasicBlock* block, INode* node, INode*& cursor) {
    RemoveNode(block, node, true, cursor);
}

void Optimizer::RemoveNode(BasicBlock* block, INode* node, bool unlinkDead, INode*& cursor) {
    block->Operations.Remove(node);

    // Breadth-first over definitions that die with it. Most removals free
    // nothing or a short chain, so the queue lives on the stack until it
    // outgrows its inline part.
    constexpr std::size_t InlineCapacity = 16;
    INode* inlineQueue[InlineCapacity];
    std::vector<INode*> spill;
    std::size_t count = 0;
    auto push = [&](INode* item) {
        if (count < InlineCapacity) {
            inlineQueue[count] = item;
        } else {
            spill.push_back(item);
        }
        count++;
    };
    auto at = [&](std::size_t i) { return i < InlineCapacity ? inlineQueue[i] : spill[i - InlineCapacity]; };

    // The node itself first, then the queue in order; the node needs no
    // place in it.
    INode* current = node;
    for (std::size_t head = 0;; current = at(head++)) {
        auto release = [&](Operand* source) {
            if (source == nullptr || source->Type != OperandType::LocalVariable)
                return;
            if (!source->Uses.Remove(current) || !source->Uses.empty())
                return;
            INode* definition = source->Definition;
            // A definition with another destination still read must keep
            // reading its sources, or a live node would read removed values.
            // Each destination loses its last reader once, so a definition
            // is queued at most once.
            if (definition != nullptr && IsDead(definition)) {
                // Left in its block, a dead definition ahead of the walk
                // would cost the clean-up one more round to remove, for
                // nothing: nothing reads it, so nothing else changes when
                // it goes now. The walk's next node steps over it.
                if (unlinkDead && definition->List() != nullptr) {
                    if (definition == cursor)
                        cursor = definition->ListNext();
                    definition->List()->Remove(definition);
                }
                push(definition);
            }
        };
        // Withdrawing a use leaves the reader's own source array untouched.
        if (current->IsPhi()) {
            int sourcesCount = current->SourcesCount();
            for (int i = 0; i < sourcesCount; i++)
                release(current->GetSource(i));
        } else {
            for (Operand* source : static_cast<Operation*>(current)->Sources())
                release(source);
        }
        if (head == count)
            break;
    }
}

namespace {

// Every source slot that reads `from` reads `to` instead. Walking the use set
// while rewriting is safe: a rewrite only withdraws entries from this set.
void ReplaceUses(Operand* from, Operand* to) {
    if (from == to)
        return;
    for (INode* reader : from->Uses) {
        // Its sources change: the clean-up looks at it again.
        reader->set_Revisit(true);
        if (reader->IsPhi()) {
            int count = reader->SourcesCount();
            for (int i = 0; i < count; i++) {
                if (reader->GetSource(i) == from)
                    reader->SetSource(i, to);
            }
            continue;
        }
        // SetSource rewrites the slot in place, so the span stays valid.
        Operation* op = static_cast<Operation*>(reader);
        Operation::Operands sources = op->Sources();
        for (std::size_t i = 0; i < sources.size(); i++) {
            if (sources[i] == from)
                op->SetSource(static_cast<int>(i), to);
        }
    }
}

} // namespace

void Optimizer::PropagateCopy(Operation* copy) { ReplaceUses(copy->Dest(), copy->GetSource(0)); }

bool Optimizer::PropagatePhi(PhiNode* phi) {
    if (phi->SourcesCount() == 0 || !Utils::AreAllSourcesTheSameOperand(phi))
        return false;
    ReplaceUses(phi->Dest, phi->GetSource(0));
    return true;
}

bool Optimizer::PropagatePack(Operation* packOp) {
    Operand* dest = packOp->Dest();
    Operand* low = packOp->GetSource(0);
    Operand* high = packOp->GetSource(1);
    bool changed = false;
    // Rewriting withdraws the reader from dest's set only: safe while walking it.
    for (INode* reader : dest->Uses) {
        Operation* op = reader->AsOperation();
        if (op == nullptr || op->Inst != Instruction::UnpackHalf2x16 || op->SourcesCount() < 1 ||
            op->GetSource(0) != dest) {
            continue;
        }
        Utils::TurnInto(op, Instruction::Copy, op->Index == 1 ? high : low);
        changed = true;
    }
    return changed;
}

bool Optimizer::MatchDdxOrDdy(Operation* operation) {
    // The quad exchange stays within groups of four lanes: clamp 3, segment mask 0x1C.
    constexpr int32_t QuadShuffleMask = 0x1C03;
    constexpr int32_t DdxSwizzle = 0x99;
    constexpr int32_t DdySwizzle = 0xA5;

    Operand* value = operation->GetSource(0);
    Operand* laneMask = operation->GetSource(1);
    Operand* shuffleMask = operation->GetSource(2);
    if (laneMask->Type != OperandType::Constant || (laneMask->Value != 1 && laneMask->Value != 2))
        return false;
    if (shuffleMask->Type != OperandType::Constant || shuffleMask->Value != QuadShuffleMask)
        return false;

    bool isDdx = laneMask->Value == 1;
    int32_t expectedSwizzle = isDdx ? DdxSwizzle : DdySwizzle;
    Operand* dest = operation->Dest();
    bool changed = false;
    for (INode* reader : dest->Uses) {
        Operation* op = reader->AsOperation();
        if (op == nullptr || op->Inst != Instruction::SwizzleAdd || op->SourcesCount() != 3)
            continue;
        Operand* swizzle = op->GetSource(2);
        if (op->GetSource(0) != dest || op->GetSource(1) != value || swizzle->Type != OperandType::Constant ||
            swizzle->Value != expectedSwizzle) {
            continue;
        }
        Utils::TurnInto(op, isDdx ? Instruction::Ddx : Instruction::Ddy, value);
        changed = true;
    }
    return changed;
}

bool Optimizer::EliminateMultiplyByFragmentCoordW(BasicBlock* block) {
    bool changed = false;
    for (INode* node : block->Operations) {
        if (Operation* op = node->AsOperation(); op != nullptr && EliminateMultiplyByFragmentCoordW(op))
            changed = true;
    }
    return changed;
}

bool Optimizer::EliminateMultiplyByFragmentCoordW(Operation* operation) {
    constexpr Instruction FMul = Instruction::FP32 | Instruction::Multiply;
    constexpr Instruction FDiv = Instruction::FP32 | Instruction::Divide;

    auto definedBy = [](const Operand* operand) -> Operation* {
        return operand != nullptr && operand->Definition != nullptr ? operand->Definition->AsOperation() : nullptr;
    };
    auto isFragCoordW = [](const Operand* operand) {
        return operand != nullptr && Utils::IsInputLoad(operand->Definition, IoVariable::FragmentCoord, 3);
    };

    if (operation->Inst != FMul || operation->SourcesCount() != 2)
        return false;

    Operation* mulOp = definedBy(operation->GetSource(0));
    Operation* divOp = definedBy(operation->GetSource(1));
    if (mulOp == nullptr || mulOp->Inst != FMul || mulOp->SourcesCount() != 2)
        return false;
    if (divOp == nullptr || divOp->Inst != FDiv || divOp->SourcesCount() != 2)
        return false;

    Operand* input = mulOp->GetSource(0);
    if (input == nullptr || !Utils::IsInputLoad(input->Definition) || !isFragCoordW(mulOp->GetSource(1)))
        return false;

    const Operand* one = divOp->GetSource(0);
    if (one == nullptr || one->Type != OperandType::Constant || std::bit_cast<float>(one->Value) != 1.0f)
        return false;
    if (!isFragCoordW(divOp->GetSource(1)))
        return false;

    // Marks the copy and the definitions of the products it no longer reads,
    // for the second clean-up.
    Utils::TurnInto(operation, Instruction::Copy, input);
    return true;
}

bool Optimizer::HasSideEffects(const INode* node) {
    const Operation* op = node->AsOperation();
    if (op == nullptr)
        return false;
    return InstructionExtensions::HasSideEffects(op->Inst);
}

bool Optimizer::DestIsLocalVar(const INode* node) { return AllDestsLocal(DestSlots(node)); }

bool Optimizer::DestHasNoUses(const INode* node) { return NoDestUsed(DestSlots(node)); }

// One walk over the destinations: removals ask it of every definition whose
// value lost its last reader.
bool Optimizer::IsDead(const INode* node) {
    std::span<Operand* const> dests = DestSlots(node);
    if (dests.empty())
        return false;
    for (const Operand* dest : dests) {
        if (dest != nullptr && (dest->Type != OperandType::LocalVariable || !dest->Uses.empty()))
            return false;
    }
    return !HasSideEffects(node);
}

} // namespace Zerivox::Graphics::Shader::Translation::Optimizations
