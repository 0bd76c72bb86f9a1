#pragma once
#include <cstdint>

#include "Zerivox.Common/OrderedMap.h"
#include "Zerivox.Graphics.Shader/SetBindingPair.h"
#include "Zerivox.Graphics.Shader/StructuredIr/BufferDefinition.h"
#include "Zerivox.Graphics.Shader/StructuredIr/MemoryDefinition.h"
#include "Zerivox.Graphics.Shader/StructuredIr/TextureDefinition.h"
#include "Zerivox.Graphics.Shader/TextureFormat.h"

namespace Zerivox::Graphics::Shader {
class IGpuAccessor;
}

namespace Zerivox::Graphics::Shader::StructuredIr {

// The resources one shader declares. Every table iterates in first-insertion
// order (the back ends declare in that order, so it reaches the output);
// storing under an existing key replaces the value in place.
class ShaderProperties {
  public:
    const Common::OrderedMap<int32_t, BufferDefinition>& ConstantBuffers() const { return _constantBuffers; }
    const Common::OrderedMap<int32_t, BufferDefinition>& StorageBuffers() const { return _storageBuffers; }
    const Common::OrderedMap<SetBindingPair, TextureDefinition>& Textures() const { return _textures; }
    const Common::OrderedMap<SetBindingPair, TextureDefinition>& Images() const { return _images; }
    const Common::OrderedMap<int32_t, MemoryDefinition>& LocalMemories() const { return _localMemories; }
    const Common::OrderedMap<int32_t, MemoryDefinition>& SharedMemories() const { return _sharedMemories; }

    void AddOrUpdateConstantBuffer(BufferDefinition definition);
    void AddOrUpdateStorageBuffer(BufferDefinition definition);
    void AddOrUpdateTexture(TextureDefinition definition);
    void AddOrUpdateImage(TextureDefinition definition);
    // Withdraw a declaration that no access of the final program needs (the
    // back ends declare every entry, and the host binds only what the shader
    // reports). False when nothing was declared there.
    bool RemoveConstantBuffer(int32_t binding);
    bool RemoveTexture(SetBindingPair key);
    // Returns the new memory's id: the table's count before adding.
    int32_t AddLocalMemory(MemoryDefinition definition);
    int32_t AddSharedMemory(MemoryDefinition definition);

    // Format to declare for an image read or written by loads and stores: the
    // host loads formatless, so always Unknown.
    static TextureFormat GetTextureFormat(IGpuAccessor& gpuAccessor, int32_t handle, int32_t cbufSlot = -1);
    // Format for an image used by atomics: R32Uint or R32Sint; any other
    // format is logged and declared as R32Sint.
    static TextureFormat GetTextureFormatAtomic(IGpuAccessor& gpuAccessor, int32_t handle, int32_t cbufSlot = -1);

  private:
    Common::OrderedMap<int32_t, BufferDefinition> _constantBuffers;
    Common::OrderedMap<int32_t, BufferDefinition> _storageBuffers;
    Common::OrderedMap<SetBindingPair, TextureDefinition> _textures;
    Common::OrderedMap<SetBindingPair, TextureDefinition> _images;
    Common::OrderedMap<int32_t, MemoryDefinition> _localMemories;
    Common::OrderedMap<int32_t, MemoryDefinition> _sharedMemories;
};

} // namespace Zerivox::Graphics::Shader::StructuredIr
