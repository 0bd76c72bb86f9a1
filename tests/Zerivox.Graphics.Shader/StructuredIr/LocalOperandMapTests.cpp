#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Operand.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstArena.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstOperand.h"
#include "Zerivox.Graphics.Shader/StructuredIr/StructuredProgramContext.h"

using Zerivox::Graphics::Shader::IntermediateRepresentation::Operand;
using Zerivox::Graphics::Shader::IntermediateRepresentation::OperandType;
using Zerivox::Graphics::Shader::StructuredIr::AstArena;
using Zerivox::Graphics::Shader::StructuredIr::AstOperand;
using Zerivox::Graphics::Shader::StructuredIr::LocalOperandMap;

// The table is sized up front from the function's length, may still have to
// grow past that size, and is reused (cleared, then sized again) for the
// next function: every entry must stay findable through each of these, and
// a key never inserted (or inserted before the last clear) must find nothing.
TEST(LocalOperandMapTest, EntriesSurviveReservingGrowingAndReuse) {
    AstArena arena;
    std::deque<Operand> keys;
    std::vector<AstOperand*> values;
    for (int32_t i = 0; i < 700; i++) {
        keys.emplace_back(OperandType::LocalVariable, i);
        values.push_back(arena.New<AstOperand>(OperandType::LocalVariable, i));
    }
    LocalOperandMap map;
    EXPECT_EQ(map.Find(&keys[0]), nullptr);
    // Reserved for 0, 40 and 300 entries, then 700 inserted, with a second
    // reservation in the middle that must carry the entries already there.
    for (std::size_t reserve : {std::size_t{0}, std::size_t{40}, std::size_t{300}}) {
        map.Clear();
        map.Reserve(reserve);
        for (std::size_t i = 0; i < keys.size(); i++) {
            if (i == 100) map.Reserve(500);
            map.Insert(&keys[i], values[i]);
        }
        for (std::size_t i = 0; i < keys.size(); i++) ASSERT_EQ(map.Find(&keys[i]), values[i]) << reserve << " " << i;
    }
    map.Clear();
    map.Reserve(10);
    map.Insert(&keys[5], values[6]);
    EXPECT_EQ(map.Find(&keys[5]), values[6]);
    EXPECT_EQ(map.Find(&keys[4]), nullptr);
    EXPECT_EQ(map.Find(&keys[600]), nullptr);
    EXPECT_EQ(map.Find(nullptr), nullptr);
}
