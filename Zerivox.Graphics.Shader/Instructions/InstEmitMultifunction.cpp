// The multi-function unit emitter MUFU: transcendental, reciprocal and
// square-root functions.
#include <string>

#include "Zerivox.Graphics.Shader/Decoders/InstFieldsMultifunction.h"
#include "Zerivox.Graphics.Shader/IGpuAccessor.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmit.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitHelper.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContext.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContextInsts.h"

namespace Zerivox::Graphics::Shader::Instructions::InstEmit {

using Decoders::MufuOp;
using IntermediateRepresentation::Instruction;
using IntermediateRepresentation::Operand;
using Translation::EmitterContext;
namespace OH = IntermediateRepresentation::OperandHelper;
namespace Ins = Translation::EmitterContextInsts;

void Mufu(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstMufu>();
    Operand* a = InstEmitHelper::ReadRegister(context, op.Ra());
    if (op.AbsA())
        a = Ins::FPAbsolute(context, a, Instruction::FP32);
    if (op.NegA())
        a = Ins::FPNegate(context, a, Instruction::FP32);

    Operand* value;
    switch (op.MufuOp()) {
    case MufuOp::Cos:
        value = Ins::FPCosine(context, a);
        break;
    case MufuOp::Sin:
        value = Ins::FPSine(context, a);
        break;
    case MufuOp::Ex2:
        value = Ins::FPExponentB2(context, a);
        break;
    case MufuOp::Lg2:
        value = Ins::FPLogarithmB2(context, a);
        break;
    case MufuOp::Rcp: {
        Operand* one = OH::MakeFloatConstant(context.Arena(), 1.0f);
        value = Ins::FPDivide(context, one, a, Instruction::FP32);
        break;
    }
    case MufuOp::Rsq:
        value = Ins::FPReciprocalSquareRoot(context, a, Instruction::FP32);
        break;
    case MufuOp::Rcp64h: {
        // A is the high word of a double whose low word is 0; the result is
        // the high word of its reciprocal.
        Operand* one = Ins::PackDouble2x32(context, 1.0);
        Operand* zero = OH::MakeConstant(context.Arena(), 0);
        Operand* wide = Ins::PackDouble2x32(context, zero, a);
        Operand* quotient = Ins::FPDivide(context, one, wide, Instruction::FP64);
        value = Ins::UnpackDouble2x32(context, quotient, 1);
        break;
    }
    case MufuOp::Rsq64h: {
        Operand* zero = OH::MakeConstant(context.Arena(), 0);
        Operand* wide = Ins::PackDouble2x32(context, zero, a);
        Operand* root = Ins::FPReciprocalSquareRoot(context, wide, Instruction::FP64);
        value = Ins::UnpackDouble2x32(context, root, 1);
        break;
    }
    case MufuOp::Sqrt:
        value = Ins::FPSquareRoot(context, a);
        break;
    default:
        context.GpuAccessor().Log("Invalid MUFU operation \"" + std::to_string(static_cast<int>(op.MufuOp())) + "\".");
        value = a;
        break;
    }

    if (op.Sat())
        value = Ins::FPSaturate(context, value, Instruction::FP32);
    Operand* dest = InstEmitHelper::GetDest(context, op.Rd());
    Ins::Copy(context, dest, value);
}

} // namespace Zerivox::Graphics::Shader::Instructions::InstEmit
