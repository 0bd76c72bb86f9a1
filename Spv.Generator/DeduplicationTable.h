#pragma once
// Lookup table of the instructions a module deduplicates (types, constants),
// keyed by value through Key (TypeDeclarationKey or ConstantKey). Open
// addressing over one array that keeps each entry's hash: a module is built
// per translation, and a node per entry plus rehashing showed up in every
// translation's profile. Lookup only: iteration order never reaches output
// (the module keeps its own lists for that).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "Spv.Generator/Instruction.h"

namespace Spv::Generator {

template <typename Key>
class DeduplicationTable {
public:
    // Hash of the key of an instruction, for the calls below: a lookup that
    // misses is followed by the insertion of the same instruction, and the
    // hash walks its operands, so it is computed once for both.
    static std::size_t Hash(const Instruction* instruction) { return typename Key::Hash{}(Key{instruction}); }

    // The instruction stored for a key equal to `probe`'s (whose hash is
    // given), or null.
    Instruction* Find(const Instruction* probe, std::size_t hash) const {
        if (_count == 0) return nullptr;
        return _slots[Locate(probe, hash)].Value;
    }
    Instruction* Find(const Instruction* probe) const { return Find(probe, Hash(probe)); }

    // Stores `value` (whose hash is given) under its own key, replacing the
    // entry of an equal key.
    void Set(Instruction* value, std::size_t hash) {
        if ((_count + 1) * 2 > _slots.size()) Grow();
        Slot& slot = _slots[Locate(value, hash)];
        if (slot.Value == nullptr) _count++;
        slot = Slot{value, hash};
    }
    void Set(Instruction* value) { Set(value, Hash(value)); }

private:
    struct Slot {
        Instruction* Value = nullptr;
        std::size_t HashCode = 0;
    };

    // The slot holding an equal key, or the free slot where it would go.
    std::size_t Locate(const Instruction* probe, std::size_t hash) const {
        std::size_t mask = _slots.size() - 1;
        std::size_t i = static_cast<std::size_t>((static_cast<uint64_t>(hash) * 0x9E3779B97F4A7C15ull) >> 32) & mask;
        for (;; i = (i + 1) & mask) {
            const Slot& slot = _slots[i];
            if (slot.Value == nullptr) return i;
            if (slot.HashCode == hash && Key{slot.Value} == Key{probe}) return i;
        }
    }

    void Grow() {
        std::vector<Slot> old = std::move(_slots);
        _slots.assign(old.empty() ? 64 : old.size() * 2, Slot{});
        for (const Slot& slot : old) {
            if (slot.Value != nullptr) _slots[Locate(slot.Value, slot.HashCode)] = slot;
        }
    }

    std::vector<Slot> _slots;
    std::size_t _count = 0;
};

} // namespace Spv::Generator
