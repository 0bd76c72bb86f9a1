#pragma once
#include "Zerivox.Common/OrderedMap.h"
#include "Zerivox.Graphics.Shader/Decoders/InstOp.h"

namespace Zerivox::Graphics::Shader::IntermediateRepresentation {
class Operand;
}

namespace Zerivox::Graphics::Shader::Decoders {

class Block;

// A push instruction (SSY, PBK, PCNT) of a block and the blocks whose pop
// instruction returns to its target. Each consumer has its own IR local: the
// push writes its id for that consumer there, the consumer's pop tests it.
class PushOpInfo {
  public:
    explicit PushOpInfo(const InstOp& op) : Op(op) {}
    PushOpInfo(const PushOpInfo&) = delete;
    PushOpInfo& operator=(const PushOpInfo&) = delete;

    InstOp Op;
    // Consumer block -> its local variable, in the order the pairs were found.
    Common::OrderedMap<Block*, IntermediateRepresentation::Operand*> Consumers;
};

} // namespace Zerivox::Graphics::Shader::Decoders
