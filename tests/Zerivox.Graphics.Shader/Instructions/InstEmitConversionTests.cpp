// F2F, F2I, I2F and I2I: the IR of each form (formats, rounding, byte
// selection, modifiers, saturation) and what the integer conversions compute.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Operation.h"
#include "Zerivox.Graphics.Shader/TestSupport/EmitTestSupport.h"

using namespace Zerivox::Graphics::Shader;
using namespace Zerivox::Graphics::Shader::Testing;

namespace {

namespace P {
constexpr const char* F2fR = "0101110010101x";
constexpr const char* F2fI = "0011100x10101x";
constexpr const char* F2fC = "0100110010101x";
constexpr const char* F2iR = "0101110010110x";
constexpr const char* F2iC = "0100110010110x";
constexpr const char* I2fR = "0101110010111x";
constexpr const char* I2fI = "0011100x10111x";
constexpr const char* I2fC = "0100110010111x";
constexpr const char* I2iR = "0101110011100x";
constexpr const char* I2iI = "0011100x11100x";
constexpr const char* I2iC = "0100110011100x";
} // namespace P

// Float formats: 1 half, 2 single, 3 double. Integer formats: 0 U8, 1 U16,
// 2 U32, 3 U64, 4 S8, 5 S16, 6 S32, 7 S64.
enum : int { H = 1, S = 2, D = 3 };
enum : int { U8 = 0, U16 = 1, U32 = 2, U64 = 3, S8 = 4, S16 = 5, S32 = 6, S64 = 7 };

// Destination R1; the source format in bits 10-11 (+13), the destination
// format in bits 8-9 (+12).
Inst Conv(const char* prefix, int src, int dst) {
    return Inst(prefix)
        .Rd(1)
        .Bits(10, 2, static_cast<uint64_t>(src & 3))
        .Bit(13, (src & 4) != 0)
        .Bits(8, 2, static_cast<uint64_t>(dst & 3))
        .Bit(12, (dst & 4) != 0);
}

// F2F rounding: bits 39-40 with bit 42 as bit 2.
Inst& Round(Inst& inst, int mode) { return inst.Bits(39, 2, static_cast<uint64_t>(mode & 3)).Bit(42, (mode & 4) != 0); }

Inst& Cbuf(Inst& inst, int slot, int offset) {
    return inst.Bits(20, 14, static_cast<uint64_t>(offset)).Bits(34, 5, static_cast<uint64_t>(slot));
}

struct IrCase {
    const char* Name;
    uint64_t Word;
    const char* Ir;
};

void ExpectIr(const std::vector<IrCase>& cases) {
    for (const IrCase& c : cases)
        EXPECT_EQ(EmitInstruction(c.Word).Text(), c.Ir) << c.Name;
}

TEST(InstEmitConversion, FloatToFloat) {
    Inst floor = Conv(P::F2fR, S, S).Rb(3).Bit(49).Bit(45).Bit(50);
    Inst noFloor = Conv(P::F2fR, D, S).Rb(2);
    Inst truncIgnored = Conv(P::F2fR, S, H).Rb(3);
    Inst round = Conv(P::F2fR, D, D).Rd(4).Rb(2);
    Inst cbuf = Conv(P::F2fC, D, H);
    ExpectIr({
        {"F32 to F32 with floor: abs, negate, floor, saturate", Round(floor, 5),
         "%0 = Absolute.FP32 R3\n"
         "%1 = Negate.FP32 %0\n"
         "%2 = Floor.FP32 %1\n"
         "%3 = Clamp.FP32 %2, 0.0, 1.0\n"
         "R1 = Copy %3\n"},
        {"F64 to F32 with the floor field: only converts", Round(noFloor, 5),
         "%0 = PackDouble2x32 R2, R3\n"
         "%1 = ConvertFP64ToFP32 %0\n"
         "R1 = Copy %1\n"},
        {"F16 to F32 with Sh: the high half of Rb", Conv(P::F2fR, H, S).Rb(3).Bit(41),
         "%0 = UnpackHalf2x16 R3\n"
         "%1 = UnpackHalf2x16#1 R3\n"
         "R1 = Copy %1\n"},
        {"F32 to F16: the low half, high half cleared", Round(truncIgnored, 7),
         "%0 = PackHalf2x16 R3, 0\n"
         "R1 = Copy %0\n"},
        {"F64 to F64 rounding to nearest: pairs in and out", Round(round, 4),
         "%0 = PackDouble2x32 R2, R3\n"
         "%1 = Round.FP64 %0\n"
         "%2 = UnpackDouble2x32 %1\n"
         "R4 = Copy %2\n"
         "%3 = UnpackDouble2x32#1 %1\n"
         "R5 = Copy %3\n"},
        {"F16 to F64: the unpacked half is widened", Conv(P::F2fR, H, D).Rd(4).Rb(3),
         "%0 = UnpackHalf2x16 R3\n"
         "%1 = UnpackHalf2x16#1 R3\n"
         "%2 = ConvertFP32ToFP64 %0\n"
         "%3 = UnpackDouble2x32 %2\n"
         "R4 = Copy %3\n"
         "%4 = UnpackDouble2x32#1 %2\n"
         "R5 = Copy %4\n"},
        {"F64 to F16 from the constant buffer: narrowed before packing", Cbuf(cbuf, 1, 4),
         "%0 = PackDouble2x32 cb1[4], cb1[5]\n"
         "%1 = ConvertFP64ToFP32 %0\n"
         "%2 = PackHalf2x16 %1, 0\n"
         "R1 = Copy %2\n"},
        {"F16 immediate, high half: Imm20 bits 4-19", Conv(P::F2fI, H, S).Imm20(0x3C000).Bit(41),
         "%0 = UnpackHalf2x16 1006632960\n"
         "%1 = UnpackHalf2x16#1 1006632960\n"
         "R1 = Copy %1\n"},
    });
}

TEST(InstEmitConversion, FloatToInteger) {
    Inst cbuf = Conv(P::F2iC, D, U16).Bits(39, 2, 2);
    ExpectIr({
        {"F32 to U32: round, raise to 0, convert unsigned", Conv(P::F2iR, S, U32).Rb(3),
         "%0 = Round.FP32 R3\n"
         "%1 = Maximum.FP32 %0, 0.0\n"
         "%2 = ConvertFP32ToU32 %1\n"
         "R1 = Copy %2\n"},
        {"F32 to S32 truncating a negated value", Conv(P::F2iR, S, S32).Rb(3).Bits(39, 2, 3).Bit(45),
         "%0 = Negate.FP32 R3\n"
         "%1 = Truncate.FP32 %0\n"
         "%2 = ConvertFP32ToS32 %1\n"
         "R1 = Copy %2\n"},
        {"F64 to S16 with floor: signed clamp to 16 bits", Conv(P::F2iR, D, S16).Rb(2).Bits(39, 2, 1),
         "%0 = PackDouble2x32 R2, R3\n"
         "%1 = Floor.FP64 %0\n"
         "%2 = ConvertFP64ToS32 %1\n"
         "%3 = Clamp %2, -32768, 32767\n"
         "R1 = Copy %3\n"},
        {"F64 to U16 with ceiling: double zero, unsigned clamp", Cbuf(cbuf, 1, 2),
         "%0 = PackDouble2x32 cb1[2], cb1[3]\n"
         "%1 = Ceiling.FP64 %0\n"
         "%2 = PackDouble2x32 0, 0\n"
         "%3 = Maximum.FP64 %1, %2\n"
         "%4 = ConvertFP64ToU32 %3\n"
         "%5 = ClampU32 %4, 0, 65535\n"
         "R1 = Copy %5\n"},
        {"high half to S64: converted as S32", Conv(P::F2iR, H, S64).Rb(3).Bit(41).Bit(49).Bits(39, 2, 3),
         "%0 = UnpackHalf2x16 R3\n"
         "%1 = UnpackHalf2x16#1 R3\n"
         "%2 = Absolute.FP32 %1\n"
         "%3 = Truncate.FP32 %2\n"
         "%4 = ConvertFP32ToS32 %3\n"
         "R1 = Copy %4\n"},
    });
}

TEST(InstEmitConversion, FloatToU64IsLoggedAndWritesOnlyRd) {
    const EmittedInstruction e = EmitInstruction(Conv(P::F2iR, S, U64).Rb(3));
    EXPECT_EQ(e.Text(), "%0 = Round.FP32 R3\n"
                        "%1 = Maximum.FP32 %0, 0.0\n"
                        "%2 = ConvertFP32ToU32 %1\n"
                        "R1 = Copy %2\n");
    EXPECT_EQ(e.Messages.size(), 1u);
}

TEST(InstEmitConversion, IntegerToFloat) {
    ExpectIr({
        {"S8 byte 2 to F32: sign-extended bits 16-23", Conv(P::I2fR, S8, S).Rb(3).Bits(41, 2, 2),
         "%0 = BitfieldExtractS32 R3, 16, 8\n"
         "%1 = ConvertS32ToFP32 %0\n"
         "R1 = Copy %1\n"},
        {"U8 with NegB: the whole register is negated before the extraction", Conv(P::I2fR, U8, S).Rb(3).Bit(45),
         "%0 = Negate R3\n"
         "%1 = BitfieldExtractU32 %0, 0, 8\n"
         "%2 = ConvertU32ToFP32 %1\n"
         "R1 = Copy %2\n"},
        {"S16 at byte 3: bits past the register read as 0, so bits 24-31 zero-extended",
         Conv(P::I2fR, S16, S).Rb(3).Bits(41, 2, 3),
         "%0 = BitfieldExtractU32 R3, 24, 8\n"
         "%1 = ConvertS32ToFP32 %0\n"
         "R1 = Copy %1\n"},
        {"S32 to F64 with abs: pair result", Conv(P::I2fR, S32, D).Rd(4).Rb(3).Bit(49),
         "%0 = Absolute R3\n"
         "%1 = ConvertS32ToFP64 %0\n"
         "%2 = UnpackDouble2x32 %1\n"
         "R4 = Copy %2\n"
         "%3 = UnpackDouble2x32#1 %1\n"
         "R5 = Copy %3\n"},
        {"U32 immediate to F16: the immediate is sign-extended, the half packed low",
         Conv(P::I2fI, U32, H).Imm20(0xFFFFF),
         "%0 = ConvertU32ToFP32 -1\n"
         "%1 = PackHalf2x16 %0, 0\n"
         "R1 = Copy %1\n"},
        {"U16 high half of a constant word", Cbuf(Conv(P::I2fC, U16, S).Bits(41, 2, 2), 1, 0),
         "%0 = BitfieldExtractU32 cb1[0], 16, 16\n"
         "%1 = ConvertU32ToFP32 %0\n"
         "R1 = Copy %1\n"},
    });
}

TEST(InstEmitConversion, IntegerToInteger) {
    ExpectIr({
        {"S8 to S16 without Sat: the sign-extended byte, not narrowed", Conv(P::I2iR, S8, S16).Rb(3),
         "%0 = BitfieldExtractS32 R3, 0, 8\n"
         "R1 = Copy %0\n"},
        {"U32 to U8 with Sat: unsigned clamp", Conv(P::I2iR, U32, U8).Rb(3).Bit(50),
         "%0 = ClampU32 R3, 0, 255\n"
         "R1 = Copy %0\n"},
        {"S32 to U8 with Sat: negative values go to 0 first", Conv(P::I2iR, S32, U8).Rb(3).Bit(50),
         "%0 = Maximum R3, 0\n"
         "%1 = ClampU32 %0, 0, 255\n"
         "R1 = Copy %1\n"},
        {"U32 to S32 with Sat: values from 2^31 go to the signed maximum first", Conv(P::I2iR, U32, S32).Rb(3).Bit(50),
         "%0 = MinimumU32 R3, 2147483647\n"
         "%1 = Clamp %0, -2147483648, 2147483647\n"
         "R1 = Copy %1\n"},
        {"S32 to S32 negated, flags from the result", Conv(P::I2iR, S32, S32).Rb(3).Bit(45).Bit(47),
         "%0 = Negate R3\n"
         "R1 = Copy %0\n"
         "%1 = CompareEqual %0, 0\n"
         "CC.Z = Copy %1\n"
         "%2 = CompareLess %0, 0\n"
         "CC.N = Copy %2\n"},
        {"U16 high half of a constant word, then abs", Cbuf(Conv(P::I2iC, U16, U32).Bits(41, 2, 2).Bit(49), 1, 0),
         "%0 = BitfieldExtractU32 cb1[0], 16, 16\n"
         "%1 = Absolute %0\n"
         "R1 = Copy %1\n"},
        {"S32 immediate: sign-extended", Conv(P::I2iI, S32, S32).Imm20(0x80000), "R1 = Copy -524288\n"},
    });
}

TEST(InstEmitConversion, SixtyFourBitIntegerFormatsEmitNothing) {
    for (const auto& [src, dst] : {std::pair{U64, U32}, std::pair{S32, S64}}) {
        const EmittedInstruction e = EmitInstruction(Conv(P::I2iR, src, dst).Rb(3).Bit(50).Bit(47));
        EXPECT_EQ(e.Text(), "") << src << " -> " << dst;
        EXPECT_EQ(e.Messages.size(), 1u) << src << " -> " << dst;
    }
}

TEST(InstEmitConversion, FormatsThatNameNoFloatTypeAreRejected) {
    const uint64_t words[] = {
        Conv(P::F2fR, 0, S).Rb(3), // F2F source
        Conv(P::F2iC, 0, S32),     // F2I source
        Conv(P::F2fR, S, 0).Rb(3), // F2F destination: an FP32 value must not be written as a double
        Conv(P::I2fR, S32, 0).Rb(3),
    };
    for (uint64_t word : words) {
        try {
            EmitInstruction(word);
            ADD_FAILURE() << "no error for " << std::hex << word;
        } catch (const Zerivox::Common::ArgumentException& e) {
            EXPECT_STREQ(e.what(), "Invalid floating point type \"0\".");
        }
    }
}

// Runs the straight-line integer IR of a shader whose R3 holds source and
// returns R1 (the integer operations the I2I emitter uses).
uint32_t RunIntegerIr(const EmitFixture& fixture, uint32_t source) {
    using namespace IntermediateRepresentation;
    std::map<const Operand*, uint32_t> locals;
    std::map<int, uint32_t> gprs{{3, source}};
    auto get = [&](const Operand* o) -> uint32_t {
        switch (o->Type) {
        case OperandType::Constant:
            return static_cast<uint32_t>(o->Value);
        case OperandType::Register:
            return gprs.at(o->GetRegister().Index);
        case OperandType::LocalVariable:
            return locals.at(o);
        default:
            throw std::logic_error("unexpected operand");
        }
    };
    for (const Operation* op : fixture.Codes.at(0)) {
        const Instruction code = InstCode(op->Inst);
        if (code == Instruction::Comment || code == Instruction::MarkLabel || code == Instruction::Return)
            continue;
        std::vector<uint32_t> s;
        for (const Operand* source : op->Sources())
            s.push_back(get(source));
        auto i = [&](std::size_t n) { return static_cast<int32_t>(s.at(n)); };
        uint32_t r;
        switch (code) {
        case Instruction::Copy:
            r = s.at(0);
            break;
        case Instruction::BitfieldExtractU32:
            r = (s.at(0) >> s.at(1)) & ((1u << s.at(2)) - 1u);
            break;
        case Instruction::BitfieldExtractS32:
            r = static_cast<uint32_t>(static_cast<int32_t>(s.at(0) << (32 - s.at(1) - s.at(2))) >>
                                      static_cast<int32_t>(32 - s.at(2)));
            break;
        case Instruction::Negate:
            r = 0u - s.at(0);
            break;
        case Instruction::Maximum:
            r = static_cast<uint32_t>(std::max(i(0), i(1)));
            break;
        case Instruction::MinimumU32:
            r = std::min(s.at(0), s.at(1));
            break;
        case Instruction::Clamp:
            r = static_cast<uint32_t>(std::clamp(i(0), i(1), i(2)));
            break;
        case Instruction::ClampU32:
            r = std::clamp(s.at(0), s.at(1), s.at(2));
            break;
        default:
            throw std::logic_error("instruction not interpreted: " + std::to_string(static_cast<int>(code)));
        }
        if (op->Dest()->Type == OperandType::Register) {
            gprs[op->Dest()->GetRegister().Index] = r;
        } else {
            locals[op->Dest()] = r;
        }
    }
    return gprs.at(1);
}

TEST(InstEmitConversion, SaturationReadsTheSourceInItsOwnSignedness) {
    struct Case {
        int Src, Dst;
        uint32_t Source, Expected;
        bool Negate;
    } cases[] = {
        {S32, U8, 0xFFFFFFFBu, 0u, false},  // -5: 0, not 255
        {S32, U32, 0x80000000u, 0u, false}, // INT_MIN: 0, not the value itself
        {S32, U8, 300u, 255u, false},
        {S16, U16, 0x00008000u, 0u, false}, // -32768 from the low half
        {U32, U8, 0xFFFFFFFBu, 255u, false},
        {U32, S32, 0x80000000u, 0x7FFFFFFFu, false}, // 2^31: the signed maximum, not INT_MIN
        {U32, S8, 0xFFFFFFFFu, 127u, false},
        {U8, S8, 0x000000FFu, 127u, false},
        {S32, S8, 0xFFFFFF38u, 0xFFFFFF80u, false}, // -200: -128
        {S8, S16, 0x00000080u, 0xFFFFFF80u, false}, // -128 fits
        {U32, S32, 5u, 0xFFFFFFFBu, true},          // a negated unsigned value stays negative
        {S32, U16, 5u, 0u, true},
    };
    for (const Case& c : cases) {
        CodeBuilder code;
        code.Add(Conv(P::I2iR, c.Src, c.Dst).Rb(3).Bit(50).Bit(45, c.Negate));
        code.Add(Exit());
        const EmitFixture fixture(code.Words);
        EXPECT_EQ(RunIntegerIr(fixture, c.Source), c.Expected)
            << c.Src << " -> " << c.Dst << " of 0x" << std::hex << c.Source << (c.Negate ? " negated" : "");
    }
}

} // namespace
