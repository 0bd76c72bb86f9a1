#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "Zerivox.Graphics.Shader/IGpuAccessor.h"
#include "driver/JobJson.h"

namespace Zerivox::FenkVanter {

// The GPU-state accessor of one job: answers the translator's questions from
// the job's JSON and the code bytes, hands out binding numbers, and records
// what ends up in the job's ".res.json" (notes about missing job data, the
// texture and image slots asked about).
//
// Members are read when the translator asks, so a member of the wrong kind
// fails the job only if its answer is needed; "c1" is decoded at once.
class FenkVanterAccessor final : public Graphics::Shader::IGpuAccessor {
  public:
    // Both must outlive the accessor. Throws FormatException for bad "c1".
    FenkVanterAccessor(std::span<const uint8_t> code, const Json& job);

    std::span<const uint64_t> GetCode(uint64_t address, int32_t minimumSize) override;
    int32_t ConstantBuffer1Read(int32_t offset) override;
    int32_t QueryConstantBuffer1Size() override;
    Graphics::Shader::SamplerType QuerySamplerType(int32_t handle, int32_t cbufSlot = -1) override;
    Graphics::Shader::TextureFormat QueryTextureFormat(int32_t handle, int32_t cbufSlot = -1) override;
    Graphics::Shader::GpuGraphicsState QueryGraphicsState() override;
    int32_t QueryComputeSharedMemorySize() override;
    bool QueryTransformFeedbackEnabled() override;
    std::span<const uint8_t> QueryTransformFeedbackVaryingLocations(int32_t bufferIndex) override;
    bool QueryHostSupportsShaderFloat64() override;
    int32_t QueryHostGatherBiasPrecision() override;
    bool QueryHostReducedPrecision() override;
    bool QueryHasUnalignedStorageBuffer() override;
    int32_t QueryHostStorageBufferOffsetAlignment() override;
    int32_t QueryHostSubgroupSize() override;

    int32_t QueryWorkgroupSizeX() override { return Local(0); }
    int32_t QueryWorkgroupSizeY() override { return Local(1); }
    int32_t QueryWorkgroupSizeZ() override { return Local(2); }
    int32_t QueryTransformFeedbackBufferStride(int32_t bufferIndex) override;
    int32_t AllocateConstantBufferBinding(int32_t slot) override;
    int32_t AllocateStorageBufferBinding(int32_t index) override;
    int32_t AllocateTextureBinding(int32_t count) override;
    int32_t AllocateImageBinding(int32_t count) override;

    // Workgroup size along axis i (0-2): element i of "local", else 1.
    int32_t Local(int32_t i) const;
    // Element i of "tf" when it is an object, else nothing.
    const Json* Feedback(int32_t i) const;

    // Slot (0-127) of a texture handle, or -1 when it has none.
    static int32_t TexSlot(int32_t handle, int32_t cbufSlot);
    // Type text of a slot from "tex" or "img", or nothing.
    std::optional<std::string> Get(std::string_view table, int32_t slot) const;
    // "sint" -> Sint, "uint" -> Uint, anything else (nothing included) -> Float.
    static Graphics::Shader::AttributeType Attr(const std::optional<std::string>& text);

    const std::vector<std::string>& Notes() const noexcept { return _notes; }
    // Ascending, each slot once.
    const std::set<int32_t>& TexQueried() const noexcept { return _texQueried; }
    const std::set<int32_t>& ImgQueried() const noexcept { return _imgQueried; }
    const std::vector<uint8_t>& C1() const noexcept { return _c1; }
    int32_t NextBinding() const noexcept { return _nextBinding; }

  private:
    using SlotEntries = std::array<const Json*, 128>;

    int32_t Allocate(int32_t count);
    void IndexSlots(std::string_view table, SlotEntries& entries) const;
    // Member of "tex" or "img" named by the slot in decimal, or nullptr.
    const Json* SlotEntry(std::string_view table, int32_t slot) const;

    std::span<const uint8_t> _code;
    const Json& _job;
    std::vector<std::string> _notes;
    std::set<int32_t> _texQueried;
    std::set<int32_t> _imgQueried;
    std::vector<uint8_t> _c1;
    SlotEntries _texEntries{};
    SlotEntries _imgEntries{};
    int32_t _nextBinding = 1;

    // Backing stores of the spans handed out; valid until the next call of
    // the same query.
    std::vector<uint64_t> _codeWords;
    std::array<std::vector<uint8_t>, 4> _varyingLocations;
};

} // namespace Zerivox::FenkVanter
