#include "Zerivox.Graphics.Shader/Translation/ShaderHeader.h"

#include <string>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/IGpuAccessor.h"

namespace Zerivox::Graphics::Shader::Translation {

namespace {

constexpr std::size_t HeaderWords = ShaderHeader::SizeInBytes / 4;

uint32_t Bits(uint32_t word, int lsb, int count) { return (word >> lsb) & ((1u << count) - 1u); }

} // namespace

ShaderHeader::ShaderHeader(IGpuAccessor& gpuAccessor, uint64_t address)
    : ShaderHeader(gpuAccessor.GetCode(address, SizeInBytes)) {}

ShaderHeader::ShaderHeader(std::span<const uint64_t> code) {
    // The host may hand out less than it was asked for; never read beyond it.
    if (code.size() * 2 < HeaderWords) {
        throw Common::IndexOutOfRangeException("The shader code is " + std::to_string(code.size() * 8) +
                                               " bytes long, shorter than the 80-byte program header.");
    }
    uint32_t words[HeaderWords];
    for (std::size_t i = 0; i < HeaderWords; i++) {
        uint64_t pair = code[i / 2];
        words[i] = static_cast<uint32_t>((i & 1) != 0 ? pair >> 32 : pair);
    }

    uint32_t stage = Bits(words[0], 10, 4);
    // A zero stage field is how the guest marks a vertex shader.
    Stage = static_cast<ShaderStage>(stage == 0 ? 1 : stage);
    GeometryPassthrough = Bits(words[0], 24, 1) != 0;

    LocalMemoryLowSize = static_cast<int32_t>(Bits(words[1], 0, 24));
    LocalMemoryHighSize = static_cast<int32_t>(Bits(words[2], 0, 24));
    ThreadsPerInputPrimitive = static_cast<int32_t>(Bits(words[2], 24, 8));
    CallStackSize = static_cast<int32_t>(Bits(words[3], 0, 24));
    OutputTopology = static_cast<Shader::OutputTopology>(Bits(words[3], 24, 4));
    MaxOutputVertexCount = static_cast<int32_t>(Bits(words[4], 0, 12));

    for (std::size_t i = 0; i < ImapTypes.size(); i++) {
        uint32_t byte = (words[6 + i / 4] >> ((i % 4) * 8)) & 0xFFu;
        ImapTypes[i] = ImapPixelType(static_cast<PixelImap>(byte & 3), static_cast<PixelImap>((byte >> 2) & 3),
                                     static_cast<PixelImap>((byte >> 4) & 3), static_cast<PixelImap>((byte >> 6) & 3));
    }

    FragmentOutputMap = static_cast<int32_t>(words[18]);
    WritesSampleMask = Bits(words[19], 0, 1) != 0;
    WritesDepth = Bits(words[19], 1, 1) != 0;
}

} // namespace Zerivox::Graphics::Shader::Translation
