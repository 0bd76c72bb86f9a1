#pragma once
// The whole state of one SPIR-V code generation: the module being built plus
// the tables that map the structured program's resources, inputs, outputs,
// locals, arguments, functions and blocks to the instructions standing for
// them, and the operations that turn AST operands into SPIR-V values.
#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Spv.Generator/Module.h"
#include "Zerivox.Common/OrderedMap.h"
#include "Zerivox.Graphics.Shader/SamplerType.h"
#include "Zerivox.Graphics.Shader/SetBindingPair.h"
#include "Zerivox.Graphics.Shader/StructuredIr/IoDefinition.h"
#include "Zerivox.Graphics.Shader/Translation/AggregateType.h"
#include "Zerivox.Graphics.Shader/Translation/HostCapabilities.h"
#include "Zerivox.Graphics.Shader/Translation/TranslationOptions.h"

namespace Zerivox::Graphics::Shader {
class IGpuAccessor;
}
namespace Zerivox::Graphics::Shader::Translation {
class AttributeUsage;
class ShaderDefinitions;
} // namespace Zerivox::Graphics::Shader::Translation
namespace Zerivox::Graphics::Shader::StructuredIr {
class AstBlock;
class AstOperand;
class IAstNode;
class ShaderProperties;
class StructuredFunction;
class StructuredProgramInfo;
} // namespace Zerivox::Graphics::Shader::StructuredIr
namespace Zerivox::Graphics::Shader::CodeGen {
class CodeGenParameters;
}

namespace Zerivox::Graphics::Shader::CodeGen::Spirv {

using Spv::Generator::Instruction;

// A declared texture or separate sampler.
struct SamplerDeclaration {
    // OpTypeImage, or OpTypeSampler for a separate sampler.
    Instruction* ImageType = nullptr;
    // OpTypeSampledImage of ImageType (ImageType itself for a sampler).
    Instruction* SampledImageType = nullptr;
    // UniformConstant pointer to one element of the variable.
    Instruction* ImagePointerType = nullptr;
    Instruction* Image = nullptr;
    // An array of textures: every access carries an array index.
    bool IsIndexed = false;
};

// A declared storage image.
struct ImageDeclaration {
    Instruction* ImageType = nullptr;
    Instruction* ImagePointerType = nullptr;
    Instruction* Image = nullptr;
    bool IsIndexed = false;
    // Element type of the texels as declared (the image's sampled type).
    Translation::AggregateType ComponentType = Translation::AggregateType::FP32;
    // Declared without a format: reads and writes need the formatless
    // storage capabilities.
    bool Formatless = false;
};

// Map from a function's locals to their variables: lookup only, never
// enumerated, so pointer keys cannot reach the output. Open addressing in
// one array, because every local is declared and looked up per function and
// a node per entry was a measurable share of code generation.
class LocalVariableMap {
  public:
    using value_type = std::pair<const StructuredIr::AstOperand*, Instruction*>;

    const value_type* find(const StructuredIr::AstOperand* key) const {
        if (_count == 0 || key == nullptr) return end();
        std::size_t mask = _slots.size() - 1;
        for (std::size_t i = Home(key); ; i = (i + 1) & mask) {
            if (_slots[i].first == key) return &_slots[i];
            if (_slots[i].first == nullptr) return end();
        }
    }
    const value_type* end() const { return nullptr; }

    // Adds the entry unless the key is present; the bool says whether it was added.
    std::pair<const value_type*, bool> emplace(const StructuredIr::AstOperand* key, Instruction* value) {
        if (key == nullptr) throw Common::ArgumentException("A local variable is missing.");
        // One probe finds either the key or the free slot it goes into;
        // only a table that must grow first is probed again.
        std::size_t i = 0;
        if (!_slots.empty()) {
            std::size_t mask = _slots.size() - 1;
            for (i = Home(key); _slots[i].first != nullptr; i = (i + 1) & mask) {
                if (_slots[i].first == key) return {&_slots[i], false};
            }
        }
        if ((_count + 1) * 2 > _slots.size()) {
            Grow();
            std::size_t mask = _slots.size() - 1;
            for (i = Home(key); _slots[i].first != nullptr; i = (i + 1) & mask) {
            }
        }
        _slots[i] = value_type(key, value);
        _count++;
        return {&_slots[i], true};
    }

    void clear() {
        _slots.assign(_slots.size(), value_type(nullptr, nullptr));
        _count = 0;
    }

    // Room for count entries in all, so declaring a function's locals does
    // not rehash the table at every doubling on the way.
    void reserve(std::size_t count) {
        std::size_t wanted = 16;
        while (wanted / 2 < count) wanted *= 2;
        if (wanted > _slots.size()) Rehash(wanted);
    }

  private:
    std::size_t Home(const StructuredIr::AstOperand* key) const {
        uint64_t h = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(key)) * 0x9E3779B97F4A7C15ull;
        return static_cast<std::size_t>(h >> 32) & (_slots.size() - 1);
    }
    void Grow() { Rehash(_slots.empty() ? 16 : _slots.size() * 2); }
    void Rehash(std::size_t slots) {
        std::vector<value_type> old = std::move(_slots);
        _slots.assign(slots, value_type(nullptr, nullptr));
        _count = 0;
        for (const value_type& entry : old) {
            if (entry.first != nullptr) emplace(entry.first, entry.second);
        }
    }

    std::vector<value_type> _slots;
    std::size_t _count = 0;
};

class CodeGenContext final : public Spv::Generator::Module {
  public:
    using IoMapType = Common::OrderedMap<StructuredIr::IoDefinition, Instruction*>;
    using LoopTargetMap = std::unordered_map<const StructuredIr::AstBlock*, std::pair<Instruction*, Instruction*>>;

    // Labels of one AST block: the block's SPIR-V code is split wherever a
    // nested block interrupts it, and entry n starts at label n. Most blocks
    // are entered once or twice, so the first labels live in the state
    // itself and only a block split more often takes a separate list.
    struct BlockState {
        static constexpr std::size_t InlineLabels = 4;
        Instruction* FirstLabels[InlineLabels] = {};
        std::vector<Instruction*> MoreLabels;
        std::size_t LabelCount = 0;
        int32_t EntryCount = 0;

        // The label at index, creating unplaced labels up to it.
        Instruction* GetLabel(CodeGenContext& context, int32_t index);
    };

    // Map from AST blocks to their states: lookup only, never enumerated, so
    // pointer keys cannot reach the output. Open addressing in one array,
    // because a node and a label list per block were among the largest
    // allocation counts of code generation. A reference it hands out lasts
    // until the next lookup of a new block.
    class BlockStateMap {
      public:
        BlockState& operator[](const StructuredIr::AstBlock* key) {
            if (key == nullptr) throw Common::ArgumentException("A block is missing.");
            if (!_slots.empty()) {
                std::size_t mask = _slots.size() - 1;
                for (std::size_t i = Home(key); ; i = (i + 1) & mask) {
                    if (_slots[i].first == key) return _slots[i].second;
                    if (_slots[i].first == nullptr) break;
                }
            }
            if ((_count + 1) * 2 > _slots.size()) Rehash(_slots.empty() ? 64 : _slots.size() * 2);
            std::size_t mask = _slots.size() - 1;
            std::size_t i = Home(key);
            while (_slots[i].first != nullptr) i = (i + 1) & mask;
            _slots[i].first = key;
            _count++;
            return _slots[i].second;
        }

      private:
        using Slot = std::pair<const StructuredIr::AstBlock*, BlockState>;
        std::size_t Home(const StructuredIr::AstBlock* key) const {
            uint64_t h = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(key)) * 0x9E3779B97F4A7C15ull;
            return static_cast<std::size_t>(h >> 32) & (_slots.size() - 1);
        }
        void Rehash(std::size_t slots) {
            std::vector<Slot> old = std::move(_slots);
            _slots.clear();
            _slots.resize(slots);
            std::size_t mask = slots - 1;
            for (Slot& entry : old) {
                if (entry.first == nullptr) continue;
                std::size_t i = Home(entry.first);
                while (_slots[i].first != nullptr) i = (i + 1) & mask;
                _slots[i] = std::move(entry);
            }
        }

        std::vector<Slot> _slots;
        std::size_t _count = 0;
    };

    CodeGenContext(const StructuredIr::StructuredProgramInfo& info, const CodeGenParameters& parameters,
                   Spv::Generator::GeneratorPool<Instruction>* instructionPool,
                   Spv::Generator::GeneratorPool<Spv::Generator::LiteralInteger>* literalPool);

    const StructuredIr::StructuredProgramInfo& Info;
    // The program's inputs and outputs; a copy, because the generator adds
    // the inputs it needs itself (the lane index of SwizzleAdd).
    Common::OrderedSet<StructuredIr::IoDefinition> IoDefinitions;
    const Translation::AttributeUsage& AttributeUsage;
    const Translation::ShaderDefinitions& Definitions;
    const StructuredIr::ShaderProperties& Properties;
    Translation::HostCapabilities HostCapabilities;
    IGpuAccessor& GpuAccessor;
    Translation::TargetGraphicsApi GraphicsApi;

    Common::OrderedMap<int32_t, Instruction*> ConstantBuffers;
    Common::OrderedMap<int32_t, Instruction*> StorageBuffers;
    Common::OrderedMap<int32_t, Instruction*> LocalMemories;
    Common::OrderedMap<int32_t, Instruction*> SharedMemories;
    Common::OrderedMap<SetBindingPair, SamplerType> SamplerTypes;
    Common::OrderedMap<SetBindingPair, SamplerDeclaration> Samplers;
    Common::OrderedMap<SetBindingPair, ImageDeclaration> Images;
    IoMapType Inputs;
    IoMapType Outputs;
    IoMapType InputsPerPatch;
    IoMapType OutputsPerPatch;

    const StructuredIr::StructuredFunction* CurrentFunction = nullptr;
    LocalVariableMap Locals;
    std::vector<Instruction*> Arguments;
    std::vector<std::pair<const StructuredIr::StructuredFunction*, Instruction*>> Functions;
    BlockStateMap BlockStates;
    // Installed by the control-flow walk of each function body.
    LoopTargetMap* LoopTargets = nullptr;
    StructuredIr::AstBlock* CurrentBlock = nullptr;

    // Layout decorations already given to deduplicated types (by id): a type
    // shared by two buffers is decorated once, and a buffer that needs a
    // different layout for an equal type gets a type of its own.
    std::unordered_map<uint32_t, int32_t> ArrayStrides;
    std::unordered_map<uint32_t, std::pair<bool, std::vector<int32_t>>> BlockLayouts;

    bool IsMainFunction = false;
    bool MayHaveReturned = false;
    bool NonUniformDeclared = false;

    // Throws ArgumentException when the key is already present.
    template <typename Map, typename Key, typename Value> static void AddUnique(Map& map, const Key& key, Value value);

    void StartFunction(bool isMainFunction);
    void EnterBlock(StructuredIr::AstBlock* block);
    BlockState& GetBlockStateLazy(const StructuredIr::AstBlock* block);
    // Ends the current SPIR-V block with a branch to a new one and returns its label.
    Instruction* NewBlock();
    // Inputs, outputs, per-patch inputs, per-patch outputs, each in declaration order.
    std::vector<Instruction*> GetMainInterface() const;

    // Places a label: the SPIR-V block it starts is open for instructions.
    void PlaceLabel(Instruction* label);
    // Records that the current SPIR-V block has its terminator.
    void MarkTerminated() { _blockTerminated = true; }
    bool IsBlockTerminated() const { return _blockTerminated; }
    // Code that follows a terminator (a return in the middle of a block)
    // goes into a new, unreachable block instead of after the terminator.
    void EnsureBlockOpen();

    Instruction* Get(Translation::AggregateType type, StructuredIr::IAstNode* node);
    Instruction* GetWithType(StructuredIr::IAstNode* node, Translation::AggregateType& type);
    Instruction* GetUndefined(Translation::AggregateType type);
    Instruction* GetConstant(Translation::AggregateType type, const StructuredIr::AstOperand& operand);
    Instruction* GetLocal(Translation::AggregateType type, const StructuredIr::AstOperand& operand);
    Instruction* GetArgument(Translation::AggregateType type, const StructuredIr::AstOperand& operand);
    // Inline for the scalar and vector types already built, which are
    // nearly every type an operation asks for.
    Instruction* GetType(Translation::AggregateType type, int32_t length = 1) {
        const uint32_t bits = static_cast<uint32_t>(type);
        const uint32_t count = bits & static_cast<uint32_t>(Translation::AggregateType::ElementCountMask);
        const uint32_t elementBits = bits & ~count;
        if (elementBits < CachedElementTypes) {
            if (Instruction* cached = _types[count >> 8][elementBits]) return cached;
        }
        return BuildType(type, length);
    }
    Instruction* BitcastIfNeeded(Translation::AggregateType to, Translation::AggregateType from, Instruction* value) {
        if (to == from) return value;
        return Convert(to, from, value);
    }

    // The cached bool type; hides the module's, which builds and looks up
    // a new instruction at every call.
    Instruction* TypeBool() { return GetType(Translation::AggregateType::Bool); }
    Instruction* TypeS32();
    Instruction* TypeU32();
    Instruction* TypeFP32();
    Instruction* TypeFP64();
    Instruction* TypeVectorOf(Instruction* componentType, int32_t count);

    Instruction* ConstantS32(int32_t value);
    Instruction* ConstantU32(uint32_t value);
    Instruction* ConstantFP32(float value);
    Instruction* ConstantFP64(double value);

    // Adds a capability or extension unless this module already has it.
    void AddCapabilityOnce(spv::Capability capability);
    void AddExtensionOnce(const char* name);

  private:
    Instruction* Undef(Instruction* type);
    // GetType for a type not in the cache below (and the cache's filling).
    Instruction* BuildType(Translation::AggregateType type, int32_t length);
    // BitcastIfNeeded between different types.
    Instruction* Convert(Translation::AggregateType to, Translation::AggregateType from, Instruction* value);

    // Scalar and vector types already built, by element type and component
    // count. Every operation asks for its types, and building one only to
    // find its twin in the module's type table is the costlier path. These
    // types are never declared with a forced id, so the first instruction
    // stays the one the module resolves them to.
    static constexpr uint32_t CachedElementTypes = 8;
    Instruction* _types[4][CachedElementTypes] = {};

    bool _blockTerminated = false;
    std::vector<spv::Capability> _capabilities;
    std::vector<const char*> _extensions;
};

template <typename Map, typename Key, typename Value>
void CodeGenContext::AddUnique(Map& map, const Key& key, Value value) {
    if (!map.TryAdd(key, std::move(value))) {
        throw Common::ArgumentException("An item with the same key has already been added.");
    }
}

} // namespace Zerivox::Graphics::Shader::CodeGen::Spirv
