// Texture, compact texture and surface emitters: instruction words and the IR
// they append.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Zerivox.Graphics.Shader/TestSupport/EmitTestSupport.h"

namespace Zerivox::Graphics::Shader::Testing {
namespace {

constexpr const char* TexP = "11000xxxxxxxxx";
constexpr const char* TexBP = "1101111010xxxx";
constexpr const char* TldP = "11011100xxxxxx";
constexpr const char* Tld4P = "110010xxxxxxxx";
constexpr const char* TxdP = "110111100xxxxx";
constexpr const char* TxdBP = "1101111001xxxx";
constexpr const char* TmmlP = "1101111101011x";
constexpr const char* TxqP = "1101111101001x";
constexpr const char* TexsP = "1101100xxxxxxx";
constexpr const char* TexsF16P = "1101000xxxxxxx";
constexpr const char* TldsP = "1101101xxxxxxx";
constexpr const char* Tld4sP = "1101111100xxxx";
constexpr const char* SuldDP = "1110101100011x";
constexpr const char* SuldP = "1110101100001x";
constexpr const char* SustP = "1110101100101x";
constexpr const char* SustDBP = "1110101100110x";
constexpr const char* SuatomCasP = "1110101x1xxxxx";
constexpr const char* SuatomBP = "1110101001110x";
constexpr const char* SuatomDP = "1110101001111x";
constexpr const char* SuredP = "1110101101011x";

Inst T(const char* prefix) { return Inst(prefix); }

struct Case {
    const char* Name;
    uint64_t Word;
    std::vector<std::string> Expected;
};

class TextureEmit : public testing::TestWithParam<Case> {};

// TMML z and w: an IR comment and the constant 0 (the comment ends the
// per-instruction slice of the table above, so this looks at the whole tail).
TEST(TextureEmitTail, TmmlUnsupportedComponentsGetZero) {
    CodeBuilder code;
    const uint64_t address = code.Add(T(TmmlP).Rd(4).Ra(0).Rb(2).Bits(28, 3, 2).Bits(31, 4, 4).Bits(36, 13, 10));
    code.Add(Exit());
    EmitFixture fixture(code.Words);
    const std::string text = fixture.Text(0);
    EXPECT_NE(text.find("// Unsupported component z or w found\nR4 = Copy 0"), std::string::npos) << text;
    (void)address;
}

TEST_P(TextureEmit, EmitsExpectedIr) {
    const Case& c = GetParam();
    const EmittedInstruction emitted = EmitInstruction(c.Word);
    EXPECT_EQ(JoinLines(emitted.Lines), JoinLines(c.Expected)) << c.Name;
}

std::string Name(const testing::TestParamInfo<Case>& info) { return info.param.Name; }

const Case Cases[] = {
    // TEX 2D, LOD mode 3, depth compare and offsets: Rb gives LOD, offsets, reference in that order.
    {"TexLodDcOffset", T(TexP).Rd(8).Ra(0).Rb(4).Bits(28, 3, 2).Bits(31, 4, 15).Bits(36, 13, 10).Bits(55, 3, 3).Bit(50).Bit(54), {"%0 = Copy R0", "%1 = Copy R1", "%2 = Copy R4", "%3 = Copy R5", "%4 = Copy R6", "%5 = BitfieldExtractS32 %3, 0, 4", "%6 = BitfieldExtractS32 %3, 4, 4", "R8, R9, R10, R11 = TextureSample{Texture2DShadow set=0 binding=1 flags=0x60}#15 %0, %1, %4, %2, %5, %6"}},
    // Array1d, LOD mode 1: the layer is the first Ra register; 1D widens to 2D.
    {"TexArray1dLodZero", T(TexP).Rd(8).Ra(0).Rb(4).Bits(28, 3, 1).Bits(31, 4, 1).Bits(36, 13, 10).Bits(55, 3, 1), {"%0 = Copy R0", "%1 = Copy R1", "R8 = TextureSample{Texture2DArray set=0 binding=1 flags=0x20}#1 %1, 0, %0, 0"}},
    // LOD bias is the last source.
    {"TexLodBias", T(TexP).Rd(8).Ra(0).Rb(4).Bits(28, 3, 2).Bits(31, 4, 1).Bits(36, 13, 10).Bits(55, 3, 2), {"%0 = Copy R0", "%1 = Copy R1", "%2 = Copy R4", "R8 = TextureSample{Texture2D set=0 binding=1 flags=0x10}#1 %0, %1, %2"}},
    // Rd = R253 with mask 15: the destination run stops before RZ.
    {"TexDestRunStopsAtRz", T(TexP).Rd(253).Ra(0).Rb(4).Bits(28, 3, 2).Bits(31, 4, 15).Bits(36, 13, 10), {"%0 = Copy R0", "%1 = Copy R1", "R253, R254 = TextureSample{Texture2D set=0 binding=1}#15 %0, %1"}},
    {"TexRdRzEmitsNothing", T(TexP).Rd(255).Ra(0).Rb(4).Bits(28, 3, 2).Bits(31, 4, 15).Bits(36, 13, 10), {}},
    // Bindless: the handle is the first Rb register and the binding is (0, 0).
    {"TexBindless", T(TexBP).Rd(8).Ra(0).Rb(4).Bits(28, 3, 2).Bits(31, 4, 3), {"%0 = Copy R4", "%1 = Copy R0", "%2 = Copy R1", "R8, R9 = TextureSample{Texture2D set=0 binding=0 flags=0x1}#3 %0, %1, %2"}},
    // TLD with Ms and Lod: Rb read as the LOD and dropped, sample index from Rb + 1.
    {"TldMultisample", T(TldP).Rd(8).Ra(0).Rb(4).Bits(28, 3, 2).Bits(31, 4, 1).Bits(36, 13, 10).Bit(50).Bit(55), {"%0 = Copy R0", "%1 = Copy R1", "%2 = Copy R4", "%3 = Copy R5", "R8 = TextureSample{Texture2DMS set=0 binding=1 flags=0x8}#1 %0, %1, %3"}},
    // TLD 1D the accessor calls Texture2D: widened, LOD 0.
    {"Tld1dNotBuffer", T(TldP).Rd(8).Ra(0).Rb(4).Bits(28, 3, 0).Bits(31, 4, 1).Bits(36, 13, 10), {"%0 = Copy R0", "R8 = TextureSample{Texture2D set=0 binding=1 flags=0x28}#1 %0, 0, 0"}},
    // TLD4 with two offset registers: eight signed 6-bit offsets.
    {"Tld4FourOffsets", T(Tld4P).Rd(8).Ra(0).Rb(4).Bits(28, 3, 2).Bits(31, 4, 15).Bits(36, 13, 10).Bits(54, 2, 2).Bits(56, 2, 1), {"%0 = Copy R0", "%1 = Copy R1", "%2 = Copy R4", "%3 = Copy R5", "%4 = BitfieldExtractS32 %2, 0, 6", "%5 = BitfieldExtractS32 %2, 8, 6", "%6 = BitfieldExtractS32 %2, 16, 6", "%7 = BitfieldExtractS32 %2, 24, 6", "%8 = BitfieldExtractS32 %3, 0, 6", "%9 = BitfieldExtractS32 %3, 8, 6", "%10 = BitfieldExtractS32 %3, 16, 6", "%11 = BitfieldExtractS32 %3, 24, 6", "R8, R9, R10, R11 = TextureSample{Texture2D set=0 binding=1 flags=0x82}#15 %0, %1, %4, %5, %6, %7, %8, %9, %10, %11, 1"}},
    {"Tld4DepthCompareNoComponent", T(Tld4P).Rd(8).Ra(0).Rb(4).Bits(28, 3, 2).Bits(31, 4, 1).Bits(36, 13, 10).Bit(50), {"%0 = Copy R0", "%1 = Copy R1", "%2 = Copy R4", "R8 = TextureSample{Texture2DShadow set=0 binding=1 flags=0x2}#1 %0, %1, %2"}},
    // TXD Array2d: layer = packed & 0xFFFF, derivatives Rb..Rb+3.
    // TXD: the derivative registers hold (d/dx, d/dy) per coordinate (R4 du/dx, R5 du/dy, R6 dv/dx,
    // R7 dv/dy); the operation takes every d/dx, then every d/dy.
    {"TxdArray2d", T(TxdP).Rd(8).Ra(0).Rb(4).Bits(28, 3, 3).Bits(31, 4, 1).Bits(36, 13, 10), {"%0 = Copy R0", "%1 = Copy R1", "%2 = Copy R2", "%3 = BitwiseAnd %2, 65535", "%4 = Copy R4", "%5 = Copy R5", "%6 = Copy R6", "%7 = Copy R7", "R8 = TextureSample{Texture2DArray set=0 binding=1 flags=0x4}#1 %0, %1, %3, %4, %6, %5, %7"}},
    {"TxdBindlessHandleFromRa", T(TxdBP).Rd(8).Ra(0).Rb(4).Bits(28, 3, 2).Bits(31, 4, 1), {"%0 = Copy R0", "%1 = Copy R1", "%2 = Copy R2", "%3 = Copy R3", "%4 = Copy R4", "%5 = Copy R5", "%6 = Copy R6", "%7 = Copy R7", "R8 = TextureSample{Texture2D set=0 binding=0 flags=0x5}#1 %0, %1, %2, %4, %6, %5, %7"}},
    // TMML: components swapped, fixed point with 8 fraction bits; z gets 0 and a comment.
    {"TmmlComponents", T(TmmlP).Rd(4).Ra(0).Rb(2).Bits(28, 3, 2).Bits(31, 4, 3).Bits(36, 13, 10),
     {"%0 = Copy R0", "%1 = Copy R1", "%2 = Lod{Texture2D set=0 binding=1}#1 %0, %1",
      "%3 = Multiply.FP32 %2, 256.0", "%4 = ConvertFP32ToS32 %3", "R4 = Copy %4",
      "%5 = Lod{Texture2D set=0 binding=1} %0, %1", "%6 = Multiply.FP32 %5, 256.0", "%7 = ConvertFP32ToS32 %6",
      "R5 = Copy %7"}},
    // TXQ texture type with mask 7: only the third register gets the sample count.
    {"TxqSamplesSkipsRegisters", T(TxqP).Rd(8).Ra(0).Bits(22, 6, 2).Bits(31, 4, 7).Bits(36, 13, 10), {"%0 = Copy R0", "%1 = TextureQuerySamples{Texture2D set=0 binding=1} %0", "R10 = Copy %1"}},
    {"TxqDimension", T(TxqP).Rd(8).Ra(0).Bits(22, 6, 1).Bits(31, 4, 3).Bits(36, 13, 10), {"%0 = Copy R0", "%1 = TextureQuerySize{Texture2D set=0 binding=1} %0", "R8 = Copy %1", "%2 = TextureQuerySize{Texture2D set=0 binding=1}#1 %0", "R9 = Copy %2"}},
    // TEXS target 1, RGBA into R0, R1, R8, R9.
    {"TexsTwoPairs", T(TexsP).Rd(0).Ra(2).Rb(6).Bits(28, 8, 8).Bits(36, 13, 10).Bits(50, 3, 4).Bits(53, 4, 1), {"%0 = Copy R2", "%1 = Copy R6", "R0, R1, R8, R9 = TextureSample{Texture2D set=0 binding=1}#15 %0, %1"}},
    // TEXS with Rd = RZ: R and G go to locals nothing reads, never to constants.
    {"TexsFirstPairRz", T(TexsP).Rd(255).Ra(2).Rb(6).Bits(28, 8, 8).Bits(36, 13, 10).Bits(50, 3, 4).Bits(53, 4, 1), {"%0 = Copy R2", "%1 = Copy R6", "%2, %3, R8, R9 = TextureSample{Texture2D set=0 binding=1}#15 %0, %1"}},
    // TEXS target 9: x = second A, y = B, layer = first A, reference = next B, LOD 0.
    {"TexsArrayShadow", T(TexsP).Rd(0).Ra(2).Rb(6).Bits(28, 8, 255).Bits(36, 13, 10).Bits(50, 3, 0).Bits(53, 4, 9), {"%0 = Copy R2", "%1 = Copy R3", "%2 = Copy R6", "%3 = Copy R7", "R0 = TextureSample{Texture2DArrayShadow set=0 binding=1 flags=0x20}#1 %1, %2, %0, %3, 0"}},
    {"TexsUnsupportedTarget", T(TexsP).Rd(0).Ra(2).Rb(6).Bits(28, 8, 255).Bits(36, 13, 10).Bits(50, 3, 0).Bits(53, 4, 14), {}},
    // TEXS.F16 code 0 with Rd2: Rd = pack(R, G), R8 = pack(B, 0.0).
    {"TexsF16", T(TexsF16P).Rd(0).Ra(2).Rb(6).Bits(28, 8, 8).Bits(36, 13, 10).Bits(50, 3, 0).Bits(53, 4, 1), {"%0 = Copy R2", "%1 = Copy R6", "%2, %3, %4 = TextureSample{Texture2D set=0 binding=1}#7 %0, %1", "%5 = PackHalf2x16 %2, %3", "R0 = Copy %5", "%6 = PackHalf2x16 %4, 0", "R8 = Copy %6"}},
    // TLDS target 12: LOD from Rb, offsets from the next B register.
    {"TldsOffsets", T(TldsP).Rd(0).Ra(2).Rb(6).Bits(28, 8, 255).Bits(36, 13, 10).Bits(50, 3, 4).Bits(53, 4, 12), {"%0 = Copy R2", "%1 = Copy R3", "%2 = Copy R6", "%3 = Copy R7", "%4 = BitfieldExtractS32 %3, 0, 4", "%5 = BitfieldExtractS32 %3, 4, 4", "R0, R1 = TextureSample{Texture2D set=0 binding=1 flags=0x68}#3 %0, %1, %2, %4, %5"}},
    {"TldsArray", T(TldsP).Rd(0).Ra(2).Rb(6).Bits(28, 8, 255).Bits(36, 13, 10).Bits(50, 3, 4).Bits(53, 4, 8), {"%0 = Copy R6", "%1 = Copy R7", "%2 = Copy R2", "R0, R1 = TextureSample{Texture2DArray set=0 binding=1 flags=0x28}#3 %0, %1, %2, 0"}},
    // TLD4S into R254 and R8: G of the first pair lands on RZ and goes to a local nothing reads.
    {"Tld4sPairEndsAtRz", T(Tld4sP).Rd(254).Ra(0).Rb(4).Bits(28, 8, 8).Bits(36, 13, 10), {"%0 = Copy R0", "%1 = Copy R4", "R254, %2, R8, R9 = TextureSample{Texture2D set=0 binding=1 flags=0x2}#15 %0, %1, 0"}},
    // TLD4S with Dc and Aoffi: the reference (second B) stands before the offsets (first B).
    {"Tld4sDcOffset", T(Tld4sP).Rd(8).Ra(0).Rb(4).Bits(28, 8, 255).Bits(36, 13, 10).Bit(50).Bit(51), {"%0 = Copy R0", "%1 = Copy R1", "%2 = Copy R4", "%3 = BitfieldExtractS32 %2, 0, 6", "%4 = BitfieldExtractS32 %2, 8, 6", "%5 = Copy R5", "R8, R9 = TextureSample{Texture2DShadow set=0 binding=1 flags=0x42}#3 %0, %1, %5, %3, %4"}},
    // SULD.D size 0: one byte, zero-extended after the load.
    {"SuldDByte", T(SuldDP).Rd(4).Ra(2).Bits(20, 3, 0).Bits(33, 3, 3).Bits(36, 13, 10), {"%0 = Copy R2", "%1 = Copy R3", "R4 = ImageLoad{Texture2D format=3 set=0 binding=1}#1 %0, %1", "%2 = BitwiseAnd R4, 255", "R4 = Copy %2"}},
    {"SuldDSignedByte", T(SuldDP).Rd(4).Ra(2).Bits(20, 3, 1).Bits(33, 3, 3).Bits(36, 13, 10), {"%0 = Copy R2", "%1 = Copy R3", "R4 = ImageLoad{Texture2D format=4 set=0 binding=1}#1 %0, %1", "%2 = BitfieldExtractS32 R4, 0, 8", "R4 = Copy %2"}},
    {"SuldDVec4StopsAtRz", T(SuldDP).Rd(252).Ra(2).Bits(20, 3, 6).Bits(33, 3, 3).Bits(36, 13, 10), {"%0 = Copy R2", "%1 = Copy R3", "R252, R253, R254 = ImageLoad{Texture2D format=35 set=0 binding=1}#15 %0, %1"}},
    {"SuldDByteAddress", T(SuldDP).Rd(4).Ra(2).Bits(20, 3, 4).Bit(23).Bits(33, 3, 3).Bits(36, 13, 10), {"%0 = Copy R2", "%1 = Copy R3", "%2 = ShiftRightS32 %0, 2", "R4 = ImageLoad{Texture2D format=11 set=0 binding=1}#1 %2, %1"}},
    // SULD.P mask 0b1010 with the coherent cache operation.
    {"SuldComponents", T(SuldP).Rd(4).Ra(2).Bits(20, 4, 10).Bits(24, 2, 1).Bits(33, 3, 3).Bits(36, 13, 10), {"%0 = Copy R2", "%1 = Copy R3", "R4, R5 = ImageLoad{Texture2D set=0 binding=1 flags=0x100}#10 %0, %1"}},
    {"SustComponents", T(SustP).Rd(8).Ra(2).Bits(20, 4, 5).Bits(33, 3, 3).Bits(36, 13, 10), {"%0 = Copy R2", "%1 = Copy R3", "%2 = Copy R8", "%3 = Copy R9", "ImageStore{Texture2D set=0 binding=1} %0, %1, %2, %3"}},
    // SUST.D.B size 5 on a 1D array: handle copy, x, 0, layer, two values.
    {"SustDBindless1dArray", T(SustDBP).Rd(4).Ra(0).Bits(20, 3, 5).Bits(33, 3, 2).Bits(39, 8, 10), {"%0 = Copy R10", "%1 = Copy R0", "%2 = Copy R1", "%3 = Copy R4", "%4 = Copy R5", "ImageStore{Texture2DArray format=23 set=0 binding=0 flags=0x1} %0, %1, 0, %2, %3, %4"}},
    // (Bits 56 and 54 set: other prefixes of the pattern belong to other forms.)
    {"SuatomCasBuffer", T(SuatomCasP).Bit(56).Bit(54).Rd(4).Ra(2).Rb(6).Bits(33, 3, 1).Bits(36, 13, 10),
     {"%0 = Copy R2", "%1 = Copy R6", "%2 = Copy R7",
      "%3 = ImageAtomic{TextureBuffer format=11 set=0 binding=1 flags=0x90000} %0, %1, %2", "R4 = Copy %3"}},
    {"SuatomBBadOpIsAdd", T(SuatomBP).Rd(4).Ra(2).Rb(6).Bits(29, 4, 12).Bits(33, 3, 3).Bits(36, 3, 0).Bits(39, 8, 10), {"%0 = Copy R10", "%1 = Copy R2", "%2 = Copy R3", "%3 = Copy R6", "%4 = ImageAtomic{Texture2D format=11 set=0 binding=0 flags=0x1} %0, %1, %2, %3", "R4 = Copy %4"}},
    // Bound SUATOM of real shaders (compute_image_ops): immediate handle, the image's own format.
    {"SuatomBoundImmediateHandle", 0xea7804e600b702ffull, {"%0 = Copy R2", "%1 = Copy R3", "%2 = Copy R11", "%3 = ImageAtomic{Texture2D format=11 set=0 binding=1} %0, %1, %2"}},
    {"SuredOr", T(SuredP).Rd(4).Ra(2).Bits(20, 3, 0).Bits(24, 3, 6).Bits(33, 3, 3).Bits(36, 13, 10), {"%0 = Copy R2", "%1 = Copy R3", "%2 = Copy R4", "%3 = ImageAtomic{Texture2D format=11 set=0 binding=1 flags=0x60000} %0, %1, %2"}},
    {"SurfaceDimension6EmitsNothing", T(SuldDP).Rd(4).Ra(2).Bits(33, 3, 6).Bits(36, 13, 10), {}},
};

INSTANTIATE_TEST_SUITE_P(Words, TextureEmit, testing::ValuesIn(Cases), Name);

} // namespace
} // namespace Zerivox::Graphics::Shader::Testing
