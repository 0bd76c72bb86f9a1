#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "Zerivox.Graphics.Shader/StructuredIr/AstArena.h"

using Zerivox::Graphics::Shader::StructuredIr::AstArena;

// The arena bumps node storage from runs of its own; requests that do not
// fit a run, or need more than word alignment, go to the storage beneath.
// Every request gets distinct, aligned, non-null room of the size asked,
// across run boundaries and for zero bytes too.
TEST(AstArenaTest, AllocationsAreDistinctAlignedAndWritable) {
    AstArena arena;
    struct Taken {
        std::byte* Begin;
        std::size_t Size;
    };
    std::vector<Taken> taken;
    const std::size_t sizes[] = {0, 1, 7, 8, 24, 100, 513, 4000, 20000, 3};
    const std::size_t aligns[] = {1, 8, 16};
    for (int round = 0; round < 40; round++) {
        for (std::size_t size : sizes) {
            for (std::size_t align : aligns) {
                auto* memory = static_cast<std::byte*>(arena.Allocate(size, align));
                ASSERT_NE(memory, nullptr);
                EXPECT_EQ(reinterpret_cast<uintptr_t>(memory) % align, 0u) << size << " " << align;
                std::fill(memory, memory + size, std::byte{0x5A});
                taken.push_back(Taken{memory, size});
            }
        }
    }
    // A zero-byte piece owns nothing and may share its address with the next
    // one: ordered first among equal addresses, it is checked like the rest.
    std::sort(taken.begin(), taken.end(), [](const Taken& a, const Taken& b) {
        return a.Begin != b.Begin ? a.Begin < b.Begin : a.Size < b.Size;
    });
    for (std::size_t i = 1; i < taken.size(); i++) {
        ASSERT_LE(taken[i - 1].Begin + taken[i - 1].Size, taken[i].Begin) << "overlap at " << i;
    }
}
