#pragma once
// A scripted IGpuAccessor for translator unit tests: code words and answers
// are plain fields; binding allocation counts from 1 like the tool's host,
// and log messages are kept for inspection.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/IGpuAccessor.h"

namespace Zerivox::Graphics::Shader::Testing {

class FakeGpuAccessor : public IGpuAccessor {
  public:
    std::vector<uint64_t> Code;
    std::vector<int32_t> Cb1;
    GpuGraphicsState GraphicsState{};
    SamplerType SamplerTypeAnswer = SamplerType::Texture2D;
    TextureFormat TextureFormatAnswer = TextureFormat::R32Uint;
    int32_t SharedMemorySize = 0;
    int32_t WorkgroupSize[3] = {1, 1, 1};
    bool TransformFeedbackEnabled = false;
    std::array<std::vector<uint8_t>, 4> TransformFeedbackLocations;
    std::array<int32_t, 4> TransformFeedbackStrides{};
    bool Float64 = true;
    bool ReducedPrecision = false;
    int32_t SubgroupSize = 32;
    int32_t NextBinding = 1;
    std::vector<std::string> Messages;

    std::span<const uint64_t> GetCode(uint64_t address, int32_t) override {
        uint64_t word = address / 8;
        if (word > Code.size()) {
            throw Common::ArgumentOutOfRangeException("address");
        }
        return std::span<const uint64_t>(Code).subspan(static_cast<std::size_t>(word));
    }
    int32_t ConstantBuffer1Read(int32_t offset) override {
        auto index = static_cast<std::size_t>(offset / 4);
        return offset >= 0 && index < Cb1.size() ? Cb1[index] : 0;
    }
    SamplerType QuerySamplerType(int32_t, int32_t) override { return SamplerTypeAnswer; }
    TextureFormat QueryTextureFormat(int32_t, int32_t) override { return TextureFormatAnswer; }
    GpuGraphicsState QueryGraphicsState() override { return GraphicsState; }
    int32_t QueryComputeSharedMemorySize() override { return SharedMemorySize; }
    bool QueryTransformFeedbackEnabled() override { return TransformFeedbackEnabled; }
    std::span<const uint8_t> QueryTransformFeedbackVaryingLocations(int32_t bufferIndex) override {
        return TransformFeedbackLocations.at(static_cast<std::size_t>(bufferIndex));
    }
    bool QueryHostSupportsShaderFloat64() override { return Float64; }
    int32_t QueryHostGatherBiasPrecision() override { return 0; }
    bool QueryHostReducedPrecision() override { return ReducedPrecision; }
    bool QueryHasUnalignedStorageBuffer() override { return false; }
    int32_t QueryHostStorageBufferOffsetAlignment() override { return 16; }
    int32_t QueryHostSubgroupSize() override { return SubgroupSize; }
    int32_t QueryWorkgroupSizeX() override { return WorkgroupSize[0]; }
    int32_t QueryWorkgroupSizeY() override { return WorkgroupSize[1]; }
    int32_t QueryWorkgroupSizeZ() override { return WorkgroupSize[2]; }
    int32_t QueryTransformFeedbackBufferStride(int32_t bufferIndex) override {
        return TransformFeedbackStrides.at(static_cast<std::size_t>(bufferIndex));
    }
    int32_t AllocateConstantBufferBinding(int32_t) override { return NextBinding++; }
    int32_t AllocateStorageBufferBinding(int32_t) override { return NextBinding++; }
    int32_t AllocateTextureBinding(int32_t count) override { return Take(count); }
    int32_t AllocateImageBinding(int32_t count) override { return Take(count); }
    void Log(std::string_view message) override { Messages.emplace_back(message); }

  private:
    int32_t Take(int32_t count) {
        int32_t first = NextBinding;
        NextBinding += count;
        return first;
    }
};

} // namespace Zerivox::Graphics::Shader::Testing
