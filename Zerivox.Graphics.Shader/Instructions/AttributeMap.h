#pragma once
// The guest attribute space: which IR input/output variable lies at each
// 32-bit word, which stages may read or write it, and the Load/Store that
// reaches it.
#include <cstdint>

#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IoVariable.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Operand.h"
#include "Zerivox.Graphics.Shader/ShaderStage.h"
#include "Zerivox.Graphics.Shader/Translation/AggregateType.h"

namespace Zerivox::Graphics::Shader {
class IGpuAccessor;
}
namespace Zerivox::Graphics::Shader::Translation {
class EmitterContext;
class ShaderDefinitions;
}

namespace Zerivox::Graphics::Shader::Instructions {

class AttributeMap {
  public:
    // Bit (1 << ShaderStage) per stage.
    enum class StagesMask : uint8_t {
        None = 0,
        Compute = 0x01,
        Vertex = 0x02,
        TessellationControl = 0x04,
        TessellationEvaluation = 0x08,
        Geometry = 0x10,
        Fragment = 0x20,
    };

    struct AttributeEntry {
        int32_t BaseOffset = 0;
        Translation::AggregateType Type = Translation::AggregateType::Invalid;
        IntermediateRepresentation::IoVariable IoVariable = IntermediateRepresentation::IoVariable::Invalid;
        uint8_t InputMask = 0;
        uint8_t OutputMask = 0;
    };

    // Components of a vector type (2-4), else 1; the Array flag does not count.
    static int GetElementCount(Translation::AggregateType type);
    // Inputs of the stages whose inputs are per vertex.
    static bool HasPrimitiveVertex(ShaderStage stage, bool isOutput);
    static bool IsSupportedByHost(IGpuAccessor& gpuAccessor, ShaderStage stage,
                                  IntermediateRepresentation::IoVariable ioVariable);

    // The output variable at a per-vertex byte offset for the definitions'
    // stage, and its location; Invalid (location 0) when there is none.
    static IntermediateRepresentation::IoVariable GetIoVariable(const Translation::ShaderDefinitions& definitions,
                                                                int offset, int& location);

    // Load of the word at byte offset; the constant 0 (with a log message)
    // when the offset names nothing the stage may read. primVertex may be
    // null.
    static IntermediateRepresentation::Operand* GenerateAttributeLoad(Translation::EmitterContext& context,
                                                                      IntermediateRepresentation::Operand* primVertex,
                                                                      int offset, bool isOutput, bool isPerPatch);
    // Store of value to the word at byte offset; dropped (with a log message)
    // when the offset names nothing the stage may write.
    static void GenerateAttributeStore(Translation::EmitterContext& context, int offset, bool isPerPatch,
                                       IntermediateRepresentation::Operand* value);

    // Table entry of a byte offset, or null when the offset has none
    // (unaligned, out of range or unassigned).
    static const AttributeEntry* Find(int offset, bool isPerPatch);
};

} // namespace Zerivox::Graphics::Shader::Instructions
