#include "Zerivox.Graphics.Shader/Translation/Optimizations/BindlessElimination.h"

namespace Zerivox::Graphics::Shader::Translation::Optimizations {

void BindlessElimination::RunPass(IntermediateRepresentation::BasicBlock&, ResourceManager&, IGpuAccessor&) {}

} // namespace Zerivox::Graphics::Shader::Translation::Optimizations
