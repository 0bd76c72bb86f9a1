#include "Zerivox.Graphics.Shader/StructuredIr/StructuredProgram.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <memory_resource>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/BasicBlock.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/CommentNode.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Function.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/InstructionExtensions.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/TextureOperation.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstComment.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstOptimizer.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstTextureOperation.h"
#include "Zerivox.Graphics.Shader/StructuredIr/GotoElimination.h"
#include "Zerivox.Graphics.Shader/StructuredIr/InstructionInfo.h"
#include "Zerivox.Graphics.Shader/StructuredIr/OperandInfo.h"
#include "Zerivox.Graphics.Shader/StructuredIr/PhiFunctions.h"
#include "Zerivox.Graphics.Shader/StructuredIr/StructuredProgramContext.h"
#include "Zerivox.Graphics.Shader/TextureFormat.h"
#include "Zerivox.Graphics.Shader/Translation/ResourceManager.h"
#include "Zerivox.Graphics.Shader/Translation/ShaderDefinitions.h"

namespace Zerivox::Graphics::Shader::StructuredIr {

using namespace IntermediateRepresentation;
using Translation::AggregateType;
using Translation::TargetLanguage;

namespace {

// Structures the blocks of one function into the context's current function.
void StructureBlocks(StructuredProgramContext& context, const Function& function, TargetLanguage targetLanguage,
                     std::span<Function* const> functions) {
    std::size_t operations = 0;
    for (std::size_t i = 0; i < function.Blocks.size(); i++) {
        if (function.Blocks[i]->Index != static_cast<int>(i)) {
            throw Common::InvalidOperationException("Block " + std::to_string(i) + " of function \"" +
                                                    function.Name + "\" has index " +
                                                    std::to_string(function.Blocks[i]->Index) + ".");
        }
        operations += static_cast<std::size_t>(function.Blocks[i]->Operations.Count());
    }
    // Each operation names at most a few new locals, and most name at most one.
    context.LocalsMap.Reserve(operations);

    for (BasicBlock* block : function.Blocks) {
        context.EnterBlock(block);
        INode* node = block->Operations.First();
        while (node != nullptr) {
            Operation* operation = node->AsOperation();
            if (operation == nullptr) {
                throw Common::InvalidOperationException("A phi node survived phi removal.");
            }
            if (InstructionExtensions::IsBranch(operation->Inst)) {
                context.LookForIfStatements(block, operation);
            } else {
                StructuredProgram::AddOperation(context, operation, targetLanguage, functions);
            }
            node = node->ListNext();
        }
    }
}

uint32_t HelperFlagOf(Instruction inst) {
    switch (inst) {
    case Instruction::FSIBegin:
    case Instruction::FSIEnd:
        return 0x800;
    case Instruction::MultiplyHighS32: return 4;
    case Instruction::MultiplyHighU32: return 8;
    case Instruction::SwizzleAdd: return 0x400;
    default: return 0;
    }
}

void RecordIo(StructuredProgramContext& context, const Operation& operation) {
    StorageKind kind = operation.StorageKind;
    if (kind == StorageKind::Input || kind == StorageKind::InputPerPatch || kind == StorageKind::Output ||
        kind == StorageKind::OutputPerPatch) {
        if (operation.SourcesCount() == 0) {
            throw Common::InvalidOperationException("Input or output access without a variable.");
        }
        auto variable = static_cast<IoVariable>(operation.GetSource(0)->Value);
        bool isOutput = kind == StorageKind::Output || kind == StorageKind::OutputPerPatch;
        int32_t location = 0;
        int32_t component = 0;
        if (context.Definitions.HasPerLocationInputOrOutput(variable, isOutput) && operation.SourcesCount() > 1) {
            location = operation.GetSource(1)->Value;
            if (operation.SourcesCount() > 2 && operation.GetSource(2)->Type == OperandType::Constant &&
                variable == IoVariable::UserDefined && context.Definitions.HasTransformFeedbackOutputs(isOutput) &&
                context.Definitions.GetTransformFeedbackOutputComponents(location, operation.GetSource(2)->Value) ==
                    1) {
                component = operation.GetSource(2)->Value;
            }
        }
        context.Info->IoDefinitions.Add(IoDefinition(kind, variable, location, component));
    } else if (kind == StorageKind::ConstantBuffer && operation.SourcesCount() > 0 &&
               operation.GetSource(0)->Type == OperandType::Constant) {
        context.ResourceManager.SetUsedConstantBufferBinding(operation.GetSource(0)->Value);
    }
}

// Every conditional or loop block nests the code in it one level deeper;
// SPIR-V (and the validators and drivers that read it) accept at most
// MaxNestingDepth levels, and a guest program can nest branches without
// end. Such a program fails here instead of giving an invalid module.
// Iterative: the depth to be checked is the one that could be too deep.
void CheckNestingDepth(const StructuredProgramInfo& info) {
    std::vector<std::pair<AstBlock::const_iterator, int32_t>> stack;
    for (const auto& function : info.Functions) {
        stack.emplace_back(function->MainBlock->begin(), 0);
        while (!stack.empty()) {
            auto& [it, depth] = stack.back();
            if (it == AstBlock::const_iterator()) {
                stack.pop_back();
                continue;
            }
            IAstNode* node = *it++;
            AstBlock* block = As<AstBlock>(node);
            if (block == nullptr)
                continue;
            int32_t inner = depth + (block->Type == AstBlockType::Main ? 0 : 1);
            if (inner > StructuredProgram::MaxNestingDepth) {
                throw Common::InvalidOperationException("The shader's control flow nests more than " +
                                                        std::to_string(StructuredProgram::MaxNestingDepth) +
                                                        " levels deep, past the nesting limit of the generated code.");
            }
            stack.emplace_back(block->begin(), inner);
        }
    }
}

} // namespace

std::unique_ptr<StructuredProgramInfo> StructuredProgram::MakeStructuredProgram(
    std::span<Function* const> functions, const Translation::AttributeUsage& attributeUsage,
    const Translation::ShaderDefinitions& definitions, Translation::ResourceManager& resourceManager,
    TargetLanguage targetLanguage, bool debugMode) {
    StructuredProgramContext context(attributeUsage, definitions, resourceManager, debugMode);

    for (Function* function : functions) {
        AggregateType returnType = function->ReturnsValue ? AggregateType::S32 : AggregateType::Void;
        std::vector<AggregateType> inArguments(static_cast<std::size_t>(std::max(function->InArgumentCount, 0)),
                                               AggregateType::S32);
        std::vector<AggregateType> outArguments(static_cast<std::size_t>(std::max(function->OutArgumentCount, 0)),
                                                AggregateType::S32);

        context.EnterFunction(static_cast<int32_t>(function->Blocks.size()), function->Name, returnType,
                              std::move(inArguments), std::move(outArguments));
        PhiFunctions::Remove(function->Blocks);
        StructureBlocks(context, *function, targetLanguage, functions);
        GotoElimination::Eliminate(context.Arena(), context.Gotos);
        AstOptimizer::Optimize(context);
        context.LeaveFunction();
    }

    CheckNestingDepth(*context.Info);
    return std::move(context.Info);
}

void StructuredProgram::AddOperation(StructuredProgramContext& context, Operation* operation,
                                     TargetLanguage targetLanguage, std::span<Function* const> functions) {
    Instruction inst = operation->Inst;
    AstArena& arena = context.Arena();

    if (inst == Instruction::Load || inst == Instruction::Store) RecordIo(context, *operation);

    const bool vector = IsVectorDestInst(inst);
    const int32_t sourcesCount = operation->SourcesCount();
    const int32_t destsCount = operation->DestsCount();
    const int32_t extraOutputs = destsCount > 0 && !vector ? destsCount - 1 : 0;

    // The AST node copies its sources, so this list is scratch: on the stack
    // for the usual few sources.
    constexpr std::size_t InlineSources = 8;
    const auto totalSources = static_cast<std::size_t>(std::max(sourcesCount + extraOutputs, 0));
    IAstNode* inlineSources[InlineSources] = {};
    std::vector<IAstNode*> heapSources;
    if (totalSources > InlineSources) heapSources.resize(totalSources);
    const std::span<IAstNode*> sources(totalSources > InlineSources ? heapSources.data() : inlineSources,
                                       totalSources);

    if (inst == Instruction::Call && targetLanguage == TargetLanguage::Spirv) {
        if (sourcesCount == 0) throw Common::InvalidOperationException("Call without a function id.");
        int32_t functionId = operation->GetSource(0)->Value;
        if (functionId < 0 || static_cast<std::size_t>(functionId) >= functions.size()) {
            throw Common::ArgumentOutOfRangeException("Call of function " + std::to_string(functionId) +
                                                      ", which does not exist.");
        }
        const Function& callee = *functions[static_cast<std::size_t>(functionId)];
        sources[0] = context.NewConstant(functionId);
        // SPIR-V passes arguments by pointer: the inputs go through fresh
        // temporaries so that the callee never sees the caller's variables.
        for (int32_t i = 1; i < sourcesCount; i++) {
            IAstNode* node = context.GetOperandOrCbLoad(operation->GetSource(i));
            if (i - 1 < callee.InArgumentCount) {
                AstOperand* temp = context.NewTemp(AggregateType::S32);
                context.AddNode(arena.New<AstAssignment>(temp, node));
                sources[static_cast<std::size_t>(i)] = temp;
            } else {
                sources[static_cast<std::size_t>(i)] = node;
            }
        }
    } else {
        for (int32_t i = 0; i < sourcesCount; i++) {
            sources[static_cast<std::size_t>(i)] = context.GetOperandOrCbLoad(operation->GetSource(i));
        }
    }

    for (int32_t i = 0; i < extraOutputs; i++) {
        AggregateType type = InstructionInfo::GetSrcVarType(inst, sourcesCount + i);
        AstOperand* dest = context.GetOperand(operation->GetDest(i + 1));
        // An output nobody receives still needs a variable to be written to.
        if (dest == nullptr) dest = context.NewTemp(type);
        dest->VarType = type;
        sources[static_cast<std::size_t>(sourcesCount + i)] = dest;
    }

    std::span<IAstNode* const> sourceSpan(sources);
    TextureOperation* texOp = operation->AsTextureOperation();
    auto makeExpression = [&](Instruction expressionInst) -> AstOperation* {
        if (texOp != nullptr) {
            return arena.New<AstTextureOperation>(expressionInst, texOp->Type, texOp->Format, texOp->Flags,
                                                  texOp->Set, texOp->Binding, texOp->SamplerSet,
                                                  texOp->SamplerBinding, texOp->Index, sourceSpan);
        }
        AstOperation* expression = arena.New<AstOperation>(expressionInst, operation->StorageKind,
                                                           operation->ForcePrecise, sourceSpan, sourcesCount);
        expression->Index = operation->Index;
        return expression;
    };

    // A call after register passing has a null result slot followed by its
    // outputs: that is an operation without a result, not one writing nowhere.
    const bool hasDest = destsCount > 0 && operation->GetDest(0) != nullptr;

    if (vector && std::popcount(static_cast<uint32_t>(operation->Index)) > 1) {
        AggregateType elementType = InstructionInfo::GetDestVarType(inst);
        if (texOp != nullptr && inst == Instruction::ImageLoad) {
            elementType = TextureFormatExtensions::GetComponentType(texOp->Format);
        }
        AstOperation* expression = makeExpression(inst);
        AstOperand* vectorTemp = context.NewTemp(expression->GetVectorType(elementType));
        context.AddNode(arena.New<AstAssignment>(vectorTemp, expression));

        for (int32_t i = 0; i < destsCount; i++) {
            AstOperand* dest = context.GetOperand(operation->GetDest(i));
            if (dest == nullptr) continue;
            dest->VarType = elementType;
            AstOperand* component = context.NewConstant(i);
            IAstNode* extractSources[] = {vectorTemp, component};
            AstOperation* extract =
                arena.New<AstOperation>(Instruction::VectorExtract, std::span<IAstNode* const>(extractSources));
            context.AddNode(arena.New<AstAssignment>(dest, extract));
        }
    } else if (!hasDest) {
        if (inst == Instruction::Comment) {
            CommentNode* comment = operation->AsComment();
            if (comment == nullptr) throw Common::InvalidOperationException("A Comment operation is no comment node.");
            context.AddNode(arena.New<AstComment>(arena, comment->Comment));
        } else {
            context.AddNode(makeExpression(inst));
        }
    } else {
        AstOperand* dest = context.GetOperand(operation->GetDest(0));

        if ((inst == Instruction::BitwiseAnd || inst == Instruction::BitwiseExclusiveOr ||
             inst == Instruction::BitwiseNot || inst == Instruction::BitwiseOr) &&
            AreAllSourceTypesEqual(sourceSpan, AggregateType::Bool)) {
            inst = GetLogicalFromBitwiseInst(inst);
        }

        AggregateType destType;
        if (inst == Instruction::ConditionalSelect || inst == Instruction::Copy) {
            destType = GetVarTypeFromUses(operation->GetDest(0));
            // A choice between floats is made in their own type: a double
            // read as a 32-bit integer would lose its precision.
            if (inst == Instruction::ConditionalSelect && destType == AggregateType::FP32) {
                inst = inst | Instruction::FP32;
            } else if (inst == Instruction::ConditionalSelect && destType == AggregateType::FP64) {
                inst = inst | Instruction::FP64;
            }
        } else {
            destType = InstructionInfo::GetDestVarType(inst);
        }
        dest->VarType = destType;

        IAstNode* value;
        if (texOp != nullptr) {
            value = makeExpression(inst);
            if (inst == Instruction::ImageLoad) dest->VarType = TextureFormatExtensions::GetComponentType(texOp->Format);
        } else if (inst == Instruction::Copy) {
            if (sources.empty()) throw Common::InvalidOperationException("Copy without a source.");
            value = sources[0];
        } else {
            value = makeExpression(inst);
        }
        context.AddNode(arena.New<AstAssignment>(dest, value));
    }

    context.Info->HelperFlags |= HelperFlagOf(operation->Inst);
}

AggregateType StructuredProgram::GetVarTypeFromUses(Operand* operand) {
    // Breadth-first over copy chains. Each operand enters the queue once, so
    // the queue doubles as the visited list; a scan of it is cheaper than a
    // hash set for the short chains met in practice, and a set takes over
    // once a chain is long. Both draw on a stack buffer first.
    constexpr std::size_t ScanLimit = 32;
    std::byte buffer[1024];
    std::pmr::monotonic_buffer_resource scratch(buffer, sizeof(buffer));
    std::pmr::vector<Operand*> queue(&scratch);
    std::pmr::unordered_set<Operand*> visited(&scratch);
    auto visit = [&](Operand* candidate) {
        if (queue.size() < ScanLimit) {
            if (std::find(queue.begin(), queue.end(), candidate) != queue.end()) return false;
        } else {
            if (visited.empty()) visited.insert(queue.begin(), queue.end());
            if (!visited.insert(candidate).second) return false;
        }
        queue.push_back(candidate);
        return true;
    };
    queue.reserve(16);
    queue.push_back(operand);

    for (std::size_t head = 0; head < queue.size(); head++) {
        Operand* current = queue[head];

        for (INode* user : current->Uses) {
            Operation* operation = user->AsOperation();
            if (operation == nullptr) continue;

            if (operation->Inst == Instruction::Copy) {
                Operand* dest = operation->Dest();
                if (dest == nullptr) continue;
                if (dest->Type == OperandType::LocalVariable) {
                    visit(dest);
                } else {
                    return OperandInfo::GetVarType(dest->Type);
                }
                continue;
            }

            for (int32_t i = 0; i < operation->SourcesCount(); i++) {
                if (operation->GetSource(i) == current) return InstructionInfo::GetSrcVarType(operation->Inst, i);
            }
        }
    }

    return AggregateType::S32;
}

bool StructuredProgram::AreAllSourceTypesEqual(std::span<IAstNode* const> sources, AggregateType type) {
    for (IAstNode* source : sources) {
        const AstOperand* operand = As<AstOperand>(source);
        if (operand == nullptr || operand->VarType != type) return false;
    }
    return true;
}

bool StructuredProgram::IsVectorDestInst(Instruction inst) {
    return inst == Instruction::ImageLoad || inst == Instruction::TextureSample;
}

Instruction StructuredProgram::GetLogicalFromBitwiseInst(Instruction inst) {
    switch (inst) {
    case Instruction::BitwiseAnd: return Instruction::LogicalAnd;
    case Instruction::BitwiseExclusiveOr: return Instruction::LogicalExclusiveOr;
    case Instruction::BitwiseNot: return Instruction::LogicalNot;
    case Instruction::BitwiseOr: return Instruction::LogicalOr;
    default: {
        std::string name(InstructionName(inst));
        if (name.empty()) name = std::to_string(static_cast<uint32_t>(inst));
        throw Common::ArgumentException("Unexpected instruction \"" + name + "\".");
    }
    }
}

} // namespace Zerivox::Graphics::Shader::StructuredIr
