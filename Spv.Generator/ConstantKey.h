#pragma once
#include <cstddef>

#include "Spv.Generator/DeterministicHashCode.h"
#include "Spv.Generator/Instruction.h"

namespace Spv::Generator {

// Key of the constant table: same opcode, equal operands (literal kinds
// included) and result types equal by content.
struct ConstantKey {
    const Instruction* Constant;

    bool operator==(const ConstantKey& other) const {
        return Constant->Opcode == other.Constant->Opcode && Constant->EqualsContent(*other.Constant) &&
               Constant->EqualsResultType(*other.Constant);
    }

    struct Hash {
        std::size_t operator()(const ConstantKey& key) const {
            uint32_t values[] = {static_cast<uint32_t>(key.Constant->Opcode), key.Constant->GetHashCodeContent(),
                                 key.Constant->GetHashCodeResultType()};
            return DeterministicHashCode::Combine(values);
        }
    };
};

} // namespace Spv::Generator
