#pragma once
// The SPIR-V enumerations the builder and the code generator speak, taken
// from the Khronos headers so that no opcode or enumerant is ever typed in by
// hand. Zero values of the mask enumerations are named MaskNone there.
#include <spirv/unified1/spirv.hpp11>

namespace Spv {

struct SpirvEnums {
    using Op = ::spv::Op;
    using Capability = ::spv::Capability;
    using ExecutionModel = ::spv::ExecutionModel;
    using AddressingModel = ::spv::AddressingModel;
    using MemoryModel = ::spv::MemoryModel;
    using ExecutionMode = ::spv::ExecutionMode;
    using StorageClass = ::spv::StorageClass;
    using Dim = ::spv::Dim;
    using ImageFormat = ::spv::ImageFormat;
    using ImageOperandsMask = ::spv::ImageOperandsMask;
    using Decoration = ::spv::Decoration;
    using BuiltIn = ::spv::BuiltIn;
    using SelectionControlMask = ::spv::SelectionControlMask;
    using LoopControlMask = ::spv::LoopControlMask;
    using FunctionControlMask = ::spv::FunctionControlMask;
    using MemorySemanticsMask = ::spv::MemorySemanticsMask;
    using MemoryAccessMask = ::spv::MemoryAccessMask;
    using Scope = ::spv::Scope;

    static constexpr unsigned MagicNumber = ::spv::MagicNumber;
};

} // namespace Spv
