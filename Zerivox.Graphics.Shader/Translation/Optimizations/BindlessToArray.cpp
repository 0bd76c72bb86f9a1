// Bindless handles read from a constant buffer at a run-time index become
// indices into an array of textures.
#include "Zerivox.Graphics.Shader/Translation/Optimizations/BindlessToArray.h"

#include <cstdint>

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

// Every array made here has 32 elements; an index beyond them is clamped.
constexpr int32_t ArrayLength = 32;
// Bit 28 of a packed handle: kind 1, the sampler comes from a word of its own.
constexpr uint32_t SeparateSamplerKind = 0x10000000u;

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

Operand* InsertBefore(INode* anchor, Instruction inst, Operand* a, Operand* b) {
    IrArena& arena = anchor->AsOperation()->Arena();
    Operand* dest = OH::MakeLocal(arena);
    Operation* operation = arena.NewOperation(inst, dest, {a, b});
    // For the second clean-up, which visits only marked nodes.
    operation->set_Revisit(true);
    anchor->List()->AddBefore(anchor, operation);
    return dest;
}

} // namespace

// The host fills the array from 64-bit handles: element i is the handle in
// words 2i and 2i + 1 of the constant buffer, so the element of the word
// the guest reads is its word index halved, from word 0 on.
bool BindlessToArray::RunPass(BasicBlock& block, ResourceManager& resourceManager, IGpuAccessor&) {
    bool changed = false;
    for (INode* node = block.Operations.First(); node != nullptr;) {
        INode* next = node->ListNext();
        TextureOperation* op = Utils::TextureOperationOf(node);
        node = next;
        if (op == nullptr || !HasFlag(op->Flags, TextureFlags::Bindless) || op->SourcesCount() == 0)
            continue;

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
            continue;
        }

        uint32_t packedSlot = static_cast<uint32_t>(slot);
        uint32_t packedHandle = 0;
        if (samplerWord != nullptr) {
            packedSlot |= static_cast<uint32_t>(samplerWord->GetCbufSlot() + 1) << 16;
            packedHandle = (static_cast<uint32_t>(samplerWord->GetCbufOffset()) << 14) | SeparateSamplerKind;
        }
        const SetBindingPair binding = resourceManager.GetTextureOrImageBinding(
            op->Inst, op->Type, op->Format, op->Flags & ~TextureFlags::Bindless, static_cast<int32_t>(packedSlot),
            static_cast<int32_t>(packedHandle), ArrayLength, false);
        Utils::MarkForCleanUp(op);
        op->TurnIntoArray(binding);
        changed = true;

        // Element = ((vector << 1) + (component >> 1)), at most 31.
        IrArena& arena = op->Arena();
        Operand* shiftLeft = OH::MakeConstant(arena, 1);
        Operand* x = InsertBefore(op, Instruction::ShiftLeft, load->GetSource(2), shiftLeft);
        Operand* shiftRight = OH::MakeConstant(arena, 1);
        Operand* y = InsertBefore(op, Instruction::ShiftRightU32, load->GetSource(3), shiftRight);
        Operand* z = InsertBefore(op, Instruction::Add, x, y);
        Operand* last = OH::MakeConstant(arena, ArrayLength - 1);
        Operand* i = InsertBefore(op, Instruction::MinimumU32, z, last);
        op->SetSource(0, i);
    }
    return changed;
}

bool BindlessToArray::RunPassOgl(BasicBlock& block, ResourceManager& resourceManager) {
    bool changed = false;
    for (INode* node = block.Operations.First(); node != nullptr;) {
        INode* next = node->ListNext();
        TextureOperation* op = Utils::TextureOperationOf(node);
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
        Utils::MarkForCleanUp(op);
        op->TurnIntoArray(binding);
        changed = true;
        Operand* i = InsertBefore(op, Instruction::ShiftRightU32, add->GetSource(0),
                                  OH::MakeConstant(op->Arena(), 3));
        op->SetSource(0, i);
    }
    return changed;
}

} // namespace Zerivox::Graphics::Shader::Translation::Optimizations
