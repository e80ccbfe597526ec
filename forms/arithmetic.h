#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

#include "runtimeerror.h"

// The runtime's integer arithmetic: 32-bit signed with overflow detection, and real to
// integer conversion to the nearest whole number with ties to even. Any result outside the
// 32-bit range raises the overflow error.
namespace forms {

inline std::int32_t checkedSub(std::int32_t a, std::int32_t b) {
    std::int32_t result;
    if (__builtin_sub_overflow(a, b, &result)) throw overflowError();
    return result;
}

inline std::int32_t checkedMul(std::int32_t a, std::int32_t b) {
    std::int32_t result;
    if (__builtin_mul_overflow(a, b, &result)) throw overflowError();
    return result;
}

inline std::int32_t roundToInt32(double x) {
    const double rounded = std::nearbyint(x);
    if (!(rounded >= std::numeric_limits<std::int32_t>::min() &&
          rounded <= std::numeric_limits<std::int32_t>::max()))
        throw overflowError();
    return std::int32_t(rounded);
}

}  // namespace forms
