// Data-movement emitters: MOV, MOV32I, SEL, R2P, P2R, PSET, PSETP, S2R, RRO
// and NOP.
#include "Zerivox.Graphics.Shader/Decoders/InstFieldsMove.h"
#include "Zerivox.Graphics.Shader/IGpuAccessor.h"
#include "Zerivox.Graphics.Shader/InputTopology.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmit.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitAluHelper.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitHelper.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitOperands.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContext.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContextInsts.h"
#include "Zerivox.Graphics.Shader/Translation/ShaderDefinitions.h"

namespace Zerivox::Graphics::Shader::Instructions::InstEmit {

using IntermediateRepresentation::Instruction;
using IntermediateRepresentation::IoVariable;
using IntermediateRepresentation::Operand;
using IntermediateRepresentation::StorageKind;
using Translation::EmitterContext;
namespace OH = IntermediateRepresentation::OperandHelper;
namespace Ins = Translation::EmitterContextInsts;
using InstEmitOperands::SrcA;
using InstEmitOperands::SrcB;
using InstEmitOperands::SrcForm;
using InstEmitOperands::ValueType;

namespace {

Operand* Const(EmitterContext& context, int32_t value) { return OH::MakeConstant(context.Arena(), value); }

void WriteRd(EmitterContext& context, int rd, Operand* value) {
    Operand* dest = InstEmitHelper::GetDest(context, rd);
    Ins::Copy(context, dest, value);
}

// Predicate i (P0-P6), or condition-code flag i with ccpr.
Operand* PredOrFlag(EmitterContext& context, int index, bool ccpr) {
    const auto type = ccpr ? Decoders::RegisterType::Flag : Decoders::RegisterType::Predicate;
    return OH::Register(context.Arena(), index, type);
}

// Source B of MOV and P2R: their 20-bit immediate is zero-extended, unlike
// the ALU immediates.
template <SrcForm F, typename Op> Operand* ZeroExtendedSrcB(EmitterContext& context, const Op& op) {
    if constexpr (F == SrcForm::I) {
        return Const(context, op.Imm20());
    } else {
        return SrcB<F, ValueType::Int>(context, op);
    }
}

// R2P: sets each predicate (or flag, with Ccpr) whose bit in mask B is set
// from bit i of byte ByteSel of A; the others keep their values.
template <typename Op, SrcForm F> void R2p(EmitterContext& context) {
    const auto op = context.GetOp<Op>();
    Operand* value = SrcA<ValueType::Int>(context, op);
    Operand* mask = SrcB<F, ValueType::Int>(context, op);
    const bool ccpr = op.Ccpr();
    const int byteSel = op.ByteSel();
    const int count = ccpr ? 4 : 7;
    const int base = 8 * (byteSel & 3);
    for (int i = 0; i < count; i++) {
        Operand* maskBit = Const(context, 1 << i);
        Operand* maskAnd = Ins::BitwiseAnd(context, mask, maskBit);
        Operand* zero = Const(context, 0);
        Operand* inMask = Ins::ICompareNotEqual(context, maskAnd, zero);
        Operand* valueBit = Const(context, 1 << (base + i));
        Operand* valueAnd = Ins::BitwiseAnd(context, value, valueBit);
        Operand* zero2 = Const(context, 0);
        Operand* bit = Ins::ICompareNotEqual(context, valueAnd, zero2);
        Operand* old = PredOrFlag(context, i, ccpr);
        Operand* selected = Ins::ConditionalSelect(context, inMask, bit, old);
        Operand* dest = PredOrFlag(context, i, ccpr);
        Ins::Copy(context, dest, selected);
    }
}

// P2R: Rd := A with the bits of byte ByteSel that mask B selects replaced by
// the predicates (or flags, with Ccpr).
template <typename Op, SrcForm F> void P2r(EmitterContext& context) {
    const auto op = context.GetOp<Op>();
    Operand* base = SrcA<ValueType::Int>(context, op);
    Operand* mask = ZeroExtendedSrcB<F>(context, op);
    const bool ccpr = op.Ccpr();
    const int byteSel = op.ByteSel();
    const int count = ccpr ? 4 : 7;
    const int shift = 8 * (byteSel & 3);
    Operand* byteMask = Const(context, 0xFF);
    Operand* mask8 = Ins::BitwiseAnd(context, mask, byteMask);
    Operand* bits = Const(context, 0);
    for (int i = 0; i < count; i++) {
        Operand* source = PredOrFlag(context, i, ccpr);
        Operand* one = Const(context, 1 << (i + shift));
        Operand* zero = Const(context, 0);
        Operand* bit = Ins::ConditionalSelect(context, source, one, zero);
        bits = Ins::BitwiseOr(context, bits, bit);
    }
    Operand* shiftOperand = Const(context, shift);
    Operand* shifted = Ins::ShiftLeft(context, mask8, shiftOperand);
    Operand* keep = Ins::BitwiseNot(context, shifted);
    Operand* kept = Ins::BitwiseAnd(context, base, keep);
    Operand* inserted = Ins::BitwiseAnd(context, bits, shifted);
    Operand* result = Ins::BitwiseOr(context, kept, inserted);
    WriteRd(context, op.Rd(), result);
}

Operand* LoadInput(EmitterContext& context, IoVariable variable) {
    return Ins::Load(context, StorageKind::Input, static_cast<int>(variable));
}

Operand* LoadInput(EmitterContext& context, IoVariable variable, int component) {
    Operand* index = Const(context, component);
    return Ins::Load(context, StorageKind::Input, static_cast<int>(variable), index);
}

// The lane index within the guest's 32-lane warp.
Operand* EmitLoadSubgroupLaneId(EmitterContext& context) {
    Operand* lane = LoadInput(context, IoVariable::SubgroupLaneId);
    if (context.GpuAccessor().QueryHostSubgroupSize() > 32) {
        Operand* mask = Const(context, 31);
        lane = Ins::BitwiseAnd(context, lane, mask);
    }
    return lane;
}

// The 32-bit word of a subgroup mask that holds the current lane.
Operand* EmitLoadSubgroupMask(EmitterContext& context, IoVariable mask) {
    const int32_t size = context.GpuAccessor().QueryHostSubgroupSize();
    if (size <= 32)
        return LoadInput(context, mask, 0);
    Operand* lane = LoadInput(context, IoVariable::SubgroupLaneId);
    if (size == 64) {
        Operand* upperBit = Const(context, 32);
        Operand* upper = Ins::BitwiseAnd(context, lane, upperBit);
        Operand* high = LoadInput(context, mask, 1);
        Operand* low = LoadInput(context, mask, 0);
        return Ins::ConditionalSelect(context, upper, high, low);
    }
    Operand* five = Const(context, 5);
    Operand* word = Ins::ShiftRightU32(context, lane, five);
    Operand* value = LoadInput(context, mask, 0);
    for (int n = 1; n < 4; n++) {
        Operand* index = Const(context, n);
        Operand* isWord = Ins::ICompareEqual(context, word, index);
        Operand* candidate = LoadInput(context, mask, n);
        value = Ins::ConditionalSelect(context, isWord, candidate, value);
    }
    return value;
}

Operand* ReadSpecialRegister(EmitterContext& context, int sreg) {
    switch (sreg) {
    case 0:
        return EmitLoadSubgroupLaneId(context);
    case 17:
        return LoadInput(context, IoVariable::InvocationId);
    case 18:
        return OH::MakeFloatConstant(context.Arena(), 1.0f);
    case 19:
        if (context.Definitions().Stage == ShaderStage::Fragment)
            return LoadInput(context, IoVariable::ThreadKill);
        return Const(context, 0);
    case 29: {
        // Vertices per input primitive, in bits 16 and up.
        switch (context.Definitions().Stage) {
        case ShaderStage::TessellationControl:
        case ShaderStage::TessellationEvaluation: {
            Operand* count = LoadInput(context, IoVariable::PatchVertices);
            Operand* sixteen = Const(context, 16);
            return Ins::ShiftLeft(context, count, sixteen);
        }
        case ShaderStage::Vertex:
        case ShaderStage::Geometry: {
            const int32_t count =
                InputTopologyExtensions::get_InputVertexCount(context.Definitions().get_InputTopology());
            return Const(context, static_cast<int32_t>(static_cast<uint32_t>(count) << 16));
        }
        default:
            return Const(context, 0);
        }
    }
    case 32: {
        // Packed without masking, as the guest packs it.
        Operand* x = LoadInput(context, IoVariable::ThreadId, 0);
        Operand* y = LoadInput(context, IoVariable::ThreadId, 1);
        Operand* z = LoadInput(context, IoVariable::ThreadId, 2);
        Operand* sixteen = Const(context, 16);
        Operand* yShifted = Ins::ShiftLeft(context, y, sixteen);
        Operand* twentySix = Const(context, 26);
        Operand* zShifted = Ins::ShiftLeft(context, z, twentySix);
        Operand* yz = Ins::BitwiseOr(context, yShifted, zShifted);
        return Ins::BitwiseOr(context, x, yz);
    }
    case 33:
    case 34:
    case 35:
        return LoadInput(context, IoVariable::ThreadId, sreg - 33);
    case 37:
    case 38:
    case 39:
        return LoadInput(context, IoVariable::CtaId, sreg - 37);
    case 56:
        return EmitLoadSubgroupMask(context, IoVariable::SubgroupEqMask);
    case 57:
        return EmitLoadSubgroupMask(context, IoVariable::SubgroupLtMask);
    case 58:
        return EmitLoadSubgroupMask(context, IoVariable::SubgroupLeMask);
    case 59:
        return EmitLoadSubgroupMask(context, IoVariable::SubgroupGtMask);
    case 60:
        return EmitLoadSubgroupMask(context, IoVariable::SubgroupGeMask);
    default:
        return Const(context, 0);
    }
}

// MOV: Rd := B.
template <typename Op, SrcForm F> void Mov(EmitterContext& context) {
    const auto op = context.GetOp<Op>();
    Operand* value = ZeroExtendedSrcB<F>(context, op);
    WriteRd(context, op.Rd(), value);
}

// SEL: A when the source predicate holds, else B.
template <typename Op, SrcForm F> void Sel(EmitterContext& context) {
    const auto op = context.GetOp<Op>();
    Operand* a = SrcA<ValueType::Int>(context, op);
    Operand* b = SrcB<F, ValueType::Int>(context, op);
    Operand* pred = InstEmitHelper::GetPredicate(context, op.SrcPred(), op.SrcPredInv());
    Operand* result = Ins::ConditionalSelect(context, pred, a, b);
    WriteRd(context, op.Rd(), result);
}

// RRO: B after |B| (AbsB) and negation (NegB).
template <typename Op, SrcForm F> void Rro(EmitterContext& context) {
    const auto op = context.GetOp<Op>();
    Operand* value = SrcB<F, ValueType::F32>(context, op);
    // The range reduction itself is not performed: MUFU takes the plain
    // value.
    if (op.AbsB())
        value = Ins::FPAbsolute(context, value, Instruction::FP32);
    if (op.NegB())
        value = Ins::FPNegate(context, value, Instruction::FP32);
    WriteRd(context, op.Rd(), value);
}

// The three source predicates of PSET/PSETP, each read with its inversion.
struct PsetSources {
    Operand* P;
    Operand* Q;
};

template <typename T> PsetSources ReadPsetSources(EmitterContext& context, const T& op) {
    Operand* p = InstEmitHelper::GetPredicate(context, op.Src2Pred(), op.Src2PredInv());
    Operand* q = InstEmitHelper::GetPredicate(context, op.Src1Pred(), op.Src1PredInv());
    return {p, q};
}

} // namespace

void MovR(EmitterContext& context) { Mov<Decoders::InstMovR, SrcForm::R>(context); }
void MovI(EmitterContext& context) { Mov<Decoders::InstMovI, SrcForm::I>(context); }
void MovC(EmitterContext& context) { Mov<Decoders::InstMovC, SrcForm::C>(context); }
void Mov32i(EmitterContext& context) { Mov<Decoders::InstMov32i, SrcForm::Imm32>(context); }
void SelR(EmitterContext& context) { Sel<Decoders::InstSelR, SrcForm::R>(context); }
void SelI(EmitterContext& context) { Sel<Decoders::InstSelI, SrcForm::I>(context); }
void SelC(EmitterContext& context) { Sel<Decoders::InstSelC, SrcForm::C>(context); }
void R2pR(EmitterContext& context) { R2p<Decoders::InstR2pR, SrcForm::R>(context); }
void R2pI(EmitterContext& context) { R2p<Decoders::InstR2pI, SrcForm::I>(context); }
void R2pC(EmitterContext& context) { R2p<Decoders::InstR2pC, SrcForm::C>(context); }
void P2rR(EmitterContext& context) { P2r<Decoders::InstP2rR, SrcForm::R>(context); }
void P2rI(EmitterContext& context) { P2r<Decoders::InstP2rI, SrcForm::I>(context); }
void P2rC(EmitterContext& context) { P2r<Decoders::InstP2rC, SrcForm::C>(context); }

void Pset(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstPset>();
    const PsetSources src = ReadPsetSources(context, op);
    Operand* r = InstEmitHelper::GetPredicate(context, op.SrcPred(), op.SrcPredInv());
    Operand* ab = InstEmitAluHelper::GetPredLogicalOp(context, op.BoolOpAB(), src.P, src.Q);
    Operand* res = InstEmitAluHelper::GetPredLogicalOp(context, op.BoolOp(), ab, r);
    if (op.BVal()) {
        Operand* one = OH::MakeFloatConstant(context.Arena(), 1.0f);
        Operand* zero = Const(context, 0);
        res = Ins::ConditionalSelect(context, res, one, zero);
    }
    WriteRd(context, op.Rd(), res);
}

void Psetp(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstPsetp>();
    const PsetSources src = ReadPsetSources(context, op);
    Operand* ab = InstEmitAluHelper::GetPredLogicalOp(context, op.BoolOpAB(), src.P, src.Q);
    Operand* pred = InstEmitHelper::GetPredicate(context, op.SrcPred(), op.SrcPredInv());
    Operand* p0 = InstEmitAluHelper::GetPredLogicalOp(context, op.BoolOp(), ab, pred);
    Operand* notAb = Ins::BitwiseNot(context, ab);
    Operand* p1 = InstEmitAluHelper::GetPredLogicalOp(context, op.BoolOp(), notAb, pred);
    // Both values are computed before either predicate is written, so a
    // destination that is also a source is read with its old value.
    Operand* dest0 = InstEmitHelper::GetPredDest(context, op.Pd());
    Ins::Copy(context, dest0, p0);
    Operand* dest1 = InstEmitHelper::GetPredDest(context, op.Pdn());
    Ins::Copy(context, dest1, p1);
}

void S2r(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstS2r>();
    // SR_TID (32-35) and SR_CTAID (37-39) index threads and blocks of a
    // compute grid, which no other stage has.
    const int sreg = static_cast<int>(op.SReg());
    if (((sreg >= 32 && sreg <= 35) || (sreg >= 37 && sreg <= 39)) &&
        context.Definitions().Stage != ShaderStage::Compute) {
        InstEmitHelper::ThrowNotInStage(context, "S2R", "only compute shaders have thread and block indices");
    }
    // SR_INVOCATION_ID (17): the invocation within a patch or a primitive.
    if (sreg == 17 && context.Definitions().Stage != ShaderStage::TessellationControl &&
        context.Definitions().Stage != ShaderStage::Geometry) {
        InstEmitHelper::ThrowNotInStage(context, "S2R",
                                        "only tessellation control and geometry shaders have invocation indices");
    }
    Operand* value = ReadSpecialRegister(context, op.SReg());
    WriteRd(context, op.Rd(), value);
}

void RroR(EmitterContext& context) { Rro<Decoders::InstRroR, SrcForm::R>(context); }
void RroI(EmitterContext& context) { Rro<Decoders::InstRroI, SrcForm::I>(context); }
void RroC(EmitterContext& context) { Rro<Decoders::InstRroC, SrcForm::C>(context); }

void Nop(EmitterContext&) {}

} // namespace Zerivox::Graphics::Shader::Instructions::InstEmit
