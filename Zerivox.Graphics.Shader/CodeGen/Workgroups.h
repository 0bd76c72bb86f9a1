#pragma once
#include "Zerivox.Graphics.Shader/ShaderStage.h"

namespace Zerivox::Graphics::Shader::CodeGen {

// Compute and tessellation control invocations run in groups (a workgroup,
// the invocations of one patch) that a barrier synchronises; in the other
// stages a barrier has nothing to wait for and both back ends drop it.
inline bool HasWorkgroups(ShaderStage stage) {
    return stage == ShaderStage::Compute || stage == ShaderStage::TessellationControl;
}

// Only compute workgroups share memory. A group memory barrier elsewhere
// (the invocations of a patch have no workgroup memory scope either) orders
// memory for the whole device, as a plain memory barrier does.
inline bool HasWorkgroupMemory(ShaderStage stage) { return stage == ShaderStage::Compute; }

} // namespace Zerivox::Graphics::Shader::CodeGen
