#include "Zerivox.Graphics.Shader/Translation/Transforms/StageAsCompute.h"

#include <string>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/IGpuAccessor.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Instruction.h"
#include "Zerivox.Graphics.Shader/Translation/Optimizations/Utils.h"

namespace Zerivox::Graphics::Shader::Translation::Transforms::StageAsCompute {

using namespace IntermediateRepresentation;

bool IsUnwrittenClipDistanceStore(const Operation& operation, IoVariable variable) {
    const int32_t count = operation.SourcesCount();
    return operation.Inst == Instruction::Store && variable == IoVariable::ClipDistance && count >= 3 &&
           operation.GetSource(count - 2)->IsConstant();
}

void AccessLocalVertexData(InsertionPoint& at, int32_t memoryId, const Operation& operation, int32_t offset) {
    Operand* memory = at.Const(memoryId);
    Operand* word = at.Const(offset);
    if (operation.Inst == Instruction::Load) {
        at.Load(StorageKind::LocalMemory, operation.Dest(), {memory, word});
    } else {
        Operand* value = operation.GetSource(operation.SourcesCount() - 1);
        at.Store(StorageKind::LocalMemory, {memory, word, value});
    }
}

INode* RemoveNode(Operation* operation) {
    INode* previous = operation->ListPrevious();
    Optimizations::Utils::DeleteNode(operation);
    return previous;
}

void ThrowUnsupported(IGpuAccessor& gpuAccessor, const char* stage, const char* direction, IoVariable variable) {
    const std::string name(IoVariableName(variable));
    const std::string quoted = "\"" + (name.empty() ? std::to_string(static_cast<int32_t>(variable)) : name) + "\"";
    gpuAccessor.Log(std::string("Invalid ") + direction + " " + quoted + ".");
    throw Common::NotImplementedException(std::string("A ") + stage + " shader run as a compute shader cannot access the " +
                                          direction + " " + quoted + ".");
}

} // namespace Zerivox::Graphics::Shader::Translation::Transforms::StageAsCompute
