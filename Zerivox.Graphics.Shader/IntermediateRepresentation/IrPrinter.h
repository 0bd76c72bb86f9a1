#pragma once
#include <span>
#include <string>

namespace Zerivox::Graphics::Shader::IntermediateRepresentation {

class BasicBlock;
class Function;
class INode;
class Operand;
class Operation;

// Compact text form of IR, for tests and debugging; IrParser reads it back.
// One line per node:
//
//   %2 = Add.FP32 %0, 1.0              result = Inst[.FP32|.FP64][.StorageKind][#Index] sources
//   %4, %5 = Shuffle %1, 1, 7169       several destinations; a null slot prints "_"
//   BranchIfTrue L0, %3                label destinations print like sources
//   %6 = Phi [B1: %2], [B3: undef]
//   %7 = TextureSample{Texture2D set=0 binding=3 flags=0x8}#1 %1, %2
//   // comment text
//
// Operands: locals %N and labels LN, numbered by first appearance in the
// printed text; R5, P2, CC.Z/N/C/V for guest registers; a3 for argument 3;
// cb1[16] for constant buffer slot 1 word 16; undef; constants in decimal.
// Constants of an FP32 operation print as floats instead: the shortest
// decimal that reads back to the same bits, always with '.' or an exponent
// (1.0, -0.0, 1e+10), inf and -inf, and nan:0x7fc00000 with the NaN's bits.
// A texture operation's dimension outside the known ones prints as
// Dimension<n>.
// Blocks print as a header "B<index>: preds B.. next B.. branch B.." and
// their nodes indented by two spaces.
class IrPrinter {
public:
    static std::string PrintBlocks(std::span<BasicBlock* const> blocks);
    static std::string PrintFunction(const Function& function);
    // A flat operation list as the builder leaves it (MarkLabel included).
    static std::string PrintOperations(std::span<Operation* const> operations);
};

} // namespace Zerivox::Graphics::Shader::IntermediateRepresentation
