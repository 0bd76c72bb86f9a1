#pragma once
#include <span>

#include "Zerivox.Graphics.Shader/Decoders/Register.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/BasicBlock.h"

namespace Zerivox::Graphics::Shader::Translation::Ssa {

// Number of dense register keys: GPR 0-254, predicates 0-6, flags 0-3.
constexpr int RegisterKeyCount = 266;

// GPR index; predicate index + 255; any other type index + 262. Indices
// outside a type's range raise ArgumentOutOfRangeException (they would
// address another register's slot).
int GetKeyFromRegister(Decoders::Register reg);
Decoders::Register GetRegisterFromKey(int key);

// Rewrites the guest registers of the blocks into SSA form in place: every
// register write gets its own new local, every read the definition that
// reaches it (phis are inserted on demand, reads nothing reaches become
// Undefined). Needs the immediate dominators (the frontiers it works out
// itself, see Dominance::IteratedFrontier); blocks[i]->Index must
// be i. Afterwards no operation has a Register operand.
void Rename(std::span<IntermediateRepresentation::BasicBlock* const> blocks);

} // namespace Zerivox::Graphics::Shader::Translation::Ssa
