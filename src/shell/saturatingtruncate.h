#pragma once
// The one float-to-integer conversion of the system: truncation toward zero that saturates to
// the int32 range, NaN giving 0.

#include <cmath>
#include <cstdint>
#include <limits>

inline int32_t saturatingTruncate(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (value <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}
