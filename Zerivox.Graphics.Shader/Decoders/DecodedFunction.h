#pragma once
#include <cstdint>
#include <vector>

#include "Zerivox.Common/OrderedMap.h"
#include "Zerivox.Graphics.Shader/Decoders/FunctionType.h"

namespace Zerivox::Graphics::Shader::Decoders {

class Block;

// A guest function: the main function or a CAL target. Owned by the
// DecodedProgram.
class DecodedFunction {
  public:
    explicit DecodedFunction(uint64_t address) : Address(address) {}
    DecodedFunction(const DecodedFunction&) = delete;
    DecodedFunction& operator=(const DecodedFunction&) = delete;

    uint64_t Address = 0;
    // Functions that CAL this one, in discovery order (may include itself).
    Common::OrderedSet<DecodedFunction*> Callers;
    int32_t Id = -1; // set by the translator when it numbers emitted functions
    FunctionType Type = FunctionType::User;

    // Sorted by address; empty until SetBlocks.
    const std::vector<Block*>& Blocks() const { return _blocks; }

    // Throws InvalidOperationException "Blocks have already been set." when
    // called twice.
    void SetBlocks(std::vector<Block*> blocks);

    void AddCaller(DecodedFunction* caller) { Callers.Add(caller); }
    // A function left without callers is not emitted: it becomes FsiGetAddress.
    void RemoveCaller(DecodedFunction* caller);

  private:
    std::vector<Block*> _blocks;
    bool _blocksSet = false;
};

} // namespace Zerivox::Graphics::Shader::Decoders
