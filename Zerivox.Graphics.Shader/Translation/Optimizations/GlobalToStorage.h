#pragma once
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "Zerivox.Common/OrderedMap.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/BasicBlock.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/INode.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Instruction.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Operand.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Operation.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/StorageKind.h"
#include "Zerivox.Graphics.Shader/Translation/TranslationOptions.h"

namespace Zerivox::Graphics::Shader {
class IGpuAccessor;
}
namespace Zerivox::Graphics::Shader::IntermediateRepresentation {
class Function;
}
namespace Zerivox::Graphics::Shader::Translation {
class EmitterContext;
class HelperFunctionManager;
class ResourceManager;
} // namespace Zerivox::Graphics::Shader::Translation

namespace Zerivox::Graphics::Shader::Translation::Optimizations {

// Rewrites global memory accesses into storage-buffer accesses. The guest
// keeps, in constant buffers, the 64-bit base address and the size of every
// buffer a shader may reach; an access whose address traces back to such a
// descriptor gets a storage buffer bound for that constant-buffer location
// and addresses it at a byte offset. Accesses one storage operation cannot
// express (8/16-bit, signed min/max outside SPIR-V) or whose address may lie
// in several buffers become calls of generated access functions.
struct GlobalToStorage {
    using BasicBlock = IntermediateRepresentation::BasicBlock;
    using INode = IntermediateRepresentation::INode;
    using Instruction = IntermediateRepresentation::Instruction;
    using Operand = IntermediateRepresentation::Operand;
    using Operation = IntermediateRepresentation::Operation;
    using StorageKind = IntermediateRepresentation::StorageKind;

    // Outcome of a base-address search. Not found: SbCbSlot -1.
    struct SearchResult {
        Operand* Offset = nullptr; // value to add to the base; null when unknown
        int32_t SbCbSlot = -1;     // constant-buffer slot of the descriptor
        int32_t SbCbOffset = 0;    // word offset of the descriptor
        int32_t ConstOffset = 0;   // constant byte offset to add as well

        bool Found() const { return SbCbSlot != -1; }
        static SearchResult NotFound() { return SearchResult{}; }
    };

    enum class LsMemoryType : int32_t {
        Local = 0,
        Shared = 1,
    };

    // State of one RunPass call (one function).
    class GtsContext {
      public:
        struct Entry {
            std::vector<uint32_t> TargetCbs;
            int32_t FunctionId;
            Instruction Inst;
            IntermediateRepresentation::StorageKind StorageKind;
            bool IsMultiTarget;
        };

        struct LsKey {
            Operand* BaseOffset; // null for local memory
            int32_t ConstOffset;
            LsMemoryType Type;
            bool operator==(const LsKey&) const = default;
        };
        struct LsKeyHash {
            std::size_t operator()(const LsKey& key) const noexcept;
        };

        explicit GtsContext(HelperFunctionManager& hfm) : Hfm(hfm) {}

        HelperFunctionManager& Hfm;
        std::vector<Entry> Entries;
        // What has been stored at a local or shared memory location: per
        // target key, the descriptor found for the stored value.
        Common::OrderedMap<LsKey, Common::OrderedMap<uint32_t, SearchResult>, LsKeyHash> MemoryTargets;

        int32_t AddFunction(const Operation* baseOp, bool isMultiTarget, std::span<const uint32_t> targetCbs,
                            IntermediateRepresentation::Function* function);
        bool TryGetFunctionId(const Operation* baseOp, bool isMultiTarget, std::span<const uint32_t> targetCbs,
                              int32_t& functionId) const;

        void AddMemoryTargetCb(LsMemoryType type, Operand* baseOffset, int32_t constOffset, uint32_t targetCb,
                               const SearchResult& result);
        // A store of a value whose descriptor is unknown: what the location
        // held before no longer holds.
        void ForgetMemoryTargets(LsMemoryType type, Operand* baseOffset, int32_t constOffset);
        bool TryGetMemoryTargetCb(LsMemoryType type, Operand* baseOffset, int32_t constOffset,
                                  SearchResult& result) const;
    };

    // Key of a descriptor location: word offset << 16 | slot, each 16 bits.
    static uint32_t GetTargetKey(int32_t slot, int32_t offset) {
        return ((static_cast<uint32_t>(offset) & 0xFFFFu) << 16) | (static_cast<uint32_t>(slot) & 0xFFFFu);
    }

    // Returns whether the IR changed: every global memory access is rewritten,
    // so it changes exactly when the function has one.
    static bool RunPass(HelperFunctionManager& hfm, std::span<BasicBlock* const> blocks,
                        ResourceManager& resourceManager, IGpuAccessor& gpuAccessor, TargetLanguage targetLanguage);

    // The node after which the walk continues, or null when no storage
    // buffer or function could be had.
    static INode* ReplaceGlobalMemoryWithStorage(GtsContext& gtsContext, ResourceManager& resourceManager,
                                                 IGpuAccessor& gpuAccessor, TargetLanguage targetLanguage,
                                                 BasicBlock* block, Operation* operation);

    static SearchResult FindUniqueBaseAddressCb(GtsContext& gtsContext, BasicBlock* block, Operand* address,
                                                bool needsOffset);
    static SearchResult FindBaseAddressCbFromMemory(GtsContext& gtsContext, Operation* operation, int32_t constOffset,
                                                    bool needsOffset);
    static SearchResult GetBaseAddressCbWithOffset(Operand* baseAddress, Operand* offset, int32_t constOffset);

    static bool TryGetMemoryOffsets(Operation* operation, LsMemoryType& type, Operand*& baseOffset,
                                    int32_t& constOffset);
    static bool TryGetSharedMemoryOffsets(Operation* operation, Operand*& baseOffset, int32_t& constOffset);
    static bool TryGetLocalMemoryOffset(Operation* operation, int32_t& constOffset);

    static bool CanUseInlineStorageOp(const Operation* operation, TargetLanguage targetLanguage);
    static INode* GenerateInlineStorageOp(ResourceManager& resourceManager, Operation* operation, Operand* offset,
                                          const SearchResult& result);
    static INode* GenerateCallStorageOp(Operation* operation, Operand* offset, int32_t functionId);

    // Generated access functions.
    static bool TryGenerateSingleTargetStorageOp(GtsContext& gtsContext, ResourceManager& resourceManager,
                                                 TargetLanguage targetLanguage, Operation* operation,
                                                 const SearchResult& result, int32_t& functionId);
    static bool TryGenerateMultiTargetStorageOp(GtsContext& gtsContext, ResourceManager& resourceManager,
                                                IGpuAccessor& gpuAccessor, TargetLanguage targetLanguage,
                                                BasicBlock* block, Operation* operation, int32_t& functionId);
    static bool TryGenerateStorageOp(ResourceManager& resourceManager, TargetLanguage targetLanguage,
                                     EmitterContext& context, Instruction inst, StorageKind storageKind,
                                     Operand* offset, Operand* compare, Operand* value, const SearchResult& result,
                                     Operand*& resultValue);
    static Operand* GenerateAtomicCasLoop(EmitterContext& context, Operand* wordOffset, int32_t binding,
                                          const std::function<Operand*(Operand*)>& getValue);
    static std::string GetFunctionName(const Operation* baseOp, bool isMultiTarget,
                                       std::span<const uint32_t> targetCbs);
};

} // namespace Zerivox::Graphics::Shader::Translation::Optimizations
