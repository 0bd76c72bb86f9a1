#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "Zerivox.Graphics.Shader/Instructions/AluEmitTestSupport.h"
#include "Zerivox.Graphics.Shader/Instructions/AttributeMap.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IoVariable.h"

using namespace Zerivox::Graphics::Shader;
using namespace Zerivox::Graphics::Shader::Testing;
using Instructions::AttributeMap;
using IntermediateRepresentation::IoVariable;

namespace {

namespace P {
constexpr std::string_view Ald = "1110111111011x";
constexpr std::string_view Ast = "1110111111110x";
constexpr std::string_view Ipa = "11100000xxxxxx";
constexpr std::string_view Al2p = "1110111110100x";
constexpr std::string_view OutR = "1111101111100x";
} // namespace P

int Count(const std::string& text, std::string_view what) {
    int n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) n++;
    return n;
}

Inst Ald(int rd, int ra, int offset, int size, int vertex = 255) {
    return Inst(P::Ald).Rd(rd).Ra(ra).Bits(20, 11, static_cast<uint64_t>(offset)).Bits(47, 2,
                                                                                      static_cast<uint64_t>(size))
        .Bits(39, 8, static_cast<uint64_t>(vertex));
}

Inst Ast(int rs, int ra, int offset, int size) {
    return Inst(P::Ast).Rd(rs).Ra(ra).Bits(20, 11, static_cast<uint64_t>(offset)).Bits(47, 2,
                                                                                      static_cast<uint64_t>(size));
}

TEST(AttributeMap, TablesAndOutputLookup) {
    struct Case {
        int Offset;
        bool PerPatch;
        IoVariable Variable;  // Invalid when the offset has no entry
        int Base;
    };
    const Case cases[] = {
        {0x070, false, IoVariable::Position, 0x070},  {0x07C, false, IoVariable::Position, 0x070},
        {0x27C, false, IoVariable::UserDefined, 0x080}, {0x2DC, false, IoVariable::ClipDistance, 0x2C0},
        {0x30C, false, IoVariable::TextureCoord, 0x300}, {0x310, false, IoVariable::Invalid, 0},
        {0x071, false, IoVariable::Invalid, 0},        {0x400, false, IoVariable::Invalid, 0},
        {0x1FC, true, IoVariable::UserDefined, 0x018},  {0x200, true, IoVariable::Invalid, 0},
        {0x014, true, IoVariable::TessellationLevelInner, 0x010},
    };
    for (const Case& c : cases) {
        const AttributeMap::AttributeEntry* e = AttributeMap::Find(c.Offset, c.PerPatch);
        if (c.Variable == IoVariable::Invalid) {
            EXPECT_EQ(e, nullptr) << std::hex << c.Offset;
        } else {
            ASSERT_NE(e, nullptr) << std::hex << c.Offset;
            EXPECT_EQ(e->IoVariable, c.Variable) << std::hex << c.Offset;
            EXPECT_EQ(e->BaseOffset, c.Base) << std::hex << c.Offset;
        }
    }
    EXPECT_EQ(AttributeMap::GetElementCount(Translation::AggregateType::FP32 | Translation::AggregateType::Vector2 |
                                            Translation::AggregateType::Array),
              2);

    EmitHarness vertex(ShaderStage::Vertex);
    int location = -1;
    EXPECT_EQ(AttributeMap::GetIoVariable(vertex.Definitions(), 0x0A4, location), IoVariable::UserDefined);
    EXPECT_EQ(location, 2);
    // Vertex ids are inputs only.
    EXPECT_EQ(AttributeMap::GetIoVariable(vertex.Definitions(), 0x2FC, location), IoVariable::Invalid);
    EXPECT_EQ(location, 0);
}

TEST(InstEmitAttribute, LoadsPerStage) {
    // Vertex shader, direct: location 0 components 1 and 2.
    EmitHarness vs(ShaderStage::Vertex);
    const std::string user = vs.Emit(Ald(1, 255, 0x84, 1));
    EXPECT_NE(user.find("Load.Input 37, 0, 1\n"), std::string::npos) << user;
    EXPECT_NE(user.find("Load.Input 37, 0, 2\n"), std::string::npos) << user;

    // Geometry shader: per-location input puts the location before the
    // vertex; the clip distance array puts the vertex first.
    EmitHarness gs(ShaderStage::Geometry);
    const std::string loc = gs.Emit(Ald(1, 255, 0x090, 0, 5));
    EXPECT_NE(loc.find("Load.Input 37, 1, %0, 0\n"), std::string::npos) << loc;
    const std::string clip = gs.Emit(Ald(1, 255, 0x2C4, 0, 5));
    EXPECT_NE(clip.find("Load.Input 5, %0, 1\n"), std::string::npos) << clip;
        // PrimitiveId has no per-vertex copy.
    const std::string prim = gs.Emit(Ald(1, 255, 0x060, 0, 5));
    EXPECT_EQ(prim.find("Copy R5"), std::string::npos) << prim;

    // Instance id becomes InstanceIndex - BaseInstance on Vulkan.
    const std::string instance = vs.Emit(Ald(1, 255, 0x2F8, 0));
    EXPECT_NE(instance.find("Subtract"), std::string::npos) << instance;

    // An invalid offset logs and reads 0.
    EmitHarness fs(ShaderStage::Fragment);
    EXPECT_EQ(fs.Emit(Ald(1, 255, 0x3A0, 0)), "R1 = Copy 0\n");
    ASSERT_FALSE(fs.Log().empty());
    EXPECT_EQ(fs.Log().back(), "Attribute offset 0x3A0 (ViewportMask) is not supported by the host for stage Fragment.");
}

TEST(InstEmitAttribute, RegisterIndexedWordsAdvance) {
    // ALD/AST through Ra of several words: word i addresses Ra + 4i, not the
    // same component again.
    for (const bool store : {false, true}) {
        EmitHarness vs(ShaderStage::Vertex);
        const uint64_t word = store ? static_cast<uint64_t>(Ast(4, 2, 0, 3)) : static_cast<uint64_t>(Ald(4, 2, 0, 3));
        const std::string ir = vs.Emit(word);
        EXPECT_NE(ir.find("Subtract R2, 128"), std::string::npos) << ir;
        EXPECT_NE(ir.find("Subtract R2, 124"), std::string::npos) << ir;
        EXPECT_NE(ir.find("Subtract R2, 120"), std::string::npos) << ir;
        EXPECT_NE(ir.find("Subtract R2, 116"), std::string::npos) << ir;
    }
}

TEST(InstEmitAttribute, StoresAndRemapping) {
    // Position from R4-R7; in a tessellation control shader each store also
    // carries the invocation id.
    EmitHarness vs(ShaderStage::Vertex);
    const std::string pos = vs.Emit(Ast(4, 255, 0x070, 3));
    EXPECT_EQ(Count(pos, "Store.Output 23, "), 4) << pos;
    EXPECT_NE(pos.find("Store.Output 23, 3, R7\n"), std::string::npos) << pos;

    EmitHarness tcs(ShaderStage::TessellationControl);
    const std::string tpos = tcs.Emit(Ast(4, 255, 0x070, 0));
    EXPECT_NE(tpos.find("Load.Input 18"), std::string::npos) << tpos;

    // Texture coordinate 0 goes to user attribute 5, coordinate 9 to 14.
    const std::string tex0 = vs.Emit(Ast(4, 255, 0x300, 0));
    EXPECT_NE(tex0.find("Store.Output 37, 5, 0, R4\n"), std::string::npos) << tex0;
    const std::string tex9 = vs.Emit(Ast(4, 255, 0x390, 0));
    EXPECT_NE(tex9.find("Store.Output 37, 14, 0, R4\n"), std::string::npos) << tex9;

    EXPECT_EQ(vs.Emit(Inst(P::Al2p).Rd(1).Ra(2).Bits(20, 11, 0x84)), "%0 = Add R2, 132\nR1 = Copy %0\n");
}

TEST(InstEmitAttribute, Interpolation) {
    auto ipa = [](int offset) {
        return Inst(P::Ipa).Rd(1).Ra(255).Rb(3).Bits(28, 10, static_cast<uint64_t>(offset)).Bits(54, 2, 1);
    };
    EmitHarness fs(ShaderStage::Fragment);
    // Back colours are constants and not multiplied by Rb.
    EXPECT_EQ(fs.Emit(ipa(0x2A4)), "R1 = Copy 0\n");
    EXPECT_EQ(fs.Emit(ipa(0x2AC)), "R1 = Copy 1065353216\n");
    // Fragment x is divided by the render scale, w is not.
    EXPECT_NE(fs.Emit(ipa(0x070)).find("Divide.FP32"), std::string::npos);
    const std::string w = fs.Emit(ipa(0x07C));
    EXPECT_EQ(w.find("Divide"), std::string::npos) << w;
    EXPECT_NE(w.find("Multiply.FP32"), std::string::npos) << w;
}

TEST(InstEmitAttribute, OutEmitsAndCuts) {
    EmitHarness gs(ShaderStage::Geometry);
    const std::string both = gs.Emit(Inst(P::OutR).Bit(39).Bit(40));
    EXPECT_NE(both.find("EmitVertex"), std::string::npos) << both;
    EXPECT_LT(both.find("EmitVertex"), both.find("EndPrimitive")) << both;
    EXPECT_EQ(gs.Emit(Inst(P::OutR)), "");
}

} // namespace
