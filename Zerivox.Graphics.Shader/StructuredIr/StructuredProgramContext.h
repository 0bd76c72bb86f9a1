#pragma once
// State of one structuring run. Blocks are entered in index order; AST blocks
// open when a forward branch or a back edge is met and close when the block
// index reaches their end. Branches that fit neither shape become pending
// gotos (see GotoElimination).
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "Zerivox.Graphics.Shader/StructuredIr/AstAssignment.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstBlock.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstOperand.h"
#include "Zerivox.Graphics.Shader/StructuredIr/GotoStatement.h"
#include "Zerivox.Graphics.Shader/StructuredIr/StructuredProgramInfo.h"
#include "Zerivox.Graphics.Shader/Translation/AggregateType.h"

namespace Zerivox::Graphics::Shader::IntermediateRepresentation {
class BasicBlock;
class Operand;
class Operation;
}

namespace Zerivox::Graphics::Shader::Translation {
class AttributeUsage;
class ShaderDefinitions;
class ResourceManager;
}

namespace Zerivox::Graphics::Shader::StructuredIr {

// IR local -> its one AST operand. The table is only looked up, never
// iterated, so hashing pointers cannot reach the output. Open addressing in a
// single vector that is kept across functions: a lookup or insertion
// allocates only when the table grows.
class LocalOperandMap {
public:
    // nullptr when the key has no entry.
    AstOperand* Find(const IntermediateRepresentation::Operand* key) const;
    // The key must not have an entry yet (nor be nullptr).
    void Insert(const IntermediateRepresentation::Operand* key, AstOperand* value);
    // Drops every entry, keeping the table's storage.
    void Clear();
    // Room for count entries without growing; growing rehashes every entry
    // once per doubling, where a table sized from the function's length up
    // front hashes each once.
    void Reserve(std::size_t count);

private:
    struct Slot {
        const IntermediateRepresentation::Operand* Key;
        AstOperand* Value;
    };

    std::size_t SlotOf(const IntermediateRepresentation::Operand* key) const;
    void Grow();
    void Rehash(std::size_t slots);

    // Zero-initialised when made (new Slot[n]()), which compiles to one
    // block clear; a vector filled with a slot value is written slot by slot.
    std::unique_ptr<Slot[]> _slots;
    std::size_t _size = 0; // 0 or a power of two
    std::size_t _count = 0;
};

class StructuredProgramContext {
public:
    StructuredProgramContext(const Translation::AttributeUsage& attributeUsage,
                             const Translation::ShaderDefinitions& definitions,
                             Translation::ResourceManager& resourceManager, bool debugMode);

    StructuredProgramContext(const StructuredProgramContext&) = delete;
    StructuredProgramContext& operator=(const StructuredProgramContext&) = delete;

    void EnterFunction(int32_t blocksCount, std::string name, Translation::AggregateType returnType,
                       std::vector<Translation::AggregateType> inArguments,
                       std::vector<Translation::AggregateType> outArguments);
    void LeaveFunction();

    void EnterBlock(IntermediateRepresentation::BasicBlock* block);
    void LookForIfStatements(IntermediateRepresentation::BasicBlock* block,
                             IntermediateRepresentation::Operation* branch);

    AstAssignment* GetGotoTempAsg(int32_t blockIndex);
    void AddGotoTempReset(IntermediateRepresentation::BasicBlock* block, AstAssignment* label);
    void NewBlock(AstBlockType type, IAstNode* condition, int32_t endIndex);
    IAstNode* GetBranchCond(AstBlockType type, IntermediateRepresentation::Operation* branch);

    AstOperand* NewTemp(Translation::AggregateType type);
    // Constant-buffer operands become loads (assigning the buffer's binding
    // on first use); anything else as GetOperand.
    IAstNode* GetOperandOrCbLoad(IntermediateRepresentation::Operand* operand);
    // The one AST operand of an IR local; a fresh one for any other operand;
    // nullptr for nullptr.
    AstOperand* GetOperand(IntermediateRepresentation::Operand* operand);

    void AddNode(IAstNode* node) { CurrentBlock->Add(node); }
    AstArena& Arena() { return Info->Arena; }
    AstOperand* NewConstant(int32_t value);

    struct BlockStackEntry {
        AstBlock* Block;
        int32_t EndIndex;
        int32_t LoopEndIndex;
    };

    std::unordered_set<IntermediateRepresentation::BasicBlock*> LoopTails;
    std::vector<BlockStackEntry> BlockStack;
    LocalOperandMap LocalsMap;
    std::unordered_map<int32_t, AstAssignment*> GotoTempAsgs;
    std::vector<GotoStatement> Gotos;

    AstBlock* CurrentBlock = nullptr;
    std::unique_ptr<StructuredFunction> CurrentFunction;
    std::unique_ptr<StructuredProgramInfo> Info;
    const Translation::ShaderDefinitions& Definitions;
    Translation::ResourceManager& ResourceManager;

    int32_t CurrEndIndex = 0;
    int32_t LoopEndIndex = 0;
    bool DebugMode;

private:
    void LookForDoWhileStatements(IntermediateRepresentation::BasicBlock* block);
    void PushBlock(AstBlock* block);
    // Adds a new local or temporary to the current function's list.
    void AddLocal(AstOperand* local);
};

} // namespace Zerivox::Graphics::Shader::StructuredIr
