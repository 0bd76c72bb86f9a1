#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <initializer_list>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "Zerivox.Common/MonotonicArena.h"

#include "Zerivox.Graphics.Shader/IntermediateRepresentation/BasicBlock.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/CommentNode.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Function.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Operand.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Operation.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/PhiNode.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/TextureOperation.h"

namespace Zerivox::Graphics::Shader::IntermediateRepresentation {

// The bulk of a translation's IR keeps its variable parts in the arena's
// storage, so none of it needs a destructor call when the arena dies.
static_assert(std::is_trivially_destructible_v<Operand>);
static_assert(std::is_trivially_destructible_v<Operation>);
static_assert(std::is_trivially_destructible_v<TextureOperation>);
static_assert(std::is_trivially_destructible_v<CommentNode>);

// Storage of every IR object of one translation.
//
// Ownership: one IrArena per translation (the translation context owns it).
// Every stage that creates IR - the builder (EmitterContext), the CFG/SSA
// construction, register passing, the helper-function generator, the
// optimiser, the transforms - creates it here, through the New* members
// (or OperandHelper, which forwards here). Nothing is freed before the arena
// dies, and everything is freed when it does, so links between operands,
// nodes and blocks are plain non-owning pointers and a node that a pass
// removes from its block simply stays allocated.
//
// Reaching the arena: EmitterContext::Arena(), BasicBlock::Arena() and
// Operation::Arena() all give the arena that made them, so a pass that holds
// a block or a node can create new IR without extra plumbing.
//
// Objects live in chunked stores (stable addresses, allocation in chunks);
// operand pointer arrays of operations come from a bump allocator.
class IrArena {
public:
    using Operands = std::span<Operand* const>;

    IrArena() = default;
    IrArena(const IrArena&) = delete;
    IrArena& operator=(const IrArena&) = delete;

    // Inline, like the other makers of the most common objects: a call per
    // operand costs about as much as the operand itself.
    Operand* NewOperand(OperandType type, int32_t value = 0) { return _operands.Emplace(type, value); }
    // Register operand as it is; the zero register and the true predicate
    // become constants only through OperandHelper::Register.
    Operand* NewOperand(Decoders::Register reg) { return _operands.Emplace(reg); }

    Operation* NewOperation(Instruction inst, Operand* dest, Operands sources) {
        return _operations.Emplace(*this, inst, dest, sources);
    }
    Operation* NewOperation(Instruction inst, Operand* dest, std::initializer_list<Operand*> sources) {
        return NewOperation(inst, dest, Operands(sources.begin(), sources.size()));
    }
    Operation* NewOperation(Instruction inst, StorageKind storageKind, Operand* dest, Operands sources) {
        return _operations.Emplace(*this, inst, storageKind, dest, sources);
    }
    Operation* NewOperation(Instruction inst, StorageKind storageKind, Operand* dest,
                            std::initializer_list<Operand*> sources) {
        return NewOperation(inst, storageKind, dest, Operands(sources.begin(), sources.size()));
    }
    // Several destinations (null entries allowed).
    Operation* NewOperation(Instruction inst, int32_t index, Operands dests, Operands sources);
    Operation* NewOperation(Instruction inst, int32_t index, std::initializer_list<Operand*> dests,
                            std::initializer_list<Operand*> sources) {
        return NewOperation(inst, index, Operands(dests.begin(), dests.size()),
                            Operands(sources.begin(), sources.size()));
    }

    TextureOperation* NewTextureOperation(Instruction inst, SamplerType type, TextureFormat format,
                                          TextureFlags flags, int32_t set, int32_t binding, int32_t index,
                                          Operands dests, Operands sources);

    // The text is copied into the arena.
    CommentNode* NewComment(std::string_view text);
    PhiNode* NewPhi(Operand* dest);
    BasicBlock* NewBlock();
    Function* NewFunction(std::vector<BasicBlock*> blocks, std::string name, bool returnsValue, int inArgumentCount,
                          int outArgumentCount);

    // Uninitialised array of n operand pointers, owned by the arena (n = 0
    // gives null). For Operation's operand arrays.
    Operand** AllocOperandArray(std::size_t n) { return _bytes.AllocateArray<Operand*>(n); }

    // Storage that lives as long as the arena, for the variable-length parts
    // of IR objects (operand arrays, use-set entries, comment text).
    Common::MonotonicArena& Bytes() { return _bytes; }

private:
    // Objects of one kind, in chunks that double in size (32 objects up to
    // 1024): stable addresses like a deque, but a shader of a few hundred
    // instructions needs a handful of allocations per kind instead of one
    // per 512 bytes. Objects are destroyed in creation order.
    template <typename T>
    class Store {
    public:
        Store() = default;
        Store(const Store&) = delete;
        Store& operator=(const Store&) = delete;
        ~Store() {
            // Operands and operations keep everything they point to in the
            // arena: nothing to run for them, and a shader of many thousand
            // nodes ends without a walk over every one.
            if constexpr (!std::is_trivially_destructible_v<T>) {
                for (std::size_t c = 0; c < _chunks.size(); c++) {
                    Slot* first = _chunks[c].get();
                    Slot* last = c + 1 == _chunks.size() ? _next : first + ChunkLength(c);
                    for (Slot* s = first; s != last; s++) std::launder(reinterpret_cast<T*>(s))->~T();
                }
            }
        }

        // Inline and down to a pointer compare and bump: every operand and
        // operation of a translation comes through here.
        template <typename... Args>
        T* Emplace(Args&&... args) {
            if (_next == _end) AddChunk();
            T* object = ::new (static_cast<void*>(_next)) T(std::forward<Args>(args)...);
            // Past the constructor: an object whose constructor throws leaves
            // no slot that the destructor walk would take for a live object.
            _next++;
            return object;
        }

    private:
        struct alignas(T) Slot {
            unsigned char Bytes[sizeof(T)];
        };
        static std::size_t ChunkLength(std::size_t index) { return std::size_t{32} << (index < 5 ? index : 5); }

        void AddChunk() {
            std::size_t length = ChunkLength(_chunks.size());
            // Raw storage: zero-filling it first costs more than the
            // objects' own construction.
            _chunks.push_back(std::make_unique_for_overwrite<Slot[]>(length));
            _next = _chunks.back().get();
            _end = _next + length;
        }

        std::vector<std::unique_ptr<Slot[]>> _chunks;
        // Free room of the last chunk: [_next, _end).
        Slot* _next = nullptr;
        Slot* _end = nullptr;
    };

    Store<Operand> _operands;
    Store<Operation> _operations;
    Store<TextureOperation> _textureOperations;
    Store<CommentNode> _comments;
    Store<PhiNode> _phis;
    Store<BasicBlock> _blocks;
    Store<Function> _functions;

    Common::MonotonicArena _bytes;
};

} // namespace Zerivox::Graphics::Shader::IntermediateRepresentation
