#pragma once
#include <cstddef>

#include "Spv.Generator/DeterministicHashCode.h"
#include "Spv.Generator/Instruction.h"

namespace Spv::Generator {

// Key of the type table: two types are the same when they have the same
// opcode and equal operands, whatever objects they are.
struct TypeDeclarationKey {
    const Instruction* Type;

    bool operator==(const TypeDeclarationKey& other) const {
        return Type->Opcode == other.Type->Opcode && Type->EqualsContent(*other.Type);
    }

    struct Hash {
        std::size_t operator()(const TypeDeclarationKey& key) const {
            return DeterministicHashCode::Combine(static_cast<uint32_t>(key.Type->Opcode),
                                                  key.Type->GetHashCodeContent());
        }
    };
};

} // namespace Spv::Generator
