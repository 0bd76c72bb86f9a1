#include "Zerivox.Graphics.Shader/Decoders/DecodedFunction.h"

#include <utility>

#include "Zerivox.Common/Exceptions.h"

namespace Zerivox::Graphics::Shader::Decoders {

void DecodedFunction::SetBlocks(std::vector<Block*> blocks) {
    if (_blocksSet) {
        throw Common::InvalidOperationException("Blocks have already been set.");
    }
    _blocks = std::move(blocks);
    _blocksSet = true;
}

void DecodedFunction::RemoveCaller(DecodedFunction* caller) {
    if (Callers.Remove(caller) && Callers.empty()) {
        Type = FunctionType::FsiGetAddress;
    }
}

} // namespace Zerivox::Graphics::Shader::Decoders
