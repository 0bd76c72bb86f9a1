#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "IrEvaluator.h"
#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Function.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IoVariable.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrArena.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrPrinter.h"
#include "Zerivox.Graphics.Shader/SupportBuffer.h"
#include "Zerivox.Graphics.Shader/Translation/HelperFunctionManager.h"

using namespace Zerivox::Graphics::Shader;
using namespace Zerivox::Graphics::Shader::Translation;
using Zerivox::Graphics::Shader::IntermediateRepresentation::Function;
using Zerivox::Graphics::Shader::IntermediateRepresentation::IoVariable;
using Zerivox::Graphics::Shader::IntermediateRepresentation::IrArena;
using Zerivox::Graphics::Shader::IntermediateRepresentation::StorageKind;
using Zerivox::Graphics::Shader::Testing::IrEvaluator;

namespace {

struct Fixture {
    IrArena arena;
    std::vector<Function*> functions;
    HelperFunctionManager hfm;

    explicit Fixture(ShaderStage stage = ShaderStage::Compute) : functions(2, nullptr), hfm(arena, functions, stage) {}

    const Function& Get(int32_t id) { return *functions.at(static_cast<std::size_t>(id)); }
};

// Deterministic bit patterns spread over every exponent.
std::vector<uint64_t> RandomPatterns(std::size_t count, uint64_t seed) {
    std::vector<uint64_t> patterns;
    uint64_t x = seed;
    for (std::size_t i = 0; i < count; i++) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        patterns.push_back(x);
    }
    return patterns;
}

} // namespace

TEST(HelperFunctionManagerTests, GeneratesOnceAndAppends) {
    Fixture f;
    int32_t texel = f.hfm.GetOrCreateFunctionId(HelperFunctionName::TexelFetchScale);
    EXPECT_EQ(texel, 2);
    EXPECT_EQ(f.hfm.GetOrCreateFunctionId(HelperFunctionName::TexelFetchScale), texel);
    EXPECT_EQ(f.functions.size(), 3u);

    int32_t store0 = f.hfm.GetOrCreateFunctionId(HelperFunctionName::SharedStore8, 0);
    int32_t store1 = f.hfm.GetOrCreateFunctionId(HelperFunctionName::SharedStore8, 1);
    EXPECT_NE(store0, store1);
    EXPECT_EQ(f.Get(store0).Name, "SharedStore8_0");
    EXPECT_EQ(f.Get(store1).Name, "SharedStore8_1");
    EXPECT_EQ(f.hfm.GetOrCreateFunctionId(HelperFunctionName::SharedStore8, 1), store1);

    int32_t shuffle = f.hfm.GetOrCreateShuffleFunctionId(HelperFunctionName::Shuffle, 32);
    EXPECT_EQ(f.hfm.GetOrCreateShuffleFunctionId(HelperFunctionName::Shuffle, 64), shuffle);
    EXPECT_EQ(f.functions.size(), 6u);
}

TEST(HelperFunctionManagerTests, FunctionShapes) {
    struct Case {
        HelperFunctionName name;
        int32_t memoryId; // -1: no memory
        const char* text;
        bool returnsValue;
        int in, out;
    };
    const Case cases[] = {
        {HelperFunctionName::ConvertDoubleToFloat, -1, "ConvertDoubleToFloat", true, 2, 0},
        {HelperFunctionName::ConvertFloatToDouble, -1, "ConvertFloatToDouble", false, 1, 2},
        {HelperFunctionName::SharedAtomicMaxS32, 3, "SharedAtomicMax_3", true, 2, 0},
        {HelperFunctionName::SharedAtomicMinS32, 0, "SharedAtomicMin_0", true, 2, 0},
        {HelperFunctionName::SharedStore16, 2, "SharedStore16_2", false, 2, 0},
        {HelperFunctionName::TexelFetchScale, -1, "TexelFetchScale", true, 2, 0},
        {HelperFunctionName::TextureSizeUnscale, -1, "TextureSizeUnscale", true, 2, 0},
    };
    for (const Case& c : cases) {
        Fixture f;
        int32_t id =
            c.memoryId < 0 ? f.hfm.GetOrCreateFunctionId(c.name) : f.hfm.GetOrCreateFunctionId(c.name, c.memoryId);
        const Function& function = f.Get(id);
        EXPECT_EQ(function.Name, c.text);
        EXPECT_EQ(function.ReturnsValue, c.returnsValue) << c.text;
        EXPECT_EQ(function.InArgumentCount, c.in) << c.text;
        EXPECT_EQ(function.OutArgumentCount, c.out) << c.text;
        EXPECT_FALSE(function.Blocks.empty());
    }
    for (HelperFunctionName name : {HelperFunctionName::Shuffle, HelperFunctionName::ShuffleDown,
                                    HelperFunctionName::ShuffleUp, HelperFunctionName::ShuffleXor}) {
        Fixture f;
        const Function& function = f.Get(f.hfm.GetOrCreateShuffleFunctionId(name, 32));
        EXPECT_EQ(function.Name, HelperFunctionNameText(name));
        EXPECT_TRUE(function.ReturnsValue);
        EXPECT_EQ(function.InArgumentCount, 3);
        EXPECT_EQ(function.OutArgumentCount, 1);
    }
    Fixture fragment(ShaderStage::Fragment);
    EXPECT_EQ(fragment.Get(fragment.hfm.GetOrCreateFunctionId(HelperFunctionName::TexelFetchScale)).InArgumentCount, 3);
}

TEST(HelperFunctionManagerTests, LoopAndEarlyReturnShapes) {
    Fixture f;
    using IntermediateRepresentation::IrPrinter;
    // The compare-and-swap loop retries from its own block until the swap
    // saw the value it read.
    EXPECT_EQ(IrPrinter::PrintFunction(f.Get(f.hfm.GetOrCreateFunctionId(HelperFunctionName::SharedAtomicMaxS32, 1))),
              "SharedAtomicMax_1 in=2 out=0 returns\n"
              "B0: next B1\n"
              "B1: preds B1 B0 next B2 branch B1\n"
              "  %0 = Load.SharedMemory 1, a0\n"
              "  %1 = Maximum %0, a1\n"
              "  %2 = AtomicCompareAndSwap.SharedMemory 1, a0, %0, %1\n"
              "  %3 = CompareNotEqual %2, %0\n"
              "  BranchIfTrue L0, %3\n"
              "B2: preds B1\n"
              "  Return %0\n");
    EXPECT_EQ(IrPrinter::PrintFunction(f.Get(f.hfm.GetOrCreateFunctionId(HelperFunctionName::TextureSizeUnscale))),
              "TextureSizeUnscale in=2 out=0 returns\n"
              "B0: next B1 branch B2\n"
              "  %0 = Add a1, 1\n"
              "  %1 = Load.ConstantBuffer 0, 5, %0\n"
              "  %2 = Absolute.FP32 %1\n"
              "  %3 = CompareEqual.FP32 %2, 1.0\n"
              "  BranchIfFalse L0, %3\n"
              "B1: preds B0\n"
              "  Return a0\n"
              "B2: preds B0\n"
              "  %4 = ConvertS32ToFP32 a0\n"
              "  %5 = Divide.FP32 %4, %2\n"
              "  %6 = ConvertFP32ToS32 %5\n"
              "  Return %6\n");
}

TEST(HelperFunctionManagerTests, InvalidNamesAreRejected) {
    Fixture f;
    auto message = [](auto&& call) {
        try {
            call();
        } catch (const Zerivox::Common::ArgumentException& e) {
            return std::string(e.what());
        }
        return std::string("no error");
    };
    EXPECT_EQ(message([&] { f.hfm.GetOrCreateFunctionId(HelperFunctionName::Shuffle); }),
              "Invalid function name Shuffle");
    EXPECT_EQ(message([&] { f.hfm.GetOrCreateFunctionId(HelperFunctionName::ConvertDoubleToFloat, 0); }),
              "Invalid function name ConvertDoubleToFloat");
    EXPECT_EQ(message([&] { f.hfm.GetOrCreateShuffleFunctionId(HelperFunctionName::Invalid, 32); }),
              "Invalid function name Invalid");
    EXPECT_EQ(f.functions.size(), 2u);
}

TEST(HelperFunctionManagerTests, ConvertDoubleToFloatMatchesTheHost) {
    Fixture f;
    const Function& function = f.Get(f.hfm.GetOrCreateFunctionId(HelperFunctionName::ConvertDoubleToFloat));

    std::vector<uint64_t> patterns = {
        0x0000000000000000ull, 0x8000000000000000ull, // signed zeros
        0x3FF0000000000000ull, 0xC000000000000000ull, // 1.0, -2.0
        0x3FF0000010000000ull,                        // halfway, even neighbour below: stays 1.0
        0x3FF0000030000000ull,                        // halfway, odd neighbour below: rounds up
        0x3FF0000010000001ull,                        // just above halfway
        0x3FF000000FFFFFFFull,                        // just below halfway
        0x7FF0000000000000ull, 0xFFF0000000000000ull, // infinities
        0x7FF8000000000000ull, 0xFFF8000000000123ull, // quiet NaNs
        0x7FF0000000000001ull, 0x7FF4000000000000ull, // signalling NaNs
        0x47EFFFFFE0000000ull,                        // largest float
        0x47EFFFFFEFFFFFFFull,                        // rounds down to the largest float
        0x47EFFFFFF0000000ull,                        // halfway to 2^128: infinity
        0x4800000000000000ull, 0x7FEFFFFFFFFFFFFFull, // overflow
        0x3810000000000000ull,                        // smallest normal float
        0x380FFFFFF0000000ull,                        // rounds up to the smallest normal
        0x36A0000000000000ull,                        // smallest subnormal float
        0x3690000000000000ull,                        // half of it: ties to zero
        0x3690000000000001ull,                        // just above: the smallest subnormal
        0x36A8000000000000ull,                        // 1.5 subnormal steps: rounds to 2
        0x3800000000000000ull, 0xB7F0000000000000ull, // subnormal results
        0x0000000000000001ull, 0x800FFFFFFFFFFFFFull, // double subnormals: zero
        0x3680000000000000ull,                        // far below: zero
    };
    for (uint64_t p : RandomPatterns(20000, 0x9E3779B97F4A7C15ull))
        patterns.push_back(p);
    // Random values with float-range exponents, where rounding matters most.
    for (uint64_t p : RandomPatterns(20000, 12345)) {
        patterns.push_back((p & 0x800FFFFFFFFFFFFFull) | ((0x360ull + (p >> 52) % 0xA0) << 52));
    }

    IrEvaluator evaluator;
    int failures = 0;
    for (uint64_t bits : patterns) {
        volatile double value = std::bit_cast<double>(bits);
        uint32_t expected = std::bit_cast<uint32_t>(static_cast<float>(value));
        evaluator.Arguments = {static_cast<uint32_t>(bits), static_cast<uint32_t>(bits >> 32)};
        std::optional<uint32_t> actual = evaluator.Run(function);
        ASSERT_TRUE(actual.has_value());
        if (*actual != expected && ++failures <= 10) {
            ADD_FAILURE() << std::hex << "double 0x" << bits << ": got 0x" << *actual << ", host gives 0x" << expected;
        }
    }
    EXPECT_EQ(failures, 0);
}

TEST(HelperFunctionManagerTests, ConvertFloatToDoubleMatchesTheHost) {
    Fixture f;
    const Function& function = f.Get(f.hfm.GetOrCreateFunctionId(HelperFunctionName::ConvertFloatToDouble));

    std::vector<uint32_t> patterns = {
        0x00000000u, 0x80000000u, 0x3F800000u, 0xC0000000u, 0x7F800000u, 0xFF800000u,
        0x7FC00000u, 0xFFC00123u, 0x7F800001u, 0x7FA00000u, 0x7F7FFFFFu, 0x00800000u,
        0x00000001u, 0x80000001u, 0x007FFFFFu, 0x00400000u, 0x00000100u, 0x807FFFFEu,
    };
    for (uint64_t p : RandomPatterns(20000, 77))
        patterns.push_back(static_cast<uint32_t>(p));
    for (uint64_t p : RandomPatterns(2000, 99))
        patterns.push_back(static_cast<uint32_t>(p) & 0x807FFFFFu);

    IrEvaluator evaluator;
    int failures = 0;
    for (uint32_t bits : patterns) {
        volatile float value = std::bit_cast<float>(bits);
        uint64_t expected = std::bit_cast<uint64_t>(static_cast<double>(value));
        evaluator.Arguments = {bits, 0xDEADBEEFu, 0xDEADBEEFu};
        EXPECT_FALSE(evaluator.Run(function).has_value());
        uint64_t actual = evaluator.Arguments[1] | (static_cast<uint64_t>(evaluator.Arguments[2]) << 32);
        if (actual != expected && ++failures <= 10) {
            ADD_FAILURE() << std::hex << "float 0x" << bits << ": got 0x" << actual << ", host gives 0x" << expected;
        }
    }
    EXPECT_EQ(failures, 0);
}

TEST(HelperFunctionManagerTests, Shuffles) {
    struct Case {
        HelperFunctionName name;
        int32_t subgroupSize;
        uint32_t lane, index, mask;
        bool valid;
        uint32_t readLane; // host lane read when valid
    };
    const Case cases[] = {
        {HelperFunctionName::Shuffle, 32, 9, 5, 0x1F, true, 5},
        {HelperFunctionName::Shuffle, 32, 6, 1, 0x1C03, true, 5},
        {HelperFunctionName::Shuffle, 32, 6, 3, 0x1C02, false, 0},
        {HelperFunctionName::ShuffleUp, 32, 0, 1, 0, false, 0},
        {HelperFunctionName::ShuffleUp, 32, 5, 2, 0, true, 3},
        {HelperFunctionName::ShuffleDown, 32, 30, 1, 0x1F, true, 31},
        {HelperFunctionName::ShuffleDown, 32, 31, 1, 0x1F, false, 0},
        {HelperFunctionName::ShuffleXor, 32, 6, 1, 0x1F, true, 7},
        {HelperFunctionName::Shuffle, 64, 40, 3, 0x1F, true, 35},
        {HelperFunctionName::ShuffleXor, 64, 40, 1, 0x1F, true, 41},
    };
    for (const Case& c : cases) {
        Fixture f;
        const Function& function = f.Get(f.hfm.GetOrCreateShuffleFunctionId(c.name, c.subgroupSize));
        IrEvaluator evaluator;
        evaluator.OnLoad = [&](StorageKind kind, std::span<const uint32_t> sources) -> uint32_t {
            EXPECT_EQ(kind, StorageKind::Input);
            EXPECT_EQ(sources[0], static_cast<uint32_t>(IoVariable::SubgroupLaneId));
            return c.lane;
        };
        evaluator.OnShuffle = [](uint32_t, uint32_t lane) { return 1000 + lane; };
        evaluator.Arguments = {77, c.index, c.mask, 123};
        std::optional<uint32_t> result = evaluator.Run(function);
        ASSERT_TRUE(result.has_value());
        EXPECT_EQ(evaluator.Arguments[3], c.valid ? 0xFFFFFFFFu : 0u) << HelperFunctionNameText(c.name) << c.lane;
        EXPECT_EQ(*result, c.valid ? 1000 + c.readLane : 77u) << HelperFunctionNameText(c.name) << c.lane;
    }
}

TEST(HelperFunctionManagerTests, SharedMemoryCasLoops) {
    Fixture f;
    IrEvaluator evaluator;
    evaluator.SharedMemory = {0x11223344u, 0xFFFFFFF6u};

    evaluator.Arguments = {6, 0xABCDu}; // byte 6: word 1, bits 16-23
    evaluator.Run(f.Get(f.hfm.GetOrCreateFunctionId(HelperFunctionName::SharedStore8, 0)));
    EXPECT_EQ(evaluator.SharedMemory[1], 0xFFCDFFF6u);

    evaluator.Arguments = {1, 0x5566u};
    evaluator.Run(f.Get(f.hfm.GetOrCreateFunctionId(HelperFunctionName::SharedStore16, 0)));
    EXPECT_EQ(evaluator.SharedMemory[0], 0x11556644u); // byte 1: bits 8-23

    // Signed: 5 is not below -3276810 (0xFFCDFFF6), -3276811 is.
    const Function& atomicMin = f.Get(f.hfm.GetOrCreateFunctionId(HelperFunctionName::SharedAtomicMinS32, 0));
    evaluator.Arguments = {1, 5};
    EXPECT_EQ(evaluator.Run(atomicMin), 0xFFCDFFF6u);
    EXPECT_EQ(evaluator.SharedMemory[1], 0xFFCDFFF6u);
    evaluator.Arguments = {1, static_cast<uint32_t>(-3276811)};
    EXPECT_EQ(evaluator.Run(atomicMin), 0xFFCDFFF6u);
    EXPECT_EQ(evaluator.SharedMemory[1], static_cast<uint32_t>(-3276811));
    std::optional<uint32_t> old;

    evaluator.SharedMemory[1] = static_cast<uint32_t>(-10);
    evaluator.Arguments = {1, 5};
    old = evaluator.Run(f.Get(f.hfm.GetOrCreateFunctionId(HelperFunctionName::SharedAtomicMaxS32, 0)));
    EXPECT_EQ(old, static_cast<uint32_t>(-10));
    EXPECT_EQ(evaluator.SharedMemory[1], 5u);
}

TEST(HelperFunctionManagerTests, RenderScaleFunctions) {
    struct Case {
        ShaderStage stage;
        HelperFunctionName name;
        float scale;
        int32_t input;
        uint32_t coordIndex;
        int32_t expected;
    };
    const Case cases[] = {
        {ShaderStage::Compute, HelperFunctionName::TexelFetchScale, 1.0f, 3, 0, 3},
        {ShaderStage::Compute, HelperFunctionName::TexelFetchScale, 2.0f, 3, 0, 6},
        {ShaderStage::Fragment, HelperFunctionName::TexelFetchScale, -2.0f, 3, 0, 7}, // 6 + mod(5.5, 2)
        {ShaderStage::Fragment, HelperFunctionName::TexelFetchScale, -2.0f, 3, 1, 7}, // 6 + mod(9.25, 2)
        {ShaderStage::Fragment, HelperFunctionName::TexelFetchScale, 0.5f, 9, 0, 4},
        {ShaderStage::Compute, HelperFunctionName::TextureSizeUnscale, -2.0f, 64, 0, 32},
        {ShaderStage::Compute, HelperFunctionName::TextureSizeUnscale, 1.0f, 64, 0, 64},
        {ShaderStage::Vertex, HelperFunctionName::TextureSizeUnscale, 4.0f, 64, 0, 16},
    };
    for (const Case& c : cases) {
        Fixture f(c.stage);
        const Function& function = f.Get(f.hfm.GetOrCreateFunctionId(c.name));
        IrEvaluator evaluator;
        const uint32_t textureIndex = 2;
        evaluator.OnLoad = [&](StorageKind kind, std::span<const uint32_t> sources) -> uint32_t {
            if (kind == StorageKind::Input) {
                EXPECT_EQ(sources[0], static_cast<uint32_t>(IoVariable::FragmentCoord));
                return std::bit_cast<uint32_t>(sources[1] == 0 ? 5.5f : 9.25f);
            }
            EXPECT_EQ(kind, StorageKind::ConstantBuffer);
            EXPECT_EQ(sources[0], 0u);
            if (sources[1] == static_cast<uint32_t>(SupportBuffer::FieldFragScaleCount))
                return 10;
            EXPECT_EQ(sources[1], static_cast<uint32_t>(SupportBuffer::FieldRenderScale));
            // Vertex shaders index after the fragment stage's entries.
            EXPECT_EQ(sources[2], c.stage == ShaderStage::Vertex ? 13u : 3u);
            return std::bit_cast<uint32_t>(c.scale);
        };
        evaluator.Arguments = {static_cast<uint32_t>(c.input), textureIndex, c.coordIndex};
        std::optional<uint32_t> result = evaluator.Run(function);
        ASSERT_TRUE(result.has_value());
        EXPECT_EQ(static_cast<int32_t>(*result), c.expected) << HelperFunctionNameText(c.name) << " " << c.scale;
    }
}
