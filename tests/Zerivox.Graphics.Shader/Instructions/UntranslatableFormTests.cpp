// Instructions that a stage cannot execute, and forms no host module can
// express, end the translation with a typed error that names the
// instruction, its address and the stage; the same instructions where they
// belong still translate.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/Decoders/DecoderEnums.h"
#include "Zerivox.Graphics.Shader/Instructions/AluEmitTestSupport.h"

namespace Zerivox::Graphics::Shader::Testing {
namespace {

Inst Kil() { return Inst("111000110011xx").Ccc(0xF); }
// OUT (register form) with the emit and cut bits.
Inst Out(bool emit, bool cut) { return Inst("1111101111100x").Rd(0).Ra(1).Rb(2).Bit(39, emit).Bit(40, cut); }
// AST of one word from R4 to attribute offset (direct) or through Ra.
Inst Ast(int ra, int offset) { return Inst(Prefix::Ast).Rd(4).Ra(ra).Bits(20, 11, static_cast<uint64_t>(offset)); }
// SURED (bound, 2D) of the given data size.
Inst Sured(int size) {
    return Inst("1110101101011x").Rd(4).Ra(2).Bits(20, 3, static_cast<uint64_t>(size)).Bits(33, 3, 3).Bits(36, 13, 5);
}
// SUATOM.CAS (bindless 2D) of the given data size; bit 54 keeps the word out
// of the plain SUATOM encodings.
Inst SuatomCas(int size) {
    return Inst("1110101x1xxxxx")
        .Rd(1)
        .Ra(2)
        .Rb(4)
        .Bits(39, 8, 6)
        .Bits(33, 3, 3)
        .Bits(51, 3, static_cast<uint64_t>(size))
        .Bit(54);
}
// TEX of dimension dim, R0 from R2/R4, all components, with or without a
// depth reference.
Inst Tex(Decoders::TexDim dim, bool depthCompare) {
    return Inst("11000xxxxxxxxx")
        .Rd(0)
        .Ra(2)
        .Rb(4)
        .Bits(28, 3, static_cast<uint64_t>(dim))
        .Bits(31, 4, 0xF)
        .Bit(50, depthCompare);
}

// TLD (texel fetch) of a multisampled texture of dimension dim into R0.
Inst TldMs(Decoders::TexDim dim) {
    return Inst("11011100xxxxxx").Rd(0).Ra(2).Rb(4).Bits(28, 3, static_cast<uint64_t>(dim)).Bits(31, 4, 0xF).Bit(50);
}
// TXD and TMML of dimension dim into R0.
Inst Txd(Decoders::TexDim dim) {
    return Inst("110111100xxxxx").Rd(0).Ra(2).Rb(4).Bits(28, 3, static_cast<uint64_t>(dim)).Bits(31, 4, 0xF);
}
Inst Tmml(Decoders::TexDim dim) {
    return Inst("1101111101011x").Rd(0).Ra(2).Rb(4).Bits(28, 3, static_cast<uint64_t>(dim)).Bits(31, 4, 0x3);
}

// IPA of attribute 0x80 into R0.
Inst Ipa() { return Inst("11100000xxxxxx").Rd(0).Ra(255).Rb(255).Bits(28, 10, 0x80).Bits(39, 8, 255); }
// ALD of attribute 0x80 into R0.
Inst Ald() { return Inst(Prefix::Ald).Rd(0).Ra(255).Bits(20, 11, 0x80).Bits(39, 8, 255); }
// S2R R0 <- special register sreg.
Inst S2r(int sreg) { return Inst("1111000011001x").Rd(0).Bits(20, 8, static_cast<uint64_t>(sreg)); }
// TLD4 (gather) of dimension dim into R0.
Inst Tld4(Decoders::TexDim dim) {
    return Inst("110010xxxxxxxx").Rd(0).Ra(2).Rb(4).Bits(28, 3, static_cast<uint64_t>(dim)).Bits(31, 4, 0xF);
}
// TLD (texel fetch) of dimension dim into R0.
Inst Tld(Decoders::TexDim dim) {
    return Inst("11011100xxxxxx").Rd(0).Ra(2).Rb(4).Bits(28, 3, static_cast<uint64_t>(dim)).Bits(31, 4, 0xF);
}

struct Case {
    const char* What;
    ShaderStage Stage;
    uint64_t Word;
    const char* Kind;    // null: the instruction translates
    const char* Message; // the error's text
};

TEST(UntranslatableForm, TypedErrorNamesInstructionAndStage) {
    using S = ShaderStage;
    using D = Decoders::TexDim;
    const Case cases[] = {
        {"KIL in a fragment shader", S::Fragment, Kil(), nullptr, nullptr},
        {"KIL in a vertex shader", S::Vertex, Kil(), "InvalidOperationException",
         "KIL at 0x8 cannot run in a Vertex shader: only fragment shaders discard."},
        {"KIL in a compute shader", S::Compute, Kil(), "InvalidOperationException",
         "KIL at 0x8 cannot run in a Compute shader: only fragment shaders discard."},
        {"OUT emit in a geometry shader", S::Geometry, Out(true, true), nullptr, nullptr},
        {"OUT without emit or cut does nothing anywhere", S::Vertex, Out(false, false), nullptr, nullptr},
        {"OUT emit in a vertex shader", S::Vertex, Out(true, false), "InvalidOperationException",
         "OUT at 0x8 cannot run in a Vertex shader: only geometry shaders emit vertices and end primitives."},
        {"OUT cut in a tessellation evaluation shader", S::TessellationEvaluation, Out(false, true),
         "InvalidOperationException",
         "OUT at 0x8 cannot run in a TessellationEvaluation shader: only geometry shaders emit vertices and end "
         "primitives."},
        {"AST in a vertex shader", S::Vertex, Ast(255, 0x80), nullptr, nullptr},
        {"AST through a register in a tessellation control shader", S::TessellationControl, Ast(2, 0), nullptr,
         nullptr},
        {"AST in a compute shader", S::Compute, Ast(255, 0x80), "InvalidOperationException",
         "AST at 0x8 cannot run in a Compute shader: only vertex, tessellation and geometry shaders write output "
         "attributes."},
        {"AST through a register in a fragment shader", S::Fragment, Ast(2, 0), "InvalidOperationException",
         "AST at 0x8 cannot run in a Fragment shader: only vertex, tessellation and geometry shaders write output "
         "attributes."},
        {"SURED of 32-bit values", S::Compute, Sured(0), nullptr, nullptr},
        {"SURED of unsigned 64-bit values", S::Compute, Sured(2), "NotImplementedException",
         "SURED at 0x8 cannot be translated: the host has no 64-bit image atomics."},
        {"SURED of signed 64-bit values", S::Fragment, Sured(5), "NotImplementedException",
         "SURED at 0x8 cannot be translated: the host has no 64-bit image atomics."},
        {"SUATOM.CAS of 32-bit values", S::Compute, SuatomCas(0), nullptr, nullptr},
        {"SUATOM.CAS of 64-bit values", S::Compute, SuatomCas(5), "NotImplementedException",
         "SUATOM.CAS at 0x8 cannot be translated: the host has no 64-bit image atomics."},
        {"IPA in a fragment shader", S::Fragment, Ipa(), nullptr, nullptr},
        {"IPA in a vertex shader", S::Vertex, Ipa(), "InvalidOperationException",
         "IPA at 0x8 cannot run in a Vertex shader: only fragment shaders interpolate attributes."},
        {"ALD in a vertex shader", S::Vertex, Ald(), nullptr, nullptr},
        {"ALD in a compute shader", S::Compute, Ald(), "InvalidOperationException",
         "ALD at 0x8 cannot run in a Compute shader: compute shaders have no attributes."},
        {"S2R of the thread index in a compute shader", S::Compute, S2r(33), nullptr, nullptr},
        {"S2R of the lane index in a vertex shader", S::Vertex, S2r(0), nullptr, nullptr},
        {"S2R of the thread index in a vertex shader", S::Vertex, S2r(33), "InvalidOperationException",
         "S2R at 0x8 cannot run in a Vertex shader: only compute shaders have thread and block indices."},
        {"S2R of the block index in a fragment shader", S::Fragment, S2r(37), "InvalidOperationException",
         "S2R at 0x8 cannot run in a Fragment shader: only compute shaders have thread and block indices."},
        {"S2R of the invocation index in a geometry shader", S::Geometry, S2r(17), nullptr, nullptr},
        {"S2R of the invocation index in a vertex shader", S::Vertex, S2r(17), "InvalidOperationException",
         "S2R at 0x8 cannot run in a Vertex shader: only tessellation control and geometry shaders have invocation "
         "indices."},
        {"TLD4 of a 2D texture", S::Fragment, Tld4(D::_2d), nullptr, nullptr},
        {"TLD4 of a 3D texture", S::Fragment, Tld4(D::_3d), "NotImplementedException",
         "TLD4 at 0x8 cannot be translated: 3D textures cannot be gathered."},
        {"TLD of a 2D texture", S::Compute, Tld(D::_2d), nullptr, nullptr},
        {"TLD of a cube texture", S::Compute, Tld(D::Cube), "NotImplementedException",
         "TLD at 0x8 cannot be translated: cube textures have no texel fetch."},
        {"TEX with a depth reference on a 2D texture", S::Fragment, Tex(D::_2d, true), nullptr, nullptr},
        {"TEX without a depth reference on a 3D texture", S::Fragment, Tex(D::_3d, false), nullptr, nullptr},
        {"TEX with a depth reference on a 3D texture", S::Vertex, Tex(D::_3d, true), "NotImplementedException",
         "TEX at 0x8 cannot be translated: 3D textures have no depth comparison."},
        {"TEX of a 2D array", S::Fragment, Tex(D::Array2d, false), nullptr, nullptr},
        {"TEX of a 3D array", S::Fragment, Tex(D::Array3d, false), "NotImplementedException",
         "TEX at 0x8 cannot be translated: 3D textures have no array layers."},
        {"TLD of a 3D array", S::Compute, Tld(D::Array3d), "NotImplementedException",
         "TLD at 0x8 cannot be translated: 3D textures have no array layers."},
        {"TLD of a multisampled 2D texture", S::Compute, TldMs(D::_2d), nullptr, nullptr},
        {"TLD of a multisampled 3D texture", S::Compute, TldMs(D::_3d), "NotImplementedException",
         "TLD at 0x8 cannot be translated: 3D textures have no samples."},
        {"TLD of a multisampled 3D array", S::Vertex, TldMs(D::Array3d), "NotImplementedException",
         "TLD at 0x8 cannot be translated: 3D textures have no array layers."},
        {"TXD of a 3D texture", S::Fragment, Txd(D::_3d), nullptr, nullptr},
        {"TXD of a 3D array", S::Fragment, Txd(D::Array3d), "NotImplementedException",
         "TXD at 0x8 cannot be translated: 3D textures have no array layers."},
        {"TMML of a 3D texture", S::Fragment, Tmml(D::_3d), nullptr, nullptr},
        {"TMML of a 3D array", S::Fragment, Tmml(D::Array3d), "NotImplementedException",
         "TMML at 0x8 cannot be translated: 3D textures have no array layers."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        EmitHarness harness(c.Stage);
        std::optional<std::string> kind;
        std::string message;
        try {
            harness.Emit(c.Word);
        } catch (const Common::Exception& e) {
            kind = e.kind();
            message = e.what();
        }
        if (c.Kind == nullptr) {
            EXPECT_FALSE(kind.has_value()) << *kind << ": " << message;
        } else {
            EXPECT_EQ(kind.value_or("no error"), c.Kind);
            EXPECT_EQ(message, c.Message);
        }
    }
}

} // namespace
} // namespace Zerivox::Graphics::Shader::Testing
