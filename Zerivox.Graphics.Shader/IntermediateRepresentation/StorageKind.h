#pragma once
#include <cstdint>
#include <string_view>

namespace Zerivox::Graphics::Shader::IntermediateRepresentation {

// Memory or IO class addressed by Load, Store and the atomics.
enum class StorageKind : int32_t {
    None = 0,
    Input = 1,
    InputPerPatch = 2,
    Output = 3,
    OutputPerPatch = 4,
    ConstantBuffer = 5,
    StorageBuffer = 6,
    LocalMemory = 7,
    SharedMemory = 8,
    SharedMemory8 = 9,
    SharedMemory16 = 10,
    GlobalMemory = 11,
    GlobalMemoryS8 = 12,
    GlobalMemoryS16 = 13,
    GlobalMemoryU8 = 14,
    GlobalMemoryU16 = 15,
};

std::string_view StorageKindName(StorageKind kind);

} // namespace Zerivox::Graphics::Shader::IntermediateRepresentation
