#pragma once
#include <array>
#include <cstdint>
#include <span>

#include "Zerivox.Graphics.Shader/OutputTopology.h"
#include "Zerivox.Graphics.Shader/ShaderStage.h"

namespace Zerivox::Graphics::Shader {
class IGpuAccessor;
}

namespace Zerivox::Graphics::Shader::Translation {

// Interpolation of one fragment input component.
enum class PixelImap : int32_t {
    Unused = 0,
    Constant = 1,
    Perspective = 2,
    ScreenLinear = 3,
};

struct ImapPixelType {
    PixelImap X = PixelImap::Unused;
    PixelImap Y = PixelImap::Unused;
    PixelImap Z = PixelImap::Unused;
    PixelImap W = PixelImap::Unused;

    constexpr ImapPixelType() = default;
    constexpr ImapPixelType(PixelImap x, PixelImap y, PixelImap z, PixelImap w) : X(x), Y(y), Z(z), W(w) {}

    // The first component that is used; W when none is.
    constexpr PixelImap GetFirstUsedType() const {
        if (X != PixelImap::Unused)
            return X;
        if (Y != PixelImap::Unused)
            return Y;
        if (Z != PixelImap::Unused)
            return Z;
        return W;
    }

    constexpr bool operator==(const ImapPixelType&) const = default;
};

// The 80-byte program header in front of every graphics shader's code.
class ShaderHeader {
  public:
    static constexpr int32_t SizeInBytes = 0x50;

    // Reads the header at `address`; code shorter than the header fails with
    // IndexOutOfRangeException instead of reading past the code.
    ShaderHeader(IGpuAccessor& gpuAccessor, uint64_t address);
    // Decodes the header from the code words at its start.
    explicit ShaderHeader(std::span<const uint64_t> code);

    ShaderStage Stage = ShaderStage::Vertex;
    bool GeometryPassthrough = false;
    int32_t LocalMemoryLowSize = 0;
    int32_t LocalMemoryHighSize = 0;
    int32_t ThreadsPerInputPrimitive = 0;
    int32_t CallStackSize = 0;
    Shader::OutputTopology OutputTopology = Shader::OutputTopology::PointList;
    int32_t MaxOutputVertexCount = 0;
    std::array<ImapPixelType, 32> ImapTypes{};
    int32_t FragmentOutputMap = 0;
    bool WritesSampleMask = false;
    bool WritesDepth = false;
};

} // namespace Zerivox::Graphics::Shader::Translation
