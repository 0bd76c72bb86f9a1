#pragma once
#include <cstdint>
#include <functional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Zerivox.Graphics.Shader/Decoders/DecodedProgram.h"
#include "Zerivox.Graphics.Shader/Decoders/InstName.h"
#include "Zerivox.Graphics.Shader/Decoders/InstOp.h"

namespace Zerivox::Graphics::Shader {
class IGpuAccessor;
}
namespace Zerivox::Graphics::Shader::Translation {
class ShaderDefinitions;
}

namespace Zerivox::Graphics::Shader::Decoders {

// Decodes Maxwell code into functions of basic blocks, pairs the branch-stack
// pushes with their pops and recovers jump-table targets of indirect branches.
class Decoder {
  public:
    // Decodes the code at startAddress (addresses in the result are relative to
    // it). Code is read only through IGpuAccessor::GetCode and jump tables only
    // through IGpuAccessor::ConstantBuffer1Read. Sets the definitions'
    // indexed-attribute findings. Throws a typed error for code that cannot be
    // decoded (targets outside the code, code that runs past its end, ...).
    // Every function walks its own blocks, so code that several functions
    // share is decoded once for each; past MaxInstructions decoded
    // instructions in all, decoding fails with ArgumentOutOfRangeException.
    // That bounds the work and memory of a translation whatever the code is.
    static DecodedProgram Decode(Translation::ShaderDefinitions& definitions, IGpuAccessor& gpuAccessor,
                                 uint64_t startAddress);

    static constexpr uint64_t MaxInstructions = uint64_t{1} << 18;

    // BRK, CONT and SYNC: the instructions that pop the branch stack. Inline:
    // the translation asks it for every instruction it emits.
    static bool IsPopBranch(InstName name) {
        return name == InstName::Brk || name == InstName::Cont || name == InstName::Sync;
    }

    // The instruction ends its block and never falls through.
    static bool IsUnconditionalBranch(const InstOp& op);
    // Condition code (BRA, EXIT) always true and guard PT not inverted.
    static bool IsUnconditional(const InstOp& op);

    // State of one Decode shared by the code walk and the passes over a
    // function; the findings go straight into the program being built.
    struct Context {
        Context(DecodedProgram& program, IGpuAccessor& gpuAccessor);

        DecodedProgram& Program;
        IGpuAccessor& GpuAccessor;
        // Bytes of constant buffer 1 the host has; negative when unknown.
        int32_t Cb1Limit;
        // Instructions decoded so far, over all functions.
        uint64_t Instructions = 0;
    };

    // Kind of a branch-stack entry; a pop returns to the nearest entry of its
    // kind. Ret pairs PRET with RET: the compiler's early return from the
    // entry point.
    enum class MergeType : uint8_t { Brk = 0, Cont = 1, Sync = 2, Ret = 3 };
    static MergeType GetMergeTypeFromPush(InstName name);
    static MergeType GetMergeTypeFromPop(InstName name);

    using BlockMap = std::unordered_map<uint64_t, Block*>;

    // Pairs the k-th push instruction of block with the blocks whose pop returns
    // to its target. Running it again over the same blocks adds nothing twice.
    static void PropagatePushOp(DecodedProgram& program, const BlockMap& blocks, Block* block, int k);

    // Reads the jump tables of BRX blocks not resolved yet and links their
    // targets (getBlock creates and queues unknown ones). True when a table was
    // found, so the caller walks the new blocks and runs both passes again.
    static bool FindBrxTargets(Context& context, const std::vector<Block*>& blocks,
                               const std::function<Block*(uint64_t)>& getBlock);

    // (byte offset, entry count) of the constant buffer 1 jump table that the
    // BRX ending block loads its register from; (0, 0) when the load does not
    // have the recognised shape.
    static std::pair<int32_t, int32_t> FindBrxTargetRange(const Block* block, int reg);

    static bool WritesToRegister(const InstOp& op, int reg);
};

} // namespace Zerivox::Graphics::Shader::Decoders
