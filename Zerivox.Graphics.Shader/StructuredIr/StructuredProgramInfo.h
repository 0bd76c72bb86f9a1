#pragma once
// The structured program: one structured function per IR function (index 0 is
// the entry function; a call names its callee by index), the inputs and
// outputs it touches, and the operations that need help from the back end.
// It owns every AST node of the program through its arena.
#include <cstdint>
#include <memory>
#include <vector>

#include "Zerivox.Common/OrderedMap.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstArena.h"
#include "Zerivox.Graphics.Shader/StructuredIr/IoDefinition.h"
#include "Zerivox.Graphics.Shader/StructuredIr/StructuredFunction.h"

namespace Zerivox::Graphics::Shader::StructuredIr {

class StructuredProgramInfo {
public:
    StructuredProgramInfo() = default;
    StructuredProgramInfo(const StructuredProgramInfo&) = delete;
    StructuredProgramInfo& operator=(const StructuredProgramInfo&) = delete;

    // Declared first so that it outlives everything that points into it.
    AstArena Arena;

    std::vector<std::unique_ptr<StructuredFunction>> Functions;
    // In order of first appearance.
    Common::OrderedSet<IoDefinition> IoDefinitions;
    // Operations that need help from the back end: 4 MultiplyHighS32,
    // 8 MultiplyHighU32, 0x400 SwizzleAdd, 0x800 FSIBegin/FSIEnd.
    uint32_t HelperFlags = 0;
};

} // namespace Zerivox::Graphics::Shader::StructuredIr
