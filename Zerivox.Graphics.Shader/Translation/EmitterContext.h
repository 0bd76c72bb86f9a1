#pragma once
#include <cstdint>
#include <deque>
#include <initializer_list>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "Zerivox.Common/OrderedMap.h"
#include "Zerivox.Graphics.Shader/Decoders/InstOp.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrArena.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Operand.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Operation.h"

namespace Zerivox::Graphics::Shader {
class IGpuAccessor;
}
namespace Zerivox::Graphics::Shader::Decoders {
class Block;
class DecodedProgram;
}

namespace Zerivox::Graphics::Shader::Translation {

class TranslatorContext;
class ResourceManager;
class ShaderDefinitions;

// The IR builder of one function: collects the operations the emitters
// produce, hands out one label per guest block address, lowers indirect
// branch target lists to compare chains at block entry, and writes the
// stage prologue (EmitStart) and epilogue (PrepareForReturn).
//
// The builder operations themselves are in EmitterContextInsts; each appends
// exactly one operation here. Operations are appended in call order, so
// never nest builder calls in another call's arguments: hoist each into a
// named local in the intended order.
class EmitterContext {
public:
    using Operand = IntermediateRepresentation::Operand;
    using Operation = IntermediateRepresentation::Operation;
    using Instruction = IntermediateRepresentation::Instruction;
    using StorageKind = IntermediateRepresentation::StorageKind;
    using IrArena = IntermediateRepresentation::IrArena;

    // Label record of one guest block address. The indirect-branch emitter
    // fills the selector fields of candidate targets: the block then starts
    // with a test that jumps on to NextTarget unless Selector equals
    // SelectorValue.
    struct BlockLabel {
        Operand* Label = nullptr;
        Operand* Selector = nullptr;
        uint64_t NextTarget = 0;
        int32_t SelectorValue = 0;
    };

    // Bare context: only an operation list over the arena, for generated
    // helper functions and passes. EmitStart and the epilogues need a
    // translator context and must not be called on it.
    explicit EmitterContext(IrArena& arena);

    // Context of one emitted guest function (runs EmitStart). The
    // translator context, resource manager and program must outlive it.
    EmitterContext(Translation::TranslatorContext& translatorContext, Translation::ResourceManager& resourceManager,
                   Decoders::DecodedProgram& program, bool vertexAsCompute, bool isNonMain);

    EmitterContext(const EmitterContext&) = delete;
    EmitterContext& operator=(const EmitterContext&) = delete;

    Translation::TranslatorContext* TranslatorContext = nullptr;  // null in a bare context
    Translation::ResourceManager* ResourceManager = nullptr;
    Decoders::Block* CurrBlock = nullptr;
    std::vector<Operation*> Operations;
    bool VertexAsCompute = false;
    bool IsNonMain = false;
    Decoders::DecodedProgram* Program = nullptr;  // shared with the whole translation
    Decoders::InstOp CurrOp;

    IrArena& Arena() const { return *_arena; }
    // Accessor and definitions of the translation; a bare context raises
    // InvalidOperationException.
    IGpuAccessor& GpuAccessor() const;
    ShaderDefinitions& Definitions() const;

    // Appends an operation and returns it.
    Operation* Add(Operation* operation);
    // Conveniences that build and append one operation; they return dest.
    Operand* Add(Instruction inst, Operand* dest = nullptr, std::initializer_list<Operand*> sources = {});
    Operand* Add(Instruction inst, Operand* dest, std::span<Operand* const> sources);
    Operand* Add(Instruction inst, StorageKind storageKind, Operand* dest,
                 std::initializer_list<Operand*> sources = {});
    Operand* Add(Instruction inst, StorageKind storageKind, Operand* dest, std::span<Operand* const> sources);
    // Two destinations in order (index 0); returns them.
    std::pair<Operand*, Operand*> Add(Instruction inst, std::pair<Operand*, Operand*> dests,
                                      std::initializer_list<Operand*> sources);

    // MarkLabel of a label / an unconditional Branch to it.
    void MarkLabel(Operand* label);
    void Branch(Operand* label);

    // Marks the start of the guest block at address, with its selector test
    // when it is a candidate target of an indirect branch.
    void EnterBlock(uint64_t address);
    // The label record of an address, created on first request; the
    // reference stays valid for the context's life.
    BlockLabel& EnsureBlockLabel(uint64_t address);

    // The current instruction word viewed through a field-accessor type.
    template <typename T>
    T GetOp() const {
        return T(CurrOp.RawOpCode);
    }

    // Stage prologue; run by the full constructor.
    void EmitStart();
    // Stage epilogue before a guest return; the caller appends Return when
    // the result is true (false: the alpha test always discards).
    bool PrepareForReturn();
    // Viewport fix-up of the position output.
    void PrepareForVertexReturn();
    // The same, first saving the position's x and y into new locals (null
    // when the fix-up is off); z is always null.
    void PrepareForVertexReturn(Operand*& x, Operand*& y, Operand*& z);

    void GenerateAlphaToCoverageDitherDiscard();
    void WritePositionOutput(int vertex);
    void WriteUserDefinedOutput(int location, int vertex);

private:
    void RequireTranslatorContext() const;

    IrArena* _arena;
    Common::OrderedMap<uint64_t, BlockLabel*> _labels;
    std::deque<BlockLabel> _labelStorage;
};

} // namespace Zerivox::Graphics::Shader::Translation
