#include "Zerivox.Graphics.Shader/Translation/ResourceManager.h"

#include <charconv>
#include <utility>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Common/HexFormat.h"
#include "Zerivox.Graphics.Shader/IGpuAccessor.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/InstructionExtensions.h"
#include "Zerivox.Graphics.Shader/SupportBuffer.h"

namespace Zerivox::Graphics::Shader::Translation {

using IntermediateRepresentation::Instruction;
using IntermediateRepresentation::TextureFlags;
using StructuredIr::BufferDefinition;
using StructuredIr::BufferLayout;
using StructuredIr::MemoryDefinition;
using StructuredIr::TextureDefinition;

namespace {

constexpr int32_t DefaultLocalMemorySize = 128;
constexpr int32_t DefaultSharedMemorySize = 4096;
constexpr int32_t ConstantBufferArrayLength = 4096;

// Element count of a memory of `size` bytes in 32-bit words. Computed in 64
// bits: sizes come from the host and may be near the int32 limit.
int32_t WordCount(int32_t size) { return static_cast<int32_t>((static_cast<int64_t>(size) + 3) / 4); }

std::string Hex(int32_t value) {
    return Common::ToHex(static_cast<uint32_t>(value));
}

// Buffers are known to the IR and the back ends by binding alone, and the host
// numbers them from one space, so a number handed out twice - or one the
// translator set aside for its own buffers (the support buffer, and with a
// stage run as compute "vb_info" and the vertex and geometry output buffers,
// whatever their set) - would make two buffers one. The host must start
// above the reserved numbers.
void RequireFreeBufferBinding(const StructuredIr::ShaderProperties& properties, int32_t binding, const char* what,
                              int32_t index) {
    const BufferDefinition* taken = properties.ConstantBuffers().Find(binding);
    if (taken == nullptr) taken = properties.StorageBuffers().Find(binding);
    if (taken != nullptr) {
        throw Common::InvalidOperationException("The host gave " + std::string(what) + " " + std::to_string(index) +
                                                " binding " + std::to_string(binding) + ", which \"" + taken->Name +
                                                "\" already uses.");
    }
}

StructureType DataArrayType(AggregateType elementType, int32_t length) {
    return StructureType({StructureField(AggregateType::Array | elementType, "data", length)});
}

} // namespace

std::string ResourceManager::TextureInfo::ToString() const {
    return "TextureInfo { CbufSlot = " + std::to_string(CbufSlot) + ", Handle = " + std::to_string(Handle) +
           ", ArrayLength = " + std::to_string(ArrayLength) + ", Separate = " + (Separate ? "True" : "False") +
           ", Type = " + SamplerTypeName(Type) + ", Format = " + TextureFormatName(Format) + " }";
}

std::size_t ResourceManager::TextureInfoHash::operator()(const TextureInfo& info) const noexcept {
    uint64_t h = static_cast<uint32_t>(info.CbufSlot);
    h = h * 1000003u ^ static_cast<uint32_t>(info.Handle);
    h = h * 1000003u ^ static_cast<uint32_t>(info.ArrayLength);
    h = h * 1000003u ^ static_cast<uint32_t>(info.Separate);
    h = h * 1000003u ^ static_cast<uint32_t>(info.Type);
    h = h * 1000003u ^ static_cast<uint32_t>(info.Format);
    return static_cast<std::size_t>(h);
}

ResourceManager::ResourceManager(ShaderStage stage, IGpuAccessor& gpuAccessor, const ResourceReservations& reservations)
    : _gpuAccessor(&gpuAccessor), _stage(stage), _stagePrefix(GetShaderStagePrefix(stage)),
      _reservations(reservations) {
    _cbSlotToBindingMap.fill(SetBindingPair(-1, -1));
    _sbSlotToBindingMap.fill(SetBindingPair(-1, -1));
    _properties.AddOrUpdateConstantBuffer(
        BufferDefinition(BufferLayout::Std140, 0, 0, "support_buffer", SupportBuffer::GetStructureType()));
}

const char* ResourceManager::GetShaderStagePrefix(ShaderStage stage) noexcept {
    static constexpr const char* Prefixes[] = {"cp", "vp", "tcp", "tep", "gp", "fp"};
    auto index = static_cast<std::size_t>(stage);
    return index < std::size(Prefixes) ? Prefixes[index] : "invalid";
}

void ResourceManager::SetCurrentLocalMemory(int32_t size, bool isUsed) {
    if (!isUsed) {
        LocalMemoryId = -1;
        return;
    }
    int32_t bytes = size <= 0 ? DefaultLocalMemorySize : size;
    LocalMemoryId = AddMemoryDefinition("local_memory", AggregateType::Array | AggregateType::U32, WordCount(bytes));
}

void ResourceManager::SetCurrentSharedMemory(int32_t size, bool isUsed) {
    if (!isUsed) {
        SharedMemoryId = -1;
        return;
    }
    int32_t bytes = size <= 0 ? DefaultSharedMemorySize : size;
    SharedMemoryId = _properties.AddSharedMemory(
        MemoryDefinition("shared_memory", AggregateType::Array | AggregateType::U32, WordCount(bytes)));
}

int32_t ResourceManager::AddMemoryDefinition(const std::string& name, AggregateType type, int32_t arrayLength) {
    return _properties.AddLocalMemory(MemoryDefinition(name, type, arrayLength));
}

void ResourceManager::SetVertexAsComputeLocalMemories(ShaderStage stage, InputTopology inputTopology) {
    LocalVertexDataMemoryId = AddMemoryDefinition("local_vertex_data", AggregateType::Array | AggregateType::FP32,
                                                  _reservations.OutputSizePerInvocation);
    if (stage == ShaderStage::Vertex) {
        LocalVertexIndexVertexRateMemoryId = AddMemoryDefinition("local_vertex_index_vr", AggregateType::U32);
        LocalVertexIndexInstanceRateMemoryId = AddMemoryDefinition("local_vertex_index_ir", AggregateType::U32);
    } else if (stage == ShaderStage::Geometry) {
        LocalTopologyRemapMemoryId =
            AddMemoryDefinition("local_topology_remap", AggregateType::Array | AggregateType::U32,
                                InputTopologyExtensions::get_InputVertexCount(inputTopology));
        LocalGeometryOutputVertexCountMemoryId =
            AddMemoryDefinition("local_geometry_output_vertex", AggregateType::U32);
        LocalGeometryOutputIndexCountMemoryId = AddMemoryDefinition("local_geometry_output_index", AggregateType::U32);
    }
}

int32_t ResourceManager::GetConstantBufferBinding(int32_t slot) {
    // The slot comes from instruction words or constant-buffer data; a slot
    // beyond the table must fail the job, never index outside it.
    if (slot < 0 || slot >= MaxConstantBuffers) {
        throw Common::ArgumentOutOfRangeException("Constant buffer slot " + std::to_string(slot) +
                                                  " is out of range (0-17).");
    }
    SetBindingPair& pair = _cbSlotToBindingMap[static_cast<std::size_t>(slot)];
    if (pair.Binding < 0) {
        int32_t binding = _gpuAccessor->AllocateConstantBufferBinding(slot);
        RequireFreeBufferBinding(_properties, binding, "constant buffer slot", slot);
        pair = SetBindingPair(0, binding);
        _properties.AddOrUpdateConstantBuffer(
            BufferDefinition(BufferLayout::Std140, 0, binding, _stagePrefix + "_c" + std::to_string(slot),
                             DataArrayType(AggregateType::Vector4 | AggregateType::FP32, ConstantBufferArrayLength)));
    }
    return pair.Binding;
}

void ResourceManager::SetUsedConstantBufferBinding(int32_t binding) { _usedConstantBufferBindings.Add(binding); }

bool ResourceManager::TryGetConstantBufferSlot(int32_t binding, int32_t& slot) const {
    for (int32_t i = 0; i < MaxConstantBuffers; i++) {
        if (_cbSlotToBindingMap[static_cast<std::size_t>(i)].Binding == binding) {
            slot = i;
            return true;
        }
    }
    slot = 0;
    return false;
}

void ResourceManager::RemoveUnusedConstantBufferDeclarations() {
    for (const SetBindingPair& pair : _cbSlotToBindingMap) {
        if (pair.Binding >= 0 && !_usedConstantBufferBindings.Contains(pair.Binding)) {
            _properties.RemoveConstantBuffer(pair.Binding);
        }
    }
}

bool ResourceManager::TryGetStorageBufferBinding(int32_t cbSlot, int32_t cbOffset, bool write, int32_t& binding) {
    int32_t key = static_cast<int32_t>(((static_cast<uint32_t>(cbSlot) & 0xFFu) << 16) |
                                       (static_cast<uint32_t>(cbOffset) & 0xFFFFu));
    int32_t index;
    if (const int32_t* found = _sbSlots.Find(key)) {
        index = *found;
    } else {
        index = static_cast<int32_t>(_sbSlots.Count());
        if (index >= MaxStorageBuffers) {
            binding = 0;
            return false;
        }
        _sbSlots.Set(key, index);
        _sbSlotsReverse.Set(index, key);
    }

    SetBindingPair& pair = _sbSlotToBindingMap[static_cast<std::size_t>(index)];
    if (pair.Binding < 0) {
        int32_t newBinding = _gpuAccessor->AllocateStorageBufferBinding(index);
        RequireFreeBufferBinding(_properties, newBinding, "storage buffer", index);
        pair = SetBindingPair(0, newBinding);
        _properties.AddOrUpdateStorageBuffer(BufferDefinition(BufferLayout::Std430, 0, newBinding,
                                                              _stagePrefix + "_s" + std::to_string(index),
                                                              DataArrayType(AggregateType::U32, 0)));
    }
    if (write) {
        _storageBufferWriteMask |= 1 << index;
    }
    binding = pair.Binding;
    return true;
}

SetBindingPair ResourceManager::GetTextureOrImageBinding(Instruction inst, SamplerType type, TextureFormat format,
                                                         TextureFlags flags, int32_t cbufSlot, int32_t handle,
                                                         int32_t arrayLength, bool separate) {
    Instruction code = IntermediateRepresentation::InstCode(inst);
    bool isImage = IntermediateRepresentation::InstructionExtensions::IsImage(inst);
    bool isWrite = IntermediateRepresentation::InstructionExtensions::IsImageStore(inst);
    bool intCoords = isImage || HasFlag(flags, TextureFlags::IntCoords) || code == Instruction::TextureQuerySize;
    bool accurateType =
        code != Instruction::Lod && code != Instruction::TextureQuerySamples && code != Instruction::TextureQuerySize;
    bool coherent = HasFlag(flags, TextureFlags::Coherent);
    if (!isImage) {
        format = TextureFormat::Unknown;
    }
    return GetTextureOrImageBinding(cbufSlot, handle, arrayLength, type, format, isImage, intCoords, isWrite,
                                    accurateType, coherent, separate);
}

bool ResourceManager::IsTextureRenderScaleUnsupported(ShaderStage stage, int32_t arrayLength, bool write,
                                                      int32_t dims) {
    bool stageSupported =
        stage == ShaderStage::Compute || stage == ShaderStage::Vertex || stage == ShaderStage::Fragment;
    return !stageSupported || arrayLength != 1 || write || dims != 2;
}

SetBindingPair ResourceManager::GetTextureOrImageBinding(int32_t cbufSlot, int32_t handle, int32_t arrayLength,
                                                         SamplerType type, TextureFormat format, bool isImage,
                                                         bool intCoords, bool write, bool accurateType, bool coherent,
                                                         bool separate) {
    if (arrayLength < 1) {
        throw Common::ArgumentOutOfRangeException("Texture array length " + std::to_string(arrayLength) +
                                                  " is out of range.");
    }
    int32_t dims = type == SamplerType::None ? 0 : SamplerTypeExtensions::get_Dimensions(type);

    TextureUsageFlags usageFlags = TextureUsageFlags::None;
    if (intCoords) {
        usageFlags = usageFlags | TextureUsageFlags::NeedsScaleValue;
        if (IsTextureRenderScaleUnsupported(_stage, arrayLength, write, dims)) {
            usageFlags = usageFlags | TextureUsageFlags::ResScaleUnsupported;
        }
    }
    if (write) {
        usageFlags = usageFlags | TextureUsageFlags::ImageStore;
    }
    if (coherent) {
        usageFlags = usageFlags | TextureUsageFlags::ImageCoherent;
    }

    TextureInfo info{cbufSlot, handle, arrayLength, separate, arrayLength > 1 ? type : SamplerType::None, format};
    TextureTable& table = isImage ? _usedImages : _usedTextures;

    TextureMeta meta;
    if (TextureMeta* existing = table.Find(info)) {
        existing->UsageFlags = existing->UsageFlags | usageFlags;
        // A type stated by an instruction beats one that was only guessed
        // (size and level queries do not know the real type).
        if (!existing->AccurateType) {
            existing->AccurateType = accurateType;
            existing->Type = type;
        }
        meta = *existing;
    } else {
        int32_t binding = isImage ? _gpuAccessor->AllocateImageBinding(arrayLength)
                                  : _gpuAccessor->AllocateTextureBinding(arrayLength);
        meta = TextureMeta{0, binding, accurateType, type, usageFlags};
        table.Set(info, meta);
    }

    // The declaration follows the merged record, so the back end declares the
    // texture exactly as its descriptor reports it even when later accesses
    // guess a different type or use it differently.
    std::string name = GetTextureName(cbufSlot, handle, arrayLength, meta.Type, format, isImage);
    TextureDefinition definition(meta.Set, meta.Binding, arrayLength, separate, std::move(name), meta.Type, format,
                                 meta.UsageFlags);
    if (isImage) {
        _properties.AddOrUpdateImage(std::move(definition));
    } else {
        _properties.AddOrUpdateTexture(std::move(definition));
    }
    return SetBindingPair(meta.Set, meta.Binding);
}

std::string ResourceManager::GetTextureName(int32_t cbufSlot, int32_t handle, int32_t arrayLength, SamplerType type,
                                            TextureFormat format, bool isImage) const {
    std::string prefix = isImage ? "i" : "t";
    if (arrayLength != 1 && type != SamplerType::None) {
        prefix += SamplerTypeExtensions::get_ShortTypeName(type);
    }
    std::string suffix;
    if (isImage) {
        std::string fmt = TextureFormatExtensions::ToGlslFormat(format);
        suffix = cbufSlot < 0 ? prefix + "_tcb_" + Hex(handle) + "_" + fmt
                              : prefix + "_cb" + std::to_string(cbufSlot) + "_" + Hex(handle) + "_" + fmt;
    } else if (type != SamplerType::None) {
        suffix = cbufSlot < 0 ? prefix + "_tcb_" + Hex(handle)
                              : prefix + "_cb" + std::to_string(cbufSlot) + "_" + Hex(handle);
    } else {
        suffix = cbufSlot < 0 ? "s_tcb_" + Hex(handle) : "s_cb" + std::to_string(cbufSlot) + "_" + Hex(handle);
    }
    return _stagePrefix + "_" + suffix;
}

bool ResourceManager::SetUsageFlagsForTextureQuery(int32_t binding, SamplerType type) {
    for (auto& [info, meta] : _usedTextures) {
        if (meta.Binding != binding) {
            continue;
        }
        TextureUsageFlags usageFlags = meta.UsageFlags | TextureUsageFlags::NeedsScaleValue;
        int32_t dims = type == SamplerType::None ? 0 : SamplerTypeExtensions::get_Dimensions(type);
        if (IsTextureRenderScaleUnsupported(_stage, info.ArrayLength, false, dims)) {
            usageFlags = usageFlags | TextureUsageFlags::ResScaleUnsupported;
        }
        meta.UsageFlags = usageFlags;
        // Keep the declaration in step with the descriptor.
        if (const TextureDefinition* declared = _properties.Textures().Find(SetBindingPair(meta.Set, meta.Binding))) {
            TextureDefinition updated = *declared;
            updated.Flags = usageFlags;
            _properties.AddOrUpdateTexture(std::move(updated));
        }
        return true;
    }
    return false;
}

bool ResourceManager::TryMoveTextureQueryToImage(int32_t textureBinding, SetBindingPair& image,
                                                  SamplerType& imageType) {
    auto imageTypeAt = [&](const SetBindingPair& pair) {
        for (const auto& [info, meta] : _usedImages) {
            if (meta.Set == pair.SetIndex && meta.Binding == pair.Binding) return meta.Type;
        }
        return SamplerType::None;
    };
    if (const SetBindingPair* moved = _texturesMovedToImages.Find(textureBinding)) {
        image = *moved;
        imageType = imageTypeAt(image);
        return true;
    }
    const TextureInfo* texture = nullptr;
    TextureMeta textureMeta;
    for (const auto& [info, meta] : _usedTextures) {
        if (meta.Binding == textureBinding) {
            texture = &info;
            textureMeta = meta;
            break;
        }
    }
    // A texture that any sampling, fetch or gather used is a texture.
    if (texture == nullptr || textureMeta.AccurateType || texture->ArrayLength != 1 || texture->Separate) {
        return false;
    }
    for (auto& [info, meta] : _usedImages) {
        if (info.CbufSlot != texture->CbufSlot || info.Handle != texture->Handle || info.ArrayLength != 1 ||
            info.Separate) {
            continue;
        }
        const SetBindingPair pair(meta.Set, meta.Binding);
        const SetBindingPair texturePair(textureMeta.Set, textureMeta.Binding);
        // The back end tells the two apart by where the binding is declared;
        // a host that numbers textures and images apart could give both the
        // same pair, and then the query stays what it was.
        if (pair == texturePair || _properties.Textures().Find(pair) != nullptr) {
            return false;
        }
        meta.UsageFlags = meta.UsageFlags | textureMeta.UsageFlags;
        if (const TextureDefinition* declared = _properties.Images().Find(pair)) {
            TextureDefinition updated = *declared;
            updated.Flags = meta.UsageFlags;
            _properties.AddOrUpdateImage(std::move(updated));
        }
        image = pair;
        imageType = meta.Type;
        const TextureInfo key = *texture;
        _usedTextures.Remove(key);
        _properties.RemoveTexture(texturePair);
        _texturesMovedToImages.Set(textureBinding, pair);
        return true;
    }
    return false;
}

bool ResourceManager::TryGetCbufSlotAndHandleForTexture(int32_t binding, int32_t& cbufSlot, int32_t& handle) const {
    for (const auto& [info, meta] : _usedTextures) {
        if (meta.Binding == binding) {
            cbufSlot = info.CbufSlot;
            handle = info.Handle;
            return true;
        }
    }
    cbufSlot = 0;
    handle = 0;
    return false;
}

bool ResourceManager::IsArrayOfTexturesOrImages(int32_t binding, bool isImage) const {
    const TextureTable& table = isImage ? _usedImages : _usedTextures;
    for (const auto& [info, meta] : table) {
        if (meta.Binding == binding) {
            return info.ArrayLength != 1;
        }
    }
    return false;
}

int32_t ResourceManager::FindDescriptorIndex(std::span<const TextureDescriptor> descriptors, int32_t binding) {
    for (std::size_t i = 0; i < descriptors.size(); i++) {
        if (descriptors[i].Binding == binding) {
            return static_cast<int32_t>(i);
        }
    }
    return -1;
}

std::vector<BufferDescriptor> ResourceManager::GetConstantBufferDescriptors() const {
    std::vector<BufferDescriptor> descriptors;
    for (int32_t slot = 0; slot < MaxConstantBuffers; slot++) {
        const SetBindingPair& pair = _cbSlotToBindingMap[static_cast<std::size_t>(slot)];
        if (pair.Binding >= 0 && _usedConstantBufferBindings.Contains(pair.Binding)) {
            descriptors.emplace_back(pair.SetIndex, pair.Binding, static_cast<uint8_t>(slot), 0, 0,
                                     BufferUsageFlags::None);
        }
    }
    return descriptors;
}

std::vector<BufferDescriptor> ResourceManager::GetStorageBufferDescriptors() const {
    std::vector<BufferDescriptor> descriptors;
    for (const auto& [key, index] : _sbSlots) {
        const SetBindingPair& pair = _sbSlotToBindingMap[static_cast<std::size_t>(index)];
        if (pair.Binding < 0) {
            continue;
        }
        BufferUsageFlags flags =
            (_storageBufferWriteMask & (1 << index)) != 0 ? BufferUsageFlags::Write : BufferUsageFlags::None;
        descriptors.emplace_back(pair.SetIndex, pair.Binding, static_cast<uint8_t>(index),
                                 static_cast<uint8_t>(static_cast<uint32_t>(key) >> 16),
                                 static_cast<uint16_t>(static_cast<uint32_t>(key) & 0xFFFFu), flags);
    }
    return descriptors;
}

std::vector<TextureDescriptor> ResourceManager::GetTextureDescriptors(bool includeArrays) const {
    return GetDescriptors(_usedTextures, includeArrays);
}

std::vector<TextureDescriptor> ResourceManager::GetImageDescriptors(bool includeArrays) const {
    return GetDescriptors(_usedImages, includeArrays);
}

std::vector<TextureDescriptor> ResourceManager::GetDescriptors(const TextureTable& table, bool includeArrays) {
    std::vector<TextureDescriptor> descriptors;
    descriptors.reserve(table.Count());
    auto add = [&](const TextureInfo& info, const TextureMeta& meta) {
        descriptors.emplace_back(meta.Set, meta.Binding, meta.Type, info.Format, info.CbufSlot, info.Handle,
                                 info.ArrayLength, info.Separate, meta.UsageFlags);
    };
    for (const auto& [info, meta] : table) {
        if (info.ArrayLength <= 1)
            add(info, meta);
    }
    if (includeArrays) {
        for (const auto& [info, meta] : table) {
            if (info.ArrayLength > 1)
                add(info, meta);
        }
    }
    return descriptors;
}

} // namespace Zerivox::Graphics::Shader::Translation
