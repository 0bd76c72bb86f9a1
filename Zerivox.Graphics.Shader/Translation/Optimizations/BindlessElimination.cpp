// Bindless texture elimination: a handle traced to constant-buffer words
// binds the operation to one texture; a handle read from an input or a
// storage buffer indexes 32-entry arrays; anything else removes the access.
#include "Zerivox.Graphics.Shader/Translation/Optimizations/BindlessElimination.h"

#include <string>

#include "Zerivox.Graphics.Shader/IGpuAccessor.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/BasicBlock.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/InstructionExtensions.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrArena.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/PhiNode.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/TextureOperation.h"
#include "Zerivox.Graphics.Shader/StructuredIr/ShaderProperties.h"
#include "Zerivox.Graphics.Shader/Translation/Optimizations/Utils.h"
#include "Zerivox.Graphics.Shader/Translation/ResourceManager.h"

namespace Zerivox::Graphics::Shader::Translation::Optimizations {

using namespace IntermediateRepresentation;
namespace IE = IntermediateRepresentation::InstructionExtensions;
namespace OH = IntermediateRepresentation::OperandHelper;

namespace {

constexpr int32_t FallbackHandle = 0x40000000;
constexpr int32_t FallbackArrayLength = 32;

Operation* DefiningOperation(const Operand* operand) {
    if (operand == nullptr || operand->Definition == nullptr) return nullptr;
    return operand->Definition->AsOperation();
}

bool IsCbuf(const Operand* operand) { return operand != nullptr && operand->Type == OperandType::ConstantBuffer; }

bool AreBothEqualConstantBuffers(const Operand* a, const Operand* b) {
    return a->Type == b->Type && a->Value == b->Value && a->Type == OperandType::ConstantBuffer;
}

bool IsSameOperand(const Operand* a, const Operand* b) {
    if (a == nullptr || b == nullptr || !a->IsLocal() || !b->IsLocal()) return false;
    const Operation* x = DefiningOperation(a);
    const Operation* y = DefiningOperation(b);
    if (x == nullptr || y == nullptr || x->Inst != Instruction::BitwiseOr || y->Inst != Instruction::BitwiseOr ||
        x->SourcesCount() < 2 || y->SourcesCount() < 2) {
        return false;
    }
    return AreBothEqualConstantBuffers(x->GetSource(0), y->GetSource(0)) &&
           AreBothEqualConstantBuffers(x->GetSource(1), y->GetSource(1));
}

// The operation behind a node; through a phi only when every incoming value
// is the same OR of the same two constant-buffer words.
Operation* TryGetOperation(INode* node) {
    if (node == nullptr) return nullptr;
    if (PhiNode* phi = node->AsPhi()) {
        if (phi->SourcesCount() == 0) return nullptr;
        Operand* first = phi->GetSource(0);
        for (int i = 1; i < phi->SourcesCount(); i++) {
            if (!IsSameOperand(first, phi->GetSource(i))) return nullptr;
        }
        node = first->Definition;
        if (node == nullptr) return nullptr;
    }
    return node->AsOperation();
}

Operand* GetSourceForMaskedHandle(const Operation* andOp, uint32_t mask) {
    if (andOp->SourcesCount() < 2) return nullptr;
    Operand* x = andOp->GetSource(0);
    Operand* y = andOp->GetSource(1);
    if (IsCbuf(x) && IsCbuf(y)) return x->GetCbufSlot() == 1 ? y : x;
    if (IsCbuf(x) && y->IsConstant() && static_cast<uint32_t>(y->Value) == mask) return x;
    if (x->IsConstant() && static_cast<uint32_t>(x->Value) == mask && IsCbuf(y)) return y;
    return nullptr;
}

bool IsShiftLeftBy20(const Operation* op) {
    return op != nullptr && op->Inst == Instruction::ShiftLeft && op->SourcesCount() >= 2 &&
           op->GetSource(1)->IsConstant() && op->GetSource(1)->Value == 20;
}

void SetHandle(ResourceManager& resourceManager, IGpuAccessor& gpuAccessor, TextureOperation& op, int32_t packedHandle,
               int32_t packedSlot, bool askType, bool isImage) {
    if (askType) {
        const SamplerType answer = gpuAccessor.QuerySamplerType(packedHandle, packedSlot);
        if (IE::IsTextureQuery(op.Inst)) {
            op.Type = answer;
        } else if (op.Type == SamplerType::TextureBuffer && answer == SamplerType::Texture1D) {
            // The guest samples a 1D texture as a buffer: fetch row 0 of a 2D texture.
            IrArena& arena = op.Arena();
            op.InsertSource(2, OH::MakeConstant(arena, 0));
            if (!isImage && HasFlag(op.Flags, TextureFlags::IntCoords) && !HasFlag(op.Flags, TextureFlags::LodLevel)) {
                op.Flags |= TextureFlags::LodLevel;
                op.InsertSource(3, OH::MakeConstant(arena, 0));
            }
            op.Type = SamplerType::Texture2D;
        }
    }
    const SetBindingPair binding = resourceManager.GetTextureOrImageBinding(
        op.Inst, op.Type, op.Format, op.Flags & ~TextureFlags::Bindless, packedSlot, packedHandle, 1, false);
    op.SetBinding(binding);
}

bool TryConvertBindless(BasicBlock& block, ResourceManager& resourceManager, IGpuAccessor& gpuAccessor,
                        TextureOperation& op) {
    const Instruction inst = InstCode(op.Inst);
    if (inst == Instruction::TextureSample || IE::IsTextureQuery(inst)) {
        Operand* h = op.GetSource(0);
        if (Operation* shuffle = DefiningOperation(h); shuffle != nullptr && shuffle->Inst == Instruction::Shuffle) {
            h = shuffle->GetSource(0);
        }
        h = Utils::FindLastOperation(h, &block, true);

        const bool askType = op.Type == SamplerType::TextureBuffer || inst == Instruction::TextureQuerySamples ||
                             inst == Instruction::TextureQuerySize;

        if (IsCbuf(h)) {
            SetHandle(resourceManager, gpuAccessor, op, h->GetCbufOffset(), h->GetCbufSlot(), askType, false);
            return true;
        }

        Operation* orOp = TryGetOperation(h->Definition);
        if (orOp == nullptr || orOp->Inst != Instruction::BitwiseOr || orOp->SourcesCount() < 2) return false;

        Operand* a = Utils::FindLastOperation(orOp->GetSource(0), &block, true);
        Operand* b = Utils::FindLastOperation(orOp->GetSource(1), &block, true);
        if (a->IsConstant() && !b->IsConstant()) std::swap(a, b);
        int kind = 1;

        Operation* aOp = TryGetOperation(a->Definition);
        if (aOp == nullptr) {
            Operation* bOp = TryGetOperation(b->Definition);
            if (IsShiftLeftBy20(bOp)) {
                b = bOp->GetSource(0);
                kind = 2;
            } else if (b->IsConstant() && (static_cast<uint32_t>(b->Value) & 0xFFFFFu) == 0) {
                kind = 3;
            }
        } else {
            Operation* bOp = TryGetOperation(b->Definition);
            if (bOp != nullptr && aOp->Inst == Instruction::BitwiseAnd && bOp->Inst == Instruction::BitwiseAnd) {
                Operand* t = GetSourceForMaskedHandle(aOp, 0xFFFFFu);
                Operand* u = GetSourceForMaskedHandle(bOp, 0xFFF00000u);
                if (t == nullptr || u == nullptr) {
                    t = GetSourceForMaskedHandle(bOp, 0xFFFFFu);
                    u = GetSourceForMaskedHandle(aOp, 0xFFF00000u);
                }
                if (t == nullptr || u == nullptr) return false;
                a = t;
                b = u;
            } else if (IsShiftLeftBy20(aOp)) {
                Operand* shifted = aOp->GetSource(0);
                a = b;
                b = shifted;
                kind = 2;
            }
        }

        if (!IsCbuf(a)) return false;
        const int32_t o = a->GetCbufOffset();
        const int32_t s = a->GetCbufSlot();
        if (kind == 3) {
            const uint32_t sampler = (static_cast<uint32_t>(b->Value) >> 20) & 0xFFFu;
            const int32_t packedHandle =
                static_cast<int32_t>(static_cast<uint32_t>(o) | (sampler << 14) | 0x30000000u);
            SetHandle(resourceManager, gpuAccessor, op, packedHandle, s | 0x10000, askType, false);
            return true;
        }
        if (!IsCbuf(b)) return false;
        const uint32_t p = static_cast<uint32_t>(b->GetCbufOffset());
        const uint32_t t = static_cast<uint32_t>(b->GetCbufSlot());
        const int32_t packedHandle = static_cast<int32_t>(static_cast<uint32_t>(o) | (p << 14) |
                                                          (static_cast<uint32_t>(kind) << 28));
        const int32_t packedSlot = static_cast<int32_t>(static_cast<uint32_t>(s) | ((t + 1) << 16));
        SetHandle(resourceManager, gpuAccessor, op, packedHandle, packedSlot, askType, false);
        return true;
    }

    if (IE::IsImage(inst)) {
        Operand* h = Utils::FindLastOperation(op.GetSource(0), &block, true);
        if (!IsCbuf(h)) return false;
        const int32_t o = h->GetCbufOffset();
        const int32_t s = h->GetCbufSlot();
        if (op.Format == TextureFormat::Unknown) {
            op.Format = inst == Instruction::ImageAtomic
                            ? StructuredIr::ShaderProperties::GetTextureFormatAtomic(gpuAccessor, o, s)
                            : StructuredIr::ShaderProperties::GetTextureFormat(gpuAccessor, o, s);
        }
        SetHandle(resourceManager, gpuAccessor, op, o, s, op.Type == SamplerType::TextureBuffer, true);
        return true;
    }

    return false;
}

bool IsBindlessAccessAllowed(const Operand* h) {
    if (IsCbuf(h)) return true;
    const Operation* op = DefiningOperation(h);
    return op != nullptr && op->Inst == Instruction::Load &&
           (op->StorageKind == StorageKind::Input || op->StorageKind == StorageKind::StorageBuffer);
}

bool GenerateBindlessAccess(ResourceManager& resourceManager, IGpuAccessor& gpuAccessor, TextureOperation& op) {
    if (!gpuAccessor.QueryHostSupportsBindlessAccess()) return false;

    Operand* h = op.GetSource(0);
    if (h->Definition != nullptr && h->Definition->IsPhi()) {
        const PhiNode* phi = h->Definition->AsPhi();
        for (int i = 0; i < phi->SourcesCount(); i++) {
            const Operand* incoming = phi->GetSource(i);
            if (incoming->Definition != nullptr && incoming->Definition->IsPhi()) continue;
            if (!IsBindlessAccessAllowed(incoming)) return false;
        }
    } else if (!IsBindlessAccessAllowed(h)) {
        return false;
    }

    IrArena& arena = op.Arena();
    NodeList& list = *op.List();
    auto insert = [&](Instruction inst, Operand* x, Operand* y) {
        Operand* dest = OH::MakeLocal(arena);
        Operation* operation = arena.NewOperation(inst, dest, {x, y});
        operation->set_Revisit(true);
        list.AddBefore(&op, operation);
        return dest;
    };

    Operand* tex = insert(Instruction::BitwiseAnd, h, OH::MakeConstant(arena, 0xFFFFF));
    Operand* smp = insert(Instruction::ShiftRightU32, h, OH::MakeConstant(arena, 20));
    Operand* ti = insert(Instruction::MinimumU32, tex, OH::MakeConstant(arena, FallbackArrayLength - 1));
    op.SetSource(0, ti);

    const bool isImage = IE::IsImage(op.Inst);
    const SetBindingPair textureBinding =
        resourceManager.GetTextureOrImageBinding(op.Inst, op.Type, op.Format, op.Flags & ~TextureFlags::Bindless, 0,
                                                 FallbackHandle, FallbackArrayLength, !isImage);
    if (isImage) {
        op.TurnIntoArray(textureBinding);
    } else {
        Operand* si = insert(Instruction::MinimumU32, smp, OH::MakeConstant(arena, FallbackArrayLength - 1));
        op.InsertSource(1, si);
        const SetBindingPair samplerBinding = resourceManager.GetTextureOrImageBinding(
            op.Inst, SamplerType::None, op.Format, TextureFlags::None, 0, FallbackHandle, FallbackArrayLength, false);
        op.TurnIntoArray(textureBinding, samplerBinding);
    }
    return true;
}

// GLSL type name of the operation for the failure message; never throws, so
// that reporting an untraceable handle cannot end the translation.
std::string TypeNameForMessage(const TextureOperation& op) {
    try {
        if (IE::IsImage(op.Inst)) {
            return SamplerTypeExtensions::GetGlslImageTypeName(op.Type,
                                                               TextureFormatExtensions::GetComponentType(op.Format));
        }
        return SamplerTypeExtensions::get_GlslTextureTypeName(op.Type);
    } catch (const Common::Exception&) {
        return SamplerTypeName(op.Type);
    }
}

} // namespace

bool BindlessElimination::RunPass(BasicBlock& block, ResourceManager& resourceManager, IGpuAccessor& gpuAccessor) {
    bool changed = false;
    for (INode* node = block.Operations.First(); node != nullptr;) {
        INode* next = node->ListNext();
        TextureOperation* op = Utils::TextureOperationOf(node);
        if (op == nullptr || !HasFlag(op->Flags, TextureFlags::Bindless) || op->SourcesCount() == 0) {
            node = next;
            continue;
        }
        // Every way out rewrites or deletes the operation: bound to a
        // texture, turned into an array access, or replaced by zeros. The
        // second clean-up visits only marked nodes: the operation, the
        // definitions of the values it reads (the handle may lose its last
        // reader) and every node created here are marked.
        changed = true;
        Utils::MarkForCleanUp(op);
        if (TryConvertBindless(block, resourceManager, gpuAccessor, *op) ||
            GenerateBindlessAccess(resourceManager, gpuAccessor, *op)) {
            node = next;
            continue;
        }

        gpuAccessor.Log("Failed to find handle source for bindless access of type \"" + TypeNameForMessage(*op) +
                        "\".");
        // The results read 0 from now on. A destination slot that is empty
        // gets nothing: a Copy without a destination would reach the back ends.
        IrArena& arena = block.Arena();
        for (int i = 0; i < op->DestsCount(); i++) {
            Operand* dest = op->GetDest(i);
            if (dest == nullptr) continue;
            Operation* zero = arena.NewOperation(Instruction::Copy, dest, {OH::MakeConstant(arena, 0)});
            zero->set_Revisit(true);
            block.Operations.AddBefore(op, zero);
        }
        Utils::DeleteNode(op);
        node = next;
    }
    return changed;
}

} // namespace Zerivox::Graphics::Shader::Translation::Optimizations
