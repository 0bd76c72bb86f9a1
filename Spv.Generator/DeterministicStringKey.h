#pragma once
#include <cstddef>
#include <string>

#include "Spv.Generator/DeterministicHashCode.h"

namespace Spv::Generator {

// Key of the imported-set table: ordinal string equality, a hash that is the
// same in every run.
struct DeterministicStringKey {
    std::string Value;

    bool operator==(const DeterministicStringKey& other) const = default;

    struct Hash {
        std::size_t operator()(const DeterministicStringKey& key) const {
            return DeterministicHashCode::GetHashCode(key.Value);
        }
    };
};

} // namespace Spv::Generator
