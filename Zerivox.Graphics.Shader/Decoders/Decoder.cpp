#include "Zerivox.Graphics.Shader/Decoders/Decoder.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstddef>
#include <deque>
#include <iterator>
#include <limits>
#include <map>
#include <memory_resource>
#include <span>
#include <string>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Common/HexFormat.h"
#include "Zerivox.Graphics.Shader/Decoders/InstFieldsAttribute.h"
#include "Zerivox.Graphics.Shader/Decoders/InstTable.h"
#include "Zerivox.Graphics.Shader/IGpuAccessor.h"
#include "Zerivox.Graphics.Shader/Translation/ShaderDefinitions.h"

namespace Zerivox::Graphics::Shader::Decoders {

using Translation::FeatureFlags;

namespace {

constexpr uint64_t NoLimit = std::numeric_limits<uint64_t>::max();
constexpr int RegisterZero = 255;

std::string Hex(uint64_t value) { return Common::ToHex(value); }

// Reads the instruction words of the code through the accessor. Every address
// is checked against the code the accessor has, so no input reaches beyond it.
class CodeReader {
  public:
    CodeReader(IGpuAccessor& accessor, uint64_t startAddress) : _accessor(accessor), _startAddress(startAddress) {
        if (startAddress > std::numeric_limits<uint32_t>::max()) {
            throw Common::ArgumentOutOfRangeException("Code start address 0x" + Hex(startAddress) +
                                                      " is beyond the code.");
        }
        _code = _accessor.GetCode(startAddress, 0);
        _size = static_cast<uint64_t>(_code.size()) * 8u;
    }

    // Bytes of whole words from the start address on.
    uint64_t Size() const { return _size; }

    // Throws unless a block may start at address (relative to the start).
    // from is the instruction (or, for jump tables, the function) it comes from.
    void CheckTarget(uint64_t address, uint64_t from, const char* what) const {
        if (address >= _size) {
            throw Common::ArgumentOutOfRangeException(std::string(what) + " target 0x" + Hex(address) + " (from 0x" +
                                                      Hex(from) + ") lies outside the code (0x" + Hex(_size) +
                                                      " bytes).");
        }
    }

    // Word at a relative address; blockAddress is the start of the block being
    // walked, so an unaligned block (a target inside a word) is read from its own
    // start the way the accessor lays out code from an arbitrary byte address.
    uint64_t Read(uint64_t address, uint64_t blockAddress) {
        if ((blockAddress & 7u) == 0) {
            const uint64_t index = address / 8u;
            if (address >= _size || index >= _code.size()) {
                ThrowPastEnd(address, blockAddress);
            }
            return _code[index];
        }
        // The word is the eight bytes from address on. Asking the accessor for
        // it copies all the code from there on, so per instruction that would
        // make a block cost the size of the code: take the bytes from the two
        // aligned words around it instead, where both lie inside the code.
        const uint64_t aligned = address / 8u;
        if (aligned + 1u < _code.size()) {
            const unsigned shift = static_cast<unsigned>(address & 7u) * 8u;
            return (_code[aligned] >> shift) | (_code[aligned + 1u] << (64u - shift));
        }
        // Only the last few unaligned words of the code get here; each is the
        // same whichever block reads it, so it is fetched once.
        const std::size_t slot = static_cast<std::size_t>(address & 7u);
        if (_tailWordKnown[slot] && _tailWordAddress[slot] == address) {
            return _tailWord[slot];
        }
        const std::span<const uint64_t> words = _accessor.GetCode(_startAddress + blockAddress, 0);
        const uint64_t index = (address - blockAddress) / 8u;
        if (index >= words.size()) {
            ThrowPastEnd(address, blockAddress);
        }
        const uint64_t word = words[index];
        _tailWordKnown[slot] = true;
        _tailWordAddress[slot] = address;
        _tailWord[slot] = word;
        // The accessor's span is only valid until its next GetCode.
        _code = _accessor.GetCode(_startAddress, 0);
        return word;
    }

  private:
    [[noreturn]] void ThrowPastEnd(uint64_t address, uint64_t blockAddress) const {
        throw Common::ArgumentOutOfRangeException("The block at 0x" + Hex(blockAddress) +
                                                  " runs past the end of the code (0x" + Hex(_size) + " bytes) at 0x" +
                                                  Hex(address) + ".");
    }

    IGpuAccessor& _accessor;
    uint64_t _startAddress;
    std::span<const uint64_t> _code;
    uint64_t _size = 0;
    std::array<bool, 8> _tailWordKnown{};
    std::array<uint64_t, 8> _tailWordAddress{};
    std::array<uint64_t, 8> _tailWord{};
};

void SetUserAttributeUses(Decoder::Context& context, Translation::ShaderDefinitions& definitions, InstName name,
                          uint64_t word) {
    int count;
    int offset;
    bool perPatch;
    bool indexed;
    bool output;
    if (name == InstName::Ipa) {
        const InstIpa ipa(word);
        count = 1;
        offset = ipa.Imm10();
        perPatch = false;
        output = false;
        indexed = ipa.Idx();
    } else {
        // ALD and AST share the attribute offset, per-patch and size fields.
        const InstAld ald(word);
        count = ald.Size() + 1;
        offset = ald.Imm11();
        perPatch = ald.P();
        indexed = offset == 0 && !perPatch && ald.Ra() != RegisterZero;
        output = name == InstName::Ast || ald.O();
    }

    DecodedProgram& program = context.Program;
    Translation::AttributeUsage& usage = program.AttributeUsage;
    const ShaderStage stage = definitions.Stage;

    if (indexed) {
        if (output) {
            usage.SetAllOutputUserAttributes();
            definitions.IndexedOutputAttributes = true;
        } else {
            usage.SetAllInputUserAttributes();
            definitions.IndexedInputAttributes = true;
        }
        return;
    }

    for (int i = 0; i < count; i++) {
        const int o = offset + 4 * i;
        if (!perPatch && o >= 0x80 && o <= 0x27F) {
            const int index = (o - 0x80) / 16;
            if (output) {
                usage.UsedOutputAttributes |= 1u << index;
            } else {
                usage.SetInputUserAttribute(index, ((o - 0x80) / 4) % 4);
            }
        } else if (perPatch && o >= 0x18 && o <= 0x1FF) {
            const int index = (o - 0x18) / 16;
            if (output) {
                usage.UsedOutputAttributesPerPatch.Add(index);
            } else {
                usage.UsedInputAttributesPerPatch.Add(index);
            }
        }

        if (output) {
            if (o == 0x64 && stage != ShaderStage::Compute && stage != ShaderStage::Fragment) {
                program.UsedFeatures |= FeatureFlags::RtLayer;
            } else if (o == 0x68 && stage != ShaderStage::Fragment) {
                program.UsedFeatures |= FeatureFlags::ViewportIndex;
            } else if (o == 0x3A0 && stage != ShaderStage::Fragment) {
                program.UsedFeatures |= FeatureFlags::ViewportMask;
            } else if (o == 0x60 && stage == ShaderStage::Geometry) {
                program.PrimitiveIdWritten = true;
            } else if (o >= 0x2C0 && o <= 0x2DC && (o & 3) == 0 &&
                       (stage == ShaderStage::Vertex || stage == ShaderStage::TessellationControl ||
                        stage == ShaderStage::TessellationEvaluation || stage == ShaderStage::Geometry)) {
                program.ClipDistancesWritten |= static_cast<uint8_t>(1u << ((o - 0x2C0) / 4));
            }
        } else {
            if (o == 0x2E8 || (o >= 0x280 && o <= 0x2BF) || (o >= 0x300 && o <= 0x39F)) {
                program.UsedFeatures |= FeatureFlags::FixedFuncAttr;
            } else if ((o == 0x70 || o == 0x74) && stage == ShaderStage::Fragment) {
                program.UsedFeatures |= FeatureFlags::FragCoordXY;
            } else if (o == 0x2F8 && stage == ShaderStage::Vertex) {
                program.UsedFeatures |= FeatureFlags::InstanceId;
            }
        }
    }
}

// Walks the code into block from its address until an instruction that ends a
// block or the next known block (limit), whichever comes first.
void FillBlock(Decoder::Context& context, Translation::ShaderDefinitions& definitions, CodeReader& code, Block* block,
               uint64_t limit) {
    DecodedProgram& program = context.Program;
    uint64_t address = block->Address;

    // Room for a typical block's instructions at once rather than growing the
    // list from one; never more than the code left to read.
    if (block->Ops.capacity() == 0 && address + 7u < limit)
        block->Ops.reserve(static_cast<std::size_t>(std::min<uint64_t>((limit - address) / 8, 16)));

    // address never exceeds the code size plus one word, so the sum cannot wrap.
    while (address + 7u < limit) {
        if ((address & 31u) == 0) {
            address += 8;
            continue;
        }

        if (++context.Instructions > Decoder::MaxInstructions) {
            throw Common::ArgumentOutOfRangeException("The code decodes to more than " +
                                                      std::to_string(Decoder::MaxInstructions) +
                                                      " instructions, past the instruction count limit.");
        }
        const uint64_t word = code.Read(address, block->Address);
        const InstOp op = InstTable::GetOp(address, word);

        if (HasFlag(op.Props, InstProps::TexB)) {
            program.UsedFeatures |= FeatureFlags::Bindless;
        }

        switch (op.Name) {
        case InstName::Ald:
        case InstName::Ast:
        case InstName::Ipa:
            SetUserAttributeUses(context, definitions, op.Name, word);
            break;
        case InstName::Atom:
        case InstName::AtomCas:
        case InstName::Red:
        case InstName::Stg:
        case InstName::SuatomB:
        case InstName::Suatom:
        case InstName::SuatomB2:
        case InstName::SuatomCasB:
        case InstName::SuatomCas:
        case InstName::SuredB:
        case InstName::Sured:
        case InstName::SustDB:
        case InstName::SustD:
        case InstName::SustB:
        case InstName::Sust:
            program.UsedFeatures |= FeatureFlags::Store;
            break;
        case InstName::Atoms:
        case InstName::AtomsCas:
        case InstName::Lds:
        case InstName::Sts:
            program.UsedFeatures |= FeatureFlags::SharedMemory;
            break;
        case InstName::Ldl:
        case InstName::Stl:
            program.UsedFeatures |= FeatureFlags::LocalMemory;
            break;
        case InstName::Shfl:
            program.UsedFeatures |= FeatureFlags::Shuffle;
            break;
        case InstName::Ssy:
        case InstName::Pbk:
        case InstName::Pcnt:
        case InstName::Pret:
            block->PushOps.push_back(program.CreatePushOpInfo(op));
            break;
        default:
            break;
        }

        block->Ops.push_back(op);
        address += 8;

        if (HasFlag(op.Props, InstProps::Bra)) {
            break;
        }
    }

    block->EndAddress = address;
}

} // namespace

Decoder::Context::Context(DecodedProgram& program, IGpuAccessor& gpuAccessor)
    : Program(program), GpuAccessor(gpuAccessor), Cb1Limit(gpuAccessor.QueryConstantBuffer1Size()) {}

DecodedProgram Decoder::Decode(Translation::ShaderDefinitions& definitions, IGpuAccessor& gpuAccessor,
                               uint64_t startAddress) {
    DecodedProgram program(gpuAccessor);
    Context context(program, gpuAccessor);
    CodeReader code(gpuAccessor, startAddress);

    std::deque<DecodedFunction*> functionQueue;

    auto enqueueFunction = [&](uint64_t address) {
        if (DecodedFunction* const* known = program.Functions.Find(address)) {
            return *known;
        }
        DecodedFunction* function = program.CreateFunction(address);
        program.Functions.Set(address, function);
        functionQueue.push_back(function);
        return function;
    };

    code.CheckTarget(0, 0, "Entry");
    program.MainFunction = enqueueFunction(0);

    while (!functionQueue.empty()) {
        DecodedFunction* function = functionQueue.front();
        functionQueue.pop_front();

        // The walked blocks by address, non-overlapping. Ordered lookups find
        // the block around an address and the one after it; a sorted array
        // would shift its tail on each insertion, which costs the square of
        // the block count when blocks are found from the back of the code
        // forwards (a chain of backward branches).
        // Its nodes come from one pool that lives as long as the walk (no node
        // is ever removed), starting on the stack.
        std::array<std::byte, 4096> placedBuffer;
        std::pmr::monotonic_buffer_resource placedPool(placedBuffer.data(), placedBuffer.size());
        std::pmr::map<uint64_t, Block*> placed(&placedPool);
        std::vector<Block*> added; // placed by the current walk
        // What the passes after each walk look at, in address order: the
        // blocks with push instructions, and the blocks ending in a BRX whose
        // table is not read yet. The passes repeat after each walk that a
        // new table starts, so scanning every block each time would cost the
        // square of the block count for a chain of tables.
        std::vector<Block*> pushBlocks;
        std::vector<Block*> brxBlocks;
        std::deque<Block*> workQueue;
        BlockMap known;

        auto getBlock = [&](uint64_t address) {
            auto it = known.find(address);
            if (it != known.end()) {
                return it->second;
            }
            Block* block = program.CreateBlock(address);
            known.emplace(address, block);
            workQueue.push_back(block);
            return block;
        };
        // Jump-table targets come from constant buffer data: check them like code targets.
        const std::function<Block*(uint64_t)> getTableTarget = [&](uint64_t address) {
            code.CheckTarget(address, function->Address, "Jump-table");
            return getBlock(address);
        };

        getBlock(function->Address);

        // Every queued block has a unique address inside the code and is walked or
        // split once; a jump-table pass only repeats while it links a BRX not seen
        // before, so the loop ends on any input.
        while (true) {
            while (!workQueue.empty()) {
                Block* block = workQueue.front();
                workQueue.pop_front();

                // The first block after the address, and the one before it,
                // which may contain the address.
                const auto after = placed.upper_bound(block->Address);
                if (after != placed.begin()) {
                    Block* container = std::prev(after)->second;
                    if (container->Address == block->Address) {
                        throw Common::InvalidOperationException("Found duplicate block address on the list.");
                    }
                    if (block->Address < container->EndAddress) {
                        container->Split(block);
                        placed.emplace_hint(after, block->Address, block);
                        added.push_back(block);
                        continue;
                    }
                }

                const uint64_t limit = after != placed.end() ? after->first : NoLimit;

                FillBlock(context, definitions, code, block, limit);

                if (!block->Ops.empty()) {
                    for (const PushOpInfo* pushOp : block->PushOps) {
                        const uint64_t target = pushOp->Op.GetAbsoluteAddress();
                        code.CheckTarget(target, pushOp->Op.Address, "Push");
                        getBlock(target);
                    }

                    const InstOp last = block->GetLastOp();
                    if (last.Name == InstName::Cal) {
                        const uint64_t target = last.GetAbsoluteAddress();
                        code.CheckTarget(target, last.Address, "Call");
                        enqueueFunction(target)->AddCaller(function);
                    } else if (last.Name == InstName::Bra) {
                        const uint64_t target = last.GetAbsoluteAddress();
                        code.CheckTarget(target, last.Address, "Branch");
                        Block* targetBlock = getBlock(target);
                        block->Successors.push_back(targetBlock);
                        targetBlock->Predecessors.push_back(block);
                    }

                    if (!IsUnconditionalBranch(last)) {
                        code.CheckTarget(block->EndAddress, last.Address, "Fall-through");
                        Block* next = getBlock(block->EndAddress);
                        block->Successors.insert(block->Successors.begin(), next);
                        next->Predecessors.push_back(block);
                    }
                }

                placed.emplace_hint(after, block->Address, block);
                added.push_back(block);
            }

            // A block split later keeps its place in a list; what it still
            // holds is looked at as before, and its new right part comes in
            // with the walk that split it.
            auto byAddress = [](const Block* a, const Block* b) { return a->Address < b->Address; };
            std::sort(added.begin(), added.end(), byAddress);
            auto mergeIn = [&](std::vector<Block*>& list, auto&& wanted) {
                const std::size_t middle = list.size();
                for (Block* block : added) {
                    if (wanted(block)) list.push_back(block);
                }
                if (middle != 0 && list.size() > middle && list[middle]->Address < list[middle - 1]->Address) {
                    std::inplace_merge(list.begin(), list.begin() + static_cast<std::ptrdiff_t>(middle), list.end(),
                                       byAddress);
                }
            };
            mergeIn(pushBlocks, [](const Block* block) { return !block->PushOps.empty(); });
            mergeIn(brxBlocks, [](const Block* block) { return block->GetLastOp().Name == InstName::Brx; });
            added.clear();

            for (Block* block : pushBlocks) {
                for (std::size_t k = 0; k < block->PushOps.size(); k++) {
                    PropagatePushOp(program, known, block, static_cast<int>(k));
                }
            }

            const bool newTable = FindBrxTargets(context, brxBlocks, getTableTarget);
            // A block whose table is read, or that no longer ends in the BRX
            // (split off into its right part), is passed over from then on.
            std::erase_if(brxBlocks, [](const Block* block) {
                return block->GetLastOp().Name != InstName::Brx ||
                       block->Successors.size() != (block->HasNext() ? 1u : 0u);
            });
            if (!newTable) {
                break;
            }
        }

        std::vector<Block*> blocks;
        blocks.reserve(placed.size());
        for (const auto& [address, block] : placed) {
            blocks.push_back(block);
        }
        function->SetBlocks(std::move(blocks));
    }

    return program;
}

bool Decoder::IsUnconditionalBranch(const InstOp& op) {
    return HasFlag(op.Props, InstProps::Bra) && IsUnconditional(op);
}

bool Decoder::IsUnconditional(const InstOp& op) {
    if ((op.Name == InstName::Bra || op.Name == InstName::Exit) && (op.RawOpCode & 0x1Fu) != 0xFu) {
        return false;
    }
    // Bits 16-19 are read for every block-ending form, CAL included.
    return ((op.RawOpCode >> 16) & 0xFu) == 7u;
}

} // namespace Zerivox::Graphics::Shader::Decoders
