// Small hand-assembled shaders for forms that real shaders use and that once
// gave invalid modules or failed: each goes through the tool's accessor and
// translator, and every module it gives must pass the validator.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "TestTools/GlslCompiler.h"
#include "TestTools/SpirvValidator.h"
#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/ShaderStage.h"
#include "driver/FenkVanter.h"
#include "driver/FenkVanterAccessor.h"

namespace {

namespace Fv = Zerivox::FenkVanter;
namespace Tr = Zerivox::Graphics::Shader::Translation;
using Zerivox::Graphics::Shader::ShaderStage;

// One instruction word from its 14-character table prefix (bit 63 first, 'x'
// read as 0) and fields; the guard is PT.
struct Word {
    uint64_t Value = 0;
    explicit Word(const char* prefix) {
        for (int i = 0; i < 14 && prefix[i] != '\0'; i++) {
            if (prefix[i] == '1')
                Value |= uint64_t{1} << (63 - i);
        }
        Bits(16, 3, 7);
    }
    Word& Bits(int lo, int count, uint64_t value) {
        const uint64_t mask = ((uint64_t{1} << count) - 1) << lo;
        Value = (Value & ~mask) | ((value << lo) & mask);
        return *this;
    }
};

constexpr uint64_t Exit = 0xE30000000007000Full;
constexpr int RZ = 255;

// IPA Rd <- attribute byte offset, plain interpolation.
uint64_t Ipa(int rd, int offset) {
    return Word("11100000xxxxxx")
        .Bits(0, 8, rd)
        .Bits(8, 8, RZ)
        .Bits(20, 8, RZ)
        .Bits(28, 10, offset)
        .Bits(39, 8, RZ)
        .Value;
}
// ALD of size + 1 words into Rd: from offset (ra RZ), or through ra; per-patch
// when patch.
uint64_t Ald(int rd, int ra, int offset, int size, bool patch = false) {
    return Word("1110111111011x")
        .Bits(0, 8, rd)
        .Bits(8, 8, ra)
        .Bits(20, 11, offset)
        .Bits(31, 1, patch ? 1 : 0)
        .Bits(39, 8, RZ)
        .Bits(47, 2, size)
        .Value;
}
// AST of size + 1 words from Rs to offset; per-patch when patch.
uint64_t Ast(int rs, int offset, int size, bool patch = false) {
    return Word("1110111111110x")
        .Bits(0, 8, rs)
        .Bits(8, 8, RZ)
        .Bits(20, 11, offset)
        .Bits(31, 1, patch ? 1 : 0)
        .Bits(39, 8, RZ)
        .Bits(47, 2, size)
        .Value;
}
// The texture handle of slot 0 as the tool's jobs name it.
constexpr uint64_t Slot0Handle = 90;

// Code file: the program header of a graphics stage (word 2 bits 24-31:
// output vertices of a tessellation control shader; word 18: render target
// 0 written by a fragment shader), then the words with a scheduling word
// before every three.
std::vector<uint8_t> CodeFile(ShaderStage stage, const std::vector<uint64_t>& words) {
    std::vector<uint32_t> header(20, 0);
    header[0] = static_cast<uint32_t>(stage) << 10;
    if (stage == ShaderStage::TessellationControl)
        header[2] = 3u << 24;
    if (stage == ShaderStage::Fragment)
        header[18] = 0xF;
    std::vector<uint64_t> code;
    for (uint64_t word : words) {
        if (code.size() % 4 == 0)
            code.push_back(0);
        code.push_back(word);
    }
    std::vector<uint8_t> bytes(header.size() * 4 + code.size() * 8);
    std::memcpy(bytes.data(), header.data(), header.size() * 4);
    std::memcpy(bytes.data() + header.size() * 4, code.data(), code.size() * 8);
    return bytes;
}

struct Result {
    std::string Error; // the typed error's text, empty on success
    std::string Validation;
    std::string Text; // disassembly
    // The same job through the GLSL back end: its typed error (which must be
    // the SPIR-V path's) and, on success, glslang's complaint about the text
    // or the disassembly of what glslang makes of it.
    std::string GlslError;
    std::string GlslCompile;
    std::string GlslText;
};

Result Translate(ShaderStage stage, const std::vector<uint64_t>& words, const Fv::Json& extra = Fv::Json::object()) {
    Fv::Json job = extra;
    job["key"] = "small";
    job["code"] = "small.bin";
    const std::vector<uint8_t> code = CodeFile(stage, words);
    Result result;
    try {
        Fv::FenkVanterAccessor accessor(code, job);
        const Tr::ShaderProgram program = Fv::RunTranslator(accessor, Tr::TranslationOptions());
        result.Validation = Zerivox::TestTools::ValidateSpirv(program.BinaryCode);
        result.Text = Zerivox::TestTools::DisassembleSpirv(program.BinaryCode);
    } catch (const Zerivox::Common::Exception& e) {
        result.Error = Zerivox::Common::ErrorText(e);
    }
    try {
        Fv::FenkVanterAccessor accessor(code, job);
        const Tr::TranslationOptions options(Tr::TargetLanguage::Glsl, Tr::TargetGraphicsApi::Vulkan,
                                             Tr::TranslationFlags::None);
        const Tr::ShaderProgram program = Fv::RunTranslator(accessor, options);
        const auto compiled = Zerivox::TestTools::CompileGlsl(program.Code, stage);
        if (!compiled.Ok) {
            result.GlslCompile = compiled.Error + "\n" + program.Code;
        } else {
            std::vector<uint8_t> bytes(compiled.Words.size() * 4);
            std::memcpy(bytes.data(), compiled.Words.data(), bytes.size());
            result.GlslText = Zerivox::TestTools::DisassembleSpirv(bytes);
        }
    } catch (const Zerivox::Common::Exception& e) {
        result.GlslError = Zerivox::Common::ErrorText(e);
    }
    return result;
}

// Both back ends spell one program: they fail alike, and a GLSL text that
// translates compiles.
void ExpectBothBackEndsAgree(const Result& r) {
    EXPECT_EQ(r.GlslError, r.Error);
    EXPECT_EQ(r.GlslCompile, "");
}

bool Has(const std::string& text, const std::string& piece) { return text.find(piece) != std::string::npos; }

} // namespace

// Fragment shaders may read clip distances (0x2C0-0x2DF): the input is the
// built-in array, read element by element.
TEST(SmallShaderTests, FragmentShaderReadsTwoClipDistances) {
    const Result r = Translate(ShaderStage::Fragment, {Ipa(0, 0x2C0), Ipa(1, 0x2C4), Exit});
    ExpectBothBackEndsAgree(r);
    ASSERT_EQ(r.Error, "");
    EXPECT_EQ(r.Validation, "") << r.Text;
    EXPECT_TRUE(Has(r.Text, "BuiltIn ClipDistance")) << r.Text;
    EXPECT_TRUE(Has(r.Text, "Input %_arr_float_uint_8")) << r.Text;
    EXPECT_TRUE(Has(r.Text, "%int_0") && Has(r.Text, "%int_1")) << r.Text;
}

// The instance and vertex ids are vertex-shader inputs: read by a fragment
// shader they are attributes the stage may not read (0), not the vertex
// stage's built-ins.
TEST(SmallShaderTests, InstanceIdReadOutsideTheVertexStageIsZero) {
    const Result r = Translate(ShaderStage::Fragment, {Ald(0, RZ, 0x2F8, 1), Exit});
    ExpectBothBackEndsAgree(r);
    ASSERT_EQ(r.Error, "");
    EXPECT_EQ(r.Validation, "") << r.Text;
    EXPECT_FALSE(Has(r.Text, "InstanceIndex") || Has(r.Text, "BaseInstance") || Has(r.Text, "VertexIndex")) << r.Text;
}

// A sample-count query (TXQ texture type, component z) asks the image only
// when the texture is multisampled; a texture the job gives no type (2D) or
// a single-sampled type has one sample.
TEST(SmallShaderTests, SampleCountQueryOfASingleSampledTextureIsOne) {
    const uint64_t txq = Word("1101111101001x")
                             .Bits(0, 8, 0)
                             .Bits(8, 8, RZ)
                             .Bits(22, 6, 2)
                             .Bits(31, 4, 4)
                             .Bits(36, 13, Slot0Handle)
                             .Value;
    struct Case {
        const char* Type; // null: the job gives none
        bool Queries;
    };
    for (const Case& c : {Case{nullptr, false}, Case{"2d", false}, Case{"2dms", true}}) {
        SCOPED_TRACE(c.Type != nullptr ? c.Type : "no type");
        Fv::Json extra = Fv::Json::object();
        if (c.Type != nullptr) {
            Fv::Json tex = Fv::Json::object();
            tex["0"] = c.Type;
            extra["tex"] = tex;
        }
        const Result r = Translate(ShaderStage::Fragment, {txq, Exit}, extra);
        ExpectBothBackEndsAgree(r);
        ASSERT_EQ(r.Error, "");
        EXPECT_EQ(r.Validation, "") << r.Text;
        EXPECT_EQ(Has(r.Text, "OpImageQuerySamples"), c.Queries) << r.Text;
    }
}

// TEX with a depth reference writing two components: both receive the
// comparison's one value.
TEST(SmallShaderTests, DepthCompareWrittenToTwoComponents) {
    const uint64_t tex = Word("11000xxxxxxxxx")
                             .Bits(0, 8, 0)
                             .Bits(8, 8, 2)
                             .Bits(20, 8, 4)
                             .Bits(28, 3, 2)
                             .Bits(31, 4, 3)
                             .Bits(36, 13, Slot0Handle)
                             .Bits(50, 1, 1)
                             .Value;
    const Result r = Translate(ShaderStage::Fragment, {tex, Exit});
    ExpectBothBackEndsAgree(r);
    ASSERT_EQ(r.Error, "");
    EXPECT_EQ(r.Validation, "") << r.Text;
    EXPECT_TRUE(Has(r.Text, "OpImageSampleDrefImplicitLod %float")) << r.Text;
    EXPECT_TRUE(Has(r.Text, "OpCompositeConstruct %v2float")) << r.Text;
}

// A tessellation pair passing a per-vertex and a per-patch attribute at
// different locations translates to valid modules; where a per-patch
// attribute meets a per-vertex one (directly, or inside the array of a
// register-indexed read such as a matrix varying's), the host's single
// location space cannot hold both and the translation fails with a typed
// error.
TEST(SmallShaderTests, TessellationPairWithPerPatchAndPerVertexAttributes) {
    // Control: per-vertex attribute 0 and per-patch attribute 1 (0x28).
    const Result control = Translate(ShaderStage::TessellationControl, {Ast(4, 0x80, 3), Ast(8, 0x28, 3, true), Exit});
    ExpectBothBackEndsAgree(control);
    ASSERT_EQ(control.Error, "");
    EXPECT_EQ(control.Validation, "") << control.Text;
    EXPECT_TRUE(Has(control.Text, "Patch")) << control.Text;
    // Evaluation: reads both and passes them on.
    const Result evaluation =
        Translate(ShaderStage::TessellationEvaluation,
                  {Ald(0, RZ, 0x80, 3), Ald(4, RZ, 0x28, 3, true), Ast(0, 0x70, 3), Ast(4, 0x80, 3), Exit});
    ExpectBothBackEndsAgree(evaluation);
    ASSERT_EQ(evaluation.Error, "");
    EXPECT_EQ(evaluation.Validation, "") << evaluation.Text;

    const Result meeting = Translate(ShaderStage::TessellationControl, {Ast(4, 0x90, 3), Ast(8, 0x28, 3, true), Exit});
    ExpectBothBackEndsAgree(meeting);
    EXPECT_EQ(meeting.Error, "NotImplementedException: Per-patch attribute 1 and a per-vertex output attribute both "
                             "take location 1, which the host's single location space cannot hold.");
    const Result matrix = Translate(ShaderStage::TessellationEvaluation, {Ald(0, 8, 0, 3), Ald(4, RZ, 0x28, 3, true),
                                                                          Ast(0, 0x70, 3), Ast(4, 0x80, 3), Exit});
    ExpectBothBackEndsAgree(matrix);
    // (With register-indexed inputs the per-patch input is addressed without
    // its location, so it is named as attribute 0.)
    EXPECT_EQ(matrix.Error, "NotImplementedException: Per-patch attribute 0 and a per-vertex input attribute both "
                            "take location 0, which the host's single location space cannot hold.");
}

// DMNMX chooses between two doubles by a predicate computed at run time: the
// choice stays a double in both languages (read as 32-bit integers, the
// doubles went through single precision and lost their low bits).
TEST(SmallShaderTests, DoubleMinMaxChosenAtRunTimeKeepsDoublePrecision) {
    // P0 = R0 < R1 (FSETP.LT), then R0:R1 = P0 ? min(R0:R1, R2:R3) : max(...).
    const uint64_t fsetp = Word("010110111011xx")
                               .Bits(0, 3, 7)
                               .Bits(3, 3, 0)
                               .Bits(8, 8, 0)
                               .Bits(20, 8, 1)
                               .Bits(39, 3, 7)
                               .Bits(48, 4, 1)
                               .Value;
    const uint64_t dmnmx = Word("0101110001010x").Bits(0, 8, 0).Bits(8, 8, 0).Bits(20, 8, 2).Bits(39, 3, 0).Value;
    const Result r =
        Translate(ShaderStage::Fragment, {Ipa(0, 0x80), Ipa(1, 0x84), Ipa(2, 0x88), Ipa(3, 0x8C), fsetp, dmnmx, Exit});
    ExpectBothBackEndsAgree(r);
    ASSERT_EQ(r.Error, "");
    EXPECT_EQ(r.Validation, "") << r.Text;
    EXPECT_TRUE(Has(r.Text, "OpSelect %double")) << r.Text;
    EXPECT_FALSE(Has(r.Text, "OpFConvert")) << r.Text;
    // (glslang spells the choice as a branch.)
    EXPECT_TRUE(Has(r.GlslText, "FMin")) << r.GlslText;
    EXPECT_FALSE(Has(r.GlslText, "OpFConvert")) << r.GlslText;
}

// MEMBAR at the workgroup level outside compute shaders: without workgroup
// memory both languages order memory for the whole device (the text
// glslang makes of the GLSL holds the module's barrier).
TEST(SmallShaderTests, GroupMemoryBarrierOutsideComputeOrdersTheDevice) {
    const uint64_t membar = Word("1110111110011x").Bits(8, 2, 0).Value;
    for (ShaderStage stage : {ShaderStage::TessellationControl, ShaderStage::Vertex}) {
        SCOPED_TRACE(static_cast<int>(stage));
        const Result r = Translate(stage, {membar, Exit});
        ExpectBothBackEndsAgree(r);
        ASSERT_EQ(r.Error, "");
        EXPECT_EQ(r.Validation, "") << r.Text;
        // Scope 1 (device), semantics 0xD48 (acquire-release of uniform,
        // workgroup, atomic-counter and image memory).
        EXPECT_TRUE(Has(r.Text, "OpMemoryBarrier %uint_1")) << r.Text;
        EXPECT_TRUE(Has(r.GlslText, "OpMemoryBarrier %uint_1 %uint_3400")) << r.GlslText;
        EXPECT_TRUE(Has(r.Text, "%uint_3400")) << r.Text;
    }
}
