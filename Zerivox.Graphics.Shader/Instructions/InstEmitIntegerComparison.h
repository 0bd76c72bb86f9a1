#pragma once
// Integer comparisons shared by the integer compare emitters and the video
// compare emitter.
#include "Zerivox.Graphics.Shader/Decoders/DecoderEnums.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Operand.h"

namespace Zerivox::Graphics::Shader::Translation {
class EmitterContext;
}

namespace Zerivox::Graphics::Shader::Instructions::InstEmit {

// a compared with b as a truth value (-1 true, 0 false). F and T give the
// constants 0 and -1 without emitting anything; every other condition is one
// comparison operation. A condition outside 0-7 throws
// InvalidOperationException.
IntermediateRepresentation::Operand* GetIntComparison(Translation::EmitterContext& context, Decoders::IComp cond,
                                                      IntermediateRepresentation::Operand* a,
                                                      IntermediateRepresentation::Operand* b, bool isSigned);

// The high-word step of a multiword comparison: a and b are the high words,
// the zero flag says the lower words were equal and the carry flag that
// subtracting them did not borrow. A condition outside 0-7 throws
// ArgumentException.
IntermediateRepresentation::Operand* GetIntComparisonExtended(Translation::EmitterContext& context,
                                                              Decoders::IComp cond,
                                                              IntermediateRepresentation::Operand* a,
                                                              IntermediateRepresentation::Operand* b, bool isSigned);

} // namespace Zerivox::Graphics::Shader::Instructions::InstEmit
