// Bindless handles read from a constant buffer at a run-time index become
// indices into an array of textures.
#include "Zerivox.Graphics.Shader/Translation/Optimizations/BindlessToArray.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "Zerivox.Graphics.Shader/IntermediateRepresentation/BasicBlock.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrArena.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/TextureOperation.h"
#include "Zerivox.Graphics.Shader/Translation/Optimizations/Utils.h"
#include "Zerivox.Graphics.Shader/Translation/ResourceManager.h"

namespace Zerivox::Graphics::Shader::Translation::Optimizations {

using namespace IntermediateRepresentation;
namespace OH = IntermediateRepresentation::OperandHelper;

namespace {

// Length of an array whose index the code does not bound.
constexpr int32_t ArrayLength = 32;
// Packed handles keep the handle's word offset in 14 bits.
constexpr int32_t MaxHandleWord = (1 << 14) - 1;
// Bounds are only followed through a few operations: enough for the masks
// and shifts compilers put on an index, and no deep walk on long chains.
constexpr int MaxBoundDepth = 8;

Operation* DefiningOperation(const Operand* operand) {
    if (operand == nullptr || operand->Definition == nullptr) return nullptr;
    return operand->Definition->AsOperation();
}

// A constant-buffer Load of exactly (binding, 0, vector index, component index).
bool IsCbufLoad(const Operation* op, const ResourceManager& resourceManager, int32_t& slot) {
    return op != nullptr && op->Inst == Instruction::Load && op->StorageKind == StorageKind::ConstantBuffer &&
           op->SourcesCount() == 4 && op->GetSource(0)->IsConstant() &&
           resourceManager.TryGetConstantBufferSlot(op->GetSource(0)->Value, slot) && op->GetSource(1)->IsConstant() &&
           op->GetSource(1)->Value == 0;
}

bool IsConstant(const Operand* operand, int32_t value) {
    return operand != nullptr && operand->IsConstant() && operand->Value == value;
}

// The largest unsigned value the operand can hold, when constants, masks,
// shifts, sums and minimums bound it; nothing when they do not.
std::optional<uint32_t> UpperBound(const Operand* operand, int depth = 0) {
    if (operand == nullptr) return std::nullopt;
    if (operand->IsConstant()) return static_cast<uint32_t>(operand->Value);
    const Operation* op = DefiningOperation(operand);
    if (op == nullptr || depth >= MaxBoundDepth) return std::nullopt;
    const int n = op->SourcesCount();
    switch (op->Inst) {
    case Instruction::Copy:
        return n == 1 ? UpperBound(op->GetSource(0), depth + 1) : std::nullopt;
    case Instruction::BitwiseAnd:
    case Instruction::MinimumU32: {
        if (n != 2) return std::nullopt;
        std::optional<uint32_t> a = UpperBound(op->GetSource(0), depth + 1);
        std::optional<uint32_t> b = UpperBound(op->GetSource(1), depth + 1);
        if (a && b) return std::min(*a, *b);
        return a ? a : b;
    }
    case Instruction::Add: {
        if (n != 2) return std::nullopt;
        std::optional<uint32_t> a = UpperBound(op->GetSource(0), depth + 1);
        std::optional<uint32_t> b = UpperBound(op->GetSource(1), depth + 1);
        if (!a || !b || *a > UINT32_MAX - *b) return std::nullopt;
        return *a + *b;
    }
    case Instruction::ShiftLeft:
    case Instruction::ShiftRightU32: {
        if (n != 2 || !op->GetSource(1)->IsConstant()) return std::nullopt;
        const uint32_t shift = static_cast<uint32_t>(op->GetSource(1)->Value) & 31u;
        std::optional<uint32_t> a = UpperBound(op->GetSource(0), depth + 1);
        if (!a) return std::nullopt;
        if (op->Inst == Instruction::ShiftRightU32) return *a >> shift;
        if (*a > (UINT32_MAX >> shift)) return std::nullopt;
        return *a << shift;
    }
    default:
        return std::nullopt;
    }
}

// x + constant (either order) with a non-negative constant: the other source
// and the constant.
bool SplitConstantAddend(const Operand* value, Operand*& rest, int32_t& addend) {
    const Operation* add = DefiningOperation(value);
    if (add == nullptr || add->Inst != Instruction::Add || add->SourcesCount() != 2) return false;
    for (int i = 0; i < 2; i++) {
        Operand* c = add->GetSource(i);
        if (c->IsConstant() && c->Value >= 0) {
            rest = add->GetSource(1 - i);
            addend = c->Value;
            return true;
        }
    }
    return false;
}

// Where a dynamically indexed handle array starts, how many words the code
// can reach from there, and the word index the load reads.
struct HandleWords {
    Operand* WordIndex = nullptr; // null: rebuild it from the vector and component indices
    int32_t Base = 0;
    int32_t Length = ArrayLength;
};

// Compilers read the handle of sampler array element i from the word at
// (constant base + i); the base word becomes the array's handle and element
// i the descriptor of word base + i. The load addresses the word as
// (w >> 2, w & 3); w is usually (dynamic byte offset + constant) >> 2.
HandleWords FindHandleWords(const Operation& load) {
    HandleWords words;
    const Operation* vector = DefiningOperation(load.GetSource(2));
    const Operation* component = DefiningOperation(load.GetSource(3));
    if (vector == nullptr || component == nullptr || vector->Inst != Instruction::ShiftRightU32 ||
        vector->SourcesCount() != 2 || !IsConstant(vector->GetSource(1), 2) ||
        component->Inst != Instruction::BitwiseAnd || component->SourcesCount() != 2) {
        return words;
    }
    Operand* w = vector->GetSource(0);
    const bool sameWord = (component->GetSource(0) == w && IsConstant(component->GetSource(1), 3)) ||
                          (component->GetSource(1) == w && IsConstant(component->GetSource(0), 3));
    if (!sameWord) return words;
    words.WordIndex = w;

    std::optional<uint32_t> reach; // last word the dynamic part can reach, relative to the base
    const Operation* shift = DefiningOperation(w);
    Operand* rest = nullptr;
    int32_t addend = 0;
    if (shift != nullptr && shift->Inst == Instruction::ShiftRightU32 && shift->SourcesCount() == 2 &&
        IsConstant(shift->GetSource(1), 2) && SplitConstantAddend(shift->GetSource(0), rest, addend) &&
        addend % 4 == 0) {
        // (bytes + 4k) >> 2 == (bytes >> 2) + k for any bytes.
        words.Base = addend / 4;
        if (std::optional<uint32_t> bytes = UpperBound(rest)) reach = *bytes >> 2;
    } else if (SplitConstantAddend(w, rest, addend)) {
        words.Base = addend;
        reach = UpperBound(rest);
    } else {
        reach = UpperBound(w);
    }
    if (reach && *reach < static_cast<uint32_t>(ArrayLength)) {
        words.Length = static_cast<int32_t>(*reach) + 1;
    }
    return words;
}

Operand* InsertBefore(INode* anchor, Instruction inst, Operand* a, Operand* b) {
    IrArena& arena = anchor->AsOperation()->Arena();
    Operand* dest = OH::MakeLocal(arena);
    anchor->List()->AddBefore(anchor, arena.NewOperation(inst, dest, {a, b}));
    return dest;
}

} // namespace

void BindlessToArray::RunPass(BasicBlock& block, ResourceManager& resourceManager, IGpuAccessor&) {
    for (INode* node = block.Operations.First(); node != nullptr;) {
        INode* next = node->ListNext();
        TextureOperation* op = node->AsTextureOperation();
        if (op == nullptr || !HasFlag(op->Flags, TextureFlags::Bindless) || op->SourcesCount() == 0) {
            node = next;
            continue;
        }
        Operand* h = Utils::FindLastOperation(op->GetSource(0), &block, true);
        Operation* load = DefiningOperation(h);
        Operand* samplerWord = nullptr;
        if (load != nullptr && load->Inst == Instruction::BitwiseOr && load->SourcesCount() >= 2) {
            Operand* a = Utils::FindLastOperation(load->GetSource(0), &block, true);
            Operand* b = Utils::FindLastOperation(load->GetSource(1), &block, true);
            if (a->Type == OperandType::ConstantBuffer && DefiningOperation(b) != nullptr) {
                load = DefiningOperation(b);
                samplerWord = a;
            } else if (DefiningOperation(a) != nullptr && b->Type == OperandType::ConstantBuffer) {
                load = DefiningOperation(a);
                samplerWord = b;
            }
        }
        int32_t slot = 0;
        if (!IsCbufLoad(load, resourceManager, slot) || !load->GetSource(2)->IsLocal() ||
            !load->GetSource(3)->IsLocal()) {
            node = next;
            continue;
        }
        const HandleWords words = FindHandleWords(*load);
        if (words.Base > MaxHandleWord) {
            // The packed handle cannot name that word; leave the access to
            // bindless elimination.
            node = next;
            continue;
        }

        int32_t packedSlot = slot;
        int32_t packedHandle = words.Base;
        if (samplerWord != nullptr) {
            packedSlot = static_cast<int32_t>(static_cast<uint32_t>(slot) |
                                              (static_cast<uint32_t>(samplerWord->GetCbufSlot() + 1) << 16));
            packedHandle = static_cast<int32_t>(static_cast<uint32_t>(words.Base) |
                                                (static_cast<uint32_t>(samplerWord->GetCbufOffset()) << 14) |
                                                0x10000000u);
        }
        const SetBindingPair binding = resourceManager.GetTextureOrImageBinding(
            op->Inst, op->Type, op->Format, op->Flags & ~TextureFlags::Bindless, packedSlot, packedHandle,
            words.Length, false);
        op->TurnIntoArray(binding);

        // Element = word index - base, clamped to the array (a word before
        // the base wraps to a large index and is clamped too).
        IrArena& arena = op->Arena();
        Operand* word = words.WordIndex;
        if (word == nullptr) {
            Operand* two = OH::MakeConstant(arena, 2);
            Operand* x = InsertBefore(op, Instruction::ShiftLeft, load->GetSource(2), two);
            word = InsertBefore(op, Instruction::Add, x, load->GetSource(3));
        }
        Operand* element = word;
        if (words.Base != 0) {
            Operand* base = OH::MakeConstant(arena, words.Base);
            element = InsertBefore(op, Instruction::Subtract, word, base);
        }
        Operand* last = OH::MakeConstant(arena, words.Length - 1);
        Operand* i = InsertBefore(op, Instruction::MinimumU32, element, last);
        op->SetSource(0, i);
        node = next;
    }
}

void BindlessToArray::RunPassOgl(BasicBlock& block, ResourceManager& resourceManager) {
    for (INode* node = block.Operations.First(); node != nullptr;) {
        INode* next = node->ListNext();
        TextureOperation* op = node->AsTextureOperation();
        node = next;
        if (op == nullptr || !HasFlag(op->Flags, TextureFlags::Bindless) || op->SourcesCount() == 0) continue;

        Operation* load = DefiningOperation(op->GetSource(0));
        int32_t slot = 0;
        if (!IsCbufLoad(load, resourceManager, slot) || slot != 2) continue;
        Operation* shift1 = DefiningOperation(load->GetSource(2));
        if (shift1 == nullptr || shift1->Inst != Instruction::ShiftRightU32) continue;
        Operation* shift2 = DefiningOperation(shift1->GetSource(0));
        if (shift2 == nullptr || shift2->Inst != Instruction::ShiftRightU32) continue;
        Operation* add = DefiningOperation(shift2->GetSource(0));
        if (add == nullptr || add->Inst != Instruction::Add || add->SourcesCount() < 2 ||
            !add->GetSource(1)->IsConstant()) {
            continue;
        }
        const int32_t c = add->GetSource(1)->Value;
        const SetBindingPair binding = resourceManager.GetTextureOrImageBinding(
            op->Inst, op->Type, op->Format, op->Flags & ~TextureFlags::Bindless, 2, c / 4, 4, false);
        op->TurnIntoArray(binding);
        Operand* i = InsertBefore(op, Instruction::ShiftRightU32, add->GetSource(0),
                                  OH::MakeConstant(op->Arena(), 3));
        op->SetSource(0, i);
    }
}

} // namespace Zerivox::Graphics::Shader::Translation::Optimizations
