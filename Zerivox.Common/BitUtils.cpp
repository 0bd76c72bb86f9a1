#include "Zerivox.Common/BitUtils.h"

#include "Zerivox.Common/Exceptions.h"

namespace Zerivox::Common {

int32_t BitUtils::DivRoundUp(int32_t value, int32_t divisor) {
    if (divisor == 0)
        throw ArgumentOutOfRangeException("Divisor must not be zero.");
    auto sum = static_cast<int32_t>(static_cast<uint32_t>(value) + static_cast<uint32_t>(divisor) - 1u);
    // INT32_MIN / -1 is the one quotient that does not fit.
    if (sum == INT32_MIN && divisor == -1)
        throw OverflowException("Arithmetic operation resulted in an overflow.");
    return sum / divisor;
}

} // namespace Zerivox::Common
