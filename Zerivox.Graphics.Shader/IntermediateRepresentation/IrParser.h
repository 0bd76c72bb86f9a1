#pragma once
#include <map>
#include <string_view>
#include <vector>

namespace Zerivox::Graphics::Shader::IntermediateRepresentation {

class BasicBlock;
class Function;
class IrArena;
class Operand;
class Operation;

// Operands named in a parsed text: %N and LN by their number in the text.
struct IrTextNames {
    std::map<int, Operand*> Locals;
    std::map<int, Operand*> Labels;
};

// Reads the text IrPrinter writes back into IR made in the given arena, so
// that parse(print(x)) prints the same text again. The three entry points
// match the printer's: a function (header line, then blocks), blocks, and a
// flat operation list as the builder leaves it.
//
// What the text fixes: every node and operand of the printed form; local
// variables and labels are one operand per number, every other operand is a
// new object per appearance. A number with '.' or an exponent, inf, -inf or
// nan:0x<bits> is a float constant (its bits), any other number a 32-bit
// integer constant. Blocks keep the index of their header; "next" and
// "branch" make the edges, and a "preds" list, when present, must name the
// same predecessors as those edges and fixes their order (hand-written text
// may leave it out). Use lists and definitions follow from the nodes as the
// IR's own members build them. Blank lines are skipped.
//
// Malformed text throws FormatException naming the line ("IR text line 3:
// ...").
class IrParser {
public:
    static Function* ParseFunction(IrArena& arena, std::string_view text, IrTextNames* names = nullptr);
    static std::vector<BasicBlock*> ParseBlocks(IrArena& arena, std::string_view text, IrTextNames* names = nullptr);
    static std::vector<Operation*> ParseOperations(IrArena& arena, std::string_view text,
                                                   IrTextNames* names = nullptr);
};

} // namespace Zerivox::Graphics::Shader::IntermediateRepresentation
