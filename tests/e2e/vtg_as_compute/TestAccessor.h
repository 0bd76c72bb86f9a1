#pragma once
// The host side of one translation in the stage-as-compute test: code words
// from a corpus file, the draw state the test chooses, bindings from one
// counter that starts after the numbers the compute emulation reserves.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/IGpuAccessor.h"

namespace VtgTest {

namespace Shader = Zerivox::Graphics::Shader;

class TestAccessor final : public Shader::IGpuAccessor {
  public:
    // firstBinding: the first number handed out. A host that runs stages as
    // compute starts above the emulation's reserved constant and storage
    // buffer bindings, which share the number space of set 0's buffers.
    TestAccessor(std::span<const uint8_t> code, const Shader::GpuGraphicsState& state, bool scaledFormats,
                 int32_t firstBinding)
        : _state(state), _scaledFormats(scaledFormats), _nextBinding(firstBinding) {
        _words.resize(code.size() / 8);
        for (std::size_t i = 0; i < _words.size(); i++) {
            uint64_t w = 0;
            for (int b = 7; b >= 0; --b)
                w = w << 8 | code[i * 8 + static_cast<std::size_t>(b)];
            _words[i] = w;
        }
    }

    std::vector<std::string> Messages;

    std::span<const uint64_t> GetCode(uint64_t address, int32_t) override {
        if (address / 8 > _words.size())
            throw Zerivox::Common::ArgumentOutOfRangeException("code address");
        return std::span<const uint64_t>(_words).subspan(static_cast<std::size_t>(address / 8));
    }
    int32_t ConstantBuffer1Read(int32_t) override { return 0; }
    Shader::SamplerType QuerySamplerType(int32_t, int32_t) override { return Shader::SamplerType::Texture2D; }
    Shader::TextureFormat QueryTextureFormat(int32_t, int32_t) override { return Shader::TextureFormat::R32Uint; }
    Shader::GpuGraphicsState QueryGraphicsState() override { return _state; }
    int32_t QueryComputeSharedMemorySize() override { return 0; }
    bool QueryTransformFeedbackEnabled() override { return false; }
    std::span<const uint8_t> QueryTransformFeedbackVaryingLocations(int32_t) override { return {}; }
    bool QueryHostSupportsShaderFloat64() override { return true; }
    int32_t QueryHostGatherBiasPrecision() override { return 0; }
    bool QueryHostReducedPrecision() override { return false; }
    bool QueryHasUnalignedStorageBuffer() override { return false; }
    int32_t QueryHostStorageBufferOffsetAlignment() override { return 16; }
    int32_t QueryHostSubgroupSize() override { return 32; }
    int32_t QueryWorkgroupSizeX() override { return 1; }
    int32_t QueryWorkgroupSizeY() override { return 1; }
    int32_t QueryWorkgroupSizeZ() override { return 1; }
    int32_t QueryTransformFeedbackBufferStride(int32_t) override { return 0; }
    int32_t AllocateConstantBufferBinding(int32_t) override { return _nextBinding++; }
    int32_t AllocateStorageBufferBinding(int32_t) override { return _nextBinding++; }
    int32_t AllocateTextureBinding(int32_t count) override { return Take(count); }
    int32_t AllocateImageBinding(int32_t count) override { return Take(count); }
    bool QueryHostSupportsScaledVertexFormats() override { return _scaledFormats; }
    void Log(std::string_view message) override { Messages.emplace_back(message); }

  private:
    int32_t Take(int32_t count) {
        int32_t first = _nextBinding;
        _nextBinding += count;
        return first;
    }

    std::vector<uint64_t> _words;
    Shader::GpuGraphicsState _state;
    bool _scaledFormats;
    int32_t _nextBinding;
};

} // namespace VtgTest
