#pragma once
#include <cstddef>

#include "Spv.Generator/DeterministicHashCode.h"
#include "Spv.Generator/Instruction.h"

namespace Spv::Generator {

// Key of the constant table: same opcode, equal operands (literal kinds
// included) and result types equal by content. The hash takes the result
// type only for a constant without operands (true, false, undefined), which
// nothing else tells apart: hashing it walked the type's operands at every
// lookup, and the few types one value has are sorted apart by the compare.
struct ConstantKey {
    const Instruction* Constant;

    bool operator==(const ConstantKey& other) const {
        return Constant->Opcode == other.Constant->Opcode && Constant->EqualsContent(*other.Constant) &&
               Constant->EqualsResultType(*other.Constant);
    }

    struct Hash {
        std::size_t operator()(const ConstantKey& key) const {
            const uint32_t content = key.Constant->Operands.Count() != 0 ? key.Constant->GetHashCodeContent()
                                                                         : key.Constant->GetHashCodeResultType();
            return DeterministicHashCode::Combine(static_cast<uint32_t>(key.Constant->Opcode), content);
        }
    };
};

} // namespace Spv::Generator
