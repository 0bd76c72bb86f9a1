#pragma once
#include <cstdint>

namespace Zerivox::Common {

struct BitUtils {
    // (value + divisor - 1) / divisor with wrap-around addition and truncating
    // division: for a positive value and divisor, the quotient rounded up.
    // A divisor of 0 is the caller's bug; it is rejected rather than trapping.
    static int32_t DivRoundUp(int32_t value, int32_t divisor);
};

} // namespace Zerivox::Common
