#include "Zerivox.Graphics.Shader/Translation/Optimizations/BindlessToArray.h"

namespace Zerivox::Graphics::Shader::Translation::Optimizations {

void BindlessToArray::RunPass(IntermediateRepresentation::BasicBlock&, ResourceManager&, IGpuAccessor&) {}

void BindlessToArray::RunPassOgl(IntermediateRepresentation::BasicBlock&, ResourceManager&) {}

} // namespace Zerivox::Graphics::Shader::Translation::Optimizations
