#pragma once
#include <array>
#include <cstdint>
#include <string_view>

#include "Zerivox.Graphics.Shader/Decoders/InstOp.h"

namespace Zerivox::Graphics::Shader::Decoders {

// The Maxwell instruction table: 16384 slots indexed by word bits 63-50, filled
// from the encodings (every don't-care combination expanded, the encoding with
// the fewest don't-cares owning a slot). GetOp reads a form of it fixed while
// compiling; GetTable builds the full entries once on first use.
class InstTable {
  public:
    struct TableEntry {
        InstName Name = InstName::Invalid;
        InstEmitter Emitter = nullptr;
        InstProps Props = InstProps::None;
        int XBits = 0;
    };

    static constexpr int SlotCount = 1 << 14;
    using Table = std::array<TableEntry, SlotCount>;

    // Decodes one word; a word that matches no encoding gives an InstOp without
    // emitter named Invalid. Never fails.
    static InstOp GetOp(uint64_t address, uint64_t opCode);

    // Read access to the filled table, for tests and tools that inspect the table.
    static const Table& GetTable();

    // Writes one encoding (at least 14 characters of '0', '1', 'x'; bit 63 first)
    // into a table. Exposed so the fewest-don't-care rule can be exercised on a
    // private table; throws ArgumentOutOfRangeException for a short encoding.
    static void Add(Table& table, std::string_view encoding, InstName name, InstEmitter emitter, InstProps props);
};

} // namespace Zerivox::Graphics::Shader::Decoders
