#pragma once
#include <cstdint>
#include <vector>

#include "Zerivox.Common/OrderedMap.h"
#include "Zerivox.Graphics.Shader/Decoders/InstOp.h"
#include "Zerivox.Graphics.Shader/Decoders/SyncTarget.h"

namespace Zerivox::Graphics::Shader::Decoders {

class PushOpInfo;

// A basic block of one decoded function, covering [Address, EndAddress).
// Owned by the DecodedProgram; all links are non-owning.
class Block {
  public:
    explicit Block(uint64_t address) : Address(address) {}
    Block(const Block&) = delete;
    Block& operator=(const Block&) = delete;

    uint64_t Address = 0;    // first word; may be a scheduling word
    uint64_t EndAddress = 0; // just after the last word

    // A falling-through block has its fall-through successor first; a BRA target
    // comes last among the walk's edges; jump-table and pushed targets are
    // appended later.
    std::vector<Block*> Predecessors;
    std::vector<Block*> Successors;
    std::vector<InstOp> Ops;          // in address order, scheduling words left out
    std::vector<PushOpInfo*> PushOps; // SSY/PBK/PCNT/PRET of this block, in address order
    // Push address -> the push this block's pop returns to, in the order found.
    Common::OrderedMap<uint64_t, SyncTarget> SyncTargets;

    // Moves the part of this block from right->Address on into right (a new,
    // empty block that starts inside this one). Throws ArgumentException when
    // right->Address is not before the start of this block's last instruction.
    void Split(Block* right);

    // The last instruction, or a default InstOp when the block has none.
    InstOp GetLastOp() const;

    // The block has instructions and its last one is not an unconditional
    // branch: control falls through to Successors[0].
    bool HasNext() const;
};

} // namespace Zerivox::Graphics::Shader::Decoders
