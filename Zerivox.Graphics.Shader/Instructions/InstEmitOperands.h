#pragma once
// Source readers over a decoded form's fields, so that the operand forms of
// one instruction (register, 20-bit immediate, constant buffer, the swapped
// Rc form, 32-bit immediate) share one emitter body.
//
// A family's body is a template over the field-accessor type (InstFaddR, ...)
// and the form; it reads A, B and C through SrcA/SrcB/SrcC in that order and
// everything else through the accessor's named fields. Each form's entry
// point is then one line naming its accessor type and its form:
//
//     void FaddI(EmitterContext& context) { Fadd<InstFaddI, SrcForm::I, ValueType::F32>(context); }
//
// The readers emit exactly what the InstEmitHelper fetchers they call emit.
#include <cstdint>

#include "Zerivox.Graphics.Shader/Instructions/InstEmitHelper.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Instruction.h"

namespace Zerivox::Graphics::Shader::Instructions::InstEmitOperands {

using IntermediateRepresentation::Operand;
using Translation::EmitterContext;

// Where a form takes its second source (B) and, in three-source forms, its
// third (C) from.
enum class SrcForm : uint8_t {
    R,     // B: register Rb; C: register Rc
    I,     // B: the 20-bit immediate; C: register Rc
    C,     // B: the constant-buffer word; C: register Rc
    Rc,    // B: register Rc; C: the constant-buffer word
    Imm32, // B: the 32-bit immediate; C: register Rd (the destination is also the addend)
};

// How a source word is interpreted: a 32-bit integer (20-bit immediates are
// sign-extended), an FP32 value (20-bit immediates are a float's top bits) or
// an FP64 value (register pairs, constant-buffer word pairs, a double's top
// bits).
enum class ValueType : uint8_t { Int, F32, F64 };

// The IR type flag of a float value type (FP32 for Int, which has none).
constexpr IntermediateRepresentation::Instruction FpType(ValueType type) {
    return type == ValueType::F64 ? IntermediateRepresentation::Instruction::FP64
                                  : IntermediateRepresentation::Instruction::FP32;
}

template <ValueType T> Operand* ReadReg(EmitterContext& context, int reg) {
    if constexpr (T == ValueType::F64) {
        return InstEmitHelper::ReadRegisterPair(context, reg);
    } else {
        return InstEmitHelper::ReadRegister(context, reg);
    }
}

template <ValueType T, typename Op> Operand* ReadCbufOf(EmitterContext& context, const Op& op) {
    if constexpr (T == ValueType::F64) {
        return InstEmitHelper::ReadCbufPair(context, op.CbufSlot(), op.CbufOffset());
    } else {
        return InstEmitHelper::ReadCbuf(context, op.CbufSlot(), op.CbufOffset());
    }
}

// Source A: register Ra in every form.
template <ValueType T, typename Op> Operand* SrcA(EmitterContext& context, const Op& op) {
    return ReadReg<T>(context, op.Ra());
}

template <SrcForm F, ValueType T, typename Op> Operand* SrcB(EmitterContext& context, const Op& op) {
    if constexpr (F == SrcForm::R) {
        return ReadReg<T>(context, op.Rb());
    } else if constexpr (F == SrcForm::Rc) {
        return ReadReg<T>(context, op.Rc());
    } else if constexpr (F == SrcForm::C) {
        return ReadCbufOf<T>(context, op);
    } else if constexpr (F == SrcForm::I) {
        if constexpr (T == ValueType::F64) {
            return InstEmitHelper::ReadDoubleImm20(context, op.Imm20());
        } else if constexpr (T == ValueType::F32) {
            return InstEmitHelper::ReadFloatImm20(context, op.Imm20());
        } else {
            return InstEmitHelper::ReadImm20(context, op.Imm20());
        }
    } else {
        static_assert(T != ValueType::F64, "no FP64 form has a 32-bit immediate");
        return InstEmitHelper::ReadImm32(context, op.Imm32());
    }
}

template <SrcForm F, ValueType T, typename Op> Operand* SrcC(EmitterContext& context, const Op& op) {
    if constexpr (F == SrcForm::Rc) {
        return ReadCbufOf<T>(context, op);
    } else if constexpr (F == SrcForm::Imm32) {
        return ReadReg<T>(context, op.Rd());
    } else {
        return ReadReg<T>(context, op.Rc());
    }
}

// Packed half sources (HADD2, HMUL2, HFMA2, HSET2, HSETP2): two FP32 lanes
// unpacked from one word.

// A register half operand: split by swizzle, then abs and negate per lane.
inline InstEmitHelper::HalfOperands HalfReg(EmitterContext& context, int reg, Decoders::HalfSwizzle swizzle, bool abs,
                                            bool neg) {
    Operand* value = InstEmitHelper::ReadRegister(context, reg);
    InstEmitHelper::HalfOperands lanes = InstEmitHelper::GetHalfUnpacked(context, value, swizzle);
    InstEmitHelper::FPAbsNeg(context, lanes, abs, neg);
    return lanes;
}

// A constant-buffer half operand: the word is one FP32 value for both lanes.
inline InstEmitHelper::HalfOperands HalfCbuf(EmitterContext& context, int slot, int offset, bool abs, bool neg) {
    Operand* value = InstEmitHelper::ReadCbuf(context, slot, offset);
    InstEmitHelper::HalfOperands lanes = InstEmitHelper::GetHalfUnpacked(context, value, Decoders::HalfSwizzle::F32);
    InstEmitHelper::FPAbsNeg(context, lanes, abs, neg);
    return lanes;
}

// Half source B with its modifiers; the immediates take none.
template <SrcForm F, typename Op>
InstEmitHelper::HalfOperands HalfSrcB(EmitterContext& context, const Op& op, bool abs, bool neg) {
    if constexpr (F == SrcForm::R) {
        return HalfReg(context, op.Rb(), op.BSwizzle(), abs, neg);
    } else if constexpr (F == SrcForm::Rc) {
        return HalfReg(context, op.Rc(), op.BSwizzle(), abs, neg);
    } else if constexpr (F == SrcForm::C) {
        return HalfCbuf(context, op.CbufSlot(), op.CbufOffset(), abs, neg);
    } else if constexpr (F == SrcForm::I) {
        return InstEmitHelper::GetHalfSrc(context, op.BimmH0(), op.BimmH1());
    } else {
        return InstEmitHelper::GetHalfSrc(context, op.Imm32());
    }
}

} // namespace Zerivox::Graphics::Shader::Instructions::InstEmitOperands

// Declares `Name(op)`: the form's field Name when its accessor type has one,
// else `Default`. For modifiers that only some forms of an instruction encode
// (the 32-bit immediate forms lack saturation, the FP64 forms lack scaling):
// a form without the bit behaves as with the bit clear. Declare these inside
// the family's own file, next to the body that reads them, so the list of
// fields that may be absent stays visible.
#define ZV_EMIT_OPTIONAL_FIELD(Name, Default)                                                                          \
    template <typename Op> constexpr auto Name(const Op& op) {                                                         \
        if constexpr (requires { op.Name(); }) {                                                                       \
            return op.Name();                                                                                          \
        } else {                                                                                                       \
            return Default;                                                                                            \
        }                                                                                                              \
    }
