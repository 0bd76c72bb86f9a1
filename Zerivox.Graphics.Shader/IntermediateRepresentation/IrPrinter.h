#pragma once
#include <span>
#include <string>

namespace Zerivox::Graphics::Shader::IntermediateRepresentation {

class BasicBlock;
class Function;
class INode;
class Operand;
class Operation;

// Compact text form of IR, for tests and debugging. One line per node:
//
//   %2 = Add.FP32 %0, 1065353216       result = Inst[.FP32|.FP64][.StorageKind][#Index] sources
//   %4, %5 = Shuffle %1, 1, 7169       several destinations; a null slot prints "_"
//   BranchIfTrue L0, %3                label destinations print like sources
//   %6 = Phi [B1: %2], [B3: undef]
//   %7 = TextureSample{Texture2D set=0 binding=3 flags=0x8}#1 %1, %2
//   // comment text
//
// Operands: locals %N and labels LN, numbered by first appearance in the
// printed text; R5, P2, CC.Z/N/C/V for guest registers; a3 for argument 3;
// cb1[16] for constant buffer slot 1 word 16; undef; constants in decimal.
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
