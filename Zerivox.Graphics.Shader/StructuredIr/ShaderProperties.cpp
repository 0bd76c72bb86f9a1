#include "Zerivox.Graphics.Shader/StructuredIr/ShaderProperties.h"

#include <string>
#include <utility>

#include "Zerivox.Graphics.Shader/IGpuAccessor.h"

namespace Zerivox::Graphics::Shader::StructuredIr {

void ShaderProperties::AddOrUpdateConstantBuffer(BufferDefinition definition) {
    int32_t binding = definition.Binding;
    _constantBuffers.Set(binding, std::move(definition));
}

void ShaderProperties::AddOrUpdateStorageBuffer(BufferDefinition definition) {
    int32_t binding = definition.Binding;
    _storageBuffers.Set(binding, std::move(definition));
}

void ShaderProperties::AddOrUpdateTexture(TextureDefinition definition) {
    SetBindingPair key(definition.Set, definition.Binding);
    _textures.Set(key, std::move(definition));
}

void ShaderProperties::AddOrUpdateImage(TextureDefinition definition) {
    SetBindingPair key(definition.Set, definition.Binding);
    _images.Set(key, std::move(definition));
}

bool ShaderProperties::RemoveConstantBuffer(int32_t binding) { return _constantBuffers.Remove(binding); }

bool ShaderProperties::RemoveTexture(SetBindingPair key) { return _textures.Remove(key); }

int32_t ShaderProperties::AddLocalMemory(MemoryDefinition definition) {
    auto id = static_cast<int32_t>(_localMemories.Count());
    _localMemories.Set(id, std::move(definition));
    return id;
}

int32_t ShaderProperties::AddSharedMemory(MemoryDefinition definition) {
    auto id = static_cast<int32_t>(_sharedMemories.Count());
    _sharedMemories.Set(id, std::move(definition));
    return id;
}

TextureFormat ShaderProperties::GetTextureFormat(IGpuAccessor& gpuAccessor, int32_t handle, int32_t cbufSlot) {
    // The host loads from images without a declared format; declaring one
    // from a guess could only make loads wrong.
    if (gpuAccessor.QueryHostSupportsImageLoadFormatted()) {
        return TextureFormat::Unknown;
    }
    return gpuAccessor.QueryTextureFormat(handle, cbufSlot);
}

TextureFormat ShaderProperties::GetTextureFormatAtomic(IGpuAccessor& gpuAccessor, int32_t handle, int32_t cbufSlot) {
    TextureFormat format = gpuAccessor.QueryTextureFormat(handle, cbufSlot);
    if (format == TextureFormat::R32Uint || format == TextureFormat::R32Sint) {
        return format;
    }
    gpuAccessor.Log("Unsupported format for texture " + std::to_string(handle) + ": " + TextureFormatName(format) +
                    ".");
    return TextureFormat::R32Sint;
}

} // namespace Zerivox::Graphics::Shader::StructuredIr
