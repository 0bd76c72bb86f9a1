#pragma once
// Lookup table from a 64-bit key to a non-null pointer: open addressing with
// linear probing in one array kept at most half full, so a lookup is a
// multiplication and a few compares and an insertion allocates only when the
// table grows. Only looked up, never iterated, so no hash order can reach an
// output. A slot is empty when its value is null.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "Zerivox.Common/Exceptions.h"

namespace Zerivox::Common {

template <typename T>
class KeyedPointerTable {
public:
    // The value stored under key, or null.
    T* Find(uint64_t key) const {
        if (_count == 0) return nullptr;
        return _slots[Probe(key)].Value;
    }

    // Stores value (not null) under key, replacing what was there.
    void Set(uint64_t key, T* value) {
        if (value == nullptr) throw ArgumentNullException("A table value must not be null.");
        if ((_count + 1) * 2 > _slots.size()) Grow();
        Slot& slot = _slots[Probe(key)];
        if (slot.Value == nullptr) _count++;
        slot = Slot{key, value};
    }

    std::size_t Count() const { return _count; }

    // Drops every entry, keeping the storage.
    void Clear() {
        if (_count == 0) return;
        for (Slot& slot : _slots) slot = Slot{};
        _count = 0;
    }

private:
    struct Slot {
        uint64_t Key = 0;
        T* Value = nullptr;
    };

    // The key's slot, or the empty slot where it would go.
    std::size_t Probe(uint64_t key) const {
        const std::size_t mask = _slots.size() - 1;
        // Fibonacci hashing: the high half of the product mixes every bit.
        std::size_t i = static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> 32) & mask;
        while (_slots[i].Value != nullptr && _slots[i].Key != key) i = (i + 1) & mask;
        return i;
    }

    void Grow() {
        std::vector<Slot> old = std::move(_slots);
        _slots.assign(old.empty() ? 32 : old.size() * 2, Slot{});
        for (const Slot& slot : old) {
            if (slot.Value != nullptr) _slots[Probe(slot.Key)] = slot;
        }
    }

    std::vector<Slot> _slots; // empty or a power of two in size
    std::size_t _count = 0;
};

} // namespace Zerivox::Common
