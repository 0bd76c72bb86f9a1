#pragma once
// Pieces the vertex-as-compute and geometry-as-compute rewrites share.
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/INode.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IoVariable.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Operation.h"
#include "Zerivox.Graphics.Shader/Translation/Transforms/InsertionPoint.h"

namespace Zerivox::Graphics::Shader {
class IGpuAccessor;
}

namespace Zerivox::Graphics::Shader::Translation::Transforms::StageAsCompute {

// The output initialisation clears all eight clip distances once a shader
// writes any; the vertex layout holds only those the shader writes, so the
// stores of the others have nothing to fill and are dropped.
bool IsUnwrittenClipDistanceStore(const IntermediateRepresentation::Operation& operation,
                                  IntermediateRepresentation::IoVariable variable);

// Emits at `at` the output load or store `operation` as an access of word
// `offset` of the invocation's vertex data in local memory `memoryId`: a
// load reads into the operation's destination, a store writes its last
// source.
void AccessLocalVertexData(InsertionPoint& at, int32_t memoryId, const IntermediateRepresentation::Operation& operation,
                           int32_t offset);

// Removes an operation that has no replacement; returns the node the walk
// continues after (null when it was the first of its block).
IntermediateRepresentation::INode* RemoveNode(IntermediateRepresentation::Operation* operation);

// Logs and throws NotImplementedException for an input or output (direction
// "input" or "output") that the compute form of a stage ("vertex",
// "geometry") cannot carry.
[[noreturn]] void ThrowUnsupported(IGpuAccessor& gpuAccessor, const char* stage, const char* direction,
                                   IntermediateRepresentation::IoVariable variable);

} // namespace Zerivox::Graphics::Shader::Translation::Transforms::StageAsCompute
