#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/CodeGen/Spirv/CodeGenContext.h"

using namespace Zerivox::Graphics::Shader;
using namespace Zerivox::Graphics::Shader::CodeGen::Spirv;

namespace {

// The tables only compare and hash their keys, so distinct addresses stand
// in for blocks and locals; enough of them to grow each table several times
// and to make neighbouring keys share probe runs.
template <typename T> std::vector<const T*> Keys(std::vector<uint64_t>& storage, std::size_t count) {
    storage.assign(count, 0);
    std::vector<const T*> keys;
    for (uint64_t& word : storage) keys.push_back(reinterpret_cast<const T*>(&word));
    return keys;
}

TEST(SpirvLookupTableTests, BlockStatesKeepTheirEntriesAcrossGrowth) {
    std::vector<uint64_t> storage;
    auto blocks = Keys<StructuredIr::AstBlock>(storage, 1000);
    CodeGenContext::BlockStateMap states;
    for (std::size_t i = 0; i < blocks.size(); i++) {
        CodeGenContext::BlockState& state = states[blocks[i]];
        EXPECT_EQ(state.EntryCount, 0) << i;
        EXPECT_EQ(state.LabelCount, 0u) << i;
        state.EntryCount = static_cast<int32_t>(i) + 1;
        // A state that had to spill its labels moves with the table.
        state.MoreLabels.assign(i % 3, nullptr);
    }
    for (std::size_t i = 0; i < blocks.size(); i++) {
        CodeGenContext::BlockState& state = states[blocks[i]];
        EXPECT_EQ(state.EntryCount, static_cast<int32_t>(i) + 1) << i;
        EXPECT_EQ(state.MoreLabels.size(), i % 3) << i;
    }
    EXPECT_THROW(states[nullptr], Zerivox::Common::ArgumentException);
}

TEST(SpirvLookupTableTests, LocalsAreAddedOnceAndFoundAfterGrowth) {
    std::vector<uint64_t> storage;
    auto locals = Keys<StructuredIr::AstOperand>(storage, 1000);
    std::vector<uint64_t> values(locals.size());
    LocalVariableMap map;
    for (std::size_t i = 0; i < locals.size(); i++) {
        auto* value = reinterpret_cast<Spv::Generator::Instruction*>(&values[i]);
        auto [entry, added] = map.emplace(locals[i], value);
        ASSERT_TRUE(added) << i;
        EXPECT_EQ(entry->first, locals[i]);
        EXPECT_EQ(entry->second, value);
        // Adding again keeps the first value, whether or not the table grew
        // in between.
        auto [again, addedAgain] = map.emplace(locals[i / 2], nullptr);
        EXPECT_FALSE(addedAgain) << i;
        EXPECT_EQ(again->second, reinterpret_cast<Spv::Generator::Instruction*>(&values[i / 2])) << i;
    }
    for (std::size_t i = 0; i < locals.size(); i++) {
        const auto* entry = map.find(locals[i]);
        ASSERT_NE(entry, map.end()) << i;
        EXPECT_EQ(entry->second, reinterpret_cast<Spv::Generator::Instruction*>(&values[i])) << i;
    }
    uint64_t stranger = 0;
    EXPECT_EQ(map.find(reinterpret_cast<const StructuredIr::AstOperand*>(&stranger)), map.end());
    EXPECT_THROW(map.emplace(nullptr, nullptr), Zerivox::Common::ArgumentException);

    // Cleared between functions: nothing is found, and everything can be added again.
    map.clear();
    EXPECT_EQ(map.find(locals[0]), map.end());
    EXPECT_TRUE(map.emplace(locals[0], nullptr).second);
}

} // namespace
