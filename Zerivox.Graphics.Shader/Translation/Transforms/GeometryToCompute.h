#pragma once
#include <cstdint>

#include "Zerivox.Graphics.Shader/IntermediateRepresentation/INode.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/StorageKind.h"
#include "Zerivox.Graphics.Shader/Translation/Transforms/TransformContext.h"

namespace Zerivox::Graphics::Shader::IntermediateRepresentation {
class Operation;
}

namespace Zerivox::Graphics::Shader::Translation::Transforms {

// Rewrites a geometry shader that runs as a compute shader, one invocation
// per input primitive, instance and geometry invocation: input vertices are
// read from "vertex_output" (where the vertex shader run as compute left
// them), outputs live in the local memory "local_vertex_data", EmitVertex
// appends that vertex to "geometry_vb_output" and its number to
// "geometry_ib_output", and EndPrimitive appends a restart index (-1).
//
// Each invocation owns MaxOutputVertices vertex slots and
// GetGeometryOutputIndexBufferStridePerInstance index slots, placed by its
// primitive and invocation numbers.
//
// An input that has no compute form, or an output without a place in the
// vertex layout, is logged and the translation fails with
// NotImplementedException.
struct GeometryToCompute {
    static bool IsEnabled(IGpuAccessor& gpuAccessor, ShaderStage stage, Translation::TargetLanguage targetLanguage,
                          FeatureFlags usedFeatures);
    static IntermediateRepresentation::INode* RunPass(TransformContext& context,
                                                      IntermediateRepresentation::INode* node);

    // Word offset of the input (in "vertex_output") or output (in
    // "local_vertex_data") that `operation` accesses, by `kind`.
    static bool TryGetOffset(const ResourceManager& resourceManager,
                             const IntermediateRepresentation::Operation& operation,
                             IntermediateRepresentation::StorageKind kind, int32_t& offset);
};

} // namespace Zerivox::Graphics::Shader::Translation::Transforms
