#pragma once
#include <string>
#include <utility>
#include <vector>

namespace Zerivox::Graphics::Shader::IntermediateRepresentation {

class BasicBlock;

// One IR function: a guest function ("fun" + id) or a generated helper.
// Blocks[0] is the entry. Argument i is the Argument operand of value i;
// out-arguments follow the in-arguments. Create with IrArena::NewFunction.
class Function {
public:
    Function(std::vector<BasicBlock*> blocks, std::string name, bool returnsValue, int inArgumentCount,
             int outArgumentCount)
        : Blocks(std::move(blocks)),
          Name(std::move(name)),
          InArgumentCount(inArgumentCount),
          OutArgumentCount(outArgumentCount),
          ReturnsValue(returnsValue) {}
    Function(const Function&) = delete;
    Function& operator=(const Function&) = delete;

    std::vector<BasicBlock*> Blocks;
    std::string Name;
    int InArgumentCount;
    int OutArgumentCount;
    bool ReturnsValue;
};

} // namespace Zerivox::Graphics::Shader::IntermediateRepresentation
