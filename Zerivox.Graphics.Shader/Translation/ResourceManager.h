#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "Zerivox.Common/OrderedMap.h"
#include "Zerivox.Graphics.Shader/BufferDescriptor.h"
#include "Zerivox.Graphics.Shader/InputTopology.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Instruction.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/TextureFlags.h"
#include "Zerivox.Graphics.Shader/SamplerType.h"
#include "Zerivox.Graphics.Shader/SetBindingPair.h"
#include "Zerivox.Graphics.Shader/ShaderStage.h"
#include "Zerivox.Graphics.Shader/StructuredIr/ShaderProperties.h"
#include "Zerivox.Graphics.Shader/TextureDescriptor.h"
#include "Zerivox.Graphics.Shader/TextureFormat.h"
#include "Zerivox.Graphics.Shader/TextureUsageFlags.h"
#include "Zerivox.Graphics.Shader/Translation/AggregateType.h"
#include "Zerivox.Graphics.Shader/Translation/ResourceReservations.h"

namespace Zerivox::Graphics::Shader {
class IGpuAccessor;
}

namespace Zerivox::Graphics::Shader::Translation {

// The one place of a translation where guest resources (constant buffer
// slots, storage buffers found through constant-buffer addresses, textures
// and images by handle) get host bindings and names, and memories get ids.
// Everything handed out is also declared in Properties(). Bindings and
// entries only grow; tables iterate in order of first use.
class ResourceManager {
  public:
    static constexpr int32_t MaxConstantBuffers = 18;
    static constexpr int32_t MaxStorageBuffers = 16;

    // Key of a used texture or image.
    struct TextureInfo {
        int32_t CbufSlot = 0;
        int32_t Handle = 0;
        int32_t ArrayLength = 1;
        bool Separate = false;
        SamplerType Type = SamplerType::None;
        TextureFormat Format = TextureFormat::Unknown;

        bool operator==(const TextureInfo&) const = default;
        std::string ToString() const;
    };
    struct TextureInfoHash {
        std::size_t operator()(const TextureInfo& info) const noexcept;
    };
    struct TextureMeta {
        int32_t Set = 0;
        int32_t Binding = 0;
        bool AccurateType = false;
        SamplerType Type = SamplerType::None;
        TextureUsageFlags UsageFlags = TextureUsageFlags::None;
    };
    using TextureTable = Common::OrderedMap<TextureInfo, TextureMeta, TextureInfoHash>;

    ResourceManager(ShaderStage stage, IGpuAccessor& gpuAccessor, const ResourceReservations& reservations);

    ResourceManager(const ResourceManager&) = delete;
    ResourceManager& operator=(const ResourceManager&) = delete;

    StructuredIr::ShaderProperties& Properties() { return _properties; }
    const StructuredIr::ShaderProperties& Properties() const { return _properties; }
    const ResourceReservations& Reservations() const { return _reservations; }
    IGpuAccessor& GpuAccessor() const { return *_gpuAccessor; }
    ShaderStage Stage() const { return _stage; }

    int32_t LocalMemoryId = -1;
    int32_t SharedMemoryId = -1;
    int32_t LocalVertexDataMemoryId = -1;
    int32_t LocalTopologyRemapMemoryId = -1;
    int32_t LocalVertexIndexVertexRateMemoryId = -1;
    int32_t LocalVertexIndexInstanceRateMemoryId = -1;
    int32_t LocalGeometryOutputVertexCountMemoryId = -1;
    int32_t LocalGeometryOutputIndexCountMemoryId = -1;

    // Memories. A size of 0 or less takes the default (128 bytes local, 4096
    // shared). Not used: the id becomes -1 and nothing is declared.
    void SetCurrentLocalMemory(int32_t size, bool isUsed);
    void SetCurrentSharedMemory(int32_t size, bool isUsed);
    int32_t AddMemoryDefinition(const std::string& name, AggregateType type, int32_t arrayLength = 1);
    void SetVertexAsComputeLocalMemories(ShaderStage stage, InputTopology inputTopology);

    // Constant buffers. A slot outside 0-17 throws ArgumentOutOfRangeException.
    int32_t GetConstantBufferBinding(int32_t slot);
    void SetUsedConstantBufferBinding(int32_t binding);
    bool TryGetConstantBufferSlot(int32_t binding, int32_t& slot) const;
    // Withdraws the declaration of every constant buffer the final program no
    // longer reads (a load whose value a pass made unused still allocated its
    // binding), so the module declares exactly the buffers the descriptors
    // list. Called once the structurer has reported the used bindings.
    void RemoveUnusedConstantBufferDeclarations();

    // Storage buffers, keyed by where the guest keeps their address. False
    // (binding 0) once 16 distinct buffers are in use.
    bool TryGetStorageBufferBinding(int32_t cbSlot, int32_t cbOffset, bool write, int32_t& binding);

    // Registers a texture or image used by an IR texture operation.
    SetBindingPair GetTextureOrImageBinding(IntermediateRepresentation::Instruction inst, SamplerType type,
                                            TextureFormat format, IntermediateRepresentation::TextureFlags flags,
                                            int32_t cbufSlot, int32_t handle, int32_t arrayLength = 1,
                                            bool separate = false);
    SetBindingPair GetTextureOrImageBinding(int32_t cbufSlot, int32_t handle, int32_t arrayLength, SamplerType type,
                                            TextureFormat format, bool isImage, bool intCoords, bool write,
                                            bool accurateType, bool coherent, bool separate);
    bool SetUsageFlagsForTextureQuery(int32_t binding, SamplerType type);
    // The guest queries an image's size with the texture query instruction,
    // so a size query on a handle that image instructions also use asks for
    // the image's size. When the texture at `textureBinding` was registered
    // by queries alone and an image of the same constant-buffer slot and
    // handle exists, the texture registration is withdrawn (it was never a
    // texture) and the image's binding and declared type are returned; later
    // calls for the same texture binding give the same answer. False when
    // the binding stays a texture.
    bool TryMoveTextureQueryToImage(int32_t textureBinding, SetBindingPair& image, SamplerType& imageType);
    bool TryGetCbufSlotAndHandleForTexture(int32_t binding, int32_t& cbufSlot, int32_t& handle) const;
    bool IsArrayOfTexturesOrImages(int32_t binding, bool isImage) const;
    static int32_t FindDescriptorIndex(std::span<const TextureDescriptor> descriptors, int32_t binding);

    // Descriptors, in the order the program info lists them.
    std::vector<BufferDescriptor> GetConstantBufferDescriptors() const;
    std::vector<BufferDescriptor> GetStorageBufferDescriptors() const;
    std::vector<TextureDescriptor> GetTextureDescriptors(bool includeArrays = true) const;
    std::vector<TextureDescriptor> GetImageDescriptors(bool includeArrays = true) const;
    static std::vector<TextureDescriptor> GetDescriptors(const TextureTable& table, bool includeArrays);

    const TextureTable& UsedTextures() const { return _usedTextures; }
    const TextureTable& UsedImages() const { return _usedImages; }
    const Common::OrderedSet<int32_t>& UsedConstantBufferBindings() const { return _usedConstantBufferBindings; }
    int32_t StorageBufferWriteMask() const { return _storageBufferWriteMask; }

    // "cp", "vp", "tcp", "tep", "gp", "fp"; "invalid" for any other value.
    static const char* GetShaderStagePrefix(ShaderStage stage) noexcept;

  private:
    static bool IsTextureRenderScaleUnsupported(ShaderStage stage, int32_t arrayLength, bool write, int32_t dims);
    std::string GetTextureName(int32_t cbufSlot, int32_t handle, int32_t arrayLength, SamplerType type,
                               TextureFormat format, bool isImage) const;

    IGpuAccessor* _gpuAccessor;
    ShaderStage _stage;
    std::string _stagePrefix;
    std::array<SetBindingPair, MaxConstantBuffers> _cbSlotToBindingMap;
    std::array<SetBindingPair, MaxStorageBuffers> _sbSlotToBindingMap;
    Common::OrderedMap<int32_t, int32_t> _sbSlots;
    Common::OrderedMap<int32_t, int32_t> _sbSlotsReverse;
    Common::OrderedSet<int32_t> _usedConstantBufferBindings;
    TextureTable _usedTextures;
    TextureTable _usedImages;
    // Texture bindings of size queries that turned out to ask an image.
    Common::OrderedMap<int32_t, SetBindingPair> _texturesMovedToImages;
    StructuredIr::ShaderProperties _properties;
    ResourceReservations _reservations;
    int32_t _storageBufferWriteMask = 0;
};

} // namespace Zerivox::Graphics::Shader::Translation
