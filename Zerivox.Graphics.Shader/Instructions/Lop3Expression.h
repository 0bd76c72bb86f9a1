#pragma once
// Turns the 8-bit truth table of a three-input boolean function (LOP3) into
// a short expression of bitwise operations.
#include <cstdint>

#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Operand.h"

namespace Zerivox::Graphics::Shader::Translation {
class EmitterContext;
}

namespace Zerivox::Graphics::Shader::Instructions::Lop3Expression {

// Truth table: bit 4a + 2b + c holds f(a, b, c); A alone is 0xF0, B alone
// 0xCC and C alone 0xAA.
using TruthTable = uint8_t;

// The value of f(a, b, c). Tries the 64 variants of exchanged and inverted
// operands in order, each against the known tables and their complements;
// every table has a match. The inversions of a variant are emitted when the
// variant is built, so variants that do not match leave unused BitwiseNot
// operations behind.
IntermediateRepresentation::Operand* GetFromTruthTable(Translation::EmitterContext& context,
                                                       IntermediateRepresentation::Operand* a,
                                                       IntermediateRepresentation::Operand* b,
                                                       IntermediateRepresentation::Operand* c, TruthTable table);

// The expression of one of the 20 known tables, or null (emitting nothing)
// for any other table.
IntermediateRepresentation::Operand* GetExpr(TruthTable table, Translation::EmitterContext& context,
                                             IntermediateRepresentation::Operand* a,
                                             IntermediateRepresentation::Operand* b,
                                             IntermediateRepresentation::Operand* c);

// Moves bit k of table to bit position pk (p7 for bit 7, ..., p0 for bit 0).
TruthTable PermuteTable(TruthTable table, int p7, int p6, int p5, int p4, int p3, int p2, int p1, int p0);

} // namespace Zerivox::Graphics::Shader::Instructions::Lop3Expression
