#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "DecoderTestSupport.h"
#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/Decoders/Decoder.h"
#include "Zerivox.Graphics.Shader/Translation/ShaderDefinitions.h"

namespace {

using namespace Zerivox::Graphics::Shader;
using namespace Zerivox::Graphics::Shader::Decoders;
using namespace Zerivox::Graphics::Shader::Testing;

std::string DecodeError(const std::vector<uint64_t>& words) {
    DecoderGpuAccessor accessor(words);
    Translation::ShaderDefinitions definitions(ShaderStage::Compute, 1, 1, 1);
    try {
        Decoder::Decode(definitions, accessor, 0);
    } catch (const Zerivox::Common::ArgumentOutOfRangeException& e) {
        return e.what();
    }
    return "";
}

double Seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

// Each function walks its code on its own, so many calls into one long run
// of code decode it many times over: the total is bounded, with an error
// that names the limit.
TEST(DecoderLimits, CallsIntoSharedCodeStopAtTheInstructionCountLimit) {
    constexpr int Calls = 120;
    constexpr int RunLength = 3000; // Calls * RunLength > Decoder::MaxInstructions
    CodeBuilder code;
    std::vector<uint64_t> calls;
    for (int i = 0; i < Calls; i++)
        calls.push_back(code.AddRelative(Inst(Prefix::Cal).Pred(0), 0)); // guarded: falls through
    code.Add(Exit());
    std::vector<uint64_t> run;
    for (int i = 0; i < RunLength; i++)
        run.push_back(code.Add(Nop()));
    code.Add(Ret());
    for (int i = 0; i < Calls; i++)
        code.SetTarget(calls[static_cast<std::size_t>(i)], run[static_cast<std::size_t>(i)]);

    auto start = std::chrono::steady_clock::now();
    EXPECT_NE(DecodeError(code.Words).find("past the instruction count limit"), std::string::npos);
    EXPECT_LT(Seconds(start), 10.0);
}

// A branch into the middle of a word makes every word of the block
// unaligned; reading them must not cost the size of the code each.
TEST(DecoderLimits, UnalignedBlocksDecodeInLinearTime) {
    // Both halves of the word are the same NOP, so every unaligned read is a
    // NOP too, and the scheduling words read as NOPs as well.
    const uint64_t halves = 0x50B0000050B00000ull;
    std::vector<uint64_t> words(200000, halves);
    Inst bra(Prefix::Bra);
    bra.Ccc(0xF).Offset24(0x14 - 0x10);
    words[1] = bra; // at 0x08: to 0x14
    auto start = std::chrono::steady_clock::now();
    EXPECT_NE(DecodeError(words).find("runs past the end of the code"), std::string::npos);
    EXPECT_LT(Seconds(start), 10.0);
}
